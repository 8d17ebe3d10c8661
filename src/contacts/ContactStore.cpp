#include "ContactStore.h"

#include "Book.h"
#include "ContactColumns.h"
#include "SearchKeys.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"

#include <functional>
#include <limits>
#include <optional>
#include <tuple>

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

// No more than this many contacts hold a text found anywhere in their keys:
// they are found through the trigrams, all at once, and put in order. More
// are sought in the list's order, where the first of them come soon unless
// they all stand late in it.
constexpr int fewContacts = 2500;

// What the list shows of contacts, read by their rows.
class ShownReader {
public:
    explicit ShownReader(const db::Connection& connection)
        : shown_(connection, QStringLiteral("SELECT GR_XM, GR_YDH, GR_DH, GR_DW, GR_ML "
                                            "FROM yanshu WHERE rowid = ?")) {}

    // Nothing for a row that is gone.
    std::optional<ListedContact> read(qint64 row) {
        shown_.reset();
        shown_.bind(1, QVariant::fromValue(row));
        if (!shown_.step()) {
            return std::nullopt;
        }
        ListedContact contact{row, {}};
        for (int i = 0; i < int(contact.shown.size()); ++i) {
            contact.shown[std::size_t(i)] = shown_.value(i).toString();
        }
        return contact;
    }

private:
    db::Statement shown_;
};

const QString& nameOf(const ListedContact& contact) {
    return contact.shown[0];
}

// The end of the keys that begin with `prefix`: no character is greater.
QString pastPrefix(const QString& prefix) {
    return prefix + QChar(0xDBFF) + QChar(0xDFFF);
}

// The search of one typed text from one position on.
class Search {
public:
    Search(const db::Connection& connection, const QString& typed, const ListPosition& from)
        : connection_(connection)
        , sought_(typed)
        , shown_(connection)
        , at_(from) {}

    SearchSlice run(int wanted, int rows) {
        while (int(slice_.found.size()) < wanted && looked_ < rows && !slice_.atEnd) {
            const bool tierDone =
                at_.tier == Tier::Anywhere ? readAnywhere(wanted, rows) : readRanked(wanted, rows);
            if (tierDone) {
                nextTier();
            }
        }
        slice_.reached = at_;
        return std::move(slice_);
    }

private:
    void nextTier() {
        if (at_.tier == Tier::Anywhere || sought_.everyone()) {
            slice_.atEnd = true;
        } else {
            at_ = {Tier(int(at_.tier) + 1), {}, ListPosition().row};
        }
    }

    // Moves on to the next (key, row) of the statement, unless enough are
    // found or its rows have run out.
    bool nextKey(db::Statement& keys, int wanted) {
        if (int(slice_.found.size()) >= wanted || !keys.step()) {
            return false;
        }
        ++looked_;
        at_.key = keys.value(0).toString();
        at_.row = keys.integer(1);
        return true;
    }

    // The contact reached is found when its name is one `finds` takes.
    void keepIf(const std::function<bool(const QString& name)>& finds) {
        std::optional<ListedContact> contact = shown_.read(at_.row);
        if (contact && finds(nameOf(*contact))) {
            slice_.found.push_back(std::move(*contact));
        }
    }

    // Whether a piece that asked for `asked` rows read the last of them
    // before finding what it wanted.
    bool ranOut(int before, int asked, int wanted) const {
        return looked_ - before < asked && int(slice_.found.size()) < wanted;
    }

    // The ranked keys of the tier that begin with what is sought, each
    // contact under its best key only. True when the tier is read to its end.
    bool readRanked(int wanted, int rows) {
        const QString& prefix = sought_.prefix(at_.tier);
        if (prefix.isEmpty()) {
            return true;
        }
        db::Statement keys(connection_,
                           QStringLiteral("SELECT key, row FROM yanshu_rank WHERE (key, row) > "
                                          "(?, ?) AND key < ? ORDER BY key, row LIMIT ?"));
        const int asked = rows - looked_;
        keys.bindAll(
            {std::max(at_.key, prefix), QVariant::fromValue(at_.row), pastPrefix(prefix), asked});
        const int before = looked_;
        while (nextKey(keys, wanted)) {
            keepIf([&](const QString& name) { return sought_.bestKey(name) == at_.key; });
        }
        return ranOut(before, asked, wanted);
    }

    // Contacts whose other keys hold the text and none of whose ranked keys
    // begin with it, in the list's order.
    bool readAnywhere(int wanted, int rows) {
        if (at_.key.isEmpty() && readFew()) {
            return true;
        }
        db::Statement scan(
            connection_,
            QStringLiteral("SELECT r.key, r.row, instr(f.keys, ?) > 0 FROM yanshu_rank AS r "
                           "CROSS JOIN yanshu_find AS f ON f.row = r.row "
                           "WHERE (r.key, r.row) > (?, ?) AND r.key < 'b' "
                           "ORDER BY r.key, r.row LIMIT ?"));
        const int asked = rows - looked_;
        scan.bindAll({sought_.anywhere(), std::max(at_.key, QStringLiteral("a")),
                      QVariant::fromValue(at_.row), asked});
        const int before = looked_;
        while (nextKey(scan, wanted)) {
            if (scan.integer(2) != 0) {
                keepIf([&](const QString& name) {
                    return listKey(name) == at_.key && sought_.bestKey(name).isEmpty();
                });
            }
        }
        return ranOut(before, asked, wanted);
    }

    // Everyone who holds a text of three characters or more, when they are
    // few: all at once, through the trigrams, put in the list's order.
    bool readFew() {
        const QString& needle = sought_.anywhere();
        // LIKE reads _ and % as wildcards, and the empty text has no trigram.
        if (needle.size() < 3 || needle.contains(u'%') || needle.contains(u'_')) {
            return false;
        }
        // One more than a few are asked for: then they are not few.
        db::Statement holding(connection_, QStringLiteral("SELECT rowid FROM yanshu_grams "
                                                          "WHERE keys LIKE ? LIMIT ?"));
        holding.bindAll({u'%' + needle + u'%', fewContacts + 1});
        std::vector<qint64> rows;
        while (holding.step()) {
            rows.push_back(holding.integer(0));
        }
        if (rows.size() > std::size_t(fewContacts)) {
            return false;
        }
        std::vector<std::pair<QString, ListedContact>> found;
        for (const qint64 row : rows) {
            std::optional<ListedContact> contact = shown_.read(row);
            if (contact && sought_.bestKey(nameOf(*contact)).isEmpty()) {
                found.emplace_back(listKey(nameOf(*contact)), std::move(*contact));
            }
        }
        std::ranges::sort(found, [](const auto& a, const auto& b) {
            return std::tie(a.first, a.second.row) < std::tie(b.first, b.second.row);
        });
        for (auto& [key, contact] : found) {
            slice_.found.push_back(std::move(contact));
        }
        looked_ += int(rows.size());
        return true;
    }

    const db::Connection& connection_;
    const Sought sought_;
    ShownReader shown_;
    ListPosition at_;
    SearchSlice slice_;
    int looked_ = 0;
};

} // namespace

SearchSlice ContactStore::search(const db::Connection& connection, const QString& typed,
                                 const ListPosition& from, int wanted, int rows) {
    return Search(connection, typed, from).run(wanted, rows);
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
