#pragma once

#include <functional>

class QWidget;

namespace ui {

// Calls the handler when the mouse clicks the control (pressed and released
// on it with the left button); moving in with the keyboard is no click. The
// control handles the mouse as usual as well.
void onClick(QWidget* control, std::function<void()> handler);

} // namespace ui
