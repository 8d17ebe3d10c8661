#pragma once

#include <QElapsedTimer>

#include <functional>

namespace platform {

// Says how far long work has come, in steps of `total`; false asks it to stop.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Calls the progress after the first step, then at most every 50 ms: often
// enough for the window to paint, rarely enough to cost nothing.
class Ticker {
public:
    explicit Ticker(const Progress& progress)
        : progress_(progress) {}
    bool keepGoing(qint64 done, qint64 total) {
        if (!progress_ || (clock_.isValid() && clock_.elapsed() < 50)) {
            return true;
        }
        clock_.start();
        return progress_(done, total);
    }

private:
    const Progress& progress_;
    QElapsedTimer clock_;
};

} // namespace platform
