#include "F_XGYH.h"

#include "UserTable.h"

#include "contacts/Schema.h"

#include "platform/db/ConnectionString.h"
#include "platform/ui/Click.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Twips.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace account {

namespace {

const QString systemTitle = QStringLiteral("系统提示");
const QString noticeTitle = QStringLiteral("提示");

QLabel* caption(ui::FormWidget* form, QStringView name, const QString& text, int left, int top,
                int width) {
    QLabel* label = ui::label(form, name, text);
    ui::place(label, left, top, width, 255);
    return label;
}

QLineEdit* textBox(ui::FormWidget* form, QStringView name, int left, int top, int width) {
    auto* box = ui::make<QLineEdit>(form, name);
    ui::place(box, left, top, width, 270);
    box->setEnabled(false);
    return box;
}

QPushButton* iconButton(ui::FormWidget* form, QStringView name, const QString& text,
                        const QString& icon, int left, int top) {
    QPushButton* button = ui::button(form, name, text, left, top, 735, 495);
    button->setIcon(QIcon(icon));
    return button;
}

} // namespace

F_XGYH_Controls::F_XGYH_Controls(ui::FormWidget* form) {
    form->setWindowTitle(QStringLiteral("修改用户信息"));
    form->setFont(ui::font(u"宋体", 9));
    form->setPicture(ui::backgroundPicture(form->devicePixelRatioF()));

    Label1 = caption(form, u"Label1", QStringLiteral("用户名:"), 1080, 360, 840);
    Label1->setFont(ui::font(u"宋体", 12));
    T_THM = textBox(form, u"T_THM", 2040, 360, 1815);
    Label3 = caption(form, u"Label3", QStringLiteral("请输入原始密码："), 480, 720, 1440);
    T_YSM = textBox(form, u"T_YSM", 2040, 720, 2175);

    Line1 = ui::line(form, u"Line1", 240, 1200, 5160);

    Label2 = caption(form, u"Label2", QStringLiteral("用户密码修改:"), 240, 1560, 1560);
    Label2->setFont(ui::font(u"宋体", 12));
    Label6 = caption(form, u"Label6", QStringLiteral("请输入新用户名："), 480, 2040, 1560);
    T_XYHM = textBox(form, u"T_XYHM", 2040, 2040, 2175);
    Label4 = caption(form, u"Label4", QStringLiteral("请输入新密码："), 600, 2400, 1260);
    T_NE1 = textBox(form, u"T_NE1", 2040, 2400, 2175);
    Label5 = caption(form, u"Label5", QStringLiteral("请再次输入新密码："), 240, 2760, 1620);
    T_NE2 = textBox(form, u"T_NE2", 2040, 2760, 2175);
    for (QLineEdit* password : {T_YSM, T_NE1, T_NE2}) {
        ui::maskPassword(password);
    }

    Command1 = iconButton(form, u"Command1", QStringLiteral("修改"),
                          QStringLiteral(":/art/modify.svg"), 4320, 480);
    Command3 = iconButton(form, u"Command3", QStringLiteral("保存"),
                          QStringLiteral(":/art/save.svg"), 1320, 3120);
    Command3->setEnabled(false);
    Command2 = iconButton(form, u"Command2", QStringLiteral("放弃"),
                          QStringLiteral(":/art/giveup.svg"), 3600, 3120);

    QWidget* order[] = {T_THM, T_YSM, T_NE1, T_NE2, Command1, Command2, Command3, T_XYHM};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

F_XGYH::F_XGYH(const platform::Services& services)
    : FormOf(QStringLiteral("F_XGYH"))
    , services_(services) {}

void F_XGYH::wireEvents(F_XGYH_Controls& c) {
    QObject::connect(c.Command1, &QPushButton::clicked, [this] { Command1_Click(); });
    QObject::connect(c.Command2, &QPushButton::clicked, [this] { Command2_Click(); });
    QObject::connect(c.Command3, &QPushButton::clicked, [this] { Command3_Click(); });
    ui::onClick(c.T_XYHM, [this] { T_XYHM_Click(); });
}

void F_XGYH::Form_Load() {
    auto& c = ui();
    client()->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setClientSize(5415, 3795);
    setTop(2000);
    setLeft(2000);

    const bool opened = ui::guarded(services_.messageBox, [this] {
        contacts::openDatabase(connection_, db::accountConnectionString(services_.databaseFile));
        users_.openAll(connection_);
    });
    if (!opened) {
        unload(); // nothing to change without the user table
        return;
    }
    if (users_.hasCurrent()) {
        c.T_THM->setText(users_.currentName());
    }
    c.T_YSM->setEnabled(true);
    c.T_YSM->setFocus();
}

void F_XGYH::Form_Unload() {
    closeUserTable();
}

void F_XGYH::closeUserTable() {
    users_.close();
    connection_.close();
}

void F_XGYH::XG() {
    auto& c = ui();
    if (!bothTyped(services_.messageBox, c.T_THM, c.T_YSM)) {
        return;
    }
    bool verified = false;
    const bool read = ui::guarded(services_.messageBox, [&] {
        users_.find(c.T_THM->text());
        verified = users_.holdsPassword(c.T_YSM->text());
    });
    if (!read) {
        return; // the failure has been shown; try again
    }
    if (!verified) {
        services_.messageBox.show(QStringLiteral("用户名密码输入不正确！"), noticeTitle);
        return;
    }
    c.T_XYHM->setText(c.T_THM->text());
    c.T_THM->setEnabled(false);
    c.T_YSM->setEnabled(false);
    for (QLineEdit* box : {c.T_XYHM, c.T_NE1, c.T_NE2}) {
        box->setEnabled(true);
    }
    c.Command1->setEnabled(false);
    c.Command3->setEnabled(true);
    c.T_NE1->setFocus();
}

bool F_XGYH::XGXX() {
    auto& c = ui();
    // The login refuses an empty name, so storing one would lock the user out.
    if (c.T_XYHM->text().isEmpty()) {
        services_.messageBox.show(QStringLiteral("用户名不能为空"), systemTitle);
        c.T_XYHM->setFocus();
        return false;
    }
    const QString password = c.T_NE2->text();
    if (c.T_NE1->text() != password || password.isEmpty()) {
        services_.messageBox.show(QStringLiteral("请从新输入新密码，并确保新密码的两次输入一致"),
                                  QStringLiteral("修改密码出错"));
        return false;
    }
    const bool stored =
        ui::guarded(services_.messageBox, [&] { users_.change(c.T_XYHM->text(), password); });
    if (!stored) {
        return false;
    }
    for (QLineEdit* box : {c.T_NE1, c.T_NE2, c.T_XYHM}) {
        box->clear();
    }
    for (QLineEdit* box : {c.T_THM, c.T_YSM, c.T_XYHM, c.T_NE1, c.T_NE2}) {
        box->setEnabled(false);
    }
    c.Command1->setEnabled(true);
    c.Command3->setEnabled(false);
    return true;
}

void F_XGYH::Command1_Click() {
    XG();
}

void F_XGYH::Command3_Click() {
    if (!XGXX()) {
        return;
    }
    closeUserTable();
    unload();
    services_.messageBox.show(QStringLiteral("修改成功"), noticeTitle);
}

void F_XGYH::Command2_Click() {
    unload(); // closes the user table; nothing is written
}

void F_XGYH::T_XYHM_Click() {
    ui().T_XYHM->clear();
}

} // namespace account
