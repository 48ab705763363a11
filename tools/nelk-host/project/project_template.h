// `nelk-host new NAME [DIR]`: a component project that builds against the installed
// nelk_script_helper package and passes its own tests out of the box. Plain functions; any thread.
#pragma once

#include <string>
#include <vector>

#include "process/embedded_files.h"

namespace nelk_host_tool {

struct project_file {
    std::string path;  // relative to the project's folder, with '/'
    std::string text;
};

// True when `name` can name the component's class, library and CMake targets: a C++ identifier
// that is no keyword, not reserved (no leading '_', no "__") and at most 64 characters; otherwise
// false with `problem` saying what is wrong.
bool validComponentName(const std::string& name, std::string& problem);

// The project's files for component `name` (which must be valid), in a fixed order.
std::vector<project_file> projectFiles(const std::string& name);

// The template behind them, built in from tools/nelk-host/project/files, where @Name@ stands for
// the component's name, @name@ for it in lower case (file names, test targets) and @NAME@ in
// upper case (a macro).
const std::vector<embedded_file>& projectTemplateFiles();

// Writes the project into `folder`, which must not exist yet (its parents may not either); never
// touches an existing folder. On a failure it removes what it made and returns false with
// `problem` set.
bool writeProject(const std::string& name, const std::string& folder, std::string& problem);

}  // namespace nelk_host_tool
