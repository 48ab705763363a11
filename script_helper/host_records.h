// The records the host builds for kinds 1 and 2. The host owns them; they and every text they
// point to are valid only during the callback call. Outside code zero-initialises a record and
// sets the named fields; the unnamed ones belong to the host.
#pragma once

#include <cstddef>

#include "parsed_command.h"

// Kind 1: a value reported for an info-driver slot.
struct slotNotify {
    int device;           // info-driver number
    int hostReserved1;    // the host's; not read
    int index;            // slot index within the driver
    int hostReserved2;    // the host's; not read
    const char* slotText; // the slot's text now; null reads as empty
};

// Kind 2: an event raised by a panel control.
struct buttonNotify {
    char hostReserved[12];   // the host's; not read
    const char* controlId;   // id of the control; null reads as empty
    parsedCommand* command;  // the event's name and value; null gives both empty
};

static_assert(offsetof(slotNotify, index) == 8, "index at 8");
static_assert(offsetof(slotNotify, slotText) == 16, "slotText at 16");
static_assert(offsetof(buttonNotify, controlId) == (sizeof(void*) == 4 ? 12 : 16), "controlId after host's 12 bytes");
static_assert(offsetof(buttonNotify, command) == offsetof(buttonNotify, controlId) + sizeof(void*), "command follows");
#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(slotNotify) == 20, "host's 32-bit slotNotify");
static_assert(offsetof(buttonNotify, command) == 16, "command at 16");
static_assert(sizeof(buttonNotify) == 20, "host's 32-bit buttonNotify");
#endif
