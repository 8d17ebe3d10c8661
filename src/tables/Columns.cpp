#include "Columns.h"

#include <QList>

#include <algorithm>

namespace tables {

namespace {

bool isWide(uint c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

int displayWidth(QStringView text) {
    int width = 0;
    for (const uint c : text.toUcs4()) {
        width += isWide(c) ? 2 : 1;
    }
    return width;
}

QString padToWidth(const QString& text, int width) {
    return text + QString(std::max(0, width - displayWidth(text)), u' ');
}

} // namespace tables
