#pragma once

#include <QString>

namespace ui {

// The product name: the title of message boxes that have none of their own.
QString applicationTitle();

// Once the application object exists: its name and icon, the stand-ins for
// the design fonts, and Chinese for the text of Qt's own dialogs and buttons.
void setUpApplication();

} // namespace ui
