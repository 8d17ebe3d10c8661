#include "Help.h"

#include "Form.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>

namespace ui {

namespace {

const QString folder = QStringLiteral("qrc:/help/");

// Pages say what only the running program knows, such as the file in use,
// where they write {{name}}.
class PageBrowser final : public QTextBrowser {
public:
    PageBrowser(QWidget* parent, const QHash<QString, QString>& facts)
        : QTextBrowser(parent)
        , facts_(facts) {}

protected:
    QVariant loadResource(int type, const QUrl& name) override {
        QVariant resource = QTextBrowser::loadResource(type, name);
        if (type != QTextDocument::HtmlResource || facts_.isEmpty()) {
            return resource;
        }
        QString html = resource.typeId() == QMetaType::QString
                           ? resource.toString()
                           : QString::fromUtf8(resource.toByteArray());
        for (auto fact = facts_.cbegin(); fact != facts_.cend(); ++fact) {
            html.replace(QStringLiteral("{{%1}}").arg(fact.key()), fact.value().toHtmlEscaped());
        }
        return html;
    }

private:
    QHash<QString, QString> facts_;
};

QTextBrowser* browser(QWidget* parent, const QString& name,
                      const QHash<QString, QString>& facts = {}) {
    auto* b = new PageBrowser(parent, facts);
    b->setObjectName(name);
    b->setOpenExternalLinks(false);
    return b;
}

// The form of a main window's active child window, if it has one.
const FormWidget* activeChild(const FormWidget* form) {
    const auto* area = form->findChild<QMdiArea*>();
    const QMdiSubWindow* child = area ? area->activeSubWindow() : nullptr;
    return child ? child->findChild<const FormWidget*>() : nullptr;
}

// The window whose page F1 pressed on a widget opens: the nearest form, or
// on a main window its active child (whose boxes may all be disabled).
QString topicOf(QObject* receiver) {
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget) {
        widget = QApplication::focusWidget(); // a key arrives at its window first
    }
    if (!widget) {
        widget = QApplication::activeWindow();
    }
    for (; widget; widget = widget->parentWidget()) {
        if (const auto* form = qobject_cast<const FormWidget*>(widget)) {
            const FormWidget* child = activeChild(form);
            return (child ? child : form)->form().name();
        }
    }
    return {};
}

// Contents on the left, the page on the right, and a bar to go back,
// forward and home.
QWidget* helpWindow(const QUrl& first, const QHash<QString, QString>& facts) {
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("Help"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("雁书簿 使用帮助"));
    window->resize(960, 680);

    auto* splitter = new QSplitter(window);
    QTextBrowser* contents = browser(splitter, QStringLiteral("helpContents"));
    contents->setOpenLinks(false);
    contents->setSource(QUrl(folder + QStringLiteral("contents.html")));
    QTextBrowser* page = browser(splitter, QStringLiteral("helpPage"), facts);
    page->setSource(first);
    QObject::connect(contents, &QTextBrowser::anchorClicked, page,
                     [page](const QUrl& link) { page->setSource(link); });
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 720});

    auto* bar = new QToolBar(window);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QAction* back = bar->addAction(QStringLiteral("后退"), page, &QTextBrowser::backward);
    QAction* forward = bar->addAction(QStringLiteral("前进"), page, &QTextBrowser::forward);
    bar->addAction(QStringLiteral("目录"), page,
                   [page] { page->setSource(QUrl(folder + QStringLiteral("index.html"))); });
    back->setEnabled(false);
    forward->setEnabled(false);
    QObject::connect(page, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    QObject::connect(page, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(splitter, 1);
    return window;
}

} // namespace

Help::Help() {
    qApp->installEventFilter(this);
}

Help::~Help() {
    qApp->removeEventFilter(this);
    close();
}

QString Help::pageOf(const QString& topic) {
    const QString page = topic + QStringLiteral(".html");
    return QFile::exists(QStringLiteral(":/help/") + page) && !topic.isEmpty()
               ? folder + page
               : folder + QStringLiteral("index.html");
}

void Help::showTopic(const QString& topic) {
    if (!window_) {
        window_ = helpWindow(QUrl(pageOf(topic)), facts_);
    }
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void Help::setFact(const QString& name, const QString& value) {
    facts_.insert(name, value);
}

void Help::close() {
    delete window_.data();
}

QWidget* Help::window() const {
    return window_.data();
}

QTextBrowser* Help::page() const {
    return window_ ? window_->findChild<QTextBrowser*>(QStringLiteral("helpPage")) : nullptr;
}

bool Help::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    // A modal box keeps the keyboard to itself.
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier ||
        QApplication::activeModalWidget()) {
        return false;
    }
    showTopic(topicOf(watched));
    return true;
}

} // namespace ui
