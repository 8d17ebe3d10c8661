#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace text {

// Text in the character sets other programs write (UTF-8, and for Chinese
// GB2312, GBK, GB18030, Big5), through the system's converters. GB2312 and
// GBK are read and written as GB18030, their superset, so that nothing is
// lost: text GBK cannot hold still comes through in its four-byte form.

// Whether the bytes are well-formed UTF-8.
bool isUtf8(QByteArrayView bytes);

// Decodes bytes of the named set; a malformed byte becomes U+FFFD. Nothing
// when the set is unknown.
std::optional<QString> decode(QByteArrayView bytes, QByteArrayView charset);

// Encodes text in the named set; nothing when the set is unknown.
std::optional<QByteArray> encode(QStringView text, QByteArrayView charset);

// Reads the values of a file that may hold UTF-8 and GBK side by side, as a
// file joined from several programs' exports does. Each value is read on
// its own: in the set it names where that reads all of it, else as UTF-8
// where it is well-formed UTF-8, else as GBK. Only a value whose non-ASCII
// characters all take two bytes in UTF-8 is doubtful (GBK's 女 is UTF-8's
// Ů; no Chinese character takes two): it follows most of the file.
class MixedText {
public:
    MixedText() = default;
    // Looks at the whole file once.
    explicit MixedText(QByteArrayView file) { add(file); }
    // Looks at the next piece of the file, which ends where a line does.
    void add(QByteArrayView piece);

    struct Decoded {
        QString text;
        bool gbk = false;     // read as GBK where the value or the file says UTF-8
        bool refused = false; // with bytes no set reads, each shown as U+FFFD
    };
    // The value, in the set it names (if any).
    Decoded decode(QByteArrayView bytes, QByteArrayView named = {}) const;

    bool allUtf8() const { return other_ == 0; }
    // Whether some of the file is surely UTF-8, or most of it is.
    bool holdsUtf8() const { return wide_ > 0 || leansUtf8(); }

private:
    bool leansUtf8() const { return wide_ + narrow_ > other_; }

    // Pieces of text between separators, by how they stand to UTF-8.
    qsizetype wide_ = 0;   // with a character of three or four bytes
    qsizetype narrow_ = 0; // with two-byte characters only
    qsizetype other_ = 0;  // not UTF-8
};

} // namespace text
