// Correct, on the host's clock: shows "countdown.nelk_ui" (whose timer 1 fires every 100 ms) and
// counts its "remaining" label down by one a tick, from 10 or from what "From=N" or the Start
// button says; at 0 it stops the timer, and a start after that shows the panel again, which is
// how a component gets a stopped timer running. Served, saved and replayed by the tests of
// serve's clock; its trace is the one the drift report compares.
#include "broken_component.h"

class countdown : public quiet_component {
public:
    countdown(nelk_host* host, const char* text) : quiet_component(host, text) {
        panelShow("1", "countdown.nelk_ui", nelk_string());
        show();
    }
    void buttonCallback(buttonEvent& event) override {
        if (event.controlId() == "Start") startFrom(event.commandValue());
    }
    nelk_string commandCallback(commandEvent& event) override {
        const nelk_string name = event.commandName();
        if (name == "From") startFrom(event.commandValue());
        if (name == "return" && event.commandValue() == "all") return "From=" + nelk_string(remaining_, '\0', 0, 10);
        if (name == "_commands") return "From=[seconds]";
        return nelk_string();
    }
    void timerCallback(int id) override {
        if (id != 1 || remaining_ == 0) return;
        --remaining_;
        show();
        if (remaining_ == 0) timerStop(1);
    }

private:
    void startFrom(const nelk_string& seconds) {
        const int from = seconds.toInt();
        if (from < 0 || from > 3600) return;
        if (remaining_ == 0) panelShow("1", "countdown.nelk_ui", nelk_string());
        remaining_ = from;
        show();
    }
    void show() { textPut("text", nelk_string(remaining_, '\0', 0, 10), "1", "remaining"); }
    int remaining_ = 10;
};

NELK_BROKEN_ENTRY(countdown)
