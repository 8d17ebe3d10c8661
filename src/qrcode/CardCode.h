#pragma once

#include "contacts/Contact.h"

#include <QByteArray>
#include <QImage>
#include <QStringList>

#include <optional>
#include <vector>

namespace qrcode {

// A QR code's modules, row by row: true for dark.
struct Modules {
    int width = 0;
    std::vector<bool> dark;
};

// A contact as a phone's camera adds it: the vCard and its code, and what
// had to be left out of it (备注, 地址) to make it fit.
struct CardCode {
    QByteArray vcard;
    Modules modules;
    QStringList leftOut;
};

// The contact as a vCard 3.0 in one QR code of byte mode and level M. A
// card too long for the largest code (version 40) goes without its notes,
// then also without its addresses; none when even that is too long.
std::optional<CardCode> cardCode(contacts::Contact contact);

// The most pixels a module (at least one) that keep the code and its quiet
// zone within `pixels`.
int scaleWithin(const Modules& modules, int pixels);

// The code with `scale` pixels a module, in the quiet zone of four modules
// a reader needs round it: black on white, no module blurred.
QImage codeImage(const Modules& modules, int scale);

} // namespace qrcode
