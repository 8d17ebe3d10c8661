#pragma once

#include <QStringView>

namespace ui {

// Posts key presses to the window that has the keyboard, as if typed, and
// returns without waiting for them. Each key is written in braces by its
// name, such as "{F1}".
void sendKeys(QStringView keys);

} // namespace ui
