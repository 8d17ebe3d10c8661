// The CardDAV client against a real server (Radicale, started here), and
// its answers to challenges against RFC 7616's own examples.

#include "Radicale.h"

#include "platform/net/Http.h"
#include "sync/Auth.h"
#include "sync/CardDav.h"

#include <QFile>
#include <QtTest>

using carddav::CardDavClient;
using carddav::DavError;

namespace {

const QString user = QStringLiteral("alice");
const QString password = QStringLiteral("秘密 pass");

QByteArray card(const QString& uid, const QString& name) {
    return QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%1\r\nFN:%2\r\nN:%2;;;;\r\n"
                          "TEL;TYPE=CELL:138 0013 8000\r\nEND:VCARD\r\n")
        .arg(uid, name)
        .toUtf8();
}

} // namespace

class CardDavTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::Radicale> server;
    std::unique_ptr<net::Http> http;

    CardDavClient client(const QString& secret = password) {
        return CardDavClient(*http, {user, secret});
    }

    // A fresh address book of the user's.
    QUrl newBook(CardDavClient& dav) {
        return dav.makeAddressBook(server->url(), QStringLiteral("手机通讯录"));
    }

    template <typename F> static DavError::Kind failure(F&& action) {
        try {
            action();
        } catch (const DavError& e) {
            return e.kind();
        }
        return DavError::Kind::Server;
    }

private slots:
    void initTestCase() {
        server = std::make_unique<test::Radicale>(QStringList{user, password});
        if (!server->running()) {
            QSKIP("Radicale (python3-radicale) is not installed");
        }
        http = net::systemHttp();
    }

    // From the host alone to the user's address books, by their names.
    void theAddressBooksAreFoundFromTheServersAddress() {
        CardDavClient dav = client();
        const QUrl book = newBook(dav);
        bool found = false;
        for (const auto& listed : dav.addressBooks(server->url())) {
            found = found || (listed.url == book && listed.name == QStringLiteral("手机通讯录"));
        }
        QVERIFY(found);
        // The book's own address is enough, and it can say what changed.
        QCOMPARE(dav.addressBooks(book).size(), 1);
        QVERIFY(dav.canSyncCollection(book));

        CardDavClient wrong = client(QStringLiteral("wrong"));
        QCOMPARE(failure([&] { wrong.addressBooks(server->url()); }), DavError::Kind::Credentials);
    }

    // Every write says which version it replaces; the server refuses one
    // that is not what it has (412), and tells what changed since a token.
    void cardsAreWrittenOnlyOverTheVersionTheyReplace() {
        CardDavClient dav = client();
        const QUrl book = newBook(dav);
        const carddav::Changes empty = dav.changesSince(book, {});
        QVERIFY(empty.changed.isEmpty());
        QVERIFY(!empty.token.isEmpty());

        const QUrl zhang = book.resolved(QUrl(QStringLiteral("zhang.vcf")));
        const QUrl li = book.resolved(QUrl(QStringLiteral("li.vcf")));
        const QByteArray first =
            dav.putCard(zhang, card(QStringLiteral("u1"), QStringLiteral("张三")), {});
        dav.putCard(li, card(QStringLiteral("u2"), QStringLiteral("李四")), {});
        QCOMPARE(failure([&] {
                     dav.putCard(zhang, card(QStringLiteral("u1"), QStringLiteral("又一个")), {});
                 }),
                 DavError::Kind::Changed);
        const QByteArray etag = first.isEmpty() ? dav.listCards(book).front().etag : first;
        const QByteArray second =
            dav.putCard(zhang, card(QStringLiteral("u1"), QStringLiteral("张三丰")), etag);
        QCOMPARE(failure([&] {
                     dav.putCard(zhang, card(QStringLiteral("u1"), QStringLiteral("旧")), etag);
                 }),
                 DavError::Kind::Changed);
        QCOMPARE(failure([&] { dav.deleteCard(li, "\"stale\""); }), DavError::Kind::Changed);

        const carddav::Changes all = dav.changesSince(book, empty.token);
        QCOMPARE(all.changed.size(), 2);
        QVERIFY(all.removed.isEmpty());
        // Read back byte for byte, Chinese and all.
        const QList<carddav::RemoteCard> read = dav.readCards(book, {zhang, li});
        QCOMPARE(read.size(), 2);
        for (const auto& remote : read) {
            QVERIFY(remote.url == zhang ? remote.data.contains("FN:张三丰")
                                        : remote.data.contains("FN:李四"));
            QVERIFY(!remote.etag.isEmpty());
        }
        // The listing without a token agrees.
        QCOMPARE(dav.listCards(book).size(), 2);

        dav.deleteCard(li, {});
        dav.deleteCard(li, {}); // gone already: no error
        const carddav::Changes later = dav.changesSince(book, all.token);
        QCOMPARE(later.removed, QList<QUrl>{li});
        QVERIFY(later.changed.isEmpty());
        QVERIFY(second.isEmpty() || second != etag);

        QCOMPARE(failure([&] {
                     dav.changesSince(book, QStringLiteral("http://radicale.org/ns/sync/nonsense"));
                 }),
                 DavError::Kind::InvalidToken);
    }

    void aStoppedServerIsANetworkFailureInChinese() {
        CardDavClient dav = client();
        const QUrl book = newBook(dav);
        server->stop();
        try {
            dav.listCards(book);
            QFAIL("no failure");
        } catch (const DavError& e) {
            QCOMPARE(e.kind(), DavError::Kind::Network);
            QVERIFY(e.userMessage().contains(QStringLiteral("127.0.0.1")));
        }
        server->start();
        QVERIFY(server->running());
        QCOMPARE(dav.listCards(book).size(), 0);
    }

    // What other servers answer: a partial sync report (507), properties
    // several levels deep, hrefs percent-encoded, a card inside XML, the
    // vCard versions an address book takes.
    void otherServersAnswersAreRead() {
        const auto parsed = [](const char* name) {
            QFile file(QStringLiteral(SAMPLES_DIR "/dav/") + QLatin1String(name));
            return file.open(QIODevice::ReadOnly) ? carddav::parseMultistatus(file.readAll())
                                                  : carddav::Multistatus{};
        };
        const carddav::Multistatus sync = parsed("sync-collection.xml");
        QCOMPARE(sync.syncToken, QStringLiteral("http://example.org/ns/sync/1234"));
        QCOMPARE(sync.resources.size(), 3);
        QCOMPARE(sync.resources[0].text(u"getetag"), QStringLiteral("\"3f1-58a\""));
        QCOMPARE(sync.resources[1].status, 404);
        QCOMPARE(sync.resources[2].status, 507);

        const carddav::Multistatus books = parsed("propfind-books.xml");
        QCOMPARE(books.resources[0].hrefs(u"addressbook-home-set"),
                 QStringList{QStringLiteral("/bob/")});
        const carddav::DavResource& book = books.resources[1];
        QCOMPARE(book.text(u"displayname"), QStringLiteral("通讯录 & 家人"));
        QVERIFY(book.kinds(u"resourcetype").contains(QStringLiteral("addressbook")));
        QVERIFY(book.kinds(u"supported-report-set").contains(QStringLiteral("sync-collection")));
        QVERIFY(!book.has(u"getetag")); // its propstat said 404
        // An address-data-type's version unsaid is 3.0; JSON is no vCard.
        QCOMPARE(book.property(u"supported-address-data")->vcardVersions,
                 (QStringList{QStringLiteral("3.0"), QStringLiteral("4.0")}));

        const QString card = parsed("multiget.xml").resources[0].text(u"address-data");
        QVERIFY(card.contains(QStringLiteral("FN:李四\r\n")));
        QVERIFY_THROWS_EXCEPTION(carddav::DavParseError,
                                 carddav::parseMultistatus("<html>busy</html>"));
        QVERIFY_THROWS_EXCEPTION(
            carddav::DavParseError,
            carddav::parseMultistatus("<multistatus xmlns=\"DAV:\"><response>"));
    }

    // RFC 7616, 3.9.1: the same challenge in MD5 and SHA-256. Basic goes
    // in the clear only to this computer or over HTTPS.
    void challengesAreAnsweredAsTheStandardSays() {
        const QByteArray challenge =
            "Digest realm=\"http-auth@example.org\", qop=\"auth, auth-int\", "
            "algorithm=%1, nonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\", "
            "opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"";
        const QUrl url(QStringLiteral("http://www.example.org/dir/index.html"));
        for (const auto& [algorithm, response] :
             {std::pair<QByteArray, QByteArray>{"MD5", "8ca523f5e9506fed4657c9700eebdbec"},
              {"SHA-256", "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1"}}) {
            carddav::Authorizer authorizer(
                {QStringLiteral("Mufasa"), QStringLiteral("Circle of Life")},
                [] { return QByteArray("f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ"); });
            QCOMPARE(authorizer.challenged({QByteArray(challenge).replace("%1", algorithm)}, url),
                     carddav::Authorizer::Outcome::Answered);
            const QByteArray answer = authorizer.authorization("GET", url);
            QVERIFY2(answer.contains("response=\"" + response + '"'), answer.constData());
            QVERIFY(answer.contains("nc=00000001"));
            // The same again is a refusal of the password, not a new challenge.
            QCOMPARE(authorizer.challenged({QByteArray(challenge).replace("%1", algorithm)}, url),
                     carddav::Authorizer::Outcome::Refused);
        }
        carddav::Authorizer basic({QStringLiteral("u"), QStringLiteral("p")});
        QCOMPARE(
            basic.challenged({"Basic realm=\"x\""}, QUrl(QStringLiteral("http://example.org/"))),
            carddav::Authorizer::Outcome::Insecure);
        QCOMPARE(
            basic.challenged({"Basic realm=\"x\""}, QUrl(QStringLiteral("https://example.org/"))),
            carddav::Authorizer::Outcome::Answered);
        QCOMPARE(basic.authorization("GET", QUrl(QStringLiteral("https://example.org/"))),
                 QByteArray("Basic dTpw"));
        QCOMPARE(basic.challenged({"Negotiate"}, QUrl(QStringLiteral("https://example.org/"))),
                 carddav::Authorizer::Outcome::Unsupported);
    }
};

QTEST_GUILESS_MAIN(CardDavTest)
#include "tst_carddav.moc"
