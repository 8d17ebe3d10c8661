#pragma once

#include "platform/Services.h"
#include "platform/ui/Form.h"

#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace account {

struct F_XJ_Controls {
    explicit F_XJ_Controls(ui::FormWidget* form);

    QLabel* lblPrompt; // what is made, and where
    std::array<QLabel*, 3> lblLabels;
    QLineEdit* txtUserName;
    QLineEdit* txtPassword;
    QLineEdit* txtConfirm;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

// The first start: no book is found anywhere, so a new one is made at the
// program's book file, with the first user's name and password (typed
// twice). A window of its own before the login; cancel makes nothing.
class F_XJ final : public ui::FormOf<F_XJ_Controls> {
public:
    explicit F_XJ(const platform::Services& services);

    F_XJ_Controls& controls() { return ui(); }

    // Runs once the book is made and this window is closed.
    std::function<void()> created;

    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void Form_Load() override;
    void wireEvents(F_XJ_Controls& controls) override;

private:
    bool typedRight();

    const platform::Services& services_;
};

} // namespace account
