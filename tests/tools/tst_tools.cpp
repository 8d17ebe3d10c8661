#include "TestServices.h"

#include "contacts/Backups.h"
#include "contacts/ContactColumns.h"
#include "contacts/SearchKeys.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Recordset.h"
#include "platform/db/Statement.h"

#include <QProcess>
#include <QtTest>

namespace {

struct Run {
    int exitCode;
    QString out;
    QString err;
};

// Its lines end in CR LF on Windows, in LF elsewhere.
QString lines(const QByteArray& output) {
    return QString::fromUtf8(output).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

Run yanshubuDb(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(YANSHUBU_DB_EXE), arguments);
    process.waitForFinished(30000);
    return {process.exitCode(), lines(process.readAllStandardOutput()),
            lines(process.readAllStandardError())};
}

// The number of contacts in a book.
qint64 contactsIn(const QString& file) {
    db::Connection connection;
    connection.open(db::connectionString(file));
    db::Statement count(connection, QStringLiteral("select count(*) from yanshu"));
    return count.step() ? count.integer(0) : -1;
}

} // namespace

class ToolsTest : public QObject {
    Q_OBJECT

private slots:
    void initMakesADatabaseTheProgramOpens() {
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/新 文件夹 XXXXXX"));
        const Run run = yanshubuDb({QStringLiteral("init"), dir.path()});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QStringLiteral("已创建")));

        db::Connection connection;
        connection.open(db::connectionString(dir.filePath(QStringLiteral("MY.mdb"))));
        db::Recordset users;
        users.openTable(connection, QStringLiteral("mab"));
        QCOMPARE(users.recordCount(), 1);
        QCOMPARE(users.text(u"yhm"), QStringLiteral("admin"));
        QCOMPARE(users.text(u"yhma"), QStringLiteral("123456"));
        db::Recordset people;
        people.openTable(connection, QStringLiteral("yanshu"));
        QCOMPARE(people.recordCount(), 0);
    }

    void demoContactsIncludeAFullAndAnEmptyCard() {
        QTemporaryDir dir;
        QCOMPARE(
            yanshubuDb({QStringLiteral("init"), QStringLiteral("--demo"), dir.path()}).exitCode, 0);
        db::Connection connection;
        connection.open(db::connectionString(dir.filePath(QStringLiteral("MY.mdb"))));
        db::Recordset people;
        people.openTable(connection, QStringLiteral("yanshu"));
        QVERIFY(people.recordCount() >= 4);
        bool full = false;
        bool empty = false;
        QSet<qint64> ids;
        for (; !people.eof(); people.moveNext()) {
            int filled = 0;
            for (const auto& c : contacts::textColumns) {
                filled += people.text(c.column).isEmpty() ? 0 : 1;
            }
            full = full || filled == 21;
            empty = empty || filled == 0;
            ids.insert(people.value(u"Id").toLongLong());
        }
        QVERIFY(full && empty);
        QCOMPARE(ids.size(), people.recordCount());
    }

    void anExistingFileIsNeverOverwritten() {
        test::ProgramFolder folder;
        const QByteArray before = test::fileBytes(folder.databasePath());
        const Run run =
            yanshubuDb({QStringLiteral("init"), QStringLiteral("--demo"), folder.path()});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("已经存在")), qPrintable(run.err));
        QCOMPARE(test::fileBytes(folder.databasePath()), before);
    }

    // A file goes in with a report after a backup of the book as it was,
    // comes out in the chosen format and code page, and goes into another
    // book whole.
    void importAndExport() {
        test::ProgramFolder folder;
        const QString sample = QStringLiteral(SAMPLES_DIR "/android-21-qp.vcf");
        const QString backups = contacts::backupFolder(folder.databasePath());
        test::writeBytes(backups, "not a folder"); // no backup, no import
        const Run refused = yanshubuDb({"import", sample, "--folder", folder.path()});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("备份文件夹")), qPrintable(refused.err));
        QCOMPARE(contactsIn(folder.databasePath()), 0);
        QVERIFY(QFile::remove(backups));

        const Run in = yanshubuDb({"import", sample, "--folder", folder.path()});
        QCOMPARE(in.exitCode, 0);
        QVERIFY2(in.out.contains(QStringLiteral("新增 5 人")), qPrintable(in.out));
        QVERIFY(in.out.contains(QStringLiteral("未导入：照片")));
        const auto taken = contacts::listBackups(folder.databasePath());
        QCOMPARE(taken.size(), std::size_t(1));
        QVERIFY2(in.out.startsWith(QStringLiteral("已备份到 ") +
                                   QDir::toNativeSeparators(taken.front().path)),
                 qPrintable(in.out));
        QCOMPARE(contactsIn(taken.front().path), 0);
        const QString csv = folder.path() + QStringLiteral("/全部.csv");
        const Run out = yanshubuDb({"export", csv, "--encoding", "gbk", "--folder", folder.path()});
        QCOMPARE(out.exitCode, 0);
        QVERIFY(test::fileBytes(csv).startsWith("\xD0\xD5\xC3\xFB,")); // 姓名 in GBK

        QTemporaryDir other;
        QCOMPARE(yanshubuDb({"init", other.path()}).exitCode, 0);
        const Run again = yanshubuDb({"import", csv, "--folder", other.path()});
        QVERIFY2(again.out.contains(QStringLiteral("新增 5 人")), qPrintable(again.out));
        const Run twice = yanshubuDb({"import", csv, "--folder", other.path()});
        QVERIFY2(twice.out.contains(QStringLiteral("新增 0 人，更新 0 人")), qPrintable(twice.out));

        QCOMPARE(yanshubuDb({"export", csv, "--format", "vcard4", "--encoding", "gbk"}).exitCode,
                 2);
        QCOMPARE(yanshubuDb({"export", csv, "--format", "xml"}).exitCode, 2);
        const Run missing = yanshubuDb({"import", csv + "x", "--folder", other.path()});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.err.contains(QStringLiteral("无法打开文件")));
    }

    // The groups as a script reads them: the evidence, then number and name.
    void duplicatesAreListed() {
        test::ProgramFolder folder;
        const QString file = folder.path() + QStringLiteral("/two.vcf");
        test::writeBytes(file, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:张珊\r\nTEL;TYPE=CELL:138 0013 "
                               "8000\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:张姗\r\n"
                               "TEL;TYPE=CELL:+8613800138000\r\nEND:VCARD\r\n");
        QCOMPARE(yanshubuDb({"import", file, "--folder", folder.path()}).exitCode, 0);
        const Run listed = yanshubuDb({"duplicates", "--folder", folder.path()});
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out, QStringLiteral("手机号相同：13800138000\n  1\t张珊\n  2\t张姗\n"));
    }

    // Ten imports that fail and five of a file the book already holds take
    // no backup; the one that changes the book takes one just before, as
    // does an old Access book going into it. A book its newest backup
    // holds is not backed up again.
    void onlyWhatChangesTheBookBacksItUpFirst() {
        test::ProgramFolder folder;
        const QString book = folder.databasePath();
        const QString sample = QStringLiteral(SAMPLES_DIR "/android-21-qp.vcf");
        QTemporaryDir files;
        const QString foreign = files.filePath(QStringLiteral("说明.csv"));
        test::writeBytes(foreign, "a,b\n1,2\n");
        for (int i = 0; i < 10; ++i) {
            const QString input = i % 2 ? foreign : files.filePath(QStringLiteral("没有.vcf"));
            QCOMPARE(yanshubuDb({"import", input, "--folder", folder.path()}).exitCode, 1);
        }
        QVERIFY(contacts::listBackups(book).empty());
        for (int i = 0; i < 6; ++i) {
            const Run in = yanshubuDb({"import", sample, "--folder", folder.path()});
            QCOMPARE(in.exitCode, 0);
            QCOMPARE(in.out.startsWith(QStringLiteral("已备份到 ")), i == 0);
        }
        QCOMPARE(contacts::listBackups(book).size(), std::size_t(1));
        QCOMPARE(contactsIn(contacts::listBackups(book).front().path), 0);

        const QString missing = files.filePath(QStringLiteral("没有.mdb"));
        QCOMPARE(yanshubuDb({"import-access", missing, "--folder", folder.path()}).exitCode, 1);
        const Run access = yanshubuDb(
            {"import-access", SAMPLES_DIR "/legacy/legacy-demo.mdb", "--folder", folder.path()});
        QVERIFY2(access.out.startsWith(QStringLiteral("已备份到 ")), qPrintable(access.out));
        const auto taken = contacts::listBackups(book);
        QCOMPARE(taken.size(), std::size_t(2));
        QCOMPARE(contactsIn(taken.front().path), 5);

        QCOMPARE(yanshubuDb({"backup", "--folder", folder.path()}).exitCode, 0);
        const QString newest = contacts::listBackups(book).front().path;
        const Run again = yanshubuDb({"backup", "--folder", folder.path()});
        QCOMPARE(again.out, QStringLiteral("通讯录与最新的备份 %1 相同，没有再备份\n")
                                .arg(QDir::toNativeSeparators(newest)));
        QCOMPARE(contacts::listBackups(book).size(), std::size_t(3));
    }

    // A writer stopped mid-transaction left its journal: check says so,
    // and changes nothing; the next read-write open plays it back.
    void checkTellsOfAWriteThatDidNotFinish() {
        QTemporaryDir dir;
        const QString book = dir.filePath(QStringLiteral("MY.mdb"));
        const QString journal = book + QStringLiteral("-journal");
        QVERIFY(QFile::copy(QStringLiteral(SAMPLES_DIR "/hostile/hotjournal/MY.mdb"), book));
        QVERIFY(
            QFile::copy(QStringLiteral(SAMPLES_DIR "/hostile/hotjournal/MY.mdb-journal"), journal));
        const QByteArray before = test::fileBytes(book);
        const Run check = yanshubuDb({"check", "--folder", dir.path()});
        QCOMPARE(check.exitCode, 1);
        QVERIFY2(check.out.contains(QStringLiteral("上次写入没有完成")) &&
                     check.out.contains(QStringLiteral("打开这个通讯录时会自动恢复")) &&
                     !check.out.contains(QStringLiteral("只读")),
                 qPrintable(check.out));
        QCOMPARE(test::fileBytes(book), before);
        QVERIFY(QFileInfo::exists(journal));

        QCOMPARE(yanshubuDb({"backup", "--folder", dir.path()}).exitCode, 0);
        QVERIFY(!QFileInfo::exists(journal));
        QCOMPARE(yanshubuDb({"check", "--folder", dir.path()}).out,
                 QStringLiteral("MY.mdb 完好。\n"));
    }

    // An old Access book goes into a new MY.mdb; never onto itself, and a
    // damaged one leaves no file behind.
    void importAccess() {
        QTemporaryDir dir;
        const QString old = QStringLiteral(SAMPLES_DIR "/legacy/legacy-demo.mdb");
        const Run run = yanshubuDb({"import-access", old, "--folder", dir.path()});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("联系人读出 13 位，写入 13 位")),
                 qPrintable(run.out));
        const QString mine = dir.filePath(QStringLiteral("MY.mdb"));
        QVERIFY(contacts::listBackups(mine).empty()); // a new book: nothing to keep
        QCOMPARE(yanshubuDb({"import-access", mine, "--folder", dir.path()}).exitCode, 1);
        const Run again = yanshubuDb({"import-access", old, "--folder", dir.path()});
        QCOMPARE(again.exitCode, 0);
        QVERIFY2(again.out.startsWith(QStringLiteral("已备份到 ")), qPrintable(again.out));
        QCOMPARE(contacts::listBackups(mine).size(), std::size_t(1));

        QTemporaryDir other;
        const QString bad = other.filePath(QStringLiteral("bad.mdb"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(test::fileBytes(old).left(8192));
        file.close();
        const Run damaged = yanshubuDb({"import-access", bad, "--folder", other.path()});
        QCOMPARE(damaged.exitCode, 1);
        QVERIFY(damaged.err.contains(QStringLiteral("无法读取旧版数据库")));
        QVERIFY(!QFile::exists(other.filePath(QStringLiteral("MY.mdb"))));
    }

    // The book is backed up, found sound, emptied and put back from the
    // backup, the emptied one kept; a damaged one is reported.
    void backupCheckAndRestore() {
        QTemporaryDir dir;
        QCOMPARE(yanshubuDb({"init", "--demo", dir.path()}).exitCode, 0);
        const QString book = dir.filePath(QStringLiteral("MY.mdb"));
        const qint64 demo = contactsIn(book);
        const Run backup = yanshubuDb({"backup", "--folder", dir.path()});
        QCOMPARE(backup.exitCode, 0);
        const auto taken = contacts::listBackups(book);
        QCOMPARE(taken.size(), std::size_t(1));
        QCOMPARE(backup.out,
                 QStringLiteral("已备份到 %1\n").arg(QDir::toNativeSeparators(taken.front().path)));
        const Run sound = yanshubuDb({"check", "--folder", dir.path()});
        QCOMPARE(sound.exitCode, 0);
        QCOMPARE(sound.out, QStringLiteral("MY.mdb 完好。\n"));

        {
            db::Connection connection;
            connection.open(db::connectionString(book));
            contacts::defineSearchFunctions(connection); // which yanshu's triggers call
            connection.execute(QStringLiteral("DELETE FROM yanshu"));
        }
        const Run restore = yanshubuDb({"restore", taken.front().path, "--folder", dir.path()});
        QCOMPARE(restore.exitCode, 0);
        QCOMPARE(contactsIn(book), demo);
        const auto after = contacts::listBackups(book);
        QCOMPARE(after.size(), std::size_t(2));
        QVERIFY2(restore.out.contains(QDir::toNativeSeparators(after.front().path)) &&
                     restore.out.contains(QStringLiteral("恢复")),
                 qPrintable(restore.out));
        QCOMPARE(contactsIn(after.front().path), 0);

        test::writeBytes(book, QByteArray(100, '\x5a'));
        const Run damaged = yanshubuDb({"check", "--folder", dir.path()});
        QCOMPARE(damaged.exitCode, 1);
        QVERIFY2(damaged.out.contains(QStringLiteral("不是雁书簿的数据库文件")),
                 qPrintable(damaged.out));
        for (const QStringList& args : {QStringList{"backup", "extra"}, QStringList{"restore"},
                                        QStringList{"check", "--x"}}) {
            QCOMPARE(yanshubuDb(args).exitCode, 2);
        }
    }

    void badArgumentsAreExplained() {
        QTemporaryDir dir;
        const Run help = yanshubuDb({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(QStringLiteral("admin")));
        for (const QStringList& args :
             {QStringList{}, QStringList{"create"}, QStringList{"init", "--force", dir.path()},
              QStringList{"init", dir.path(), dir.path()}}) {
            const Run run = yanshubuDb(args);
            QCOMPARE(run.exitCode, 2);
            QVERIFY(run.err.contains(QStringLiteral("用法")));
        }
        const QString missing = dir.filePath(QStringLiteral("不存在"));
        const Run run = yanshubuDb({QStringLiteral("init"), missing});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(QStringLiteral("不存在")));
        QVERIFY(!QFile::exists(missing));
        QVERIFY(QDir(dir.path()).isEmpty());
    }
};

QTEST_GUILESS_MAIN(ToolsTest)
#include "tst_tools.moc"
