// Hand-written floors: the same bytes to the same host through the same virtual call, with only
// the allocations the design mandates (the parser's copy, a kind-3 answer, the component).
#pragma once

#include <cstdint>
#include <cstring>
#include <new>

#include "host_records.h"
#include "nelk_client_callback.h"
#include "nelk_host.h"

namespace floors {

// Writes `value` in signed decimal at `out`, no terminator; returns the end. Called, not inlined,
// as the floors have always paid for it.
[[gnu::noinline]] inline char* writeDecimal(char* out, int value) noexcept {
    char digits[10];
    int count = 0;
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *out++ = '-';
    while (count > 0) *out++ = digits[--count];
    return out;
}

inline char* put(char* out, const char* text, std::size_t size) {
    std::memcpy(out, text, size);
    return out + size;
}

// The parser's work: one copy of len + 1 bytes, split at the first '=' (no dots in these texts).
struct parsed {
    char* copy = nullptr;
    const char* name = "";
    const char* value = "";
    explicit parsed(const char* text) {
        const std::size_t size = std::strlen(text);
        copy = new char[size + 1];
        std::memcpy(copy, text, size + 1);
        name = copy;
        for (char* at = copy; *at != '\0'; ++at) {
            if (*at == '=') {
                *at = '\0';
                value = at + 1;
                break;
            }
        }
    }
    ~parsed() { delete[] copy; }
};

// A hand-written Corvane: the host reaches it through the same virtual callback.
class corvane_floor : public nelk_client_callback {
public:
    explicit corvane_floor(nelk_host* host) : host(host) {}

    const char* callback(void* data, int kind) override {
        switch (kind) {
        case 1: slotNotification(static_cast<const slotNotify*>(data)); return nullptr;
        case 3: return command(static_cast<const char*>(data));
        case 4: timer(static_cast<int>(reinterpret_cast<std::intptr_t>(data))); return nullptr;
        case 5: delete[] static_cast<const char*>(data); return nullptr;
        case 2: alarmBroadcast(); return nullptr;
        default: return nullptr;
        }
    }

    nelk_host* host;
    int driver = 12;
    int slot = 7;

private:
    void alarmBroadcast();

    void slotNotification(const slotNotify* record) {
        if (record->device != driver || record->index != slot) return;
        const char* text = record->slotText != nullptr ? record->slotText : "";
        const std::size_t size = std::strlen(text);
        char line[512];
        char* end = put(line, "TP 'text=", 9);
        end = put(end, text, size);
        end = put(end, "' '1' 'umdText'", 16);
        host->hostSend(line, 0);
    }

    const char* command(const char* text) {
        parsed command(text);
        if (std::strcmp(command.name, "text") == 0) {
            char line[512];
            char* end = put(line, "IW ", 3);
            end = writeDecimal(end, driver);
            end = put(end, " '", 2);
            end = put(end, command.value, std::strlen(command.value));
            end = put(end, "' ", 2);
            end = writeDecimal(end, slot);
            put(end, " 0", 3);
            host->hostSend(line, 0);
            return nullptr;
        }
        if (std::strcmp(command.name, "InfoDriverID") == 0 || std::strcmp(command.name, "Slot") == 0) {
            char line[64];
            *writeDecimal(put(line, "IU ", 3), driver) = '\0';
            host->hostSend(line, 0);
            char* end = writeDecimal(put(line, "IR ", 3), driver);
            end = writeDecimal(put(end, " ", 1), slot);
            *writeDecimal(put(end, " ", 1), slot) = '\0';
            host->hostSend(line, 0);
            return nullptr;
        }
        if (std::strcmp(command.name, "return") == 0 && std::strcmp(command.value, "all") == 0) {
            char answer[64];
            char* end = writeDecimal(put(answer, "InfoDriverID=", 13), driver);
            end = writeDecimal(put(end, "\nSlot=", 6), slot);
            const std::size_t size = static_cast<std::size_t>(end - answer);
            char* block = new char[size + 1];
            std::memcpy(block, answer, size);
            block[size] = '\0';
            return block;
        }
        return nullptr;
    }

    void timer(int id) {
        char line[32];
        *writeDecimal(put(line, "ET ", 3), id) = '\0';
        host->hostSend(line, 0);
    }
};

// The alarm broadcast on acknowledge: one list query, then per control "alarm", the reading,
// and "value" when the reading asks for it.
inline void corvane_floor::alarmBroadcast() {
    const char* list = static_cast<const char*>(host->hostSend("XI '1' 'alm_'", 0));
    if (list == nullptr) return;
    for (const char* start = list;;) {
        const char* stop = std::strchr(start, ',');
        const std::size_t size = stop != nullptr ? static_cast<std::size_t>(stop - start) : std::strlen(start);
        char line[256];
        put(put(put(line, "TP 'alarm=4' '1' '", 18), start, size), "'", 2);
        host->hostSend(line, 0);
        put(put(put(line, "TG '1' '", 8), start, size), "' 'value'", 10);
        const char* reading = static_cast<const char*>(host->hostSend(line, 0));
        int value = 0;
        if (reading != nullptr) {
            if (std::strncmp(reading, "value=", 6) == 0) value = reading[6] - '0';
            host->hostSend(reading, 5);
        }
        if (!(value == 0 || (value >= 2 && value <= 5))) {
            put(put(put(line, "TP 'value=4' '1' '", 18), start, size), "'", 2);
            host->hostSend(line, 0);
        }
        if (stop == nullptr) break;
        start = stop + 1;
    }
    host->hostSend(list, 5);
}

// A component object that shows its panel and announces its shutdown.
class component_floor {
public:
    explicit component_floor(nelk_host* host) : host_(host) { host_->hostSend("PS '1' 'corvane.nelk_ui'", 0); }
    virtual ~component_floor() { host_->hostSend("AS", 0); }

private:
    nelk_host* host_;
};

}  // namespace floors
