// Times the backups of a generated book, 1,000,000 contacts (about 700 MB)
// unless another count is given: the first copy, the comparison that finds
// the book the same as its newest backup (no second copy), the one that
// finds a changed page, and the count of a backup's contacts that the
// window 备份与恢复 shows; then the peak memory.
//
//   build/bin/backup_bench [contacts]

#include "BenchData.h"

#include "contacts/Backups.h"
#include "contacts/Book.h"
#include "contacts/Schema.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/Statement.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <functional>

namespace {

QTextStream out(stdout);

void timed(const QString& what, const std::function<QString()>& action) {
    QElapsedTimer timer;
    timer.start();
    const QString result = action();
    out << "  " << what << ": " << timer.elapsed() << " ms (" << result << "); "
        << bench::peakKb() / 1024 << " MiB peak\n";
    out.flush();
}

QString outcome(const contacts::KeptBackup& kept) {
    return (kept.taken ? QStringLiteral("taken ") : QStringLiteral("same as ")) +
           QFileInfo(kept.path).fileName();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    QTemporaryDir folder;
    bench::makeDatabase(folder.path(), count);
    const QString book = folder.filePath(QStringLiteral("MY.mdb"));
    out << count << " contacts, " << QFileInfo(book).size() / (1024 * 1024) << " MiB\n";
    db::Connection connection;
    contacts::openDatabase(connection, db::connectionString(book));
    QDateTime now = QDateTime::currentDateTime();
    QString first;
    timed(QStringLiteral("first backup"), [&] {
        const contacts::KeptBackup kept = contacts::takeBackup(connection, now);
        first = kept.path;
        return outcome(kept);
    });
    timed(QStringLiteral("unchanged book (whole file compared)"),
          [&] { return outcome(contacts::takeBackup(connection, now = now.addSecs(1))); });
    {
        db::Statement last(connection,
                           QStringLiteral("SELECT _rowid_, %1 FROM yanshu ORDER BY _rowid_ DESC "
                                          "LIMIT 1")
                               .arg(contacts::Book::columns()));
        last.step();
        contacts::Contact contact = contacts::Book::read(last, 1);
        contact[contacts::Field::Notes] += u'.';
        const qint64 row = last.integer(0);
        last.reset();
        contacts::Book(connection).replace(row, contact);
    }
    timed(QStringLiteral("last contact changed (compared, then copied)"),
          [&] { return outcome(contacts::takeBackup(connection, now = now.addSecs(1))); });
    timed(QStringLiteral("contacts in the first backup"),
          [&] { return QString::number(contacts::contactsIn(first)); });
    return 0;
}
