#include "FileDialog.h"

#include <QDir>
#include <QFileDialog>

namespace ui {

std::optional<QString> QtFileDialog::saveFileName(const QString& title, const QString& suggested,
                                                  const QString& filter) {
    const QString path =
        QFileDialog::getSaveFileName(nullptr, title, QDir::home().filePath(suggested), filter);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

} // namespace ui
