#include "CardCode.h"

#include "contacts/Extras.h"
#include "interchange/VCard.h"

#include <qrencode.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace qrcode {

namespace {

constexpr int quietZone = 4;

using enum contacts::Field;

// Takes the fields and the extras of these properties out of the contact;
// an extra's label (its group's companion) goes with it. Whether anything
// was there to take.
bool takeOut(contacts::Contact& contact, std::initializer_list<contacts::Field> fields,
             QStringView property) {
    bool taken = false;
    for (const contacts::Field f : fields) {
        taken = taken || !contact[f].isEmpty();
        contact[f].clear();
    }
    QStringList groups;
    const auto erased = std::erase_if(contact.extras, [&](const contacts::Extra& e) {
        if (e.name != property) {
            return false;
        }
        if (!e.group.isEmpty()) {
            groups << e.group.toLower();
        }
        return true;
    });
    std::erase_if(contact.extras, [&](const contacts::Extra& e) {
        return contacts::isCompanion(e) && groups.contains(e.group.toLower());
    });
    return taken || erased > 0;
}

bool takeNotes(contacts::Contact& contact) {
    return takeOut(contact, {Notes}, u"NOTE");
}

// A postcode alone makes an address too.
bool takeAddresses(contacts::Contact& contact) {
    return takeOut(contact, {HomeAddress, WorkAddress, HomePostcode, WorkPostcode}, u"ADR");
}

// What goes when the card is too long, in this order.
struct Cut {
    QStringView name;
    bool (*takeOut)(contacts::Contact&);
};
constexpr Cut cuts[] = {{u"备注", takeNotes}, {u"地址", takeAddresses}};

// The code of the bytes; none when they cannot have one, and then whether
// because they are too many for version 40.
std::optional<Modules> encoded(const QByteArray& bytes, bool& tooLong) {
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(int(bytes.size()), reinterpret_cast<const unsigned char*>(bytes.data()),
                          0, QR_ECLEVEL_M),
        &QRcode_free);
    tooLong = !code && errno == ERANGE;
    if (!code) {
        return std::nullopt;
    }
    Modules modules{code->width, std::vector<bool>(std::size_t(code->width) * code->width)};
    for (std::size_t i = 0; i < modules.dark.size(); ++i) {
        modules.dark[i] = (code->data[i] & 1) != 0;
    }
    return modules;
}

} // namespace

std::optional<CardCode> cardCode(contacts::Contact contact) {
    // A phone adding the card makes a contact of its own: the book's
    // identity and time of change would only make the code denser.
    contact.uid.clear();
    contact.rev.clear();
    CardCode card;
    for (std::size_t next = 0;; ++next) {
        card.vcard = interchange::writeVCard(contact, interchange::VCardVersion::V30, "UTF-8", {},
                                             interchange::NamedCharset::Yes);
        bool tooLong = false;
        if (std::optional<Modules> modules = encoded(card.vcard, tooLong)) {
            card.modules = std::move(*modules);
            return card;
        }
        if (!tooLong || next == std::size(cuts)) {
            return std::nullopt;
        }
        if (cuts[next].takeOut(contact)) {
            card.leftOut << cuts[next].name.toString();
        }
    }
}

int scaleWithin(const Modules& modules, int pixels) {
    return std::max(1, pixels / (modules.width + 2 * quietZone));
}

QImage codeImage(const Modules& modules, int scale) {
    const int side = (modules.width + 2 * quietZone) * scale;
    QImage image(side, side, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    for (int y = 0; y < modules.width; ++y) {
        for (int x = 0; x < modules.width; ++x) {
            if (!modules.dark[std::size_t(y) * std::size_t(modules.width) + std::size_t(x)]) {
                continue;
            }
            for (int row = (y + quietZone) * scale; row < (y + quietZone + 1) * scale; ++row) {
                std::fill_n(image.scanLine(row) + (x + quietZone) * scale, scale, uchar(0));
            }
        }
    }
    return image;
}

} // namespace qrcode
