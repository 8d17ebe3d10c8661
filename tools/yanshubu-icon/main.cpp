// Draws the program's icon at the sizes the desktop's icon theme asks for:
//
//   yanshubu-icon ICON.svg SIZE OUTPUT.png

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen"); // no screen is needed to draw
    QGuiApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const int size = args.size() == 4 ? args[2].toInt() : 0;
    if (size <= 0) {
        std::fprintf(stderr, "usage: yanshubu-icon ICON.svg SIZE OUTPUT.png\n");
        return 2;
    }
    QSvgRenderer icon(args[1]);
    if (!icon.isValid()) {
        std::fprintf(stderr, "yanshubu-icon: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    icon.render(&painter);
    painter.end();
    if (!image.save(args[3])) {
        std::fprintf(stderr, "yanshubu-icon: cannot write %s\n", qPrintable(args[3]));
        return 1;
    }
    return 0;
}
