#pragma once

#include <QStringList>

namespace text {

// The Mandarin readings of a character, without tones, in lower-case ASCII
// with ü written v ("lv" for 吕): every reading the Unicode Han database
// gives it (kMandarin, kXHC1983, kTGHZ2013, kHanyuPinlu and kHanyuPinyin),
// the usual one first, so 曾 reads ceng and zeng. Empty for a character
// that is no Han character or has no reading.
QStringList readings(char32_t character);

// How many of those readings, from the first, are common: given by the
// modern dictionaries or the corpus counts, where the rest are found in the
// Hanyu Da Zidian alone (方 wǎng, 英 yāng). At least the usual one is.
qsizetype commonReadings(char32_t character);

// The surname a Han name begins with, when it is one read otherwise than its
// characters' usual readings (单 shan, 曾 zeng, 万俟 mo qi, 朴 piao): its
// length in the name's UTF-16 units and one syllable per character. Empty
// when the name begins with no such surname.
struct Surname {
    qsizetype length = 0;
    QStringList syllables;
};
Surname surnameOf(QStringView name);

} // namespace text
