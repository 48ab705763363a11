// The platform's debugger output: OutputDebugStringA on Windows, standard error elsewhere.
#pragma once

namespace nelk_debugger_output {

// Writes `text` (zero-terminated, read during the call) unchanged: one write, nothing added.
void write(const char* text);

}  // namespace nelk_debugger_output
