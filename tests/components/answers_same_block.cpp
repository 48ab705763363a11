// Broken on purpose: answers every command with one block it keeps, so a second command's
// answer is the first one's, still out.
#include <cstring>

#include "broken_component.h"

class answers_same_block : public nelk_client_callback {
public:
    answers_same_block(nelk_host* host, const char*) : host_(host) { std::strcpy(reply_, "ok"); }
    ~answers_same_block() override {
        delete[] reply_;
        if (host_ != nullptr) host_->hostSend("AS", 0);
    }
    const char* callback(void*, int kind) override { return kind == 3 ? reply_ : nullptr; }

private:
    nelk_host* host_;
    char* reply_ = new char[3];
};

NELK_BROKEN_ENTRY(answers_same_block)
