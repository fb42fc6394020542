#include "engine/keyset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

using engine::KeySet;

namespace {

// The obvious model of a keyset: keys in order and a deleted flag per index.
struct Reference {
    std::vector<std::int64_t> keys;
    std::vector<bool> deleted;

    std::int64_t size() const { return static_cast<std::int64_t>(keys.size()); }
    std::int64_t live() const { return std::count(deleted.begin(), deleted.end(), false); }
    std::int64_t positionOf(std::int64_t index) const {
        return std::count(deleted.begin(), deleted.begin() + index, false);
    }
    std::int64_t indexAt(std::int64_t position) const {
        for (std::int64_t i = 0, seen = 0; i < size(); ++i)
            if (!deleted[i] && seen++ == position) return i;
        return -1;
    }
    std::int64_t nextLive(std::int64_t index) const {
        for (std::int64_t i = std::max<std::int64_t>(index + 1, 0); i < size(); ++i)
            if (!deleted[i]) return i;
        return size();
    }
    std::int64_t prevLive(std::int64_t index) const {
        for (std::int64_t i = std::min(index - 1, size() - 1); i >= 0; --i)
            if (!deleted[i]) return i;
        return -1;
    }
    std::int64_t find(std::int64_t key) const {
        auto it = std::find(keys.begin(), keys.end(), key);
        return it == keys.end() ? -1 : it - keys.begin();
    }
};

void expectSame(KeySet& ks, const Reference& ref, const std::string& where) {
    SCOPED_TRACE(where);
    ASSERT_EQ(ks.size(), ref.size());
    ASSERT_EQ(ks.liveCount(), ref.live());
    for (std::int64_t i = 0; i < ref.size(); ++i) {
        ASSERT_EQ(ks.isDeleted(i), bool(ref.deleted[i])) << "index " << i;
        if (!ref.deleted[i]) {
            ASSERT_EQ(ks.positionOf(i), ref.positionOf(i)) << "index " << i;
        }
    }
    for (std::int64_t p = -1; p <= ref.live(); ++p) ASSERT_EQ(ks.indexAt(p), ref.indexAt(p)) << "position " << p;
    // From before the first row up to the last, and from after the last down to the first.
    for (std::int64_t i = -1; i < ref.size(); ++i) ASSERT_EQ(ks.nextLive(i), ref.nextLive(i)) << "index " << i;
    for (std::int64_t i = 0; i <= ref.size(); ++i) ASSERT_EQ(ks.prevLive(i), ref.prevLive(i)) << "index " << i;
}

enum class Shape { Sorted, DenseShuffled, SparseShuffled };

std::vector<std::int64_t> makeKeys(Shape shape, int n, std::mt19937& rng) {
    std::vector<std::int64_t> keys(static_cast<size_t>(n));
    if (shape == Shape::SparseShuffled) {
        std::set<std::int64_t> used;
        std::uniform_int_distribution<std::int64_t> pick(-1000000000000LL, 1000000000000LL);
        for (auto& k : keys) {
            do k = pick(rng);
            while (!used.insert(k).second);
        }
    } else {
        std::iota(keys.begin(), keys.end(), 1);
        if (shape == Shape::Sorted) {
            // Gaps like those deletions leave in a table.
            for (size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<std::int64_t>(i) * 3 + 7;
        } else {
            std::shuffle(keys.begin(), keys.end(), rng);
        }
    }
    return keys;
}

TEST(KeySet, PositionsFollowDeletionsAppendsAndMovesLikeTheReference) {
    for (Shape shape : {Shape::Sorted, Shape::DenseShuffled, Shape::SparseShuffled}) {
        for (unsigned seed = 1; seed <= 6; ++seed) {
            std::mt19937 rng(seed * 7919 + static_cast<unsigned>(shape));
            int n = seed == 1 ? 0 : std::uniform_int_distribution<int>(0, 150)(rng);  // one starts empty
            KeySet ks;
            Reference ref;
            ref.keys = makeKeys(shape, n, rng);
            ref.deleted.assign(ref.keys.size(), false);
            ks.assign(ref.keys);
            expectSame(ks, ref, "as assigned");
            std::int64_t nextKey = 2000000000000LL;
            for (int step = 0; step < 120; ++step) {
                int op = std::uniform_int_distribution<int>(0, 9)(rng);
                if (op >= 5 && op < 8 && ref.live() > 0) {
                    // A live key moves before another place (an index field was written).
                    std::int64_t from = ref.indexAt(std::uniform_int_distribution<std::int64_t>(0, ref.live() - 1)(rng));
                    std::int64_t before = std::uniform_int_distribution<std::int64_t>(0, ref.size())(rng);
                    std::int64_t to = ks.move(from, before);
                    auto key = ref.keys[static_cast<size_t>(from)];
                    ref.keys.erase(ref.keys.begin() + from);
                    ref.deleted.erase(ref.deleted.begin() + from);
                    std::int64_t at = before > from ? before - 1 : before;
                    ref.keys.insert(ref.keys.begin() + at, key);
                    ref.deleted.insert(ref.deleted.begin() + at, false);
                    ASSERT_EQ(to, at);
                } else if (op < 5 && ref.live() > 0) {
                    std::int64_t victim = ref.indexAt(std::uniform_int_distribution<std::int64_t>(0, ref.live() - 1)(rng));
                    ks.markDeleted(victim);
                    ref.deleted[static_cast<size_t>(victim)] = true;
                } else {
                    // New records go to the end, their ids above the others.
                    std::int64_t key = shape == Shape::Sorted ? nextKey++ : ref.size() + 1;
                    if (shape == Shape::SparseShuffled) key = nextKey++;
                    ks.append(key);
                    ref.keys.push_back(key);
                    ref.deleted.push_back(false);
                }
                expectSame(ks, ref, "shape " + std::to_string(int(shape)) + " seed " + std::to_string(seed) +
                                        " step " + std::to_string(step));
                for (std::int64_t i = 0; i < ref.size(); ++i) ASSERT_EQ(ks.find(ref.keys[static_cast<size_t>(i)]), i);
                if (ks.sorted()) {
                    ASSERT_TRUE(std::is_sorted(ref.keys.begin(), ref.keys.end())) << "step " << step;
                }
                if (HasFatalFailure()) return;
            }
        }
    }
}

TEST(KeySet, FindLocatesEveryKeyAndNothingElse) {
    for (Shape shape : {Shape::Sorted, Shape::DenseShuffled, Shape::SparseShuffled}) {
        SCOPED_TRACE(int(shape));
        std::mt19937 rng(42);
        KeySet ks;
        Reference ref;
        ref.keys = makeKeys(shape, 500, rng);
        ref.deleted.assign(ref.keys.size(), false);
        ks.assign(ref.keys);
        EXPECT_EQ(ks.sorted(), shape == Shape::Sorted);
        ks.markDeleted(10);  // a deleted row still has its index
        for (std::int64_t k : ref.keys) ASSERT_EQ(ks.find(k), ref.find(k)) << k;
        std::uniform_int_distribution<std::int64_t> pick(-2000, 5000);
        for (int i = 0; i < 300; ++i) {
            std::int64_t k = pick(rng);
            ASSERT_EQ(ks.find(k), ref.find(k)) << k;
        }
        // An append out of order makes a sorted keyset unsorted; lookups follow.
        ks.append(-5);
        ref.keys.push_back(-5);
        EXPECT_FALSE(ks.sorted());
        EXPECT_EQ(ks.find(-5), ref.size() - 1);
        EXPECT_EQ(ks.find(ref.keys[3]), 3);
    }
}

}  // namespace

// Row ids read in any order come out in the order a sorted read gives:
// negative ids, ids far apart, repeats, and sets small and large.
TEST(SortKeys, OrdersLikeAnOrderedRead) {
    std::mt19937_64 rnd(3);
    for (std::size_t n : {0u, 7u, 5000u, 300000u}) {
        std::vector<std::int64_t> keys(n);
        for (auto& k : keys) {
            switch (rnd() % 4) {
            case 0: k = static_cast<std::int64_t>(rnd() % 1000000); break;
            case 1: k = -static_cast<std::int64_t>(rnd() % 1000); break;
            case 2: k = static_cast<std::int64_t>(rnd()); break;
            default: k = 42;
            }
        }
        std::vector<std::int64_t> expected = keys;
        std::sort(expected.begin(), expected.end());
        engine::sortKeys(keys);
        EXPECT_EQ(keys, expected) << n << " keys";
    }
}
