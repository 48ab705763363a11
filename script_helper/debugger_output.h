// The platform's debugger output: OutputDebugStringA on Windows, standard error elsewhere.
// Internal to the framework; any thread, though the framework writes only from the host's.
#pragma once

#include "nelk_string.h"

namespace nelk_debugger_output {

// Writes `text` (zero-terminated, read during the call) unchanged: one write, nothing added.
void write(const char* text);

// Fills the `count` lowest markers of `format` with `texts` in one pass (nelk_string::argEach)
// and writes the result. Everything is read during the call only.
void trace(const nelk_string& format, const nelk_string* const* texts, int count);

}  // namespace nelk_debugger_output
