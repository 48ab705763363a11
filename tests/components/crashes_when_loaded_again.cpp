// Broken on purpose: its load text names a file; the first creation makes it, every later one
// (a replay's) crashes; and a number event crashes too. A session with it cannot be replayed
// whole.
#include <cstdio>

#include "broken_component.h"

class crashes_when_loaded_again : public quiet_component {
public:
    crashes_when_loaded_again(nelk_host* host, const char* text) : quiet_component(host, text) {
        if (text == nullptr) return;
        if (std::FILE* made = std::fopen(text, "r")) {
            std::fclose(made);
            crash();
        }
        if (std::FILE* made = std::fopen(text, "w")) std::fclose(made);
    }
    void numberCallback(int&) override { crash(); }

private:
    static void crash() {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    }
};

NELK_BROKEN_ENTRY(crashes_when_loaded_again)
