// The tap's trace writer: a trace path it cannot or must not write is refused with its reason,
// and calls that overlap on two threads are noted where the second begins.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tap_trace.h"

namespace {

namespace fs = std::filesystem;

class TapTraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("nelk-tap-trace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                              "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    static std::string read(const fs::path& path) {
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    fs::path folder;
};

TEST_F(TapTraceTest, APathItCannotWriteIsRefusedWithItsReason) {
    nelk_tap::trace_writer missing((folder / "no/such/folder/trace.nelk").string(), "libX.so");
    EXPECT_FALSE(missing.open());
    EXPECT_NE(missing.problem().find("cannot write the trace"), std::string::npos) << missing.problem();
#if !defined(_WIN32)
    // A link planted where the trace goes (a shared folder, a %p name guessed in advance): the
    // file it points to is left alone.
    std::ofstream(folder / "victim") << "untouched\n";
    fs::create_symlink(folder / "victim", folder / "trace.nelk");
    nelk_tap::trace_writer planted((folder / "trace.nelk").string(), "libX.so");
    EXPECT_FALSE(planted.open());
    EXPECT_NE(planted.problem().find("a symbolic link stands there"), std::string::npos) << planted.problem();
    EXPECT_EQ(read(folder / "victim"), "untouched\n");
#endif
}

TEST_F(TapTraceTest, CallsThatOverlapOnTwoThreadsAreNoted) {
    const fs::path path = folder / "trace.nelk";
    {
        nelk_tap::trace_writer trace(path.string(), (folder / "libX.so").string());
        ASSERT_TRUE(trace.open()) << trace.problem();
        trace.begin("T1", "command T1 \"a\"");
        std::thread other([&trace] {
            trace.begin("T2", "command T2 \"b\"");
            trace.end();
        });
        other.join();
        trace.end();
        // One thread nesting its own calls is no overlap.
        trace.begin("T1", "command T1 \"c\"");
        trace.begin("T1", "timer T1 1");
        trace.end();
        trace.end();
    }
    const std::string text = read(path);
    const std::string note = "this call came on another thread while T1's call was in progress";
    const std::size_t at = text.find(note);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_LT(text.find("> command T2"), at) << text;
    EXPECT_EQ(text.find(note, at + 1), std::string::npos) << text;
}

}  // namespace
