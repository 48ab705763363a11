// Fuzzes the alarm broadcast with a host that answers "XI" and "TG" with fuzzed texts: every
// listed control gets its "alarm" line first, and every host text is given back once.
#include <cstdint>
#include <string>

#include "fuzz_input.h"

namespace {

int items(const std::string& list) {
    if (list.empty()) return 0;
    int count = 1;
    for (char byte : list) count += byte == ',' ? 1 : 0;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    nelk_test_kit::recording_host host;
    const bool nullList = input.ConsumeIntegralInRange(0, 9) == 0;
    const std::string list = input.ConsumeRandomLengthString(128);
    host.answerText("XI", nullList ? std::nullopt : std::optional<std::string>(list));
    host.answerText("TG", input.ConsumeBool() ? std::nullopt : std::optional<std::string>(input.ConsumeRandomLengthString(32)));
    nelk_test_kit::quiet_component component(&host, "", true);
    const bool acknowledge = input.ConsumeBool();
    const std::string command = input.ConsumeRandomLengthString(32);
    nelk_test_kit::sendControl(component, acknowledge ? "AckAll" : "ActionAll", command);

    const auto& lines = host.lines();
    // The component reads the answer up to its first zero byte.
    const int controls = nullList ? 0 : items(list.substr(0, list.find('\0')));
    int alarms = 0;
    for (const std::string& line : lines) alarms += line.compare(0, 10, "TP 'alarm=") == 0 ? 1 : 0;
    const bool broadcast = acknowledge || command.compare(0, 5, "alarm") == 0;
    if (broadcast && (command.size() == 5 || command[5] == '=' || command[5] == '.' || acknowledge)) {
        nelk_fuzz::require(!lines.empty() && lines.front() == "XI '1' 'alm_'");
        nelk_fuzz::require(alarms == controls);
        nelk_fuzz::require(lines.size() <= 1 + 3 * static_cast<std::size_t>(controls));
    }
    nelk_fuzz::require(host.finish().empty());
    return 0;
}
