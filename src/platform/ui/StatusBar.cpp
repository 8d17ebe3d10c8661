#include "StatusBar.h"

#include "Twips.h"

#include "platform/Clock.h"

#include <QLabel>
#include <QTimer>

namespace ui {

StatusBar::StatusBar(QWidget* parent, QStringView name, int heightTwips, const QList<Panel>& panels)
    : QStatusBar(parent)
    , design_(panels)
    , timer_(new QTimer(this)) {
    setObjectName(name.toString());
    setFixedHeight(px(heightTwips));
    setSizeGripEnabled(false); // the main window is maximized
    for (const Panel& p : panels) {
        auto* label = new QLabel(p.text, this);
        label->setFixedWidth(px(p.widthTwips));
        label->setToolTip(p.toolTip);
        label->setIndent(px(60));
        addWidget(label);
        labels_ << label;
    }
    connect(timer_, &QTimer::timeout, this, &StatusBar::refresh);
}

void StatusBar::follow(const platform::Clock& clock, platform::Keyboard& keyboard) {
    clock_ = &clock;
    keyboard_ = &keyboard;
    refresh();
    timer_->start(250);
}

QLabel* StatusBar::panel(int index) const {
    return labels_.value(index - 1);
}

void StatusBar::refresh() {
    if (!clock_ || !keyboard_) {
        return; // the design's texts until the bar follows anything
    }
    const platform::LockKeys keys = keyboard_->lockKeys();
    for (qsizetype i = 0; i < design_.size(); ++i) {
        QLabel* label = labels_[i];
        switch (design_[i].style) {
        case Style::Text:
            break;
        case Style::Insert:
            label->setEnabled(keys.insert);
            break;
        case Style::CapsLock:
            label->setEnabled(keys.capsLock);
            break;
        case Style::NumLock:
            label->setEnabled(keys.numLock);
            break;
        case Style::Date: {
            const QString today = platform::dateText(clock_->now().date());
            if (label->text() != today) {
                label->setText(today);
            }
            break;
        }
        }
    }
}

} // namespace ui
