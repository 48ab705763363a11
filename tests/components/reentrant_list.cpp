// Broken on purpose: keeps the texts of its slot in a list and walks the list by reference while
// it sends, so a slot event nested inside hostSend grows the list under the walk.
#include <string>
#include <vector>

#include "broken_component.h"

class reentrant_list : public quiet_component {
public:
    reentrant_list(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(5, 1, 1, false); }
    int slotCallback(slotEvent& event) override {
        history_.push_back(std::string(event.slotText()));
        for (const std::string& text : history_) textPut("text", text.c_str(), "1", "history");
        return 0;
    }

private:
    std::vector<std::string> history_;
};

NELK_BROKEN_ENTRY(reentrant_list)
