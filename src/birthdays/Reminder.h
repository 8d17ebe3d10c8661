#pragma once

#include "Coming.h"

#include "platform/Aside.h"
#include "platform/Services.h"

#include <QDate>

namespace db {
class Connection;
}

namespace birthdays {

// What the book keeps of the reminder at login (table yanshu_reminder,
// made when first written): how many days ahead it looks, 0 for none, and
// the day it last said something.
struct ReminderSettings {
    int days = 7;
    QDate shown;
};
ReminderSettings reminderSettings(db::Connection& connection);
void setReminderSettings(db::Connection& connection, const ReminderSettings& settings);

// The reminder at login: the birthdays of today and the days ahead,
// reckoned beside the windows once the card shows, then said in one
// message, once a day, when no other dialog is open.
class LoginReminder : public QObject {
    Q_OBJECT
public:
    explicit LoginReminder(const platform::Services& services);

    void start();
    // Nothing more is said; the work stops soon.
    void cancel();
    // From start() until it has said what it had to.
    bool busy() const { return busy_; }

private:
    void reckon(const std::atomic_bool& cancelled);
    void say();

    const platform::Services& services_;
    platform::Aside aside_;
    bool cancelled_ = false;
    bool busy_ = false;
    QDate today_;
    std::vector<Coming> coming_;
};

} // namespace birthdays
