// The process-wide state a component may change and a host expects to find as it left it: the
// working directory, the file mode mask, the locale, the signal handlers and the calling thread's
// signal mask, a pending alarm, the floating-point environment, the standard descriptors, the
// environment, the C random sequence, and the standard streams' format state. Taken before a
// component runs and compared after; restored after a check in the validator's own process, so
// that one library's changes do not fall on the next. Host's thread.
#pragma once

#include <string>
#include <utility>
#include <vector>

#if !defined(_WIN32)
#include <csignal>
#endif

namespace nelk_validator {

// Threads of this process, and its open descriptors (the listing's own among them); -1 where
// they cannot be counted (no /proc). Any thread.
int threadCount();
int descriptorCount();

class process_state {
public:
    // Takes the state now. The C random sequence is restarted from a known seed, so that a later
    // take can tell whether anything drew from it or reseeded it.
    static process_state take();

    // What differs in `now` from this state, one readable line each ("the working directory
    // changed from /a to /b"); empty when nothing did.
    std::vector<std::string> changesIn(const process_state& now) const;
    // Puts back what can be put back (all but closed or replaced standard descriptors).
    void restore() const;

    // Environment entries whose text lies in the static memory of the library at `library`
    // (putenv of its own text), which dangle once it is unloaded: "NAME=..." each. POSIX.
    static std::vector<std::string> environmentInto(const std::string& library);

private:
    std::string directory_;
    unsigned mask_ = 0;
    std::string locale_;
    std::string globalLocale_;
    std::vector<std::string> handlers_;  // per signal: "default", "ignored", or the handler's address
    std::string signalMask_;
    unsigned alarm_ = 0;
    int rounding_ = 0;
    int traps_ = 0;
    std::vector<std::string> descriptors_;  // 0, 1, 2: device and inode, or "closed"
    std::vector<std::string> environment_;  // sorted "NAME=value"
    int randomDrawn_ = 0;     // the draw the C random sequence gave when this was taken
    int randomExpected_ = 0;  // the draw it gives next if nothing touches it
    struct stream_format {
        long flags;
        long precision;
        long width;
        char fill;
        std::string locale;
    };
    std::vector<stream_format> streams_;  // cin, cout, cerr, clog
#if !defined(_WIN32)
    std::vector<std::pair<int, struct sigaction>> actions_;
    sigset_t blocked_{};
#endif
};

}  // namespace nelk_validator
