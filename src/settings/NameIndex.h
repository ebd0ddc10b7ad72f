#pragma once

// Finding INI section and key names ignoring ASCII letter case, in constant time, with a few
// bytes per name: the names themselves stay where their owner keeps them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace ziffa {

// A hash of the text with its ASCII capitals lower-cased.
std::uint32_t CaseInsensitiveHash(std::string_view text) noexcept;

// Whether two texts are equal once their ASCII capitals are lower-cased.
bool EqualIgnoringCase(std::string_view a, std::string_view b) noexcept;

// Maps names to positions (line or section numbers). The index stores only each name's hash and
// position; nameAt(position) gives back the name at a position for the comparison. Open
// addressing with linear probing over a power-of-two table, at most three quarters full.
class NameIndex {
public:
    // The position of a name equal to this one, if any.
    template <class NameAt>
    std::optional<std::uint32_t> Find(std::string_view name, const NameAt &nameAt) const {
        return Find(name, CaseInsensitiveHash(name), nameAt);
    }

    // The position the name already has, or else the given one, which is added for it.
    template <class NameAt>
    std::uint32_t FindOrInsert(std::string_view name, std::uint32_t position,
                               const NameAt &nameAt) {
        const std::uint32_t hash = CaseInsensitiveHash(name);
        if (const auto found = Find(name, hash, nameAt)) {
            return *found;
        }
        Insert(hash, position);
        return position;
    }

    std::size_t size() const noexcept { return used_; }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t positionPlusOne = 0; // 0: the slot is free
    };

    template <class NameAt>
    std::optional<std::uint32_t> Find(std::string_view name, std::uint32_t hash,
                                      const NameAt &nameAt) const {
        if (slots_.empty()) {
            return std::nullopt;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot &slot = slots_[i];
            if (slot.positionPlusOne == 0) {
                return std::nullopt;
            }
            if (slot.hash == hash && EqualIgnoringCase(nameAt(slot.positionPlusOne - 1), name)) {
                return slot.positionPlusOne - 1;
            }
        }
    }

    void Insert(std::uint32_t hash, std::uint32_t position);
    void Place(Slot slot);

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

} // namespace ziffa
