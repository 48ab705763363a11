#include "scratch_folder.h"

#include <cstdlib>
#include <random>

namespace nelk_host_tool {

scratch_folder::scratch_folder(const std::string& prefix) {
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) return;
#if defined(_WIN32)
    path_ = temporary / (prefix + "-" + std::to_string(std::random_device{}()));
    if (!std::filesystem::create_directory(path_, error) || error) path_.clear();
#else
    std::string name = (temporary / (prefix + "-XXXXXX")).string();
    if (mkdtemp(&name[0]) != nullptr) path_ = name;
#endif
}

scratch_folder::~scratch_folder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace nelk_host_tool
