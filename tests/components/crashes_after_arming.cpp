// Broken on purpose, behind a sequence: once armed ("mode=arm"), a slot value for a slot above
// 4000 makes it keep the next command as a code, and a code of exactly seven characters is
// copied into a buffer with no room for its terminating zero (a heap overflow). Any other order,
// slot or length is handled well. The validator passes it; the fuzzer finds it.
#include <cstring>
#include <memory>

#include "broken_component.h"
#include "host_records.h"

class crashes_after_arming : public nelk_client_callback {
public:
    crashes_after_arming(nelk_host* host, const char*) : host_(host) {}
    ~crashes_after_arming() override {
        if (host_ != nullptr) host_->hostSend("AS", 0);
    }
    const char* callback(void* data, int kind) override {
        if (kind == 1 && data != nullptr) {
            const slotNotify* record = static_cast<const slotNotify*>(data);
            expectingCode_ = armed_ && record->index > 4000;
        }
        if (kind == 5) delete[] static_cast<char*>(data);
        if (kind == 3 && data != nullptr) return command(static_cast<const char*>(data));
        return nullptr;
    }

private:
    static char* answer(const char* text) {
        char* copy = new char[std::strlen(text) + 1];
        std::strcpy(copy, text);
        return copy;
    }

    const char* command(const char* text) {
        if (std::strcmp(text, "_commands") == 0) return answer("mode=[arm|idle]\nCode=[value]");
        if (std::strcmp(text, "return=all") == 0) return answer(armed_ ? "mode=arm" : "mode=idle");
        if (std::strcmp(text, "mode=arm") == 0) armed_ = true;
        if (std::strcmp(text, "mode=idle") == 0) armed_ = false;
        if (std::strncmp(text, "mode=", 5) == 0 || !expectingCode_) return nullptr;
        expectingCode_ = false;
        const std::size_t length = std::strlen(text);
        const std::size_t room = length == 7 ? 7 : length + 1;  // the fault: seven leaves no room for the zero
        std::unique_ptr<char[]> code(new char[room]);
        std::memcpy(code.get(), text, length + 1);
        lastCode_ = code[0];
        return nullptr;
    }

    nelk_host* host_;
    bool armed_ = false;
    bool expectingCode_ = false;
    char lastCode_ = 0;
};

NELK_BROKEN_ENTRY(crashes_after_arming)
