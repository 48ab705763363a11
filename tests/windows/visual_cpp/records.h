// The records of kinds 1 and 2 as a Visual C++ host lays them out, for the Visual C++-mode host
// and component. The framework's own declarations are not used: this is the other side of the
// contract, written from the host's layout (32-bit: 20, 148 and 20 bytes).
#pragma once

struct slot_record {
    int device;
    int reserved1;
    int index;
    int reserved2;
    const char* slotText;
};
struct command_record {
    const char* name;
    const char* parts[32];
    const char* value;
    int partCount;
    bool hasValue;
    char* buffer;
};
struct control_record {
    char reserved[12];
    const char* controlId;
    command_record* command;
};
static_assert(sizeof(slot_record) == (sizeof(void*) == 4 ? 20 : 24), "the host's slot record");
static_assert(sizeof(command_record) == (sizeof(void*) == 4 ? 148 : 288), "the host's parsed command");
static_assert(sizeof(control_record) == (sizeof(void*) == 4 ? 20 : 32), "the host's control record");
