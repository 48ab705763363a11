#include "project_template.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace nelk_host_tool {

namespace {

const char* const keywords[] = {
    "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break", "case", "catch", "char",
    "char8_t", "char16_t", "char32_t", "class", "compl", "concept", "const", "consteval", "constexpr", "constinit",
    "const_cast", "continue", "co_await", "co_return", "co_yield", "decltype", "default", "delete", "do", "double",
    "dynamic_cast", "else", "enum", "explicit", "export", "extern", "false", "float", "for", "friend", "goto", "if",
    "inline", "int", "long", "mutable", "namespace", "new", "noexcept", "not", "not_eq", "nullptr", "operator", "or",
    "or_eq", "private", "protected", "public", "register", "reinterpret_cast", "requires", "return", "short", "signed",
    "sizeof", "static", "static_assert", "static_cast", "struct", "switch", "template", "this", "thread_local",
    "throw", "true", "try", "typedef", "typeid", "typename", "union", "unsigned", "using", "virtual", "void",
    "volatile", "wchar_t", "while", "xor", "xor_eq"};

// The files, with @Name@ for the component's name, @name@ for it in lower case (file names,
// test targets) and @NAME@ in upper case (a macro).
const project_file templates[] = {
    {"CMakeLists.txt", R"(# @Name@: a component for panel hosts, made by nelk-host new.
#   cmake -S . -B build -DCMAKE_PREFIX_PATH=<the prefix nelk_script_helper is installed in>
#   cmake --build build && ctest --test-dir build
cmake_minimum_required(VERSION 3.16)
project(@Name@ LANGUAGES CXX)

find_package(nelk_script_helper 1 REQUIRED)
find_package(GTest REQUIRED)
enable_testing()

# The library the host loads, with its layout copied beside it; both are installed to lib/nelk.
nelk_add_component(@Name@ src/@Name@.cpp src/load_entry.cpp LAYOUTS layouts/@name@.nelk_ui)

# Unit tests: the library loaded as a host loads it and driven with the test kit.
add_executable(@name@_tests tests/@name@_test.cpp)
target_compile_features(@name@_tests PRIVATE cxx_std_17)
target_link_libraries(@name@_tests PRIVATE nelk::nelk_test_kit GTest::gtest_main)
target_compile_definitions(@name@_tests PRIVATE @NAME@_LIBRARY="$<TARGET_FILE:@Name@>")
add_dependencies(@name@_tests @Name@)
add_test(NAME @name@_tests COMMAND @name@_tests)

# The scenario through nelk-host, and the validator's whole battery of checks.
nelk_add_scenario_test(@name@_scenario @Name@ scenarios/@name@.nelk)
nelk_add_validator_test(@Name@)
)"},
    {"src/@Name@.h", R"(// @Name@: shows "@name@.nelk_ui" in panel 1 and
//   - keeps one property, "Label" (the command "Label=TEXT"), shown in the control "label";
//   - answers one query, "return=all", with its state: "Label=TEXT";
//   - lists its commands in the answer to "_commands", one "name=[value]" a line;
//   - counts the presses of the button "Count" in the control "count";
//   - shows the text of slot 1 of driver 1 in the control "source";
//   - stops every timer that fires.
// Created by load_nelk_client_script and deleted by the host; every call comes on the host's thread.
#pragma once

#include "nelk_script_helper.h"

class @Name@ : public nelk_script_helper {
public:
    // host and text go unchanged to nelk_script_helper (the text is the layout's folder).
    // Shows panel 1 and registers for slot 1 of driver 1.
    @Name@(nelk_host* host, const char* text);
    // Gives up the slot; the framework then tells the host "AS".
    ~@Name@() override;

    // The hooks; what an event points to is valid during the call only.
    void buttonCallback(buttonEvent& event) override;
    int slotCallback(slotEvent& event) override;
    nelk_string commandCallback(commandEvent& event) override;
    void timerCallback(int id) override;

private:
    nelk_string label;  // the "Label" property, as last set
    int presses = 0;    // of the "Count" button
};
)"},
    {"src/@Name@.cpp", R"(#include "@Name@.h"

namespace {
const char panel[] = "1";
const int slotDriver = 1;
const int watchedSlot = 1;
}  // namespace

@Name@::@Name@(nelk_host* host, const char* text) : nelk_script_helper(host, text), label("@Name@") {
    panelShow(panel, "@name@.nelk_ui", nelk_string());
    infoRegister(slotDriver, watchedSlot, watchedSlot, false);
}

@Name@::~@Name@() { infoUnregister(slotDriver); }

void @Name@::buttonCallback(buttonEvent& event) {
    if (event.controlId() == "Count") {
        ++presses;
        textPut("text", nelk_string(presses, ' ', 0, 10), panel, "count");
    }
}

int @Name@::slotCallback(slotEvent& event) {
    if (event.device() == slotDriver && event.index() == watchedSlot) textPut("text", event.slotText(), panel, "source");
    return 0;
}

nelk_string @Name@::commandCallback(commandEvent& event) {
    const nelk_string name = event.commandName();
    if (name == "Label") {
        label = event.commandValue();
        textPut("text", label, panel, "label");
    } else if (name == "return" && event.commandValue() == "all") {
        return "Label=" + label;  // copied for the host by the framework
    } else if (name == "_commands") {
        return "Label=[text]";  // what a host, and the validator, may send
    }
    return nelk_string();  // reaches the host as null
}

void @Name@::timerCallback(int id) { timerStop(id); }
)"},
    {"src/load_entry.cpp", R"(// The library's one export: the host calls it to create a component.
#include "@Name@.h"

// host: kept by the component, may be null. text: the load text, copied. Returns a new @Name@ the
// host owns and deletes, or null when it cannot be made. Host's thread.
NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text) {
    return nelk_createComponent<@Name@>(host, text);
}
)"},
    {"layouts/@name@.nelk_ui", R"({
  "panel": "@Name@",
  "width": 360,
  "height": 190,
  "controls": [
    { "id": "label", "type": "label", "x": 20, "y": 14, "width": 320, "height": 28,
      "properties": { "text": "@Name@" } },
    { "id": "source", "type": "label", "x": 20, "y": 52, "width": 320, "height": 28,
      "properties": { "text": "" } },
    { "id": "count", "type": "label", "x": 20, "y": 90, "width": 150, "height": 28,
      "properties": { "text": "0" } },
    { "id": "Count", "type": "button", "command": "press", "x": 20, "y": 130, "width": 150, "height": 40,
      "properties": { "text": "Count" } }
  ]
}
)"},
    {"tests/@name@_test.cpp", R"(// @Name@ loaded as a host loads it and driven with the test kit's recording host, which checks
// every line it sends and that every answer it was handed is given back.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "nelk_test_kit.h"

namespace {

using lines = std::vector<std::string>;
using namespace nelk_test_kit;

class @Name@Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(library.loaded()) << library.error();
        component.reset(library.create(&host, "/panels"));
        ASSERT_NE(component, nullptr);
        EXPECT_EQ(host.takeLines(), (lines{"PS '1' '/panels/@name@.nelk_ui'", "IR 1 1 1"}));
    }
    void TearDown() override {
        component.reset();
        EXPECT_EQ(host.takeLines(), (lines{"IU 1", "AS"}));
        for (const std::string& problem : host.finish()) ADD_FAILURE() << problem;
    }
    component_library library{@NAME@_LIBRARY};
    recording_host host;
    component_pointer component;
};

TEST_F(@Name@Test, KeepsItsLabelAndAnswersTheQuery) {
    struct row {
        const char* command;
        lines sent;
        std::optional<std::string> answer;
    };
    const row rows[] = {
        {"return=all", {}, std::string("Label=@Name@")},
        {"Label=Studio A", {"TP 'text=Studio A' '1' 'label'"}, std::nullopt},
        {"return=all", {}, std::string("Label=Studio A")},
        {"return=other", {}, std::nullopt},
        {"_commands", {}, std::string("Label=[text]")},
        {"unknown=1", {}, std::nullopt},
    };
    for (const row& each : rows) {
        EXPECT_EQ(sendCommand(*component, each.command), each.answer) << each.command;
        EXPECT_EQ(host.takeLines(), each.sent) << each.command;
    }
}

TEST_F(@Name@Test, CountsPressesShowsItsSlotAndStopsTimers) {
    sendControl(*component, "Count", "press");
    sendControl(*component, "Count", "press");
    sendControl(*component, "label", "press");  // another control: nothing
    sendSlot(*component, 1, 1, "Camera 2");
    sendSlot(*component, 1, 2, "not watched");
    sendTimer(*component, 7);
    EXPECT_EQ(host.takeLines(), (lines{"TP 'text=1' '1' 'count'", "TP 'text=2' '1' 'count'",
                                       "TP 'text=Camera 2' '1' 'source'", "ET 7"}));
}

}  // namespace
)"},
    {"scenarios/@name@.nelk", R"(# @Name@ as a panel host drives it: nelk-host run --library LIBRARY scenarios/@name@.nelk
# (the instance left at the end is deleted by run, and kept by serve)
load T
command T "return=all" -> "Label=@Name@"
command T "Label=Studio A"
check T label text "Studio A"
control T Count "press"
check T count text "1"
slot 1 1 "Camera 2"
check T source text "Camera 2"
timer T 3
)"},
    {".gitignore", "build/\n"},
};

std::string replaced(std::string text, const std::string& name) {
    std::string lower = name;
    std::string upper = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::pair<const char*, const std::string*> marks[] = {{"@Name@", &name}, {"@name@", &lower}, {"@NAME@", &upper}};
    for (const auto& mark : marks) {
        for (std::size_t at = text.find(mark.first); at != std::string::npos; at = text.find(mark.first, at + mark.second->size()))
            text.replace(at, 6, *mark.second);
    }
    return text;
}

}  // namespace

bool validComponentName(const std::string& name, std::string& problem) {
    const auto bad = [&](const std::string& why) {
        problem = "\"" + name + "\" cannot name a component: " + why;
        return false;
    };
    if (name.empty()) return bad("give a C++ identifier such as Tally");
    if (name.size() > 64) return bad("it is longer than 64 characters");
    if (std::isdigit(static_cast<unsigned char>(name[0]))) return bad("it starts with a digit; a C++ identifier cannot");
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return bad("it holds '" + std::string(1, c) + "'; use letters, digits and '_' only (a C++ identifier)");
    }
    if (name[0] == '_' || name.find("__") != std::string::npos)
        return bad("names with a leading '_' or with \"__\" are reserved in C++");
    if (std::find(std::begin(keywords), std::end(keywords), name) != std::end(keywords)) return bad("it is a C++ keyword");
    return true;
}

std::vector<project_file> projectFiles(const std::string& name) {
    std::vector<project_file> files;
    for (const project_file& each : templates) files.push_back({replaced(each.path, name), replaced(each.text, name)});
    return files;
}

bool writeProject(const std::string& name, const std::string& folder, std::string& problem) {
    namespace fs = std::filesystem;
    if (!validComponentName(name, problem)) return false;
    std::error_code error;
    const fs::path root(folder);
    if (fs::exists(fs::symlink_status(root, error))) {  // a missing folder sets `error`: it is cleared below
        problem = folder + " exists already; new writes only into a folder it makes, so give another";
        return false;
    }
    error.clear();
    if (root.has_parent_path()) fs::create_directories(root.parent_path(), error);
    // create_directory reports whether it made the folder: one that appeared meanwhile is left alone.
    if (error || !fs::create_directory(root, error) || error) {
        problem = "cannot make the folder " + folder + (error ? ": " + error.message() : std::string(" (it exists)"));
        return false;
    }
    for (const project_file& each : projectFiles(name)) {
        const fs::path path = root / fs::path(each.path);
        fs::create_directories(path.parent_path(), error);
        std::ofstream out(path, std::ios::binary);
        out << each.text;
        out.close();
        if (error || !out) {
            problem = "cannot write " + path.string() + (error ? ": " + error.message() : std::string());
            fs::remove_all(root, error);  // the folder is ours: nothing half-made stays behind
            return false;
        }
    }
    return true;
}

}  // namespace nelk_host_tool
