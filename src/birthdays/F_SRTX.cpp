#include "F_SRTX.h"

#include "Reminder.h"

#include "contacts/Schema.h"
#include "contacts/WithBook.h"
#include "platform/Clock.h"
#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/DbError.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeView>

namespace birthdays {

namespace {

constexpr int mostDaysAhead = 30; // of the login's reminder

enum Column { Date, When, Name, Birthday, Age, Columns };

} // namespace

void BirthdayList::setBirthdays(std::vector<Coming> coming, QDate today) {
    beginResetModel();
    coming_ = std::move(coming);
    today_ = today;
    endResetModel();
}

int BirthdayList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(coming_.size());
}

int BirthdayList::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : Columns;
}

QVariant BirthdayList::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) {
        return {};
    }
    const Coming& one = coming_[size_t(index.row())];
    switch (index.column()) {
    case Date:
        return QLocale(QLocale::Chinese, QLocale::China)
            .toString(one.date, QStringLiteral("M月d日 ddd"));
    case When:
        return whenText(one.date, today_);
    case Name:
        return one.name;
    case Birthday:
        return calendar::birthdayText(one.birthday);
    default:
        return one.age >= 0 ? QStringLiteral("%1岁").arg(one.age) : QString();
    }
}

QVariant BirthdayList::headerData(int section, Qt::Orientation orientation, int role) const {
    static const QStringList headers{QStringLiteral("日期"), QStringLiteral("还有"),
                                     QStringLiteral("姓名"), QStringLiteral("生日"),
                                     QStringLiteral("年龄")};
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return {};
    }
    return headers.value(section);
}

F_SRTX_Controls::F_SRTX_Controls(ui::FormWidget* form) {
    form->setWindowTitle(QStringLiteral("生日提醒"));
    form->setFont(ui::font(u"宋体", 9));
    optDays30 = ui::make<QRadioButton>(form, u"optDays30");
    optDays30->setText(QStringLiteral("30天内(&3)"));
    optDays30->setChecked(true);
    ui::place(optDays30, 240, 180, 1440, 300);
    optDays90 = ui::make<QRadioButton>(form, u"optDays90");
    optDays90->setText(QStringLiteral("90天内(&9)"));
    ui::place(optDays90, 1800, 180, 1440, 300);
    birthdays = new BirthdayList(form);
    lstBirthdays = ui::make<QTreeView>(form, u"lstBirthdays");
    lstBirthdays->setModel(birthdays);
    lstBirthdays->setRootIsDecorated(false);
    lstBirthdays->setAllColumnsShowFocus(true);
    lstBirthdays->setUniformRowHeights(true); // a long list scrolls without measuring each row
    for (const auto& [column, twips] :
         {std::pair{Date, 1440}, {When, 960}, {Name, 1440}, {Birthday, 2400}, {Age, 720}}) {
        lstBirthdays->setColumnWidth(column, ui::px(twips));
    }
    ui::place(lstBirthdays, 240, 600, 7200, 3600);
    lblCount = ui::label(form, u"lblCount", QString());
    ui::place(lblCount, 240, 4320, 7200, 255);
    chkLogin = ui::make<QCheckBox>(form, u"chkLogin");
    chkLogin->setText(QStringLiteral("登录时提醒(&L)"));
    ui::place(chkLogin, 240, 4740, 1680, 300);
    txtDays = ui::make<QSpinBox>(form, u"txtDays");
    txtDays->setRange(1, mostDaysAhead);
    ui::place(txtDays, 1980, 4740, 720, 300);
    lblDays = ui::label(form, u"lblDays", QStringLiteral("天内的生日"));
    ui::place(lblDays, 2820, 4770, 1440, 255);
    cmdClose = ui::button(form, u"cmdClose", QStringLiteral("关闭"), 6120, 4680, 1320, 420);
    cmdClose->setDefault(true);
}

F_SRTX::F_SRTX(const platform::Services& services)
    : FormOf(QStringLiteral("F_SRTX"))
    , services_(services)
    , aside_([this](const std::atomic_bool& cancelled) {
        try {
            db::Connection connection;
            contacts::openDatabase(connection, db::connectionString(services_.databaseFile));
            coming_ = comingBirthdays(connection, today_, days_, cancelled);
        } catch (const db::DbError&) {
            coming_.clear(); // Form_Load has opened the book and said why it could not
        }
    }) {
    QObject::connect(&aside_, &platform::Aside::finished, [this] { showList(); });
}

void F_SRTX::wireEvents(F_SRTX_Controls& c) {
    QObject::connect(c.optDays30, &QRadioButton::clicked, [this] { optDays30_Click(); });
    QObject::connect(c.optDays90, &QRadioButton::clicked, [this] { optDays90_Click(); });
    QObject::connect(c.chkLogin, &QCheckBox::clicked, [this] { chkLogin_Click(); });
    QObject::connect(c.txtDays, &QSpinBox::valueChanged, [this] { txtDays_Change(); });
    QObject::connect(c.cmdClose, &QPushButton::clicked, [this] { cmdClose_Click(); });
}

void F_SRTX::Form_Load() {
    client()->setWindowFlags(Qt::Window);
    setClientSize(7680, 5340);
    ReminderSettings settings;
    if (!contacts::withBook(services_, [&](db::Connection& connection) {
            settings = reminderSettings(connection);
        })) {
        unload();
        return;
    }
    auto& c = ui();
    const QSignalBlocker quiet(c.txtDays);
    c.chkLogin->setChecked(settings.days > 0);
    c.txtDays->setValue(settings.days > 0 ? settings.days : ReminderSettings().days);
    c.txtDays->setEnabled(settings.days > 0);
    reckon();
}

void F_SRTX::Form_Unload() {
    stale_ = true; // what it was reckoning is cut short
    aside_.cancel();
}

void F_SRTX::optDays30_Click() {
    reckon();
}

void F_SRTX::optDays90_Click() {
    reckon();
}

void F_SRTX::chkLogin_Click() {
    ui().txtDays->setEnabled(ui().chkLogin->isChecked());
    keepSettings();
}

void F_SRTX::txtDays_Change() {
    keepSettings();
}

void F_SRTX::cmdClose_Click() {
    unload();
}

int F_SRTX::chosenDays() {
    return ui().optDays90->isChecked() ? 90 : 30;
}

// A choice made while the list is reckoned is reckoned once that ends.
void F_SRTX::reckon() {
    reckoning_ = true;
    ui().lblCount->setText(QStringLiteral("正在查找……"));
    if (aside_.running()) {
        return;
    }
    days_ = chosenDays();
    today_ = services_.clock.now().date();
    stale_ = false;
    aside_.start();
}

void F_SRTX::showList() {
    if (!isLoaded()) {
        return;
    }
    if (stale_ || chosenDays() != days_) {
        reckon();
        return;
    }
    auto& c = ui();
    const qsizetype count = qsizetype(coming_.size());
    c.birthdays->setBirthdays(std::move(coming_), today_);
    coming_.clear();
    c.lblCount->setText(count == 0 ? QStringLiteral("%1天内没有人过生日。").arg(days_)
                                   : QStringLiteral("%1天内有%2人过生日。").arg(days_).arg(count));
    reckoning_ = false;
}

void F_SRTX::keepSettings() {
    auto& c = ui();
    contacts::withBook(services_, [&](db::Connection& connection) {
        ReminderSettings settings = reminderSettings(connection);
        settings.days = c.chkLogin->isChecked() ? c.txtDays->value() : 0;
        setReminderSettings(connection, settings);
    });
}

} // namespace birthdays
