#pragma once

#include "platform/Services.h"
#include "platform/ui/Form.h"

#include <QMdiArea>
#include <QPixmap>

#include <QVariantList>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;

namespace db {
class Connection;
}
namespace reports {
class DataReport;
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

    QMenuBar* menuBar;
    QToolBar* Toolbar1;
    MdiClientArea* MDIClient;
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
    void VIEW_1_Click();
    void VIEW_2_Click();
    void FILE_E_Click();
    void Mnuexit_Click();
    void PRINT_1_Click();
    void PRINT_2_Click();
    void PRINT_3_Click();
    void MDIForm_MouseDown(QMouseEvent* event);
    void MDIForm_Unload();

protected:
    void Form_Unload() override { MDIForm_Unload(); }
    void wireEvents(MDI_OK_Controls& controls) override;

private:
    std::unique_ptr<db::Connection> openConnection();
    void printContacts(reports::DataReport& report, std::unique_ptr<db::Connection> connection,
                       const QString& sql, const QVariantList& parameters, bool rowsRequired);

    const platform::Services& services_;
    Forms& forms_;
};

} // namespace app
