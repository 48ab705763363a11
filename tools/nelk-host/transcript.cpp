#include "transcript.h"

#include <nlohmann/json.hpp>

#include "host_rules.h"

namespace nelk_host_tool {

using nelk_test_kit::escaped;

namespace {
const char* const plain = "";
const char* const dim = "\x1b[2m";
const char* const green = "\x1b[32m";
const char* const cyan = "\x1b[36m";
const char* const yellow = "\x1b[33m";
const char* const red = "\x1b[1;31m";
const char* const reset = "\x1b[0m";
}  // namespace

transcript::transcript(std::FILE* out, transcript_style style, bool colour)
    : out_(out), style_(style), colour_(colour && style == transcript_style::readable) {}

void transcript::line(const char* colour, const std::string& tag, const std::string& instance, const std::string& text) {
    const bool painted = colour_ && colour != plain;
    std::fprintf(out_, "%s%-7s%s %-6s %s\n", painted ? colour : "", tag.c_str(), painted ? reset : "",
                 escaped(instance).c_str(), text.c_str());
    std::fflush(out_);
}

void transcript::json(const char* event, const std::string& instance, const std::string& key, const std::string& value,
                      const std::string& extraKey, const std::string* extraValue) {
    nlohmann::ordered_json object;
    object["event"] = event;
    if (!instance.empty()) object["instance"] = instance;
    object[key] = value;
    if (!extraKey.empty()) object[extraKey] = extraValue ? nlohmann::ordered_json(*extraValue) : nlohmann::ordered_json();
    emit(object);
}

void transcript::emit(const nlohmann::ordered_json& object) {
    std::fprintf(out_, "%s\n", object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace).c_str());
    std::fflush(out_);
}

void transcript::delivered(const std::string& instance, int kind, const std::string& what) {
    if (style_ == transcript_style::quiet) return;
    if (style_ == transcript_style::json) {
        emit({{"event", "deliver"}, {"instance", instance}, {"kind", kind}, {"what", what}});
        return;
    }
    line(cyan, "host>", instance, "[" + std::to_string(kind) + "] " + escaped(what));
}

void transcript::lifecycle(const std::string& instance, const std::string& what) {
    if (style_ == transcript_style::quiet) return;
    if (style_ == transcript_style::json) {
        emit({{"event", "deliver"}, {"instance", instance}, {"what", what}});
        return;
    }
    line(cyan, "host>", instance, escaped(what));
}

void transcript::sent(const std::string& instance, const std::string& line) {
    if (style_ == transcript_style::quiet) return;
    if (style_ == transcript_style::json) {
        json("send", instance, "line", line);
        return;
    }
    this->line(green, "<comp", instance, escaped(line));
}

void transcript::hostAnswered(const std::string& instance, const std::string& answer) {
    if (style_ == transcript_style::quiet) return;
    if (style_ == transcript_style::json) {
        json("host-answer", instance, "answer", answer);
        return;
    }
    line(cyan, "host>", instance, "-> " + answer);
}

void transcript::answered(const std::string& instance, const std::string* answer) {
    if (style_ == transcript_style::quiet) return;
    if (style_ == transcript_style::json) {
        emit({{"event", "answer"}, {"instance", instance},
              {"answer", answer ? nlohmann::ordered_json(*answer) : nlohmann::ordered_json()}});
        return;
    }
    line(green, "<answer", instance, answer ? "\"" + escaped(*answer) + "\"" : "null");
}

void transcript::note(const std::string& instance, const std::string& text) {
    if (style_ == transcript_style::quiet) return;
    if (style_ == transcript_style::json) {
        json("note", instance, "text", text);
        return;
    }
    line(dim, "note", instance, escaped(text, true));
}

void transcript::warning(const std::string& instance, const std::string& text) {
    if (style_ == transcript_style::quiet) return;
    if (style_ == transcript_style::json) {
        json("warning", instance, "text", text);
        return;
    }
    line(yellow, "warning", instance, escaped(text, true));
}

void transcript::error(const std::string& where, const std::string& text) {
    if (style_ == transcript_style::json) {
        json("error", "", "where", where, "text", &text);
        return;
    }
    const bool painted = colour_;
    std::fprintf(out_, "%s%s: error: %s%s\n", painted ? red : "", where.c_str(), text.c_str(), painted ? reset : "");
    std::fflush(out_);
}

void transcript::block(const std::string& instance, const std::string& title, const std::string& body) {
    if (style_ == transcript_style::quiet) return;
    if (style_ == transcript_style::json) {
        json("show", instance, "title", title, "body", &body);
        return;
    }
    line(plain, "panel", instance, title);
    std::fprintf(out_, "%s", body.c_str());
    std::fflush(out_);
}

}  // namespace nelk_host_tool
