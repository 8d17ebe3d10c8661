// Backups of the book on real files: taken while others work, named,
// pruned, checked and put back.

#include "Files.h"

#include "account/UserStore.h"
#include "contacts/Backups.h"
#include "contacts/Book.h"
#include "contacts/ContactStore.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using contacts::Contact;
using contacts::ContactStore;

namespace {

QString connectionString(const QString& file) {
    return db::connectionString(file);
}

QStringList column(const db::Connection& connection, const QString& sql) {
    db::Statement rows(connection, sql);
    QStringList values;
    while (rows.step()) {
        values << rows.value(0).toString();
    }
    return values;
}

QStringList column(const QString& file, const QString& sql) {
    db::Connection connection;
    connection.open(connectionString(file));
    return column(connection, sql);
}

const QString namesInOrder = QStringLiteral("select GR_XM from yanshu order by Id");

Contact card(qint64 id, const QString& name) {
    Contact c;
    c.id = id;
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
        c.fields[i] = QStringLiteral("%1·%2").arg(name).arg(i);
    }
    c.fields[0] = name;
    return c;
}

// A book as the program makes it: the admin, and contacts 人1, 人2… with
// a few hundred bytes of notes each.
void makeBook(const QString& path, int contacts) {
    db::Connection connection;
    connection.create(path);
    contacts::createSchema(connection);
    account::UserStore::add(connection, QStringLiteral("admin"), QStringLiteral("123456"));
    contacts::Book book(connection);
    contacts::Book::Batch batch(book);
    for (int i = 1; i <= contacts; ++i) {
        contacts::Contact contact;
        contact.id = i;
        contact[contacts::Field::Name] = QStringLiteral("人%1").arg(i);
        contact[contacts::Field::Mobile] = QStringLiteral("138%1").arg(i);
        QByteArray notes(200, Qt::Uninitialized);
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(notes.data()),
                                              notes.size() / 4);
        contact[contacts::Field::Notes] = QString::fromLatin1(notes.toHex());
        book.add(contact);
    }
    batch.commit();
}

// The book opened for plain SQL, as a writer that is no Book writes it
// (another copy of the program, say).
void openForWriting(db::Connection& connection, const QString& path) {
    contacts::openDatabase(connection, db::connectionString(path));
    connection.reserveWrites({});
}

QStringList pathsOf(const std::vector<contacts::Backup>& backups) {
    QStringList paths;
    for (const auto& b : backups) {
        paths << b.path;
    }
    return paths;
}

// A page in the middle of the file written over with what no page holds.
void damageMiddlePage(const QString& path) {
    constexpr qint64 page = 4096;
    test::writeBytes(path, QByteArray(page, '\x5a'), QFileInfo(path).size() / page / 2 * page);
}

} // namespace

class BackupTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString book() const { return dir->filePath(QStringLiteral("MY.mdb")); }
    QString file(const QString& name) const { return dir->filePath(name); }

private slots:
    void init() { dir = std::make_unique<QTemporaryDir>(); }

    // A reader in the middle of its rows and a writer with its change not
    // yet committed: the copy goes on beside them and holds what is committed.
    void aBackupIsTheCommittedBookNamedByItsTimeAndListedNewestFirst() {
        makeBook(book(), 3000);
        QVERIFY(QFileInfo(book()).size() > 256 * 4096); // more than one step of pages
        db::Connection reader;
        reader.open(connectionString(book()));
        db::Statement reading(reader, namesInOrder);
        QVERIFY(reading.step());
        db::Connection writer;
        openForWriting(writer, book());
        db::Transaction pending(writer);
        writer.execute(QStringLiteral("UPDATE yanshu SET GR_XM = '未提交' WHERE Id = 1"));

        const QDateTime now(QDate(2026, 12, 8), QTime(2, 15));
        const contacts::KeptBackup first = contacts::takeBackup(book(), now);
        QVERIFY(first.taken);
        QCOMPARE(first.path, file(QStringLiteral("backups/MY-2026-12-08-021500.mdb")));
        const QStringList names = column(first.path, namesInOrder);
        QCOMPARE(names.size(), 3000);
        QCOMPARE(names.first(), QStringLiteral("人1"));
        QVERIFY(contacts::checkBook(first.path).isEmpty());
        // What is not committed is no change.
        const contacts::KeptBackup same = contacts::takeBackup(reader, now.addMSecs(300));
        QCOMPARE(same.path, first.path);
        QVERIFY(!same.taken);

        reading.reset();
        pending.commit();
        const QString second = contacts::takeBackup(reader, now.addMSecs(300)).path;
        writer.execute(QStringLiteral("UPDATE yanshu SET GR_XM = '人1' WHERE Id = 1"));
        const QString third = contacts::takeBackup(book(), now).path;
        QCOMPARE(second, file(QStringLiteral("backups/MY-2026-12-08-021500-2.mdb")));
        QCOMPARE(third, file(QStringLiteral("backups/MY-2026-12-08-021500-3.mdb")));
        writer.execute(QStringLiteral("UPDATE yanshu SET GR_XM = '人一' WHERE Id = 1"));
        const QString later = contacts::takeBackup(book(), now.addSecs(1).toUTC()).path; // local
        QCOMPARE(later, file(QStringLiteral("backups/MY-2026-12-08-021501.mdb")));

        const auto backups = contacts::listBackups(book());
        QCOMPARE(pathsOf(backups), (QStringList{later, third, second, first.path}));
        QCOMPARE(backups.back().taken, now);
        QCOMPARE(backups.back().bytes, QFileInfo(first.path).size());
        QCOMPARE(QDir(contacts::backupFolder(book())).entryList(QDir::Files).size(), 4);
        QCOMPARE(contacts::contactsIn(first.path), 3000);
        QCOMPARE(contacts::contactsIn(file(QStringLiteral("没有.mdb"))), -1);
    }

    // A write that changes no byte of the book renews only its header's
    // counters: no second copy of it. One byte that differs anywhere makes
    // a new one; the comparison reports its bytes and can be cancelled.
    void aCopyOfTheNewestBackupIsNotTakenAgain() {
        makeBook(book(), 3000);
        const QDateTime now(QDate(2026, 12, 8), QTime(2, 15));
        const QString first = contacts::takeBackup(book(), now).path;
        const QByteArray copied = test::fileBytes(first);
        db::Connection program;
        openForWriting(program, book());
        program.execute(QStringLiteral("UPDATE yanshu SET GR_BZ = GR_BZ"));
        const QByteArray book = test::fileBytes(this->book());
        QCOMPARE(book.size(), copied.size());
        QVERIFY(book.left(28) != copied.left(28)); // the change counter
        QCOMPARE(book.mid(100), copied.mid(100));

        QList<qint64> compared;
        const contacts::KeptBackup same =
            contacts::takeBackup(program, now.addSecs(60), [&](qint64 done, qint64 total) {
                compared << done;
                return total == book.size();
            });
        QCOMPARE(same.path, first);
        QVERIFY(!same.taken);
        QCOMPARE(compared.value(0), std::min<qint64>(1 << 20, book.size()));
        try {
            contacts::takeBackup(program, now.addSecs(60), [](qint64, qint64) { return false; });
            QFAIL("the comparison went on after a cancel");
        } catch (const db::DbError& e) {
            QCOMPARE(e.kind(), db::DbErrorKind::Interrupted);
        }

        // One byte off, at the backup's very end.
        test::writeBytes(first, QByteArray(1, copied.back() ^ 1), copied.size() - 1);
        const contacts::KeptBackup taken = contacts::takeBackup(program, now.addSecs(120));
        QVERIFY(taken.taken);
        QCOMPARE(test::fileBytes(taken.path).mid(100), book.mid(100));
        QCOMPARE(QDir(contacts::backupFolder(this->book())).entryList(QDir::Files).size(), 2);
    }

    // A copy cut short leaves its file and journal under the backup's name
    // with .partial: the next backup removes them once no copy holds them
    // and they are not just made. Nothing else is touched.
    void leftoversOfCopiesCutShortGoWhenNoCopyHoldsThem() {
        makeBook(book(), 1);
        const QDir folder(contacts::backupFolder(book()));
        QVERIFY(QDir().mkpath(folder.path()));
        const QString hot = QStringLiteral(SAMPLES_DIR "/hostile/hotjournal/MY.mdb");
        const QString killed = folder.filePath(QStringLiteral("MY-2026-12-01-080000.mdb.partial"));
        const QString held = folder.filePath(QStringLiteral("MY-2026-12-01-090000.mdb.partial"));
        const QString fresh = folder.filePath(QStringLiteral("MY-2026-12-01-100000.mdb.partial"));
        const QString orphan =
            folder.filePath(QStringLiteral("MY-2026-12-01-110000-2.mdb.partial-journal"));
        const QStringList strangers{
            folder.filePath(QStringLiteral("OTHER-2026-12-01-080000.mdb.partial")),
            folder.filePath(QStringLiteral("MY-2026-12-01-080000.mdb.partial.keep")),
            folder.filePath(QStringLiteral("MY.mdb.partial")),
        };
        const auto copyAged = [](const QString& from, const QString& to, int secondsAgo) {
            QVERIFY(QFile::copy(from, to));
            QFile aged(to);
            QVERIFY(aged.open(QIODevice::ReadWrite));
            QVERIFY(aged.setFileTime(QDateTime::currentDateTime().addSecs(-secondsAgo),
                                     QFileDevice::FileModificationTime));
        };
        copyAged(hot, killed, 3600);
        copyAged(hot + QStringLiteral("-journal"), killed + QStringLiteral("-journal"), 3600);
        copyAged(hot, held, 3600);
        copyAged(hot, fresh, 10);
        copyAged(hot + QStringLiteral("-journal"), orphan, 3600);
        for (const QString& stranger : strangers) {
            copyAged(hot, stranger, 3600);
        }
        db::Connection copying; // a copy under way in another program holds its file
        copying.open(connectionString(held));
        copying.execute(QStringLiteral("BEGIN EXCLUSIVE"));

        contacts::takeBackup(book(), QDateTime(QDate(2026, 12, 8), QTime(2, 15)));
        for (const QString& gone : {killed, killed + QStringLiteral("-journal"), orphan}) {
            QVERIFY2(!QFileInfo::exists(gone), qPrintable(gone));
        }
        for (const QString& kept : QStringList{held, fresh} + strangers) {
            QVERIFY2(QFileInfo::exists(kept), qPrintable(kept));
        }
        copying.close();
        contacts::pruneBackups(book(), QDateTime(QDate(2026, 12, 8), QTime(2, 16)));
        QVERIFY(!QFileInfo::exists(held));
        QCOMPARE(folder.entryList(QDir::Files).size(), 2 + strangers.size());
    }

    // The copies report their pages; a cancel leaves no backup behind and a
    // restore's book as it was (the copy of it kept first stays).
    void aCancelledCopyLeavesNoBackupAndTheBookAsItWas() {
        makeBook(book(), 3000);
        const QDateTime now(QDate(2026, 12, 8), QTime(2, 15));
        QList<qint64> reported;
        const QString backup = contacts::takeBackup(book(), now, [&](qint64 done, qint64 total) {
                                   reported << done;
                                   return done > 0 && done <= total;
                               }).path;
        QVERIFY(!reported.isEmpty());
        db::Connection program;
        openForWriting(program, book());
        program.execute(QStringLiteral("DELETE FROM yanshu WHERE Id > 1"));
        const auto interrupted = [](const auto& action) {
            try {
                action();
            } catch (const db::DbError& e) {
                return e.kind() == db::DbErrorKind::Interrupted;
            }
            return false;
        };
        QVERIFY(interrupted([&] {
            contacts::takeBackup(program, now.addSecs(1), [](qint64, qint64) { return false; });
        }));
        QCOMPARE(QDir(contacts::backupFolder(book())).entryList(QDir::Files),
                 QStringList{QFileInfo(backup).fileName()});

        qint64 last = -1; // the restore's second copy starts again from few pages
        QVERIFY(interrupted([&] {
            contacts::restoreBackup(book(), backup, now.addSecs(2), [&](qint64 done, qint64) {
                const bool again = done <= last;
                last = done;
                return !again;
            });
        }));
        QCOMPARE(column(program, namesInOrder), QStringList{"人1"});
        QCOMPARE(contacts::listBackups(book()).size(), std::size_t(2));
    }

    // Each backup prunes: after well over a year of them, the 10 newest and
    // the oldest of each of the last 12 months stay, nothing else of ours.
    void rotationKeepsTheTenNewestAndTheFirstOfEachOfTwelveMonths() {
        makeBook(book(), 1);
        const QDir folder(contacts::backupFolder(book()));
        QVERIFY(QDir().mkpath(folder.path()));
        const QStringList strangers{
            QStringLiteral("MY-2020-01-01-000000.mdb.old"),
            QStringLiteral("MY-2020-13-01-000000.mdb"),
            QStringLiteral("MY-2020-01-01-000000-1.mdb"),
            QStringLiteral("OTHER-2020-01-01-000000.mdb"),
            QStringLiteral("说明.txt"),
        };
        for (const QString& name : strangers) {
            test::writeBytes(folder.filePath(name), "x");
        }

        QStringList taken;
        std::vector<QDate> days;
        db::Connection program;
        openForWriting(program, book());
        for (QDateTime now(QDate(2025, 8, 30), QTime(23, 0));
             now < QDateTime(QDate(2026, 12, 20), QTime(12, 0)); now = now.addSecs(97 * 3600)) {
            program.execute(QStringLiteral("UPDATE yanshu SET GR_BZ = '%1'").arg(now.toString()));
            taken << contacts::takeBackup(program, now).path;
            days.push_back(now.date());
        }
        QCOMPARE(days.back().month(), 12);
        QSet<qsizetype> kept;
        for (qsizetype i = taken.size() - 10; i < taken.size(); ++i) {
            kept << i;
        }
        for (int month = 1; month <= 12; ++month) {
            const auto first = std::find_if(days.begin(), days.end(), [&](const QDate& d) {
                return d.year() == 2026 && d.month() == month;
            });
            QVERIFY(first != days.end());
            kept << (first - days.begin());
        }
        QStringList expected;
        for (qsizetype i = taken.size() - 1; i >= 0; --i) {
            if (kept.contains(i)) {
                expected << taken[i];
            }
        }
        QCOMPARE(pathsOf(contacts::listBackups(book())), expected);
        for (const QString& name : strangers) {
            QVERIFY2(folder.exists(name), qPrintable(name));
        }
        QCOMPARE(folder.entryList(QDir::Files).size(), expected.size() + strangers.size());
    }

    void checkBookNamesDamageAndFilesThatAreNoBook() {
        makeBook(book(), 3000);
        QCOMPARE(contacts::checkBook(book()), QStringList());
        {
            db::Connection first;
            first.create(file(QStringLiteral("v1.mdb")));
            contacts::createVersion1(first);
        }
        QCOMPARE(contacts::checkBook(file(QStringLiteral("v1.mdb"))), QStringList());

        const QString damaged = file(QStringLiteral("damaged.mdb"));
        QVERIFY(QFile::copy(book(), damaged));
        damageMiddlePage(damaged);
        const QByteArray before = test::fileBytes(damaged);
        const QStringList damage = contacts::checkBook(damaged);
        QCOMPARE(damage.size(), 1);
        QVERIFY2(damage.first().contains(QStringLiteral("已损坏")), qPrintable(damage.first()));
        QCOMPARE(test::fileBytes(damaged), before); // looked at, not changed

        const QString text = file(QStringLiteral("名片.vcf"));
        test::writeBytes(text, QByteArray("BEGIN:VCARD\r\nFN:张三\r\nEND:VCARD\r\n").repeated(300));
        const QString foreign = file(QStringLiteral("other.db"));
        {
            db::Connection other;
            other.create(foreign);
            other.execute(QStringLiteral("CREATE TABLE yanshu (Id, GR_XM)"));
        }
        const QString partial = file(QStringLiteral("partial.mdb"));
        {
            db::Connection other;
            other.create(partial);
            other.execute(QStringLiteral("CREATE TABLE YANSHU (id, gr_xm); "
                                         "PRAGMA user_version = 3"));
        }
        const QString newer = file(QStringLiteral("newer.mdb"));
        {
            db::Connection other;
            other.create(newer);
            other.execute(
                QStringLiteral("PRAGMA user_version = %1").arg(contacts::schemaVersion + 1));
        }
        for (const auto& [path, finding] : {
                 std::pair{text, QStringLiteral("不是雁书簿的数据库文件")},
                 {foreign, QStringLiteral("不是雁书簿的数据库文件")},
                 {newer, QStringLiteral("较新版本")},
                 {file(QStringLiteral("没有.mdb")), QStringLiteral("找不到")},
             }) {
            const QStringList findings = contacts::checkBook(path);
            QCOMPARE(findings.size(), 1);
            QVERIFY2(findings.first().contains(finding), qPrintable(findings.first()));
        }
        const QStringList missing = contacts::checkBook(partial);
        QCOMPARE(missing.size(), 3);
        QVERIFY2(missing[0].startsWith(QStringLiteral("表 yanshu 缺少列 GR_XB、GR_CS、")) &&
                     missing[0].endsWith(QStringLiteral("GR_BZ、UID、REV。")),
                 qPrintable(missing[0]));
        QCOMPARE(missing.mid(1),
                 (QStringList{"数据库中缺少表 mab。", "数据库中缺少表 yanshu_find。"}));
    }

    // The program's connection stays open throughout and reads the book
    // as restored; a damaged backup changes nothing.
    void restorePutsABackupBackAfterKeepingTheCurrentBook() {
        makeBook(book(), 3);
        db::Connection program;
        openForWriting(program, book());
        const QDateTime now(QDate(2026, 12, 8), QTime(2, 15));
        const QString backup = contacts::takeBackup(book(), now).path;
        program.execute(QStringLiteral("DELETE FROM yanshu WHERE Id = 1"));
        ContactStore store;
        store.openAll(program);
        store.add(card(9, QStringLiteral("人9")));
        store.close();
        const QStringList changed{"人2", "人3", "人9"};
        QCOMPARE(column(program, namesInOrder), changed);

        const QString damaged = file(QStringLiteral("damaged.mdb"));
        QVERIFY(QFile::copy(backup, damaged));
        damageMiddlePage(damaged);
        const QByteArray current = test::fileBytes(book());
        try {
            contacts::restoreBackup(book(), damaged, now.addSecs(60));
            QFAIL("a damaged backup was restored");
        } catch (const db::DbError& e) {
            QCOMPARE(e.kind(), db::DbErrorKind::Corrupt);
            QVERIFY2(e.userMessage().contains(QStringLiteral("已损坏")),
                     qPrintable(e.userMessage()));
        }
        QCOMPARE(test::fileBytes(book()), current);
        QCOMPARE(contacts::listBackups(book()).size(), std::size_t(1));

        const QString kept = contacts::restoreBackup(book(), backup, now.addSecs(60));
        QCOMPARE(column(program, namesInOrder), (QStringList{"人1", "人2", "人3"}));
        QCOMPARE(column(kept, namesInOrder), changed);
        QCOMPARE(pathsOf(contacts::listBackups(book())), (QStringList{kept, backup}));
        program.execute(QStringLiteral("UPDATE yanshu SET GR_XM = '人1改' WHERE Id = 1"));
        QCOMPARE(ContactStore::search(program, QStringLiteral("人1改"), {}, 10, 10).found.size(),
                 std::size_t(1));
        QVERIFY(contacts::checkBook(book()).isEmpty());

        // A book too damaged to open is kept byte for byte, then replaced.
        program.close();
        test::writeBytes(book(), QByteArray(100, '\x5a'));
        const QByteArray broken = test::fileBytes(book());
        const QString keptBroken = contacts::restoreBackup(book(), backup, now.addSecs(120));
        QCOMPARE(test::fileBytes(keptBroken), broken);
        QCOMPARE(contacts::checkBook(book()), QStringList());
        QCOMPARE(column(book(), namesInOrder), (QStringList{"人1", "人2", "人3"}));
    }
};

QTEST_GUILESS_MAIN(BackupTest)

#include "tst_backup.moc"
