#pragma once

#include "account/UserStore.h"
#include "platform/Services.h"
#include "platform/db/Connection.h"
#include "platform/ui/Form.h"

#include <array>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class Forms;

struct F_DL_Controls {
    explicit F_DL_Controls(ui::FormWidget* form);

    std::array<QLabel*, 2> lblLabels;
    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

// The login dialog, inside the main window: checks a user name and password
// against the user table, then switches the main window on.
class F_DL final : public ui::FormOf<F_DL_Controls> {
public:
    F_DL(const platform::Services& services, Forms& forms);

    F_DL_Controls& controls() { return ui(); }

    void cmdOK_Click();
    void cmdCancel_Click();
    void txtUserName_Click();
    void txtPassword_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void wireEvents(F_DL_Controls& controls) override;

private:
    bool openBook();
    bool convertOldBook(const QString& said);
    std::optional<bool> matches(const QString& userName, const QString& password);
    void logIn();

    const platform::Services& services_;
    Forms& forms_;
    db::Connection connection_;
    account::UserStore users_;
};

} // namespace app
