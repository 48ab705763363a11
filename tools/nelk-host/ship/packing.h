// `nelk-host pack`: a component's package made from its build (the description nelk_add_component
// writes there) or from its library alone, checked before it is written: a package that fails an
// image check is never written. Plain functions; the caller's thread.
#pragma once

#include <string>
#include <vector>

#include "package/package_manifest.h"

namespace nelk_package {

struct pack_request {
    std::string source;          // a build folder, or a component library
    std::string outputFolder = ".";
    std::string name;            // which component of a build holding several; for a library: its name ("" from the file)
    std::string version;         // for a library (a build's description gives its own)
    bool withStringLibrary = false;  // put our nelk_string library in too
    std::vector<std::string> layouts;  // layouts to pack besides those found (a library whose file does not name them)
};

struct pack_result {
    bool written = false;
    std::string path;                   // the package, when written
    manifest contents;
    std::vector<std::string> failures;  // image checks that failed, "id: reason" each; nothing was written
    std::vector<std::string> warnings;  // "id: reason" each
    std::string problem;                // what stopped it before the checks (a missing build, a bad name)
};

// Makes the package; `scratch` is a private folder to stage it in (emptied by the caller).
pack_result pack(const pack_request& request, const std::string& scratch);

}  // namespace nelk_package
