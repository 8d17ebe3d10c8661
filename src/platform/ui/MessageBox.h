#pragma once

#include <QString>

#include <memory>

class QMessageBox;
class QWidget;

namespace ui {

enum class Buttons { Ok, YesNo };
enum class Icon { None, Critical };
enum class Answer { Ok, Yes, No };

struct Message {
    QString text;
    QString title;
    Buttons buttons;
    Icon icon;
};

// Modal message boxes. A box without a title of its own carries the
// application title.
class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;

    Answer show(const QString& text, const QString& title = {}, Buttons buttons = Buttons::Ok,
                Icon icon = Icon::None);

protected:
    virtual Answer present(const Message& message) = 0;
};

// The box QtMessageBox shows for a message, ready to run.
std::unique_ptr<QMessageBox> buildMessageBox(const Message& message, QWidget* parent = nullptr);

class QtMessageBox final : public MessageBoxService {
protected:
    Answer present(const Message& message) override;
};

} // namespace ui
