#include "Pinyin.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace text {

namespace {

// Made by tools/yanshubu-pinyin from the Unicode Han database.
#include "PinyinTable.inc"

} // namespace

QStringList readings(char32_t character) {
    // The run that holds the character, if any, is the last one that
    // begins at or before it.
    const auto next = std::upper_bound(std::begin(runFirst), std::end(runFirst), character);
    if (next == std::begin(runFirst)) {
        return {};
    }
    const std::size_t run = next - std::begin(runFirst) - 1;
    const std::uint32_t at = runStart[run] + (character - runFirst[run]);
    if (at >= runStart[run + 1]) {
        return {};
    }
    const std::uint16_t set = characterSets[at];
    QStringList result;
    for (std::uint16_t i = readingStarts[set]; i < readingStarts[set + 1]; ++i) {
        result << QString::fromLatin1(syllables[readingSyllables[i]]);
    }
    return result;
}

} // namespace text
