#include "MaybeSet.h"

#include <algorithm>

namespace interchange {

namespace {

constexpr qint64 bitsPerHash = 10;
constexpr qint64 blockBits = 512;
constexpr qint64 mostBlocks = qint64(1) << 19; // 32 MiB

// Spreads a hash's bits over the whole word: the bits in a block are drawn
// from its low 36 bits, the block from the rest.
quint64 mixed(quint64 x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9u;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebu;
    return x ^ (x >> 31);
}

} // namespace

MaybeSet::MaybeSet(qint64 expected)
    : blocks_(
          std::size_t(std::clamp<qint64>(expected * bitsPerHash / blockBits + 1, 1, mostBlocks))) {}

MaybeSet::Place MaybeSet::place(size_t hash) const {
    const quint64 x = mixed(hash);
    Place p{std::size_t((x >> 36) * blocks_.size() >> 28), {}};
    for (int i = 0; i < 4; ++i) {
        p.bits[std::size_t(i)] = unsigned(x >> (9 * i)) % blockBits;
    }
    return p;
}

void MaybeSet::add(size_t hash) {
    const Place p = place(hash);
    for (const unsigned bit : p.bits) {
        blocks_[p.block][bit / 64] |= quint64(1) << (bit % 64);
    }
}

bool MaybeSet::mayHold(size_t hash) const {
    const Place p = place(hash);
    return std::ranges::all_of(
        p.bits, [&](unsigned bit) { return (blocks_[p.block][bit / 64] >> (bit % 64) & 1) != 0; });
}

} // namespace interchange
