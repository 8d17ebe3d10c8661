// Two books, two devices, one address book on a real server (Radicale,
// started here): what each changes reaches the other, and an interrupted
// sync converges on the next one without duplicates or losses.

#include "Radicale.h"

#include "contacts/Backups.h"
#include "contacts/Book.h"
#include "contacts/Schema.h"
#include "platform/Aside.h"
#include "platform/db/Connection.h"
#include "platform/db/Statement.h"
#include "platform/net/Http.h"
#include "sync/CardDav.h"
#include "sync/Engine.h"
#include "sync/SyncWork.h"

#include <QProcess>
#include <QtTest>

using carddav::DavError;
using contacts::Field;

namespace {

const QString user = QStringLiteral("bob");
const QString password = QStringLiteral("秘密");

// HTTP that can lose its way: it fails a request (before or after the
// server had it) once `failAt` requests have gone, or answers as a server
// without sync-collection, or one that takes vCard 4.0 only, would.
class Network : public net::Http {
public:
    Network()
        : real_(net::systemHttp()) {}

    net::Response send(const net::Request& request) override {
        ++sent;
        if (refuseSyncReports && request.method == "REPORT" &&
            request.body.contains("sync-collection")) {
            return {403, {}, "<error xmlns=\"DAV:\"><supported-report/></error>", {}, {}};
        }
        if (vcard4Only && request.body.contains("supported-address-data")) {
            return {207,
                    {},
                    "<multistatus xmlns=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:carddav\">"
                    "<response><href>" +
                        request.url.path(QUrl::FullyEncoded).toUtf8() +
                        "</href><propstat><prop><C:supported-address-data><C:address-data-type "
                        "content-type=\"text/vcard\" version=\"4.0\"/></C:supported-address-data>"
                        "</prop><status>HTTP/1.1 200 OK</status></propstat></response>"
                        "</multistatus>",
                    {},
                    {}};
        }
        if (sent == failAt) {
            net::Response lost{0, {}, {}, net::Failure::Other, QStringLiteral("网络中断。")};
            if (answerLost) {
                real_->send(request); // the server has it; its answer never comes
            }
            return lost;
        }
        return real_->send(request);
    }

    int sent = 0;
    int failAt = 0;
    bool answerLost = false;
    bool refuseSyncReports = false;
    bool vcard4Only = false;

private:
    std::unique_ptr<net::Http> real_;
};

// One device: a book of its own in a folder of its own.
struct Device {
    QTemporaryDir folder;
    db::Connection connection;
    Network network;
    carddav::CardDavClient dav{network, {user, password}};

    Device() {
        connection.create(folder.filePath(QStringLiteral("MY.mdb")));
        contacts::createSchema(connection);
    }
    void use(const QUrl& server, const QUrl& book) {
        carddav::SyncStore(connection).setAccount({server, book, user, {}, {}});
    }
    carddav::SyncReport sync(carddav::SyncEngine::Confirm confirm = {}) {
        return carddav::SyncEngine(connection, dav, std::move(confirm)).run();
    }
    contacts::Book book() { return contacts::Book(connection); }
    // People 1 to count, in one batch.
    void addPeople(int count);
    qint64 count() {
        db::Statement rows(connection, QStringLiteral("SELECT count(*) FROM yanshu"));
        return rows.step() ? rows.integer(0) : -1;
    }
    contacts::Contact contact(const QString& uid) {
        contacts::Book b = book();
        const auto found = b.byUid(uid);
        if (!found) {
            return {};
        }
        contacts::Contact c = found->contact;
        c.extras = b.extrasOf(uid);
        return c;
    }
    // At `at` by the book's clock, or now.
    void edit(const QString& uid, Field field, const QString& value, const QDateTime& at = {}) {
        contacts::Book b =
            at.isValid() ? contacts::Book(connection, nullptr, [at] { return at; }) : book();
        auto found = b.byUid(uid);
        QVERIFY(found);
        found->contact[field] = value;
        found->contact.rev.clear();
        b.replace(found->row, found->contact);
    }
    void remove(const QString& uid) {
        contacts::Book b = book();
        b.remove(b.byUid(uid)->row);
    }
};

contacts::Contact person(int i) {
    contacts::Contact c;
    c.id = i;
    c.uid = QStringLiteral("person-%1").arg(i);
    c[Field::Name] = QStringLiteral("联系人%1").arg(i);
    c[Field::Mobile] = QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0'));
    c[Field::Employer] = QStringLiteral("示例公司");
    return c;
}

QString uidOf(int i) {
    return person(i).uid;
}

void Device::addPeople(int count) {
    contacts::Book b = book();
    contacts::Book::Batch batch(b);
    for (int i = 1; i <= count; ++i) {
        b.add(person(i));
    }
    QVERIFY(batch.commit());
}

} // namespace

class SyncTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Radicale> server;
    QUrl addressBook;

    // The server's cards, by listing.
    int cardsOnServer() {
        Network network;
        carddav::CardDavClient dav(network, {user, password});
        return int(dav.listCards(addressBook).size());
    }

private slots:
    void initTestCase() {
        server = std::make_unique<test::Radicale>(QStringList{user, password});
        if (!server->running()) {
            QSKIP("Radicale (python3-radicale) is not installed");
        }
    }
    void init() {
        Network network;
        carddav::CardDavClient dav(network, {user, password});
        addressBook = dav.makeAddressBook(server->url(), QStringLiteral("通讯录"));
    }

    void twoBooksMeetAndMergeFieldByField() {
        Device a;
        Device b;
        a.use(server->url(), addressBook);
        b.use(server->url(), addressBook);
        a.addPeople(1000);
        QCOMPARE(a.sync().uploaded, 1000);
        QCOMPARE(b.sync().added, 1000);
        // The book as it was before its first sync is kept.
        QCOMPARE(contacts::listBackups(b.connection.path()).size(), 1u);
        QCOMPARE(b.contact(uidOf(7))[Field::Mobile], person(7)[Field::Mobile]);
        // Nothing changed: one request says so, also to a book that synced
        // before the sync kept each contact's time of change.
        a.connection.execute(QStringLiteral("ALTER TABLE yanshu_sync DROP COLUMN rev"));
        const int before = a.dav.requests();
        const carddav::SyncReport quiet = a.sync();
        QCOMPARE(quiet.summary(), QStringLiteral("新增 0，更新 0，删除 0，冲突 0"));
        QCOMPARE(quiet.uploaded, 0);
        QCOMPARE(a.dav.requests() - before, 1);

        a.edit(uidOf(1), Field::Mobile, QStringLiteral("13800000001"));
        b.edit(uidOf(2), Field::Employer, QStringLiteral("新公司"));
        a.edit(uidOf(3), Field::HomePhone, QStringLiteral("010-1111"));
        b.edit(uidOf(3), Field::HomePhone, QStringLiteral("010-2222"));
        b.edit(uidOf(3), Field::WorkPhone, QStringLiteral("010-3333"));
        a.remove(uidOf(4));
        b.edit(uidOf(4), Field::Notes, QStringLiteral("还在"));
        b.remove(uidOf(5));
        a.edit(uidOf(5), Field::Notes, QStringLiteral("改过"));
        a.remove(uidOf(6));
        // The clock set back since the last sync: the edit goes up all the same.
        b.edit(uidOf(8), Field::Notes, QStringLiteral("钟拨回"),
               QDateTime::currentDateTimeUtc().addDays(-1));

        a.sync();
        const carddav::SyncReport meeting = b.sync();
        QCOMPARE(meeting.conflicts, 1);
        a.sync();
        b.sync();
        for (Device* device : {&a, &b}) {
            QCOMPARE(device->contact(uidOf(1))[Field::Mobile], QStringLiteral("13800000001"));
            QCOMPARE(device->contact(uidOf(2))[Field::Employer], QStringLiteral("新公司"));
            // The same column on both: B's stands (it synced second), A's
            // is kept beside it; the other column B changed comes too.
            const contacts::Contact three = device->contact(uidOf(3));
            QCOMPARE(three[Field::HomePhone], QStringLiteral("010-2222"));
            QCOMPARE(three[Field::WorkPhone], QStringLiteral("010-3333"));
            QVERIFY(std::ranges::any_of(three.extras, [](const contacts::Extra& e) {
                return e.name == u"NOTE" && e.value == u"010-1111" &&
                       e.params.contains(QStringLiteral("服务器上的住宅电话"));
            }));
            // Deleted on one side, edited on the other: kept, with the edit.
            QCOMPARE(device->contact(uidOf(4))[Field::Notes], QStringLiteral("还在"));
            QCOMPARE(device->contact(uidOf(5))[Field::Notes], QStringLiteral("改过"));
            QVERIFY(device->contact(uidOf(6)).uid.isEmpty());
            QCOMPARE(device->contact(uidOf(8))[Field::Notes], QStringLiteral("钟拨回"));
            QCOMPARE(device->count(), 999);
        }
        QCOMPARE(cardsOnServer(), 999);

        // Deleting most of the book asks first; no, and nothing is deleted.
        {
            contacts::Book book = b.book();
            contacts::Book::Batch batch(book);
            for (int i = 100; i <= 1000; ++i) {
                if (const auto found = book.byUid(uidOf(i))) {
                    book.remove(found->row);
                }
            }
            QVERIFY(batch.commit());
        }
        qint64 asked = 0;
        try {
            b.sync([&](qint64 deleting, qint64) {
                asked = deleting;
                return false;
            });
            QFAIL("not asked");
        } catch (const DavError& e) {
            QCOMPARE(e.kind(), DavError::Kind::Cancelled);
        }
        QCOMPARE(asked, 901);
        QCOMPARE(cardsOnServer(), 999);
    }

    // A phone's card with more than the columns hold comes back as it went,
    // and is written back only when something of it changed.
    void aPhonesCardLosesNothing() {
        Network network;
        carddav::CardDavClient phone(network, {user, password});
        const QUrl url = addressBook.resolved(QUrl(QStringLiteral("phone-1.vcf")));
        const QByteArray card =
            "BEGIN:VCARD\r\nVERSION:3.0\r\nPRODID:-//Apple Inc.//iPhone OS 17.0//EN\r\n"
            "N:王;小明;;;\r\nFN:王小明\r\nTEL;type=CELL;type=VOICE;type=pref:139 1000 0001\r\n"
            "TEL;type=CELL;type=VOICE:139 1000 0002\r\nitem1.TEL:139 1000 0003\r\n"
            "item1.X-ABLabel:微信\r\nX-WECHAT:wxid_xiaoming\r\nEMAIL;type=INTERNET:xm@example."
            "cn\r\n"
            "UID:phone-card-1\r\nREV:2026-01-02T03:04:05Z\r\nEND:VCARD\r\n";
        phone.putCard(url, card, {});
        // As the server keeps it (Radicale writes cards its own way).
        const QByteArray stored = phone.readCards(addressBook, {url}).front().data;

        Device a;
        a.use(server->url(), addressBook);
        QCOMPARE(a.sync().added, 1);
        QCOMPARE(a.sync().uploaded, 0);
        QCOMPARE(phone.readCards(addressBook, {url}).front().data, stored);

        // One field edited here: on the server only that line changes, the
        // numbers keep their kinds, their preference and their labels.
        a.edit(QStringLiteral("phone-card-1"), Field::Employer, QStringLiteral("示例公司"));
        QCOMPARE(a.sync().uploaded, 1);
        const auto lines = [](const QByteArray& card) {
            QSet<QByteArray> set;
            for (const QByteArray& line : QByteArray(card).replace("\r\n ", "").split('\n')) {
                if (!line.startsWith("REV") && !line.startsWith("PRODID")) {
                    set.insert(line.trimmed());
                }
            }
            return set;
        };
        const QByteArray after = phone.readCards(addressBook, {url}).front().data;
        QCOMPARE(lines(after) - lines(stored), QSet<QByteArray>{"ORG:示例公司"});
        QCOMPARE(lines(stored) - lines(after), QSet<QByteArray>{});

        // The labelled number edited: it keeps its label.
        a.edit(QStringLiteral("phone-card-1"), Field::HomePhone, QStringLiteral("139 1000 0009"));
        QCOMPARE(a.sync().uploaded, 1);
        const QByteArray edited = phone.readCards(addressBook, {url}).front().data;
        QCOMPARE(lines(edited) - lines(after), QSet<QByteArray>{"item1.TEL:139 1000 0009"});
        QCOMPARE(lines(after) - lines(edited), QSet<QByteArray>{"item1.TEL:139 1000 0003"});
    }

    // Cut anywhere, even after the server took a write whose answer was
    // lost, the next sync ends where an unbroken one would have.
    void interruptedSyncsConverge() {
        for (const bool answerLost : {false, true}) {
            for (const int cut : {2, 5, 9}) {
                init();
                Device a;
                Device b;
                a.use(server->url(), addressBook);
                b.use(server->url(), addressBook);
                for (int i = 1; i <= 8; ++i) {
                    a.book().add(person(i));
                    b.book().add(person(100 + i));
                }
                a.network.failAt = a.network.sent + cut;
                a.network.answerLost = answerLost;
                QVERIFY_THROWS_EXCEPTION(DavError, a.sync());
                b.sync();
                a.sync();
                b.sync();
                QCOMPARE(a.count(), 16);
                QCOMPARE(b.count(), 16);
                QCOMPARE(cardsOnServer(), 16);
            }
        }
    }

    // The tool killed (kill -9) while it writes cards: run again, it ends
    // the sync, and another device finds each contact once.
    void theToolKilledMidSyncConvergesWhenRunAgain() {
        Device device;
        device.addPeople(200);
        const QStringList arguments{QStringLiteral("sync"),
                                    QStringLiteral("--server"),
                                    server->url().toString(),
                                    QStringLiteral("--user"),
                                    user,
                                    QStringLiteral("--book"),
                                    addressBook.toString(),
                                    QStringLiteral("--folder"),
                                    device.folder.path()};
        const auto start = [&](QProcess& tool) {
            tool.start(QStringLiteral(YANSHUBU_DB_EXE), arguments);
            tool.write((password + u'\n').toUtf8());
            tool.closeWriteChannel();
        };
        QProcess killed;
        start(killed);
        QTRY_VERIFY_WITH_TIMEOUT(cardsOnServer() >= 20, 60000);
        killed.kill();
        killed.waitForFinished();
        QVERIFY(cardsOnServer() < 200);

        QProcess again;
        start(again);
        QVERIFY(again.waitForFinished(120000));
        QVERIFY2(again.exitCode() == 0, again.readAllStandardError().constData());
        QVERIFY(QString::fromUtf8(again.readAllStandardOutput())
                    .contains(QStringLiteral("新增 0，更新 0，删除 0，冲突 0")));
        QCOMPARE(cardsOnServer(), 200);
        Device other;
        other.use(server->url(), addressBook);
        QCOMPARE(other.sync().added, 200);
    }

    // On a thread of its own, a sync leaves the window's events flowing;
    // cancelled, it keeps nothing half done.
    void aSyncLeavesTheWindowFree() {
        Device a;
        a.use(server->url(), addressBook);
        a.addPeople(200);
        carddav::SyncReport report;
        QString failure;
        // Under Wine a busy machine can keep any window waiting a few
        // hundred ms; a sync on the window's thread takes seconds there.
#ifdef Q_OS_WIN
        constexpr qint64 freeMs = 500;
#else
        constexpr qint64 freeMs = 50;
#endif
        // The longest the window waited, or -1 if the sync did not end.
        const auto run = [&](Device& device, bool cancel) -> qint64 {
            report = {};
            failure.clear();
            platform::Aside job(
                carddav::syncWork(device.connection.path(), {user, password}, {}, report, failure));
            bool done = false;
            connect(&job, &platform::Aside::finished, [&] { done = true; });
            QElapsedTimer gap;
            qint64 longest = 0;
            QTimer tick;
            connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, gap.restart()); });
            tick.start(1);
            gap.start();
            job.start();
            if (cancel) {
                job.cancel();
            }
            return QTest::qWaitFor([&] { return done; }, 120000) ? longest : -1;
        };
        const auto free = [&](qint64 longest) { return longest >= 0 && longest <= freeMs; };
        qint64 longest = run(a, false);
        QVERIFY2(free(longest), qPrintable(QString::number(longest)));
        QCOMPARE(failure, QString());
        QCOMPARE(report.uploaded, 200);

        Device b;
        b.use(server->url(), addressBook);
        longest = run(b, true);
        QVERIFY2(free(longest), qPrintable(QString::number(longest)));
        QCOMPARE(failure, QStringLiteral("已取消。"));
        QCOMPARE(b.count(), 0);
        longest = run(b, false);
        QVERIFY2(free(longest), qPrintable(QString::number(longest)));
        QCOMPARE(report.added, 200);
    }

    // A token the server forgot, or a server that cannot say what changed:
    // everything is read and matched by UID. A server of vCard 4.0 only
    // gets 4.0.
    void everythingIsReadAgainWhenChangesCannotBe() {
        Device a;
        Device b;
        a.use(server->url(), addressBook);
        b.use(server->url(), addressBook);
        for (int i = 1; i <= 20; ++i) {
            a.book().add(person(i));
        }
        a.sync();
        b.sync();
        carddav::SyncStore(b.connection)
            .setProgress(QStringLiteral("http://radicale.org/ns/sync/forgotten"), {});
        a.edit(uidOf(1), Field::Notes, QStringLiteral("令牌过期后"));
        const carddav::SyncReport afterA = a.sync();
        QCOMPARE(afterA.uploaded, 1);
        const carddav::SyncReport resync = b.sync();
        QCOMPARE(resync.updated, 1);
        QCOMPARE(resync.added, 0);
        QCOMPARE(b.contact(uidOf(1))[Field::Notes], QStringLiteral("令牌过期后"));

        b.network.refuseSyncReports = true;
        a.network.vcard4Only = true;
        a.remove(uidOf(2));
        a.edit(uidOf(3), Field::Notes, QStringLiteral("没有增量同步"));
        a.sync();
        const QList<carddav::RemoteCard> written = a.dav.readCards(
            addressBook, {addressBook.resolved(QUrl(uidOf(3) + QStringLiteral(".vcf")))});
        QCOMPARE(written.size(), 1);
        QVERIFY(written.front().data.contains("VERSION:4.0"));
        const carddav::SyncReport listed = b.sync();
        QCOMPARE(listed.deleted, 1);
        QCOMPARE(listed.updated, 1);
        QCOMPARE(b.count(), 19);
        QCOMPARE(b.contact(uidOf(3))[Field::Notes], QStringLiteral("没有增量同步"));
    }
};

QTEST_GUILESS_MAIN(SyncTest)
#include "tst_sync.moc"
