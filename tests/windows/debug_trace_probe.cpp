// Makes textGet write its mismatch trace, with nothing capturing it, so that a debugger (or
// wine's debug channel) sees what OutputDebugStringA received.
#include "nelk_test_kit.h"

namespace {

class probe_component : public nelk_script_helper {
public:
    explicit probe_component(nelk_host* host) : nelk_script_helper(host, "") {}
    void buttonCallback(buttonEvent&) override {}
    int slotCallback(slotEvent&) override { return 0; }
    nelk_string commandCallback(commandEvent&) override { return nelk_string(); }
    void timerCallback(int) override {}
    void readValue() {
        nelk_string result;
        textGet("value", "1", "alm_1", result);
    }
};

}  // namespace

int main() {
    nelk_test_kit::recording_host host;
    host.answerText("TG", "Value=1");
    probe_component component(&host);
    component.readValue();
    return host.finish().empty() ? 0 : 1;
}
