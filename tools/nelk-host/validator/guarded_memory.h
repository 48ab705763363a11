// Host memory the validator hands to components in pages of its own, so that a touch it forbids
// faults at once: records and texts of a call are read-only during the call and inaccessible
// after it; "TG"/"XI" answers are read-only until given back. A registry of these regions lets
// the crash handler say what a faulting address was. Host's thread only; describeFault may run
// in a signal handler.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace nelk_validator {

// Pages with a label, registered for the crash handler while they exist.
class guarded_pages {
public:
    // Room for `bytes`, writable until seal(); followed by one inaccessible page. `label` (a
    // static text, e.g. "the host's slot record") names the region in crash reports.
    guarded_pages(std::size_t bytes, const char* label);
    ~guarded_pages();  // unmaps and unregisters
    guarded_pages(const guarded_pages&) = delete;
    guarded_pages& operator=(const guarded_pages&) = delete;

    char* begin() const noexcept { return base_; }
    std::size_t size() const noexcept { return data_; }  // the writable room, in whole pages
    void seal();    // read-only
    void revoke();  // no access at all

private:
    char* base_ = nullptr;
    std::size_t data_ = 0;   // readable bytes
    std::size_t total_ = 0;  // with the guard page
    int slot_ = -1;          // registry entry
};

// What lies at `address` if it is in a registered region, for the crash report; null otherwise.
// Async-signal-safe; the text lives in a static buffer.
const char* describeFault(const void* address, bool write) noexcept;
// Whether `address` lies in a registered region.
bool isGuarded(const void* address) noexcept;

// The data of one call into a component, laid out in guarded pages: read-only during the call,
// revoked when it returns. Bump allocation; everything it returns lives as long as the arena.
class call_arena {
public:
    // bytes: what the call needs at most (texts included); label: what it holds.
    call_arena(std::size_t bytes, const char* label) : pages_(bytes, label) {}
    // A copy of `text` with its terminator; null for nullopt-like callers that pass null.
    const char* text(const char* text, std::size_t length);
    // Room for an object of `size` bytes, aligned for pointers.
    void* room(std::size_t size);
    void seal() { pages_.seal(); }
    void revoke() { pages_.revoke(); }

private:
    guarded_pages pages_;
    std::size_t used_ = 0;
};

// Keeps the arenas of the last calls revoked but mapped, so a late read faults in its own pages
// and names them, and releases the oldest past a bound.
class arena_history {
public:
    void keep(std::unique_ptr<call_arena> arena);

private:
    std::deque<std::unique_ptr<call_arena>> arenas_;
};

}  // namespace nelk_validator
