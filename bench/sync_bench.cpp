// Two books and one address book on a Radicale of the benchmark's own: the
// first sync of a book up and of another down (time, requests, peak
// memory), a sync with no change, and ten changes on each side.
//
//   build/bin/sync_bench [contacts ...]   (2,000 unless given: Radicale takes
//   longer for each card the larger the address book, 40 ms at 1,000: 30
//   minutes for 10,000)
//   build/bin/sync_bench down [contacts ...]   the first sync down only, of
//   cards put into Radicale's folder directly: 10,000 in seconds
//   build/bin/sync_bench still [contacts ...]   a sync with no change of a
//   book that holds that many contacts and agreed with the server on each
//   (the server holds none of them: what is measured is the book's side)

#include "BenchData.h"
#include "Radicale.h"

#include "contacts/Book.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"
#include "platform/net/Http.h"
#include "sync/CardDav.h"
#include "sync/Engine.h"
#include "sync/Merge.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

const QString user = QStringLiteral("bench");
const QString password = QStringLiteral("bench");

struct Device {
    QTemporaryDir folder{QDir::currentPath() + QStringLiteral("/bench-XXXXXX")}; // on disk
    db::Connection connection;
    std::unique_ptr<net::Http> http = net::systemHttp();
    carddav::CardDavClient dav{*http, {user, password}};

    explicit Device(int contacts) {
        if (contacts > 0) {
            bench::makeDatabase(folder.path(), contacts);
            contacts::openDatabase(connection,
                                   db::connectionString(folder.filePath(QStringLiteral("MY.mdb"))));
        } else {
            connection.create(folder.filePath(QStringLiteral("MY.mdb")));
            contacts::createSchema(connection);
        }
    }
    // Changes the notes of the first `count` contacts by UID: the same
    // contacts on every device.
    void change(int count, const QString& text) {
        contacts::Book book(connection);
        db::Statement rows(connection,
                           QStringLiteral("SELECT rowid FROM yanshu ORDER BY UID LIMIT ?"));
        rows.bind(1, count);
        std::vector<qint64> ids;
        while (rows.step()) {
            ids.push_back(rows.integer(0));
        }
        for (const qint64 row : ids) {
            db::Statement read(connection, QStringLiteral("SELECT ") + contacts::Book::columns() +
                                               QStringLiteral(" FROM yanshu WHERE rowid = ?"));
            read.bind(1, row);
            read.step();
            contacts::Contact contact = contacts::Book::read(read, 0);
            contact[contacts::Field::Notes] = text;
            contact.rev.clear();
            book.replace(row, contact);
        }
    }
};

void timed(QTextStream& out, const QString& what, Device& device) {
    bench::resetPeak();
    const int before = device.dav.requests();
    QElapsedTimer timer;
    timer.start();
    const carddav::SyncReport report = carddav::SyncEngine(device.connection, device.dav).run();
    out << "  " << what << ": " << timer.elapsed() << " ms, " << device.dav.requests() - before
        << " requests, peak " << bench::peakKb() / 1024 << " MiB (" << report.summary()
        << ", uploaded " << report.uploaded << ")\n";
    out.flush();
}

// A sync with nothing to do, of a book whose every contact the server
// agreed on: what it costs here to find that nothing changed.
int still(QTextStream& out, int count) {
    test::Radicale server({user, password});
    if (!server.running()) {
        out << "no Radicale (python3-radicale) here\n";
        return 1;
    }
    Device a(count);
    const QUrl book = a.dav.makeAddressBook(server.url(), QStringLiteral("bench"));
    carddav::SyncStore store(a.connection);
    store.setAccount({server.url(), book, user, {}, {}});
    {
        db::Transaction transaction(a.connection);
        db::Statement rows(a.connection, QStringLiteral("SELECT ") + contacts::Book::columns() +
                                             QStringLiteral(" FROM yanshu"));
        while (rows.step()) {
            const contacts::Contact contact = contacts::Book::read(rows, 0);
            store.put({contact.uid,
                       QUrl(contact.uid),
                       QByteArrayLiteral("\"1\""),
                       carddav::cardText(contact),
                       {},
                       contact.rev});
        }
        transaction.commit();
    }
    store.setProgress(a.dav.changesSince(book, {}).token,
                      contacts::Book::revOf(QDateTime::currentDateTimeUtc()));
    out << "contacts: " << count << " agreed\n";
    timed(out, "no change       ", a);
    return 0;
}

// Book a holds the contacts, book b none, both with the account of an
// empty address book on a Radicale of the run's own. With `placed`, a's
// cards are put into Radicale's folder directly and only b syncs: the
// first sync down, then one with no change.
int run(QTextStream& out, int count, bool placed) {
    // Up, Radicale takes half an hour for 10,000.
    test::Radicale server({user, password}, {}, 3 * 3600);
    if (!server.running()) {
        out << "no Radicale (python3-radicale) here\n";
        return 1;
    }
    Device a(count);
    Device b(0);
    const QUrl book = a.dav.makeAddressBook(server.url(), QStringLiteral("bench"));
    for (Device* device : {&a, &b}) {
        carddav::SyncStore(device->connection).setAccount({server.url(), book, user, {}, {}});
    }
    out << "contacts: " << count << (placed ? " placed on the server\n" : "\n");
    if (placed) {
        const QDir folder(server.folderOf(book.path()));
        db::Statement rows(a.connection, QStringLiteral("SELECT ") + contacts::Book::columns() +
                                             QStringLiteral(" FROM yanshu"));
        while (rows.step()) {
            const contacts::Contact contact = contacts::Book::read(rows, 0);
            QFile card(folder.filePath(contact.uid + QStringLiteral(".vcf")));
            if (!card.open(QIODevice::WriteOnly) || card.write(carddav::cardFor(contact, {})) < 0) {
                out << "cannot write " << card.fileName() << '\n';
                return 1;
            }
        }
        timed(out, "first sync, down", b);
        timed(out, "no change       ", b);
        return 0;
    }
    timed(out, "first sync, up  ", a);
    timed(out, "first sync, down", b);
    timed(out, "no change       ", a);
    a.change(10, QStringLiteral("改于甲"));
    b.change(10, QStringLiteral("改于乙")); // the same ten: ten conflicts
    timed(out, "10 changed, up  ", a);
    timed(out, "10 each, merged ", b);
    timed(out, "10 back         ", a);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    // "down N…": only the first sync down, of cards placed on the server;
    // "still N…": only a sync with no change.
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    const bool down = mode == "down";
    const bool isStill = mode == "still";
    const int skip = int(down || isStill);
    for (const int count : bench::countsFrom(argc - skip, argv + skip, {2000})) {
        if ((isStill ? still(out, count) : run(out, count, down)) != 0) {
            return 1;
        }
    }
}
