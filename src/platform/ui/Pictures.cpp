#include "Pictures.h"

#include <QPainter>
#include <QSvgRenderer>

namespace ui {

QPixmap picture(const QString& resource, QSize size, qreal devicePixelRatio) {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(resource);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QPixmap backgroundPicture(qreal devicePixelRatio) {
    return picture(QStringLiteral(":/art/background.svg"), {1024, 768}, devicePixelRatio);
}

QPixmap splashPicture(qreal devicePixelRatio) {
    return picture(QStringLiteral(":/art/splash.svg"), {400, 200}, devicePixelRatio);
}

} // namespace ui
