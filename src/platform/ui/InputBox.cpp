#include "InputBox.h"

#include "Application.h"

#include <QApplication>
#include <QInputDialog>

namespace ui {

std::optional<QString> QtInputBox::ask(const QString& prompt, const QString& title,
                                       const QString& initial) {
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    dialog.setOkButtonText(QStringLiteral("确定"));
    dialog.setCancelButtonText(QStringLiteral("取消"));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.textValue();
}

} // namespace ui
