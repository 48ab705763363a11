// The thread a check calls components on: one with the stack a Windows host's thread has (1 MB),
// not the 8 MB of a Linux program's main thread, so that a component that needs more than a host
// gives it overflows here too, where the process guard reports it. Called from the validator's
// thread; returns when `body` has.
#pragma once

#include <functional>

namespace nelk_validator {

// The stack a panel host's thread has.
constexpr unsigned long hostStackBytes = 1024UL * 1024UL;

// Runs `body` on a new thread with a stack of hostStackBytes (and an alternate stack for the
// guard's handlers), and waits for it; runs it on the calling thread where no such thread can be
// made.
void onHostSizedThread(const std::function<void()>& body);

}  // namespace nelk_validator
