#include "Conversion.h"

#include "AccessFile.h"

#include "account/UserStore.h"
#include "contacts/ContactColumns.h"
#include "contacts/Schema.h"
#include "contacts/SearchKeys.h"
#include "interchange/Mapping.h"
#include "platform/db/Connection.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"
#include "platform/db/Transaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

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

// Returns false when cancelled.
bool copyContacts(AccessFile& file, db::Connection& target, ConversionReport& report,
                  platform::Ticker& ticker, const QString& stamp) {
    if (!file.hasTable(QStringLiteral("yanshu"))) {
        report.notes << QStringLiteral("旧文件中没有联系人表 yanshu。");
        return true;
    }
    const std::unique_ptr<AccessTable> table = file.table(QStringLiteral("yanshu"));
    const ContactLayout layout = layoutOf(table->columns(), report.notes);
    QStringList names{contacts::idColumn.column.toString()};
    for (const contacts::ContactColumn& c : contacts::textColumns) {
        names << c.column.toString();
    }
    db::Statement insert(
        target, QStringLiteral("INSERT INTO yanshu (%1, UID, REV) VALUES (%2)")
                    .arg(names.join(u", "), QStringList(24, QStringLiteral("?")).join(u", ")));
    const qint64 total = table->rowCount();
    Row row;
    while (true) {
        try {
            if (!table->next(row)) {
                break;
            }
        } catch (const db::DbError& e) {
            report.notes << QStringLiteral("第 %1 条联系人读不出来：%2")
                                .arg(report.contactsRead + 1)
                                .arg(e.detail());
            ++report.contactsRead;
            continue;
        }
        ++report.contactsRead;
        insert.reset();
        insert.bind(1, layout.id < 0 ? QVariant(0) : idValue(row[layout.id]));
        for (std::size_t i = 0; i < layout.text.size(); ++i) {
            QString value =
                layout.text[i] < 0 ? QString() : row[layout.text[i]].value_or(QString());
            if (i + 1 == layout.text.size()) {
                QStringList extras;
                for (const int e : layout.extra) {
                    if (!row[e].value_or(QString()).isEmpty()) {
                        extras << table->columns()[e] + u'：' + *row[e];
                    }
                }
                if (!extras.isEmpty()) {
                    value += (value.isEmpty() ? QString() : QStringLiteral("\r\n")) +
                             interchange::extrasHeading.toString() + QStringLiteral("\r\n") +
                             extras.join(QStringLiteral("\r\n"));
                }
            }
            insert.bind(int(i) + 2, value);
        }
        insert.bind(23, QUuid::createUuid().toString(QUuid::WithoutBraces));
        insert.bind(24, stamp);
        insert.run();
        ++report.contactsWritten;
        if (!ticker.keepGoing(report.contactsRead, total)) {
            return false;
        }
    }
    return true;
}

bool hasUser(db::Connection& target, const QString& name) {
    db::Statement find(target, QStringLiteral("SELECT 1 FROM mab WHERE YHM = ?"));
    find.bind(1, name);
    return find.step();
}

void copyUsers(AccessFile& file, db::Connection& target, ConversionReport& report) {
    if (file.hasTable(QStringLiteral("mab"))) {
        const std::unique_ptr<AccessTable> table = file.table(QStringLiteral("mab"));
        const int name = int(table->columns().indexOf(QStringLiteral("YHM"), 0));
        const int password = int(table->columns().indexOf(QStringLiteral("YHMA"), 0));
        if (name < 0 || password < 0) {
            report.notes << QStringLiteral("旧表 mab 缺少用户名或密码一栏，其中的用户没有转换。");
        } else {
            Row row;
            while (table->next(row)) {
                ++report.usersRead;
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
    AccessFile file(accessFile);
    ConversionReport report;
    platform::Ticker ticker(progress);
    db::Transaction transaction(target);
    if (!copyContacts(file, target, report, ticker, now().toUTC().toString(Qt::ISODateWithMs))) {
        ConversionReport cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }
    copyUsers(file, target, report);
    if (report.contactsWritten >= contacts::manyWrites &&
        !contacts::tidySearchIndex(target, [&] { return ticker.keepGoing(1, 1); })) {
        ConversionReport cancelled;
        cancelled.cancelled = true;
        return cancelled;
    }
    transaction.commit();
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
    if (!QFile::rename(old, kept)) {
        QFile::remove(fresh);
        fileFailure(QStringLiteral("无法把旧文件改名为“%1”，没有转换。").arg(report.keptAs), old);
    }
    if (!QFile::rename(fresh, old)) {
        QFile::rename(kept, old);
        QFile::remove(fresh);
        fileFailure(QStringLiteral("无法把转换好的文件改名为 %1，没有转换。").arg(info.fileName()),
                    fresh);
    }
    return report;
}

} // namespace legacy
