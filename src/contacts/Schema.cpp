#include "Schema.h"

#include "Backups.h"
#include "Book.h"
#include "ContactColumns.h"
#include "SearchKeys.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

#include <QDateTime>
#include <QDir>
#include <QStringList>

#include <functional>
#include <vector>

namespace contacts {

namespace {

// Names compare whole, blanks included, Latin letters without regard to case.
const QString nameCollation = QStringLiteral(" COLLATE NOCASE");

QString contactTable() {
    QStringList definitions{QStringLiteral("Id INTEGER DEFAULT 0")};
    for (const ContactColumn& c : textColumns) {
        QString definition = c.column.toString() + QStringLiteral(" TEXT DEFAULT ''");
        if (c.column == nameColumn) {
            definition += nameCollation;
        }
        definitions << definition;
    }
    return QStringLiteral("CREATE TABLE yanshu (") + definitions.join(QStringLiteral(", ")) +
           QStringLiteral(");");
}

int userVersion(const db::Connection& connection) {
    db::Statement version(connection, QStringLiteral("PRAGMA user_version"));
    return version.step() ? int(version.integer(0)) : 0;
}

bool hasContactTable(const db::Connection& connection) {
    db::Statement table(connection,
                        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND "
                                       "name = 'yanshu' COLLATE NOCASE"));
    return table.step();
}

// Version 2: every contact gets a stable identity, the existing ones too.
void addIdentity(db::Connection& connection) {
    connection.execute(QStringLiteral("ALTER TABLE yanshu ADD COLUMN UID TEXT;"
                                      "ALTER TABLE yanshu ADD COLUMN REV TEXT DEFAULT '';"));
    Book(connection).identifyAll();
    // The next number is one past max(Id): an index makes that one look-up.
    connection.execute(QStringLiteral("CREATE UNIQUE INDEX yanshu_UID ON yanshu (UID);"
                                      "CREATE INDEX yanshu_Id ON yanshu (Id);"
                                      "PRAGMA user_version = 2;"));
}

// What the search keys are made of, as the arguments of yanshu_keys: the
// name, five telephones, the e-mail address, the employer and the lines of
// the contact's extras.
QString keyArguments(const QString& row) {
    return QStringLiteral("%1.GR_XM, %1.GR_YDH, %1.GR_DH, %1.GR_DHW, %1.GR_CZ, %1.GR_BG, "
                          "%1.GR_ML, %1.GR_DW, (SELECT group_concat(name || ':' || value, "
                          "char(10)) FROM yanshu_extra WHERE UID = %1.UID)")
        .arg(row);
}

// A new name's ranked keys, each a row of yanshu_rank. Those of a name that
// changes or goes are found again from the name: the functions give the
// same keys for the same name, and the tables are remade when they change.
QString rankRows() {
    return QStringLiteral("SELECT value, NEW.rowid FROM json_each(yanshu_rank(NEW.GR_XM))");
}

QString dropRanks() {
    return QStringLiteral("DELETE FROM yanshu_rank WHERE row = OLD.rowid AND key IN "
                          "(SELECT value FROM json_each(yanshu_rank(OLD.GR_XM)));");
}

// The contact list's tables: the keys found anywhere and the ranked keys,
// in the list's order. Those of an older version go first. The keys of the
// existing contacts are made here; their ranked keys, which are best
// written in order, are left to be indexed as a batch's are.
void makeSearch(db::Connection& connection) {
    connection.execute(
        QStringLiteral(
            "DROP TRIGGER IF EXISTS yanshu_find_insert; DROP TRIGGER IF EXISTS yanshu_find_update;"
            "DROP TRIGGER IF EXISTS yanshu_find_delete;"
            "DROP TABLE IF EXISTS yanshu_grams; DROP TABLE IF EXISTS yanshu_find;"
            "CREATE TABLE yanshu_find (row INTEGER PRIMARY KEY, keys TEXT NOT NULL);"
            "INSERT INTO yanshu_find SELECT rowid, yanshu_keys(%1) FROM yanshu AS y;"
            "CREATE TABLE yanshu_rank (key TEXT NOT NULL, row INTEGER NOT NULL, "
            "PRIMARY KEY (key, row)) WITHOUT ROWID;"
            "PRAGMA user_version = 6;")
            .arg(keyArguments(QStringLiteral("y"))));
}

// Whether the contact of that row is indexed as it is written: a batch
// leaves those above its mark in yanshu_unindexed to be indexed all at
// once as it ends.
QString indexedNow(const QString& row) {
    return QStringLiteral("NOT EXISTS (SELECT 1 FROM yanshu_unindexed WHERE %1 > above)").arg(row);
}

// Version 7: the ranked keys and the trigrams of the contacts a batch adds
// are written as it ends, in order, in one statement each. Row by row an
// import of a million wrote each key into a random page of a table larger
// than memory, and each trigram write flushed a segment of its own. The
// index of trigrams keeps no sizes (10 bytes a contact), which only FTS5's
// ranking reads. Both are made again, as a batch makes them.
void deferIndexes(db::Connection& connection) {
    connection.execute(
        QStringLiteral(
            "DROP TABLE IF EXISTS yanshu_grams; DELETE FROM yanshu_rank;"
            "CREATE VIRTUAL TABLE yanshu_grams USING fts5(keys, content = 'yanshu_find', "
            "content_rowid = 'row', tokenize = 'trigram', detail = 'none', columnsize = 0);"
            "CREATE TABLE yanshu_unindexed (above INTEGER NOT NULL);"
            "DROP TRIGGER IF EXISTS yanshu_find_insert; DROP TRIGGER IF EXISTS yanshu_find_update;"
            "DROP TRIGGER IF EXISTS yanshu_find_delete; DROP TRIGGER IF EXISTS yanshu_rank_update;"
            "DROP TRIGGER IF EXISTS yanshu_grams_insert;"
            "DROP TRIGGER IF EXISTS yanshu_grams_delete;"
            "CREATE TRIGGER yanshu_find_insert AFTER INSERT ON yanshu BEGIN "
            "INSERT INTO yanshu_find VALUES (NEW.rowid, yanshu_keys(%1)); END;"
            "CREATE TRIGGER yanshu_find_update AFTER UPDATE OF GR_XM, GR_YDH, GR_DH, GR_DHW, "
            "GR_CZ, GR_BG, GR_ML, GR_DW ON yanshu BEGIN "
            "DELETE FROM yanshu_find WHERE row = OLD.rowid;"
            "INSERT INTO yanshu_find VALUES (NEW.rowid, yanshu_keys(%1)); END;"
            "CREATE TRIGGER yanshu_find_delete AFTER DELETE ON yanshu BEGIN "
            "DELETE FROM yanshu_find WHERE row = OLD.rowid; %3 END;"
            "CREATE TRIGGER yanshu_rank_insert AFTER INSERT ON yanshu WHEN %4 BEGIN "
            "INSERT INTO yanshu_rank %2; END;"
            "CREATE TRIGGER yanshu_rank_update AFTER UPDATE OF GR_XM ON yanshu WHEN %5 BEGIN %3"
            "INSERT INTO yanshu_rank %2; END;"
            "CREATE TRIGGER yanshu_grams_insert AFTER INSERT ON yanshu_find WHEN %6 BEGIN "
            "INSERT INTO yanshu_grams (rowid, keys) VALUES (NEW.row, NEW.keys); END;"
            "CREATE TRIGGER yanshu_grams_delete AFTER DELETE ON yanshu_find WHEN %7 BEGIN "
            "INSERT INTO yanshu_grams (yanshu_grams, rowid, keys) "
            "VALUES ('delete', OLD.row, OLD.keys); END;"
            "PRAGMA user_version = 7;")
            .arg(keyArguments(QStringLiteral("NEW")), rankRows(), dropRanks(),
                 indexedNow(QStringLiteral("NEW.rowid")), indexedNow(QStringLiteral("OLD.rowid")),
                 indexedNow(QStringLiteral("NEW.row")), indexedNow(QStringLiteral("OLD.row"))));
}

// Version 4: what deletions leave. Seq orders them; a contact added again
// with its UID takes its tombstone away, whoever adds it.
void addDeletions(db::Connection& connection) {
    connection.execute(QStringLiteral(
        "CREATE TABLE yanshu_deleted (seq INTEGER PRIMARY KEY, UID TEXT NOT NULL UNIQUE, "
        "DELETED TEXT NOT NULL, Id, card TEXT);"
        "CREATE INDEX yanshu_deleted_kept ON yanshu_deleted (seq) WHERE card IS NOT NULL;"
        "CREATE TRIGGER yanshu_deleted_back AFTER INSERT ON yanshu BEGIN "
        "DELETE FROM yanshu_deleted WHERE UID = NEW.UID; END;"
        "PRAGMA user_version = 4;"));
}

// Version 5: what a contact has that no column holds, by its UID, in its
// order; the search keys take in its telephones, e-mail addresses and ids.
// The Book writes a contact's extras before its row, so that the row's
// keys are made with them.
void addExtras(db::Connection& connection) {
    connection.execute(
        QStringLiteral("CREATE TABLE yanshu_extra (UID TEXT NOT NULL, seq INTEGER NOT NULL, "
                       "grp TEXT NOT NULL DEFAULT '', name TEXT NOT NULL, "
                       "params TEXT NOT NULL DEFAULT '', value TEXT NOT NULL DEFAULT '', "
                       "PRIMARY KEY (UID, seq)) WITHOUT ROWID;"
                       "PRAGMA user_version = 5;"));
}

// Brings the tables from their version up to the current one.
void upgrade(db::Connection& connection, int from) {
    if (from < 2) {
        addIdentity(connection);
    }
    if (from < 4) {
        addDeletions(connection);
    }
    if (from < 5) {
        addExtras(connection);
    }
    // Once, after the tables its keys are made of.
    if (from < 6) {
        makeSearch(connection);
    }
    if (from < 7) {
        deferIndexes(connection);
        const db::Connection::OwnedWrites owned(connection);
        connection.execute(QStringLiteral("INSERT INTO yanshu_unindexed VALUES (0)"));
        catchUpSearchIndex(connection);
        tidySearchIndex(connection);
    }
}

// A copy of the file as it was into its backup folder, on disk before the
// upgrade commits: else a power cut could keep the upgraded file and lose
// its copy.
void backUp(db::Connection& connection, const platform::Progress& progress) {
    try {
        takeBackup(connection, QDateTime::currentDateTime(), progress);
    } catch (const db::DbError& e) {
        if (e.kind() == db::DbErrorKind::Interrupted) {
            throw;
        }
        throw db::DbError(
            QStringLiteral("无法在“%1”旁边的备份文件夹中保存它的备份，数据库没有升级。")
                .arg(QDir::toNativeSeparators(connection.path())),
            e.userMessage() + QStringLiteral("; ") + e.detail(), e.engineCode(),
            db::DbErrorKind::Io);
    }
}

void createTablesOfVersion1(db::Connection& connection) {
    connection.execute(contactTable() +
                       QStringLiteral("CREATE INDEX yanshu_GR_XM ON yanshu (GR_XM);"
                                      "CREATE TABLE mab (YHM TEXT DEFAULT ''") +
                       nameCollation +
                       QStringLiteral(", YHMA TEXT DEFAULT '');"
                                      "PRAGMA user_version = 1;"));
}

} // namespace

void createVersion1(db::Connection& connection) {
    db::Transaction transaction(connection);
    createTablesOfVersion1(connection);
    transaction.commit();
}

void createSchema(db::Connection& connection) {
    defineSearchFunctions(connection);
    // A full card's row is about a tenth of a page of 4 KiB, and a row that
    // does not fit goes whole to the next page: pages of 8 KiB leave half
    // as much empty. Only a file without tables takes it; older books keep
    // their pages.
    connection.execute(QStringLiteral("PRAGMA page_size = 8192"));
    db::Transaction transaction(connection);
    createTablesOfVersion1(connection);
    upgrade(connection, 1);
    transaction.commit();
    connection.discardTemporaries();
    connection.reserveWrites(Book::ownTables());
}

void openDatabase(db::Connection& connection, const QString& connectionString,
                  const platform::Progress& progress) {
    connection.open(connectionString);
    defineSearchFunctions(connection);
    connection.reserveWrites(Book::ownTables());
    const int version = userVersion(connection);
    if (version == schemaVersion) {
        return;
    }
    const QString path = connection.path();
    if (version > schemaVersion) {
        connection.close();
        throw db::DbError(
            QStringLiteral("数据库文件“%1”是较新版本的雁书簿建立的，这个版本不能打开它。"
                           "请使用新版的雁书簿。")
                .arg(QDir::toNativeSeparators(path)),
            QStringLiteral("schema version %1, this program knows %2")
                .arg(version)
                .arg(schemaVersion),
            0, db::DbErrorKind::NewerVersion);
    }
    try {
        // The write lock first: nobody changes the file while it is copied.
        db::Transaction transaction(connection);
        if (!hasContactTable(connection)) {
            return; // not ours: reading it says so
        }
        backUp(connection, progress);
        // Making the keys of a large book takes a while: the window is kept
        // painted, and the user may give up.
        platform::Ticker ticker(progress);
        const db::Connection::Asking asking(
            connection, connection.writingBack(
                            progress ? std::function<bool()>([&] { return ticker.keepGoing(0, 0); })
                                     : std::function<bool()>()));
        upgrade(connection, version);
        transaction.commit();
        connection.discardTemporaries();
    } catch (...) {
        connection.close(); // an old file is opened upgraded or not at all
        throw;
    }
}

} // namespace contacts
