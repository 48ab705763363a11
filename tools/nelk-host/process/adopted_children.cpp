#include "process/adopted_children.h"

#include <algorithm>

#if defined(__linux__)
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace nelk_host_tool {

#if defined(__linux__)

namespace {

struct child_process {
    int pid;
    std::string name;
};

// This process's children as /proc lists them: a process whose stat names us as its parent.
std::vector<child_process> children() {
    std::vector<child_process> found;
    const pid_t self = getpid();
    DIR* processes = opendir("/proc");
    if (processes == nullptr) return found;
    while (const dirent* entry = readdir(processes)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        // pid (comm) state ppid ...: the name may hold blanks and parentheses, so it ends at the last ')'.
        const std::size_t open = text.find('(');
        const std::size_t close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        std::istringstream rest(text.substr(close + 1));
        std::string state;
        int parent = 0;
        if (!(rest >> state >> parent) || parent != self) continue;
        found.push_back({std::atoi(entry->d_name), text.substr(open + 1, close - open - 1)});
    }
    closedir(processes);
    return found;
}

// Whether the environment `pid` started with holds the variable `name`.
bool hasMark(int pid, const char* name) {
    std::ifstream environment("/proc/" + std::to_string(pid) + "/environ");
    const std::string prefix = std::string(name) + "=";
    std::string entry;
    while (std::getline(environment, entry, '\0'))
        if (entry.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

}  // namespace

void adoptOrphans() { prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); }

std::vector<std::string> endAdoptedChildren(const char* marked) {
    std::vector<std::string> ended;
    for (int round = 0; round < 32; ++round) {  // each round brings home the children of the last one's
        std::vector<child_process> left = children();
        if (marked != nullptr) {
            left.erase(std::remove_if(left.begin(), left.end(), [&](const child_process& each) { return !hasMark(each.pid, marked); }),
                       left.end());
        }
        if (left.empty()) break;
        for (const child_process& each : left) {
            if (getpgid(each.pid) == each.pid) kill(-each.pid, SIGKILL);  // a group of its own: all of it
            kill(each.pid, SIGKILL);
        }
        for (const child_process& each : left) {
            if (waitpid(each.pid, nullptr, 0) == each.pid) ended.push_back(each.name + " (pid " + std::to_string(each.pid) + ")");
        }
    }
    return ended;
}

#else

void adoptOrphans() {}
std::vector<std::string> endAdoptedChildren(const char*) { return {}; }

#endif

}  // namespace nelk_host_tool
