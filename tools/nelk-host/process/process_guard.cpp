#include "process_guard.h"

#include <csignal>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <io.h>
#else
#include <execinfo.h>
#include <pthread.h>
#include <ucontext.h>
#include <unistd.h>
#endif

namespace nelk_process_guard {

namespace {

reporter report_ = nullptr;
int failingStatus_ = 1;
volatile std::sig_atomic_t armed_ = 0;
volatile std::sig_atomic_t ended_ = 0;
fault_describer describer_ = nullptr;

char where_[512] = "";
char ownEvent_[1024] = "";
char* event_ = ownEvent_;
std::size_t eventSize_ = sizeof ownEvent_;
char what_[256] = "";
volatile std::sig_atomic_t componentDepth_ = 0;
volatile std::sig_atomic_t hostWork_ = 0;
volatile std::sig_atomic_t endWithStatus_ = 0;
volatile std::sig_atomic_t onPurpose_ = 0;
#if !defined(_WIN32)
pthread_t hostThread_;
#endif

// Whose code was running; called in the ending itself.
culprit currentCulprit() noexcept {
#if !defined(_WIN32)
    if (!pthread_equal(pthread_self(), hostThread_)) return culprit::componentThread;
#endif
    return componentDepth_ == 0 && hostWork_ ? culprit::host : culprit::component;
}

const int maxFrames = 64;
std::uintptr_t frames_[maxFrames];

void copyInto(char* buffer, std::size_t size, const char* text) noexcept {
    if (size == 0) return;
    buffer[0] = '\0';
    append(buffer, size, text);
}

const char* signalName(int signal) noexcept {
    switch (signal) {
    case SIGSEGV: return "Segmentation fault";
    case SIGFPE: return "Floating point exception";
    case SIGILL: return "Illegal instruction";
    case SIGABRT: return "Aborted";
#if !defined(_WIN32)
    case SIGBUS: return "Bus error";
    case SIGSYS: return "Bad system call";
    case SIGTRAP: return "Trace/breakpoint trap";
#endif
    default: return "signal";
    }
}

// Tells the reporter once; true when this call is the one that did.
bool tell(const ending& end) noexcept {
    if (!armed_ || ended_) return false;
    ended_ = 1;
    if (report_ != nullptr) report_(end);
    return true;
}

#if defined(_WIN32)
const int guardedSignals[] = {SIGSEGV, SIGFPE, SIGILL, SIGABRT};

void onSignal(int signal) {
    copyInto(what_, sizeof what_, "crashed with signal ");
    appendNumber(what_, sizeof what_, signal);
    append(what_, sizeof what_, " (");
    append(what_, sizeof what_, signalName(signal));
    append(what_, sizeof what_, ")");
    tell(ending{what_, signal, 0, where_, event_, "", 0, frames_, 0, currentCulprit()});
    std::_Exit(failingStatus_);
}
#else
const int guardedSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGSYS, SIGTRAP};
struct sigaction previous_[sizeof guardedSignals / sizeof guardedSignals[0]];

std::uintptr_t faultingPc(void* context) noexcept {
    const ucontext_t* state = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<std::uintptr_t>(state->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
    return static_cast<std::uintptr_t>(state->uc_mcontext.gregs[REG_EIP]);
#else
    (void)state;
    return 0;
#endif
}

bool faultWasWrite(void* context) noexcept {
#if defined(__x86_64__) || defined(__i386__)
    return (static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
    (void)context;
    return false;
#endif
}

void onSignal(int signal, siginfo_t* info, void* context) {
    if (armed_ && !ended_) {
        copyInto(what_, sizeof what_, "crashed with signal ");
        appendNumber(what_, sizeof what_, signal);
        append(what_, sizeof what_, " (");
        append(what_, sizeof what_, signalName(signal));
        append(what_, sizeof what_, ")");
        const char* fault = nullptr;
        if ((signal == SIGSEGV || signal == SIGBUS) && describer_ != nullptr)
            fault = describer_(info->si_addr, faultWasWrite(context));
        void* raw[maxFrames];
        // A jump to memory that is not there (code of a library already unloaded) leaves no
        // frame the unwinder can read: walking it would fault again inside this handler.
        const bool wildJump = info->si_addr != nullptr && reinterpret_cast<std::uintptr_t>(info->si_addr) == faultingPc(context);
        const int count = wildJump ? 0 : backtrace(raw, maxFrames);
        for (int i = 0; i < count; ++i) frames_[i] = reinterpret_cast<std::uintptr_t>(raw[i]);
        tell(ending{what_, signal, 0, where_, event_, fault != nullptr ? fault : "", faultingPc(context), frames_, count,
                    currentCulprit()});
    }
    if (endWithStatus_ && ended_) std::_Exit(failingStatus_);
    // Ends as it would have without us: the handler in place before (a sanitizer's, or the
    // default) takes the signal again when the faulting instruction runs again or is raised.
    for (std::size_t i = 0; i < sizeof guardedSignals / sizeof guardedSignals[0]; ++i) {
        if (guardedSignals[i] == signal) sigaction(signal, &previous_[i], nullptr);
    }
    // A signal sent rather than caused (abort, kill) is raised again; a fault happens again when
    // the instruction runs again on return.
    if (info->si_code <= 0) raise(signal);
}
#endif

void atExit() {
    // exit() from a component: the status is not known here unless the program's own exit()
    // saw it first (processEnding), in which case the guard has already ended.
    if (!armed_ || ended_ || onPurpose_) return;
    copyInto(what_, sizeof what_, "ended the process with exit()");
    if (tell(ending{what_, 0, 0, where_, event_, "", 0, frames_, 0, currentCulprit()})) std::_Exit(failingStatus_);
}

}  // namespace

void writeAll(int descriptor, const char* text) noexcept {
    std::size_t left = std::strlen(text);
    while (left > 0) {
#if defined(_WIN32)
        const int written = _write(descriptor, text, static_cast<unsigned>(left));
#else
        const ssize_t written = ::write(descriptor, text, left);
#endif
        if (written <= 0) return;
        text += written;
        left -= static_cast<std::size_t>(written);
    }
}

void append(char* buffer, std::size_t size, const char* text) noexcept {
    if (size == 0 || text == nullptr) return;
    std::size_t used = 0;
    while (used < size - 1 && buffer[used] != '\0') ++used;
    while (used < size - 1 && *text != '\0') buffer[used++] = *text++;
    buffer[used] = '\0';
}

void appendEnding(char* buffer, std::size_t size, const ending& end) noexcept {
    switch (end.by) {
    case culprit::component: append(buffer, size, "the component "); break;
    case culprit::componentThread: append(buffer, size, "a thread the component started "); break;
    case culprit::host: append(buffer, size, "nelk-host itself "); break;
    }
    append(buffer, size, end.what);
    if (end.fault[0] != '\0') {
        append(buffer, size, ": ");
        append(buffer, size, end.fault);
    }
    if (end.event[0] != '\0' && end.by == culprit::component) {
        append(buffer, size, " during ");
        append(buffer, size, end.event);
    }
    if (end.by == culprit::host) append(buffer, size, ", outside any call into a component: nelk-host's own failure, not the component's");
}

void appendJson(char* buffer, std::size_t size, const char* text) noexcept {
    static const char hex[] = "0123456789abcdef";
    for (; text != nullptr && *text != '\0'; ++text) {
        const unsigned char byte = static_cast<unsigned char>(*text);
        char piece[7] = {static_cast<char>(byte), '\0'};
        if (byte == '"' || byte == '\\') {
            piece[0] = '\\';
            piece[1] = static_cast<char>(byte);
            piece[2] = '\0';
        } else if (byte < 0x20) {
            const char escape[7] = {'\\', 'u', '0', '0', hex[byte >> 4], hex[byte & 15], '\0'};
            std::memcpy(piece, escape, sizeof escape);
        }
        append(buffer, size, piece);
    }
}

void appendNumber(char* buffer, std::size_t size, long long value) noexcept {
    char digits[24];
    int count = 0;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    char text[26];
    int length = 0;
    if (value < 0) text[length++] = '-';
    while (count > 0) text[length++] = digits[--count];
    text[length] = '\0';
    append(buffer, size, text);
}

void install(reporter report, int failingStatus) {
    static bool installed = false;
    report_ = report;
    failingStatus_ = failingStatus;
    if (installed) return;
    installed = true;
    std::atexit(atExit);
#if defined(_WIN32)
    for (const int signal : guardedSignals) std::signal(signal, onSignal);
#else
    void* warm[2];
    backtrace(warm, 2);  // loads the unwinder now, so the handler does not have to
    struct sigaction action {};
    action.sa_sigaction = onSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < sizeof guardedSignals / sizeof guardedSignals[0]; ++i)
        sigaction(guardedSignals[i], &action, &previous_[i]);
    useAlternateStack();
#endif
}

void endSignalsWithStatus(bool withStatus) noexcept { endWithStatus_ = withStatus ? 1 : 0; }

#if !defined(_WIN32)
namespace {
// A thread's stack for the handler: a handler may run on it at any time, so it lives as long as
// its thread, and is taken from the kernel and freed when the thread ends (or the process exits).
struct alternate_stack {
    void* memory = nullptr;
    alternate_stack() = default;
    alternate_stack(const alternate_stack&) = delete;
    alternate_stack& operator=(const alternate_stack&) = delete;
    ~alternate_stack() {
        if (memory == nullptr) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        std::free(memory);
    }
};
thread_local alternate_stack alternate;
}  // namespace
#endif

void useAlternateStack() noexcept {
#if !defined(_WIN32)
    if (alternate.memory != nullptr) return;
    // One already in place (a sanitizer's runtime gives each thread its own, and unmaps it at
    // the thread's end) stays.
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) == 0) return;
    const std::size_t size = 64 * 1024;
    stack_t stack{};
    stack.ss_sp = std::malloc(size);
    if (stack.ss_sp == nullptr) return;
    stack.ss_size = size;
    if (sigaltstack(&stack, nullptr) != 0) {
        std::free(stack.ss_sp);
        return;
    }
    alternate.memory = stack.ss_sp;
#endif
}

void arm(bool armed) noexcept {
#if !defined(_WIN32)
    if (armed) hostThread_ = pthread_self();
#endif
    armed_ = armed ? 1 : 0;
}

void enterComponent() noexcept { componentDepth_ = componentDepth_ + 1; }
void leaveComponent() noexcept { componentDepth_ = componentDepth_ - 1; }
void setHostWork(bool working) noexcept { hostWork_ = working ? 1 : 0; }
bool hostWork() noexcept { return hostWork_ != 0; }

bool armed() noexcept { return armed_ != 0 && ended_ == 0; }

void describeFaultsWith(fault_describer describer) noexcept { describer_ = describer; }

void setWhere(const char* text) noexcept { copyInto(where_, sizeof where_, text); }

void setEvent(const char* text) noexcept { copyInto(event_, eventSize_, text); }

void keepEventIn(char* buffer, std::size_t size) noexcept {
    if (buffer == nullptr || size == 0) {
        event_ = ownEvent_;
        eventSize_ = sizeof ownEvent_;
    } else {
        event_ = buffer;
        eventSize_ = size;
    }
    event_[0] = '\0';
}

const char* currentEvent() noexcept { return event_; }

void exitOnPurpose() noexcept { onPurpose_ = 1; }

void processEnding(const char* function, int status) noexcept {
    if (!armed_ || ended_ || onPurpose_) return;
    copyInto(what_, sizeof what_, "called ");
    append(what_, sizeof what_, function);
    append(what_, sizeof what_, "(");
    appendNumber(what_, sizeof what_, status);
    append(what_, sizeof what_, ")");
    if (tell(ending{what_, 0, status, where_, event_, "", 0, frames_, 0, currentCulprit()})) std::_Exit(failingStatus_);
}

}  // namespace nelk_process_guard
