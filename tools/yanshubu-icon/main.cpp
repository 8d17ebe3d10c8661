// Draws the program's icon at the sizes the desktop's icon theme asks for,
// or as a Windows icon holding several sizes:
//
//   yanshubu-icon ICON.svg SIZE OUTPUT.png
//   yanshubu-icon ICON.svg SIZE,SIZE,... OUTPUT.ico

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>
#include <QtEndian>

#include <cstdio>

namespace {

QImage draw(QSvgRenderer& icon, int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    icon.render(&painter);
    return image;
}

void append16(QByteArray& out, int value) {
    const quint16 le = qToLittleEndian(quint16(value));
    out.append(reinterpret_cast<const char*>(&le), 2);
}

void append32(QByteArray& out, qint64 value) {
    const quint32 le = qToLittleEndian(quint32(value));
    out.append(reinterpret_cast<const char*>(&le), 4);
}

// An ICO file whose images are PNGs, as Windows reads them since Vista.
QByteArray icoFile(QSvgRenderer& icon, const QList<int>& sizes) {
    QList<QByteArray> pngs;
    for (const int size : sizes) {
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        draw(icon, size).save(&png, "PNG");
        pngs << png.data();
    }
    QByteArray out;
    append16(out, 0);
    append16(out, 1); // an icon, not a cursor
    append16(out, int(sizes.size()));
    qint64 offset = 6 + 16 * sizes.size();
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const char side = char(sizes[i] >= 256 ? 0 : sizes[i]); // 0 stands for 256
        out.append(side).append(side).append('\0').append('\0');
        append16(out, 1);  // colour planes
        append16(out, 32); // bits per pixel
        append32(out, pngs[i].size());
        append32(out, offset);
        offset += pngs[i].size();
    }
    for (const QByteArray& png : pngs) {
        out += png;
    }
    return out;
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen"); // no screen is needed to draw
    QGuiApplication application(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    QList<int> sizes;
    for (const QString& size : args.value(2).split(u',')) {
        sizes << size.toInt();
    }
    if (args.size() != 4 || sizes.contains(0) || (sizes.size() > 1 && !args[3].endsWith(u".ico"))) {
        std::fprintf(stderr, "usage: yanshubu-icon ICON.svg SIZE OUTPUT.png\n"
                             "       yanshubu-icon ICON.svg SIZE,SIZE,... OUTPUT.ico\n");
        return 2;
    }
    QSvgRenderer icon(args[1]);
    if (!icon.isValid()) {
        std::fprintf(stderr, "yanshubu-icon: cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    const bool written = args[3].endsWith(u".ico") ? write(args[3], icoFile(icon, sizes))
                                                   : draw(icon, sizes.first()).save(args[3]);
    if (!written) {
        std::fprintf(stderr, "yanshubu-icon: cannot write %s\n", qPrintable(args[3]));
        return 1;
    }
    return 0;
}
