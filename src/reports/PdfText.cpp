#include "PdfText.h"

#include <QRawFont>
#include <QRegularExpression>
#include <QSet>

#include <map>

namespace reports {

namespace {

using Renames = QHash<char32_t, char32_t>;

quint32 glyph(const QRawFont& font, char32_t c) {
    const QList<quint32> glyphs = font.glyphIndexesForString(QString::fromUcs4(&c, 1));
    return glyphs.size() == 1 ? glyphs.front() : 0;
}

QByteArray hex(uint value) {
    return QByteArray::number(value, 16).rightJustified(4, '0').toUpper();
}

QByteArray utf16Hex(char32_t c) {
    QByteArray out;
    for (const QChar unit : QString::fromUcs4(&c, 1)) {
        out += hex(unit.unicode());
    }
    return out;
}

// The offset of the last cross-reference table; 0 when there is none.
qsizetype lastXref(const QByteArray& pdf) {
    const qsizetype at = pdf.lastIndexOf("startxref");
    return at < 0 ? 0 : pdf.mid(at + 9, 40).simplified().split(' ').front().toLongLong();
}

// Where each object starts, from the cross-reference table Qt writes: one
// section of fixed-width entries.
std::map<int, qsizetype> offsets(const QByteArray& pdf) {
    std::map<int, qsizetype> objects;
    const qsizetype xref = lastXref(pdf);
    if (xref <= 0 || !pdf.mid(xref, 4).startsWith("xref")) {
        return objects;
    }
    static const QRegularExpression section(QStringLiteral("^(\\d+) (\\d+)\\s*\\n"));
    qsizetype at = pdf.indexOf('\n', xref) + 1;
    const QRegularExpressionMatch m = section.match(QString::fromLatin1(pdf.mid(at, 40)));
    if (!m.hasMatch()) {
        return objects;
    }
    const int first = m.captured(1).toInt();
    const int count = m.captured(2).toInt();
    at += m.capturedLength();
    for (int i = 0; i < count; ++i) {
        const QByteArray entry = pdf.mid(at + qsizetype(i) * 20, 20);
        if (entry.size() == 20 && entry[17] == 'n') {
            objects[first + i] = entry.left(10).toLongLong();
        }
    }
    return objects;
}

// The data of an uncompressed stream object; empty for any other.
QByteArray streamAt(const QByteArray& pdf, qsizetype object) {
    const qsizetype data = pdf.indexOf("stream\n", object);
    if (data < 0) {
        return {};
    }
    const QByteArray header = pdf.mid(object, data - object);
    static const QRegularExpression length(QStringLiteral("/Length (\\d+)"));
    const QRegularExpressionMatch m = length.match(QString::fromLatin1(header));
    if (!m.hasMatch() || header.contains("/Filter")) {
        return {};
    }
    return pdf.mid(data + 7, m.captured(1).toLongLong());
}

// The character map with the renamed characters' glyphs named for the ones
// meant; empty when it names none of them. Qt writes only ranges, either
// "<first> <last> <name of first>" or "<first> <last> [<name> ...]".
QByteArray renamed(const QByteArray& cmap, const Renames& renames) {
    const qsizetype begin = cmap.indexOf("beginbfrange");
    const qsizetype end = cmap.lastIndexOf("endbfrange");
    if (begin < 0 || end < begin || cmap.contains("bfchar")) {
        return {};
    }
    std::map<uint, QByteArray> names;
    bool changed = false;
    const auto name = [&](uint glyph, uint c) {
        const char32_t meant = renames.value(c, c);
        changed = changed || meant != c;
        names[glyph] = utf16Hex(meant);
    };
    static const QRegularExpression range(QStringLiteral(
        "<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>\\s*(?:<([0-9A-Fa-f]+)>|\\[([^\\]]*)\\])"));
    static const QRegularExpression element(QStringLiteral("<([0-9A-Fa-f]+)>"));
    const QString ranges = QString::fromLatin1(cmap.mid(begin, end - begin));
    for (const QRegularExpressionMatch& m : range.globalMatch(ranges)) {
        const uint first = m.captured(1).toUInt(nullptr, 16);
        const uint last = m.captured(2).toUInt(nullptr, 16);
        if (m.capturedLength(3) > 0) {
            const uint start = m.captured(3).toUInt(nullptr, 16);
            for (uint g = first; g <= last; ++g) {
                name(g, start + (g - first));
            }
        } else {
            uint g = first;
            for (const QRegularExpressionMatch& e : element.globalMatch(m.captured(4))) {
                name(g++, e.captured(1).toUInt(nullptr, 16));
            }
        }
    }
    if (!changed) {
        return {};
    }
    // The ranges' lines, their counts too, give way to single glyphs.
    QByteArray out = cmap.left(cmap.lastIndexOf('\n', begin) + 1);
    for (auto next = names.begin(); next != names.end();) {
        QByteArray block;
        int count = 0;
        for (; next != names.end() && count < 100; ++next, ++count) { // at most 100 a block
            block += '<' + hex(next->first) + "> <" + next->second + ">\n";
        }
        out += QByteArray::number(count) + " beginbfchar\n" + block + "endbfchar\n";
    }
    return out + cmap.mid(cmap.indexOf('\n', end) + 1);
}

// The objects' new versions after the end of the file, with a cross-reference
// for them and a trailer that leads on to the original table: the bytes Qt
// wrote, and so their offsets, stay as they are.
QByteArray appended(QByteArray pdf, const std::map<int, QByteArray>& objects) {
    const qsizetype trailer = pdf.lastIndexOf("trailer");
    const qsizetype open = pdf.indexOf("<<", trailer);
    const qsizetype close = pdf.indexOf(">>", open);
    const qsizetype previous = lastXref(pdf);
    if (trailer < 0 || open < 0 || close < 0 || previous <= 0) {
        return pdf;
    }
    const QByteArray dictionary = pdf.mid(open + 2, close - open - 2);
    if (!pdf.endsWith('\n')) {
        pdf += '\n';
    }
    QByteArray xref = "xref\n";
    for (const auto& [id, data] : objects) {
        xref += QByteArray::number(id) + " 1\n" +
                QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(id) + " 0 obj\n<< /Length " + QByteArray::number(data.size()) +
               " >>\nstream\n" + data + "\nendstream\nendobj\n";
    }
    const QByteArray start = QByteArray::number(pdf.size());
    return pdf + xref + "trailer\n<<" + dictionary + "/Prev " + QByteArray::number(previous) +
           "\n>>\nstartxref\n" + start + "\n%%EOF\n";
}

} // namespace

void GlyphNames::add(const PageItems& items) {
    if (drawn_.empty()) {
        drawn_.resize(0x110000);
    }
    for (const TextItem& item : items.texts) {
        fonts_.insert(item.font);
        const QString& text = item.text.text;
        for (const auto& [start, length] : item.text.lines) {
            for (qsizetype i = start, end = start + length; i < end; ++i) {
                char32_t c = text[i].unicode();
                if (QChar::isHighSurrogate(c) && i + 1 < end && text[i + 1].isLowSurrogate()) {
                    c = QChar::surrogateToUcs4(text[i], text[i + 1]);
                    ++i;
                }
                drawn_[c] = true;
            }
        }
    }
}

QByteArray GlyphNames::applyTo(QByteArray pdf) const {
    std::vector<char32_t> drawn;
    for (char32_t c = 0; c < drawn_.size(); ++c) {
        if (drawn_[c]) {
            drawn.push_back(c);
        }
    }
    // Radicals that were not drawn but share the glyph of a character that
    // was, in any of the fonts: the character's glyph is the same design in
    // each of them.
    Renames renames;
    for (const QFont& font : fonts_) {
        const QRawFont raw = QRawFont::fromFont(font);
        QHash<quint32, char32_t> byGlyph;
        for (const char32_t c : drawn) {
            byGlyph.insert(glyph(raw, c), c);
        }
        byGlyph.remove(0);
        for (char32_t radical = 0x2E80; radical <= 0x2FDF; ++radical) {
            const char32_t meant = byGlyph.value(glyph(raw, radical));
            if (meant != 0 && !drawn_[radical]) {
                renames.insert(radical, meant);
            }
        }
    }
    if (renames.isEmpty()) {
        return pdf;
    }

    const std::map<int, qsizetype> objects = offsets(pdf);
    std::map<int, QByteArray> changed;
    for (qsizetype at = pdf.indexOf("/ToUnicode "); at >= 0;
         at = pdf.indexOf("/ToUnicode ", at + 1)) {
        const int id = pdf.mid(at + 11, 12).split(' ').front().toInt();
        const auto object = objects.find(id);
        if (object == objects.end() || changed.contains(id)) {
            continue;
        }
        if (QByteArray cmap = renamed(streamAt(pdf, object->second), renames); !cmap.isEmpty()) {
            changed[id] = std::move(cmap);
        }
    }
    return changed.empty() ? pdf : appended(std::move(pdf), changed);
}

} // namespace reports
