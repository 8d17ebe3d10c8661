#include "Reminder.h"

#include "contacts/Schema.h"
#include "contacts/WithBook.h"
#include "platform/Clock.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/db/Statement.h"
#include "platform/ui/MessageBox.h"

#include <QApplication>
#include <QTimer>

namespace birthdays {

namespace {

bool hasSettings(db::Connection& connection) {
    db::Statement table(connection, QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = "
                                                   "'table' AND name = 'yanshu_reminder'"));
    return table.step();
}

} // namespace

ReminderSettings reminderSettings(db::Connection& connection) {
    ReminderSettings settings;
    if (!hasSettings(connection)) {
        return settings;
    }
    db::Statement row(connection,
                      QStringLiteral("SELECT days, shown FROM yanshu_reminder WHERE one = 1"));
    if (row.step()) {
        settings.days = int(row.integer(0));
        settings.shown = QDate::fromString(row.text(1), Qt::ISODate);
    }
    return settings;
}

void setReminderSettings(db::Connection& connection, const ReminderSettings& settings) {
    connection.execute(
        QStringLiteral("CREATE TABLE IF NOT EXISTS yanshu_reminder (one INTEGER PRIMARY KEY "
                       "CHECK (one = 1), days INTEGER NOT NULL, shown TEXT NOT NULL)"));
    db::Statement write(connection, QStringLiteral("INSERT OR REPLACE INTO yanshu_reminder "
                                                   "(one, days, shown) VALUES (1, ?, ?)"));
    write.bindAll({settings.days, settings.shown.toString(Qt::ISODate)});
    write.run();
}

LoginReminder::LoginReminder(const platform::Services& services)
    : services_(services)
    , aside_([this](const std::atomic_bool& cancelled) { reckon(cancelled); }) {
    connect(&aside_, &platform::Aside::finished, this, &LoginReminder::say);
}

void LoginReminder::start() {
    if (aside_.running()) {
        return;
    }
    cancelled_ = false;
    busy_ = true;
    today_ = services_.clock.now().date();
    coming_.clear();
    aside_.start();
}

void LoginReminder::cancel() {
    cancelled_ = true;
    busy_ = false;
    aside_.cancel();
}

// On the work's thread, with a connection of its own. A book it cannot
// read says nothing here: the windows say it.
void LoginReminder::reckon(const std::atomic_bool& cancelled) {
    try {
        db::Connection connection;
        contacts::openDatabase(connection, db::connectionString(services_.databaseFile));
        const ReminderSettings settings = reminderSettings(connection);
        if (settings.days > 0 && settings.shown != today_) {
            coming_ = comingBirthdays(connection, today_, settings.days, cancelled);
        }
    } catch (const db::DbError&) {
        coming_.clear();
    }
}

void LoginReminder::say() {
    if (cancelled_ || coming_.empty()) {
        busy_ = false;
        return;
    }
    // Not over a dialog the user is in (the greeting, a card being edited).
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(250, this, &LoginReminder::say);
        return;
    }
    services_.messageBox.show(reminderText(coming_, today_), QStringLiteral("生日提醒"));
    contacts::withBook(services_, [&](db::Connection& connection) {
        ReminderSettings settings = reminderSettings(connection);
        settings.shown = today_;
        setReminderSettings(connection, settings);
    });
    coming_.clear();
    busy_ = false;
}

} // namespace birthdays
