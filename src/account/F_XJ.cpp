#include "F_XJ.h"

#include "NewBook.h"
#include "UserTable.h"

#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Twips.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace account {

namespace {

const QString title = QStringLiteral("新建通讯录");

QLineEdit* textBox(ui::FormWidget* form, QStringView name, int top) {
    auto* box = ui::make<QLineEdit>(form, name);
    ui::place(box, 1590, top, 3000, 345);
    return box;
}

QLabel* caption(ui::FormWidget* form, QStringView name, const QString& text, int top) {
    QLabel* label = ui::label(form, name, text);
    ui::place(label, 240, top + 15, 1300, 270);
    return label;
}

} // namespace

F_XJ_Controls::F_XJ_Controls(ui::FormWidget* form) {
    form->setWindowTitle(title);
    form->setFont(ui::font(u"宋体", 9));
    form->setPicture(ui::backgroundPicture(form->devicePixelRatioF()));

    lblPrompt = ui::label(form, u"lblPrompt", {});
    lblPrompt->setWordWrap(true);
    lblPrompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui::place(lblPrompt, 240, 180, 4350, 1080);

    lblLabels[0] = caption(form, u"lblLabels_0", QStringLiteral("用户名称(&U):"), 1380);
    txtUserName = textBox(form, u"txtUserName", 1380);
    lblLabels[1] = caption(form, u"lblLabels_1", QStringLiteral("密码(&P):"), 1800);
    txtPassword = textBox(form, u"txtPassword", 1800);
    lblLabels[2] = caption(form, u"lblLabels_2", QStringLiteral("确认密码(&R):"), 2220);
    txtConfirm = textBox(form, u"txtConfirm", 2220);
    for (std::size_t i = 0; i < lblLabels.size(); ++i) {
        lblLabels[i]->setBuddy(std::array<QLineEdit*, 3>{txtUserName, txtPassword, txtConfirm}[i]);
    }
    ui::maskPassword(txtPassword);
    ui::maskPassword(txtConfirm);

    cmdOK = ui::button(form, u"cmdOK", QStringLiteral("确定(&Y)"), 1080, 2820, 1140, 390);
    cmdCancel = ui::button(form, u"cmdCancel", QStringLiteral("取消(&C)"), 2700, 2820, 1140, 390);
    form->setDialogButtons(cmdOK, cmdCancel);

    QWidget::setTabOrder(txtUserName, txtPassword);
    QWidget::setTabOrder(txtPassword, txtConfirm);
    QWidget::setTabOrder(txtConfirm, cmdOK);
    QWidget::setTabOrder(cmdOK, cmdCancel);
}

F_XJ::F_XJ(const platform::Services& services)
    : FormOf(QStringLiteral("F_XJ"))
    , services_(services) {}

void F_XJ::wireEvents(F_XJ_Controls& c) {
    QObject::connect(c.cmdOK, &QPushButton::clicked, [this] { cmdOK_Click(); });
    QObject::connect(c.cmdCancel, &QPushButton::clicked, [this] { cmdCancel_Click(); });
}

void F_XJ::Form_Load() {
    auto& c = ui();
    c.lblPrompt->setText(QStringLiteral("没有找到通讯录。雁书簿将新建一个通讯录，保存在\n%1\n"
                                        "请设定第一个用户的用户名称和密码，登录时要用到它们。")
                             .arg(QDir::toNativeSeparators(services_.databaseFile)));
    setClientSize(4830, 3450);
    window()->setFixedSize(window()->size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect placed = window()->frameGeometry();
        placed.moveCenter(screen->availableGeometry().center());
        window()->move(placed.topLeft());
    }
    c.txtUserName->setFocus();
}

bool F_XJ::typedRight() {
    auto& c = ui();
    if (!bothTyped(services_.messageBox, c.txtUserName, c.txtPassword)) {
        return false;
    }
    if (c.txtPassword->text() != c.txtConfirm->text()) {
        services_.messageBox.show(QStringLiteral("两次输入的密码不一致，请重新输入。"), title);
        c.txtPassword->clear();
        c.txtConfirm->clear();
        c.txtPassword->setFocus();
        return false;
    }
    return true;
}

void F_XJ::cmdOK_Click() {
    auto& c = ui();
    if (!typedRight()) {
        return;
    }
    const bool made = ui::guarded(services_.messageBox, [&] {
        createBook(services_.databaseFile, c.txtUserName->text(), c.txtPassword->text());
    });
    if (!made) {
        return; // said why; the user may try again or cancel
    }
    unload();
    if (created) {
        created();
    }
}

void F_XJ::cmdCancel_Click() {
    unload();
}

} // namespace account
