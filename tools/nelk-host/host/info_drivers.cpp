#include "info_drivers.h"

#include <algorithm>
#include <tuple>

#include "nelk_protocol.h"

namespace nelk_host_tool {

bool slotExists(int driver, int slot) noexcept {
    return driver >= nelk_range::firstDriver && driver <= nelk_range::lastDriver && slot >= nelk_range::firstSlot &&
           slot <= nelk_range::lastSlot;
}

std::string noSuchSlot(int driver, int slot) {
    using namespace nelk_range;
    return "no slot " + std::to_string(driver) + "/" + std::to_string(slot) + " (drivers " + std::to_string(firstDriver) +
           "-" + std::to_string(lastDriver) + ", slots " + std::to_string(firstSlot) + "-" + std::to_string(lastSlot) + ")";
}

const std::string* slot_store::text(int driver, int slot) const {
    const auto slots = drivers_.find(driver);
    if (slots == drivers_.end()) return nullptr;
    const auto found = slots->second.find(slot);
    return found != slots->second.end() ? &found->second : nullptr;
}

std::vector<slot_store::stored_slot> slot_store::all() const {
    std::vector<stored_slot> slots;
    for (const auto& driver : drivers_) {
        for (const auto& slot : driver.second) slots.push_back({driver.first, slot.first, slot.second});
    }
    return slots;
}

std::vector<std::pair<int, std::string>> slot_store::range(int driver, int first, int last) const {
    std::vector<std::pair<int, std::string>> found;
    const auto slots = drivers_.find(driver);
    if (slots == drivers_.end()) return found;
    for (auto at = slots->second.lower_bound(first); at != slots->second.end() && at->first <= last; ++at) found.push_back(*at);
    return found;
}

std::optional<std::pair<int, int>> slot_registrations::registerRange(int driver, int first, int last, bool add,
                                                                     bool& driverExists) {
    driverExists = driver >= nelk_range::firstDriver && driver <= nelk_range::lastDriver;
    if (!driverExists) return std::nullopt;
    if (!add) drivers_.erase(driver);
    const int from = std::max(first, nelk_range::firstSlot);
    const int to = std::min(last, nelk_range::lastSlot);
    if (from > to) return std::nullopt;
    drivers_[driver].insert({from, to});
    return std::make_pair(from, to);
}

bool slot_registrations::unregister(int driver) { return drivers_.erase(driver) > 0; }

bool slot_registrations::covers(int driver, int slot) const {
    const auto ranges = drivers_.find(driver);
    if (ranges == drivers_.end()) return false;
    return std::any_of(ranges->second.begin(), ranges->second.end(),
                       [slot](const std::pair<int, int>& range) { return slot >= range.first && slot <= range.second; });
}

std::size_t slot_registrations::count() const noexcept {
    std::size_t total = 0;
    for (const auto& driver : drivers_) total += driver.second.size();
    return total;
}

std::optional<std::tuple<int, int, int>> slot_registrations::first() const {
    for (const auto& driver : drivers_) {
        if (!driver.second.empty()) return std::make_tuple(driver.first, driver.second.begin()->first, driver.second.begin()->second);
    }
    return std::nullopt;
}

}  // namespace nelk_host_tool
