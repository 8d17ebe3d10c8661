// Any bytes an import takes for a CSV file, read as the import reads them:
// the text decoded, and the rows under a header it knows.

#include "Import.h"

#include "interchange/Csv.h"
#include "interchange/VCard.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    if (interchange::looksLikeVCard(bytes)) {
        return 0;
    }
    interchange::CsvReader reader(interchange::csvText(bytes).value().text);
    const auto header = reader.next();
    if (!header) {
        return 0;
    }
    const interchange::CsvColumns columns(header->second);
    if (!columns.recognized()) {
        return 0;
    }
    Progress progress(reader.size());
    while (const auto row = reader.next()) {
        makeStored(columns.entry(row->second));
        progress.at(reader.position());
    }
    return 0;
}
