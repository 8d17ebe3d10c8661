// The contact and user stores on a real file, without any window.

#include "Files.h"

#include "account/UserStore.h"
#include "contacts/Backups.h"
#include "contacts/Book.h"
#include "contacts/ContactColumns.h"
#include "contacts/ContactStore.h"
#include "contacts/Duplicates.h"
#include "contacts/MergeContacts.h"
#include "contacts/Schema.h"
#include "contacts/SearchKeys.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/Recordset.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <limits>

using contacts::Contact;
using contacts::contactColumns;
using contacts::ContactStore;
using contacts::textColumns;

namespace {

Contact card(qint64 id, const QString& name) {
    Contact c;
    c.id = id;
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
        c.fields[i] = QStringLiteral("%1·%2").arg(name).arg(i);
    }
    c.fields[0] = name;
    return c;
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    db::Connection connection;
    const QDateTime start{QDate(2026, 12, 7), QTime(9, 30), Qt::UTC};
    QDateTime clock;
    contacts::BookChanges changes;

    QString path() const { return dir->filePath(QStringLiteral("MY.mdb")); }
    QString connectionString() const { return db::connectionString(path()); }
    ContactStore store() {
        return ContactStore(&changes, [this] { return clock; });
    }
    // What a writer that is no Book (another copy of the program, say)
    // writes into the book.
    void written(const QString& sql) {
        db::Connection other;
        other.open(connectionString());
        contacts::defineSearchFunctions(other);
        other.execute(sql);
    }
    // What another program sees in the file (the book by default): the
    // first columns of each row.
    QStringList stored(const QString& sql, int columns = 1, const QString& file = {}) {
        db::Connection other;
        other.open(db::connectionString(file.isEmpty() ? path() : file));
        db::Statement rows(other, sql);
        QStringList values;
        while (rows.step()) {
            for (int c = 0; c < columns; ++c) {
                values << rows.value(c).toString();
            }
        }
        return values;
    }
    QStringList namesFound(const QString& sql, const QString& name) {
        db::Statement rs(connection, sql);
        rs.bind(1, name);
        QStringList names;
        while (rs.step()) {
            names << rs.value(0).toString();
        }
        return names;
    }
    // Whom the contact list shows for the text typed in its search box.
    QStringList namesListed(const QString& typed) {
        QStringList found;
        for (const auto& c : ContactStore::search(connection, typed, {}, 100, 100).found) {
            found << c.shown[0];
        }
        return found;
    }
    void makeFile(void (*schema)(db::Connection&)) {
        connection.close();
        QFile::remove(path());
        connection.create(path());
        schema(connection);
    }

private slots:
    void init() {
        clock = start;
        dir = std::make_unique<QTemporaryDir>();
        makeFile(contacts::createSchema);
    }
    void cleanup() { connection.close(); }

    void theTableHasTheColumnsInCardOrderWithEmptyDefaults() {
        QStringList expected;
        for (const auto& c : contactColumns) {
            expected << c.column.toString();
        }
        expected << QStringLiteral("UID") << QStringLiteral("REV");
        QCOMPARE(namesFound(QStringLiteral("select name from pragma_table_info(?)"),
                            QStringLiteral("yanshu")),
                 expected);
        written(QStringLiteral("INSERT INTO yanshu DEFAULT VALUES"));
        db::Recordset row;
        row.openTable(connection, QStringLiteral("yanshu"));
        for (const auto& c : textColumns) {
            const QVariant v = row.value(c.column);
            QVERIFY2(v.isValid() && v.toString().isEmpty(), qPrintable(c.column.toString()));
        }
    }

    void namesCompareWholeWithBlanksAndLatinCaseFoldedThroughTheIndex() {
        ContactStore s = store();
        s.openAll(connection);
        for (const char* name : {"Li Ming", " 林晓燕 ", "林晓燕", "O'Brien"}) {
            s.add(card(1, QString::fromUtf8(name)));
        }
        for (const auto& [typed, found] : {std::pair{"li ming", "Li Ming"},
                                           {"Li  Ming", ""},
                                           {"林晓燕", "林晓燕"},
                                           {" 林晓燕 ", " 林晓燕 "},
                                           {"林晓", ""},
                                           {"o'brien", "O'Brien"}}) {
            s.findByName(connection, QString::fromUtf8(typed));
            QCOMPARE(s.empty(), !*found);
            if (*found) {
                QCOMPARE(s.current().fields[0], QString::fromUtf8(found));
            }
        }
        db::Statement plan(
            connection, QStringLiteral("explain query plan select * from yanshu where GR_XM = ?"));
        QVERIFY(plan.step());
        const QString detail = plan.value(3).toString();
        QVERIFY2(detail.contains(QStringLiteral("INDEX yanshu_GR_XM")), qPrintable(detail));
    }

    void userNamesFoldCaseButPasswordsAreKeptExactly() {
        account::UserStore::add(connection, QStringLiteral("Zhang San"),
                                QStringLiteral(" PassWord "));
        account::UserStore users;
        users.openAll(connection);
        QCOMPARE(users.currentName(), QStringLiteral("Zhang San"));
        users.find(QStringLiteral("zhang san"));
        QVERIFY(users.holdsPassword(QStringLiteral(" PassWord ")));
        QVERIFY(!users.holdsPassword(QStringLiteral("password")));
        users.change(QStringLiteral("李四"), QStringLiteral("新"));
        QCOMPARE(stored(QStringLiteral("select YHM || '/' || YHMA from mab")),
                 QStringList{"李四/新"});
    }

    // Writes reach the file at once; the identity stays, the time of
    // change moves with every write and only then.
    void writesKeepTheIdentityAndStampTheirTime() {
        ContactStore s = store();
        s.openAll(connection);
        s.add(card(7, QStringLiteral("甲")));
        s.add(card(8, QStringLiteral("乙")));
        const Contact first = (s.moveFirst(), s.current());
        QCOMPARE(first.id, qint64(7));
        QCOMPARE(first.rev, QStringLiteral("2026-12-07T09:30:00.000Z"));
        QCOMPARE(stored(QStringLiteral("select GR_XM from yanshu order by _rowid_")),
                 (QStringList{"甲", "乙"}));
        const QStringList uids = stored(QStringLiteral("select UID from yanshu order by _rowid_"));
        QCOMPARE(QSet<QString>(uids.begin(), uids.end()).size(), 2);
        QVERIFY(!QUuid::fromString(uids.first()).isNull());

        clock = clock.addSecs(60);
        s.openAll(connection); // reading changes nothing
        QCOMPARE(stored(QStringLiteral("select REV from yanshu")).first(), first.rev);
        Contact changed = card(99, QStringLiteral("甲改"));
        s.update(changed);
        QCOMPARE(stored(QStringLiteral("select Id || '/' || GR_XM || '/' || UID || '/' || REV "
                                       "from yanshu where Id = 7")),
                 QStringList{QStringLiteral("7/甲改/%1/2026-12-07T09:31:00.000Z").arg(uids[0])});

        s.removeCurrent();
        QCOMPARE(stored(QStringLiteral("select GR_XM from yanshu")), QStringList{"乙"});

        // The writes by statement of an import: a UID and a time are kept
        // when given, made when not; a UID the book holds is refused.
        contacts::Book book(connection, nullptr, [this] { return clock; });
        const qint64 row = book.add(card(20, QStringLiteral("丙")));
        Contact given = card(21, QStringLiteral("丁"));
        given.uid = QStringLiteral("u-1");
        given.rev = QStringLiteral("2020-01-01T00:00:00.000Z");
        book.add(given);
        QVERIFY_THROWS_EXCEPTION(db::DbError, book.add(given));
        const std::optional<contacts::StoredContact> found = book.byUid(given.uid);
        QVERIFY(found);
        QCOMPARE(found->contact.fields, given.fields);
        QCOMPARE(found->contact.id, qint64(21));
        QCOMPARE(found->contact.rev, given.rev);
        book.replace(row, card(0, QStringLiteral("丙改")));
        QCOMPARE(stored(QStringLiteral("select Id || '/' || GR_XM || '/' || length(UID) || '/' || "
                                       "REV from yanshu where _rowid_ = %1")
                            .arg(row)),
                 QStringList{QStringLiteral("20/丙改/36/2026-12-07T09:31:00.000Z")});
        QCOMPARE(stored(QStringLiteral("select count(*) from yanshu")), QStringList{"3"});
    }

    void theNextNumberIsOneMoreThanTheLargest() {
        QCOMPARE(ContactStore::nextNumber(connection), qint64(1));
        written(QStringLiteral("INSERT INTO yanshu (Id) VALUES (3), (7), (5)"));
        QCOMPARE(ContactStore::nextNumber(connection), qint64(8));
        written(QStringLiteral("INSERT INTO yanshu (Id) VALUES (9223372036854775807)"));
        QCOMPARE(ContactStore::nextNumber(connection), std::numeric_limits<qint64>::max());
    }

    // A batch is one transaction and one notice, or nothing; single
    // writes tell one each. Nobody but a Book writes the contacts.
    void aBatchIsOneTransactionAndOneNoticeOrNothing() {
        QSignalSpy told(&changes, &contacts::BookChanges::changed);
        contacts::Book book(connection, &changes);
        {
            contacts::Book::Batch batch(book);
            book.add(card(1, QStringLiteral("不留")));
        } // dropped without commit
        QCOMPARE(stored(QStringLiteral("select count(*) from yanshu")), QStringList{"0"});
        QCOMPARE(told.size(), 0);
        {
            contacts::Book::Batch batch(book);
            for (int i = 1; i <= 10000; ++i) {
                book.add(card(i, QStringLiteral("批%1").arg(i)));
            }
            QCOMPARE(told.size(), 0);
            batch.commit();
        }
        QCOMPARE(told.size(), 1);
        QCOMPARE(stored(QStringLiteral("select count(DISTINCT UID) from yanshu")),
                 QStringList{"10000"});
        // Into an empty book the ranked keys fill their pages, and their
        // sorted copy is gone.
        QCOMPARE(stored(QStringLiteral("select sum(unused) * 20 < sum(pgsize) from dbstat "
                                       "where name = 'yanshu_rank'")),
                 QStringList{"1"});
        QCOMPARE(stored(QStringLiteral("select count(*) from temp.sqlite_master")),
                 QStringList{"0"});
        ContactStore s = store();
        s.openAll(connection);
        s.update(card(1, QStringLiteral("改")));
        s.removeCurrent();
        QCOMPARE(told.size(), 3);

        for (const char* sql :
             {"INSERT INTO yanshu (GR_XM) VALUES ('外人')", "UPDATE yanshu SET GR_XM = '外人'",
              "DELETE FROM yanshu", "DELETE FROM yanshu_deleted"}) {
            QVERIFY_THROWS_EXCEPTION(db::DbError, connection.execute(QString::fromUtf8(sql)));
        }
        QCOMPARE(stored(QStringLiteral("select count(*) from yanshu")), QStringList{"9999"});
        QCOMPARE(stored(QStringLiteral("select count(*) from yanshu_deleted")), QStringList{"1"});
    }

    // A deletion leaves a tombstone for good and the card for a while;
    // undo puts the newest back, across runs, and takes its tombstone.
    void deletionsAreRememberedAndUndoneAcrossRuns() {
        {
            ContactStore s = store();
            s.openAll(connection);
            QVERIFY(!s.canPutBack());
            for (int i = 1; i <= contacts::Book::keptDeletions + 2; ++i) {
                s.add(card(i, QStringLiteral("删%1").arg(i)));
            }
            s.moveFirst();
            for (int i = 1; i <= contacts::Book::keptDeletions + 2; ++i) {
                clock = clock.addSecs(1);
                s.removeCurrent();
                s.moveNext();
            }
            QVERIFY(s.empty() || !s.records().hasCurrent());
        }
        const auto tombstones = [&] {
            return stored(QStringLiteral("select count(*) || '/' || count(card) || '/' || "
                                         "count(DISTINCT UID) from yanshu_deleted"))
                .constFirst();
        };
        QCOMPARE(tombstones(), QStringLiteral("102/100/102"));
        QCOMPARE(
            stored(QStringLiteral("select DELETED from yanshu_deleted order by seq desc")).first(),
            QStringLiteral("2026-12-07T09:31:42.000Z"));
        connection.close();

        contacts::openDatabase(connection, connectionString()); // the next run
        ContactStore s = store();
        s.openAll(connection);
        QVERIFY(s.canPutBack());
        QVERIFY(s.putBack());
        const Contact back = s.current();
        QCOMPARE(back.id, qint64(102));
        QCOMPARE(back.fields, card(102, QStringLiteral("删102")).fields);
        QCOMPARE(back.rev, QStringLiteral("2026-12-07T09:30:00.000Z")); // as it was
        QCOMPARE(tombstones(), QStringLiteral("101/99/101"));
        for (int i = 0; i < 99; ++i) {
            QVERIFY(s.putBack());
        }
        QVERIFY(!s.canPutBack());
        QVERIFY(!s.putBack());
        QCOMPARE(tombstones(), QStringLiteral("2/0/2")); // the two oldest: gone for good
        QCOMPARE(stored(QStringLiteral("select count(*) from yanshu")), QStringList{"100"});
        QCOMPARE(stored(QStringLiteral("select min(Id) from yanshu")), QStringList{"3"});

        // A contact that comes back another way (an import of its UID)
        // takes its tombstone too.
        const QString uid = stored(QStringLiteral("select UID from yanshu_deleted")).first();
        Contact again = card(1, QStringLiteral("删1"));
        again.uid = uid;
        contacts::Book(connection).add(again);
        QCOMPARE(tombstones(), QStringLiteral("1/0/1"));
    }

    // What no column holds is found by the list, goes and comes back with
    // its contact, and the name's parts go when the name changes.
    void extrasAreFoundAndFollowTheirContact() {
        contacts::Book book(connection, &changes, [this] { return clock; });
        Contact c = card(1, QStringLiteral("林晓雯"));
        const contacts::Extra parts{{}, QStringLiteral("N"), {}, QStringLiteral("林;晓雯;;;")};
        const contacts::Extra weChat{
            {}, QStringLiteral("X-WECHAT"), {}, QStringLiteral("LinXW_1990")};
        const contacts::Extra phone{{},
                                    QStringLiteral("TEL"),
                                    QStringLiteral("TYPE=cell"),
                                    QStringLiteral("186-0013 8091")};
        c.extras = {parts, weChat, phone};
        const qint64 row = book.add(c);
        const QStringList found{QStringLiteral("林晓雯")};
        QCOMPARE(namesListed(QStringLiteral("linxw_1990")), found);
        QCOMPARE(namesListed(QStringLiteral("18600138091")), found);

        clock = clock.addSecs(60);
        book.setExtras(row, {parts, phone});
        QVERIFY(namesListed(QStringLiteral("linxw")).isEmpty());
        QCOMPARE(stored(QStringLiteral("select REV from yanshu")),
                 QStringList{contacts::Book::revOf(clock)});

        ContactStore s = store();
        s.openAll(connection);
        Contact renamed = s.current();
        renamed.fields[0] = QStringLiteral("林小雯");
        s.update(renamed);
        const QString uid = s.current().uid;
        QCOMPARE(book.extrasOf(uid), std::vector<contacts::Extra>{phone});
        s.removeCurrent();
        QCOMPARE(stored(QStringLiteral("select count(*) from yanshu_extra")), QStringList{"0"});
        QVERIFY(s.putBack());
        QCOMPARE(book.extrasOf(uid), std::vector<contacts::Extra>{phone});
        QCOMPARE(namesListed(QStringLiteral("18600138091")), QStringList{QStringLiteral("林小雯")});
    }

    void aVersionOneFileIsUpgradedLosslesslyAfterABackup() {
        makeFile(contacts::createVersion1);
        account::UserStore::add(connection, QStringLiteral("admin"), QStringLiteral("123456"));
        db::Recordset rows;
        rows.openTable(connection, QStringLiteral("yanshu"), QStringLiteral("0"));
        for (qint64 id : {5, 5, 2}) { // numbers need not be unique
            rows.addNew();
            rows.setValue(u"Id", id);
            for (const auto& c : textColumns) {
                rows.setValue(c.column, QStringLiteral("%1 %2\r\n'\"%3").arg(id).arg(c.column));
            }
            rows.update();
        }
        connection.close();
        // Id and the 21 texts, in the order they were added.
        const auto all = [&](const QString& file = {}) {
            return stored(QStringLiteral("select * from yanshu order by _rowid_"),
                          int(contactColumns.size()), file);
        };
        const QStringList before = all();

        contacts::openDatabase(connection, connectionString());
        const auto backups = contacts::listBackups(path());
        QCOMPARE(backups.size(), std::size_t(1));
        const QString copy = backups.front().path;
        QCOMPARE(QFileInfo(copy).dir().dirName(), QStringLiteral("backups"));
        QCOMPARE(all(copy), before);
        QCOMPARE(stored(QStringLiteral("PRAGMA user_version"), 1, copy), QStringList{"1"});
        QCOMPARE(stored(QStringLiteral("select YHM || YHMA from mab"), 1, copy),
                 QStringList{"admin123456"});
        QCOMPARE(all(), before);
        QCOMPARE(stored(QStringLiteral("PRAGMA user_version")),
                 QStringList{QString::number(contacts::schemaVersion)});
        QCOMPARE(stored(QStringLiteral("select count(DISTINCT UID) from yanshu")),
                 QStringList{"3"});
        QCOMPARE(
            ContactStore::search(connection, QStringLiteral("5 GR_DW"), {}, 10, 10).found.size(),
            std::size_t(2));
        QCOMPARE(stored(QStringLiteral("select YHM || YHMA from mab")), QStringList{"admin123456"});
        connection.close();
        contacts::openDatabase(connection, connectionString()); // up to date: no second copy
        QCOMPARE(contacts::listBackups(path()).size(), std::size_t(1));
        QCOMPARE(QDir(dir->path()).entryList({QStringLiteral("MY.mdb*")}).size(), 1);
    }

    // A file of version 6 had the same triggers but one, ranked keys
    // already, and trigrams of its own layout: all made again, as before.
    void aVersionSixFileIsIndexedAgain() {
        contacts::Book book(connection);
        for (const auto& [id, name] : {std::pair{1, "曾晓明"}, {2, "单雄信"}, {3, "王芳"}}) {
            book.add(card(id, QString::fromUtf8(name)));
        }
        const QString ranks = QStringLiteral("select key, row from yanshu_rank order by 1, 2");
        const QStringList ranked = stored(ranks, 2);
        connection.close();
        written(QStringLiteral("DROP TRIGGER yanshu_rank_insert; DROP TABLE yanshu_unindexed; "
                               "PRAGMA user_version = 6"));

        contacts::openDatabase(connection, connectionString());
        QCOMPARE(stored(QStringLiteral("PRAGMA user_version")), QStringList{"7"});
        QCOMPARE(stored(ranks, 2), ranked);
        connection.execute(QStringLiteral(
            "INSERT INTO yanshu_grams (yanshu_grams, rank) VALUES ('integrity-check', 1)"));
        contacts::Book(connection).add(card(4, QStringLiteral("李雷")));
        QCOMPARE(namesListed(QStringLiteral("zeng")), QStringList{QStringLiteral("曾晓明")});
        QCOMPARE(namesListed(QStringLiteral("单雄信·7")), QStringList{QStringLiteral("单雄信")});
        QCOMPARE(namesListed(QStringLiteral("李雷·15")), QStringList{QStringLiteral("李雷")});
    }

    void aNewerFileIsRefusedUnchanged() {
        connection.execute(
            QStringLiteral("PRAGMA user_version = %1").arg(contacts::schemaVersion + 1));
        connection.close();
        const QByteArray before = test::fileBytes(path());
        try {
            contacts::openDatabase(connection, connectionString());
            QFAIL("a newer file was opened");
        } catch (const db::DbError& e) {
            QCOMPARE(e.kind(), db::DbErrorKind::NewerVersion);
            QVERIFY(e.userMessage().contains(QStringLiteral("较新版本")));
        }
        QVERIFY(!connection.isOpen());
        QCOMPARE(test::fileBytes(path()), before);
        QCOMPARE(QDir(dir->path()).entryList({QStringLiteral("MY.mdb*")}).size(), 1);
        QVERIFY(contacts::listBackups(path()).empty());
    }

    // The keys follow every write, whichever way it reaches the table.
    void theListFindsByAnyReadingNumberMailOrEmployerInPinyinOrder() {
        ContactStore s = store();
        s.openAll(connection);
        const auto add = [&](const QString& name, const QString& telephone, const QString& mail,
                             const QString& employer) {
            Contact c;
            c.fields[0] = name;
            c.fields[8] = telephone; // GR_DH
            c.fields[7] = mail;      // GR_ML
            c.fields[15] = employer; // GR_DW
            s.add(c);
        };
        add(QStringLiteral("张三"), QStringLiteral("138-0013 8000"),
            QStringLiteral("Zs@Example.com"), QStringLiteral("华为技术"));
        add(QStringLiteral("曾单"), {}, {}, QStringLiteral("联想"));
        add(QStringLiteral("李明"), QStringLiteral("+86 139 1234 5678"), {}, {});
        add(QStringLiteral("林"), {}, {}, {});
        add(QStringLiteral("David 王"), {}, QStringLiteral("david@example.org"), {});
        const QString quoted = QStringLiteral("Tom\t\"汤\"\\"); // kept whole in the keys' JSON
        add(quoted, {}, {}, {});
        written(QStringLiteral("INSERT INTO yanshu (GR_XM, GR_DHW) VALUES ('吕女士', '010-6000')"));
        const auto names = [&](const QString& typed) { return namesListed(typed); };
        // 曾 is read as the surname zeng, 单 given as dan.
        QCOMPARE(names({}),
                 (QStringList{"David 王", "李明", "林", "吕女士", quoted, "曾单", "张三"}));
        QCOMPARE(names(QStringLiteral("tom")), QStringList{quoted});
        for (const auto& [typed, expected] : {
                 std::pair{"zs", QStringList{"张三", "曾单"}}, // zeng shan too
                 {"Zhang S", {"张三"}},
                 {"zhangsan", {"张三"}},
                 {"三", {"张三"}},
                 {"zengshan", {"曾单"}},
                 {"cengdan", {"曾单"}},
                 {"cs", {"曾单"}},
                 {"lv", {"吕女士"}},
                 {"dw", {"David 王"}},
                 {"davidwang", {"David 王"}},
                 {"0013-8000", {"张三"}},
                 {"1234 5678", {"李明"}},
                 {"6000", {"吕女士"}},
                 {"example", {"David 王", "张三"}},
                 {"华为", {"张三"}},
                 {"联想", {"曾单"}},
                 {"王五", {}},
             }) {
            QCOMPARE(names(QString::fromUtf8(typed)), expected);
        }

        // Piece by piece from where the last one stopped, whether it found
        // all it wanted or looked at all it might.
        const auto first = ContactStore::search(connection, {}, {}, 4, 100);
        QCOMPARE(first.found.size(), std::size_t(4));
        QVERIFY(!first.atEnd);
        const auto rest = ContactStore::search(connection, {}, first.reached, 4, 100);
        QCOMPARE(rest.found.size(), std::size_t(3));
        QCOMPARE(rest.found.front().shown[0], quoted);
        QVERIFY(rest.atEnd);
        // A text nobody holds, outside the trigrams (% is a wildcard there).
        const auto looked = ContactStore::search(connection, QStringLiteral("%"), {}, 9, 5);
        QVERIFY(looked.found.empty() && !looked.atEnd);
        QVERIFY(ContactStore::search(connection, QStringLiteral("%"), looked.reached, 9, 5).atEnd);
        // A text that few hold in their other keys: all of them at once,
        // through the trigrams.
        const auto few = ContactStore::search(connection, QStringLiteral("example"), {}, 1, 1);
        QCOMPARE(few.found.size(), std::size_t(2));
        QVERIFY(few.atEnd);

        s.moveFirst(); // 张三
        Contact renamed = s.current();
        renamed.fields[0] = QStringLiteral("王五");
        s.update(renamed);
        QCOMPARE(names(QStringLiteral("zs")), (QStringList{"曾单", "王五"})); // zs@example.com
        QCOMPARE(names(QStringLiteral("ww")), QStringList{"王五"});
        QCOMPARE(names(QStringLiteral("wangwu")), QStringList{"王五"}); // the trigrams follow
        QCOMPARE(names(QStringLiteral("zhangsan")), QStringList());
        s.removeCurrent();
        written(QStringLiteral("DELETE FROM yanshu WHERE GR_XM = '林'"));
        QCOMPARE(stored(QStringLiteral("select count(*) from yanshu_find")), QStringList{"5"});
    }

    // A contact's keys stay small whatever its texts hold (a name of n
    // characters made n²/2, and 40,000 was too big to store); a very long
    // name is found by its start, typed or pasted whole.
    // Personal values pair contacts; a name or its reading only with a
    // second shared value; what offices share pairs nobody.
    void duplicatesAreFoundByWhatIsSomeonesOwn() {
        using contacts::Field;
        contacts::Book book(connection);
        const auto add = [&](const QString& name,
                             std::initializer_list<std::pair<Field, QString>> values,
                             std::vector<contacts::Extra> extras = {}) {
            Contact c;
            c.fields[0] = name;
            for (const auto& [field, value] : values) {
                c[field] = value;
            }
            c.extras = std::move(extras);
            return book.add(c);
        };
        const qint64 a =
            add(QStringLiteral("王芳"), {{Field::Mobile, QStringLiteral("13800138000")}});
        const qint64 b =
            add(QStringLiteral("王芳芳"), {{Field::Mobile, QStringLiteral("+86 138 0013 8000")}});
        const qint64 c =
            add(QStringLiteral("李强"), {{Field::Email, QStringLiteral("Li.Qiang@Example.com")}});
        const qint64 d =
            add(QStringLiteral("李强"), {},
                {{{}, QStringLiteral("EMAIL"), {}, QStringLiteral("li.qiang@example.com")}});
        const qint64 e =
            add(QStringLiteral("张珊"), {{Field::HomePhone, QStringLiteral("010-6000 0001")}});
        const qint64 f =
            add(QStringLiteral("张姗"), {{Field::HomePhone, QStringLiteral("01060000001")}});
        const qint64 g = add(QStringLiteral("赵六"), {{Field::Qq, QStringLiteral("20002")}});
        const qint64 h = add(QStringLiteral("赵六六"), {},
                             {{{},
                               QStringLiteral("IMPP"),
                               QStringLiteral("X-SERVICE-TYPE=QQ"),
                               QStringLiteral("qq:20002")}});
        // One office: number, fax, address; the same common name alone.
        for (const char* name : {"刘一", "陈二", "孙三"}) {
            add(QString::fromUtf8(name), {{Field::WorkPhone, QStringLiteral("021-6000 0000")},
                                          {Field::WorkFax, QStringLiteral("021-6000 0001")},
                                          {Field::WorkAddress, QStringLiteral("南京路1号")}});
        }
        add(QStringLiteral("张伟"), {{Field::Mobile, QStringLiteral("13900000001")}});
        add(QStringLiteral("张伟"), {{Field::Mobile, QStringLiteral("13900000002")}});
        QStringList found;
        for (const contacts::DuplicateGroup& group : contacts::findDuplicates(connection)) {
            QStringList rows;
            for (const qint64 row : group.rows) {
                rows << QString::number(row);
            }
            found << rows.join(u',') + u' ' + group.reason;
        }
        const auto pair = [](qint64 x, qint64 y, const QString& reason) {
            return QStringLiteral("%1,%2 ").arg(x).arg(y) + reason;
        };
        QCOMPARE(
            found,
            (QStringList{
                pair(a, b, QStringLiteral("手机号相同：13800138000")),
                pair(c, d, QStringLiteral("电子邮件相同：li.qiang@example.com")),
                pair(g, h, QStringLiteral("QQ号相同：20002")),
                pair(e, f, QStringLiteral("姓名读音相同（zhangshan），住宅电话相同：01060000001")),
            }));
    }

    // A merge keeps every value somewhere and the oldest's identity;
    // undone, the group is as it was.
    void aMergeKeepsEverythingAndIsUndoneWhole() {
        using contacts::Field;
        contacts::Book book(connection, nullptr, [this] { return clock; });
        Contact older = card(1, QStringLiteral("张珊"));
        older.extras.push_back({{}, QStringLiteral("X-WECHAT"), {}, QStringLiteral("zs1990")});
        Contact newer = card(2, QStringLiteral("张姗"));
        newer[Field::Mobile] = older[Field::Mobile];
        newer[Field::Notes].clear();
        newer.extras.push_back({{}, QStringLiteral("NICKNAME"), {}, QStringLiteral("珊珊")});
        const qint64 first = book.add(older);
        clock = start.addDays(1);
        const qint64 second = book.add(newer);
        std::vector<contacts::StoredContact> both;
        for (const qint64 row : {first, second}) {
            both.push_back(*book.byRow(row));
        }
        const QStringList rowsBefore =
            stored(QStringLiteral("SELECT * FROM yanshu ORDER BY Id"), 25);
        // The newer's name by default; the older's kept beside it.
        const contacts::Choices choices = contacts::defaultChoices(both);
        QCOMPARE(choices[0], 1);
        QCOMPARE(choices[std::size_t(Field::Notes)], 0); // only the older has notes
        QVERIFY(!contacts::holderOfAll(both));
        clock = start.addDays(2);
        const contacts::Merged merged =
            contacts::merge(connection, book, both, contacts::mergedContact(both, choices));
        QCOMPARE(stored(QStringLiteral("SELECT UID, GR_XM, GR_BZ FROM yanshu"), 3),
                 (QStringList{both[0].contact.uid, QStringLiteral("张姗"), older[Field::Notes]}));
        QStringList extras;
        for (const contacts::Extra& x : book.extrasOf(both[0].contact.uid)) {
            extras << x.name + u':' + x.value;
        }
        for (const QString& kept : {QStringLiteral("X-WECHAT:zs1990"),
                                    QStringLiteral("NICKNAME:珊珊"), QStringLiteral("NOTE:张珊")}) {
            QVERIFY2(extras.contains(kept), qPrintable(extras.join(u'|')));
        }
        QVERIFY(
            stored(QStringLiteral("SELECT UID FROM yanshu_deleted")).contains(both[1].contact.uid));
        contacts::unmerge(connection, book, merged);
        QCOMPARE(stored(QStringLiteral("SELECT * FROM yanshu ORDER BY Id"), 25), rowsBefore);
        QCOMPARE(book.extrasOf(both[0].contact.uid), both[0].contact.extras);
        QCOMPARE(book.extrasOf(both[1].contact.uid), both[1].contact.extras);
    }

    void longTextsKeepSmallKeysAndAreFoundByTheirStart() {
        ContactStore s = store();
        s.openAll(connection);
        Contact c = card(1, QStringLiteral("欧阳") + QString(40000, u'单'));
        for (QString& text : c.fields) {
            text += QStringLiteral("138-0013-8000 华为").repeated(5000);
        }
        s.add(c);
        s.add(card(2, QStringLiteral("单田芳")));
        QVERIFY2(stored(QStringLiteral("select max(length(keys)) from yanshu_find"))
                             .constFirst()
                             .toInt() < 8000 &&
                     stored(QStringLiteral("select sum(length(key)) from yanshu_rank"))
                             .constFirst()
                             .toInt() < 4000,
                 "the keys grow with the texts");
        for (const QString& typed :
             {QStringLiteral("欧阳单单"), QStringLiteral("ouyangshan"), QStringLiteral("oyddd"),
              QStringLiteral("13800138000"), c.fields[0]}) {
            QCOMPARE(namesListed(typed), QStringList{c.fields[0]});
        }
        QCOMPARE(namesListed(QStringLiteral("单")).size(), 2);
    }
};

QTEST_GUILESS_MAIN(StoreTest)

#include "tst_store.moc"
