#include "process_state.h"

#include <algorithm>
#include <cfenv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <locale>

#include <sys/stat.h>
#if defined(_WIN32)
#include <direct.h>
#include <io.h>
#else
#include <dirent.h>
#include <dlfcn.h>
#include <pthread.h>
#include <unistd.h>
extern char** environ;
#endif

namespace nelk_validator {

namespace {

// Entries of a folder (not "." or ".."), or -1 where it cannot be read.
int entriesOf(const char* folder) {
#if defined(_WIN32)
    (void)folder;
    return -1;
#else
    DIR* listing = opendir(folder);
    if (listing == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(listing)) count += entry->d_name[0] != '.' ? 1 : 0;
    closedir(listing);
    return count;
#endif
}

// The seed the validator restarts the C random sequence with; any will do.
const unsigned knownSeed = 20261208;

std::string currentDirectory() {
    char buffer[4096];
#if defined(_WIN32)
    return _getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
#else
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
#endif
}

std::string descriptor(int number) {
#if defined(_WIN32)
    struct _stat64 status {};
    if (_fstat64(number, &status) != 0) return "closed";
#else
    struct stat status {};
    if (fstat(number, &status) != 0) return "closed";
#endif
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

char** environmentList() {
#if defined(_WIN32)
    return _environ;
#else
    return environ;
#endif
}


std::ios* streamNumber(int index) {
    switch (index) {
    case 0: return &std::cin;
    case 1: return &std::cout;
    case 2: return &std::cerr;
    default: return &std::clog;
    }
}
const char* const streamNames[] = {"std::cin", "std::cout", "std::cerr", "std::clog"};

#if !defined(_WIN32)
std::string handlerName(const struct sigaction& action) {
    if ((action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_DFL) return "default";
    if ((action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN) return "ignored";
    char text[32];
    std::snprintf(text, sizeof text, "a handler at %p",
                  (action.sa_flags & SA_SIGINFO) != 0 ? reinterpret_cast<void*>(action.sa_sigaction)
                                                     : reinterpret_cast<void*>(action.sa_handler));
    return text;
}
#endif

std::string nameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

void differ(std::vector<std::string>& changes, const std::string& what, const std::string& before, const std::string& after) {
    if (before != after) changes.push_back(what + " changed from " + before + " to " + after);
}

}  // namespace

int threadCount() { return entriesOf("/proc/self/task"); }
int descriptorCount() { return entriesOf("/proc/self/fd"); }

process_state process_state::take() {
    process_state state;
    state.directory_ = currentDirectory();
#if defined(_WIN32)
    state.mask_ = static_cast<unsigned>(_umask(0));
    _umask(static_cast<int>(state.mask_));
#else
    state.mask_ = static_cast<unsigned>(umask(0));
    umask(static_cast<mode_t>(state.mask_));
#endif
    const char* locale = std::setlocale(LC_ALL, nullptr);
    state.locale_ = locale != nullptr ? locale : "";
    state.globalLocale_ = std::locale().name();
#if !defined(_WIN32)
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction action {};
        if (sigaction(signal, nullptr, &action) != 0) continue;
        state.actions_.emplace_back(signal, action);
        state.handlers_.push_back(handlerName(action));
    }
    pthread_sigmask(SIG_BLOCK, nullptr, &state.blocked_);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&state.blocked_, signal) == 1) state.signalMask_ += (state.signalMask_.empty() ? "" : ",") + std::to_string(signal);
    }
    state.alarm_ = alarm(0);
    if (state.alarm_ != 0) alarm(state.alarm_);
    state.traps_ = fegetexcept();
#endif
    state.rounding_ = std::fegetround();
    for (int number = 0; number < 3; ++number) state.descriptors_.push_back(descriptor(number));
    for (char** entry = environmentList(); entry != nullptr && *entry != nullptr; ++entry) state.environment_.emplace_back(*entry);
    std::sort(state.environment_.begin(), state.environment_.end());
    state.randomDrawn_ = std::rand();
    std::srand(knownSeed);
    state.randomExpected_ = std::rand();
    std::srand(knownSeed);
    for (int index = 0; index < 4; ++index) {
        const std::ios& each = *streamNumber(index);
        state.streams_.push_back({static_cast<long>(each.flags()), static_cast<long>(each.precision()),
                                  static_cast<long>(each.width()), each.fill(), each.getloc().name()});
    }
    return state;
}

std::vector<std::string> process_state::changesIn(const process_state& now) const {
    std::vector<std::string> changes;
    differ(changes, "the working directory", directory_, now.directory_);
    char masks[2][16];
    std::snprintf(masks[0], sizeof masks[0], "%03o", mask_);
    std::snprintf(masks[1], sizeof masks[1], "%03o", now.mask_);
    differ(changes, "the file mode mask (umask)", masks[0], masks[1]);
    differ(changes, "the C locale", "\"" + locale_ + "\"", "\"" + now.locale_ + "\"");
    differ(changes, "the global C++ locale", "\"" + globalLocale_ + "\"", "\"" + now.globalLocale_ + "\"");
    for (std::size_t signal = 0; signal < handlers_.size() && signal < now.handlers_.size(); ++signal)
        differ(changes, "the handler of signal " + std::to_string(signal + 1), handlers_[signal], now.handlers_[signal]);
    differ(changes, "the calling thread's blocked signals", "{" + signalMask_ + "}", "{" + now.signalMask_ + "}");
    if (now.alarm_ != 0 && alarm_ == 0) changes.push_back("an alarm() is pending, " + std::to_string(now.alarm_) + " s ahead");
    differ(changes, "the floating-point rounding mode", std::to_string(rounding_), std::to_string(now.rounding_));
    differ(changes, "the enabled floating-point traps", std::to_string(traps_), std::to_string(now.traps_));
    for (std::size_t number = 0; number < descriptors_.size() && number < now.descriptors_.size(); ++number)
        differ(changes, "standard descriptor " + std::to_string(number), descriptors_[number], now.descriptors_[number]);
    std::vector<std::string> added;
    std::vector<std::string> removed;
    std::set_difference(now.environment_.begin(), now.environment_.end(), environment_.begin(), environment_.end(),
                        std::back_inserter(added));
    std::set_difference(environment_.begin(), environment_.end(), now.environment_.begin(), now.environment_.end(),
                        std::back_inserter(removed));
    for (const std::string& entry : added) changes.push_back("the environment has " + nameOf(entry) + " set or changed");
    for (const std::string& entry : removed) {
        const bool stillThere = std::any_of(added.begin(), added.end(), [&](const std::string& each) { return nameOf(each) == nameOf(entry); });
        if (!stillThere) changes.push_back("the environment lost " + nameOf(entry));
    }
    if (now.randomDrawn_ != randomExpected_)
        changes.push_back("the C random sequence was drawn from or reseeded (rand, srand): the host's own sequence moved");
    for (std::size_t index = 0; index < streams_.size() && index < now.streams_.size(); ++index) {
        const stream_format& was = streams_[index];
        const stream_format& is = now.streams_[index];
        const std::string name = std::string("the format state of ") + streamNames[index];
        if (was.flags != is.flags) changes.push_back(name + ": its flags changed");
        if (was.precision != is.precision || was.width != is.width || was.fill != is.fill)
            changes.push_back(name + ": its precision, width or fill changed");
        differ(changes, name + ": its locale", "\"" + was.locale + "\"", "\"" + is.locale + "\"");
    }
    return changes;
}

namespace {

// The environment as `wanted` (sorted "NAME=value"): what was added goes, what was there comes back as it was.
void restoreEnvironment(const std::vector<std::string>& wanted) {
    std::vector<std::string> now;
    for (char** entry = environmentList(); entry != nullptr && *entry != nullptr; ++entry) now.emplace_back(*entry);
    for (const std::string& entry : now) {
        if (!std::binary_search(wanted.begin(), wanted.end(), entry)) {
#if defined(_WIN32)
            _putenv((nameOf(entry) + "=").c_str());
#else
            unsetenv(nameOf(entry).c_str());
#endif
        }
    }
    for (const std::string& entry : wanted) {
        const std::size_t equals = entry.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        const char* value = std::getenv(entry.substr(0, equals).c_str());
        if (value != nullptr && entry.compare(equals + 1, std::string::npos, value) == 0) continue;
#if defined(_WIN32)
        _putenv(entry.c_str());
#else
        setenv(entry.substr(0, equals).c_str(), entry.c_str() + equals + 1, 1);
#endif
    }
}

// The C++ global locale as the one named `name`, or the classic one when that cannot be made.
void restoreGlobalLocale(const std::string& name) {
    if (std::locale().name() == name) return;
    try {
        std::locale::global(std::locale(name.c_str()));
    } catch (const std::exception&) {
        std::locale::global(std::locale::classic());
    }
}

}  // namespace

void process_state::restore() const {
    if (currentDirectory() != directory_) {
#if defined(_WIN32)
        (void)_chdir(directory_.c_str());
#else
        (void)chdir(directory_.c_str());
#endif
    }
#if defined(_WIN32)
    _umask(static_cast<int>(mask_));
#else
    umask(static_cast<mode_t>(mask_));
#endif
    restoreGlobalLocale(globalLocale_);
    const char* locale = std::setlocale(LC_ALL, nullptr);
    if (locale == nullptr || locale_ != locale) std::setlocale(LC_ALL, locale_.c_str());
#if !defined(_WIN32)
    for (const auto& each : actions_) sigaction(each.first, &each.second, nullptr);
    pthread_sigmask(SIG_SETMASK, &blocked_, nullptr);
    alarm(alarm_);
    fedisableexcept(FE_ALL_EXCEPT);
    if (traps_ != 0) feenableexcept(traps_);
#endif
    std::fesetround(rounding_);
    restoreEnvironment(environment_);
    std::srand(knownSeed);
    for (std::size_t index = 0; index < streams_.size(); ++index) {
        std::ios& each = *streamNumber(static_cast<int>(index));
        const stream_format& was = streams_[index];
        each.flags(static_cast<std::ios::fmtflags>(was.flags));
        each.precision(was.precision);
        each.width(was.width);
        each.fill(was.fill);
        if (each.getloc().name() != was.locale) {
            try {
                each.imbue(std::locale(was.locale.c_str()));
            } catch (const std::exception&) {
                each.imbue(std::locale::classic());
            }
        }
    }
}

std::vector<std::string> process_state::environmentInto(const std::string& library) {
    std::vector<std::string> found;
#if !defined(_WIN32)
    char resolved[4096];
    const std::string wanted = realpath(library.c_str(), resolved) != nullptr ? resolved : library;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        Dl_info info{};
        if (dladdr(*entry, &info) == 0 || info.dli_fname == nullptr) continue;
        const std::string owner = realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
        if (owner == wanted) found.push_back(nameOf(*entry) + "=...");
    }
#else
    (void)library;
#endif
    return found;
}

}  // namespace nelk_validator
