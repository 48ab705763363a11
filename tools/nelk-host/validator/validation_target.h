// What one library argument of `nelk-host validate` is, and how its checks run: a library of
// this platform (the battery here, as always), a Windows DLL (the image checks, then the battery
// here on Windows, or under the kit's runner and Windows nelk-host elsewhere), or a package (it
// is unpacked into the run's scratch folder; the image and package checks, then the battery on
// the library inside). The validator's thread; the target's files live as long as the scratch folder.
#pragma once

#include <string>
#include <vector>

namespace nelk_validator {

enum class battery_mode {
    here,       // in this program, as for a library of its platform
    delegated,  // by another nelk-host (the Windows one, under its runner), whose JSON report is taken
    cannot,     // nowhere: every battery check is skipped, saying why
};

struct validation_target {
    std::string argument;      // as given; reports name it
    std::string library;       // the library to check: the argument, or the one inside the package
    std::string package;       // the folder the package was unpacked into; "" for a library
    bool imageChecks = false;  // a Windows DLL or a package: the image checks run before the battery
    battery_mode mode = battery_mode::here;
    std::vector<std::string> delegate;  // for `delegated`: the command, to which validate's options are added
    std::string where;                  // for `delegated`: where the battery runs, for the report
    std::string cannot;                 // for `cannot`: why not
};

// Prepares `argument`; `scratch` is a private folder the package is unpacked into, `index` tells
// apart the arguments' folders.
validation_target prepareTarget(const std::string& argument, const std::string& scratch, int index);

}  // namespace nelk_validator
