#include "Form.h"

#include "Controls.h"
#include "Twips.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

namespace ui {

FormWidget::FormWidget(Form& form)
    : form_(form) {}

void FormWidget::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void FormWidget::setDialogButtons(QPushButton* defaultButton, QPushButton* cancelButton) {
    defaultButton_ = defaultButton;
    cancelButton_ = cancelButton;
    defaultButton->setDefault(true);
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(true);
    }
}

// Keys the focused control did not take come here.
void FormWidget::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (enter && plain && defaultButton_) {
        defaultButton_->click();
    } else if (event->key() == Qt::Key_Escape && cancelButton_) {
        cancelButton_->click();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void FormWidget::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!picture_.isNull()) {
        QPainter(this).drawPixmap(0, 0, picture_);
    }
}

void FormWidget::closeEvent(QCloseEvent* event) {
    event->accept();
    form_.unload();
}

void FormWidget::mousePressEvent(QMouseEvent* event) {
    // A press on a control that passed it on is not a press on the window.
    if (!childAt(event->position().toPoint())) {
        form_.Form_MouseDown(event);
    }
}

Form::Form(QString name)
    : name_(std::move(name)) {}

Form::~Form() {
    // Whatever window is left at the end of the run is torn down quietly.
    QObject::disconnect(destroyed_);
    delete window_.data();
}

void Form::load() {
    if (state_ != State::Unloaded) {
        return;
    }
    state_ = State::Loading;
    auto* client = new FormWidget(*this);
    client->setObjectName(name_);
    client_ = client;
    window_ = client;
    // A window destroyed along with its container (not unloaded) leaves the form unloaded.
    destroyed_ = QObject::connect(client, &QObject::destroyed, [this] { forget(); });
    try {
        buildControls(client);
        fitContent(client);
        if (QMdiArea* area = mdiArea_ ? mdiArea_() : nullptr) {
            QMdiSubWindow* sub = area->addSubWindow(client);
            sub->setObjectName(name_ + QStringLiteral("_frame"));
            window_ = sub;
        }
        Form_Load();
    } catch (...) {
        state_ = State::Loading;
        unload();
        throw;
    }
    if (state_ == State::Loading) {
        state_ = State::Loaded;
        if (window_ != client_) {
            keepDesignSize();
            show(); // a child window is on view whenever it is loaded
        }
    }
}

void Form::show() {
    load();
    if (!isLoaded()) {
        return; // Form_Load unloaded the form again
    }
    if (!window_->isVisible() && maximized_) {
        window_->showMaximized();
    } else {
        window_->show();
    }
    window_->raise();
    window_->activateWindow();
}

void Form::unload() {
    if (state_ == State::Unloaded || state_ == State::Unloading) {
        return;
    }
    state_ = State::Unloading; // controls stay usable by Form_Unload, no reload
    if (client_) {
        // Child windows close, each through its own unload, before their container.
        for (QMdiArea* area : client_->findChildren<QMdiArea*>()) {
            area->closeAllSubWindows();
        }
    }
    Form_Unload();
    QObject::disconnect(destroyed_);
    if (client_) {
        // Timers must not tick into a window that is on its way out.
        for (QTimer* timer : client_->findChildren<QTimer*>()) {
            timer->stop();
        }
    }
    if (window_) {
        // Closing (not just hiding) lets the application end with its last window.
        window_->close();
        window_->deleteLater();
    }
    forget();
}

// A child window never squeezes its design (the main window's area
// scrolls instead), and restoring it from maximized gives its design size.
void Form::keepDesignSize() {
    client_->setMinimumSize(client_->size());
    window_->ensurePolished();
    window_->resize(client_->size().grownBy(window_->contentsMargins()));
}

void Form::forget() {
    window_ = nullptr;
    client_ = nullptr;
    state_ = State::Unloaded;
    dropControls();
}

QWidget* Form::window() {
    load();
    return window_;
}

FormWidget* Form::client() {
    load();
    return client_;
}

// Outer place and size in twips; nothing when the form unloaded itself while loading.
QRect Form::frame() {
    const QWidget* w = window();
    if (!w) {
        return {};
    }
    const QRect f = w->frameGeometry();
    return {twips(f.x()), twips(f.y()), twips(f.width()), twips(f.height())};
}

int Form::left() {
    return frame().x();
}
int Form::top() {
    return frame().y();
}
int Form::width() {
    return frame().width();
}
int Form::height() {
    return frame().height();
}

void Form::setLeft(int value) {
    if (QWidget* w = window()) {
        w->move(px(value), w->frameGeometry().y());
    }
}

void Form::setTop(int value) {
    if (QWidget* w = window()) {
        w->move(w->frameGeometry().x(), px(value));
    }
}

// What the frame adds around the client area, in pixels.
QMargins Form::frameMargins() const {
    if (window_ != client_) {
        return window_->contentsMargins(); // a child window's frame and caption bar
    }
    if (window_->windowFlags().testFlag(Qt::FramelessWindowHint)) {
        return {};
    }
    const QRect outer = window_->frameGeometry();
    const QRect inner = window_->geometry();
    if (outer != inner) {
        return {inner.left() - outer.left(), inner.top() - outer.top(),
                outer.right() - inner.right(), outer.bottom() - inner.bottom()};
    }
    // Not framed by the window manager yet: the frame the designs were
    // drawn with, 4 px borders under a caption, so the client area comes
    // out at its design size.
    return {4, 16, 4, 4};
}

void Form::setClientSize(int widthTwips, int heightTwips) {
    QWidget* w = window();
    if (!w) {
        return;
    }
    client_->resize(px(widthTwips), px(heightTwips));
    if (w != client_) {
        w->resize(client_->size().grownBy(frameMargins()));
    }
}

void Form::setOuterSize(int widthTwips, int heightTwips) {
    QWidget* w = window();
    if (!w) {
        return;
    }
    const QSize outer(px(widthTwips), px(heightTwips));
    client_->resize(outer.shrunkBy(frameMargins()));
    if (w != client_) {
        w->resize(outer);
    }
}

QString Form::caption() {
    const FormWidget* c = client();
    return c ? c->windowTitle() : QString();
}

void Form::setCaption(const QString& caption) {
    if (FormWidget* c = client()) {
        c->setWindowTitle(caption);
    }
}

void Form::setMdiArea(std::function<QMdiArea*()> area) {
    mdiArea_ = std::move(area);
}

void Form::Form_MouseDown(QMouseEvent*) {}

} // namespace ui
