// Broken on purpose: answers a command with the command text the host passed in.
#include "broken_component.h"

class answers_command_text : public nelk_client_callback {
public:
    answers_command_text(nelk_host* host, const char*) : host_(host) {}
    ~answers_command_text() override {
        if (host_ != nullptr) host_->hostSend("AS", 0);
    }
    const char* callback(void* data, int kind) override {
        if (kind == 5) delete[] static_cast<char*>(data);
        return kind == 3 ? static_cast<const char*>(data) : nullptr;
    }

private:
    nelk_host* host_;
};

NELK_BROKEN_ENTRY(answers_command_text)
