// nelk-host run --drift TRACE: where nelk-host's model of a host differs from what a real host
// did. A tap trace (docs/tap.md) holds the real host's answers, slot events and timer ticks; the
// report replays its calls into the component with the model's own answers, slot events and
// clock in their place and lists each place where the two differ. Main thread.
#pragma once

#include <string>
#include <vector>

#include "runner/host_options.h"

namespace nelk_host_tool {

// One place where the model and the recorded host differ: the trace's "file:line" it belongs to
// (the recorded statement, or the one during which the model did what the host did not), and
// what differs, in one sentence.
struct drift_difference {
    std::string where;
    std::string text;
};

struct drift_result {
    std::vector<drift_difference> differences;
    int outsideSlotChanges = 0;  // slot texts the host changed from elsewhere, put into the model's store
    std::string problem;         // set when the trace could not be replayed at all
};

// Replays the trace at `path` on a fresh model host made from `options` (its library line and
// "load" statements as in `run`) and compares: the answers to "PS" (shown or not), "TG" and
// "XI"; the slot events each instance got; the timer ticks. The component's own lines are not
// compared (run does that). The component is called in this process.
drift_result driftOf(const host_options& options, const std::string& path);

// Prints the differences ("TRACE:LINE: drift: ...") and a summary on standard output; 0 when
// there are none, 1 when there are, 2 when the trace cannot be replayed.
int reportDrift(const host_options& options, const std::string& path);

}  // namespace nelk_host_tool
