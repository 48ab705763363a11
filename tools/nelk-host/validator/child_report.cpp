#include "child_report.h"

#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include "process/process_guard.h"

namespace nelk_validator {

namespace {

child_report* reporting = nullptr;

child_report* mapReport(int descriptor) {
    void* mapped = mmap(nullptr, sizeof(child_report), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    return mapped == MAP_FAILED ? nullptr : static_cast<child_report*>(mapped);
}

int noteModule(dl_phdr_info* info, std::size_t, void* data) {
    auto* report = static_cast<child_report*>(data);
    if (report->moduleCount >= static_cast<int>(sizeof report->modules / sizeof report->modules[0])) return 1;
    auto& entry = report->modules[report->moduleCount++];
    entry.bias = info->dlpi_addr;
    entry.path[0] = '\0';
    nelk_process_guard::append(entry.path, sizeof entry.path, info->dlpi_name);
    return 0;
}

void writeEnding(const nelk_process_guard::ending& end) {
    child_report& report = *reporting;
    nelk_process_guard::append(report.ending, sizeof report.ending, end.what);
    nelk_process_guard::append(report.fault, sizeof report.fault, end.fault);
    report.signal = end.signal;
    report.pc = end.pc;
    const int count = end.frameCount < 64 ? end.frameCount : 64;
    for (int i = 0; i < count; ++i) report.frames[i] = end.frames[i];
    report.frameCount = count;
    // Which library each frame lies in, for the parent to name the functions.
    if (count > 0) dl_iterate_phdr(noteModule, &report);
    report.ended = 1;
}

}  // namespace

std::unique_ptr<report_file> report_file::create(std::string& problem) {
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") + "/nelk-check-XXXXXX";
    const int descriptor = mkstemp(&path[0]);
    if (descriptor < 0) {
        problem = "cannot make a report file in " + path.substr(0, path.rfind('/'));
        return nullptr;
    }
    child_report* mapped = nullptr;
    if (ftruncate(descriptor, sizeof(child_report)) == 0) mapped = mapReport(descriptor);
    close(descriptor);
    if (mapped == nullptr) {
        unlink(path.c_str());
        problem = "cannot map the report file " + path;
        return nullptr;
    }
    return std::unique_ptr<report_file>(new report_file(path, mapped, true));
}

std::unique_ptr<report_file> report_file::open(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (descriptor < 0) return nullptr;
    child_report* mapped = mapReport(descriptor);
    close(descriptor);
    if (mapped == nullptr) return nullptr;
    return std::unique_ptr<report_file>(new report_file(path, mapped, false));
}

report_file::~report_file() {
    munmap(report_, sizeof(child_report));
    if (owner_) unlink(path_.c_str());
}

void reportEndingsTo(child_report& report, int failingStatus) {
    reporting = &report;
    nelk_process_guard::install(writeEnding, failingStatus);
    nelk_process_guard::keepEventIn(report.event, sizeof report.event);
}

}  // namespace nelk_validator
