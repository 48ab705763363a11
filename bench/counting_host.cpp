#include "counting_host.h"

void* counting_host::hostSend(const char* text, int kind) {
    if (kind == 5) {
        ++givenBack;
        return nullptr;
    }
    ++lines;
    checksum += static_cast<unsigned char>(text[0]);
    if (text[0] == 'P' && text[1] == 'S') return reinterpret_cast<void*>(1);
    if (text[0] == 'X' && text[1] == 'I') return const_cast<char*>(controls.c_str());
    if (text[0] == 'T' && text[1] == 'G') return const_cast<char*>(reading.c_str());
    return nullptr;
}
