#include "Pieces.h"

#include "platform/db/DbError.h"

#include <QFileDevice>

namespace interchange {

Pieces::Pieces(QIODevice& device, qsizetype size, qsizetype longest)
    : device_(device)
    , size_(size)
    , longest_(std::max(longest, size))
    , done_(device.pos())
    , total_(device.size()) {}

QByteArray Pieces::read(qsizetype most) {
    QByteArray bytes(most, Qt::Uninitialized);
    const qint64 got = device_.read(bytes.data(), most);
    if (got < 0) {
        const auto* file = qobject_cast<const QFileDevice*>(&device_);
        throw db::FileError(db::FileFailure::Read, file ? file->fileName() : QString(),
                            device_.errorString());
    }
    bytes.truncate(got);
    return bytes;
}

std::optional<QByteArray> Pieces::next() {
    QByteArray piece = std::exchange(rest_, QByteArray());
    qsizetype cut = piece.lastIndexOf('\n') + 1;
    // Read on until the piece is full and holds a line end, or the line is
    // too long, or the file ends.
    for (bool ended = false;
         !ended && (piece.size() < size_ || (cut == 0 && piece.size() < longest_));) {
        const qsizetype from = piece.size();
        // No more than is left: a small file or a card in memory is read
        // without a buffer of a whole piece.
        const qint64 left = device_.bytesAvailable();
        if (left <= 0 && !device_.isSequential()) {
            break;
        }
        const QByteArray more = read(left > 0 ? std::min<qint64>(size_, left) : size_);
        ended = more.isEmpty();
        piece += more;
        if (const qsizetype feed = piece.lastIndexOf('\n'); feed >= from) {
            cut = feed + 1;
        }
    }
    if (piece.isEmpty()) {
        return std::nullopt;
    }
    const bool atEnd = device_.atEnd() && piece.size() <= longest_;
    cut_ = false;
    if (atEnd) {
        cut = piece.size();
    } else if (cut == 0) {
        cut_ = true;
        cut = longest_;
        for (qsizetype i = longest_ - 1; i > 0; --i) {
            if (uchar(piece[i]) < 0x40) {
                cut = i + 1;
                break;
            }
        }
    }
    rest_ = piece.sliced(cut);
    piece.truncate(cut);
    done_ += piece.size();
    return piece;
}

std::optional<text::MixedText> surveyText(QIODevice& device,
                                          const std::function<bool(qint64)>& step, qsizetype size) {
    const qint64 start = device.pos();
    text::MixedText mixed;
    Pieces pieces(device, size);
    while (const std::optional<QByteArray> piece = pieces.next()) {
        mixed.add(*piece);
        if (step && !step(pieces.done())) {
            return std::nullopt;
        }
    }
    if (!device.seek(start)) {
        throw db::FileError(db::FileFailure::Read, QString(), device.errorString());
    }
    return mixed;
}

} // namespace interchange
