#pragma once

#include <QString>

#include <optional>

namespace ui {

// Asks where to save a file; nothing when the user cancels.
class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    virtual std::optional<QString> saveFileName(const QString& title, const QString& suggested,
                                                const QString& filter) = 0;
};

class QtFileDialog final : public FileDialogService {
public:
    std::optional<QString> saveFileName(const QString& title, const QString& suggested,
                                        const QString& filter) override;
};

} // namespace ui
