#include "component_profile.h"

#include <algorithm>
#include <climits>
#include <sstream>

namespace nelk_validator {

namespace {

std::vector<std::string> linesOf(const std::optional<std::string>& answer) {
    std::vector<std::string> lines;
    if (!answer) return lines;
    std::istringstream stream(*answer);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

component_profile learnProfile(subject& target) {
    component_profile profile;
    for (const std::string& line : linesOf(target.command("_commands"))) {
        const std::string name = line.substr(0, line.find('='));
        if (!name.empty() && std::find(profile.commands.begin(), profile.commands.end(), name) == profile.commands.end())
            profile.commands.push_back(name);
    }
    for (const std::string& line : linesOf(target.command("return=all"))) {
        const std::size_t equals = line.find('=');
        if (equals == 0 || equals == std::string::npos) continue;
        profile.settings.emplace_back(line.substr(0, equals), line.substr(equals + 1));
        // A setting is a command too, whether "_commands" lists it or not.
        const std::string name = line.substr(0, equals);
        if (std::find(profile.commands.begin(), profile.commands.end(), name) == profile.commands.end())
            profile.commands.push_back(name);
    }
    return profile;
}

const std::vector<std::string>& edgeValues() {
    static const std::vector<std::string> values = {
        "",
        "0",
        "-1",
        "1",
        "7",
        "12",
        "100",
        "101",
        "255",
        "256",
        "999",
        "1000",
        "4096",
        "4097",
        "65536",
        std::to_string(INT_MAX),
        std::to_string(INT_MIN),
        "4294967308",  // 2^32 + 12: wraps to 12 where 32 bits are assumed
        "99999999999999999999",
        "-0",
        "+5",
        " 12",
        "1e9",
        "0x10",
        std::string(65536, 'x'),
        "'quoted' it's",
        "\"double\"",
        "%1 %2 %9 %99 %",
        "trailing\\",
        "\\",
        "a.b=c.d",
        "..==..",
        "=",
        "line\nfeed",
        "tab\tand\x01control",
        "\xff\xfe high bytes",
    };
    return values;
}

std::string randomText(std::mt19937_64& random) {
    static const char alphabet[] = "abcXYZ0123456789.=.=,'%% -_\n\\\"";
    const std::size_t length = random() % 4 == 0 ? random() % 200 : random() % 16;
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += random() % 16 == 0 ? static_cast<char>(1 + random() % 255) : alphabet[random() % (sizeof alphabet - 1)];
    }
    return text;
}

int randomNumber(std::mt19937_64& random) {
    switch (random() % 4) {
    case 0: return static_cast<int>(random() % 20);
    case 1: return static_cast<int>(random() % 5000);
    case 2: return static_cast<int>(static_cast<std::uint32_t>(random()));
    default: return random() % 2 == 0 ? INT_MIN : INT_MAX;
    }
}

std::string randomValue(std::mt19937_64& random) {
    switch (random() % 3) {
    case 0: return std::to_string(randomNumber(random));
    case 1: return std::to_string(static_cast<long long>(random() >> 1));  // beyond 32 bits
    default: return randomText(random);
    }
}

void exercise(subject& target, const component_profile& profile) {
    for (const char* query : {"_commands", "_events", "return=all", "return", ""}) target.command(query);
    for (const char* value : {"1", "7", "12"}) {
        for (const std::string& name : profile.commands) target.command(name + "=" + value);
    }
    for (const auto& setting : profile.settings) target.command(setting.first + "=" + setting.second);
    for (const std::string& name : profile.commands) target.command(name + "=probe text");
    target.command("return=all");
    target.command("unknown-name=1");

    // The slots the component registered for (the first ones and both ends of each range), and
    // one it did not.
    std::vector<registration> slots = target.host().registrations();
    slots.push_back(registration{13, 1, 1});
    for (const registration& each : slots) {
        const long long last = std::min<long long>(each.last, static_cast<long long>(each.first) + 2);
        for (long long slot = each.first; slot <= last; ++slot) target.slot(each.driver, static_cast<int>(slot), std::string("slot text"));
        if (each.last > last) {
            target.slot(each.driver, each.last - 1, std::string("slot text"));
            target.slot(each.driver, each.last, std::string("slot text"));
        }
    }
    // The framework's group controls, the controls the component set, and one it never named.
    std::vector<std::pair<std::string, std::string>> controls = {
        {"ActionAll", "alarm=1"}, {"AckAll", "ack"}, {"ActionAll", "alarm=ack"}, {"button1", "press=1"}};
    for (const std::string& id : target.host().controls()) controls.emplace_back(id, "press=1");
    for (const auto& control : controls) target.control(control.first, control.second);
    target.timer(1);
    target.number(7);
    target.data("data");
}

}  // namespace nelk_validator
