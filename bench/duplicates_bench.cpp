// Times the search for duplicate contacts over generated books with 1% of
// them planted again (the same mobile number under another name), and its
// peak memory.
//
//   build/bin/duplicates_bench [COUNT...]   (default 100000 1000000)

#include "BenchData.h"

#include "contacts/Book.h"
#include "contacts/Duplicates.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Statement.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

// Every hundredth contact again, as a phone would bring it: its mobile
// number written +86 with blanks, its name with one character changed.
int plantDuplicates(db::Connection& connection) {
    std::vector<contacts::Contact> copies;
    db::Statement every(connection, QStringLiteral("SELECT %1 FROM yanshu WHERE rowid % 100 = 0")
                                        .arg(contacts::Book::columns()));
    while (every.step()) {
        contacts::Contact copy = contacts::Book::read(every, 0);
        copy.uid.clear();
        copy.rev.clear();
        copy.id = 0;
        QString& mobile = copy[contacts::Field::Mobile];
        mobile = QStringLiteral("+86 ") + mobile.left(3) + u' ' + mobile.mid(3);
        copy[contacts::Field::Name] += QStringLiteral("二");
        copies.push_back(std::move(copy));
    }
    contacts::Book book(connection);
    contacts::Book::Batch batch(book);
    for (const contacts::Contact& copy : copies) {
        book.add(copy);
    }
    batch.commit();
    return int(copies.size());
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    for (const int count : bench::countsFrom(argc, argv, {100000, 1000000})) {
        QTemporaryDir dir;
        bench::makeDatabase(dir.path(), count);
        db::Connection connection;
        contacts::openDatabase(connection,
                               db::connectionString(dir.filePath(QStringLiteral("MY.mdb"))));
        const int planted = plantDuplicates(connection);
        bench::resetPeak();
        const long before = bench::residentKb();
        qint64 longest = 0;
        QElapsedTimer sinceLast;
        sinceLast.start();
        QElapsedTimer timer;
        timer.start();
        const auto groups = contacts::findDuplicates(connection, [&](qint64, qint64) {
            longest = std::max(longest, sinceLast.restart());
            return true;
        });
        const qint64 elapsed = timer.elapsed();
        qsizetype mobiles = 0;
        for (const contacts::DuplicateGroup& group : groups) {
            mobiles += group.evidence == contacts::Evidence::Mobile ? 1 : 0;
        }
        out << count << " contacts, " << planted << " planted again:\n"
            << "  found " << groups.size() << " groups (" << mobiles << " by mobile) in " << elapsed
            << " ms, longest between progress reports " << longest << " ms\n"
            << "  memory: " << (bench::peakKb() - before) / 1024 << " MiB above the "
            << before / 1024 << " MiB before\n";
        out.flush();
    }
    return 0;
}
