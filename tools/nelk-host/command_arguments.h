// Reads the arguments of a component's command line, as the host carries it out.
#pragma once

#include <string>
#include <vector>

namespace nelk_host_tool {

struct command_arguments {
    std::string verb;
    std::vector<std::string> texts;  // quoted arguments, in order
    std::vector<long long> numbers;  // bare numbers, in order
    bool add = false;                // "IR ... 'ADD'"
};

// Splits a line that has passed the line grammar. Texts may hold quotes, so each verb's fixed
// separators are matched from the ends: for "TP" the property=value text takes any extra quote
// pieces, for "TG" and "PS" the middle text does.
command_arguments readArguments(const std::string& line);

}  // namespace nelk_host_tool
