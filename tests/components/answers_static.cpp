// Broken on purpose: answers every command with a static text, which the host's give-back would
// then release.
#include "broken_component.h"

class answers_static : public nelk_client_callback {
public:
    answers_static(nelk_host* host, const char*) : host_(host) {}
    ~answers_static() override {
        if (host_ != nullptr) host_->hostSend("AS", 0);
    }
    const char* callback(void* data, int kind) override {
        static char reply[] = "ok";
        if (kind == 5) delete[] static_cast<char*>(data);
        return kind == 3 ? reply : nullptr;
    }

private:
    nelk_host* host_;
};

NELK_BROKEN_ENTRY(answers_static)
