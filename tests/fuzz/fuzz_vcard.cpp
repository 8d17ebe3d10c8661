// Any bytes an import takes for a vCard file, read as the import reads them.

#include "Import.h"

#include "interchange/VCard.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    if (!interchange::looksLikeVCard(bytes)) {
        return 0;
    }
    interchange::VCardReader reader(bytes);
    Progress progress(bytes.size());
    while (const auto card = reader.next()) {
        makeStored(interchange::toEntry(card->second));
        progress.at(reader.position());
    }
    return 0;
}
