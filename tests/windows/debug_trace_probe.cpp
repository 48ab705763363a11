// Makes textGet write its mismatch trace, with nothing capturing it, so that a debugger (or
// wine's debug channel) sees what OutputDebugStringA received.
#include "nelk_test_kit.h"

int main() {
    nelk_test_kit::recording_host host;
    host.answerText("TG", "Value=1");
    nelk_test_kit::quiet_component component(&host, "");
    nelk_string result;
    component.textGet("value", "1", "alm_1", result);
    return host.finish().empty() ? 0 : 1;
}
