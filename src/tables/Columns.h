#pragma once

#include <QString>
#include <QStringView>

namespace tables {

// Columns on a fixed-pitch line, as the reference texts are laid out: a
// Chinese (wide) character takes two, any other character one.
int displayWidth(QStringView text);

// The text followed by blanks up to the width; a text as wide or wider is
// returned as it is.
QString padToWidth(const QString& text, int width);

} // namespace tables
