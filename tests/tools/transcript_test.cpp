// The transcript (host/transcript.cpp): one event a line, readable with control bytes escaped, or
// JSON, or errors only; the kinds by their names; the readable line as the page is given it; the
// current statement kept in one place.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/transcript.h"

namespace {

using nelk_host_tool::transcript;
using nelk_host_tool::transcript_event;
using nelk_host_tool::transcript_style;

// What a transcript of `style` printed for the same events.
std::string printed(transcript_style style) {
    std::FILE* out = std::tmpfile();
    {
        transcript said(out, style, false);
        said.statement("file:3", "command A \"x\"");
        said.delivered("A", 3, "command 'x\ny'");
        said.sent("A", "TP 'text=\t' '1' 'c'");
        const std::string answer = "a\"b";
        said.answered("A", &answer);
        said.answered("A", nullptr);
        said.hostAnswered("A", "1");
        said.note("A", "a note");
        said.warning("", "a warning");
        said.error("file:3", "it failed\nhere");
    }
    std::rewind(out);
    std::string text;
    for (int byte; (byte = std::fgetc(out)) != EOF;) text += static_cast<char>(byte);
    std::fclose(out);
    return text;
}

TEST(TranscriptTest, EachStylePrintsItsOwnForm) {
    EXPECT_EQ(printed(transcript_style::readable),
              "host>   A      [3] command 'x\\ny'\n"
              "<comp   A      TP 'text=\\t' '1' 'c'\n"
              "<answer A      \"a\\\"b\"\n"
              "<answer A      null\n"
              "host>   A      -> 1\n"
              "note    A      a note\n"
              "warning        a warning\n"
              "file:3: error: it failed\\nhere\n");
    // Quiet: the warning, and the error after what led to it (the warning in its place).
    EXPECT_EQ(printed(transcript_style::quiet),
              "warning        a warning\n"
              "    >       file:3 command A \"x\"\n"
              "    host>   A      [3] command 'x\\ny'\n"
              "    <comp   A      TP 'text=\\t' '1' 'c'\n"
              "    <answer A      \"a\\\"b\"\n"
              "    <answer A      null\n"
              "    host>   A      -> 1\n"
              "    note    A      a note\n"
              "    warning        a warning\n"
              "file:3: error: it failed\\nhere\n");
    const std::string json = printed(transcript_style::json);
    EXPECT_EQ(json.find("\"event\":\"statement\""), std::string::npos);  // statements are for listeners only
    EXPECT_NE(json.find(R"({"event":"send","instance":"A","line":"TP 'text=\t' '1' 'c'"})"), std::string::npos);
}

TEST(TranscriptTest, KindsReadBackFromTheirNamesAndTheCurrentStatementIsKept) {
    for (const transcript_event kind : {transcript_event::deliver, transcript_event::send, transcript_event::hostAnswer,
                                        transcript_event::answer, transcript_event::note, transcript_event::warning,
                                        transcript_event::error, transcript_event::statement, transcript_event::show}) {
        EXPECT_EQ(nelk_host_tool::eventKind({{"event", nelk_host_tool::eventName(kind)}}), kind);
    }
    EXPECT_FALSE(nelk_host_tool::eventKind({{"event", "other"}}).has_value());
    transcript said(nullptr, transcript_style::readable, false);
    int warnings = 0;
    said.listen([&](const nlohmann::ordered_json& event) { warnings += event.value("event", "") == "warning"; });
    said.relay({{"event", "statement"}, {"where", "request-2:1"}, {"text", "show A"}});
    said.relay({{"event", "warning"}, {"text", "relayed"}});
    EXPECT_EQ(said.currentStatement().where, "request-2:1");
    EXPECT_EQ(said.currentStatement().text, "show A");
    EXPECT_EQ(said.warnings(), 1);
    EXPECT_EQ(warnings, 1);
    const nelk_host_tool::readable_line shown = nelk_host_tool::readableLine({{"event", "deliver"}, {"instance", "A"}, {"kind", 4}, {"what", "timer 1"}});
    EXPECT_EQ(shown.tag, "host>");
    EXPECT_EQ(shown.who, "A");
    EXPECT_EQ(shown.text, "[4] timer 1");
}

}  // namespace

namespace {

TEST(TranscriptTest, QuietKeepsOnlyTheStartOfAHugeEventBeforeAnError) {
    std::FILE* out = std::tmpfile();
    {
        nelk_host_tool::transcript said(out, nelk_host_tool::transcript_style::quiet, false);
        said.delivered("A", 3, "command 'text=" + std::string(1000000, '\x01') + "'");
        said.error("file:3", "it failed");
    }
    std::rewind(out);
    std::string text;
    for (int byte; (byte = std::fgetc(out)) != EOF;) text += static_cast<char>(byte);
    std::fclose(out);
    // The kept line: 400 bytes of the escaped text and the size of the whole, then the error.
    const std::size_t end = text.find('\n');
    ASSERT_NE(end, std::string::npos) << text.substr(0, 600);
    EXPECT_LT(end, 500u) << text.substr(0, 600);
    EXPECT_NE(text.find("... (1000015 bytes)"), std::string::npos) << text.substr(0, 600);
    EXPECT_NE(text.find("file:3: error: it failed"), std::string::npos);
}

}  // namespace
