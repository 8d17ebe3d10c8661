// Any bytes a CardDAV server answers a PROPFIND or REPORT with, read as
// the sync reads them, and each card in them as the sync takes it.

#include "sync/Dav.h"
#include "sync/Merge.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const carddav::Multistatus found = carddav::parseMultistatus(
            QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        for (const carddav::DavResource& resource : found.resources) {
            if (const auto card = carddav::contactOfCard(resource.text(u"address-data").toUtf8())) {
                carddav::cardText(*card);
            }
        }
    } catch (const carddav::DavParseError&) {
        // not XML, or no multistatus: refused as a server's fault
    }
    return 0;
}
