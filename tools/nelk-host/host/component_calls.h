// The steps that every host of nelk-host takes around a call into a component, a line coming back
// from it, its creation and its deletion, whatever its own policy on top (the headless host shows and
// carries out, the validator's subject attacks): the process guard told the event, the protocol
// coverage counted, the component's host rules told that a call begins and ends, and a copy of
// the process that the component forked ended where it returns (process/fork_watch.h). Host's thread;
// `lock`, where given, is held around the rules' bookkeeping, for a component that sends from a
// thread of its own.
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "component_library.h"
#include "host_rules.h"

namespace nelk_host_tool {

// component.callback(data, kind); `event` names the call to the process guard ("kind 3 ...").
// A call that left the stack where the host's calling convention does not (32-bit Windows) is
// reported to `rules` as a breach, and its result is null.
const char* callComponent(nelk_client_callback& component, nelk_test_kit::host_rules& rules, void* data, int kind,
                          const std::string& event, std::recursive_mutex* lock = nullptr);

// The library's entry with `host` and the load text (read during the call); null when it returned
// null. `event` names the creation to the process guard.
nelk_client_callback* createComponent(const nelk_test_kit::component_library& library, nelk_host* host,
                                      const char* loadText, nelk_test_kit::host_rules& rules, const std::string& event);

// Deletes the component as a host does (nelk_test_kit::deleteComponent), the rules expecting "AS"
// during it; a component created without a host cannot send one, so `judgeShutdown` false leaves
// its absence unjudged. The component is gone afterwards.
void deleteAsAHost(nelk_client_callback* component, nelk_test_kit::host_rules& rules, const std::string& event,
                   bool judgeShutdown = true);

// A copy of a non-null kind-3 answer, read as the component's memory: a crash while reading it
// (an answer that points nowhere) is put down to the component, in the call that returned it.
std::string readAnswer(const char* answer);

// One hostSend of the component, judged by its rules (a give-back is settled there) and counted:
// the line to carry out, or nullopt. `text` is read during the call only.
std::optional<nelk_test_kit::command_line> receiveLine(nelk_test_kit::host_rules& rules, const char* text, int kind);

}  // namespace nelk_host_tool
