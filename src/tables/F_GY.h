#pragma once

#include "platform/ui/Form.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tables {

struct F_GY_Controls {
    explicit F_GY_Controls(ui::FormWidget* form);

    QLabel* Picture1; // the program's icon
    QLabel* Label3;
    QPlainTextEdit* T_GY;
    QFrame* Line1;
    QPushButton* Command1; // 确定
};

// The about box: frameless, it explodes onto the screen and implodes when
// closed with 确定.
class F_GY final : public ui::FormOf<F_GY_Controls> {
public:
    F_GY();

    F_GY_Controls& controls() { return ui(); }

    void Command1_Click();

protected:
    void Form_Load() override;
    void wireEvents(F_GY_Controls& controls) override;
};

// The information block of the about box, nine lines ended with CR LF.
QString aboutText();

} // namespace tables
