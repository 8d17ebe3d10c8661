#include "Pinyin.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace text {

namespace {

// Made by tools/yanshubu-pinyin from the Unicode Han database.
#include "PinyinTable.inc"

struct SurnameReading {
    const char16_t* surname;
    const char* syllables;
};

// Made by tools/yanshubu-surnames from ICU's name transform and our corrections.
#include "SurnameTable.inc"

// The character's set of readings; set 0, empty, for one without any.
std::uint16_t setOf(char32_t character) {
    // The run that holds the character, if any, is the last one that
    // begins at or before it.
    const auto next = std::upper_bound(std::begin(runFirst), std::end(runFirst), character);
    if (next == std::begin(runFirst)) {
        return 0;
    }
    const std::size_t run = next - std::begin(runFirst) - 1;
    const std::uint32_t at = runStart[run] + (character - runFirst[run]);
    return at < runStart[run + 1] ? characterSets[at] : 0;
}

} // namespace

QStringList readings(char32_t character) {
    // Every set's list made once: the lists are then shared, not made for
    // each character of each name a million-contact book indexes.
    static const std::vector<QStringList> sets = [] {
        std::vector<QStringList> made(std::size(readingStarts) - 1);
        for (std::size_t set = 0; set < made.size(); ++set) {
            for (std::uint16_t i = readingStarts[set]; i < readingStarts[set + 1]; ++i) {
                made[set] << QString::fromLatin1(syllables[readingSyllables[i]]);
            }
        }
        return made;
    }();
    return sets[setOf(character)];
}

Surname surnameOf(QStringView name) {
    // Two characters first: 长孙 is not 长 followed by a given name.
    for (const qsizetype length : {2, 1}) {
        if (name.size() < length) {
            continue;
        }
        const QStringView start = name.first(length);
        const auto found = std::lower_bound(std::begin(surnames), std::end(surnames), start,
                                            [](const SurnameReading& entry, QStringView text) {
                                                return QStringView(entry.surname).compare(text) < 0;
                                            });
        if (found != std::end(surnames) && QStringView(found->surname) == start) {
            return {length, QString::fromLatin1(found->syllables).split(u' ')};
        }
    }
    return {};
}

qsizetype commonReadings(char32_t character) {
    return commonReadings_[setOf(character)];
}

} // namespace text
