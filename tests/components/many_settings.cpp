// Correct: takes 300 settings, each a command and each in its settings' answer.
#include <cstdlib>
#include <string>
#include <vector>

#include "broken_component.h"

class many_settings : public quiet_component {
public:
    many_settings(nelk_host* host, const char* text) : quiet_component(host, text), values_(300, 0) {}
    nelk_string commandCallback(commandEvent& event) override {
        const std::string name(static_cast<const char*>(event.commandName()));
        if (name == "_commands" || (name == "return" && event.commandValue() == "all")) {
            std::string answer;
            for (std::size_t i = 0; i < values_.size(); ++i)
                answer += "Setting" + std::to_string(i) + "=" + (name == "_commands" ? "[value]" : std::to_string(values_[i])) + "\n";
            return nelk_string(answer.c_str());
        }
        if (name.compare(0, 7, "Setting") == 0) {
            const std::size_t index = std::strtoul(name.c_str() + 7, nullptr, 10);
            if (index < values_.size()) values_[index] = event.commandValueView().firstInt();
        }
        return nelk_string();
    }

private:
    std::vector<int> values_;
};

NELK_BROKEN_ENTRY(many_settings)
