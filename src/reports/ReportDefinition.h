#pragma once

#include <QStringView>

#include <array>
#include <optional>
#include <span>

namespace reports {

struct ReportFont {
    double points;
    bool bold;
};

enum class ControlKind { Label, TextBox, Line };
enum class Align { Left, Centre };

// One control of a band; positions in twips from the band's top-left corner.
struct ReportControl {
    ControlKind kind;
    QStringView name;
    QStringView text; // a label's caption, a text box's column of yanshu
    int left;
    int top;
    int width;
    int height;
    std::optional<ReportFont> font = {}; // none: the report font
    Align align = Align::Left;
    bool canGrow = false; // grows downward with its text, and its band with it
};

enum BandIndex { ReportHeader, PageHeader, Detail, PageFooter, ReportFooter, bandCount };

struct Band {
    QStringView name;
    int height;
    std::span<const ReportControl> controls;
};

// A report: fixed data from which the layout places bands on pages.
struct ReportDefinition {
    QStringView name;
    int width;
    int margin; // the same on all four sides
    ReportFont font;
    QStringView caption; // of the preview window
    int previewWidth;    // client area of the preview window
    int previewHeight;
    std::array<Band, bandCount> bands;

    ReportFont fontOf(const ReportControl& control) const { return control.font.value_or(font); }
};

// One card per contact.
const ReportDefinition& DYGE();
// The ruled telephone list, one line per contact.
const ReportDefinition& YANSHUALL();

} // namespace reports
