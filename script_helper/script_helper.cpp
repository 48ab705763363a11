// Component base: construction, the shutdown announcement and the notification dispatcher.
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include "nelk_script_helper.h"

#if defined(__GNUC__)
#define NELK_KEEP __attribute__((used))
#else
#define NELK_KEEP
#endif

extern "C" {
// Writable on purpose; marks the built library and is read by nothing.
NELK_KEEP char librarySignature[] =
    "NELK_SIG,name=nelk_script_helper,type=LIB,version=4.8.8.0,date=27/10/2020,author=nelk_script_helper developers";
}

namespace {
// The data word of kinds 4 and 7 carries a 32-bit value; the host's upper bits are dropped.
int wordValue(void* data) {
    return static_cast<int>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(data)));
}
}  // namespace

void nelk_script_helper::numberCallback(int&) {}

void nelk_script_helper::dataCallback(dataEvent&) {}

const char* nelk_script_helper::callback(void* data, int kind) {
    // No exception crosses into the host: a text too long to take (2 GB or more) or no memory
    // for one ends the event there, as if it had not come; what was sent before stays sent.
    try {
        switch (kind) {
        case nelk_kind::slotValue: {
            if (data == nullptr) return nullptr;
            slotEvent event(static_cast<slotNotify*>(data));
            slotCallback(event);
            return nullptr;
        }
        case nelk_kind::controlEvent: {
            if (data == nullptr) return nullptr;
            buttonEvent event(static_cast<buttonNotify*>(data));
            controlEvent(event);
            return nullptr;
        }
        case nelk_kind::commandText:
            return commandNotification(static_cast<const char*>(data));
        case nelk_kind::timerFired:
            timerCallback(wordValue(data));
            return nullptr;
        case nelk_kind::giveBackAnswer:
            delete[] static_cast<char*>(data);
            return nullptr;
        case nelk_kind::dataPointer: {
            dataEvent event(data);
            dataCallback(event);
            return nullptr;
        }
        case nelk_kind::numberValue: {
            int value = wordValue(data);
            numberCallback(value);
            return nullptr;
        }
        default:
            return nullptr;
        }
    } catch (...) {
        return nullptr;
    }
}

const char* nelk_script_helper::commandNotification(const char* text) {
    parsedCommand command(text);
    // The parser refused a text of 2 GB or more: the event is ignored, as one it cannot take.
    // (Without memory for its copy the hook still gets the empty record.)
    if (command.buffer == nullptr && text != nullptr && text[0] != '\0' && std::strlen(text) >= static_cast<std::size_t>(INT_MAX))
        return nullptr;
    commandEvent event(&command);
    const nelk_string answer = commandCallback(event);
    const int length = answer.length();
    if (length == 0) return nullptr;
    char* block = new (std::nothrow) char[static_cast<std::size_t>(length) + 1];
    if (block == nullptr) return nullptr;  // no memory: no answer rather than a crash
    std::memcpy(block, static_cast<const char*>(answer), static_cast<std::size_t>(length) + 1);
    return block;
}

void nelk_script_helper::controlEvent(buttonEvent& event) {
    if (!alarmHandling) {
        buttonCallback(event);
        return;
    }
    const nelk_stringview controlId = event.controlIdView();
    if (controlId == "ActionAll" && event.commandNameView() == "alarm") {
        alarmBroadcast(event.commandValueView());
    } else if (controlId == "AckAll") {
        alarmBroadcast(nelk_stringview("4"));  // the decimal text of 4, which acknowledges
    } else {
        buttonCallback(event);
    }
}
