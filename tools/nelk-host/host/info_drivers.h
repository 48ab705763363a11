// The info drivers a panel host keeps, and what each component registered with them: the rules
// of "IR", "IU" and "IW" in one place for every host nelk-host plays (the headless host and the
// validator's host). Drivers are 1 to 999 and slots 1 to 4096 (nelk_range); a registration is
// clamped to the slots that exist. Plain state; the host's thread.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace nelk_host_tool {

// Whether a driver and a slot exist on a host.
bool slotExists(int driver, int slot) noexcept;
// "no slot DRIVER/SLOT (drivers 1-999, slots 1-4096)".
std::string noSuchSlot(int driver, int slot);

// The slots' texts: a host stores what is written and reports it.
class slot_store {
public:
    struct stored_slot {
        int driver;
        int slot;
        std::string text;
    };
    // The text of a slot, null when never written; valid until the slot changes.
    const std::string* text(int driver, int slot) const;
    void store(int driver, int slot, const std::string& text) { drivers_[driver][slot] = text; }
    // Every stored slot, by driver and slot.
    std::vector<stored_slot> all() const;
    // The stored slots of `driver` from `first` to `last`, in order.
    std::vector<std::pair<int, std::string>> range(int driver, int first, int last) const;

private:
    std::map<int, std::map<int, std::string>> drivers_;
};

// The slot ranges one component registered, by driver.
class slot_registrations {
public:
    // "IR driver first last": replaces the driver's ranges (or adds to them with `add`). The range
    // is clamped to the slots that exist; what was registered, or nullopt when nothing was (no
    // such driver: `driverExists` false; or no slot in the range).
    std::optional<std::pair<int, int>> registerRange(int driver, int first, int last, bool add, bool& driverExists);
    // "IU driver": false when nothing of it was registered.
    bool unregister(int driver);
    void clear() { drivers_.clear(); }
    bool covers(int driver, int slot) const;
    // How many ranges are registered, and the first of them (driver, first, last) when any.
    std::size_t count() const noexcept;
    std::optional<std::tuple<int, int, int>> first() const;
    const std::map<int, std::set<std::pair<int, int>>>& byDriver() const noexcept { return drivers_; }

private:
    std::map<int, std::set<std::pair<int, int>>> drivers_;
};

}  // namespace nelk_host_tool
