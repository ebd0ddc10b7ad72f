#include "settings/NameIndex.h"

#include <algorithm>
#include <utility>

namespace ziffa {

namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

std::uint32_t CaseInsensitiveHash(std::string_view text) noexcept {
    // FNV-1a over the lower-cased bytes, then a final mix so that the low bits, which pick the
    // slot, depend on every byte.
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(AsciiLower(c))) * 1099511628211ull;
    }
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdull;
    hash ^= hash >> 33;
    return static_cast<std::uint32_t>(hash);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) noexcept {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

void NameIndex::Insert(std::uint32_t hash, std::uint32_t position) {
    if ((used_ + 1) * 4 > slots_.size() * 3) {
        std::vector<Slot> old =
            std::exchange(slots_, std::vector<Slot>(std::max<std::size_t>(16, slots_.size() * 2)));
        for (const Slot &slot : old) {
            if (slot.positionPlusOne != 0) {
                Place(slot);
            }
        }
    }
    Place(Slot{hash, position + 1});
    ++used_;
}

void NameIndex::Place(Slot slot) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = slot.hash & mask;
    while (slots_[i].positionPlusOne != 0) {
        i = (i + 1) & mask;
    }
    slots_[i] = slot;
}

} // namespace ziffa
