// Broken on purpose: frees its kind-3 answer itself at the next event, before the host gives
// it back, and ignores the give-back.
#include <cstring>

#include "broken_component.h"

class frees_answer : public nelk_client_callback {
public:
    frees_answer(nelk_host* host, const char*) : host_(host) {}
    ~frees_answer() override {
        if (host_ != nullptr) host_->hostSend("AS", 0);
    }
    const char* callback(void*, int kind) override {
        if (kind == 5) return nullptr;  // the host's give-back is ignored
        if (last_ != nullptr) {
            std::memset(last_, 'x', 5);
            delete[] last_;
            last_ = nullptr;
        }
        if (kind != 3) return nullptr;
        last_ = new char[6];
        std::memcpy(last_, "reply", 6);
        return last_;
    }

private:
    nelk_host* host_;
    char* last_ = nullptr;
};

NELK_BROKEN_ENTRY(frees_answer)
