#include "engine/keyset.h"

#include <algorithm>
#include <numeric>

namespace engine {

void sortKeys(std::vector<std::int64_t>& keys) {
    if (keys.size() < 4096) return std::sort(keys.begin(), keys.end());
    // The sign bit flipped, ids order as unsigned numbers.
    auto digit = [](std::int64_t k, int shift) {
        return static_cast<std::size_t>((static_cast<std::uint64_t>(k) ^ (std::uint64_t{1} << 63)) >> shift & 0xFFFF);
    };
    std::vector<std::int64_t> spare(keys.size());
    std::vector<std::size_t> start(65537);
    for (int shift = 0; shift < 64; shift += 16) {
        std::fill(start.begin(), start.end(), 0);
        for (std::int64_t k : keys) ++start[digit(k, shift) + 1];
        if (std::find(start.begin() + 1, start.end(), keys.size()) != start.end()) continue;  // one digit for all
        std::partial_sum(start.begin(), start.end(), start.begin());
        for (std::int64_t k : keys) spare[start[digit(k, shift)]++] = k;
        keys.swap(spare);
    }
}

void KeySet::assign(std::vector<std::int64_t> keys) {
    keys_ = std::move(keys);
    deleted_.clear();
    fenwick_.clear();
    deletedCount_ = 0;
    sorted_ = std::is_sorted(keys_.begin(), keys_.end());
    lookupValid_ = false;
    dense_.clear();
    byKey_.clear();
}

void KeySet::append(std::int64_t key) {
    if (!keys_.empty() && key <= keys_.back()) sorted_ = false;
    keys_.push_back(key);
    if (!deleted_.empty()) {
        deleted_.push_back(0);
        // Grow the Fenwick tree by one node: it covers (i - lowbit(i), i], and the
        // new row is live, so it holds the deleted count of the rows before it.
        size_t i = keys_.size();
        size_t low = i & (~i + 1);
        auto prefix = [this](size_t k) {
            std::int64_t sum = 0;
            for (; k > 0; k -= k & (~k + 1)) sum += fenwick_[k];
            return sum;
        };
        fenwick_.push_back(static_cast<std::int32_t>(prefix(i - 1) - prefix(i - low)));
    }
    // The id-to-index table grows with the key while it stays compact.
    if (lookupValid_ && !dense_.empty() && key >= denseBase_ &&
        key - denseBase_ <= static_cast<std::int64_t>(keys_.size()) * 4 + 1024) {
        const auto off = static_cast<size_t>(key - denseBase_);
        if (off >= dense_.size()) dense_.resize(off + 1, -1);
        dense_[off] = static_cast<std::int32_t>(keys_.size() - 1);
    } else {
        lookupValid_ = false;
    }
}

void KeySet::markDeleted(std::int64_t index) {
    if (deleted_.empty()) deleted_.assign(keys_.size(), 0);
    auto i = static_cast<size_t>(index);
    if (deleted_[i]) return;
    deleted_[i] = 1;
    ++deletedCount_;
    if (fenwick_.size() != keys_.size() + 1) {
        fenwick_.assign(keys_.size() + 1, 0);
        for (size_t k = 0; k < keys_.size(); ++k) {
            if (!deleted_[k]) continue;
            for (size_t j = k + 1; j < fenwick_.size(); j += j & (~j + 1)) ++fenwick_[j];
        }
        return;
    }
    for (size_t j = i + 1; j < fenwick_.size(); j += j & (~j + 1)) ++fenwick_[j];
}

std::int64_t KeySet::move(std::int64_t from, std::int64_t before) {
    const std::int64_t to = before > from ? before - 1 : before;  // its index once moved
    if (to == from) return from;
    const auto f = static_cast<size_t>(from), t = static_cast<size_t>(to);
    const size_t lo = std::min(f, t), hi = std::max(f, t);
    if (sorted_) {
        const std::int64_t k = keys_[f];
        const bool afterPrev = to == 0 || keys_[t > f ? t : t - 1] < k;
        const bool beforeNext = t + 1 >= keys_.size() || k < keys_[t > f ? t + 1 : t];
        sorted_ = afterPrev && beforeNext;
    }
    // The deleted rows in the range move one place the other way.
    if (deletedCount_ > 0) {
        auto add = [this](size_t i, int d) {
            for (size_t j = i + 1; j < fenwick_.size(); j += j & (~j + 1)) fenwick_[j] += d;
        };
        for (size_t i = lo; i <= hi; ++i)
            if (deleted_[i] && i != f) {
                add(i, -1);
                add(t > f ? i - 1 : i + 1, +1);
            }
    }
    if (t > f) {
        std::rotate(keys_.begin() + lo, keys_.begin() + lo + 1, keys_.begin() + hi + 1);
        if (!deleted_.empty()) std::rotate(deleted_.begin() + lo, deleted_.begin() + lo + 1, deleted_.begin() + hi + 1);
    } else {
        std::rotate(keys_.begin() + lo, keys_.begin() + hi, keys_.begin() + hi + 1);
        if (!deleted_.empty()) std::rotate(deleted_.begin() + lo, deleted_.begin() + hi, deleted_.begin() + hi + 1);
    }
    if (lookupValid_) {
        if (dense_.empty()) lookupValid_ = false;  // sorted by id: built again when next asked
        else
            for (size_t i = lo; i <= hi; ++i) dense_[static_cast<size_t>(keys_[i] - denseBase_)] = static_cast<std::int32_t>(i);
    }
    return to;
}

std::int64_t KeySet::nextLive(std::int64_t index) const {
    std::int64_t i = index + 1;
    if (i < 0) i = 0;
    while (i < size() && isDeleted(i)) ++i;
    return i;
}

std::int64_t KeySet::prevLive(std::int64_t index) const {
    std::int64_t i = std::min(index - 1, size() - 1);
    while (i >= 0 && isDeleted(i)) --i;
    return i;
}

std::int64_t KeySet::positionOf(std::int64_t index) const {
    if (deletedCount_ == 0) return index;
    // Deleted rows before `index`.
    std::int64_t before = 0;
    for (size_t j = static_cast<size_t>(index); j > 0; j -= j & (~j + 1)) before += fenwick_[j];
    return index - before;
}

std::int64_t KeySet::indexAt(std::int64_t position) const {
    if (position < 0 || position >= liveCount()) return -1;
    if (deletedCount_ == 0) return position;
    // Binary descent: the smallest index i with (i + 1) - deleted(0..i) == position + 1.
    size_t n = fenwick_.size() - 1;
    size_t step = 1;
    while (step * 2 <= n) step *= 2;
    size_t pos = 0;
    std::int64_t remaining = position + 1;  // live rows still to pass
    for (; step > 0; step /= 2) {
        size_t next = pos + step;
        if (next <= n) {
            std::int64_t live = static_cast<std::int64_t>(step) - fenwick_[next];
            if (live < remaining) {
                pos = next;
                remaining -= live;
            }
        }
    }
    return static_cast<std::int64_t>(pos);  // zero-based index of the wanted row
}

void KeySet::buildLookup() {
    dense_.clear();
    byKey_.clear();
    if (!keys_.empty()) {
        auto [mn, mx] = std::minmax_element(keys_.begin(), keys_.end());
        std::int64_t span = *mx - *mn + 1;
        if (span > 0 && span <= static_cast<std::int64_t>(keys_.size()) * 4 + 1024) {
            denseBase_ = *mn;
            dense_.assign(static_cast<size_t>(span), -1);
            for (size_t i = 0; i < keys_.size(); ++i) dense_[static_cast<size_t>(keys_[i] - denseBase_)] = static_cast<std::int32_t>(i);
        } else {
            byKey_.resize(keys_.size());
            std::iota(byKey_.begin(), byKey_.end(), 0);
            std::sort(byKey_.begin(), byKey_.end(), [&](std::int32_t a, std::int32_t b) {
                return keys_[static_cast<size_t>(a)] < keys_[static_cast<size_t>(b)];
            });
        }
    }
    lookupValid_ = true;
}

std::int64_t KeySet::find(std::int64_t key) {
    if (sorted_) {
        auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
        return (it != keys_.end() && *it == key) ? it - keys_.begin() : -1;
    }
    if (!lookupValid_) buildLookup();
    if (!dense_.empty()) {
        std::int64_t off = key - denseBase_;
        if (off < 0 || off >= static_cast<std::int64_t>(dense_.size())) return -1;
        return dense_[static_cast<size_t>(off)];
    }
    auto it = std::lower_bound(byKey_.begin(), byKey_.end(), key,
                               [&](std::int32_t i, std::int64_t k) { return keys_[static_cast<size_t>(i)] < k; });
    if (it != byKey_.end() && keys_[static_cast<size_t>(*it)] == key) return *it;
    return -1;
}

}  // namespace engine
