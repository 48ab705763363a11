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
    bool executable = false;  // a script (ci/build.sh)
};

// True when `name` can name the component's class, library and CMake targets: a C++ identifier
// that is no keyword, not reserved (no leading '_', no "__") and at most 64 characters; otherwise
// false with `problem` saying what is wrong.
bool validComponentName(const std::string& name, std::string& problem);

// True unless the system's C++ compiler ($CXX, or c++) rejects the name where the project uses
// it, with the headers it includes (select, random, ssize_t, int8_t, ...: no list of them can be
// complete); false with `problem` quoting the compiler. With no compiler to ask (or on Windows),
// true. Runs the compiler once, in a scratch folder; the caller's thread waits.
bool compilerAccepts(const std::string& name, std::string& problem);

// The project's files for component `name` (which must be valid), in a fixed order; `kitPrefix`
// is the prefix of the kit they build against, written into them as its default ("" for none:
// then NELK_PREFIX or CMAKE_PREFIX_PATH names it).
std::vector<project_file> projectFiles(const std::string& name, const std::string& kitPrefix = "");

// The template behind them, built in from tools/nelk-host/project/files, where @Name@ stands for
// the component's name, @name@ for it in lower case (file names, test targets), @NAME@ in
// upper case (a macro) and @prefix@ for the kit's prefix.
const std::vector<embedded_file>& projectTemplateFiles();

// Writes the project into `folder`, which must not exist yet (its parents may not either), for a
// name both validComponentName() and compilerAccepts() take; never
// touches an existing folder. On a failure it removes what it made and returns false with
// `problem` set.
bool writeProject(const std::string& name, const std::string& folder, const std::string& kitPrefix, std::string& problem);

}  // namespace nelk_host_tool
