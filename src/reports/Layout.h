#pragma once

#include "ReportDefinition.h"

#include <QFont>
#include <QString>

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace reports {

// The rows a report is bound to: how many, and each value as text.
class ReportRows {
public:
    virtual ~ReportRows() = default;
    virtual qsizetype count() const = 0;
    virtual QString text(qsizetype row, QStringView column) const = 0;
};

// The font of a control with its size in twips, so that text is measured
// and drawn in the report's own units on every device.
QFont reportFont(ReportFont font);

// A text broken into lines at a width in twips.
struct WrappedText {
    QString text;
    std::vector<std::pair<int, int>> lines; // start and length of each line
    double lineHeight;
    double ascent;
};
WrappedText wrap(const QString& text, const QFont& font, int width);

// A band put on a page. A band taller than a page is split: each piece
// shows some lines of the growing box, the later pieces nothing else.
struct PlacedBand {
    BandIndex band;
    qsizetype row; // -1 for the bands that show no row
    int top;       // twips below the top margin
    int height;
    int firstLine = 0;
    int lineCount = -1; // lines of the growing box shown here; -1 for all
    bool continued = false;
};

struct Page {
    std::vector<PlacedBand> bands; // the page footer is on every page, at footerTop()
};

// A4 in twips: the paper of the preview and the default of printing.
constexpr int a4Width = 11906;
constexpr int a4Height = 16838;

// Places the bands of a report on pages, on demand: the first pages are
// ready long before the last row is placed.
class Layout {
public:
    Layout(const ReportDefinition& report, const ReportRows& rows, int pageHeight = a4Height);

    // Lays out at least up to the end of page `page` (0-based); false when
    // the report has fewer pages.
    bool extendTo(qsizetype page);
    void finish();
    bool complete() const { return complete_; }
    // The pages laid out so far; all of them once complete.
    const std::vector<Page>& pages() const { return pages_; }

    const ReportDefinition& report() const { return report_; }
    // The control's font, made once per size and weight for the whole report.
    const QFont& fontOf(const ReportControl& control) const;
    int pageHeight() const { return pageHeight_; }
    int footerTop() const;
    // The control of the detail band that grows with its text, if any.
    const ReportControl* growingBox() const { return growing_; }
    WrappedText growingText(qsizetype row) const;

private:
    int bottom() const { return footerTop(); }
    void newPage();
    void place(BandIndex band, int height);
    void placeRow(qsizetype row);
    void placeSplit(qsizetype row, const WrappedText& text);
    void step();

    const ReportDefinition& report_;
    const ReportRows& rows_;
    int pageHeight_;
    mutable std::map<std::pair<double, bool>, QFont> fonts_;
    const ReportControl* growing_ = nullptr;
    std::vector<Page> pages_;
    int y_ = 0;
    bool rowOnPage_ = false;
    qsizetype nextRow_ = 0;
    bool complete_ = false;
};

} // namespace reports
