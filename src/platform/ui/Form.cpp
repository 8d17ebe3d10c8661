#include "Form.h"

#include "Twips.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QTimer>

namespace ui {

FormWidget::FormWidget(Form& form)
    : form_(form) {}

void FormWidget::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
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
    form_.Form_MouseDown(event);
}

Form::Form(QString name)
    : name_(std::move(name)) {}

Form::~Form() {
    // The registry outlives no window: whatever is left is torn down quietly.
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
    try {
        buildControls(client);
        if (mdiArea_) {
            QMdiSubWindow* sub = mdiArea_->addSubWindow(client);
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
    }
}

void Form::show() {
    load();
    if (!isLoaded()) {
        return; // Form_Load unloaded the form again
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void Form::unload() {
    if (state_ == State::Unloaded) {
        return;
    }
    state_ = State::Unloaded;
    Form_Unload();
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
    window_ = nullptr;
    client_ = nullptr;
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

int Form::left() {
    return twips(window()->frameGeometry().x());
}
int Form::top() {
    return twips(window()->frameGeometry().y());
}
int Form::width() {
    return twips(window()->frameGeometry().width());
}
int Form::height() {
    return twips(window()->frameGeometry().height());
}

void Form::setLeft(int value) {
    QWidget* w = window();
    w->move(px(value), w->frameGeometry().y());
}

void Form::setTop(int value) {
    QWidget* w = window();
    w->move(w->frameGeometry().x(), px(value));
}

void Form::setClientSize(int widthTwips, int heightTwips) {
    QWidget* w = window();
    const QSize frame = w->size() - client_->size();
    client_->resize(px(widthTwips), px(heightTwips));
    if (w != client_) {
        w->resize(client_->size() + frame);
    }
}

QString Form::caption() {
    return client()->windowTitle();
}

void Form::setCaption(const QString& caption) {
    client()->setWindowTitle(caption);
}

void Form::setMdiArea(QMdiArea* area) {
    mdiArea_ = area;
}

void Form::Form_MouseDown(QMouseEvent*) {}

} // namespace ui
