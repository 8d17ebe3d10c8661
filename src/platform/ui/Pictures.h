#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace ui {

// Renders a vector picture of the resources at a size in pixels, sharp at
// the screen's scaling.
QPixmap picture(const QString& resource, QSize size, qreal devicePixelRatio = 1.0);

// The picture behind the program's forms (1024 x 768) and the picture of
// the splash and the about box (400 x 200).
QPixmap backgroundPicture(qreal devicePixelRatio = 1.0);
QPixmap splashPicture(qreal devicePixelRatio = 1.0);

} // namespace ui
