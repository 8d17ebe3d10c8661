#pragma once

#include <QElapsedTimer>
#include <QString>

#include <memory>

class QProgressDialog;

namespace ui {

// Shows how far long work has come and lets the user cancel it.
class ProgressService {
public:
    virtual ~ProgressService() = default;
    virtual void start(const QString& text) = 0;
    // Moves on to `done` of `total`, keeping the windows painted; false
    // once the user has asked to cancel.
    virtual bool advance(qint64 done, qint64 total) = 0;
    virtual void finish() = 0;
};

// The work runs in the window's own thread and lets the events through as
// it goes. For its first second only painting and timers run; then a
// window with 取消 comes up, modal, so no other command starts meanwhile.
class QtProgress final : public ProgressService {
public:
    QtProgress();
    ~QtProgress() override;
    void start(const QString& text) override;
    bool advance(qint64 done, qint64 total) override;
    void finish() override;

private:
    std::unique_ptr<QProgressDialog> dialog_;
    QString text_;
    QElapsedTimer started_;
};

// Starts the work's progress and finishes it whichever way the work ends.
class ProgressScope {
public:
    ProgressScope(ProgressService& progress, const QString& text)
        : progress_(progress) {
        progress_.start(text);
    }
    ~ProgressScope() { progress_.finish(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

    bool operator()(qint64 done, qint64 total) { return progress_.advance(done, total); }

private:
    ProgressService& progress_;
};

} // namespace ui
