// Any bytes an import takes for a CSV file, read as the import reads them:
// the text decoded in small pieces, and the rows under a header it knows.

#include "Import.h"

#include "interchange/Csv.h"
#include "interchange/VCard.h"

#include <QBuffer>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    if (interchange::looksLikeVCard(bytes)) {
        return 0;
    }
    QBuffer file;
    file.setData(bytes.toByteArray());
    file.open(QIODevice::ReadOnly);
    const bool marked = interchange::skipByteOrderMark(file);
    const text::MixedText mixed = interchange::surveyText(file, {}, 64).value();
    interchange::CsvReader reader(file, mixed, marked, 64);
    const auto header = reader.next();
    if (!header) {
        return 0;
    }
    const interchange::CsvColumns columns(header->second);
    if (!columns.recognized()) {
        return 0;
    }
    Progress progress(bytes.size());
    while (const auto row = reader.next()) {
        makeStored(columns.entry(row->second));
        progress.at(reader.position());
    }
    return 0;
}
