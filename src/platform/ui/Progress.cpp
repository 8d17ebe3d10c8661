#include "Progress.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>

namespace ui {

namespace {

constexpr int steps = 1000;
constexpr qint64 quietMilliseconds = 1000;

} // namespace

QtProgress::QtProgress() = default;
QtProgress::~QtProgress() = default;

void QtProgress::start(const QString& text) {
    text_ = text;
    dialog_.reset();
    started_.start();
}

bool QtProgress::advance(qint64 done, qint64 total) {
    if (started_.elapsed() < quietMilliseconds) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return true;
    }
    if (!dialog_) {
        dialog_ = std::make_unique<QProgressDialog>(text_, QString(), 0, steps);
        // Not the default button: Enter typed ahead for what comes next must
        // not give up the work. A click, Esc or Alt+C does.
        auto* cancel = new QPushButton(QStringLiteral("取消"));
        cancel->setAutoDefault(false);
        dialog_->setCancelButton(cancel);
        QObject::connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_C), dialog_.get()),
                         &QShortcut::activated, dialog_.get(), &QProgressDialog::cancel);
        dialog_->setWindowTitle(QStringLiteral("雁书簿"));
        dialog_->setWindowModality(Qt::ApplicationModal);
        dialog_->setMinimumDuration(0);
        dialog_->setAutoReset(false);
        dialog_->setAutoClose(false);
        dialog_->show();
    }
    dialog_->setValue(total > 0 ? int(done * steps / total) : 0);
    QCoreApplication::processEvents(); // 取消 among them, whether the bar moved or not
    return !dialog_->wasCanceled();
}

void QtProgress::finish() {
    dialog_.reset();
}

} // namespace ui
