#pragma once

#include "ReportDefinition.h"

#include <QFont>
#include <QLineF>
#include <QRectF>
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

// Rules are drawn this wide; text keeps half of it clear of every rule and
// of the edges of its band, where a rule of the next band may stand.
constexpr double penWidth = 15; // one pixel at 96 dpi
// A value wider than its box is shrunk down to this size (6 pt, in twips),
// then wrapped.
constexpr int smallestText = 120;

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
WrappedText wrap(const QString& text, const QFont& font, double width);

// Text as drawn: its lines stacked from the top of rect, lineHeight apart.
struct TextItem {
    QRectF rect; // as wide as its box less the rules beside it, as high as its lines
    QFont font;
    WrappedText text; // only the lines shown here
    Align align;
};

// What a page shows, in twips from the top-left corner of its printable area.
struct PageItems {
    std::vector<TextItem> texts;
    std::vector<QLineF> lines;
};

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
//
// Within a band every text gets at least one line of its font, clear of the
// rules: it moves up under the rule above it where there is room, else the
// rule below it, and everything under that, moves down and the band grows.
// A box whose text needs more lines grows downward the same way.
class Layout {
public:
    Layout(const ReportDefinition& report, const ReportRows& rows, int pageHeight = a4Height);
    ~Layout();

    // Lays out at least up to the end of page `page` (0-based); false when
    // the report has fewer pages.
    bool extendTo(qsizetype page);
    void finish();
    bool complete() const { return complete_; }
    // How many rows are on the pages so far: how far the layout has come.
    qsizetype rowsPlaced() const { return nextRow_; }
    // The pages laid out so far; all of them once complete.
    const std::vector<Page>& pages() const { return pages_; }
    // Every text and rule of a laid-out page, the page footer's too.
    PageItems items(qsizetype page) const;

    const ReportDefinition& report() const { return report_; }
    int pageHeight() const { return pageHeight_; }
    // The height of a band with every text on one line.
    int height(BandIndex band) const;
    int footerTop() const;
    // The text of the box of the detail band that grows with it, if any.
    WrappedText growingText(qsizetype row) const;

    // Defined with the layout; named here for its helpers there.
    struct Metrics;
    struct Frame;
    struct Fitted;
    struct Arranged;

private:
    const Metrics& metrics(int size, bool bold) const;
    const Metrics& metrics(const ReportControl& control) const;
    double advance(const Metrics& metrics, QStringView text) const;
    Fitted fit(const Frame& frame, std::size_t index, const QString& value) const;
    Arranged arrange(BandIndex band, qsizetype row) const;
    bool grows(qsizetype row) const;
    void addItems(PageItems& items, const PlacedBand& placed) const;

    void newPage();
    void place(BandIndex band);
    void placeRow(qsizetype row);
    void placeSplit(qsizetype row, const Arranged& arranged);
    void step();

    const ReportDefinition& report_;
    const ReportRows& rows_;
    int pageHeight_;
    mutable std::map<std::pair<int, bool>, std::unique_ptr<Metrics>> metrics_;
    std::vector<Frame> frames_;
    std::vector<Page> pages_;
    int y_ = 0;
    bool rowOnPage_ = false;
    qsizetype nextRow_ = 0;
    bool complete_ = false;
};

} // namespace reports
