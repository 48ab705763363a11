// Correct: answers its settings from one block it keeps, reused once the host has given the
// previous answer back.
#include <cstdlib>
#include <cstring>

#include <new>

#include "broken_component.h"

class reused_answer_block : public nelk_client_callback {
public:
    explicit reused_answer_block(nelk_host* host) : host_(host) {}
    ~reused_answer_block() override {
        std::free(block_);
        if (host_ != nullptr) host_->hostSend("AS", 0);
    }
    const char* callback(void* data, int kind) override {
        if (kind == nelk_kind::giveBackAnswer && data == block_) out_ = false;
        if (kind != nelk_kind::commandText || data == nullptr) return nullptr;
        if (std::strcmp(static_cast<const char*>(data), "return=all") != 0 || out_) return nullptr;
        if (block_ == nullptr) block_ = static_cast<char*>(std::malloc(32));
        if (block_ == nullptr) return nullptr;
        std::strcpy(block_, "Answers=1");
        out_ = true;
        return block_;
    }

private:
    nelk_host* host_;
    char* block_ = nullptr;
    bool out_ = false;
};

NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char*) {
    return new (std::nothrow) reused_answer_block(host);
}
