// Broken on purpose: says "AS" and then sends one more line while it is deleted.
#include <cstdint>

#include "broken_component.h"

class after_shutdown : public nelk_client_callback {
public:
    after_shutdown(nelk_host* host, const char*) : host_(host) {}
    ~after_shutdown() override {
        if (host_ == nullptr) return;
        host_->hostSend("AS", 0);
        host_->hostSend("IU 1", 0);
    }
    const char* callback(void*, int) override { return nullptr; }

private:
    nelk_host* host_;
};

NELK_BROKEN_ENTRY(after_shutdown)
