#include "named_layouts.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace nelk_image {

namespace {

const std::string ending = ".nelk_ui";

// A byte a layout's name may hold: what a path's piece holds in practice, no separator.
bool nameByte(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte > ' ' && byte < 0x7f && c != '/' && c != '\\' && c != '\'' && c != '"' && c != '%';
}

}  // namespace

bool namedLayouts(const std::string& path, std::vector<std::string>& names, std::string& problem) {
    std::ifstream input(path, std::ios::binary);
    if (!input) {
        problem = "cannot read " + path;
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    for (std::size_t at = bytes.find(ending); at != std::string::npos; at = bytes.find(ending, at + ending.size())) {
        std::size_t start = at;
        while (start > 0 && nameByte(bytes[start - 1])) --start;
        const std::size_t end = at + ending.size();
        if (start == at || (end < bytes.size() && nameByte(bytes[end]))) continue;  // a pattern, or a longer name
        const std::string name = bytes.substr(start, end - start);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return true;
}

}  // namespace nelk_image
