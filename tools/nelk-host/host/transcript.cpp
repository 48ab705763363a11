#include "transcript.h"

#include <algorithm>

#include "host_rules.h"

namespace nelk_host_tool {

std::string jsonText(const nlohmann::ordered_json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

using nelk_test_kit::escaped;

namespace {
const char* const plain = "";
const char* const dim = "\x1b[2m";
const char* const green = "\x1b[32m";
const char* const cyan = "\x1b[36m";
const char* const yellow = "\x1b[33m";
const char* const red = "\x1b[1;31m";
const char* const reset = "\x1b[0m";

std::string text(const nlohmann::ordered_json& event, const char* key) {
    auto found = event.find(key);
    return found != event.end() && found->is_string() ? found->get<std::string>() : std::string();
}
}  // namespace

const char* eventName(transcript_event kind) noexcept {
    switch (kind) {
    case transcript_event::deliver: return "deliver";
    case transcript_event::send: return "send";
    case transcript_event::hostAnswer: return "host-answer";
    case transcript_event::answer: return "answer";
    case transcript_event::note: return "note";
    case transcript_event::warning: return "warning";
    case transcript_event::error: return "error";
    case transcript_event::statement: return "statement";
    case transcript_event::show: return "show";
    }
    return "?";
}

std::optional<transcript_event> eventKind(const nlohmann::ordered_json& event) {
    const std::string name = text(event, "event");
    for (const transcript_event kind : {transcript_event::deliver, transcript_event::send, transcript_event::hostAnswer,
                                        transcript_event::answer, transcript_event::note, transcript_event::warning,
                                        transcript_event::error, transcript_event::statement, transcript_event::show}) {
        if (name == eventName(kind)) return kind;
    }
    return std::nullopt;
}

readable_line readableLine(const nlohmann::ordered_json& event) {
    const std::optional<transcript_event> kind = eventKind(event);
    readable_line line{kind ? eventName(*kind) : text(event, "event"), escaped(text(event, "instance")), ""};
    switch (kind.value_or(transcript_event::note)) {
    case transcript_event::deliver: {
        const auto number = event.find("kind");
        line.tag = "host>";
        line.text = (number != event.end() ? "[" + std::to_string(number->get<int>()) + "] " : "") + escaped(text(event, "what"));
        break;
    }
    case transcript_event::send:
        line.tag = "<comp";
        line.text = escaped(text(event, "line"));
        break;
    case transcript_event::hostAnswer:
        line.tag = "host>";
        line.text = "-> " + text(event, "answer");
        break;
    case transcript_event::answer: {
        const auto answer = event.find("answer");
        line.tag = "<answer";
        line.text = answer == event.end() || answer->is_null() ? "null" : "\"" + escaped(answer->get<std::string>()) + "\"";
        break;
    }
    case transcript_event::error:
        // Paths and the loader's texts may hold any byte: one error stays one line.
        line.who = escaped(text(event, "where"), true);
        line.text = escaped(text(event, "text"), true);
        break;
    case transcript_event::statement:
        line.tag = ">";
        line.who = escaped(text(event, "where"), true);
        line.text = escaped(text(event, "text"), true);
        break;
    case transcript_event::show:
        line.tag = "panel";
        line.text = text(event, "title") + "\n" + text(event, "body");
        break;
    case transcript_event::note:
    case transcript_event::warning: line.text = escaped(text(event, "text"), true); break;
    }
    return line;
}

transcript::transcript(std::FILE* out, transcript_style style, bool colour)
    : out_(out), style_(style), colour_(colour && style == transcript_style::readable) {}

void transcript::listen(std::function<void(const nlohmann::ordered_json&)> listener) {
    listeners_.push_back(std::move(listener));
}

void transcript::relay(const nlohmann::ordered_json& event) {
    if (eventKind(event) == transcript_event::warning) ++warnings_;
    emit(event);
}

void transcript::emit(const nlohmann::ordered_json& event) {
    const std::optional<transcript_event> kind = eventKind(event);
    if (kind == transcript_event::statement) {
        current_ = {text(event, "where"), text(event, "text")};
        if (style_ == transcript_style::quiet) keep(event);
    } else if (out_ != nullptr) {
        print(event);
    }
    for (const auto& listener : listeners_) listener(event);
}

void transcript::line(const char* colour, const readable_line& shown) {
    const bool painted = colour_ && colour != plain;
    std::fprintf(out_, "%s%-7s%s %-6s %s\n", painted ? colour : "", shown.tag.c_str(), painted ? reset : "", shown.who.c_str(),
                 shown.text.c_str());
    std::fflush(out_);
}

void transcript::keep(const nlohmann::ordered_json& event) {
    constexpr std::size_t kept = 12;
    constexpr std::size_t longest = 400;  // of a kept line: a statement of megabytes is not kept whole
    if (unprinted_.size() == kept) unprinted_.erase(unprinted_.begin());
    // Its texts cut before the line is made, so that a text of megabytes is never escaped whole
    // for the 400 bytes kept of it.
    nlohmann::ordered_json cut = nlohmann::ordered_json::object();
    std::size_t largest = 0;
    for (const auto& item : event.items()) {
        const bool text = item.value().is_string();
        const std::size_t size = text ? item.value().get_ref<const std::string&>().size() : 0;
        largest = std::max(largest, size);
        cut[item.key()] = size > longest ? nlohmann::ordered_json(item.value().get_ref<const std::string&>().substr(0, longest))
                                         : item.value();
    }
    readable_line shown = readableLine(cut);
    if (shown.text.size() > longest || largest > longest)
        shown.text = shown.text.substr(0, longest) + "... (" + std::to_string(largest) + " bytes)";
    unprinted_.push_back(std::move(shown));
}

void transcript::printContext() {
    for (const readable_line& each : unprinted_)
        std::fprintf(out_, "    %-7s %-6s %s\n", each.tag.c_str(), each.who.c_str(), each.text.c_str());
    unprinted_.clear();
}

void transcript::print(const nlohmann::ordered_json& event) {
    const std::optional<transcript_event> kind = eventKind(event);
    if (!kind) return;
    if (style_ == transcript_style::quiet && kind != transcript_event::error) {
        keep(event);  // so that an error can show what led to it (a warning among it, in its place)
        if (kind != transcript_event::warning) return;
    }
    if (style_ == transcript_style::json) {
        std::fprintf(out_, "%s\n", jsonText(event).c_str());
        std::fflush(out_);
        return;
    }
    const readable_line shown = readableLine(event);
    switch (*kind) {
    case transcript_event::deliver:
    case transcript_event::hostAnswer: line(cyan, shown); break;
    case transcript_event::send:
    case transcript_event::answer: line(green, shown); break;
    case transcript_event::note: line(dim, shown); break;
    case transcript_event::warning: line(yellow, shown); break;
    case transcript_event::error:
        if (style_ == transcript_style::quiet) printContext();
        std::fprintf(out_, "%s%s: error: %s%s\n", colour_ ? red : "", shown.who.c_str(), shown.text.c_str(), colour_ ? reset : "");
        if (event.contains("detail") && event["detail"].is_array()) {
            for (const auto& each : event["detail"])
                if (each.is_string()) std::fprintf(out_, "    %s\n", escaped(each.get<std::string>(), true).c_str());
        }
        std::fflush(out_);
        break;
    case transcript_event::show:
        line(plain, {shown.tag, shown.who, text(event, "title")});
        std::fprintf(out_, "%s", text(event, "body").c_str());
        std::fflush(out_);
        break;
    case transcript_event::statement: break;
    }
}

void transcript::delivered(const std::string& instance, int kind, const std::string& what, const nlohmann::ordered_json& detail) {
    nlohmann::ordered_json event{{"event", eventName(transcript_event::deliver)}, {"instance", instance}, {"kind", kind}, {"what", what}};
    if (detail.is_object()) event.update(detail);
    emit(event);
}

void transcript::lifecycle(const std::string& instance, const std::string& what) {
    emit({{"event", eventName(transcript_event::deliver)}, {"instance", instance}, {"what", what}});
}

void transcript::sent(const std::string& instance, const std::string& line) {
    emit({{"event", eventName(transcript_event::send)}, {"instance", instance}, {"line", line}});
}

void transcript::hostAnswered(const std::string& instance, const std::string& answer) {
    emit({{"event", eventName(transcript_event::hostAnswer)}, {"instance", instance}, {"answer", answer}});
}

void transcript::answered(const std::string& instance, const std::string* answer) {
    emit({{"event", eventName(transcript_event::answer)}, {"instance", instance},
          {"answer", answer ? nlohmann::ordered_json(*answer) : nlohmann::ordered_json()}});
}

void transcript::note(const std::string& instance, const std::string& text) {
    nlohmann::ordered_json event{{"event", eventName(transcript_event::note)}};
    if (!instance.empty()) event["instance"] = instance;
    event["text"] = text;
    emit(event);
}

void transcript::warning(const std::string& instance, const std::string& text) {
    ++warnings_;
    nlohmann::ordered_json event{{"event", eventName(transcript_event::warning)}};
    if (!instance.empty()) event["instance"] = instance;
    event["text"] = text;
    emit(event);
}

void transcript::error(const std::string& where, const std::string& text, const std::vector<std::string>& detail) {
    nlohmann::ordered_json event{{"event", eventName(transcript_event::error)}, {"where", where}, {"text", text}};
    if (!detail.empty()) event["detail"] = detail;
    emit(event);
}

void transcript::statement(const std::string& where, const std::string& line) {
    emit({{"event", eventName(transcript_event::statement)}, {"where", where}, {"text", line}});
}

void transcript::block(const std::string& instance, const std::string& title, const std::string& body) {
    emit({{"event", eventName(transcript_event::show)}, {"instance", instance}, {"title", title}, {"body", body}});
}

}  // namespace nelk_host_tool
