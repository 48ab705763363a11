#include "protocol_coverage.h"

#include <cstdio>

namespace nelk_host_tool {

namespace {

struct item_text {
    const char* group;
    const char* name;
    const char* id;  // how --not-applicable names it
};

#define NELK_COVERAGE_VERB_TEXT(verb) {"verbs", #verb, "verb-" #verb},
const item_text texts[] = {
    {"kinds", "1 slot value", "kind-1"},
    {"kinds", "2 control event", "kind-2"},
    {"kinds", "3 command text", "kind-3"},
    {"kinds", "4 timer", "kind-4"},
    {"kinds", "5 answer given back", "kind-5"},
    {"kinds", "6 data pointer", "kind-6"},
    {"kinds", "7 number", "kind-7"},
    {"kinds", "another kind (ignored)", "kind-other"},
    NELK_VERBS(NELK_COVERAGE_VERB_TEXT)
    {"answers", "kind-3 answer null", "answer-null"},
    {"answers", "kind-3 answer text", "answer-text"},
    {"answers", "TG answered with a text", "TG-text"},
    {"answers", "TG answered null", "TG-null"},
    {"answers", "XI answered with a list", "XI-list"},
    {"answers", "PS answered 0 (not shown)", "PS-zero"},
    {"edges", "null record", "null-record"},
    {"edges", "null text in a record", "null-text"},
    {"edges", "null command text", "null-command"},
    {"edges", "nested call", "nested-call"},
    {"edges", "host text given back (kind 5)", "host-text-given-back"},
    {"edges", "kind-3 answer given back", "answer-given-back"},
    {"edges", "\"AS\" during deletion", "AS-in-deletion"},
    {"edges", "command ignored (a value rejected)", "command-ignored"},
    {"edges", "host-side slot change reported", "slot-change-reported"},
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

coverage_counts coverage_counts::fromNumbers(const std::vector<std::uint64_t>& numbers) noexcept {
    coverage_counts made;
    for (std::size_t i = 0; i < numbers.size() && i < made.counts.size(); ++i) made.counts[i] = numbers[i];
    return made;
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

const char* coverageId(coverage_item item) noexcept { return texts[static_cast<int>(item)].id; }

bool coverageItemNamed(const std::string& id, coverage_item& item) noexcept {
    for (int i = 0; i < coverageItems; ++i) {
        if (id == texts[i].id) {
            item = static_cast<coverage_item>(i);
            return true;
        }
    }
    return false;
}

int coverage_counts::applicable(const std::set<coverage_item>& notApplicable) const noexcept {
    return coverageItems - static_cast<int>(notApplicable.size());
}

std::string coverageTable(const coverage_counts& counts, const std::set<coverage_item>& notApplicable) {
    std::string table = "protocol coverage (what of the protocol the run exercised; not code coverage)\n";
    std::string marked;
    for (int i = 0; i < coverageItems; ++i) {
        char line[160];
        const bool skipped = notApplicable.count(static_cast<coverage_item>(i)) != 0;
        std::snprintf(line, sizeof line, "  %-8s %-36s %10llu%s\n", texts[i].group, texts[i].name,
                      static_cast<unsigned long long>(counts.counts[i]),
                      counts.counts[i] != 0 ? "" : skipped ? "" : "  (not covered)");
        (skipped ? marked : table) += line;
    }
    if (!marked.empty()) table += "not applicable to this component (--not-applicable):\n" + marked;
    table += "covered " + std::to_string(counts.covered()) + " of " + std::to_string(counts.applicable(notApplicable)) +
             (notApplicable.empty() ? std::string() : " applicable") + "\n";
    return table;
}

nlohmann::ordered_json coverageJson(const coverage_counts& counts, const std::set<coverage_item>& notApplicable) {
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    for (int i = 0; i < coverageItems; ++i)
        items.push_back({{"group", texts[i].group},
                         {"name", texts[i].name},
                         {"id", texts[i].id},
                         {"count", counts.counts[i]},
                         {"applicable", notApplicable.count(static_cast<coverage_item>(i)) == 0}});
    return {{"event", "coverage"}, {"covered", counts.covered()}, {"of", counts.applicable(notApplicable)}, {"items", items}};
}

}  // namespace nelk_host_tool
