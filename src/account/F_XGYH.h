#pragma once

#include "UserStore.h"
#include "platform/Services.h"
#include "platform/db/Connection.h"
#include "platform/ui/Form.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace account {

struct F_XGYH_Controls {
    explicit F_XGYH_Controls(ui::FormWidget* form);

    QLabel* Label1;
    QLineEdit* T_THM; // the current name, never editable
    QLabel* Label3;
    QLineEdit* T_YSM;
    QFrame* Line1;
    QLabel* Label2;
    QLabel* Label6;
    QLineEdit* T_XYHM;
    QLabel* Label4;
    QLineEdit* T_NE1;
    QLabel* Label5;
    QLineEdit* T_NE2;
    QPushButton* Command1; // 修改
    QPushButton* Command3; // 保存
    QPushButton* Command2; // 放弃
};

// Changes the name and password of the first user of mab: the current
// password first (修改), then the new name and the new password twice (保存).
// A window of its own on the desktop, closed only by its buttons.
class F_XGYH final : public ui::FormOf<F_XGYH_Controls> {
public:
    explicit F_XGYH(const platform::Services& services);

    F_XGYH_Controls& controls() { return ui(); }

    void XG(); // check the old name and password, then open the new ones
    // Store the new name and password; true when stored.
    bool XGXX();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void T_XYHM_Click();

protected:
    void Form_Load() override;
    void Form_Unload() override;
    void wireEvents(F_XGYH_Controls& controls) override;

private:
    void closeUserTable();

    const platform::Services& services_;
    db::Connection connection_;
    UserStore users_;
};

} // namespace account
