// yanshubu-db: makes the database file MY.mdb that the program works on,
// brings contacts into it and out of it, and backs it up.

#include "DemoContacts.h"

#include "account/NewBook.h"
#include "contacts/Backups.h"
#include "contacts/Duplicates.h"
#include "contacts/Schema.h"
#include "interchange/Exchange.h"
#include "legacy/Conversion.h"
#include "platform/Secrets.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"
#include "platform/net/Http.h"
#include "sync/CardDav.h"
#include "sync/Engine.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

namespace {

const char* const usage = R"(用法: yanshubu-db init [--demo] [文件夹]
      yanshubu-db import 文件 [--folder 文件夹]
      yanshubu-db import-access 旧版.mdb [--folder 文件夹]
      yanshubu-db export 文件 [--format vcard4|vcard3|vcard21|csv]
                              [--encoding utf-8|gbk] [--folder 文件夹]
      yanshubu-db backup [--folder 文件夹]
      yanshubu-db check [--folder 文件夹]
      yanshubu-db restore 备份文件 [--folder 文件夹]
      yanshubu-db duplicates [--folder 文件夹]
      yanshubu-db sync [--server 地址 --user 用户名 [--book 通讯录地址]]
                       [--yes] [--folder 文件夹]

  init      在文件夹（默认为当前文件夹）中新建数据库文件 MY.mdb，
            其中有联系人表 yanshu 和用户表 mab，以及一个用户：
            用户名 admin，密码 123456。已有的 MY.mdb 不会被覆盖。
  --demo    另外加入几位虚构的联系人，便于试用。
  import    把 vCard（.vcf）或 CSV 文件里的联系人导入 MY.mdb：已有的
            联系人会更新而不重复；全部导入，或者一个也不导入。第一次
            改动 MY.mdb 之前先备份它。
  export    把 MY.mdb 里的全部联系人写进文件。格式默认按文件名：.csv
            为 CSV，其他为 vCard 4.0；GBK 编码用于 vCard 2.1 和 CSV，
            供旧版 Outlook 和 Excel 使用。
  import-access
            把旧版程序的 Access 数据库里的联系人和用户转入 MY.mdb（没有
            则新建，已有则先备份）；旧文件不会改动。
  backup    把 MY.mdb 备份到它旁边的 backups 文件夹，文件名带有日期和
            时间；与最新的一份相同时不再备份。保留最近的 10 份，以及
            最近 12 个月里每月最早的一份。
  check     检查 MY.mdb 是否损坏、表和列是否齐全。完好时返回 0。
  restore   检查备份文件，然后用它替换 MY.mdb 的内容；替换前先把当前的
            MY.mdb 也备份到 backups 文件夹。
  duplicates
            列出可能是同一个人的几组联系人，每组先写依据（如“手机号相同：
            13800138000”），再每行一位：编号和姓名。依据强的在前。合并
            要在程序的“编辑 > 查找重复联系人”里做。
  sync      与 CardDAV 服务器上的通讯录双向同步（手机、其他电脑也与它
            同步）。第一次要用 --server 和 --user 指定服务器和用户名；
            服务器上有多个通讯录时用 --book 指定一个，没有时新建一个
            “雁书簿”。密码取自系统的密码库（在程序的“同步设置”里
            保存过时），否则从标准输入读取（一行）。要删除一半以上的
            联系人时会停下，加 --yes 才继续。
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

QString databaseFile(const QString& folder) {
    return QDir(folder).absoluteFilePath(QStringLiteral("MY.mdb"));
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void reportBackup(const contacts::KeptBackup& kept) {
    out() << (kept.taken ? QStringLiteral("已备份到 %1")
                         : QStringLiteral("通讯录与最新的备份 %1 相同，没有再备份"))
                 .arg(native(kept.path))
          << '\n';
}

// Just before a command first changes the book: it stops when the copy
// cannot be made. A command that changes nothing leaves the backups alone.
void backUpFirst(db::Connection& connection) {
    connection.beforeFirstWrite(
        [&] { reportBackup(contacts::takeBackup(connection, QDateTime::currentDateTime())); });
}

int init(const QString& folder, bool demo) {
    const QFileInfo info(folder);
    if (!info.isDir()) {
        err() << "yanshubu-db: " << QStringLiteral("文件夹“%1”不存在。").arg(folder) << '\n';
        return failed;
    }
    const QString path = databaseFile(folder);
    try {
        account::createBook(path, QStringLiteral("admin"), QStringLiteral("123456"),
                            demo ? addDemoContacts : std::function<void(db::Connection&)>());
    } catch (const db::DbError& e) {
        printError(e);
        return failed;
    }
    out() << QStringLiteral("已创建 %1").arg(native(path)) << '\n';
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
        contacts::openDatabase(connection, db::connectionString(databaseFile(folder)));
        backUpFirst(connection);
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
        contacts::openDatabase(connection, db::connectionString(databaseFile(folder)));
        const interchange::ExportReport report =
            interchange::exportFile(connection, file, format, charset);
        out() << QStringLiteral("已把 %1 位联系人写入 %2")
                     .arg(report.written)
                     .arg(native(QFileInfo(file).absoluteFilePath()))
              << '\n';
    } catch (const db::DbError& e) {
        printError(e);
        return failed;
    }
    return ok;
}

// Into the folder's MY.mdb, made first when there is none.
int importAccess(const QString& file, const QString& folder) {
    const QString path = databaseFile(folder);
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
            contacts::openDatabase(connection, db::connectionString(path));
            backUpFirst(connection);
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

int backUp(const QString& folder) {
    try {
        reportBackup(contacts::takeBackup(databaseFile(folder), QDateTime::currentDateTime()));
    } catch (const db::DbError& e) {
        printError(e);
        return failed;
    }
    return ok;
}

int check(const QString& folder) {
    const QString path = databaseFile(folder);
    const QStringList findings = contacts::checkBook(path);
    for (const QString& finding : findings) {
        out() << finding << '\n';
    }
    if (!findings.isEmpty()) {
        return failed;
    }
    out() << QStringLiteral("%1 完好。").arg(QFileInfo(path).fileName()) << '\n';
    return ok;
}

int restore(const QString& backup, const QString& folder) {
    const QString path = databaseFile(folder);
    const QString from = QFileInfo(backup).absoluteFilePath();
    try {
        const QString kept = contacts::restoreBackup(path, from, QDateTime::currentDateTime());
        out() << QStringLiteral("已把原来的 %1 备份到 %2").arg(native(path), native(kept)) << '\n'
              << QStringLiteral("已用 %1 恢复 %2").arg(native(from), native(path)) << '\n';
    } catch (const db::DbError& e) {
        printError(e);
        return failed;
    }
    return ok;
}

int listDuplicates(const QString& folder) {
    try {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(databaseFile(folder)));
        db::Statement contact(connection,
                              QStringLiteral("SELECT Id, GR_XM FROM yanshu WHERE _rowid_ = ?"));
        for (const contacts::DuplicateGroup& group : contacts::findDuplicates(connection)) {
            out() << group.reason << '\n';
            for (const qint64 row : group.rows) {
                contact.bind(1, QVariant::fromValue(row));
                if (contact.step()) {
                    out() << "  " << contact.text(0) << '\t' << contact.text(1) << '\n';
                }
                contact.reset();
            }
        }
    } catch (const db::DbError& e) {
        printError(e);
        return failed;
    }
    return ok;
}

// backup, check, restore and duplicates: the folder, and for restore the backup.
int maintenance(const QString& command, QStringList args) {
    bool missingValue = false;
    const QString folder =
        takeOption(args, QStringLiteral("--folder"), missingValue).value_or(QDir::currentPath());
    if (missingValue) {
        return usageError(QStringLiteral("选项缺少取值。"));
    }
    for (const QString& a : args) {
        if (a.startsWith(u'-')) {
            return usageError(QStringLiteral("未知的选项“%1”。").arg(a));
        }
    }
    if (command == u"restore") {
        if (args.size() != 1) {
            return usageError(QStringLiteral("要指定一个备份文件。"));
        }
        return restore(args.first(), folder);
    }
    if (!args.isEmpty()) {
        return usageError(QStringLiteral("多余的参数“%1”。").arg(args.first()));
    }
    if (command == u"duplicates") {
        return listDuplicates(folder);
    }
    return command == u"backup" ? backUp(folder) : check(folder);
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

// The account the book syncs with: the one kept, or the one the options
// name, whose address book is chosen (or made) here.
std::optional<carddav::Account> accountFor(db::Connection& connection, carddav::CardDavClient& dav,
                                           const std::optional<QString>& server,
                                           const std::optional<QString>& user,
                                           const std::optional<QString>& book) {
    carddav::SyncStore store(connection);
    if (!server) {
        const std::optional<carddav::Account> kept = store.account();
        if (!kept) {
            err() << "yanshubu-db: "
                  << QStringLiteral("还没有设置同步账户：请用 --server 和 --user 指定。") << '\n';
        }
        return kept;
    }
    carddav::Account account{QUrl::fromUserInput(*server), {}, user.value_or(QString()), {}, {}};
    if (book) {
        account.book = account.server.resolved(QUrl(*book));
    } else {
        const QList<carddav::AddressBook> books = dav.addressBooks(account.server);
        if (books.size() > 1) {
            err() << "yanshubu-db: "
                  << QStringLiteral("服务器上有多个通讯录，请用 --book 指定一个：") << '\n';
            for (const carddav::AddressBook& b : books) {
                err() << "  " << b.url.toString() << "  " << b.name << '\n';
            }
            return std::nullopt;
        }
        account.book = books.isEmpty()
                           ? dav.makeAddressBook(account.server, QStringLiteral("雁书簿"))
                           : books.front().url;
    }
    // The window's choice of syncing at login and exit stays with its account.
    const std::optional<carddav::Account> before = store.account();
    account.automatic = before && before->server == account.server &&
                        before->book == account.book && before->automatic;
    store.setAccount(account);
    return store.account();
}

int syncBook(QStringList args) {
    bool missingValue = false;
    const QString folder =
        takeOption(args, QStringLiteral("--folder"), missingValue).value_or(QDir::currentPath());
    const std::optional<QString> server =
        takeOption(args, QStringLiteral("--server"), missingValue);
    const std::optional<QString> user = takeOption(args, QStringLiteral("--user"), missingValue);
    const std::optional<QString> book = takeOption(args, QStringLiteral("--book"), missingValue);
    const bool yes = args.removeAll(QStringLiteral("--yes")) > 0;
    if (missingValue) {
        return usageError(QStringLiteral("选项缺少取值。"));
    }
    if (!args.isEmpty()) {
        return usageError(QStringLiteral("多余的参数“%1”。").arg(args.first()));
    }
    if (server.has_value() != user.has_value() || (book && !server)) {
        return usageError(QStringLiteral("--server 和 --user 要一起指定。"));
    }
    try {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(databaseFile(folder)));
        const std::optional<carddav::Account> kept = carddav::SyncStore(connection).account();
        const QString name = user.value_or(kept ? kept->user : QString());
        // The password the settings window kept, for the account kept;
        // else a line of standard input.
        const std::optional<QString> stored =
            server || !kept ? std::nullopt : platform::systemSecrets()->read(passwordKey(*kept));
        const QString password = stored ? *stored : QTextStream(stdin).readLine();
        const std::unique_ptr<net::Http> http = net::systemHttp();
        carddav::CardDavClient dav(*http, {name, password});
        const std::optional<carddav::Account> account =
            accountFor(connection, dav, server, user, book);
        if (!account) {
            return failed;
        }
        const auto confirm = [&](qint64 deleting, qint64 of) {
            if (!yes) {
                err() << "yanshubu-db: "
                      << QStringLiteral("这次同步要删除 %1 个联系人（共 %2 个），已停止；"
                                        "确实要删除请加 --yes。")
                             .arg(deleting)
                             .arg(of)
                      << '\n';
            }
            return yes;
        };
        const carddav::SyncReport report = carddav::SyncEngine(connection, dav, confirm).run();
        for (const QString& note : report.notes) {
            out() << note << '\n';
        }
        out() << QStringLiteral("已与 %1 同步：").arg(account->book.toString()) << report.summary()
              << QStringLiteral("；上传 %1，删除服务器上的 %2。")
                     .arg(report.uploaded)
                     .arg(report.removed)
              << '\n';
    } catch (const db::DbError& e) {
        printError(e);
        return failed;
    } catch (const carddav::DavError& e) {
        err() << "yanshubu-db: " << e.userMessage() << '\n' << QString::fromUtf8(e.what()) << '\n';
        return failed;
    }
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
    const QString command = args.takeFirst();
    if (command == u"import" || command == u"import-access" || command == u"export") {
        return exchange(command, args);
    }
    if (command == u"backup" || command == u"check" || command == u"restore" ||
        command == u"duplicates") {
        return maintenance(command, args);
    }
    if (command == u"sync") {
        return syncBook(args);
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
