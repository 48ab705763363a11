// What a component prints to standard output stays out of nelk-host's transcript: with --json
// every line of the run's output is still one JSON object, the component's text among them as a
// note of "stdout", whether the files run in processes of their own or in nelk-host's.
#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "process/child_command.h"
#include "process/scratch_folder.h"

namespace {

TEST(ComponentOutputTest, AComponentsTextIsANoteAndEveryLineStaysJson) {
    nelk_host_tool::scratch_folder folder("component-output");
    const std::string scenario = folder.path() + "/prints.nelk";
    std::ofstream(scenario) << "load W " NELK_PRINTING_LIBRARY "\ncommand W \"x=1\"\ndelete W\n";
    for (const char* mode : {"", "--in-process"}) {
        SCOPED_TRACE(*mode == '\0' ? "a process for the file" : mode);
        std::vector<std::string> arguments{NELK_HOST_PROGRAM, "--json", "run"};
        if (*mode != '\0') arguments.push_back(mode);
        arguments.push_back(scenario);
        const nelk_host_tool::command_result ran = nelk_host_tool::runCommand(arguments, 60);
        ASSERT_TRUE(ran.succeeded()) << ran.ending(60) << "\n" << ran.output << ran.errors;
        std::istringstream lines(ran.output);
        int notes = 0;
        int events = 0;
        for (std::string line; std::getline(lines, line);) {
            const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
            ASSERT_TRUE(event.is_object()) << "not one JSON object: " << line;
            ++events;
            if (event.value("event", "") == "note" && event.value("instance", "") == "stdout") {
                EXPECT_EQ(event.value("text", ""), "broken component 1.0 loaded");
                ++notes;
            }
        }
        EXPECT_EQ(notes, 1) << ran.output;
        EXPECT_GE(events, 5) << ran.output;  // the transcript itself is all there
    }
}

}  // namespace
#endif
