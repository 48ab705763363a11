// Processes that a component started and that escaped the end of the process they were started
// in: a helper that called setsid() leaves the process group its worker or scenario process is
// ended by, and would outlive nelk-host holding its standard output (`nelk-host run | tee log`
// would never end). Made a subreaper, nelk-host becomes the parent of such orphans and ends them
// when the process they came from has ended. Linux; elsewhere both do nothing. Main thread.
#pragma once

#include <string>
#include <vector>

namespace nelk_host_tool {

// The variable a worker process sets in its own environment, which everything its components
// start inherits, so that what they leave behind is told from what nelk-host started itself.
constexpr const char* workerMark = "NELK_HOST_WORKER";

// Orphans of this process's descendants become its children from now on (PR_SET_CHILD_SUBREAPER).
void adoptOrphans();

// Ends (SIGKILL, with their process groups) and reaps every child of this process, or with
// `marked` only those whose environment holds that variable (the mark a worker leaves on what it
// starts: what the server started itself, a browser's helpers, is left alone), again and again
// while ending them brings their own children home; the command names of those ended ("sleep
// (pid 412)"), for the message that says so.
std::vector<std::string> endAdoptedChildren(const char* marked = nullptr);

}  // namespace nelk_host_tool
