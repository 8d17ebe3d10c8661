#include "MessageBox.h"

#include "Application.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace ui {

Answer MessageBoxService::show(const QString& text, const QString& title, Buttons buttons,
                               Icon icon) {
    return present({text, title.isEmpty() ? applicationTitle() : title, buttons, icon});
}

Answer QtMessageBox::present(const Message& message) {
    QMessageBox box(message.icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon,
                    message.title, message.text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    if (message.buttons == Buttons::Ok) {
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box.exec();
        return Answer::Ok;
    }
    QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? Answer::Yes : Answer::No;
}

} // namespace ui
