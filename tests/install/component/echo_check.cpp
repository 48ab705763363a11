// Loads the Echo component with the installed test kit and checks what it says.
#include <cstdio>

#include "nelk_test_kit.h"

int main() {
    nelk_test_kit::component_library library(ECHO_LIBRARY);
    if (!library.loaded()) {
        std::fprintf(stderr, "%s\n", library.error().c_str());
        return 1;
    }
    nelk_test_kit::recording_host host;
    nelk_test_kit::component_pointer echo(library.create(&host, ""));
    const auto answer = nelk_test_kit::sendCommand(*echo, "ping=1");
    nelk_test_kit::sendTimer(*echo, 3);
    echo.reset();
    const bool good = answer == std::string("echo ping") && host.lines() == std::vector<std::string>{"ET 3", "AS"} &&
                      host.finish().empty();
    std::printf("%s\n", good ? "echo component behaves" : "echo component misbehaves");
    return good ? 0 : 1;
}
