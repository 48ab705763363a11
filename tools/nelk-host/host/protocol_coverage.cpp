#include "protocol_coverage.h"

#include <cstdio>

namespace nelk_host_tool {

namespace {

struct item_text {
    const char* group;
    const char* name;
};

#define NELK_COVERAGE_VERB_TEXT(verb) {"verbs", #verb},
const item_text texts[] = {
    {"kinds", "1 slot value"},
    {"kinds", "2 control event"},
    {"kinds", "3 command text"},
    {"kinds", "4 timer"},
    {"kinds", "5 answer given back"},
    {"kinds", "6 data pointer"},
    {"kinds", "7 number"},
    {"kinds", "another kind (ignored)"},
    NELK_VERBS(NELK_COVERAGE_VERB_TEXT)
    {"answers", "kind-3 answer null"},
    {"answers", "kind-3 answer text"},
    {"answers", "TG answered with a text"},
    {"answers", "TG answered null"},
    {"answers", "XI answered with a list"},
    {"answers", "PS answered 0 (not shown)"},
    {"edges", "null record"},
    {"edges", "null text in a record"},
    {"edges", "null command text"},
    {"edges", "nested call"},
    {"edges", "host text given back (kind 5)"},
    {"edges", "kind-3 answer given back"},
    {"edges", "\"AS\" during deletion"},
    {"edges", "command ignored (a value rejected)"},
    {"edges", "host-side slot change reported"},
};
#undef NELK_COVERAGE_VERB_TEXT
static_assert(sizeof texts / sizeof texts[0] == coverageItems, "a text for every item");

}  // namespace

void coverage_counts::merge(const coverage_counts& other) noexcept {
    for (int i = 0; i < coverageItems; ++i) counts[i] += other.counts[i];
}

int coverage_counts::covered() const noexcept {
    int covered = 0;
    for (const std::uint64_t count : counts) covered += count > 0 ? 1 : 0;
    return covered;
}

coverage_counts& processCoverage() noexcept {
    static coverage_counts counts;
    return counts;
}

coverage_item kindItem(int kind) noexcept {
    if (kind < 1 || kind > 7) return coverage_item::kindOther;
    return static_cast<coverage_item>(static_cast<int>(coverage_item::kindSlot) + kind - 1);
}

const char* coverageName(coverage_item item) noexcept { return texts[static_cast<int>(item)].name; }

std::string coverageTable(const coverage_counts& counts) {
    std::string table = "protocol coverage\n";
    for (int i = 0; i < coverageItems; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "  %-8s %-36s %10llu%s\n", texts[i].group, texts[i].name,
                      static_cast<unsigned long long>(counts.counts[i]), counts.counts[i] == 0 ? "  (not covered)" : "");
        table += line;
    }
    table += "covered " + std::to_string(counts.covered()) + " of " + std::to_string(coverageItems) + "\n";
    return table;
}

nlohmann::ordered_json coverageJson(const coverage_counts& counts) {
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    for (int i = 0; i < coverageItems; ++i)
        items.push_back({{"group", texts[i].group}, {"name", texts[i].name}, {"count", counts.counts[i]}});
    return {{"event", "coverage"}, {"covered", counts.covered()}, {"of", coverageItems}, {"items", items}};
}

}  // namespace nelk_host_tool
