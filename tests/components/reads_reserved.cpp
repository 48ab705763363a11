// Broken on purpose: takes the host's reserved field of a slot record for a small index.
#include "broken_component.h"

class reads_reserved : public quiet_component {
public:
    reads_reserved(nelk_host* host, const char* text) : quiet_component(host, text) { infoRegister(12, 7, 7, false); }
    ~reads_reserved() override { infoUnregister(12); }
    int callbackIndex(void* data) { return static_cast<slotNotify*>(data)->hostReserved1; }
    const char* callback(void* data, int kind) override {
        if (kind == nelk_kind::slotValue && data != nullptr) counts_[callbackIndex(data)]++;
        return quiet_component::callback(data, kind);
    }

private:
    int counts_[4] = {};
};

NELK_BROKEN_ENTRY(reads_reserved)
