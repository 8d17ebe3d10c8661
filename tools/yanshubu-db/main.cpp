// yanshubu-db: makes the database file MY.mdb that the program works on.

#include "DemoContacts.h"

#include "account/UserStore.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>

namespace {

const char* const usage = R"(用法: yanshubu-db init [--demo] [文件夹]

  init      在文件夹（默认为当前文件夹）中新建数据库文件 MY.mdb，
            其中有联系人表 yanshu 和用户表 mab，以及一个用户：
            用户名 admin，密码 123456。已有的 MY.mdb 不会被覆盖。
  --demo    另外加入几位虚构的联系人，便于试用。
  --help    显示本说明。
)";

constexpr int ok = 0;
constexpr int failed = 1;
constexpr int badUsage = 2;

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

int usageError(const QString& message) {
    err() << "yanshubu-db: " << message << "\n\n" << QString::fromUtf8(usage);
    return badUsage;
}

int init(const QString& folder, bool demo) {
    const QFileInfo info(folder);
    if (!info.isDir()) {
        err() << "yanshubu-db: " << QStringLiteral("文件夹“%1”不存在。").arg(folder) << '\n';
        return failed;
    }
    const QString path = QDir(folder).absoluteFilePath(QStringLiteral("MY.mdb"));
    bool created = false;
    try {
        db::Connection connection;
        connection.create(path);
        created = true;
        contacts::createSchema(connection);
        account::UserStore::add(connection, QStringLiteral("admin"), QStringLiteral("123456"));
        if (demo) {
            addDemoContacts(connection);
        }
    } catch (const db::DbError& e) {
        if (created) {
            QFile::remove(path); // never leave a half-made file behind
        }
        err() << "yanshubu-db: " << e.userMessage() << '\n' << e.detail() << '\n';
        return failed;
    }
    out() << QStringLiteral("已创建 %1").arg(QDir::toNativeSeparators(path)) << '\n';
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        out() << QString::fromUtf8(usage);
        return ok;
    }
    if (args.isEmpty()) {
        return usageError(QStringLiteral("缺少命令。"));
    }
    if (args.takeFirst() != QStringLiteral("init")) {
        return usageError(QStringLiteral("未知的命令。"));
    }
    const bool demo = args.removeAll(QStringLiteral("--demo")) > 0;
    for (const QString& a : args) {
        if (a.startsWith(u'-')) {
            return usageError(QStringLiteral("未知的选项“%1”。").arg(a));
        }
    }
    if (args.size() > 1) {
        return usageError(QStringLiteral("只能指定一个文件夹。"));
    }
    return init(args.isEmpty() ? QDir::currentPath() : args.first(), demo);
}
