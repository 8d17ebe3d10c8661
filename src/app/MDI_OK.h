#pragma once

#include "ContactFiles.h"
#include "SessionBackup.h"

#include "birthdays/Reminder.h"
#include "platform/Services.h"
#include "platform/ui/Form.h"

#include <QMdiArea>
#include <QPixmap>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QTimer;
class QToolBar;

namespace db {
class Connection;
}
namespace reports {
class DataReport;
}
namespace ui {
class StatusBar;
}
namespace platform {
enum class DesktopProgram;
}

namespace app {

class Forms;

// The main window's client area: white, with the program's picture in its
// top-left corner, and it reports mouse presses on its background.
class MdiClientArea final : public QMdiArea {
public:
    explicit MdiClientArea(QWidget* parent);
    std::function<void(QMouseEvent*)> mouseDown;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QPixmap picture_;
};

struct MDI_OK_Controls {
    explicit MDI_OK_Controls(ui::FormWidget* form);

    // A menu item (or separator, or submenu) by its name.
    QAction* item(const char* name) const;
    // A toolbar button by its index, from 1.
    QAction* button(int index) const;

    QMenuBar* menuBar;
    QToolBar* Toolbar1;
    QLabel* Label1; // the clock, at the right end of the toolbar
    MdiClientArea* MDIClient;
    ui::StatusBar* StatusBar1;
    QTimer* Timer1;
    QMenu* FILE_F;
    QMenu* EDIT_E;
    QMenu* VIEW_V;
    QMenu* HELP_H;
    QMenu* FB_F;
    QMenu* menuedit; // pop-up only, never in the menu bar

private:
    ui::FormWidget* form_;
};

// The main window: a container for the login dialog and the contact card,
// whose menus route each command to the window that does the work.
class MDI_OK final : public ui::FormOf<MDI_OK_Controls> {
public:
    MDI_OK(const platform::Services& services, Forms& forms);

    MDI_OK_Controls& controls() { return ui(); }
    // The client area for the child windows; the main window comes on view.
    QMdiArea* childArea();
    void popUpMenuedit(QPoint globalPosition);

    void FILE_2_Click();
    void F_FBrl_Click();
    void FB_1_Click();
    void FB_2_Click();
    void F_FByh_Click();
    void F_FByh1_Click();
    void F_FBGJd_Click();
    void HELP_1_Click();
    void MnuGy_Click();
    void EDIT_1_Click();
    void EDIT_2_Click();
    void EDIT_3_Click();
    void EDIT_UNDO_Click();
    void EDIT_CF_Click();
    // 撤销删除 is on while the card has a deletion of this run to put back.
    void followUndo();
    void VIEW_1_Click();
    void VIEW_2_Click();
    void VIEW_3_Click();
    void VIEW_4_Click();
    void VIEW_SR_Click();
    void VIEW_QR_Click();
    void FILE_E_Click();
    void FILE_IMP_Click();
    void FILE_EXP_Click();
    void FILE_BAK_Click();
    void FILE_TBSZ_Click();
    void FILE_TB_Click();
    void FILE_TBJL_Click();
    void Mnuexit_Click();
    void PRINT_1_Click();
    void PRINT_2_Click();
    void PRINT_3_Click();
    void HELP_2_Click();
    void Mnuhelp_Click();
    void MYPLAY_Click();
    void MYJSQ_Click();
    void MYBOOK_Click();
    void MYIT_Click();
    void MnuCdRom_Click();
    void MnuOpenCdrom_Click();
    void MnucloseCdrom_Click();
    void Toolbar1_ButtonClick(int index); // the button's command; nothing for no button
    // The toolbar buttons that are no menu command.
    void newContactButton();
    void backButton();
    void forwardButton();
    void deleteButton();
    void modifyButton();
    void exitButton();
    // After the login: the menus, the toolbar and the disc test available.
    void switchOn();
    // Once the card shows: the birthdays of the days ahead, in a message.
    void remindBirthdays();
    bool remindingBirthdays() const { return reminder_.busy(); }
    void Timer1_Timer();
    void MDIForm_MouseDown(QMouseEvent* event);
    void MDIForm_Unload();

protected:
    void Form_Unload() override { MDIForm_Unload(); }
    void wireEvents(MDI_OK_Controls& controls) override;

private:
    void startProgram(platform::DesktopProgram program, const char* item);
    std::unique_ptr<db::Connection> openConnection();
    void printContacts(reports::DataReport& report, std::unique_ptr<db::Connection> connection,
                       const std::optional<QString>& name, bool rowsRequired);

    const platform::Services& services_;
    Forms& forms_;
    ContactFiles files_;
    SessionBackup session_;
    birthdays::LoginReminder reminder_;
};

} // namespace app
