#include "transcript.h"

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

transcript::transcript(std::FILE* out, transcript_style style, bool colour)
    : out_(out), style_(style), colour_(colour && style == transcript_style::readable) {}

void transcript::listen(std::function<void(const nlohmann::ordered_json&)> listener) {
    listeners_.push_back(std::move(listener));
}

void transcript::relay(const nlohmann::ordered_json& event) {
    if (text(event, "event") == "warning") ++warnings_;
    emit(event);
}

void transcript::emit(const nlohmann::ordered_json& event) {
    if (out_ != nullptr && text(event, "event") != "statement") print(event);
    for (const auto& listener : listeners_) listener(event);
}

void transcript::line(const char* colour, const std::string& tag, const std::string& instance, const std::string& text) {
    const bool painted = colour_ && colour != plain;
    std::fprintf(out_, "%s%-7s%s %-6s %s\n", painted ? colour : "", tag.c_str(), painted ? reset : "",
                 escaped(instance).c_str(), text.c_str());
    std::fflush(out_);
}

void transcript::print(const nlohmann::ordered_json& event) {
    const std::string kind = text(event, "event");
    if (style_ == transcript_style::quiet && kind != "error") return;
    if (style_ == transcript_style::json) {
        std::fprintf(out_, "%s\n", jsonText(event).c_str());
        std::fflush(out_);
        return;
    }
    const std::string instance = text(event, "instance");
    if (kind == "deliver") {
        const auto number = event.find("kind");
        const std::string prefix = number != event.end() ? "[" + std::to_string(number->get<int>()) + "] " : "";
        line(cyan, "host>", instance, prefix + escaped(text(event, "what")));
    } else if (kind == "send") {
        line(green, "<comp", instance, escaped(text(event, "line")));
    } else if (kind == "host-answer") {
        line(cyan, "host>", instance, "-> " + text(event, "answer"));
    } else if (kind == "answer") {
        const auto answer = event.find("answer");
        line(green, "<answer", instance, answer->is_null() ? "null" : "\"" + escaped(answer->get<std::string>()) + "\"");
    } else if (kind == "note") {
        line(dim, "note", instance, escaped(text(event, "text"), true));
    } else if (kind == "warning") {
        line(yellow, "warning", instance, escaped(text(event, "text"), true));
    } else if (kind == "error") {
        // Paths and the loader's texts may hold any byte: one error stays one line.
        std::fprintf(out_, "%s%s: error: %s%s\n", colour_ ? red : "", escaped(text(event, "where"), true).c_str(),
                     escaped(text(event, "text"), true).c_str(), colour_ ? reset : "");
        std::fflush(out_);
    } else if (kind == "show") {
        line(plain, "panel", instance, text(event, "title"));
        std::fprintf(out_, "%s", text(event, "body").c_str());
        std::fflush(out_);
    }
}

void transcript::delivered(const std::string& instance, int kind, const std::string& what) {
    emit({{"event", "deliver"}, {"instance", instance}, {"kind", kind}, {"what", what}});
}

void transcript::lifecycle(const std::string& instance, const std::string& what) {
    emit({{"event", "deliver"}, {"instance", instance}, {"what", what}});
}

void transcript::sent(const std::string& instance, const std::string& line) {
    emit({{"event", "send"}, {"instance", instance}, {"line", line}});
}

void transcript::hostAnswered(const std::string& instance, const std::string& answer) {
    emit({{"event", "host-answer"}, {"instance", instance}, {"answer", answer}});
}

void transcript::answered(const std::string& instance, const std::string* answer) {
    emit({{"event", "answer"}, {"instance", instance}, {"answer", answer ? nlohmann::ordered_json(*answer) : nlohmann::ordered_json()}});
}

void transcript::note(const std::string& instance, const std::string& text) {
    nlohmann::ordered_json event{{"event", "note"}};
    if (!instance.empty()) event["instance"] = instance;
    event["text"] = text;
    emit(event);
}

void transcript::warning(const std::string& instance, const std::string& text) {
    ++warnings_;
    nlohmann::ordered_json event{{"event", "warning"}};
    if (!instance.empty()) event["instance"] = instance;
    event["text"] = text;
    emit(event);
}

void transcript::error(const std::string& where, const std::string& text) {
    emit({{"event", "error"}, {"where", where}, {"text", text}});
}

void transcript::statement(const std::string& where, const std::string& line) {
    emit({{"event", "statement"}, {"where", where}, {"text", line}});
}

void transcript::block(const std::string& instance, const std::string& title, const std::string& body) {
    emit({{"event", "show"}, {"instance", instance}, {"title", title}, {"body", body}});
}

}  // namespace nelk_host_tool
