#pragma once

#include "platform/Services.h"
#include "platform/ui/Form.h"

#include <functional>

class QLabel;
class QTimer;

namespace app {

struct F_LOGO_Controls {
    explicit F_LOGO_Controls(ui::FormWidget* form);

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QTimer* Timer1;
    QTimer* Timer2;
};

// The splash: refuses to run beside a running copy, plays its marquee for
// two and a half seconds, then hands over and closes.
class F_LOGO final : public ui::FormOf<F_LOGO_Controls> {
public:
    F_LOGO(const platform::Services& services, std::function<void()> handOver);

    void Timer1_Timer();
    void Timer2_Timer();

protected:
    void Form_Load() override;
    void wireEvents(F_LOGO_Controls& controls) override;

private:
    const platform::Services& services_;
    std::function<void()> handOver_;
};

} // namespace app
