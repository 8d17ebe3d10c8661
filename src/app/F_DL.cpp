#include "F_DL.h"

#include "Forms.h"

#include "account/UserTable.h"
#include "contacts/Schema.h"
#include "legacy/Conversion.h"

#include "platform/Clock.h"
#include "platform/db/ConnectionString.h"
#include "platform/ui/Click.h"
#include "platform/ui/Controls.h"
#include "platform/ui/Fonts.h"
#include "platform/ui/Guard.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/Pictures.h"
#include "platform/ui/Progress.h"
#include "platform/ui/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>

#include <optional>

namespace app {

namespace {

const QString systemTitle = QStringLiteral("系统提示");

// The greeting for each day of the week, Sunday first.
const QString greetings[7] = {
    QStringLiteral("今天是星期天，请好好放松一下吧！为明天的工作做准备"),
    QStringLiteral("今天是星期一，又是新的一周，开始工作。"),
    QStringLiteral("今天是星期二，加油工作！"),
    QStringLiteral("今天是星期三，努力工作！"),
    QStringLiteral("今天是星期四，坚持一下，继续工作！"),
    QStringLiteral("今天是星期五，坚持到底，一定要做好！"),
    QStringLiteral("今天是星期六，又到大礼拜天，去放松心情吧！"),
};

QLineEdit* textBox(ui::FormWidget* form, QStringView name, int left, int top) {
    auto* box = ui::make<QLineEdit>(form, name);
    ui::place(box, left, top, 2325, 345);
    return box;
}

} // namespace

F_DL_Controls::F_DL_Controls(ui::FormWidget* form) {
    form->setWindowTitle(QStringLiteral("登录"));
    form->setFont(ui::font(u"宋体", 9));
    form->setPicture(ui::backgroundPicture(form->devicePixelRatioF()));

    lblLabels[0] = ui::label(form, u"lblLabels_0", QStringLiteral("用户名称(&U):"));
    ui::place(lblLabels[0], 105, 150, 1080, 270);
    txtUserName = textBox(form, u"txtUserName", 1290, 135);
    lblLabels[1] = ui::label(form, u"lblLabels_1", QStringLiteral("密码(&P):"));
    ui::place(lblLabels[1], 105, 540, 1080, 270);
    txtPassword = textBox(form, u"txtPassword", 1290, 525);
    ui::maskPassword(txtPassword);
    txtPassword->setText(QStringLiteral("**********"));
    lblLabels[0]->setBuddy(txtUserName);
    lblLabels[1]->setBuddy(txtPassword);

    cmdOK = ui::button(form, u"cmdOK", QStringLiteral("确定(&Y)"), 480, 1020, 1140, 390);
    cmdCancel = ui::button(form, u"cmdCancel", QStringLiteral("取消(&C)"), 2100, 1020, 1140, 390);
    form->setDialogButtons(cmdOK, cmdCancel);

    QWidget::setTabOrder(txtUserName, txtPassword);
    QWidget::setTabOrder(txtPassword, cmdOK);
    QWidget::setTabOrder(cmdOK, cmdCancel);
}

F_DL::F_DL(const platform::Services& services, Forms& forms)
    : FormOf(QStringLiteral("F_DL"))
    , services_(services)
    , forms_(forms) {}

void F_DL::wireEvents(F_DL_Controls& c) {
    QObject::connect(c.cmdOK, &QPushButton::clicked, [this] { cmdOK_Click(); });
    QObject::connect(c.cmdCancel, &QPushButton::clicked, [this] { cmdCancel_Click(); });
    ui::onClick(c.txtUserName, [this] { txtUserName_Click(); });
    ui::onClick(c.txtPassword, [this] { txtPassword_Click(); });
}

void F_DL::Form_Load() {
    auto& c = ui();
    // A dialog: fixed size, no buttons on its frame but the caption.
    if (window() != client()) {
        window()->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    }
    setClientSize(3750, 1545);
    window()->setFixedSize(window()->size());
    setLeft(2400);
    setTop(1800);

    if (!openBook()) {
        // Without its user table the program cannot be used: it ends.
        forms_.MDI_OK.unload();
        return;
    }
    if (users_.hasCurrent()) {
        c.txtUserName->setText(users_.currentName());
    }
    c.txtUserName->setFocus();
}

bool F_DL::openBook() {
    // Only an upgrade of the file reports progress.
    std::optional<ui::ProgressScope> upgrading;
    const platform::Progress progress = [&](qint64 done, qint64 total) {
        if (!upgrading) {
            upgrading.emplace(services_.progress, QStringLiteral("正在升级通讯录……"));
        }
        return (*upgrading)(done, total);
    };
    const auto open = [&] {
        contacts::openDatabase(connection_, db::connectionString(services_.databaseFile), progress);
        upgrading.reset();
        users_.openAll(connection_);
    };
    std::optional<QString> oldFile; // what opening said of an old program's file
    const bool opened = ui::guarded(services_.messageBox, [&] {
        try {
            open();
        } catch (const db::DbError& e) {
            upgrading.reset(); // before anything else is said
            if (e.kind() != db::DbErrorKind::OldAccessFile) {
                throw;
            }
            oldFile = e.userMessage();
        }
    });
    if (!oldFile) {
        return opened;
    }
    return convertOldBook(*oldFile) && ui::guarded(services_.messageBox, open);
}

// The old file is kept as it is beside the new one; on failure or cancel it
// stays MY.mdb and the program ends, as it would have without asking.
bool F_DL::convertOldBook(const QString& said) {
    auto& box = services_.messageBox;
    if (box.show(said + QStringLiteral("\n\n是否把旧版通讯录转换为新格式？"),
                 QStringLiteral("提示"), ui::Buttons::YesNo) != ui::Answer::Yes) {
        return false;
    }
    legacy::ConversionReport report;
    const bool converted = ui::guarded(box, [&] {
        ui::ProgressScope progress(services_.progress, QStringLiteral("正在转换旧版通讯录……"));
        report = legacy::convertInPlace(services_.databaseFile, std::ref(progress),
                                        [this] { return services_.clock.now().toUTC(); });
    });
    if (!converted) {
        return false;
    }
    box.show(report.text(QStringLiteral("MY.mdb")), QStringLiteral("提示"));
    return !report.cancelled;
}

void F_DL::Form_Unload() {
    // Nobody learns who logged in: the rows go with the dialog.
    users_.close();
    connection_.close();
}

// Whether the user table holds the name with exactly this password (the
// table compares names without regard to case); nothing when it cannot be read.
std::optional<bool> F_DL::matches(const QString& userName, const QString& password) {
    bool found = false;
    const bool read = ui::guarded(services_.messageBox, [&] {
        users_.find(userName);
        found = users_.holdsPassword(password);
    });
    return read ? std::optional(found) : std::nullopt;
}

void F_DL::cmdOK_Click() {
    auto& c = ui();
    if (!account::bothTyped(services_.messageBox, c.txtUserName, c.txtPassword)) {
        return;
    }
    const std::optional<bool> match = matches(c.txtUserName->text(), c.txtPassword->text());
    if (!match) {
        return; // the failure has been shown; the dialog stays as it was
    }
    if (*match) {
        logIn();
        return;
    }
    services_.messageBox.show(QStringLiteral("您输入的信息不正确！"), systemTitle);
    c.txtUserName->setText(QStringLiteral("请重新输入用户名！"));
    c.txtPassword->setText(QStringLiteral("请重新输入密码！"));
}

void F_DL::logIn() {
    unload(); // from here on the dialog's controls are gone
    forms_.MDI_OK.show();
    forms_.MDI_OK.switchOn();
    forms_.F_EDIT.show();
    forms_.MDI_OK.followUndo(); // deletions of an earlier run can be undone
    forms_.MDI_OK.remindBirthdays();
    const int weekday = services_.clock.now().date().dayOfWeek() % 7; // Sunday is 0
    services_.messageBox.show(greetings[weekday], QStringLiteral("雁书簿"));
}

void F_DL::cmdCancel_Click() {
    forms_.MDI_OK.unload();
}

void F_DL::txtUserName_Click() {
    ui().txtUserName->clear();
}

void F_DL::txtPassword_Click() {
    ui().txtPassword->clear();
}

} // namespace app
