#pragma once

#include "platform/Keyboard.h"

#include <QDate>
#include <QList>
#include <QStatusBar>

class QLabel;
class QTimer;

namespace platform {
class Clock;
}

namespace ui {

// A status bar of fixed panels, some of which keep themselves up to date:
// the state of a lock key (its text dark while the key is on, grey while
// off) or today's date.
class StatusBar final : public QStatusBar {
public:
    enum class Style { Text, Insert, CapsLock, NumLock, Date };
    struct Panel {
        Style style;
        QString text;
        int widthTwips;
        QString toolTip = {};
    };

    StatusBar(QWidget* parent, QStringView name, int heightTwips, const QList<Panel>& panels);

    // From now on the panels follow the keys and the date, four times a second.
    void follow(const platform::Clock& clock, platform::Keyboard& keyboard);
    // A panel by its place, from 1.
    QLabel* panel(int index) const;
    // Reads the keys and the date again.
    void refresh();

private:
    const platform::Clock* clock_ = nullptr;
    platform::Keyboard* keyboard_ = nullptr;
    QList<Panel> design_;
    QList<QLabel*> labels_;
    QTimer* timer_;
};

} // namespace ui
