#include "child_result.h"

#include <cstring>

namespace nelk_host_tool {

std::string child_result::text() const {
    nlohmann::ordered_json counts = nlohmann::ordered_json::array();
    for (const std::uint64_t count : coverage) counts.push_back(count);
    nlohmann::ordered_json document{{"verdict", verdict}, {"reason", reason}, {"coverage", counts}};
    if (!detail.is_null()) document["detail"] = detail;
    return document.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::optional<child_result> child_result::read(const std::string& text) {
    const nlohmann::ordered_json document = nlohmann::ordered_json::parse(text, nullptr, false);
    if (!document.is_object() || !document.contains("verdict") || !document["verdict"].is_number_integer()) return std::nullopt;
    child_result result;
    result.verdict = document["verdict"].get<int>();
    result.reason = document.value("reason", "");
    const auto counts = document.find("coverage");
    if (counts != document.end() && counts->is_array()) {
        for (const auto& count : *counts) result.coverage.push_back(count.is_number_unsigned() ? count.get<std::uint64_t>() : 0);
    }
    const auto detail = document.find("detail");
    if (detail != document.end()) result.detail = *detail;
    return result;
}

void child_result::writeInto(child_report& report) const {
    std::string written = text();
    if (written.size() >= sizeof report.result) {
        child_result shorter = *this;
        shorter.detail = nullptr;
        shorter.reason = reason.substr(0, 2048) + " (the rest of the child's result did not fit)";
        written = shorter.text();
    }
    std::memcpy(report.result, written.c_str(), written.size() + 1 <= sizeof report.result ? written.size() + 1 : 0);
    report.finished = 1;
}

std::optional<child_result> child_result::readFrom(const child_report& report) {
    if (!report.finished) return std::nullopt;
    const void* end = std::memchr(report.result, '\0', sizeof report.result);
    if (end == nullptr) return std::nullopt;
    return read(std::string(report.result, static_cast<const char*>(end)));
}

}  // namespace nelk_host_tool
