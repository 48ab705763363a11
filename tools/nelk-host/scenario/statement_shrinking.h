// Delta debugging over a scenario's statements, as validate --save-failures and the fuzzer's
// findings make the smallest scenario that still fails the same way. Header only; the caller's
// thread, which runs every try.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace nelk_host_tool {

// Drops one of n parts of `kept` (indices into the caller's statements) while `fails(subset)`
// still holds, in finer parts when none can go. Stops with the smallest found so far once
// `spent()` says the budget is used up. `kept` is changed in place and keeps its order.
template <typename Fails, typename Spent>
void shrinkStatements(std::vector<std::size_t>& kept, const Fails& fails, const Spent& spent) {
    std::size_t parts = 2;
    while (kept.size() >= 2 && !spent()) {
        const std::size_t size = (kept.size() + parts - 1) / parts;
        bool reduced = false;
        for (std::size_t start = 0; start < kept.size() && !reduced && !spent(); start += size) {
            std::vector<std::size_t> complement(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(start));
            complement.insert(complement.end(), kept.begin() + static_cast<std::ptrdiff_t>(std::min(start + size, kept.size())),
                              kept.end());
            if (complement.empty() || !fails(complement)) continue;
            kept = complement;
            parts = parts > 2 ? parts - 1 : 2;
            reduced = true;
        }
        if (reduced) continue;
        if (parts >= kept.size()) break;
        parts = std::min(parts * 2, kept.size());
    }
}

}  // namespace nelk_host_tool
