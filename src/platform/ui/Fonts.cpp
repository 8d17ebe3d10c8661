#include "Fonts.h"

#include <QStringList>

namespace ui {

void installFontSubstitutes() {
    // AR PL UMing is a Ming face drawn to 宋体's measures: a line one em
    // high and Latin half as wide as Chinese, so the designs' captions fit
    // their boxes. Noto's lines are nearly half as tall again.
    QFont::insertSubstitutions(QStringLiteral("宋体"),
                               {QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN"),
                                QStringLiteral("Noto Serif CJK SC"),
                                QStringLiteral("Noto Sans CJK SC"),
                                QStringLiteral("WenQuanYi Zen Hei")});
    QFont::insertSubstitutions(QStringLiteral("黑体"),
                               {QStringLiteral("SimHei"), QStringLiteral("Noto Sans CJK SC"),
                                QStringLiteral("WenQuanYi Zen Hei")});
    // The fixed-pitch 宋体, Chinese twice as wide as Latin.
    QFont::insertSubstitutions(QStringLiteral("新宋体"),
                               {QStringLiteral("NSimSun"), QStringLiteral("AR PL UMing CN"),
                                QStringLiteral("Noto Sans Mono CJK SC"),
                                QStringLiteral("WenQuanYi Zen Hei Mono")});
    // Latin display faces of the calendar: a black condensed grotesque and a
    // humanist sans.
    QFont::insertSubstitutions(QStringLiteral("Swis721 BlkCn BT"),
                               {QStringLiteral("Nimbus Sans Narrow"),
                                QStringLiteral("Liberation Sans Narrow"),
                                QStringLiteral("DejaVu Sans Condensed")});
    QFont::insertSubstitutions(QStringLiteral("Trebuchet MS"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                                QStringLiteral("Liberation Sans")});
}

QFont font(QStringView family, double points, bool bold) {
    QFont f(family.toString());
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

} // namespace ui
