// nelk-host new: which names it takes, what it writes, and that it never touches an existing folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "project/project_template.h"

namespace {

using namespace nelk_host_tool;
namespace fs = std::filesystem;

TEST(ProjectTemplateTest, NamesAreCxxIdentifiersThatNameNothingElse) {
    struct row {
        const char* name;
        const char* problem;  // a part of the message; null: accepted
    };
    const row rows[] = {
        {"Tally", nullptr},
        {"tally2", nullptr},
        {"Studio_Tally", nullptr},
        {"T", nullptr},
        {"", "give a C++ identifier"},
        {"2Tally", "starts with a digit"},
        {"Tally-2", "holds '-'"},
        {"Tally 2", "holds ' '"},
        {"../Tally", "holds '.'"},
        {"Ta\xc3\xa9", "holds '\xc3\xa9';"},  // the character whole, not half of it
        {"_Tally", "reserved"},
        {"Tally__2", "reserved"},
        {"class", "keyword"},
        {"delete", "keyword"},
        {"co_await", "keyword"},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", "longer than 64"},
        // Names whose project would not configure: CMake's own targets, in any case.
        {"test", "CMake keeps"},
        {"all", "CMake keeps"},
        {"install", "CMake keeps"},
        {"help", "CMake keeps"},
        {"clean", "CMake keeps"},
        {"Test", "CMake keeps"},
        {"ZERO_CHECK", "CMake keeps"},
        // ... or would not compile: what the libraries and platforms define, the framework's and the
        // template's own names, and a file name the template has.
        {"linux", "already define"},
        {"unix", "already define"},
        {"errno", "already define"},
        {"NULL", "already define"},
        {"EOF", "already define"},
        {"std", "already define"},
        {"nelk_string", "the framework uses"},
        {"nelk_anything", "the framework uses"},
        {"parsedCommand", "the framework uses"},
        {"label", "own code uses it"},
        {"presses", "own code uses it"},
        {"panel", "own code uses it"},
        {"buttonCallback", "own code uses it"},
        {"component_library", "own code uses it"},
        {"load_entry", "a file of that name"},
        {"Load_Entry", "a file of that name"},
        // Words the template has only in texts and comments are free.
        {"Count", nullptr},
        {"Label", nullptr},
        {"Name", nullptr},
    };
    for (const row& each : rows) {
        std::string problem;
        const bool valid = validComponentName(each.name, problem);
        if (each.problem == nullptr) {
            EXPECT_TRUE(valid) << each.name << ": " << problem;
        } else {
            EXPECT_FALSE(valid) << each.name;
            EXPECT_NE(problem.find(each.problem), std::string::npos) << each.name << ": " << problem;
        }
    }
}

#if !defined(_WIN32)
// What the C library and POSIX declare cannot be listed in full: the compiler is asked instead.
TEST(ProjectTemplateTest, NamesTheCompilersHeadersDeclareAreRefused) {
    struct row {
        const char* name;
        bool accepted;
    };
    // A function, a typedef of POSIX and one of the C library, and a name that is free.
    const row rows[] = {{"select", false}, {"ssize_t", false}, {"int8_t", false}, {"Tally", true}};
    for (const row& each : rows) {
        std::string problem;
        EXPECT_EQ(compilerAccepts(each.name, problem), each.accepted) << each.name << ": " << problem;
        if (!each.accepted) {
            EXPECT_NE(problem.find("the compiler's headers already give it a meaning"), std::string::npos) << problem;
        }
    }
}
#endif

TEST(ProjectTemplateTest, EveryFileCarriesTheNameAndNoMarkerIsLeft) {
    const std::vector<project_file> files = projectFiles("StudioTally", "/opt/kit");
    std::vector<std::string> paths;
    for (const project_file& each : files) {
        paths.push_back(each.path);
        for (const char* marker : {"@Name@", "@name@", "@NAME@", "@prefix@"})
            EXPECT_EQ(each.text.find(marker), std::string::npos) << each.path << " holds " << marker;
        EXPECT_EQ(each.executable, each.path == "ci/build.sh") << each.path;
    }
    const std::vector<std::string> expected = {".github/workflows/ci.yml", ".gitignore", "CMakeLists.txt", "CMakePresets.json",
                                               "ci/build.sh", "cmake/nelk_kit.cmake", "cmake/windows-x64.cmake",
                                               "cmake/windows-x86.cmake", "cmake/windows.cmake", "layouts/studiotally.nelk_ui",
                                               "scenarios/studiotally.nelk", "src/StudioTally.cpp", "src/StudioTally.h",
                                               "src/load_entry.cpp", "tests/studiotally_test.cpp"};
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, expected);
    const auto cmakeFile = std::find_if(files.begin(), files.end(), [](const project_file& each) { return each.path == "CMakeLists.txt"; });
    ASSERT_NE(cmakeFile, files.end());
    const std::string& cmake = cmakeFile->text;
    for (const char* wanted : {"find_package(nelk_script_helper", "nelk_add_component(StudioTally",
                               "LAYOUTS layouts/studiotally.nelk_ui", "nelk_add_unit_test(studiotally_tests StudioTally",
                               "nelk_add_scenario_test(studiotally_scenario StudioTally scenarios/studiotally.nelk)",
                               "nelk_add_validator_test(StudioTally)"})
        EXPECT_NE(cmake.find(wanted), std::string::npos) << wanted;
}

TEST(ProjectTemplateTest, TheKitThatMadeItIsTheDefaultOfItsBuildAndCi) {
    for (const project_file& each : projectFiles("Tally", "/opt/kit")) {
        const std::string wanted = each.path == "cmake/nelk_kit.cmake" ? "[==[/opt/kit]==]"
                                   : each.path == "ci/build.sh"          ? "prefix=${NELK_PREFIX:-/opt/kit}"
                                   : each.path == "tests/tally_test.cpp" ? "TALLY_LIBRARY"
                                                                         : "";
        EXPECT_NE(each.text.find(wanted), std::string::npos) << each.path << " lacks " << wanted;
    }
}

class ProjectFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each test process has a folder of its own: CTest runs them side by side.
        root = fs::path(testing::TempDir()) / ("nelk-new-" + std::to_string(std::random_device{}()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(ProjectFolderTest, WritesEveryFileIntoTheFolderItMakes) {
    std::string problem;
    const fs::path folder = root / "deeper" / "Tally";
    ASSERT_TRUE(writeProject("Tally", folder.string(), "", problem)) << problem;
    for (const project_file& each : projectFiles("Tally")) {
        std::ifstream in(folder / each.path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        EXPECT_EQ(text.str(), each.text) << each.path;
    }
}

TEST_F(ProjectFolderTest, NeverTouchesWhatExists) {
    // An existing folder (even empty), a file and a link in the way: refused, left as they were.
    fs::create_directories(root / "empty");
    fs::create_directories(root / "full");
    std::ofstream(root / "full" / "CMakeLists.txt") << "mine";
    std::ofstream(root / "file") << "mine";
    std::vector<const char*> names = {"empty", "full", "file"};
#if !defined(_WIN32)  // links need privileges there
    fs::create_symlink(root / "nowhere", root / "link");
    names.push_back("link");
#endif
    for (const char* name : names) {
        std::string problem;
        EXPECT_FALSE(writeProject("Tally", (root / name).string(), "", problem)) << name;
        EXPECT_NE(problem.find("exists already"), std::string::npos) << problem;
    }
    EXPECT_TRUE(fs::is_empty(root / "empty"));
    std::ifstream kept(root / "full" / "CMakeLists.txt");
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "mine");
    EXPECT_FALSE(fs::exists(root / "nowhere"));

    std::string problem;
    EXPECT_FALSE(writeProject("2bad", (root / "new").string(), "", problem));
    EXPECT_FALSE(fs::exists(root / "new")) << "a bad name makes no folder";
}

}  // namespace
