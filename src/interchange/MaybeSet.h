#pragma once

#include <QtGlobal>

#include <array>
#include <vector>

namespace interchange {

// A set of hashes that answers "surely not" or "perhaps", in ten bits a
// hash: a Bloom filter whose bits for one hash share a cache line, so that
// a look-up costs one miss. Up to `expected` hashes it says "perhaps"
// wrongly about once in a hundred times, past that more often; it never
// says "surely not" wrongly.
class MaybeSet {
public:
    explicit MaybeSet(qint64 expected);

    void add(size_t hash);
    bool mayHold(size_t hash) const;

private:
    using Block = std::array<quint64, 8>; // a cache line

    struct Place {
        std::size_t block;
        std::array<unsigned, 4> bits;
    };
    Place place(size_t hash) const;

    std::vector<Block> blocks_;
};

} // namespace interchange
