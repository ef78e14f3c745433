// Longest-common-subsequence diff, after trimming the common head and tail.
#include <algorithm>
#include <cstdint>

#include "host.h"

namespace host {

namespace {

// 4 Mi cells of 32 bits: 16 MiB, a few thousand lines against a few thousand.
constexpr size_t kMaxCells = size_t(1) << 22;

void DiffMiddle(size_t oldBegin, size_t oldEnd, size_t newBegin, size_t newEnd,
                const std::function<bool(size_t, size_t)> &equal, std::vector<DiffStep> *steps) {
    size_t n = oldEnd - oldBegin;
    size_t m = newEnd - newBegin;
    if (n == 0 || m == 0 || n * m > kMaxCells) {
        for (size_t i = oldBegin; i < oldEnd; ++i) steps->push_back({kDiffRemove, i, 0});
        for (size_t j = newBegin; j < newEnd; ++j) steps->push_back({kDiffAdd, 0, j});
        return;
    }
    // lcs[i][j]: common length of old[i..] and new[j..].
    std::vector<uint32_t> lcs((n + 1) * (m + 1), 0);
    auto at = [&](size_t i, size_t j) -> uint32_t & { return lcs[i * (m + 1) + j]; };
    for (size_t i = n; i-- > 0;) {
        for (size_t j = m; j-- > 0;) {
            at(i, j) = equal(oldBegin + i, newBegin + j) ? at(i + 1, j + 1) + 1
                                                         : std::max(at(i + 1, j), at(i, j + 1));
        }
    }
    size_t i = 0;
    size_t j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && equal(oldBegin + i, newBegin + j)) {
            steps->push_back({kDiffKeep, oldBegin + i++, newBegin + j++});
        } else if (i < n && (j == m || at(i + 1, j) >= at(i, j + 1))) {
            steps->push_back({kDiffRemove, oldBegin + i++, 0});
        } else {
            steps->push_back({kDiffAdd, 0, newBegin + j++});
        }
    }
}

// Within each run of changes, the removed elements come before the added
// ones, as a reader of a diff expects.
void RemovalsFirst(std::vector<DiffStep> *steps) {
    auto runStart = steps->begin();
    while (runStart != steps->end()) {
        if (runStart->kind == kDiffKeep) {
            ++runStart;
            continue;
        }
        auto runEnd = std::find_if(runStart, steps->end(),
                                   [](const DiffStep &s) { return s.kind == kDiffKeep; });
        std::stable_partition(runStart, runEnd,
                              [](const DiffStep &s) { return s.kind == kDiffRemove; });
        runStart = runEnd;
    }
}

}  // namespace

std::vector<DiffStep> DiffSequences(size_t oldCount, size_t newCount,
                                    const std::function<bool(size_t, size_t)> &equal) {
    std::vector<DiffStep> steps;
    size_t head = 0;
    while (head < oldCount && head < newCount && equal(head, head)) {
        steps.push_back({kDiffKeep, head, head});
        ++head;
    }
    size_t tail = 0;
    while (tail < oldCount - head && tail < newCount - head &&
           equal(oldCount - 1 - tail, newCount - 1 - tail)) {
        ++tail;
    }
    DiffMiddle(head, oldCount - tail, head, newCount - tail, equal, &steps);
    for (size_t k = tail; k > 0; --k) steps.push_back({kDiffKeep, oldCount - k, newCount - k});
    RemovalsFirst(&steps);
    return steps;
}

}  // namespace host
