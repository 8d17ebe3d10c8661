#include "Conversion.h"

#include "AccessReader.h"

#include "account/UserStore.h"
#include "contacts/Book.h"
#include "contacts/ContactColumns.h"
#include "contacts/Extras.h"
#include "contacts/Schema.h"
#include "contacts/SearchKeys.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/FileReplace.h"
#include "platform/db/Statement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <vector>

namespace legacy {

namespace {

using Row = std::vector<std::optional<QString>>;

// Where each of our columns is in the old table, or -1.
struct ContactLayout {
    int id = -1;
    std::array<int, 21> text{};
    std::vector<int> extra; // columns we have no place for
};

ContactLayout layoutOf(const QStringList& columns, QStringList& notes) {
    ContactLayout layout;
    layout.text.fill(-1);
    std::vector<bool> used(columns.size(), false);
    const auto find = [&](QStringView name) {
        for (int i = 0; i < columns.size(); ++i) {
            if (columns[i].compare(name, Qt::CaseInsensitive) == 0) {
                used[i] = true;
                return i;
            }
        }
        notes << QStringLiteral("旧表 yanshu 没有“%1”一栏，这一栏留空。").arg(name);
        return -1;
    };
    layout.id = find(contacts::idColumn.column);
    for (std::size_t i = 0; i < contacts::textColumns.size(); ++i) {
        layout.text[i] = find(contacts::textColumns[i].column);
    }
    for (int i = 0; i < columns.size(); ++i) {
        if (!used[i]) {
            layout.extra.push_back(i);
            notes << QStringLiteral("旧表 yanshu 多出“%1”一栏，其内容记入了备注。").arg(columns[i]);
        }
    }
    return layout;
}

QVariant idValue(const std::optional<QString>& id) {
    if (!id) {
        return {}; // NULL, as the old file has it
    }
    bool number = false;
    const qint64 n = id->toLongLong(&number);
    return number ? QVariant(n) : QVariant(*id);
}

// Reads the next row of the table; a row that cannot be read becomes a
// note, "第 N <what>读不出来", and reading goes on. False at the end.
bool nextRow(AccessReader& file, Row& row, qint64& read, const QString& what, QStringList& notes) {
    QString why;
    for (AccessReader::Next next; (next = file.next(row, why)) != AccessReader::Next::End;) {
        ++read;
        if (next == AccessReader::Next::Row) {
            return true;
        }
        notes << QStringLiteral("第 %1 %2读不出来：%3").arg(read).arg(what, why);
    }
    return false;
}

// Returns false when cancelled.
bool copyContacts(AccessReader& file, contacts::Book& book, ConversionReport& report,
                  platform::Ticker& ticker, qint64& total) {
    if (!file.hasTable(QStringLiteral("yanshu"))) {
        report.notes << QStringLiteral("旧文件中没有联系人表 yanshu。");
        return true;
    }
    const QStringList columns = file.table(total);
    const ContactLayout layout = layoutOf(columns, report.notes);
    contacts::Contact contact;
    contact.rev = book.stamp(); // one time for the whole conversion
    Row row;
    while (nextRow(file, row, report.contactsRead, QStringLiteral("条联系人"), report.notes)) {
        for (std::size_t i = 0; i < layout.text.size(); ++i) {
            contact.fields[i] =
                layout.text[i] < 0 ? QString() : row[layout.text[i]].value_or(QString());
        }
        // Columns the card has none for: kept under their names, as 其他信息.
        contact.extras.clear();
        for (const int e : layout.extra) {
            if (!row[e].value_or(QString()).isEmpty()) {
                contact.extras.push_back(contacts::labelledNote(columns[e], *row[e]));
            }
        }
        book.addAsFound(contact, layout.id < 0 ? QVariant(0) : idValue(row[layout.id]));
        ++report.contactsWritten;
        if (!ticker.keepGoing(report.contactsRead, total)) {
            return false;
        }
    }
    return !file.cancelled();
}

bool hasUser(db::Connection& target, const QString& name) {
    db::Statement find(target, QStringLiteral("SELECT 1 FROM mab WHERE YHM = ?"));
    find.bind(1, name);
    return find.step();
}

void copyUsers(AccessReader& file, db::Connection& target, ConversionReport& report) {
    if (file.hasTable(QStringLiteral("mab"))) {
        qint64 total = 0;
        const QStringList columns = file.table(total);
        const int name = int(columns.indexOf(QStringLiteral("YHM"), 0));
        const int password = int(columns.indexOf(QStringLiteral("YHMA"), 0));
        if (name < 0 || password < 0) {
            report.notes << QStringLiteral("旧表 mab 缺少用户名或密码一栏，其中的用户没有转换。");
        } else {
            Row row;
            while (nextRow(file, row, report.usersRead, QStringLiteral("位用户"), report.notes)) {
                const QString user = row[name].value_or(QString());
                if (hasUser(target, user)) {
                    report.notes << QStringLiteral("用户“%1”已经存在，保留原来的密码。").arg(user);
                    continue;
                }
                account::UserStore::add(target, user, row[password].value_or(QString()));
                ++report.usersWritten;
            }
        }
    } else {
        report.notes << QStringLiteral("旧文件中没有用户表 mab。");
    }
    db::Statement any(target, QStringLiteral("SELECT 1 FROM mab"));
    if (!any.step()) {
        account::UserStore::add(target, QStringLiteral("admin"), QStringLiteral("123456"));
        report.notes << QStringLiteral("没有可以登录的用户，已建立用户 admin，密码 123456。");
    }
}

QString keptName(const QFileInfo& file) {
    const QDir folder = file.dir();
    const QString stem = file.completeBaseName() + QStringLiteral("-旧版");
    const QString suffix = file.suffix().isEmpty() ? QString() : u'.' + file.suffix();
    QString name = stem + suffix;
    for (int n = 2; folder.exists(name); ++n) {
        name = stem + QStringLiteral("-%1").arg(n) + suffix;
    }
    return name;
}

[[noreturn]] void fileFailure(const QString& sentence, const QString& why) {
    throw db::DbError(sentence, why, 0, db::DbErrorKind::Io);
}

} // namespace

QString ConversionReport::text(const QString& fileName) const {
    if (cancelled) {
        return QStringLiteral("已取消转换“%1”，没有写入任何内容。\n").arg(fileName);
    }
    QString out =
        QStringLiteral("已转换“%1”：联系人读出 %2 位，写入 %3 位；用户读出 %4 位，写入 %5 位。\n")
            .arg(fileName)
            .arg(contactsRead)
            .arg(contactsWritten)
            .arg(usersRead)
            .arg(usersWritten);
    if (!keptAs.isEmpty()) {
        out += QStringLiteral("旧文件原样保存为“%1”。\n").arg(keptAs);
    }
    for (const QString& note : notes) {
        out += QStringLiteral("  ") + note + u'\n';
    }
    return out;
}

ConversionReport convert(const QString& accessFile, db::Connection& target,
                         const Progress& progress, const Now& now) {
    ConversionReport report;
    platform::Ticker ticker(progress);
    qint64 total = 0;
    AccessReader file(accessFile, {QStringLiteral("yanshu"), QStringLiteral("mab")},
                      [&] { return ticker.keepGoing(report.contactsRead, total); });
    ConversionReport cancelled;
    cancelled.cancelled = true;
    if (file.cancelled()) {
        return cancelled;
    }
    contacts::Book book(target, nullptr, now);
    contacts::Book::Batch batch(book);
    if (!copyContacts(file, book, report, ticker, total)) {
        return cancelled;
    }
    copyUsers(file, target, report);
    if (file.cancelled() || !batch.commit([&] { return ticker.keepGoing(1, 1); })) {
        return cancelled;
    }
    return report;
}

ConversionReport convertInPlace(const QString& file, const Progress& progress, const Now& now) {
    const QFileInfo info(file);
    const QDir folder = info.dir();
    const QString old = info.absoluteFilePath();
    const QString fresh = old + QStringLiteral(".converting");
    QFile::remove(fresh); // what a conversion cut short left
    ConversionReport report;
    try {
        db::Connection target;
        target.create(fresh);
        contacts::createSchema(target);
        report = convert(old, target, progress, now);
    } catch (...) {
        QFile::remove(fresh);
        throw;
    }
    if (report.cancelled) {
        QFile::remove(fresh);
        return report;
    }
    report.keptAs = keptName(info);
    const QString kept = folder.filePath(report.keptAs);
    // keptName is a name no file has yet, and old is gone when fresh takes
    // its name: neither move replaces a file.
    if (!db::replaceFile(old, kept)) {
        QFile::remove(fresh);
        fileFailure(QStringLiteral("无法把旧文件改名为“%1”，没有转换。").arg(report.keptAs), old);
    }
    if (!db::replaceFile(fresh, old)) {
        db::replaceFile(kept, old);
        QFile::remove(fresh);
        fileFailure(QStringLiteral("无法把转换好的文件改名为 %1，没有转换。").arg(info.fileName()),
                    fresh);
    }
    return report;
}

} // namespace legacy
