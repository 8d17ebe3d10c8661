#pragma once

#include "Entry.h"
#include "Pieces.h"

#include "platform/text/CodePage.h"

#include <QBuffer>
#include <QByteArray>
#include <QByteArrayView>

#include <memory>

#include <optional>
#include <vector>

namespace contacts {
struct Contact;
}

namespace interchange {

// Reads the cards of a vCard file (2.1, 3.0 or 4.0) one at a time, a
// piece of the file at a time. Handles folded lines, quoted-printable
// values and their soft line breaks, any character set the system converts
// (each value read on its own: UTF-8 or GBK where it names none), escapes,
// grouped properties and base64 data, which is skipped. A card that cannot
// be read is left out and its line and reason kept in errors(); a card or
// line larger than `Pieces::longestLine` is one of those.
class VCardReader {
public:
    // From the file's beginning; `mixed` is how its text stands to UTF-8.
    VCardReader(QIODevice& device, const text::MixedText& mixed,
                qsizetype pieceSize = Pieces::pieceSize, qsizetype longest = Pieces::longestLine);
    // Cards held in memory.
    explicit VCardReader(QByteArrayView data);

    // The next card's items and the line it begins on; nothing at the end.
    std::optional<std::pair<int, std::vector<Item>>> next();
    // How much of the file is read.
    qint64 position() const { return pieces_.done() - (piece_.size() - at_); }
    const ReadErrors& errors() const { return errors_; }
    // The lines of the last card read otherwise than the file says.
    const Decoding& decoding() const { return decoding_; }

private:
    struct Line {
        QByteArray text;
        int number;
        bool tooLong = false;
    };
    std::optional<Line> physical();
    std::optional<Line> logical();
    std::optional<Item> item(const Line& line, const QByteArray& version, QString& error);

    std::unique_ptr<QBuffer> owned_; // the data of a reader of memory
    text::MixedText mixed_;
    Pieces pieces_;
    qsizetype longest_;
    QByteArray piece_;
    qsizetype at_ = 0;
    int lineNumber_ = 0;
    std::vector<Line> pending_; // read ahead, the next on top
    QByteArray version_;
    ReadErrors errors_;
    Decoding decoding_;
};

// Whether the bytes begin like a vCard file.
bool looksLikeVCard(QByteArrayView data);

enum class VCardVersion { V21, V30, V40 };

// Whether 3.0 also names UTF-8 (CHARSET=UTF-8) on each property whose
// value is not ASCII: the standard leaves it out, but iPhones read such a
// card's Chinese as Latin-1 without it.
enum class NamedCharset { No, Yes };

// One contact as a card of the version; 2.1 writes its texts in the
// character set named (UTF-8 or GBK), the others always in UTF-8. A column
// that still holds what its origin gave it is written as that origin.
QByteArray writeVCard(const contacts::Contact& contact, VCardVersion version,
                      QByteArrayView charset = "UTF-8", const Origins& origins = {},
                      NamedCharset named = NamedCharset::No);

} // namespace interchange
