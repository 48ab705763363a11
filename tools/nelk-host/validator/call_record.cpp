#include "call_record.h"

#include <cstdio>
#include <mutex>

namespace nelk_validator {

namespace call_record {

namespace {

std::mutex lock;
std::FILE* file = nullptr;
int subjects = 0;

void line(char tag, const std::string& text) {
    const std::lock_guard<std::mutex> hold(lock);
    if (file == nullptr) return;
    std::fputc(tag, file);
    if (!text.empty()) {
        std::fputc(' ', file);
        // A statement is one line: its words escape every line feed, so none is cut here.
        std::fwrite(text.data(), 1, text.size(), file);
    }
    std::fputc('\n', file);
    std::fflush(file);
}

}  // namespace

void writeTo(const std::string& path) {
    const std::lock_guard<std::mutex> hold(lock);
    if (file != nullptr) std::fclose(file);
    file = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    subjects = 0;
}

bool on() noexcept { return file != nullptr; }
std::string newName() { return "S" + std::to_string(++subjects); }

void begin(const std::string& statement) { line('C', statement); }
void answer(const std::string& statement) { line('A', statement); }
void end() { line('E', ""); }
void breach() { line('B', ""); }
void note(const std::string& text) { line('N', text); }

}  // namespace call_record

}  // namespace nelk_validator
