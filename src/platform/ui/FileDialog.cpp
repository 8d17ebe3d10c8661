#include "FileDialog.h"

#include <QDir>
#include <QFileDialog>

namespace ui {

std::optional<FileChoice> QtFileDialog::saveFileName(const QString& title, const QString& suggested,
                                                     const QStringList& filters) {
    QString selected = filters.value(0);
    const QString path =
        QFileDialog::getSaveFileName(nullptr, title, QDir::home().filePath(suggested),
                                     filters.join(QStringLiteral(";;")), &selected);
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return FileChoice(path, std::max(0, int(filters.indexOf(selected))));
}

std::optional<QString> QtFileDialog::openFileName(const QString& title, const QString& folder,
                                                  const QStringList& filters) {
    const QString path =
        QFileDialog::getOpenFileName(nullptr, title, folder, filters.join(QStringLiteral(";;")));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

} // namespace ui
