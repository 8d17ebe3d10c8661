#pragma once

#include <QSaveFile>
#include <QString>

#include <stdexcept>

namespace tools {

// A committed file the tools make: written whole or not at all.
inline void writeGenerated(const QString& path, const QString& content) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content.toUtf8()) < 0 || !file.commit()) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

} // namespace tools
