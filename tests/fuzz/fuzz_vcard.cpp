// Any bytes an import takes for a vCard file, read as the import reads
// them, in small pieces.

#include "Import.h"

#include "interchange/VCard.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    if (!interchange::looksLikeVCard(bytes)) {
        return 0;
    }
    QBuffer file;
    file.setData(bytes.toByteArray());
    file.open(QIODevice::ReadOnly);
    interchange::VCardReader reader(file, text::MixedText(bytes), 64, 4096);
    Progress progress(bytes.size());
    while (const auto card = reader.next()) {
        makeStored(interchange::toEntry(card->second));
        progress.at(reader.position());
    }
    return 0;
}
