#include "MessageBox.h"

#include "Application.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

namespace ui {

namespace {

// Room beside the title for the window manager's icon and buttons.
constexpr int titleBarRoom = 120;

// The title as wide as a title bar may draw it: in bold, or in Qt's own
// title-bar font if that is wider.
int titleWidth(const QString& title) {
    QFont bold = QApplication::font();
    bold.setBold(true);
    return std::max(
        QFontMetrics(bold).horizontalAdvance(title),
        QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(title));
}

} // namespace

Answer MessageBoxService::show(const QString& text, const QString& title, Buttons buttons,
                               Icon icon) {
    return present({text, title.isEmpty() ? applicationTitle() : title, buttons, icon});
}

std::unique_ptr<QMessageBox> buildMessageBox(const Message& message, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(
        message.icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, message.title,
        message.text, QMessageBox::NoButton, parent);
    if (message.buttons == Buttons::Ok) {
        box->addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    } else {
        QPushButton* yes = box->addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        QPushButton* no = box->addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        box->setDefaultButton(yes);
        box->setEscapeButton(no);
    }
    // The box fixes its own size from its layout when shown, and leaves the
    // title too little room beside the window manager's buttons; a spacer
    // across the layout is what that size honours. Added last, as setting
    // an icon or text may rebuild the layout.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(titleWidth(message.title) + titleBarRoom, 0,
                                      QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

Answer QtMessageBox::present(const Message& message) {
    const std::unique_ptr<QMessageBox> box = buildMessageBox(message, QApplication::activeWindow());
    box->exec();
    if (message.buttons == Buttons::Ok) {
        return Answer::Ok;
    }
    return box->buttonRole(box->clickedButton()) == QMessageBox::YesRole ? Answer::Yes : Answer::No;
}

} // namespace ui
