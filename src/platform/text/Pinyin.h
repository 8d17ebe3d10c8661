#pragma once

#include <QStringList>

namespace text {

// The Mandarin readings of a character, without tones, in lower-case ASCII
// with ü written v ("lv" for 吕): every reading the Unicode Han database
// gives it (kMandarin, kXHC1983, kTGHZ2013, kHanyuPinlu and kHanyuPinyin),
// the usual one first, so 曾 reads ceng and zeng. Empty for a character
// that is no Han character or has no reading.
QStringList readings(char32_t character);

} // namespace text
