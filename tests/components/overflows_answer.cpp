// Broken on purpose: echoes each command in an answer block without room for the terminator.
#include <cstring>

#include "broken_component.h"

class overflows_answer : public nelk_client_callback {
public:
    overflows_answer(nelk_host* host, const char*) : host_(host) {}
    ~overflows_answer() override {
        if (host_ != nullptr) host_->hostSend("AS", 0);
    }
    const char* callback(void* data, int kind) override {
        if (kind == 5) delete[] static_cast<char*>(data);
        if (kind != 3 || data == nullptr) return nullptr;
        // Echoes the command, in a block one byte short.
        const char* text = static_cast<const char*>(data);
        char* answer = new char[std::strlen(text) + 1 - 1];
        std::strcpy(answer, text);
        return answer;
    }

private:
    nelk_host* host_;
};

NELK_BROKEN_ENTRY(overflows_answer)
