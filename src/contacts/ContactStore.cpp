#include "ContactStore.h"

#include "Book.h"
#include "ContactColumns.h"
#include "SearchKeys.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"

#include <limits>

namespace contacts {

namespace {

const QString table = QStringLiteral("yanshu");
const QString byName = QStringLiteral("GR_XM = ?");

} // namespace

ContactStore::ContactStore(BookChanges* changes, Now now)
    : changes_(changes)
    , now_(std::move(now)) {}

void ContactStore::open(db::Connection& connection) {
    book_.emplace(connection, changes_, now_);
}

void ContactStore::openAll(db::Connection& connection) {
    all_ = false;
    records_.openTable(connection, table);
    open(connection);
    all_ = true;
}

void ContactStore::findByName(db::Connection& connection, const QString& name) {
    all_ = false;
    records_.openTable(connection, table, byName, {name});
    open(connection);
}

void ContactStore::close() {
    book_.reset(); // its statements go before the connection may
    records_.close();
}

Book& ContactStore::book() {
    if (!book_) {
        throw db::DbError::notOpen(QStringLiteral("the card's contacts are not open"));
    }
    return *book_;
}

Contact ContactStore::current() const {
    Contact contact;
    contact.id = records_.value(idColumn.column).toLongLong();
    for (std::size_t i = 0; i < textColumns.size(); ++i) {
        contact.fields[i] = records_.text(textColumns[i].column);
    }
    contact.uid = records_.text(u"UID");
    contact.rev = records_.text(u"REV");
    return contact;
}

void ContactStore::add(const Contact& contact) {
    Book& writer = book();
    records_.listEveryRow();
    records_.joinAdded(writer.add({contact.id, contact.fields, {}, {}, {}}));
}

void ContactStore::update(const Contact& contact) {
    book().replace(records_.rowId(), {0, contact.fields, {}, {}, {}});
    records_.reread();
}

void ContactStore::removeCurrent() {
    book().remove(records_.rowId());
    records_.removedCurrent();
}

bool ContactStore::canPutBack() {
    return book_ && book_->canPutBack();
}

bool ContactStore::putBack() {
    Book& writer = book();
    records_.listEveryRow();
    const std::optional<qint64> row = writer.putBack();
    if (row) {
        records_.joinAdded(*row);
    }
    return row.has_value();
}

qint64 ContactStore::nextNumber(const db::Connection& connection) {
    db::Statement largest(connection, QStringLiteral("SELECT max(Id) FROM yanshu"));
    const qint64 n = largest.step() ? largest.integer(0) : 0;
    return n < std::numeric_limits<qint64>::max() ? n + 1 : n;
}

namespace {

// No more than this many contacts hold the text: they are found through
// the trigrams, all at once, and put in order. More are sought in the
// list's order, where the first of them come soon unless they all stand
// late in it (张, 赵 and 周 in a very large book).
constexpr int fewContacts = 1000;

void readShown(const db::Connection& connection, std::vector<ListedContact>& contacts) {
    db::Statement shown(connection, QStringLiteral("SELECT GR_XM, GR_YDH, GR_DH, GR_DW, GR_ML "
                                                   "FROM yanshu WHERE rowid = ?"));
    for (ListedContact& contact : contacts) {
        shown.reset();
        shown.bind(1, QVariant::fromValue(contact.row));
        if (shown.step()) {
            for (int i = 0; i < int(contact.shown.size()); ++i) {
                contact.shown[std::size_t(i)] = shown.value(i).toString();
            }
        }
    }
}

ListPosition placeOf(const db::Connection& connection, qint64 row) {
    db::Statement place(connection, QStringLiteral("SELECT sort FROM yanshu_find WHERE row = ?"));
    place.bind(1, QVariant::fromValue(row));
    return {place.step() ? place.value(0).toString() : QString(), row};
}

// Everyone who holds a text of three characters or more, when they are few.
std::optional<SearchSlice> fewHolding(const db::Connection& connection, const QString& needle) {
    // LIKE reads _ and % as wildcards, and the empty text has no trigram.
    if (needle.size() < 3 || needle.contains(u'%') || needle.contains(u'_')) {
        return std::nullopt;
    }
    // One more than a few are asked for: then they are not few.
    db::Statement found(connection,
                        QStringLiteral("SELECT row FROM yanshu_find WHERE row IN (SELECT rowid "
                                       "FROM yanshu_grams WHERE keys LIKE ? LIMIT ?) "
                                       "ORDER BY sort, row"));
    found.bindAll({u'%' + needle + u'%', fewContacts + 1});
    SearchSlice slice;
    while (found.step()) {
        slice.found.push_back({found.integer(0), {}});
    }
    if (slice.found.size() > std::size_t(fewContacts)) {
        return std::nullopt;
    }
    readShown(connection, slice.found);
    slice.atEnd = true;
    if (!slice.found.empty()) {
        slice.reached = placeOf(connection, slice.found.back().row);
    }
    return slice;
}

} // namespace

SearchSlice ContactStore::search(const db::Connection& connection, const QString& typed,
                                 const ListPosition& from, int wanted, int rows) {
    const QString needle = searchNeedle(typed);
    if (from.row == ListPosition().row) {
        if (std::optional<SearchSlice> few = fewHolding(connection, needle)) {
            return *few;
        }
    }
    // Else through the keys in the list's order, which come in that order:
    // when many contacts match, the first of them come at once.
    db::Statement scan(connection,
                       QStringLiteral("SELECT row, instr(keys, ?) > 0 FROM yanshu_find "
                                      "WHERE (sort, row) > (?, ?) ORDER BY sort, row LIMIT ?"));
    scan.bindAll({needle, from.sort, QVariant::fromValue(from.row), rows});
    SearchSlice slice;
    int read = 0;
    qint64 last = 0;
    while (int(slice.found.size()) < wanted && scan.step()) {
        ++read;
        last = scan.integer(0);
        if (scan.integer(1) != 0) {
            slice.found.push_back({last, {}});
        }
    }
    readShown(connection, slice.found);
    slice.atEnd = read < rows && int(slice.found.size()) < wanted;
    slice.reached = read > 0 ? placeOf(connection, last) : from;
    return slice;
}

void ContactStore::openForReport(db::Recordset& rows, db::Connection& connection,
                                 const std::optional<QString>& name) {
    if (name) {
        rows.openTable(connection, table, byName, {*name});
    } else {
        rows.openTable(connection, table);
    }
}

} // namespace contacts
