// Broken on purpose: keeps the host's "TG" answer after giving it back, and reads it at the
// next event.
#include "broken_component.h"

class keeps_host_text : public quiet_component {
public:
    using quiet_component::quiet_component;
    const char* callback(void* data, int kind) override {
        if (kept_ != nullptr) {
            volatile char first = kept_[0];  // the host may have released this long ago
            (void)first;
        }
        if (kind == 4 && host != nullptr) {
            kept_ = static_cast<const char*>(host->hostSend("TG '1' 'umdText' 'text'", 0));
            if (kept_ != nullptr) host->hostSend(kept_, 5);
        }
        return quiet_component::callback(data, kind);
    }

private:
    const char* kept_ = nullptr;
};

NELK_BROKEN_ENTRY(keeps_host_text)
