#include "private_files.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace nelk_host_tool {

bool ownFolder(const std::string& path, std::string& problem) {
    std::error_code error;
    const std::filesystem::path folder(path);
#if defined(_WIN32)
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error)) problem = path + " is not a folder nelk-host can make";
    return problem.empty();
#else
    if (!std::filesystem::exists(folder, error)) {
        if (folder.has_parent_path()) std::filesystem::create_directories(folder.parent_path(), error);
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "cannot make the folder " + path + ": " + std::strerror(errno);
            return false;
        }
    }
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        problem = path + ": " + std::strerror(errno);
    } else if (!S_ISDIR(status.st_mode)) {
        problem = path + " is not a folder";
    } else if (status.st_uid != geteuid()) {
        problem = path + " belongs to another user; name a folder of your own";
    } else if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        problem = path + ": others may write in it (chmod go-w it, or name a folder of your own)";
    }
    return problem.empty();
#endif
}

bool writeOwnFile(const std::string& path, const std::string& text, std::string& problem) {
#if defined(_WIN32)
    std::ofstream file(path, std::ios::binary);
    file << text;
    if (!file.flush()) problem = "cannot write " + path;
#else
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (descriptor < 0) {
        problem = "cannot write " + path + ": " +
                  (errno == ELOOP ? std::string("a symbolic link stands there") : std::string(std::strerror(errno)));
        return false;
    }
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = write(descriptor, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            problem = "cannot write " + path + ": " + std::strerror(errno);
            break;
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (close(descriptor) != 0 && problem.empty()) problem = "cannot write " + path + ": " + std::strerror(errno);
#endif
    return problem.empty();
}

}  // namespace nelk_host_tool
