// The live session's own commands: reload of a rebuilt library (by hand and when its file
// changes), and save.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "scenario/live_session.h"

namespace {

using namespace nelk_host_tool;
namespace fs = std::filesystem;

// A library of the session in a folder of its own, which the test swaps for another build as a
// compiler would: a new file renamed over the old one.
class LiveSessionTest : public ::testing::Test {
protected:
    LiveSessionTest()
        : folder(fs::path(testing::TempDir()) / ("nelk-live-session-" + std::to_string(std::random_device{}()))),
          sink(std::tmpfile()),
          output(sink, transcript_style::quiet, false) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        library = (folder / "libcomponent.so").string();
        install(NELK_ALARM_PANEL_EXAMPLE);
        output.listen([this](const nlohmann::ordered_json& event) {
            const std::string kind = event.value("event", "");
            if (kind == "note" || kind == "error") told.push_back(kind + ": " + event.value("text", ""));
        });
    }
    ~LiveSessionTest() override {
        session.reset();
        std::fclose(sink);
        fs::remove_all(folder);
    }
    // Puts `built` (and the layouts beside it) where the session's library is.
    void install(const fs::path& built) {
        for (const char* layout : {"alarm_panel.nelk_ui", "corvane.nelk_ui"})
            fs::copy_file(built.parent_path() / layout, folder / layout, fs::copy_options::overwrite_existing);
        const fs::path fresh = folder / "fresh.so";
        fs::copy_file(built, fresh, fs::copy_options::overwrite_existing);
        fs::rename(fresh, library);
    }
    bool toldAbout(const std::string& part) const {
        for (const std::string& each : told)
            if (each.find(part) != std::string::npos) return true;
        return false;
    }
    std::string told_() const {
        std::string all;
        for (const std::string& each : told) all += each + "\n";
        return all;
    }
    // --watch's polls, as the prompt or the server makes them, until the session says `what`
    // (or 10 s have passed: the quiet period is half a second).
    void watchUntil(const std::string& what) {
        for (int poll = 0; poll < 100 && !toldAbout(what); ++poll) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            session->reloadChanged("watch");
        }
    }
    std::string value(const std::string& control, const std::string& property, const std::string& name = "P") {
        const instance* panel = session->host().find(name);
        if (panel == nullptr) return "<no instance>";
        const panel_control* found = panel->panel.find(control);
        if (found == nullptr) return "<no control>";
        const std::string* text = found->find(property);
        return text == nullptr ? "<unset>" : *text;
    }

    fs::path folder;
    std::string library;
    std::FILE* sink;
    transcript output;
    std::vector<std::string> told;
    std::unique_ptr<live_session> session = std::make_unique<live_session>(output, "", delivery_mode::queued);
};

TEST_F(LiveSessionTest, ReloadRebuildsTheStateAndSaysWhatDiffers) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows keeps a loaded library's file from being replaced, so a rebuild cannot happen under it";
#endif
    ASSERT_EQ(session->enter("t:1", "load P " + library), statement_result::ok) << told_();
    ASSERT_EQ(session->enter("t:2", "command P \"Title=Studio B\""), statement_result::ok) << told_();
    ASSERT_EQ(session->enter("t:3", "command P \"Raise=alm_2\""), statement_result::ok) << told_();

    // The same build again: the statements that made the state run again, nothing differs.
    EXPECT_TRUE(session->reload("t:4", "P"));
    EXPECT_EQ(value("title", "text"), "Studio B");
    EXPECT_EQ(value("alm_2", "alarm"), "1");
    EXPECT_TRUE(toldAbout("note: reloaded from " + library + "; its panel is as before")) << told_();

    // Another build (here another component altogether) noticed by its file: what changed is said.
    told.clear();
    session->reloadChanged("t:5");
    EXPECT_TRUE(told.empty()) << "nothing changed yet:\n" << told_();
    install(NELK_CORVANE_LIBRARY);
    session->reloadChanged("t:5");
    EXPECT_FALSE(toldAbout("reloading it")) << "a build is taken only once it stayed as it is:\n" << told_();
    watchUntil("reloading it");
    EXPECT_TRUE(toldAbout("note: " + library + " changed; reloading it")) << told_();
    EXPECT_TRUE(toldAbout("note: title.text was \"Studio B\", is now")) << told_();
    EXPECT_TRUE(toldAbout("differences")) << told_();
    EXPECT_EQ(value("umdText", "text"), "");  // Corvane's panel is shown now
}

TEST_F(LiveSessionTest, AHalfWrittenOrBrokenBuildNeverCostsAnInstance) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows keeps a loaded library's file from being replaced";
#endif
    ASSERT_EQ(session->enter("t:1", "load P " + library), statement_result::ok) << told_();
    ASSERT_EQ(session->enter("t:2", "command P \"Title=Studio B\""), statement_result::ok) << told_();
    // A linker half way through the file: --watch waits, and the instance keeps working.
    std::ifstream whole(NELK_CORVANE_LIBRARY, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    std::ofstream(library, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
    watchUntil("is not a whole library yet");
    EXPECT_TRUE(toldAbout("changed but is not a whole library yet (it ends before its sections do")) << told_();
    EXPECT_FALSE(toldAbout("reloading it")) << told_();
    EXPECT_EQ(session->enter("t:3", "command P \"Raise=alm_1\""), statement_result::ok) << told_();
    EXPECT_EQ(value("alm_1", "alarm"), "1");
    // A whole library that is no component (no entry): the reload is refused, the instance stays.
    install(NELK_NOT_A_COMPONENT);
    told.clear();
    watchUntil("cannot reload");
    EXPECT_TRUE(toldAbout("does not export load_nelk_client_script; its instances keep the library they have")) << told_();
    EXPECT_EQ(value("title", "text"), "Studio B");
    EXPECT_EQ(session->enter("t:4", "command P \"Raise=alm_2\""), statement_result::ok) << told_();
    EXPECT_EQ(value("alm_2", "alarm"), "1");
}

TEST_F(LiveSessionTest, ReloadKeepsTheSlotsAsTheyAreAndTheSavedSessionReplays) {
    install(NELK_CORVANE_LIBRARY);
    const std::vector<std::string> lines = {"load A " + library,           "load B " + library,
                                            "command A \"InfoDriverID=12\"", "command A \"Slot=7\"",
                                            "command B \"InfoDriverID=12\"", "command B \"Slot=7\"",
                                            "command A \"text=Old\"",         "slot 12 7 \"Newer\""};
    for (const std::string& line : lines) ASSERT_EQ(session->enter("t", line), statement_result::ok) << line << "\n" << told_();
    EXPECT_TRUE(session->reload("t:9", "A")) << told_();
    // A's own "IW" of the old command is shown but not carried out: the slot keeps "Newer".
    EXPECT_EQ(value("umdText", "text", "A"), "Newer");
    EXPECT_EQ(value("umdText", "text", "B"), "Newer");
    const std::string saved = (folder / "after-reload.nelk").string();
    ASSERT_EQ(session->enter("t:10", "save " + saved), statement_result::ok) << told_();
    // Replayed on a fresh host, the saved session holds.
    std::FILE* sink2 = std::tmpfile();
    transcript replayOutput(sink2, transcript_style::quiet, false);
    headless_host replayHost(replayOutput, delivery_mode::queued);
    scenario_runner replay(replayHost, replayOutput, library);
    EXPECT_EQ(replay.runFile(saved), statement_result::ok);
    std::fclose(sink2);
}

TEST_F(LiveSessionTest, CommandsThatCannotBeDoneSayWhy) {
    struct row {
        const char* line;
        const char* error;
    };
    const row rows[] = {
        {"reload", "no live instance to reload"},
        {"reload P", "no live instance \"P\""},
        {"reload P Q", "the form is: reload [NAME|all]"},
        {"save", "the form is: save FILE"},
        {"save /nonexistent-folder/session.nelk", "cannot write /nonexistent-folder/session.nelk"},
        {"save! /nonexistent-folder/session.nelk", "cannot write /nonexistent-folder/session.nelk"},
        {"save /", "/ exists already; save! / writes over it"},
    };
    for (const row& each : rows) {
        told.clear();
        EXPECT_EQ(session->enter("t:1", each.line), statement_result::failed) << each.line;
        ASSERT_FALSE(told.empty()) << each.line;
        EXPECT_EQ(told[0].rfind("error: ", 0), 0u) << each.line << "\n" << told_();
        EXPECT_TRUE(toldAbout(each.error)) << each.line << "\n" << told_();
    }
}

TEST_F(LiveSessionTest, SaveWritesOverAFileOnlyWhenAskedTo) {
    const std::string path = (folder / "session.nelk").string();
    ASSERT_EQ(session->enter("t:1", "save " + path), statement_result::ok) << told_();
    std::FILE* kept = std::fopen(path.c_str(), "wb");
    ASSERT_NE(kept, nullptr);
    std::fputs("kept\n", kept);
    std::fclose(kept);
    told.clear();
    EXPECT_EQ(session->enter("t:2", "save " + path), statement_result::failed);
    EXPECT_TRUE(toldAbout(nelk_test_kit::escaped(path) + " exists already; save! " + nelk_test_kit::statementWord(path) +
                          " writes over it"))
        << told_();
    EXPECT_EQ(fs::file_size(path), 5u);  // untouched
    EXPECT_EQ(session->enter("t:3", "save! " + path), statement_result::ok) << told_();
    EXPECT_GT(fs::file_size(path), 5u);
}

}  // namespace
