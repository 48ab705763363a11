// The rules every host holds a component to, in one place: which hostSend calls are lines to
// carry out, the ledger of texts the host hands out for "TG" and "XI", the give-back rules (once,
// only what was handed out, before the outermost call into the component returns), and the
// list of breaches. The test kit's recording host, nelk-host's simulator and the validator's host
// each add only their own policy (record, simulate, attack) on top of one host_rules per
// component. One thread, like the host it serves.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "line_parser.h"
#include "scenario_words.h"

namespace nelk_test_kit {

enum class breach_kind {
    malformed_line,           // a kind-0 text that is not a command line (null included)
    unknown_kind,             // hostSend with a kind other than 0 or 5
    line_after_shutdown,      // any line after "AS", a second "AS" included
    shutdown_outside_deletion,
    no_shutdown,              // deletion ended without "AS"
    foreign_give_back,        // kind 5 with a pointer the host never handed out
    double_give_back,         // kind 5 with a text already given back
    late_give_back,           // kind 5 with a text that was due before an earlier call returned
    not_given_back,           // a text still out when the outermost call returned, or at the end
    line_outside_call,        // a line while no call into the component was in progress
    line_through_other_host,  // a line on this host object while another component was being called
    line_from_other_thread,   // a line from a thread other than the one calling the component
    foreign_answer,           // a kind-3 answer that is not a block of the component's own
    calling_convention,       // a call that left the stack other than the host's convention leaves it
};

struct breach {
    breach_kind kind;
    std::string message;  // one line, e.g. "gave back the answer to \"TG '1' 'a' 'value'\" twice"
    std::string line;     // the command line concerned, when there is one
};

// A short stable name of the kind ("give-back", "grammar", "shutdown", "kind").
const char* breachCategory(breach_kind kind) noexcept;
// The breach in one line: its message, and for a breach of a line the line itself, escaped.
std::string describe(const breach& problem);

// Where the texts a host hands out live. A text is stored when handed out, revoked when the
// component gives it back (from then on it must not be touched), and released when the ledger
// drops it. Pointers stay valid until released.
class text_storage {
public:
    virtual ~text_storage() = default;
    // A zero-terminated copy of `text`, owned by the storage until release().
    virtual char* store(const std::string& text) = 0;
    // The component has given the text back: make a later touch visible (overwrite or fault).
    virtual void revoke(char* text) = 0;
    virtual void release(char* text) = 0;
};

// Heap copies; a revoked text is overwritten with '#' (its length kept), so a late read finds
// garbage rather than freed memory.
std::unique_ptr<text_storage> plainTextStorage();

class host_rules {
public:
    // storage: where handed-out texts live (plain heap copies unless given).
    // tracksCalls: the host reports every call into the component (callBegins/callEnds) and its
    // deletion, so texts are due when the outermost call returns and "AS" is judged (only
    // during deletion, nothing after it); without it texts are due at finish() and the "AS"
    // rules are not applied, as the host cannot tell one component's life from the next.
    explicit host_rules(std::unique_ptr<text_storage> storage = plainTextStorage(), bool tracksCalls = false);
    ~host_rules();
    host_rules(const host_rules&) = delete;
    host_rules& operator=(const host_rules&) = delete;

    // Judges one hostSend. Kind 5 is a give-back and is settled here; kind 0 with a well-formed
    // line allowed at this point is returned for the host to carry out ("AS" included, which the
    // rules note). nullopt: nothing to carry out (a give-back, or a breach, which is recorded).
    // text: read during the call only.
    std::optional<command_line> received(const char* text, int kind);

    // Hands out `text` as the answer to `line` ("TG" or "XI"); the pointer is the storage's and
    // stays valid until the ledger drops it, at least until the component gives it back.
    char* handOut(const std::string& line, const std::string& text);

    // Calls into the component, for hosts that track them: when the outermost call returns,
    // every text still out is a breach (once), and a later give-back of it is a late one. The
    // outermost call notes the calling thread; lines must come from it, while a call is in
    // progress, on the host object of the component being called.
    void callBegins() noexcept;
    void callEnds();
    int depth() const noexcept { return depth_; }

    // Deletion through the virtual destructor: "AS" is expected from now on, and its absence
    // at the end is a breach.
    void deletionBegins() noexcept { deleting_ = true; }
    void deletionEnds();
    bool deleting() const noexcept { return deleting_; }
    bool shutdownAnnounced() const noexcept { return shutdown_; }

    // The end of a host's life or a test: every text still out becomes a breach (once each).
    void finish();

    // A kind-3 answer the component returned for `command`, until the host gives it back:
    // returning a block that is still out is a breach. answerGivenBack forgets it.
    void answerReturned(const char* answer, const std::string& command);
    void answerGivenBack(const char* answer);

    // A breach the host's own policy found (such as an answer in static memory).
    void report(breach_kind kind, std::string message, std::string line = "");

    // How many given-back texts to keep, to recognise a second give-back (4096 unless set).
    void keepGivenBack(std::size_t count) noexcept { keptGivenBack_ = count; }

    const std::vector<breach>& breaches() const noexcept { return breaches_; }
    int textsHandedOut() const noexcept { return handedOut_; }
    int outstandingTexts() const noexcept;

private:
    enum class text_state { out, givenBack, overdue };
    struct ledger_entry {
        std::string line;
        text_state state;
    };
    void note(breach_kind kind, std::string message, std::string line = "");
    void giveBack(const char* text);
    void dueNow(const char* when);
    void forget(char* text);

    std::unique_ptr<text_storage> storage_;
    bool tracksCalls_;
    host_rules* outerCall_ = nullptr;  // the rules whose call was in progress when ours began
    std::thread::id callingThread_;
    std::map<const char*, std::string> answers_;  // kind-3 answers out, with their commands
    std::map<const char*, ledger_entry> ledger_;
    std::deque<char*> revoked_;  // given back, oldest first; kept to recognise a second give-back
    std::size_t keptGivenBack_ = 4096;
    std::vector<breach> breaches_;
    int depth_ = 0;
    int handedOut_ = 0;
    bool deleting_ = false;
    bool shutdown_ = false;
};

}  // namespace nelk_test_kit
