#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace ui {

// A file the user chose, and which of the offered types ("名称 (*.ext)").
struct FileChoice {
    FileChoice(QString chosenPath, int chosenFilter = 0)
        : path(std::move(chosenPath))
        , filter(chosenFilter) {}
    QString path;
    int filter;
};

// Asks for a file to save to or to open; nothing when the user cancels.
// The save dialog offers `suggested`, in its folder when it has one, else in
// the home folder; the open dialog starts in `folder`.
class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    virtual std::optional<FileChoice> saveFileName(const QString& title, const QString& suggested,
                                                   const QStringList& filters) = 0;
    virtual std::optional<QString> openFileName(const QString& title, const QString& folder,
                                                const QStringList& filters) = 0;
};

class QtFileDialog final : public FileDialogService {
public:
    std::optional<FileChoice> saveFileName(const QString& title, const QString& suggested,
                                           const QStringList& filters) override;
    std::optional<QString> openFileName(const QString& title, const QString& folder,
                                        const QStringList& filters) override;
};

} // namespace ui
