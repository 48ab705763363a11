// What a run exercised of the protocol: the notification kinds delivered, the verbs received, the
// answers given both ways, and the edge classes met (null records and texts, nested calls,
// give-backs, "AS" in deletion, values a component ignored): protocol coverage, not code
// coverage. Counted by the headless host and the validator's subjects into one table per process;
// `--protocol-coverage` prints it. Counting is on the
// host's thread; the table is plain data.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <vector>
#include <string>

#include <nlohmann/json.hpp>

#include "nelk_protocol.h"

namespace nelk_host_tool {

#define NELK_COVERAGE_VERB(name) verb##name,
enum class coverage_item : int {
    kindSlot, kindControl, kindCommand, kindTimer, kindGiveBack, kindData, kindNumber, kindOther,
    NELK_VERBS(NELK_COVERAGE_VERB)  // verbPS ... verbAS, in the verbs' order
    answerNull, answerText, answerTG, answerTGNull, answerXI, answerPSZero,
    nullRecord, nullText, nullCommand, nestedCall, hostTextGivenBack, answerGivenBack, shutdownInDeletion,
    ignoredCommand, hostSlotChange,
    count
};
#undef NELK_COVERAGE_VERB

constexpr int coverageItems = static_cast<int>(coverage_item::count);

struct coverage_counts {
    std::array<std::uint64_t, coverageItems> counts{};
    void add(coverage_item item) noexcept { ++counts[static_cast<int>(item)]; }
    void merge(const coverage_counts& other) noexcept;
    // Items exercised at least once (an item marked not applicable never is).
    int covered() const noexcept;
    // How many items there are but those marked not applicable.
    int applicable(const std::set<coverage_item>& notApplicable) const noexcept;
    // As plain numbers, in the items' order (how a child process hands them over), and back.
    std::vector<std::uint64_t> numbers() const { return std::vector<std::uint64_t>(counts.begin(), counts.end()); }
    static coverage_counts fromNumbers(const std::vector<std::uint64_t>& numbers) noexcept;
};

// The process's counts, which the headless host and the validator's subjects add to.
coverage_counts& processCoverage() noexcept;
inline void cover(coverage_item item) noexcept { processCoverage().add(item); }
// The kind delivered, as its item (kinds outside 1 to 7: kindOther).
coverage_item kindItem(int kind) noexcept;
// The verb received, as its item.
constexpr coverage_item verbItem(nelk_verb verb) noexcept {
    return static_cast<coverage_item>(static_cast<int>(coverage_item::verbPS) + static_cast<int>(verb));
}
static_assert(verbItem(nelk_verb::AS) == coverage_item::verbAS, "one item a verb, in the verbs' order");

// The table: one line an item with its group and count, the items marked not applicable apart,
// then "covered N of M [applicable]".
std::string coverageTable(const coverage_counts& counts, const std::set<coverage_item>& notApplicable = {});
// The same as one JSON object:
// {"event":"coverage","covered":N,"of":M,"items":[{group,name,id,count,applicable}]}.
nlohmann::ordered_json coverageJson(const coverage_counts& counts, const std::set<coverage_item>& notApplicable = {});
// A short name of the item ("3 command text", "TG", "null record", ...), and its id for
// --not-applicable ("kind-3", "verb-TG", "null-record", ...).
const char* coverageName(coverage_item item) noexcept;
const char* coverageId(coverage_item item) noexcept;
// The item of that id; false when there is none.
bool coverageItemNamed(const std::string& id, coverage_item& item) noexcept;

}  // namespace nelk_host_tool
