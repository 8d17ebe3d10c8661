#pragma once

#include <QElapsedTimer>

#include <functional>

namespace platform {

// Says how far long work has come, in steps of `total`; false asks it to stop.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// Calls the progress after the first step, then at most every 25 ms: often
// enough that the window answers within 50 ms even when a step runs long,
// rarely enough to cost nothing.
class Ticker {
public:
    explicit Ticker(const Progress& progress)
        : progress_(progress) {}
    bool keepGoing(qint64 done, qint64 total) {
        if (!progress_ || (clock_.isValid() && clock_.elapsed() < interval)) {
            return true;
        }
        clock_.start();
        return progress_(done, total);
    }

    static constexpr qint64 interval = 25; // ms

private:
    const Progress& progress_;
    QElapsedTimer clock_;
};

} // namespace platform
