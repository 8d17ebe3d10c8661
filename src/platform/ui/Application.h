#pragma once

#include <QString>

namespace ui {

// The product name: the title of message boxes that have none of their own.
QString applicationTitle();

} // namespace ui
