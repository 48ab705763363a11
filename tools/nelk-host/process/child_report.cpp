#include "child_report.h"

#include <cstdlib>
#include <cstring>

#include <csignal>

#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <sys/syscall.h>
#include <sys/mman.h>
#include <unistd.h>

#include "process_guard.h"

namespace nelk_host_tool {

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

void noteFrames(child_report& report, const std::uintptr_t* frames, int frameCount) {
    const int count = frameCount < 64 ? frameCount : 64;
    for (int i = 0; i < count; ++i) report.frames[i] = frames[i];
    report.frameCount = count;
    // Which library each frame lies in, for the parent to name the functions.
    report.moduleCount = 0;
    if (count > 0) dl_iterate_phdr(noteModule, &report);
}

// SIGUSR2 on the host thread of a check that hangs: its stack, for the TIMEOUT's report.
void onHangQuestion(int) {
    if (reporting == nullptr || reporting->ended) return;
    void* raw[64];
    const int count = backtrace(raw, 64);
    std::uintptr_t frames[64];
    for (int i = 0; i < count; ++i) frames[i] = reinterpret_cast<std::uintptr_t>(raw[i]);
    // The first two frames are this handler and the signal's trampoline.
    const int skipped = count > 2 ? 2 : 0;
    noteFrames(*reporting, frames + skipped, count - skipped);
    reporting->hangCaught = 1;
}

void writeEnding(const nelk_process_guard::ending& end) {
    child_report& report = *reporting;
    nelk_process_guard::appendEnding(report.ending, sizeof report.ending, end);
    nelk_process_guard::append(report.fault, sizeof report.fault, end.fault);
    report.signal = end.signal;
    report.pc = end.pc;
    noteFrames(report, end.frames, end.frameCount);
    report.ended = 1;
}

}  // namespace

std::unique_ptr<report_file> report_file::create(std::string& problem) {
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp") + "/nelk-child-XXXXXX";
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
    struct sigaction action {};
    action.sa_handler = onHangQuestion;
    action.sa_flags = SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGUSR2, &action, nullptr);
}

void noteHostThread(child_report& report) { report.hostThread = static_cast<int>(syscall(SYS_gettid)); }

bool takeHungStack(int child, child_report& report) {
    if (report.hostThread <= 0 || report.ended) return false;
    if (syscall(SYS_tgkill, child, report.hostThread, SIGUSR2) != 0) return false;
    // A thread in a system call takes the signal at once; one spinning, at its next tick.
    for (int waited = 0; waited < 100 && !report.hangCaught; ++waited) usleep(10000);
    return report.hangCaught != 0;
}

}  // namespace nelk_host_tool
