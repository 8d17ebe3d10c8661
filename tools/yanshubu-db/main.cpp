// yanshubu-db: makes the database file MY.mdb that the program works on,
// and brings contacts into it and out of it.

#include "DemoContacts.h"

#include "account/UserStore.h"
#include "contacts/Schema.h"
#include "interchange/Exchange.h"
#include "legacy/Conversion.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace {

const char* const usage = R"(用法: yanshubu-db init [--demo] [文件夹]
      yanshubu-db import 文件 [--folder 文件夹]
      yanshubu-db import-access 旧版.mdb [--folder 文件夹]
      yanshubu-db export 文件 [--format vcard4|vcard3|vcard21|csv]
                              [--encoding utf-8|gbk] [--folder 文件夹]

  init      在文件夹（默认为当前文件夹）中新建数据库文件 MY.mdb，
            其中有联系人表 yanshu 和用户表 mab，以及一个用户：
            用户名 admin，密码 123456。已有的 MY.mdb 不会被覆盖。
  --demo    另外加入几位虚构的联系人，便于试用。
  import    把 vCard（.vcf）或 CSV 文件里的联系人导入 MY.mdb：已有的
            联系人会更新而不重复；全部导入，或者一个也不导入。
  export    把 MY.mdb 里的全部联系人写进文件。格式默认按文件名：.csv
            为 CSV，其他为 vCard 4.0；GBK 编码用于 vCard 2.1 和 CSV，
            供旧版 Outlook 和 Excel 使用。
  import-access
            把旧版程序的 Access 数据库里的联系人和用户转入 MY.mdb（没有
            则新建）；旧文件不会改动。
  --folder  MY.mdb 所在的文件夹，默认为当前文件夹。
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

void printError(const db::DbError& e) {
    err() << "yanshubu-db: " << e.userMessage() << '\n' << e.detail() << '\n';
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
        printError(e);
        return failed;
    }
    out() << QStringLiteral("已创建 %1").arg(QDir::toNativeSeparators(path)) << '\n';
    return ok;
}

// Takes "--name value" out of the arguments; nothing when it is not there.
std::optional<QString> takeOption(QStringList& args, const QString& name, bool& missingValue) {
    const qsizetype at = args.indexOf(name);
    if (at < 0) {
        return std::nullopt;
    }
    if (at + 1 >= args.size()) {
        missingValue = true;
        return std::nullopt;
    }
    const QString value = args.at(at + 1);
    args.remove(at, 2);
    return value;
}

int importContacts(const QString& file, const QString& folder) {
    try {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(folder));
        const interchange::ImportReport report = interchange::importFile(connection, file);
        out() << report.text(QFileInfo(file).fileName());
    } catch (const db::DbError& e) {
        printError(e);
        return failed;
    }
    return ok;
}

int exportContacts(const QString& file, const QString& folder, interchange::ExportFormat format,
                   const QByteArray& charset) {
    try {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(folder));
        const qint64 written = interchange::exportFile(connection, file, format, charset);
        out() << QStringLiteral("已把 %1 位联系人写入 %2")
                     .arg(written)
                     .arg(QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath()))
              << '\n';
    } catch (const db::DbError& e) {
        printError(e);
        return failed;
    }
    return ok;
}

// Into the folder's MY.mdb, made first when there is none.
int importAccess(const QString& file, const QString& folder) {
    const QString path = QDir(folder).absoluteFilePath(QStringLiteral("MY.mdb"));
    if (QFileInfo(file).canonicalFilePath() == QFileInfo(path).canonicalFilePath()) {
        err() << "yanshubu-db: "
              << QStringLiteral("旧文件就是要写入的 MY.mdb；请先把它改名，或者指定另一个文件夹。")
              << '\n';
        return failed;
    }
    const bool fresh = !QFileInfo::exists(path);
    try {
        db::Connection connection;
        if (fresh) {
            connection.create(path);
            contacts::createSchema(connection);
        } else {
            contacts::openDatabase(connection, db::connectionString(folder));
        }
        out() << legacy::convert(file, connection).text(QFileInfo(file).fileName());
    } catch (const db::DbError& e) {
        if (fresh) {
            QFile::remove(path); // never leave a half-made file behind
        }
        printError(e);
        return failed;
    }
    return ok;
}

// import, import-access and export: one file, and options.
int exchange(const QString& command, QStringList args) {
    bool missingValue = false;
    const QString folder =
        takeOption(args, QStringLiteral("--folder"), missingValue).value_or(QDir::currentPath());
    const std::optional<QString> format =
        takeOption(args, QStringLiteral("--format"), missingValue);
    const std::optional<QString> encoding =
        takeOption(args, QStringLiteral("--encoding"), missingValue);
    if (missingValue) {
        return usageError(QStringLiteral("选项缺少取值。"));
    }
    for (const QString& a : args) {
        if (a.startsWith(u'-')) {
            return usageError(QStringLiteral("未知的选项“%1”。").arg(a));
        }
    }
    if (args.size() != 1) {
        return usageError(QStringLiteral("要指定一个文件。"));
    }
    const QString file = args.first();
    if (command == u"import" || command == u"import-access") {
        if (format || encoding) {
            return usageError(QStringLiteral("导入时格式和编码由文件本身决定。"));
        }
        return command == u"import" ? importContacts(file, folder) : importAccess(file, folder);
    }
    using interchange::ExportFormat;
    static const QHash<QString, ExportFormat> formats{
        {QStringLiteral("vcard4"), ExportFormat::VCard40},
        {QStringLiteral("vcard3"), ExportFormat::VCard30},
        {QStringLiteral("vcard21"), ExportFormat::VCard21},
        {QStringLiteral("csv"), ExportFormat::Csv},
    };
    const QString formatName = format.value_or(
        file.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) ? QStringLiteral("csv")
                                                                   : QStringLiteral("vcard4"));
    if (!formats.contains(formatName)) {
        return usageError(QStringLiteral("未知的格式“%1”。").arg(formatName));
    }
    const QString encodingName = encoding.value_or(QStringLiteral("utf-8")).toLower();
    if (encodingName != u"utf-8" && encodingName != u"gbk") {
        return usageError(QStringLiteral("未知的编码“%1”。").arg(encodingName));
    }
    const ExportFormat chosen = formats.value(formatName);
    if (encodingName == u"gbk" && chosen != ExportFormat::VCard21 && chosen != ExportFormat::Csv) {
        return usageError(QStringLiteral("vCard 3.0 和 4.0 只能用 UTF-8 编码。"));
    }
    return exportContacts(file, folder, chosen, encodingName.toUpper().toLatin1());
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
    const QString command = args.takeFirst();
    if (command == u"import" || command == u"import-access" || command == u"export") {
        return exchange(command, args);
    }
    if (command != u"init") {
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
