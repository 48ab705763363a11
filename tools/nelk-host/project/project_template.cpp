#include "project_template.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

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

std::string replaced(std::string text, const std::string& name) {
    std::string lower = name;
    std::string upper = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::pair<const char*, const std::string*> marks[] = {{"@Name@", &name}, {"@name@", &lower}, {"@NAME@", &upper}};
    for (const auto& mark : marks) {
        for (std::size_t at = text.find(mark.first); at != std::string::npos; at = text.find(mark.first, at + mark.second->size()))
            text.replace(at, 6, *mark.second);
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
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return bad("it holds '" + std::string(1, c) + "'; use letters, digits and '_' only (a C++ identifier)");
    }
    if (name[0] == '_' || name.find("__") != std::string::npos)
        return bad("names with a leading '_' or with \"__\" are reserved in C++");
    if (std::find(std::begin(keywords), std::end(keywords), name) != std::end(keywords)) return bad("it is a C++ keyword");
    return true;
}

std::vector<project_file> projectFiles(const std::string& name) {
    std::vector<project_file> files;
    for (const embedded_file& each : projectTemplateFiles()) {
        const std::string text(reinterpret_cast<const char*>(each.bytes), each.size);
        files.push_back({replaced(each.path, name), replaced(text, name)});
    }
    return files;
}

bool writeProject(const std::string& name, const std::string& folder, std::string& problem) {
    namespace fs = std::filesystem;
    if (!validComponentName(name, problem)) return false;
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
    for (const project_file& each : projectFiles(name)) {
        const fs::path path = root / fs::path(each.path);
        fs::create_directories(path.parent_path(), error);
        std::ofstream out(path, std::ios::binary);
        out << each.text;
        out.close();
        if (error || !out) {
            problem = "cannot write " + path.string() + (error ? ": " + error.message() : std::string());
            fs::remove_all(root, error);  // the folder is ours: nothing half-made stays behind
            return false;
        }
    }
    return true;
}

}  // namespace nelk_host_tool
