// nelk-host without a subcommand: the built-in demo, two Corvane panels on one slot.
#include <cstdio>

#include "runner/host_options.h"
#include "runner/scenario_host.h"
#include "scenario/demo_scenario.h"

namespace nelk_host_tool {

int runDemo(host_options& host) {
    if (!prepared(host)) return 2;
    if (!loadable(host.library)) return 2;
    const guarded_run guard(host);
    scenario_host session(host);
    const int status = exitStatus(session.runner.runText("demo", demoScenario(host.library)));
    if (status == 0 && host.style() == transcript_style::readable)
        std::printf("demo finished: both panels showed the slot's text\n");
    return status;
}

}  // namespace nelk_host_tool
