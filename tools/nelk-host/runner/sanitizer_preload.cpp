#include "runner/sanitizer_preload.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>

#include "host/library_files.h"
#include "image/library_texts.h"
#include "scenario_words.h"

namespace nelk_host_tool {

namespace {

// Set in the restarted process, which must not restart again.
const char* const restartedMark = "NELK_HOST_SANITIZERS_PRELOADED";

std::string folderOf(const std::string& file) {
    const std::size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash);
}

// This process's arguments as it was started, from /proc/self/cmdline.
std::vector<std::string> ownArguments() {
    std::ifstream input("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    std::vector<std::string> arguments;
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = all.find('\0', start);
        arguments.push_back(all.substr(start, end - start));
        start = end == std::string::npos ? all.size() : end + 1;
    }
    return arguments;
}

}  // namespace

std::vector<std::string> librariesOfRun(const std::string& library, const std::vector<std::string>& files) {
    std::vector<std::string> libraries;
    if (!library.empty()) libraries.push_back(library);
    for (const std::string& file : files) {
        std::ifstream input(file, std::ios::binary);
        for (std::string line; std::getline(input, line);) {
            std::vector<nelk_test_kit::statement_word> words;
            std::string problem;
            if (!nelk_test_kit::readStatementWords(line, words, problem) || words.size() < 2 || words[0].quoted) continue;
            const bool named = words[0].text == "library" || (words[0].text == "load" && words.size() >= 3);
            const std::string& path = words[0].text == "library" ? words[1].text : named ? words[2].text : line;
            if (named && path != "default") libraries.push_back(resolvedLibraryPath(folderOf(file), path));
        }
    }
    return libraries;
}

bool restartWithSanitizersFor(const std::vector<std::string>& libraries) {
    if (std::getenv(restartedMark) != nullptr || dlsym(RTLD_DEFAULT, "__asan_init") != nullptr) return true;
    std::string runtime;
    try {
        for (const std::string& library : libraries) {
            runtime = nelk_image::libraryTextAfter(library, nelk_image::sanitizerRuntimeMark);
            if (!runtime.empty()) break;
        }
    } catch (const std::exception&) {
        return true;  // a library that cannot be read is the run's to report, when it loads it
    }
    if (runtime.empty()) return true;
    if (access(runtime.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "nelk-host: the library is a fuzz build, which needs the sanitizers' runtime %s, and it is "
                             "not there (install the clang that built it)\n", runtime.c_str());
        return false;
    }
    const char* preloaded = std::getenv("LD_PRELOAD");
    const std::string preload = runtime + (preloaded != nullptr && preloaded[0] != '\0' ? std::string(":") + preloaded : "");
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv(restartedMark, "1", 1);
    std::vector<std::string> arguments = ownArguments();
    std::vector<char*> pointers;
    for (std::string& argument : arguments) pointers.push_back(&argument[0]);
    pointers.push_back(nullptr);
    std::fflush(nullptr);
    execv("/proc/self/exe", pointers.data());
    std::fprintf(stderr, "nelk-host: could not start again with the sanitizers' runtime %s: %s\n", runtime.c_str(),
                 std::strerror(errno));
    return false;
}

}  // namespace nelk_host_tool
