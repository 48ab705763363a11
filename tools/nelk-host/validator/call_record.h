// What the subjects of a check did, written as it happens (every line flushed, so that it holds
// everything up to a crash) when the validator asked for it (--save-failures): the statements
// of nelk-host's scenario language that replay each call, the host's answers, and where the
// first breach showed. failure_scenario.h reads it back. One file per check's process; host's
// thread (the hosts' answers may come from a component's own thread: they are locked).
#pragma once

#include <string>

namespace nelk_validator {

namespace call_record {

// Starts writing to `path` (replacing it); "" stops. Nothing is written while stopped.
void writeTo(const std::string& path);
bool on() noexcept;
// A name for a new subject: S1, S2, ...
std::string newName();

// The record's lines: a call begins ("C statement"), the host answered a line of it
// ("A answer-statement"), the call ended ("E"), the first breach showed in the call that just
// ended ("B"), a note ("N text").
void begin(const std::string& statement);
void answer(const std::string& statement);
void end();
void breach();
void note(const std::string& text);

}  // namespace call_record

}  // namespace nelk_validator
