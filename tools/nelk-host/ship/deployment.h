// `nelk-host deploy`: a package put into a host's component folder as the host expects it
// (DIR/NAME/, the library and its layouts side by side), with a backup of everything it replaces
// so that `--undo` puts the folder back as it was before the first deploy. The tap can stand in
// front of the library (docs/tap.md). A nelk_string library in the package goes into the host's
// own folder, DIR's parent, and never over one already there without `force`: that may be the
// host's own string library. The record of a deploy is kept in DIR/.nelk-deploy/NAME/. Plain
// functions; the caller's thread.
#pragma once

#include <string>
#include <vector>

namespace nelk_package {

struct deploy_request {
    std::string package;  // the .zip
    std::string into;     // the host's component folder
    bool withTap = false;
    bool force = false;
};

struct deploy_result {
    bool done = false;
    std::string name;                 // the component's
    std::vector<std::string> placed;  // files written, with their paths
    std::vector<std::string> kept;    // files replaced, each kept in the backup
    std::string problem;              // why nothing (more) was done
};

// Deploys; `scratch` is a private folder to unpack the package into.
deploy_result deploy(const deploy_request& request, const std::string& scratch);
// Puts back what the deploys of component `name` (or of the package's component, when a .zip is
// given) into `into` replaced, and removes what they added.
deploy_result undoDeploy(const std::string& nameOrPackage, const std::string& into, const std::string& scratch);

}  // namespace nelk_package
