#pragma once

#include <QFont>
#include <QStringView>

namespace ui {

// The designs name the Windows fonts 宋体 and 黑体; elsewhere they are
// answered by installed CJK fonts of the same style (serif Ming, sans Hei).
void installFontSubstitutes();

// A design font: family as the design names it, size in points.
QFont font(QStringView family, double points, bool bold = false);

} // namespace ui
