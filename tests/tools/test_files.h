// A file of the test's own in the test's temporary folder, for the tests of nelk-host's parts.
#pragma once

#include <fstream>
#include <string>

#include <gtest/gtest.h>

// Writes `content` into `name` in the temporary folder; the file's path.
inline std::string writeFile(const std::string& name, const std::string& content) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << content;
    return path;
}
