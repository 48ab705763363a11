// Broken on purpose: appends every command it gets to a log in the working directory, without bound.
#include <cstdio>

#include "broken_component.h"

class writes_log_file : public quiet_component {
public:
    using quiet_component::quiet_component;
    nelk_string commandCallback(commandEvent& event) override {
        if (std::FILE* log = std::fopen("component.log", "a")) {
            std::fprintf(log, "%s\n", static_cast<const char*>(event.commandName()));
            std::fclose(log);
        }
        return nelk_string();
    }
};

NELK_BROKEN_ENTRY(writes_log_file)
