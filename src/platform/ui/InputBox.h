#pragma once

#include <QString>

#include <optional>

namespace ui {

// A modal prompt for one line of text; empty optional when cancelled.
class InputBoxService {
public:
    virtual ~InputBoxService() = default;
    virtual std::optional<QString> ask(const QString& prompt, const QString& title,
                                       const QString& initial = {}) = 0;
};

class QtInputBox final : public InputBoxService {
public:
    std::optional<QString> ask(const QString& prompt, const QString& title,
                               const QString& initial) override;
};

} // namespace ui
