#include "Duplicates.h"

#include "Extras.h"
#include "SearchKeys.h"

#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"

#include <QHash>

#include <algorithm>
#include <numeric>
#include <ranges>

namespace contacts {

namespace {

// What contacts of one name, or one reading of it, may further share: a
// telephone, fax or address (an office's, a family's), a birth date, an
// employer. Postcodes are shared by whole districts.
struct SharedField {
    QStringView column;
    QStringView label;
    bool telephone;
};
constexpr SharedField sharedFields[] = {
    {u"GR_DH", u"住宅电话", true},  {u"GR_DHW", u"单位电话", true}, {u"GR_CZ", u"传真电话", true},
    {u"GR_BG", u"单位传真", true},  {u"GR_CS", u"出生日期", false}, {u"GR_DW", u"工作单位", false},
    {u"GR_JZ", u"家庭住址", false}, {u"GR_DZ", u"单位地址", false}, {u"GR_WB", u"网址", false},
};

QString digitsOf(QStringView text) {
    QString digits;
    for (const QChar c : text) {
        if (c.isDigit()) {
            digits += QChar(u'0' + c.digitValue()); // full-width digits too
        }
    }
    return digits;
}

// A shared value as compared: a number by its digits (seven at least), a
// text without blanks, in lower case.
QString comparable(QStringView text, bool telephone) {
    if (telephone) {
        QString digits = digitsOf(text);
        return digits.size() >= 7 ? digits : QString();
    }
    QString plain = text.toString().toLower();
    plain.remove(u' ');
    plain.remove(QChar(0x3000));
    return plain;
}

QString qqNumber(QStringView text) {
    const QString digits = digitsOf(text);
    return digits.size() >= 5 && digits.size() == text.trimmed().size() ? digits : QString();
}

// The contacts found one person so far: each group's strongest evidence
// and the value it rests on.
class Groups {
public:
    // A name's hint joins only contacts that nothing personal has joined
    // yet: it would chain people a mobile number tells apart.
    void join(const std::vector<qint64>& rows, Evidence evidence, const QString& reason) {
        const bool hint = evidence >= Evidence::Name;
        int first = -1;
        for (const qint64 row : rows) {
            const int other = root(indexOf(row));
            if (hint && isPersonal(other)) {
                continue;
            }
            if (first < 0) {
                first = other;
            } else if (other != first) {
                parent_[std::size_t(other)] = first;
                keepStronger(first, best_[std::size_t(other)]);
                keepStronger(first, {evidence, reason});
            }
        }
    }

    std::vector<DuplicateGroup> take() {
        // Rows were numbered as found, in no order: each group by its root.
        std::vector<int> groupOf(rows_.size(), -1);
        std::vector<DuplicateGroup> groups;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            int& group = groupOf[std::size_t(root(int(i)))];
            if (group < 0) {
                group = int(groups.size());
                const Best& best = best_[std::size_t(root(int(i)))];
                groups.push_back({{}, best.first, best.second});
            }
            groups[std::size_t(group)].rows.push_back(rows_[i]);
        }
        // Not one a hint found and then left alone.
        std::erase_if(groups, [](const DuplicateGroup& group) { return group.rows.size() < 2; });
        for (DuplicateGroup& group : groups) {
            std::ranges::sort(group.rows);
        }
        std::ranges::sort(groups, [](const DuplicateGroup& a, const DuplicateGroup& b) {
            return std::tie(a.evidence, a.rows.front()) < std::tie(b.evidence, b.rows.front());
        });
        return groups;
    }

private:
    using Best = std::pair<Evidence, QString>;

    int indexOf(qint64 row) {
        const auto found = index_.constFind(row);
        if (found != index_.constEnd()) {
            return *found;
        }
        const int at = int(rows_.size());
        index_.insert(row, at);
        rows_.push_back(row);
        parent_.push_back(at);
        best_.push_back({Evidence::Reading, QString()});
        return at;
    }
    int root(int i) {
        while (parent_[std::size_t(i)] != i) {
            i = parent_[std::size_t(i)] = parent_[std::size_t(parent_[std::size_t(i)])];
        }
        return i;
    }
    bool isPersonal(int root) const {
        const Best& best = best_[std::size_t(root)];
        return !best.second.isEmpty() && best.first < Evidence::Name;
    }
    void keepStronger(int at, const Best& best) {
        Best& kept = best_[std::size_t(at)];
        if (kept.second.isEmpty() || best.first < kept.first) {
            kept = best;
        }
    }

    QHash<qint64, int> index_;
    std::vector<qint64> rows_;
    std::vector<int> parent_;
    std::vector<Best> best_;
};

QString reasonOf(Evidence evidence, const QString& value) {
    switch (evidence) {
    case Evidence::Mobile:
        return QStringLiteral("手机号相同：") + value;
    case Evidence::Email:
        return QStringLiteral("电子邮件相同：") + value;
    case Evidence::Qq:
        return QStringLiteral("QQ号相同：") + value;
    case Evidence::WeChat:
        return QStringLiteral("微信号相同：") + value;
    default:
        return value;
    }
}

// The personal values (mobile, e-mail, QQ, WeChat) of every contact, its
// columns and its extras, in a temporary table; those that two to
// maxSharing contacts hold join them.
void joinByPersonalValues(db::Connection& connection, Groups& groups) {
    // A database of its own for them, a temporary file: let go of at once
    // when detached, where dropping a table frees it page by page.
    connection.execute(QStringLiteral(
        "ATTACH DATABASE '' AS yanshu_dupes;"
        "CREATE TABLE yanshu_dupes.personal (kind INTEGER NOT NULL, value TEXT NOT NULL, "
        "row INTEGER NOT NULL, PRIMARY KEY (kind, value, row)) WITHOUT ROWID;"));
    const struct Detach {
        db::Connection& connection;
        ~Detach() {
            try {
                connection.execute(QStringLiteral("DETACH DATABASE yanshu_dupes"));
            } catch (const db::DbError&) {
                // Still in use by a statement that failed: it goes with the connection.
            }
        }
    } detach{connection};
    // Kept in order as they come, so that no sort of them all at the end
    // keeps the progress window waiting.
    db::Statement add(
        connection, QStringLiteral("INSERT OR IGNORE INTO yanshu_dupes.personal VALUES (?, ?, ?)"));
    const auto keep = [&](Evidence kind, const QString& value, qint64 row) {
        if (!value.isEmpty()) {
            add.bindAll({int(kind), value, row});
            add.run();
            add.reset();
        }
    };
    db::Statement columns(connection,
                          QStringLiteral("SELECT rowid, GR_YDH, GR_ML, GR_QQ FROM yanshu WHERE "
                                         "GR_YDH <> '' OR GR_ML <> '' OR GR_QQ <> ''"));
    while (columns.step()) {
        const qint64 row = columns.integer(0);
        keep(Evidence::Mobile, mobileDigits(columns.text(1)), row);
        keep(Evidence::Email, columns.text(2).trimmed().toLower(), row);
        keep(Evidence::Qq, qqNumber(columns.text(3)), row);
    }
    db::Statement extras(
        connection,
        QStringLiteral("SELECT y.rowid, e.name, e.params, e.value FROM yanshu_extra e JOIN yanshu "
                       "y ON y.UID = e.UID WHERE e.name IN ('TEL', 'EMAIL', 'X-QQ', 'X-WECHAT', "
                       "'IMPP')"));
    while (extras.step()) {
        const Extra extra{{}, extras.text(1), extras.text(2), extras.text(3)};
        const QString text = extraText(extra).trimmed();
        const qint64 row = extras.integer(0);
        if (extra.name == u"TEL") {
            if (typesOf(extra).contains(u"cell")) {
                keep(Evidence::Mobile, mobileDigits(text), row);
            }
        } else if (extra.name == u"EMAIL") {
            keep(Evidence::Email, text.toLower(), row);
        } else if (extra.name == u"X-QQ" || serviceOf(extra) == u"QQ") {
            keep(Evidence::Qq, qqNumber(text), row);
        } else if (extra.name == u"X-WECHAT" || serviceOf(extra) == u"微信") {
            keep(Evidence::WeChat, text.toLower(), row);
        }
    }
    db::Statement shared(
        connection,
        QStringLiteral("SELECT kind, value, group_concat(row) FROM yanshu_dupes.personal "
                       "GROUP BY kind, value HAVING count(*) BETWEEN 2 AND %1")
            .arg(maxSharing));
    while (shared.step()) {
        std::vector<qint64> rows;
        for (const QStringView row : QStringView(shared.text(2)).split(u',')) {
            rows.push_back(row.toLongLong());
        }
        const auto kind = Evidence(shared.integer(0));
        groups.join(rows, kind, reasonOf(kind, shared.text(1)));
    }
}

// Contacts of one name (or one reading) that share another value, in runs
// of the name the query gives in order: `hint` says what the name was.
void joinRuns(db::Statement& query, Groups& groups, Evidence evidence,
              const std::function<QString(const QString& name)>& hint) {
    QString name;
    std::vector<std::pair<qint64, QStringList>> run;
    const auto joinRun = [&] {
        // Alone, or a name too common to tell anyone by.
        if (run.size() < 2 || run.size() > std::size_t(maxSharing) * 50) {
            run.clear();
            return;
        }
        for (std::size_t f = 0; f < std::size(sharedFields); ++f) {
            QHash<QString, std::vector<qint64>> byValue;
            for (const auto& [row, values] : run) {
                if (!values[qsizetype(f)].isEmpty()) {
                    byValue[values[qsizetype(f)]].push_back(row);
                }
            }
            for (auto it = byValue.cbegin(); it != byValue.cend(); ++it) {
                if (it->size() >= 2 && it->size() <= std::size_t(maxSharing)) {
                    groups.join(*it, evidence,
                                QStringLiteral("%1，%2相同：%3")
                                    .arg(hint(name), sharedFields[f].label, it.key()));
                }
            }
        }
        run.clear();
    };
    while (query.step()) {
        if (query.text(1) != name) {
            joinRun();
            name = query.text(1);
        }
        QStringList values;
        for (std::size_t f = 0; f < std::size(sharedFields); ++f) {
            values << comparable(query.text(2 + int(f)), sharedFields[f].telephone);
        }
        run.emplace_back(query.integer(0), std::move(values));
    }
    joinRun();
}

QString sharedColumns(QStringView table) {
    QStringList columns;
    for (const SharedField& field : sharedFields) {
        columns << table.toString() + u'.' + field.column.toString();
    }
    return columns.join(QStringLiteral(", "));
}

} // namespace

QString mobileDigits(QStringView number) {
    QString digits = digitsOf(number);
    if (digits.startsWith(QStringLiteral("0086"))) {
        digits.remove(0, 4);
    } else if (digits.startsWith(QStringLiteral("86")) && digits.size() == 13) {
        digits.remove(0, 2);
    }
    return digits.size() >= 7 ? digits : QString();
}

std::vector<DuplicateGroup> findDuplicates(db::Connection& connection,
                                           const platform::Progress& progress) {
    platform::Ticker ticker(progress);
    qint64 done = 0;
    constexpr qint64 steps = 3;
    const db::Connection::Asking asking(
        connection, progress ? std::function<bool()>([&] { return ticker.keepGoing(done, steps); })
                             : std::function<bool()>());
    Groups groups;
    joinByPersonalValues(connection, groups);
    ++done;
    // The same name, in the name's index order.
    db::Statement names(connection, QStringLiteral("SELECT rowid, GR_XM, %1 FROM yanshu y WHERE "
                                                   "GR_XM <> '' ORDER BY GR_XM")
                                        .arg(sharedColumns(u"y")));
    joinRuns(names, groups, Evidence::Name,
             [](const QString& name) { return QStringLiteral("姓名相同（%1）").arg(name); });
    ++done;
    // The same reading of different characters (张珊, 张姗): the names' ranked
    // keys of pinyin, "bzhangshan 张珊", by reading.
    db::Statement readings(
        connection,
        QStringLiteral("SELECT y.rowid, substr(r.key, 2, instr(r.key, ' ') - 2), %1 FROM "
                       "yanshu_rank r JOIN yanshu y ON y.rowid = r.row WHERE r.key >= 'b' AND "
                       "r.key < 'c' ORDER BY r.key")
            .arg(sharedColumns(u"y")));
    joinRuns(readings, groups, Evidence::Reading, [](const QString& reading) {
        return QStringLiteral("姓名读音相同（%1）").arg(reading);
    });
    return groups.take();
}

} // namespace contacts
