// Broken on purpose, behind a sequence: at every number (kind 7) it reads the lock's state with
// "TG" and gives the host's text back; when that text was "state=held" it keeps the pointer, and
// gives it back a second time at the next number. Any other answer is handled well. The
// validator passes it; the fuzzer finds it.
#include <cstring>
#include <string>

#include "broken_component.h"

class gives_back_twice_after_held : public nelk_client_callback {
public:
    gives_back_twice_after_held(nelk_host* host, const char*) : host_(host) {}
    ~gives_back_twice_after_held() override {
        if (host_ != nullptr) host_->hostSend("AS", 0);
    }
    const char* callback(void*, int kind) override {
        if (kind != 7 || host_ == nullptr) return nullptr;
        if (held_ != nullptr) {
            host_->hostSend(held_, 5);  // the fault: this text was given back already
            held_ = nullptr;
        }
        const char* answer = static_cast<const char*>(host_->hostSend("TG '1' 'lock' 'state'", 0));
        if (answer == nullptr) return nullptr;
        state_ = answer;
        host_->hostSend(answer, 5);
        if (std::strcmp(state_.c_str(), "state=held") == 0) held_ = answer;
        return nullptr;
    }

private:
    nelk_host* host_;
    const char* held_ = nullptr;
    std::string state_;
};

NELK_BROKEN_ENTRY(gives_back_twice_after_held)
