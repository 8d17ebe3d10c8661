#pragma once

#include "Layout.h"

#include <QByteArray>
#include <QSet>

#include <vector>

namespace reports {

// Qt's PDF text layer names each glyph by the lowest code point the font maps
// to it, and the CJK faces draw a Kangxi or supplementary radical with the
// glyph of its ideograph: 手 would read ⼿, and no search would find the
// name. The characters drawn tell which of those sharing a glyph was meant.
class GlyphNames {
public:
    void add(const PageItems& items);

    // The PDF Qt wrote with the glyphs named anew, as an update appended to
    // it; the PDF as it was when no name needs changing.
    QByteArray applyTo(QByteArray pdf) const;

private:
    QSet<QFont> fonts_;
    std::vector<bool> drawn_; // by code point, in any of them; marked page by page
};

} // namespace reports
