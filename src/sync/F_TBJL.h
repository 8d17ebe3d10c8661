#pragma once

#include "platform/Services.h"
#include "platform/ui/Form.h"

class QPushButton;
class QTreeWidget;

namespace carddav {

struct F_TBJL_Controls {
    explicit F_TBJL_Controls(ui::FormWidget* form);

    QTreeWidget* lstLog; // 时间, 结果: the newest first
    QPushButton* cmdClose;
};

// 同步记录: the last syncs of the book, when each ended and what it said.
class F_TBJL final : public ui::FormOf<F_TBJL_Controls> {
public:
    explicit F_TBJL(const platform::Services& services);

    F_TBJL_Controls& controls() { return ui(); }

    void cmdClose_Click();

protected:
    void Form_Load() override;
    void wireEvents(F_TBJL_Controls& controls) override;

private:
    const platform::Services& services_;
};

} // namespace carddav
