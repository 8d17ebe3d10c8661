// The database layer on its own: connections, their errors, and the
// record set over a real file. Qt Core and SQLite only.

#include "Files.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

#include <memory>

using db::Connection;
using db::DbError;
using db::Recordset;

namespace {

// A second, independent look at the file through the bare engine.
QString scalar(const QString& path, const QString& sql) {
    sqlite3* handle = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(handle, sql.toUtf8().constData(), -1, &stmt, nullptr);
    QString result = QStringLiteral("<no row>");
    if (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        result = text ? QString::fromUtf8(text) : QStringLiteral("<null>");
    }
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    return result;
}

// Opens and expects the one error type with a readable message.
template <class F> DbError expectDbError(F&& action) {
    try {
        action();
    } catch (const DbError& e) {
        return e;
    }
    throw std::runtime_error("no DbError");
}

// Another program holding the file locked until released.
class Lock {
public:
    explicit Lock(const QString& path) {
        connection_.open(db::connectionString(path));
        connection_.execute(QStringLiteral("BEGIN EXCLUSIVE; UPDATE people SET Id = Id;"));
    }
    void release() { connection_.execute(QStringLiteral("ROLLBACK")); }

private:
    Connection connection_;
};

} // namespace

class RecordsetTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    Connection connection;

    QString book() const { return dir->filePath(QStringLiteral("MY.mdb")); }
    QString connString() const { return db::connectionString(book()); }

    void addPeople(const QStringList& names) {
        Recordset rs;
        rs.openTable(connection, QStringLiteral("people"), QStringLiteral("0"));
        int id = 0;
        for (const QString& name : names) {
            rs.addNew();
            rs.setValue(u"Id", ++id);
            rs.setValue(u"GR_XM", name);
            rs.update();
        }
    }

    // Table t of numbered rows: n and _rowid_ run 1, 2, …, name is r<n>.
    void makeNumbers(int count) {
        connection.execute(
            QStringLiteral("CREATE TABLE t (n INTEGER, name TEXT DEFAULT '');"
                           "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k "
                           "WHERE n < %1) INSERT INTO t (n, name) SELECT n, 'r' || n FROM k")
                .arg(count));
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        connection.create(book());
        connection.execute(QStringLiteral("CREATE TABLE people (Id INTEGER DEFAULT 0, "
                                          "GR_XM TEXT DEFAULT '', GR_BZ TEXT DEFAULT '')"));
    }
    void cleanup() {
        connection.close();
        dir.reset();
    }

    void dataSourceIsFoundWhateverTheSpellingAndTheFolder() {
        QStringList folders{QStringLiteral("home/用户/雁书簿 程序"), QStringLiteral("tmp/a;b"),
                            QStringLiteral("tmp/say \"hi\""), QStringLiteral("tmp/trailing ")};
#ifndef Q_OS_WIN
        folders << QStringLiteral("tmp/a\\b"); // a name on Linux, two folders on Windows
#endif
        for (QString f : folders) {
            f.prepend(QDir::rootPath());
            QCOMPARE(db::dataSource(db::connectionString(f + "/MY.mdb")), f + "/MY.mdb");
            QCOMPARE(db::dataSource(db::accountConnectionString(f + "/通讯录.db")),
                     f + "/通讯录.db");
        }
        QCOMPARE(db::dataSource(QStringLiteral("provider=x; DATA SOURCE = /a b/MY.mdb ;x=y")),
                 QStringLiteral("/a b/MY.mdb"));
        QCOMPARE(db::dataSource(QStringLiteral("Provider=x;Persist Security Info=False")),
                 QString());
        QCOMPARE(db::dataSource(QStringLiteral(";Provider=x;; ;Data Source=/a/MY.mdb")),
                 QStringLiteral("/a/MY.mdb"));
        Connection second; // the account dialog's spelling opens the file too
        second.open(db::accountConnectionString(book()));
        QVERIFY(second.isOpen());
    }

    void missingUnreadableAndForeignFilesAreErrorsLeftAsTheyWere() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("MY.mdb"));
        Connection c;
        const auto error = [&] {
            return expectDbError([&] { c.open(db::connectionString(path)); });
        };
        const DbError missing = error();
        QCOMPARE(missing.kind(), db::DbErrorKind::Missing);
        QVERIFY(!missing.detail().isEmpty());

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("MY.mdb")));
        QVERIFY(error().userMessage().contains(QStringLiteral("无法打开")));
        QDir(dir.path()).rmdir(QStringLiteral("MY.mdb"));

        // An old Access file is named as such; anything else is not our database.
        const auto writeFile = [&](const QByteArray& head) {
            QFile foreign(path);
            QVERIFY(foreign.open(QIODevice::WriteOnly | QIODevice::Truncate));
            foreign.write(head.leftJustified(4096, '\x01'));
        };
        writeFile(QByteArray("\x00\x01\x00\x00Standard Jet DB\0", 20));
        const QByteArray before = test::fileBytes(path);
        QCOMPARE(error().kind(), db::DbErrorKind::OldAccessFile);
        QVERIFY(!c.isOpen());
        QCOMPARE(test::fileBytes(path), before);
        writeFile("Standard Jet DB");
        const DbError foreign = error();
        QVERIFY(foreign.userMessage().contains(QStringLiteral("不是雁书簿的数据库文件")));
        QCOMPARE(foreign.kind(), db::DbErrorKind::NotOurs);
        // So is a database without our tables.
        QVERIFY(QFile::remove(path));
        c.create(path);
        Recordset rs;
        QCOMPARE(expectDbError([&] { rs.openTable(c, QStringLiteral("people")); }).kind(),
                 db::DbErrorKind::NotOurs);
    }

    void corruptTablePagesAreReportedWhenRead() {
        addPeople({QStringLiteral("甲"), QStringLiteral("乙")});
        connection.close();
        QFile file(book());
        QVERIFY(file.open(QIODevice::ReadWrite));
        const qint64 pageSize = 4096;
        QVERIFY(file.size() > pageSize);
        file.seek(pageSize); // every page after the schema page
        file.write(QByteArray(file.size() - pageSize, '\xff'));
        file.close();
        const QByteArray before = test::fileBytes(book());

        connection.open(connString());
        Recordset rs;
        const DbError e =
            expectDbError([&] { rs.openTable(connection, QStringLiteral("people")); });
        QVERIFY2(e.userMessage().contains(QStringLiteral("损坏")), qPrintable(e.userMessage()));
        QCOMPARE(e.kind(), db::DbErrorKind::Corrupt);
        QVERIFY(!rs.isOpen());
        QCOMPARE(test::fileBytes(book()), before);
    }

    void navigationStopsAtBothEndsOfAnEmptyOrAFullSet() {
        Recordset rs;
        rs.moveNext(); // a set never opened is empty
        rs.moveLast();
        QVERIFY(rs.eof() && rs.bof() && !rs.moveToRow(1));
        rs.openTable(connection, QStringLiteral("people"));
        QCOMPARE(rs.recordCount(), 0);
        QVERIFY(rs.eof() && rs.bof());
        rs.moveFirst();
        QVERIFY(rs.eof() && rs.bof());
        rs.moveLast();
        rs.moveNext();
        rs.movePrevious();
        QVERIFY(rs.eof() && rs.bof());
        QVERIFY_THROWS_EXCEPTION(DbError, rs.value(u"Id"));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.deleteCurrent());

        addPeople({QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")});
        rs.openTable(connection, QStringLiteral("people"));
        QCOMPARE(rs.recordCount(), 3);
        QVERIFY(!rs.bof() && !rs.eof());
        QCOMPARE(rs.text(u"gr_xm"), QStringLiteral("甲"));
        rs.moveNext();
        rs.moveNext();
        QCOMPARE(rs.text(u"GR_XM"), QStringLiteral("丙"));
        rs.moveNext();
        QVERIFY(rs.eof() && !rs.bof());
        rs.moveNext(); // stays past the end
        QVERIFY(rs.eof());
        QVERIFY_THROWS_EXCEPTION(DbError, rs.text(u"GR_XM"));
        rs.movePrevious();
        QCOMPARE(rs.text(u"GR_XM"), QStringLiteral("丙"));
        rs.moveFirst();
        rs.movePrevious();
        QVERIFY(rs.bof() && !rs.eof());
        rs.movePrevious();
        QVERIFY(rs.bof());
        rs.moveNext();
        QCOMPARE(rs.text(u"GR_XM"), QStringLiteral("甲"));
        rs.moveLast();
        QCOMPARE(rs.text(u"GR_XM"), QStringLiteral("丙"));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.text(u"NoSuchColumn"));
    }

    // 200 rows: three full pages of 64 and part of a fourth.
    void positionsAndEndsHoldAcrossPages() {
        makeNumbers(200);
        Recordset rs;
        rs.openTable(connection, QStringLiteral("t"));
        QCOMPARE(rs.recordCount(), 200); // before the rows are listed
        int n = 0;
        for (; !rs.eof(); rs.moveNext()) {
            QVERIFY(!rs.bof());
            QCOMPARE(rs.value(u"n").toInt(), ++n);
            if (n == 100) {
                QCOMPARE(rs.recordCount(), 200);
            }
        }
        QCOMPARE(n, 200);
        rs.moveNext();
        QVERIFY(rs.eof() && !rs.hasCurrent());
        for (rs.movePrevious(); !rs.bof(); rs.movePrevious()) {
            QCOMPARE(rs.value(u"n").toInt(), n--);
        }
        QCOMPARE(n, 0);
        rs.moveLast();
        QCOMPARE(rs.rowId(), 200);

        // A condition thins the pages out; positions read in any order
        // leave the cursor where it is.
        rs.openTable(connection, QStringLiteral("t"), QStringLiteral("n % 3 = ?"), {0});
        for (const int i : {65, 0, 64, 63, 1, 30}) {
            QCOMPARE(rs.textAt(i, 1), QStringLiteral("r%1").arg(3 * (i + 1)));
        }
        QCOMPARE(rs.text(u"name"), QStringLiteral("r3"));
        QCOMPARE(rs.recordCount(), 66);
        QVERIFY_THROWS_EXCEPTION(DbError, rs.textAt(66, 1));
        rs.moveLast();
        QCOMPARE(rs.text(u"name"), QStringLiteral("r198"));
        rs.moveNext();
        QVERIFY(rs.eof());
    }

    void writesThroughTheSetShowAtOnceAcrossPages() {
        makeNumbers(200);
        const QString db = book();
        Recordset rs;
        rs.openTable(connection, QStringLiteral("t"));
        QVERIFY(rs.moveToRow(150));
        rs.setValue(u"name", QStringLiteral("改"));
        rs.update();
        QCOMPARE(rs.text(u"name"), QStringLiteral("改"));
        QCOMPARE(rs.textAt(149, 1), QStringLiteral("改"));
        QCOMPARE(scalar(db, "select name from t where n = 150"), QStringLiteral("改"));
        rs.deleteCurrent();
        QCOMPARE(rs.recordCount(), 199);
        QCOMPARE(rs.textAt(149, 0), QStringLiteral("151"));
        rs.moveNext();
        QCOMPARE(rs.rowId(), 151);

        // A fresh set has listed its first page only: the count is kept
        // right, and a row added goes after all the others.
        rs.openTable(connection, QStringLiteral("t"));
        rs.moveNext();
        QCOMPARE(rs.recordCount(), 199);
        rs.deleteCurrent();
        QCOMPARE(rs.recordCount(), 198);
        rs.addNew();
        rs.setValue(u"n", 1000);
        rs.update();
        QCOMPARE(rs.recordCount(), 199);
        QCOMPARE(rs.text(u"n"), QStringLiteral("1000"));
        QCOMPARE(rs.textAt(198, 0), QStringLiteral("1000"));
        rs.moveNext();
        QVERIFY(rs.eof());
        rs.movePrevious();
        rs.movePrevious();
        QCOMPARE(rs.rowId(), 200);
        int count = 0;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            ++count;
        }
        QCOMPARE(count, 199);
        QCOMPARE(scalar(db, "select count(*) || '/' || max(n) from t"), QStringLiteral("199/1000"));
    }

    // 5000 rows: far past the first page the rest are listed at once.
    void rowsAreFoundByTheirRowid() {
        makeNumbers(5000);
        Recordset rs;
        rs.openTable(connection, QStringLiteral("t"), QStringLiteral("n <> ?"), {4000});
        QCOMPARE(rs.rowId(), 1);
        QVERIFY(rs.moveToRow(4500));
        QCOMPARE(rs.text(u"name"), QStringLiteral("r4500"));
        QVERIFY(!rs.moveToRow(4000)); // not in the set
        QVERIFY(!rs.moveToRow(6000)); // not in the table
        QCOMPARE(rs.rowId(), 4500);
        QCOMPARE(rs.textAt(3998, 1), QStringLiteral("r3999"));
        QCOMPARE(rs.textAt(3999, 1), QStringLiteral("r4001"));
        rs.movePrevious();
        QCOMPARE(rs.rowId(), 4499);
        rs.moveLast();
        rs.moveNext();
        QVERIFY_THROWS_EXCEPTION(DbError, rs.rowId());
        QVERIFY(rs.moveToRow(1));
        QVERIFY(!rs.bof() && !rs.eof());
        rs.addNew(); // the row being added has no rowid yet
        QVERIFY_THROWS_EXCEPTION(DbError, rs.rowId());
        rs.cancelUpdate();
        rs.deleteCurrent();
        QVERIFY(!rs.moveToRow(1));

        rs.openTable(connection, QStringLiteral("t"));
        QCOMPARE(rs.textAt(4998, 1), QStringLiteral("r5000"));
        rs.openTable(connection, QStringLiteral("t"));
        rs.moveLast();
        QCOMPARE(rs.rowId(), 5000);
        QCOMPARE(rs.recordCount(), 4999);
    }

    void changesMadeElsewhereAreSeenFromTheNextMoveButNotNewRows() {
        makeNumbers(200);
        Recordset rs;
        rs.openTable(connection, QStringLiteral("t"));
        QCOMPARE(rs.textAt(99, 1), QStringLiteral("r100")); // two pages read
        Connection other;
        other.open(connString());
        other.execute(QStringLiteral("UPDATE t SET name = '改' WHERE n IN (1, 100);"
                                     "INSERT INTO t (n) VALUES (201)"));
        QCOMPARE(rs.textAt(0, 1), QStringLiteral("改"));
        QCOMPARE(rs.textAt(99, 1), QStringLiteral("改"));
        QCOMPARE(rs.recordCount(), 200);
        // So are those of other statements on the set's own connection.
        connection.execute(QStringLiteral("UPDATE t SET name = '又改' WHERE n = 1"));
        rs.moveNext();
        rs.movePrevious();
        QCOMPARE(rs.text(u"name"), QStringLiteral("又改"));
        rs.moveLast();
        QCOMPARE(rs.rowId(), 200);
        rs.openTable(connection, QStringLiteral("t"));
        QCOMPARE(rs.recordCount(), 201);
    }

    void rowsDeletedElsewhereAreSkippedByMovesAndFailWhenRead() {
        makeNumbers(200);
        Recordset rs;
        rs.openTable(connection, QStringLiteral("t"));
        rs.moveLast(); // every row listed
        QVERIFY(rs.moveToRow(6));
        Connection other;
        other.open(connString());
        other.execute(QStringLiteral("DELETE FROM t WHERE n IN (6, 7, 8, 100)"));
        const QString gone = QStringLiteral("这条记录已不在数据库中，可能已被其他程序删除。");
        QCOMPARE(expectDbError([&] { rs.textAt(99, 1); }).userMessage(), gone);
        QVERIFY(rs.hasCurrent());
        QCOMPARE(expectDbError([&] { rs.text(u"name"); }).userMessage(), gone);
        rs.moveNext();
        QCOMPARE(rs.rowId(), 9);
        QCOMPARE(rs.recordCount(), 198); // 6 and 100 count until a move drops them
        rs.movePrevious();
        QCOMPARE(rs.rowId(), 5);
        QCOMPARE(rs.recordCount(), 197);
        rs.moveNext();
        QCOMPARE(rs.text(u"name"), QStringLiteral("r9"));
        // The file gives a deleted row's rowid to the next row added.
        other.execute(QStringLiteral("DELETE FROM t WHERE n = 200"));
        rs.addNew();
        rs.setValue(u"n", 300);
        rs.update();
        QCOMPARE(rs.rowId(), 200);
        QCOMPARE(rs.recordCount(), 197);
    }

    void writesReachTheFileAtOnce() {
        Recordset rs;
        rs.openTable(connection, QStringLiteral("people"));
        rs.addNew();
        rs.setValue(u"Id", QStringLiteral("42")); // decimal text, stored as a number
        rs.setValue(u"GR_XM", QStringLiteral("新人"));
        rs.update();
        const QString db = book();
        QCOMPARE(scalar(db, "select GR_XM || '/' || typeof(Id) || '/' || Id from people"),
                 QStringLiteral("新人/integer/42"));
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.value(u"Id").toLongLong(), 42);
        QCOMPARE(rs.text(u"GR_BZ"), QString()); // untouched columns take their default

        rs.setValue(u"GR_BZ", QStringLiteral("备注"));
        rs.update();
        QCOMPARE(scalar(db, "select GR_BZ from people"), QStringLiteral("备注"));
        QCOMPARE(rs.text(u"GR_BZ"), QStringLiteral("备注"));
        QCOMPARE(rs.text(u"Id"), QStringLiteral("42"));

        rs.deleteCurrent();
        QCOMPARE(scalar(db, "select count(*) from people"), QStringLiteral("0"));
    }

    void deletedRowsAreNeverCurrentAgain() {
        addPeople({QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")});
        Recordset rs;
        rs.openTable(connection, QStringLiteral("people"));
        rs.moveNext();
        rs.deleteCurrent(); // the middle one
        QVERIFY(!rs.eof() && !rs.bof());
        QVERIFY_THROWS_EXCEPTION(DbError, rs.text(u"GR_XM"));
        rs.moveNext();
        QCOMPARE(rs.text(u"GR_XM"), QStringLiteral("三"));
        rs.movePrevious();
        QCOMPARE(rs.text(u"GR_XM"), QStringLiteral("一"));
        QCOMPARE(rs.recordCount(), 2);

        rs.deleteCurrent();
        rs.moveNext();
        rs.deleteCurrent(); // the last one left
        rs.moveNext();
        QVERIFY(rs.eof() && rs.bof());
        QCOMPARE(rs.recordCount(), 0);
        QCOMPARE(scalar(book(), "select count(*) from people"), QStringLiteral("0"));
    }

    void textRoundTripsUnchanged() {
        const QStringList values{QString(), QStringLiteral("  前后空格  "),
                                 QStringLiteral("中文，标点。"), QStringLiteral("行一\r\n行二"),
                                 QStringLiteral("O'Brien \"引号\"")};
        Recordset rs;
        rs.openTable(connection, QStringLiteral("people"));
        for (const QString& v : values) {
            rs.addNew();
            rs.setValue(u"GR_XM", v);
            rs.setValue(u"GR_BZ", v);
            rs.update();
        }
        QCOMPARE(scalar(book(), "select count(*) from people where GR_BZ is null"),
                 QStringLiteral("0"));
        rs.openTable(connection, QStringLiteral("people"));
        for (const QString& v : values) {
            QCOMPARE(rs.text(u"GR_XM"), v);
            QCOMPARE(rs.text(u"GR_BZ"), v);
            rs.moveNext();
        }
    }

    void aFailedWriteLeavesFileAndSetAsTheyWere() {
        addPeople({QStringLiteral("原名")});
        Recordset rs;
        rs.openTable(connection, QStringLiteral("people"));
        Lock other(book());
        QCOMPARE(expectDbError([&] { Connection().open(connString()); }).kind(),
                 db::DbErrorKind::Locked);

        rs.setValue(u"GR_XM", QStringLiteral("新名"));
        const DbError e = expectDbError([&] { rs.update(); });
        QVERIFY(e.userMessage().contains(QStringLiteral("正被其他程序使用")));
        rs.addNew();
        rs.setValue(u"GR_XM", QStringLiteral("另一个"));
        expectDbError([&] { rs.update(); });
        other.release();

        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(scalar(book(), "select group_concat(GR_XM) from people"), QStringLiteral("原名"));
        rs.update(); // what was typed is still there to be saved
        QCOMPARE(scalar(book(), "select count(*) from people"), QStringLiteral("2"));
    }

    void writesTheDatabaseDoesNotMakeFailAndKeepWhatWasTyped() {
        addPeople({QStringLiteral("甲")});
        Recordset rs;
        rs.openTable(connection, QStringLiteral("people"));
        connection.execute(QStringLiteral("DELETE FROM people; CREATE TRIGGER drop_all BEFORE "
                                          "INSERT ON people BEGIN SELECT RAISE(IGNORE); END"));
        // A row deleted elsewhere is not silently updated.
        rs.setValue(u"GR_XM", QStringLiteral("乙"));
        QVERIFY(expectDbError([&] { rs.update(); }).userMessage().contains(QStringLiteral("删除")));
        QCOMPARE(rs.text(u"GR_XM"), QStringLiteral("乙"));
        // An insert the database drops is no success.
        rs.addNew();
        rs.setValue(u"GR_XM", QStringLiteral("丢失"));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.update());
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.text(u"GR_XM"), QStringLiteral("丢失")); // still there to retry
    }
};

QTEST_GUILESS_MAIN(RecordsetTest)

#include "tst_recordset.moc"
