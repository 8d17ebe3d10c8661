#pragma once

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QMdiArea;
class QMouseEvent;
class QPushButton;

namespace ui {

class Form;

// The client area of a form: paints the form's picture from its top-left
// corner at the picture's own size and hands window events to the form.
class FormWidget final : public QWidget {
    Q_OBJECT
public:
    explicit FormWidget(Form& form);
    const Form& form() const { return form_; }
    void setPicture(const QPixmap& picture);
    // Enter clicks the default button unless a button has the focus (that
    // one clicks itself); Esc clicks the cancel button.
    void setDialogButtons(QPushButton* defaultButton, QPushButton* cancelButton);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Form& form_;
    QPixmap picture_;
    QPointer<QPushButton> defaultButton_;
    QPointer<QPushButton> cancelButton_;
};

// One window of the program. The object lives for the whole run; its widget
// exists only while the form is loaded. Loading builds the controls from the
// design and runs Form_Load; unloading runs Form_Unload and destroys the
// widget, while the object's own members (connections, flags) live on.
class Form {
public:
    explicit Form(QString name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const QString& name() const { return name_; }
    bool isLoaded() const { return state_ != State::Unloaded; }

    void load();
    // Loads if needed, then shows and raises; an open window only comes forward.
    void show();
    void unload();

    // The window as placed on screen or in the main window's client area,
    // and the client area that holds the controls; both null only when the
    // form unloaded itself while loading.
    QWidget* window();
    FormWidget* client();

    // Outer position and size in twips; each loads the form first.
    int left();
    int top();
    int width();
    int height();
    void setLeft(int twips);
    void setTop(int twips);
    void setClientSize(int widthTwips, int heightTwips);
    // The outer size, frame and caption included.
    void setOuterSize(int widthTwips, int heightTwips);

    QString caption();
    void setCaption(const QString& caption);

    // Child forms open inside the main window's client area instead of on
    // the desktop. The area is asked for at each load, so that loading a
    // child brings the main window up around it.
    void setMdiArea(std::function<QMdiArea*()> area);

protected:
    // The window opens maximized each time it is loaded and shown.
    void openMaximized() { maximized_ = true; }

    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    virtual void Form_MouseDown(QMouseEvent* event);

private:
    friend class FormWidget;
    template <class> friend class FormOf;

    virtual void buildControls(FormWidget* client) = 0;
    virtual void dropControls() = 0;

    QRect frame();
    QMargins frameMargins() const;
    void keepDesignSize();
    void forget();

    enum class State { Unloaded, Loading, Loaded, Unloading };

    QString name_;
    State state_ = State::Unloaded;
    QPointer<FormWidget> client_;
    QPointer<QWidget> window_;
    std::function<QMdiArea*()> mdiArea_;
    bool maximized_ = false;
    QMetaObject::Connection destroyed_;
};

// A form whose controls are the members of Controls, built on load from the
// design. Touching a control of an unloaded form loads the form first.
template <class Controls> class FormOf : public Form {
protected:
    using Form::Form;

    Controls& ui() {
        load();
        if (controls_) {
            return *controls_;
        }
        // The window closed itself while loading (a failure it has shown):
        // the caller's remaining steps go to controls on a widget never
        // shown, rather than an exception through the event loop. They live
        // as long as the form, so no reference to them ever dangles.
        qWarning("%s: used after it closed itself while loading", qUtf8Printable(name()));
        if (!strayControls_) {
            stray_ = std::make_unique<FormWidget>(*this);
            strayControls_ = std::make_unique<Controls>(stray_.get());
        }
        return *strayControls_;
    }

    // Connects the controls' events to the form's handlers.
    virtual void wireEvents(Controls&) {}

private:
    void buildControls(FormWidget* client) override {
        controls_ = std::make_unique<Controls>(client);
        wireEvents(*controls_);
    }
    void dropControls() override { controls_.reset(); }

    std::unique_ptr<Controls> controls_;
    std::unique_ptr<FormWidget> stray_;
    std::unique_ptr<Controls> strayControls_;
};

} // namespace ui
