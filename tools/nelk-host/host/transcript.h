// What the host tells its user: every delivery, line, answer, warning and protocol error. Each
// is one event object (the --json form); it is printed one event a line (readable, control bytes
// escaped), one JSON object a line, or (quiet) only warnings and errors, each error after the
// last few events that led to it (statements among them), and handed to the listeners
// (a live page, a recorder). Texts passed in are read during the call only. Host's thread.
#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace nelk_host_tool {

enum class transcript_style { readable, json, quiet };

// The kinds of event, each with the name the --json form gives it in "event".
enum class transcript_event { deliver, send, hostAnswer, answer, note, warning, error, statement, show };
// "deliver", "send", "host-answer", "answer", "note", "warning", "error", "statement", "show".
const char* eventName(transcript_event kind) noexcept;
// The kind of an event object, or nullopt for one of no kind known here.
std::optional<transcript_event> eventKind(const nlohmann::ordered_json& event);

// An event as one readable line: its tag ("host>", "<comp", "<answer", "note", ...), who (the
// instance, or where an error was) and the text, escaped onto one line (a shown panel: its
// title, a line feed and the listing). The transcript prints it; serve hands it to the page.
struct readable_line {
    std::string tag;
    std::string who;
    std::string text;
};
readable_line readableLine(const nlohmann::ordered_json& event);

// How nelk-host writes every JSON text (events, state, reports): on one line unless `indent` is
// given, bytes that are not UTF-8 replaced rather than thrown over.
std::string jsonText(const nlohmann::ordered_json& value, int indent = -1);

class transcript {
public:
    // out: where events are printed; not owned, must outlive the transcript; null prints
    // nothing. Colour only when `colour` is set (a terminal) and the style is readable.
    transcript(std::FILE* out, transcript_style style, bool colour);

    // Called with every event, in every style, after it is printed; the object is valid during
    // the call only. Listeners are called in the order added, on the host's thread.
    void listen(std::function<void(const nlohmann::ordered_json& event)> listener);

    // A call into a component: kind and what it carried, e.g. "command 'text=Camera 1'"; the
    // fields of `detail` (an object: a slot event's "driver", "slot" and "slotText", a timer's
    // "timer") are added to the event, for readers that compare calls rather than show them.
    void delivered(const std::string& instance, int kind, const std::string& what,
                   const nlohmann::ordered_json& detail = nlohmann::ordered_json::object());
    // The entry's call or the deletion of an instance, e.g. "delete".
    void lifecycle(const std::string& instance, const std::string& what);
    // A line the component sent, shown before the host carries it out.
    void sent(const std::string& instance, const std::string& line);
    // What the host answered a line with, as shown ("1", an escaped and quoted text, "null"),
    // for "PS", "TG" and "XI".
    void hostAnswered(const std::string& instance, const std::string& answer);
    // A kind-3 answer, already copied; null answers are shown as such.
    void answered(const std::string& instance, const std::string* answer);
    void note(const std::string& instance, const std::string& text);
    void warning(const std::string& instance, const std::string& text);
    // A protocol breach or a failed expectation; shown in every style. `where` is
    // "file:line" or "instance NAME". `detail`: lines printed under it, indented, each escaped
    // onto its line (a table of expected and sent lines); "detail" in the --json form.
    void error(const std::string& where, const std::string& text, const std::vector<std::string>& detail = {});
    // A statement about to run, for the listeners only (it is not printed): "where" and the line.
    void statement(const std::string& where, const std::string& line);
    // A multi-line block such as a panel listing.
    void block(const std::string& instance, const std::string& title, const std::string& body);

    // An event made by another transcript (a worker process's), told here as if made here.
    void relay(const nlohmann::ordered_json& event);

    // How many warnings were told so far (--strict fails a statement that added one).
    int warnings() const noexcept { return warnings_; }
    // The statement told last (statement(), or relayed): where it stands ("file:line") and its
    // text; empty before the first. The one place that knows which statement runs.
    struct current_statement {
        std::string where;
        std::string text;
    };
    const current_statement& currentStatement() const noexcept { return current_; }

private:
    void emit(const nlohmann::ordered_json& event);
    void print(const nlohmann::ordered_json& event);
    void line(const char* colour, const readable_line& shown);
    // Quiet: the last events not printed (statements among them) are kept, and printed before
    // the next error, so that it shows what led to it.
    void keep(const nlohmann::ordered_json& event);
    void printContext();

    std::FILE* out_;
    transcript_style style_;
    bool colour_;
    std::vector<std::function<void(const nlohmann::ordered_json&)>> listeners_;
    int warnings_ = 0;
    current_statement current_;
    std::vector<readable_line> unprinted_;  // quiet: the last events not printed
};

}  // namespace nelk_host_tool
