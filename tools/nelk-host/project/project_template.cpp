#include "project_template.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "process/scratch_folder.h"
#if !defined(_WIN32)
#include "process/child_command.h"
#endif

namespace nelk_host_tool {

namespace {

const char* const keywords[] = {
    "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break", "case", "catch", "char",
    "char8_t", "char16_t", "char32_t", "class", "compl", "concept", "const", "consteval", "constexpr", "constinit",
    "const_cast", "continue", "co_await", "co_return", "co_yield", "decltype", "default", "delete", "do", "double",
    "dynamic_cast", "else", "enum", "explicit", "export", "extern", "false", "float", "for", "friend", "goto", "if",
    "inline", "int", "long", "mutable", "namespace", "new", "noexcept", "not", "not_eq", "nullptr", "operator", "or",
    "or_eq", "private", "protected", "public", "register", "reinterpret_cast", "requires", "return", "short", "signed",
    "sizeof", "static", "static_assert", "static_cast", "struct", "switch", "template", "this", "thread_local",
    "throw", "true", "try", "typedef", "typeid", "typename", "union", "unsigned", "using", "virtual", "void",
    "volatile", "wchar_t", "while", "xor", "xor_eq"};

std::string withCase(std::string text, int (*change)(int)) {
    std::transform(text.begin(), text.end(), text.begin(), [change](unsigned char c) { return static_cast<char>(change(c)); });
    return text;
}

// Target names CMake keeps for itself (in any case: some generators spell them in capitals).
const char* const cmakeTargets[] = {"all", "all_build", "clean", "depend", "edit_cache", "help", "install", "install_local",
                                    "install_strip", "list_install_components", "package", "package_source", "preinstall",
                                    "rebuild_cache", "run_tests", "test", "zero_check"};

// Names that the C and C++ libraries, POSIX, Windows and the compilers already give a meaning to
// in every file (a macro, a namespace, a global function or type), so that a class of that name
// breaks the project's code.
const char* const takenNames[] = {
    "linux", "unix", "i386", "errno", "NULL", "EOF", "BUFSIZ", "FILE", "NDEBUG", "TRUE", "FALSE", "WIN32", "min", "max",
    "std", "assert", "stdin", "stdout", "stderr", "offsetof", "size_t", "ptrdiff_t", "wchar_t", "main", "exit", "abort",
    "free", "malloc", "signal", "time", "clock", "div", "abs", "printf", "testing", "gtest"};

// The framework's and the test kit's own names without the nelk_ prefix (which is refused whole).
const char* const frameworkNames[] = {"parsedCommand", "slotNotify", "buttonNotify", "slotEvent", "buttonEvent",
                                      "commandEvent", "dataEvent", "librarySignature", "load_nelk_client_script"};

bool listed(const char* const* first, const char* const* last, const std::string& name, bool anyCase) {
    return std::any_of(first, last, [&](const char* each) {
        return (anyCase ? withCase(name, std::tolower) : name) == each;
    });
}

// Where the template's own code uses `name` as an identifier (comments, texts and #include lines
// left out), as "FILE"; empty when it does not.
std::string templateUse(const std::string& name) {
    for (const embedded_file& file : projectTemplateFiles()) {
        const std::string path = file.path;
        const auto endsWith = [&](const std::string& ending) {
            return path.size() >= ending.size() && path.compare(path.size() - ending.size(), ending.size(), ending) == 0;
        };
        if (!endsWith(".h") && !endsWith(".cpp")) continue;
        const std::string code(reinterpret_cast<const char*>(file.bytes), file.size);
        for (std::size_t at = 0; at < code.size();) {
            const char c = code[at];
            if (code.compare(at, 2, "//") == 0 || (c == '#' && code.compare(at, 8, "#include") == 0)) {
                at = code.find('\n', at);
                continue;
            }
            if (c == '@') {  // a placeholder, @Name@ and the like
                at = code.find('@', at + 1);
                at = at == std::string::npos ? code.size() : at + 1;
                continue;
            }
            if (c == '"' || c == '\'') {
                std::size_t end = at + 1;
                while (end < code.size() && code[end] != c) end += code[end] == '\\' ? 2 : 1;
                at = end + 1;
                continue;
            }
            if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                std::size_t end = at;
                while (end < code.size() && (std::isalnum(static_cast<unsigned char>(code[end])) || code[end] == '_')) ++end;
                if (code.compare(at, end - at, name) == 0 && end - at == name.size()) return path;
                at = end;
                continue;
            }
            ++at;
        }
    }
    return "";
}

// A template file, in the component's source folder, whose name the component's files would take
// on a file system that ignores case ("load_entry" and src/load_entry.cpp).
bool takesAFileName(const std::string& name) {
    for (const embedded_file& file : projectTemplateFiles()) {
        std::string stem = file.path;
        stem = stem.substr(stem.find_last_of('/') + 1);
        stem = stem.substr(0, stem.find('.'));
        if (withCase(stem, std::tolower) == withCase(name, std::tolower)) return true;
    }
    return false;
}

std::string replaced(std::string text, const std::string& name, const std::string& prefix) {
    const std::string lower = withCase(name, std::tolower);
    const std::string upper = withCase(name, std::toupper);
    const std::pair<std::string, const std::string*> marks[] = {
        {"@Name@", &name}, {"@name@", &lower}, {"@NAME@", &upper}, {"@prefix@", &prefix}};
    for (const auto& mark : marks) {
        for (std::size_t at = text.find(mark.first); at != std::string::npos; at = text.find(mark.first, at + mark.second->size()))
            text.replace(at, mark.first.size(), *mark.second);
    }
    return text;
}

}  // namespace

bool validComponentName(const std::string& name, std::string& problem) {
    const auto bad = [&](const std::string& why) {
        problem = "\"" + name + "\" cannot name a component: " + why;
        return false;
    };
    if (name.empty()) return bad("give a C++ identifier such as Tally");
    if (name.size() > 64) return bad("it is longer than 64 characters");
    if (std::isdigit(static_cast<unsigned char>(name[0]))) return bad("it starts with a digit; a C++ identifier cannot");
    for (std::size_t at = 0; at < name.size(); ++at) {
        const unsigned char c = static_cast<unsigned char>(name[at]);
        if (std::isalnum(c) || c == '_') continue;
        // A character beyond ASCII is said whole: its lead byte and the continuation bytes after it.
        std::size_t end = at + 1;
        while (c >= 0xc0 && end < name.size() && (static_cast<unsigned char>(name[end]) & 0xc0) == 0x80) ++end;
        return bad("it holds '" + name.substr(at, end - at) + "'; use letters, digits and '_' only (a C++ identifier)");
    }
    if (name[0] == '_' || name.find("__") != std::string::npos)
        return bad("names with a leading '_' or with \"__\" are reserved in C++");
    if (std::find(std::begin(keywords), std::end(keywords), name) != std::end(keywords)) return bad("it is a C++ keyword");
    if (listed(std::begin(cmakeTargets), std::end(cmakeTargets), name, true))
        return bad("CMake keeps that target name for itself, so the project would not configure");
    if (listed(std::begin(takenNames), std::end(takenNames), name, false))
        return bad("the C and C++ libraries or the platform already define it, so the project would not compile");
    if (name.compare(0, 5, "nelk_") == 0 || listed(std::begin(frameworkNames), std::end(frameworkNames), name, false))
        return bad("the framework uses that name itself; names beginning with nelk_ are the framework's");
    const std::string use = templateUse(name);
    if (!use.empty()) return bad("the project's own code uses it already (" + use + "), so it would not compile");
    if (takesAFileName(name)) return bad("the project has a file of that name already");
    return true;
}

#if !defined(_WIN32)
namespace {

// The project's uses of the name, in the headers it is compiled with: a class, its constructor and
// destructor defined out of line, and made through a template (as the entry makes it).
std::string compilerProbe(const std::string& name) {
    std::string probe;
    for (const char* header : {"algorithm", "chrono", "cmath", "cstdio", "cstdlib", "cstring", "ctime", "csignal",
                               "functional", "iostream", "map", "memory", "mutex", "string", "thread", "vector",
                               "unistd.h", "sys/types.h", "sys/select.h", "sys/stat.h", "fcntl.h", "pthread.h", "dlfcn.h"})
        probe += std::string("#include <") + header + ">\n";
    probe += "class @Name@ {\npublic:\n    @Name@(int, const char*);\n    ~@Name@();\n};\n"
             "@Name@::@Name@(int, const char*) {}\n@Name@::~@Name@() {}\n"
             "template <typename T> T* nelk_probe_make() { return new T(1, \"\"); }\n"
             "void nelk_probe_use() { delete nelk_probe_make<@Name@>(); }\n";
    return replaced(probe, name, "");
}

}  // namespace
#endif

bool compilerAccepts(const std::string& name, std::string& problem) {
#if defined(_WIN32)
    (void)name;
    (void)problem;
    return true;
#else
    const char* fromEnvironment = std::getenv("CXX");
    const std::string compiler = fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : "c++";
    const scratch_folder work("nelk-new");
    if (work.path().empty()) return true;
    const std::string file = work.path() + "/probe.cpp";
    std::ofstream(file, std::ios::binary) << compilerProbe(name);
    const command_result result = runCommand({compiler, "-std=c++17", "-fsyntax-only", file}, 120);
    if (!result.started || result.timedOut) return true;  // no compiler to ask: the lists alone decide
    if (result.succeeded()) return true;
    std::string first = result.errors.substr(0, result.errors.find('\n'));
    const std::size_t error = first.find("error: ");
    if (error != std::string::npos) first = first.substr(error + 7);
    problem = "\"" + name + "\" cannot name a component: the compiler's headers already give it a meaning, so the project " +
              "would not compile (" + compiler + ": " + first + ")";
    return false;
#endif
}

std::vector<project_file> projectFiles(const std::string& name, const std::string& kitPrefix) {
    std::vector<project_file> files;
    for (const embedded_file& each : projectTemplateFiles()) {
        const std::string text(reinterpret_cast<const char*>(each.bytes), each.size);
        files.push_back({replaced(each.path, name, kitPrefix), replaced(text, name, kitPrefix), std::string(each.path).size() > 3 && std::string(each.path).compare(std::string(each.path).size() - 3, 3, ".sh") == 0});
    }
    return files;
}

bool writeProject(const std::string& name, const std::string& folder, const std::string& kitPrefix, std::string& problem) {
    namespace fs = std::filesystem;
    if (!validComponentName(name, problem) || !compilerAccepts(name, problem)) return false;
    std::error_code error;
    const fs::path root(folder);
    if (fs::exists(fs::symlink_status(root, error))) {  // a missing folder sets `error`: it is cleared below
        problem = folder + " exists already; new writes only into a folder it makes, so give another";
        return false;
    }
    error.clear();
    if (root.has_parent_path()) fs::create_directories(root.parent_path(), error);
    // create_directory reports whether it made the folder: one that appeared meanwhile is left alone.
    if (error || !fs::create_directory(root, error) || error) {
        problem = "cannot make the folder " + folder + (error ? ": " + error.message() : std::string(" (it exists)"));
        return false;
    }
    for (const project_file& each : projectFiles(name, kitPrefix)) {
        const fs::path path = root / fs::path(each.path);
        fs::create_directories(path.parent_path(), error);
        std::ofstream out(path, std::ios::binary);
        out << each.text;
        out.close();
        if (each.executable) fs::permissions(path, fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                                             fs::perm_options::add, error);
        if (error || !out) {
            problem = "cannot write " + path.string() + (error ? ": " + error.message() : std::string());
            fs::remove_all(root, error);  // the folder is ours: nothing half-made stays behind
            return false;
        }
    }
    return true;
}

}  // namespace nelk_host_tool
