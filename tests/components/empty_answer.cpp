// Answers every command with an empty, non-null text: it works, but the validator warns.
#include "broken_component.h"

class empty_answer : public nelk_client_callback {
public:
    empty_answer(nelk_host* host, const char*) : host_(host) {}
    ~empty_answer() override {
        if (host_ != nullptr) host_->hostSend("AS", 0);
    }
    const char* callback(void* data, int kind) override {
        if (kind == 5) delete[] static_cast<char*>(data);
        if (kind != 3) return nullptr;
        return new char[1]{'\0'};
    }

private:
    nelk_host* host_;
};

NELK_BROKEN_ENTRY(empty_answer)
