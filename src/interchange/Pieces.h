#pragma once

#include "platform/text/CodePage.h"

#include <QByteArray>
#include <QIODevice>

#include <functional>
#include <optional>

namespace interchange {

// A file read a piece at a time, so that an import holds the same memory
// whatever the file's size. A piece ends at a line feed, where no UTF-8 or
// GBK character is cut, and so converts and splits on its own; only a line
// longer than `longest` is cut, after a byte below 0x40, which neither set
// uses inside a character. Throws FileError when the file cannot be read.
class Pieces {
public:
    static constexpr qsizetype pieceSize = qsizetype(1) << 20;
    static constexpr qsizetype longestLine = qsizetype(16) << 20;

    explicit Pieces(QIODevice& device, qsizetype size = pieceSize, qsizetype longest = longestLine);

    // The next piece; nothing at the end.
    std::optional<QByteArray> next();
    // Whether the last piece cut a line, which the next piece goes on with.
    bool cut() const { return cut_; }
    // Bytes handed out, and the file's size.
    qint64 done() const { return done_; }
    qint64 total() const { return total_; }

private:
    QByteArray read(qsizetype most);

    QIODevice& device_;
    qsizetype size_;
    qsizetype longest_;
    QByteArray rest_; // read past the last piece's end
    bool cut_ = false;
    qint64 done_;
    qint64 total_;
};

// How the text of the file from where it stands stands to UTF-8, looked at
// once a piece at a time; the file is put back where it stood. `step`
// hears how many bytes are done and may stop it.
std::optional<text::MixedText> surveyText(QIODevice& device,
                                          const std::function<bool(qint64)>& step = {},
                                          qsizetype size = Pieces::pieceSize);

} // namespace interchange
