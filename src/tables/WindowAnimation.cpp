#include "WindowAnimation.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cmath>
#include <limits>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace tables {

namespace {

constexpr int animationMs = 250;

bool fits16(int value) {
    return value >= std::numeric_limits<qint16>::min() &&
           value <= std::numeric_limits<qint16>::max();
}

// Half to even, as the default floating-point rounding mode does.
int roundHalfEven(double value) {
    return int(std::nearbyint(value));
}

#ifdef Q_OS_WIN

// The rectangles straight on the screen's device context, as Windows has
// always drawn them; the windows under them repaint when it is done.
class ScreenDrawing {
public:
    ScreenDrawing(const QWidget* window, QRect screenRect, std::vector<QRect> steps)
        : steps_(std::move(steps))
        , fill_(window->palette().color(QPalette::Window))
        , scale_(window->devicePixelRatioF())
        , area_(screenRect)
        , dc_(GetDC(nullptr)) {}
    ~ScreenDrawing() {
        ReleaseDC(nullptr, dc_);
        const RECT drawn{LONG(area_.left() * scale_), LONG(area_.top() * scale_),
                         LONG(std::ceil((area_.right() + 1) * scale_)),
                         LONG(std::ceil((area_.bottom() + 1) * scale_))};
        RedrawWindow(nullptr, &drawn, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    ScreenDrawing(const ScreenDrawing&) = delete;
    ScreenDrawing& operator=(const ScreenDrawing&) = delete;

    bool drawable() const { return dc_ != nullptr; }
    void showUpTo(std::size_t count) {
        count = std::min(count, steps_.size());
        drawSteps(dc_, steps_, shown_, count, fill_, scale_);
        shown_ = std::max(shown_, count);
    }

private:
    std::vector<QRect> steps_;
    QColor fill_;
    qreal scale_;
    QRect area_;
    HDC dc_;
    std::size_t shown_ = 0;
};

#else

// The screen as it was under the window, with the steps drawn so far on it.
class Overlay final : public QWidget {
public:
    Overlay(QRect screenRect, QPixmap under, std::vector<QRect> steps, QColor fill)
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowTransparentForInput)
        , under_(std::move(under))
        , steps_(std::move(steps))
        , fill_(fill) {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setGeometry(screenRect);
        for (QRect& step : steps_) {
            step.translate(-screenRect.topLeft());
        }
    }
    bool drawable() const { return !under_.isNull(); }
    void showUpTo(std::size_t count) {
        shown_ = std::min(count, steps_.size());
        repaint();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawPixmap(0, 0, under_);
        painter.setPen(Qt::black);
        painter.setBrush(fill_);
        QRect last;
        for (std::size_t i = 0; i < shown_; ++i) {
            const QRect& r = steps_[i];
            if (r == last || r.width() < 1 || r.height() < 1) {
                continue; // nothing new, or nothing to draw
            }
            // Outlined inside the corners, as a filled screen rectangle is.
            painter.drawRect(r.x(), r.y(), r.width() - 1, r.height() - 1);
            last = r;
        }
    }

private:
    QPixmap under_;
    std::vector<QRect> steps_;
    QColor fill_;
    std::size_t shown_ = 0;
};

QPixmap screenUnder(QRect rect) {
    const QString platform = QGuiApplication::platformName();
    if (platform == u"offscreen" || platform == u"minimal") {
        return {};
    }
    QScreen* screen = QGuiApplication::screenAt(rect.center());
    if (!screen) {
        return {};
    }
    const QRect local = rect.translated(-screen->geometry().topLeft());
    return screen->grabWindow(0, local.x(), local.y(), local.width(), local.height());
}

// The screen as it was under the window, with the steps drawn over it.
class ScreenDrawing {
public:
    ScreenDrawing(const QWidget* window, QRect screenRect, std::vector<QRect> steps)
        : overlay_(screenRect, screenUnder(screenRect), std::move(steps),
                   window->palette().color(QPalette::Window)) {
        if (drawable()) {
            overlay_.show();
        }
    }

    bool drawable() const { return overlay_.drawable(); }
    void showUpTo(std::size_t count) { overlay_.showUpTo(count); }

private:
    Overlay overlay_;
};

#endif

} // namespace

std::vector<QRect> animationSteps(QRect window, qint16 n, Animation animation) {
    const int left = window.left();
    const int top = window.top();
    const int right = left + window.width();
    const int bottom = top + window.height();
    const int width = right - left;
    const int height = bottom - top;
    std::vector<QRect> steps;
    if (n < 1 || !fits16(left) || !fits16(top) || !fits16(right) || !fits16(bottom) ||
        !fits16(width) || !fits16(height)) {
        return steps;
    }
    steps.reserve(std::size_t(n));
    for (int k = 1; k <= n; ++k) {
        const int i = animation == Animation::Explode ? k : n + 1 - k;
        const double f = double(i) / double(n);
        const int cx = roundHalfEven(width * f);
        const int cy = roundHalfEven(height * f);
        const int x = roundHalfEven((width - cx) / 2.0 + left);
        const int y = roundHalfEven((height - cy) / 2.0 + top);
        steps.emplace_back(x, y, cx, cy);
    }
    return steps;
}

void animate(const QWidget* window, QRect screenRect, qint16 n, Animation animation) {
    std::vector<QRect> steps = animationSteps(screenRect, n, animation);
    const std::size_t count = steps.size();
    if (count == 0) {
        return;
    }
    ScreenDrawing drawing(window, screenRect, std::move(steps));
    if (!drawing.drawable()) {
        return;
    }
    // Input waits for the quarter second; painting and timers go on.
    QEventLoop loop;
    QTimer frames;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&frames, &QTimer::timeout, [&] {
        const qint64 elapsed = clock.elapsed();
        drawing.showUpTo(std::size_t(double(count) * double(elapsed) / animationMs) + 1);
        if (elapsed >= animationMs) {
            loop.quit();
        }
    });
    frames.start(15);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    drawing.showUpTo(count);
}

#ifdef Q_OS_WIN
void drawSteps(void* dc, const std::vector<QRect>& steps, std::size_t from, std::size_t to,
               QColor fill, qreal scale) {
    const auto device = static_cast<HDC>(dc);
    const HBRUSH brush = CreateSolidBrush(RGB(fill.red(), fill.green(), fill.blue()));
    const HGDIOBJ before = SelectObject(device, brush);
    const auto at = [scale](int v) { return int(std::lround(v * scale)); };
    for (std::size_t i = from; i < to && i < steps.size(); ++i) {
        const QRect& r = steps[i];
        if (i > 0 && r == steps[i - 1]) {
            continue; // nothing new
        }
        // Corners (x, y) and (x + width, y + height), the far ones outside.
        Rectangle(device, at(r.x()), at(r.y()), at(r.x() + r.width()), at(r.y() + r.height()));
    }
    SelectObject(device, before);
    DeleteObject(brush);
}
#endif

} // namespace tables
