// Broken on purpose: sends two lines in one hostSend, joined by a line feed.
#include "broken_component.h"

class joined_lines : public quiet_component {
public:
    using quiet_component::quiet_component;
    void timerCallback(int id) override {
        host->hostSend("TP 'text=done\nET 1' '1' 'status'", 0);
        timerStop(id);
    }
};

NELK_BROKEN_ENTRY(joined_lines)
