// What the host tells its user: every delivery, line, answer, warning and protocol error, one
// event a line (readable, with control bytes escaped), one JSON object a line, or errors only.
// Texts passed in are read during the call only. Host's thread.
#pragma once

#include <cstdio>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace nelk_host_tool {

enum class transcript_style { readable, json, quiet };

class transcript {
public:
    // out: where events go; not owned, must outlive the transcript. Colour only when `colour` is
    // set (a terminal) and the style is readable.
    transcript(std::FILE* out, transcript_style style, bool colour);

    // A call into a component: kind and what it carried, e.g. "command text=Camera 1".
    void delivered(const std::string& instance, int kind, const std::string& what);
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
    // A protocol breach or a failed expectation; shown in every style.
    void error(const std::string& where, const std::string& text);
    // A multi-line block such as a panel listing.
    void block(const std::string& instance, const std::string& title, const std::string& body);

private:
    void line(const char* colour, const std::string& tag, const std::string& instance, const std::string& text);
    void json(const char* event, const std::string& instance, const std::string& key, const std::string& value,
              const std::string& extraKey = "", const std::string* extraValue = nullptr);
    void emit(const nlohmann::ordered_json& object);

    std::FILE* out_;
    transcript_style style_;
    bool colour_;
};

}  // namespace nelk_host_tool
