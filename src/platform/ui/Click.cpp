#include "Click.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace ui {

namespace {

class ClickFilter final : public QObject {
public:
    ClickFilter(QWidget* control, std::function<void()> handler)
        : QObject(control)
        , control_(control)
        , handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (!control_->isEnabled()) {
            return false; // a disabled box takes no clicks
        }
        if (event->type() == QEvent::MouseButtonPress) {
            pressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonRelease && pressed_) {
            pressed_ = false;
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                control_->rect().contains(mouse->position().toPoint())) {
                handler_();
            }
        }
        return false;
    }

private:
    QWidget* control_;
    std::function<void()> handler_;
    bool pressed_ = false;
};

} // namespace

void onClick(QWidget* control, std::function<void()> handler) {
    control->installEventFilter(new ClickFilter(control, std::move(handler)));
}

} // namespace ui
