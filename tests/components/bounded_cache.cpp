// Correct: keeps the last 64 slot texts it was told, a history that stops growing.
#include <deque>
#include <string>

#include "broken_component.h"

class bounded_cache : public quiet_component {
public:
    bounded_cache(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(12, 1, 16, false); }
    ~bounded_cache() override { infoUnregister(12); }
    int slotCallback(slotEvent& event) override {
        history_.emplace_back(static_cast<const char*>(event.slotText()));
        if (history_.size() > 64) history_.pop_front();
        return 0;
    }
    nelk_string commandCallback(commandEvent& event) override {
        if (event.commandName() == "_commands") return "Note=[value]";
        if (event.commandName() == "Note") history_.emplace_back(static_cast<const char*>(event.commandValue()));
        if (history_.size() > 64) history_.pop_front();
        return nelk_string();
    }

private:
    std::deque<std::string> history_;
};

NELK_BROKEN_ENTRY(bounded_cache)
