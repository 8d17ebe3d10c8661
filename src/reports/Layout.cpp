#include "Layout.h"

#include "platform/ui/Fonts.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace reports {

namespace {

constexpr double clearance = penWidth / 2;

QFont sizedFont(int size, bool bold) {
    QFont font = ui::font(u"宋体", size / 20.0, bold);
    font.setPixelSize(size);
    font.setHintingPreference(QFont::PreferNoHinting); // the same widths at every scale
    // Glyphs straight from the character map: the contextual forms the CJK
    // faces give digits after Latin letters have no character in a PDF's
    // text layer, and widths stay the sum of the characters' advances.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

bool overlaps(double from, double to, double otherFrom, double otherTo) {
    return from < otherTo && otherFrom < to;
}

// A box that does not grow shows its value on one line.
QString oneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\t') {
            c = u' ';
        }
    }
    return text;
}

} // namespace

QFont reportFont(ReportFont f) {
    return sizedFont(qRound(f.points * 20), f.bold);
}

WrappedText wrap(const QString& text, const QFont& font, double width) {
    WrappedText wrapped;
    wrapped.text = text;
    wrapped.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    wrapped.text.replace(u'\n', QChar::LineSeparator);
    const QFontMetricsF metrics(font);
    wrapped.lineHeight = std::max(metrics.height(), metrics.lineSpacing());
    wrapped.ascent = metrics.ascent();
    if (wrapped.text.isEmpty()) {
        return wrapped;
    }
    QTextLayout layout(wrapped.text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        wrapped.lines.emplace_back(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return wrapped;
}

struct Layout::Metrics {
    Metrics(int size, bool bold)
        : font(sizedFont(size, bold))
        , measure(font)
        , size(size)
        , bold(bold)
        , ascent(measure.ascent())
        , lineHeight(std::max(measure.height(), measure.lineSpacing())) {}

    QFont font;
    QFontMetricsF measure;
    int size; // twips
    bool bold;
    double ascent;
    double lineHeight;
    mutable std::vector<float> advances; // of the BMP's characters, measured as met
};

// A text as it fits its box: the size it is drawn at and its lines.
struct Layout::Fitted {
    const Metrics* metrics = nullptr;
    QString text;
    std::vector<std::pair<int, int>> lines; // when wrapped; else the whole text is one line
    int count = 0;                          // lines
    double offset = 0;                      // from the top of its slot to the top of its first line
    double reserved = 0;                    // height taken from the top of its slot
};

// Where a band's texts stand for one row.
struct Layout::Arranged {
    // Everything of the band at or below `from` (as designed) moves down by `by`.
    struct Push {
        double from;
        double by;
    };
    std::vector<Fitted> fitted; // as the frame's texts
    std::vector<double> tops;   // of their slots
    std::vector<Push> pushes;
    double height = 0;

    double at(double y) const {
        double shift = 0;
        for (const Push& p : pushes) {
            if (p.from <= y) {
                shift = std::max(shift, p.by);
            }
        }
        return y + shift;
    }
};

// A band's controls prepared once: texts in order of their tops, each with
// its slot of one line and its width clear of the rules beside it.
struct Layout::Frame {
    struct Text {
        const ReportControl* control;
        double left;
        double right;
        double slot;
        const Metrics* metrics; // of its own font
    };
    double height = 0; // as designed
    std::vector<Text> texts;
    std::vector<const ReportControl*> rules;
    std::ptrdiff_t growing = -1; // index of the box that grows with its text
    Arranged still;              // without rows: the labels, every text on one line
};

namespace {

// Places the slots of the fitted texts from the top down: a text that does
// not fit above the rule below it moves up under the rule above it (not
// into the texts above it), and what is then still in its way moves down.
void resolve(const Layout::Frame& frame, Layout::Arranged& a) {
    a.tops.assign(frame.texts.size(), 0);
    a.pushes.clear();
    for (std::size_t i = 0; i < frame.texts.size(); ++i) {
        const Layout::Frame::Text& t = frame.texts[i];
        const ReportControl& c = *t.control;
        const double reserved = a.fitted[i].reserved;
        double roof = clearance; // the highest the slot may stand
        double limit = a.at(frame.height) - clearance;
        std::vector<const ReportControl*> under;
        for (const ReportControl* r : frame.rules) {
            if (r->height != 0 ||
                !overlaps(r->left - clearance, r->left + r->width + clearance, t.left, t.right)) {
                continue;
            }
            if (r->top <= c.top) {
                roof = std::max(roof, a.at(r->top) + clearance);
            } else {
                limit = std::min(limit, a.at(r->top) - clearance);
                under.push_back(r);
            }
        }
        double top = std::max(a.at(c.top), roof);
        if (top + reserved > limit) {
            for (std::size_t j = 0; j < i; ++j) {
                const Layout::Frame::Text& u = frame.texts[j];
                const int uTop = u.control->top;
                if (uTop + u.control->height <= c.top &&
                    overlaps(u.left, u.right, t.left, t.right)) {
                    // as close as designed, not closer
                    const double overlap = std::max(0.0, uTop + u.slot - c.top);
                    roof = std::max(roof, a.tops[j] + a.fitted[j].reserved - overlap);
                }
            }
            top = std::max(roof, limit - reserved);
        }
        a.tops[i] = top;
        const double bottom = top + reserved + clearance;
        for (const ReportControl* r : under) {
            if (a.at(r->top) < bottom) {
                a.pushes.push_back({double(r->top), bottom - r->top});
            }
        }
        if (a.at(frame.height) < bottom) {
            a.pushes.push_back({frame.height, bottom - frame.height});
        }
        if (reserved > t.slot) {
            // A box that grows takes down what stands below it.
            a.pushes.push_back({double(c.top + c.height), top - c.top + reserved - t.slot});
        }
    }
    a.height = a.at(frame.height);
}

} // namespace

Layout::Layout(const ReportDefinition& report, const ReportRows& rows, int pageHeight)
    : report_(report)
    , rows_(rows)
    , pageHeight_(pageHeight) {
    frames_.reserve(bandCount);
    for (const Band& band : report.bands) {
        Frame& frame = frames_.emplace_back();
        frame.height = band.height;
        for (const ReportControl& c : band.controls) {
            if (c.kind == ControlKind::Line) {
                frame.rules.push_back(&c);
            }
        }
        for (const ReportControl& c : band.controls) {
            if (c.kind == ControlKind::Line) {
                continue;
            }
            const Metrics& m = metrics(c);
            // A line of its text; the growing box keeps at least its own height.
            const double slot = c.canGrow ? std::max(double(c.height), m.lineHeight) : m.lineHeight;
            Frame::Text t{&c, double(c.left), double(c.left + c.width), slot, &m};
            for (const ReportControl* r : frame.rules) {
                if (r->width == 0 &&
                    overlaps(r->top - clearance, r->top + r->height + clearance, c.top,
                             c.top + t.slot) &&
                    overlaps(r->left - clearance, r->left + clearance, t.left, t.right)) {
                    if (r->left - t.left <= t.right - r->left) {
                        t.left = r->left + clearance;
                    } else {
                        t.right = r->left - clearance;
                    }
                }
            }
            frame.texts.push_back(t);
        }
        std::stable_sort(frame.texts.begin(), frame.texts.end(),
                         [](const Frame::Text& a, const Frame::Text& b) {
                             return a.control->top < b.control->top;
                         });
        for (std::size_t i = 0; i < frame.texts.size(); ++i) {
            const ReportControl& c = *frame.texts[i].control;
            if (c.canGrow) {
                frame.growing = std::ptrdiff_t(i);
            }
            const bool label = c.kind == ControlKind::Label;
            frame.still.fitted.push_back(fit(frame, i, label ? c.text.toString() : QString()));
        }
        resolve(frame, frame.still);
    }
    pages_.emplace_back();
    place(ReportHeader);
    place(PageHeader);
}

Layout::~Layout() = default;

const Layout::Metrics& Layout::metrics(int size, bool bold) const {
    std::unique_ptr<Metrics>& m = metrics_[{size, bold}];
    if (!m) {
        m = std::make_unique<Metrics>(size, bold);
    }
    return *m;
}

const Layout::Metrics& Layout::metrics(const ReportControl& control) const {
    const ReportFont f = report_.fontOf(control);
    return metrics(qRound(f.points * 20), f.bold);
}

double Layout::advance(const Metrics& m, QStringView text) const {
    if (m.advances.empty()) {
        m.advances.assign(0x10000, -1.0f);
    }
    double width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            width += m.measure.horizontalAdvance(text.mid(i, 2).toString());
            ++i;
            continue;
        }
        float& a = m.advances[u];
        if (a < 0) {
            a = float(m.measure.horizontalAdvance(QChar(u)));
        }
        width += a;
    }
    return width;
}

// The growing box wraps at its own size; any other text is shrunk to fit its
// width, and wrapped only below the smallest size.
Layout::Fitted Layout::fit(const Frame& frame, std::size_t index, const QString& value) const {
    const Frame::Text& t = frame.texts[index];
    const Metrics& own = *t.metrics;
    const double width = t.right - t.left;
    Fitted f;
    f.metrics = &own;
    if (t.control->canGrow) {
        WrappedText wrapped = wrap(value, own.font, width);
        f.text = std::move(wrapped.text);
        f.lines = std::move(wrapped.lines);
        f.count = int(f.lines.size());
    } else {
        f.text = oneLine(value);
        f.count = f.text.isEmpty() ? 0 : 1;
        const double natural = advance(own, f.text);
        if (natural > width) {
            const int smallest = std::min(smallestText, own.size);
            const double fitting = own.size * width / natural;
            if (fitting >= smallest) {
                f.metrics = &metrics(int(fitting), own.bold);
            } else {
                f.metrics = &metrics(smallest, own.bold);
                f.lines = wrap(f.text, f.metrics->font, width).lines;
                f.count = int(f.lines.size());
            }
        }
    }
    // A smaller text keeps its first baseline where its own size puts it.
    f.offset = own.ascent - f.metrics->ascent;
    f.reserved = std::max(t.slot, f.offset + f.count * f.metrics->lineHeight);
    return f;
}

Layout::Arranged Layout::arrange(BandIndex band, qsizetype row) const {
    const Frame& frame = frames_[std::size_t(band)];
    if (row < 0) {
        return frame.still;
    }
    Arranged a;
    a.fitted.reserve(frame.texts.size());
    bool grown = false;
    for (std::size_t i = 0; i < frame.texts.size(); ++i) {
        const ReportControl& c = *frame.texts[i].control;
        if (c.kind == ControlKind::TextBox) {
            a.fitted.push_back(fit(frame, i, rows_.text(row, c.text)));
            grown = grown || a.fitted.back().reserved > frame.texts[i].slot;
        } else {
            a.fitted.push_back(frame.still.fitted[i]);
        }
    }
    if (grown) {
        resolve(frame, a);
    } else {
        a.tops = frame.still.tops;
        a.pushes = frame.still.pushes;
        a.height = frame.still.height;
    }
    return a;
}

int Layout::height(BandIndex band) const {
    return int(std::ceil(frames_[std::size_t(band)].still.height));
}

int Layout::footerTop() const {
    return pageHeight_ - 2 * report_.margin - height(PageFooter);
}

WrappedText Layout::growingText(qsizetype row) const {
    const Frame& frame = frames_[Detail];
    if (frame.growing < 0) {
        return {};
    }
    const auto index = std::size_t(frame.growing);
    Fitted f = fit(frame, index, rows_.text(row, frame.texts[index].control->text));
    return {std::move(f.text), std::move(f.lines), f.metrics->lineHeight, f.metrics->ascent};
}

void Layout::addItems(PageItems& items, const PlacedBand& placed) const {
    const Frame& frame = frames_[std::size_t(placed.band)];
    const Arranged a = arrange(placed.band, placed.row);
    for (std::size_t i = 0; i < frame.texts.size(); ++i) {
        const bool growing = std::ptrdiff_t(i) == frame.growing;
        if (placed.continued && !growing) {
            continue;
        }
        const Frame::Text& t = frame.texts[i];
        const Fitted& f = a.fitted[i];
        int first = 0;
        int count = f.count;
        if (growing && placed.lineCount >= 0) {
            first = placed.firstLine;
            count = placed.lineCount;
        }
        if (count == 0) {
            continue;
        }
        const Metrics& m = *f.metrics;
        const double top = placed.top + (placed.continued ? clearance : a.tops[i] + f.offset);
        TextItem item{QRectF(t.left, top, t.right - t.left, count * m.lineHeight),
                      m.font,
                      {f.text, {}, m.lineHeight, m.ascent},
                      t.control->align};
        if (f.lines.empty()) {
            item.text.lines.emplace_back(0, int(f.text.size()));
        } else {
            item.text.lines.assign(f.lines.begin() + first, f.lines.begin() + first + count);
        }
        items.texts.push_back(std::move(item));
    }
    if (placed.continued) {
        return;
    }
    for (const ReportControl* r : frame.rules) {
        items.lines.emplace_back(r->left, placed.top + a.at(r->top), r->left + r->width,
                                 placed.top + a.at(r->top + r->height));
    }
}

PageItems Layout::items(qsizetype page) const {
    PageItems items;
    for (const PlacedBand& placed : pages_[std::size_t(page)].bands) {
        addItems(items, placed);
    }
    addItems(items, {PageFooter, -1, footerTop(), height(PageFooter)});
    return items;
}

void Layout::newPage() {
    pages_.emplace_back();
    y_ = 0;
    rowOnPage_ = false;
    place(PageHeader);
}

void Layout::place(BandIndex band) {
    const int h = height(band);
    pages_.back().bands.push_back({band, -1, y_, h});
    y_ += h;
}

bool Layout::grows(qsizetype row) const {
    const Frame& frame = frames_[Detail];
    for (std::size_t i = 0; i < frame.texts.size(); ++i) {
        const ReportControl& c = *frame.texts[i].control;
        if (c.kind == ControlKind::TextBox &&
            fit(frame, i, rows_.text(row, c.text)).reserved > frame.texts[i].slot) {
            return true;
        }
    }
    return false;
}

void Layout::placeRow(qsizetype row) {
    // Most rows fit their slots and are as high as the band without rows.
    const bool grown = grows(row);
    const int h = grown ? int(std::ceil(arrange(Detail, row).height)) : height(Detail);
    if (y_ + h > footerTop() && rowOnPage_) {
        newPage();
    }
    if (y_ + h > footerTop() && grown && frames_[Detail].growing >= 0) {
        const Arranged arranged = arrange(Detail, row);
        if (arranged.fitted[std::size_t(frames_[Detail].growing)].count > 0) {
            placeSplit(row, arranged);
            return;
        }
    }
    pages_.back().bands.push_back({Detail, row, y_, h});
    y_ += h;
    rowOnPage_ = true;
}

// A band taller than a page: as many lines of the growing box as fit on
// each page, the rest of the band after the last of them.
void Layout::placeSplit(qsizetype row, const Arranged& arranged) {
    const auto index = std::size_t(frames_[Detail].growing);
    const Fitted& box = arranged.fitted[index];
    const double lineHeight = box.metrics->lineHeight;
    const double below = arranged.height - arranged.tops[index] - box.reserved; // band under it
    int first = 0;
    double boxTop = arranged.tops[index] + box.offset; // where the lines start within this piece
    while (true) {
        const double room = footerTop() - y_ - boxTop - clearance;
        const int fit = std::max(1, int(room / lineHeight));
        const int count = std::min(fit, box.count - first);
        const bool last = first + count == box.count;
        const int rest = footerTop() - y_;
        const int pieceHeight =
            last ? std::min(rest, int(std::ceil(boxTop + count * lineHeight + below))) : rest;
        pages_.back().bands.push_back({Detail, row, y_, pieceHeight, first, count, first > 0});
        y_ += pieceHeight;
        rowOnPage_ = true;
        first += count;
        if (last) {
            return;
        }
        newPage();
        boxTop = clearance;
    }
}

void Layout::step() {
    if (nextRow_ < rows_.count()) {
        placeRow(nextRow_++);
        return;
    }
    if (y_ + height(ReportFooter) > footerTop()) {
        newPage();
    }
    place(ReportFooter);
    complete_ = true;
}

bool Layout::extendTo(qsizetype page) {
    while (!complete_ && qsizetype(pages_.size()) <= page + 1) {
        step();
    }
    return page < qsizetype(pages_.size());
}

void Layout::finish() {
    while (!complete_) {
        step();
    }
}

} // namespace reports
