// Old Access files converted into a real book file, compared field by field
// with the contents their makers wrote down; Qt Core only.

#include "Files.h"

#include "contacts/ContactColumns.h"
#include "contacts/Extras.h"
#include "contacts/Schema.h"
#include "legacy/Conversion.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#include <sys/stat.h> // mkfifo
#endif

namespace {

using Cells = QList<std::optional<QString>>;

QString fixture(const QString& name) {
    return QStringLiteral(FIXTURES_DIR "/") + name;
}

QString hostile(const QString& name) {
    return QStringLiteral(HOSTILE_DIR "/") + name;
}

// The largest resident memory of any reading process so far. Windows keeps
// no such figure for ended processes: there the job object's cap is trusted.
qint64 readerPeakMiB() {
#ifdef Q_OS_WIN
    return 0;
#else
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss / 1024;
#endif
}

// Reading any file ends within this, ASan and a busy machine included.
constexpr qint64 boundMs = 10000;
constexpr qint64 memoryBoundMiB = 500;

// mdb-export's CSV: a bare empty field is NULL, "" is empty text; line
// breaks inside quotes belong to the value.
QList<Cells> readCsv(const QString& path) {
    const QString text = QString::fromUtf8(test::fileBytes(path));
    QList<Cells> rows;
    Cells row;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    const auto endField = [&] {
        row << (wasQuoted || !field.isEmpty() ? std::optional(field) : std::nullopt);
        field.clear();
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += c;
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = wasQuoted = true;
        } else if (c == u',') {
            endField();
        } else if (c == u'\n') {
            endField();
            rows << row;
            row.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

// The rows of a table of ours, in the order stored.
QList<Cells> stored(db::Connection& c, const QString& sql) {
    db::Statement s(c, sql);
    QList<Cells> rows;
    while (s.step()) {
        Cells row;
        for (int i = 0; i < s.columnCount(); ++i) {
            const QVariant v = s.value(i);
            row << (v.isNull() ? std::nullopt : std::optional(v.toString()));
        }
        rows << row;
    }
    return rows;
}

} // namespace

class LegacyTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    db::Connection book;

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        book.create(dir->filePath(QStringLiteral("MY.mdb")));
        contacts::createSchema(book);
    }
    void cleanup() { book.close(); }

    void everyFixture_data() {
        QTest::addColumn<QString>("name");
        for (const char* name :
             {"legacy-demo", "legacy-odd-v2003", "legacy-odd-v2007-accdb",
              "legacy-odd-nowb-extracol", "legacy-odd-nomab", "legacy-odd-empty"}) {
            QTest::newRow(name) << QString::fromLatin1(name);
        }
    }
    // Every value as the old file holds it: Ids as they are, NULL text as
    // empty text, an extra column's values in the notes; the old file unchanged.
    void everyFixture() {
        QFETCH(QString, name);
        const QString file = fixture(name + QStringLiteral(".mdb"));
        const QByteArray before = test::fileBytes(file);
        const legacy::ConversionReport report = legacy::convert(file, book);
        QCOMPARE(test::fileBytes(file), before);

        QList<Cells> expected = readCsv(fixture(name + QStringLiteral(".yanshu.csv")));
        const Cells header = expected.takeFirst();
        const QList<Cells> contacts = stored(book, QStringLiteral("SELECT * FROM yanshu"));
        QCOMPARE(report.contactsRead, expected.size());
        QCOMPARE(report.contactsWritten, expected.size());
        QCOMPARE(contacts.size(), expected.size());
        QSet<QString> uids;
        for (qsizetype r = 0; r < expected.size(); ++r) {
            QHash<QString, std::optional<QString>> old;
            for (qsizetype c = 0; c < header.size(); ++c) {
                old.insert(*header[c], expected[r].value(c));
            }
            QCOMPARE(contacts[r][0], old.value(QStringLiteral("Id"))); // NULL stays NULL
            for (int c = 1; c <= 21; ++c) {
                const QString column = contacts::textColumns[std::size_t(c - 1)].column.toString();
                QCOMPARE(*contacts[r][c], old.value(column).value_or(QString()));
            }
            // A column the card has none for is kept under its name.
            const QString extra = old.value(QStringLiteral("备注2")).value_or(QString());
            const QList<Cells> extras = stored(
                book, QStringLiteral("SELECT params, value FROM yanshu_extra WHERE UID = '%1'")
                          .arg(*contacts[r][22]));
            QList<Cells> want;
            if (!extra.isEmpty()) {
                want << Cells{QStringLiteral("X-LABEL=备注2"), contacts::escapedValue(extra)};
            }
            QCOMPARE(extras, want);
            uids.insert(*contacts[r][22]);
        }
        QCOMPARE(uids.size(), expected.size());

        const QList<Cells> users = stored(book, QStringLiteral("SELECT YHM, YHMA FROM mab"));
        if (QFile::exists(fixture(name + QStringLiteral(".mab.csv")))) {
            QList<Cells> want = readCsv(fixture(name + QStringLiteral(".mab.csv")));
            want.removeFirst();
            QCOMPARE(users, want);
            QCOMPARE(report.usersWritten, 2);
        } else {
            QCOMPARE(users, QList<Cells>({{QStringLiteral("admin"), QStringLiteral("123456")}}));
            QVERIFY(report.text(name).contains(u"没有用户表 mab"));
        }
        if (name.contains(u"extracol")) {
            QVERIFY(report.text(name).contains(u"没有“GR_WB”"));
            QVERIFY(report.text(name).contains(u"多出“备注2”"));
        }
    }

    void damagedRows_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("why");
        // A row's stored column count 0x1616 where the table has 22: read
        // as it stood, the loop over its fields ran off their array.
        QTest::newRow("crack-overflow") << "legacy-crack-overflow-1byte.mdb"
                                        << "记着 5654 栏";
        // libmdb passed over the row with 4000 columns without a word.
        QTest::newRow("rowcols-4000") << "legacy-rowcols-4000.mdb"
                                      << "记着 4000 栏";
        // A memo page whose link points back at itself, on page 29: once
        // the first page repeated, once 1 GiB claimed (527 MB read).
        QTest::newRow("lval-selfloop") << "lval-selfloop.mdb"
                                       << "备注的第 29 页第 0 行出现了两次";
        QTest::newRow("lval-selfloop-1g") << "lval-selfloop-1g.mdb"
                                          << "备注的第 29 页第 0 行出现了两次";
    }
    // A row that cannot be read is counted and named in the report, never
    // read past, passed over in silence or filled in; the others come in.
    void damagedRows() {
        QFETCH(QString, name);
        QFETCH(QString, why);
        QElapsedTimer clock;
        clock.start();
        const legacy::ConversionReport report = legacy::convert(hostile(name), book);
        QCOMPARE_LT(clock.elapsed(), boundMs);
        QCOMPARE_LT(readerPeakMiB(), memoryBoundMiB);
        QCOMPARE(report.contactsRead, 13);
        QCOMPARE(report.contactsWritten, 12);
        QCOMPARE(stored(book, QStringLiteral("SELECT Id FROM yanshu")).size(), 12);
        QCOMPARE(report.notes.size(), 1);
        QVERIFY2(report.notes.first().startsWith(u"第 ") && report.notes.first().contains(why),
                 qPrintable(report.notes.first()));
    }

    // A catalog on which libmdb looped for ever, eating memory: the reading
    // ends within the bound with the message for a damaged file, and in
    // place the old file stays as it was.
    void catalogLoop_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("a zero-length property record")
            << QStringLiteral("legacy-catalog-hang-1byte.mdb");
        // libmdb reads properties from where an empty field begins
        QTest::newRow("properties of an empty field")
            << QStringLiteral("legacy-props-empty-field.mdb");
    }

    void catalogLoop() {
        QFETCH(QString, name);
        const QString file = hostile(name);
        QElapsedTimer clock;
        clock.start();
        try {
            legacy::convert(file, book);
            QFAIL("read a damaged catalog");
        } catch (const db::DbError& e) {
            QVERIFY2(e.userMessage().contains(u"文件已损坏"), qPrintable(e.userMessage()));
            // found by the check, not by the reader's bounds
            QVERIFY2(e.detail().contains(u"目录"), qPrintable(e.detail()));
        }
        QCOMPARE_LT(clock.elapsed(), boundMs);
        QCOMPARE_LT(readerPeakMiB(), memoryBoundMiB);
        QVERIFY(stored(book, QStringLiteral("SELECT Id FROM yanshu")).isEmpty());

        QTemporaryDir folder;
        const QString old = folder.filePath(QStringLiteral("MY.mdb"));
        QVERIFY(QFile::copy(file, old));
        QVERIFY_THROWS_EXCEPTION(db::DbError, legacy::convertInPlace(old));
        QCOMPARE(test::fileBytes(old), test::fileBytes(file));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"MY.mdb"});
    }

    // While the reader is stuck (here on a pipe nobody writes to), the
    // progress is still asked every 50 ms, and 取消 ends the conversion.
    void cancelWhileStuck() {
#ifdef Q_OS_WIN
        QSKIP("Windows has no named pipes among the files");
#else
        const QString pipe = dir->filePath(QStringLiteral("old.mdb"));
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        int asked = 0;
        QElapsedTimer clock;
        clock.start();
        const auto cancelThird = [&](qint64, qint64) { return ++asked < 3; };
        QVERIFY(legacy::convert(pipe, book, cancelThird).cancelled);
        QCOMPARE(asked, 3);
        QCOMPARE_LT(clock.elapsed(), 1000);
        QVERIFY(stored(book, QStringLiteral("SELECT Id FROM yanshu")).isEmpty());
#endif
    }

    // A damaged file says so and writes nothing; a conversion in place keeps
    // the old file under a new name, never over an earlier one.
    void damagedAndInPlace() {
        const QString bad = dir->filePath(QStringLiteral("bad.mdb"));
        QFile out(bad);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(test::fileBytes(fixture(QStringLiteral("legacy-demo.mdb"))).left(8192));
        out.close();
        QVERIFY_THROWS_EXCEPTION(db::DbError, legacy::convert(bad, book));
        QVERIFY(stored(book, QStringLiteral("SELECT * FROM yanshu")).isEmpty());

        QTemporaryDir folder;
        const QString old = folder.filePath(QStringLiteral("MY.mdb"));
        const QByteArray original =
            test::fileBytes(fixture(QStringLiteral("legacy-odd-nomab.mdb")));
        for (const char* kept : {"MY-旧版.mdb", "MY-旧版-2.mdb"}) {
            QFile::remove(old);
            QVERIFY(QFile::copy(fixture(QStringLiteral("legacy-odd-nomab.mdb")), old));
            const legacy::ConversionReport report = legacy::convertInPlace(old);
            QCOMPARE(report.keptAs, QString::fromUtf8(kept));
            QCOMPARE(test::fileBytes(folder.filePath(report.keptAs)), original);
            db::Connection converted;
            contacts::openDatabase(converted, db::connectionString(old));
            QCOMPARE(stored(converted, QStringLiteral("SELECT Id FROM yanshu")).size(), 3);
        }
        QVERIFY(QFile::copy(fixture(QStringLiteral("legacy-odd-nomab.mdb")),
                            folder.filePath(QStringLiteral("MY.mdb.tmp"))));
        QFile::remove(old);
        QVERIFY(QFile::rename(folder.filePath(QStringLiteral("MY.mdb.tmp")), old));
        const auto stop = [](qint64, qint64) { return false; };
        QVERIFY(legacy::convertInPlace(old, stop).cancelled);
        QCOMPARE(test::fileBytes(old), original);
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("MY-旧版-3.mdb"))));
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("MY.mdb.converting"))));
    }
};

QTEST_GUILESS_MAIN(LegacyTest)
#include "tst_legacy.moc"
