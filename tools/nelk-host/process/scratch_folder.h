// A folder of this run's own in the temporary folder (only its user may enter it), for what a run
// unpacks, stages or lets a component write; removed, with what is in it, when the owner ends.
// Owned by the caller; its thread.
#pragma once

#include <filesystem>
#include <string>

namespace nelk_host_tool {

class scratch_folder {
public:
    // `prefix` begins the folder's name ("nelk-validate").
    explicit scratch_folder(const std::string& prefix);
    ~scratch_folder();
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    // The folder, or "" when none could be made.
    std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

}  // namespace nelk_host_tool
