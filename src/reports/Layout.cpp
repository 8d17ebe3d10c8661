#include "Layout.h"

#include "platform/ui/Fonts.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <cmath>

namespace reports {

QFont reportFont(ReportFont f) {
    QFont font = ui::font(u"宋体", f.points, f.bold);
    font.setPixelSize(qRound(f.points * 20));
    font.setHintingPreference(QFont::PreferNoHinting); // the same widths at every scale
    return font;
}

WrappedText wrap(const QString& text, const QFont& font, int width) {
    WrappedText wrapped;
    wrapped.text = text;
    wrapped.text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    wrapped.text.replace(u'\n', QChar::LineSeparator);
    const QFontMetricsF metrics(font);
    wrapped.lineHeight = metrics.lineSpacing();
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

Layout::Layout(const ReportDefinition& report, const ReportRows& rows, int pageHeight)
    : report_(report)
    , rows_(rows)
    , pageHeight_(pageHeight) {
    for (const ReportControl& c : report.bands[Detail].controls) {
        if (c.canGrow) {
            growing_ = &c;
        }
    }
    pages_.emplace_back();
    place(ReportHeader, report.bands[ReportHeader].height);
    place(PageHeader, report.bands[PageHeader].height);
}

int Layout::footerTop() const {
    return pageHeight_ - 2 * report_.margin - report_.bands[PageFooter].height;
}

const QFont& Layout::fontOf(const ReportControl& control) const {
    const ReportFont f = report_.fontOf(control);
    auto [it, added] = fonts_.try_emplace({f.points, f.bold});
    if (added) {
        it->second = reportFont(f);
    }
    return it->second;
}

WrappedText Layout::growingText(qsizetype row) const {
    const ReportControl& box = *growing_;
    return wrap(rows_.text(row, box.text), fontOf(box), box.width);
}

void Layout::newPage() {
    pages_.emplace_back();
    y_ = 0;
    rowOnPage_ = false;
    place(PageHeader, report_.bands[PageHeader].height);
}

void Layout::place(BandIndex band, int height) {
    pages_.back().bands.push_back({band, -1, y_, height});
    y_ += height;
}

void Layout::placeRow(qsizetype row) {
    int height = report_.bands[Detail].height;
    WrappedText text;
    if (growing_) {
        text = growingText(row);
        const int needed = int(std::ceil(double(text.lines.size()) * text.lineHeight));
        height += std::max(0, needed - growing_->height);
    }
    if (y_ + height > bottom() && rowOnPage_) {
        newPage();
    }
    if (y_ + height > bottom() && growing_ && !text.lines.empty()) {
        placeSplit(row, text);
        return;
    }
    pages_.back().bands.push_back({Detail, row, y_, height});
    y_ += height;
    rowOnPage_ = true;
}

// A band taller than a page: as many lines of the growing box as fit on
// each page, the rest of the band after the last of them.
void Layout::placeSplit(qsizetype row, const WrappedText& text) {
    const ReportControl& box = *growing_;
    const int below = report_.bands[Detail].height - box.top - box.height; // band under the box
    const int total = int(text.lines.size());
    int first = 0;
    int boxTop = box.top; // where the lines start within this piece
    while (true) {
        const int room = bottom() - y_ - boxTop;
        const int fit = std::max(1, int(room / text.lineHeight));
        const int count = std::min(fit, total - first);
        const bool last = first + count == total;
        const int linesHeight = int(std::ceil(count * text.lineHeight));
        const int pieceHeight =
            last ? std::min(bottom() - y_, boxTop + linesHeight + below) : bottom() - y_;
        pages_.back().bands.push_back({Detail, row, y_, pieceHeight, first, count, first > 0});
        y_ += pieceHeight;
        rowOnPage_ = true;
        first += count;
        if (last) {
            return;
        }
        newPage();
        boxTop = 0;
    }
}

void Layout::step() {
    if (nextRow_ < rows_.count()) {
        placeRow(nextRow_++);
        return;
    }
    const int height = report_.bands[ReportFooter].height;
    if (y_ + height > bottom()) {
        newPage();
    }
    place(ReportFooter, height);
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
