// Builders for what a host delivers, and a helper for kind-3 commands. Public test kit tool.
// Each builder owns the record and the texts it points to for its whole life, so the record may
// be passed to callback(record(), kind) any number of times.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "nelk_script_helper.h"

namespace nelk_test_kit {

// A kind-1 record: driver `device`, slot `index`, the slot's text (nullopt: a null pointer).
class slot_notification {
public:
    slot_notification(int device, int index, std::optional<std::string> text);
    slotNotify* record() noexcept { return &record_; }

private:
    std::optional<std::string> text_;
    slotNotify record_{};
};

// A kind-2 record: a control id and the event's command text parsed as the host does
// (nullopt: a null pointer for either).
class control_notification {
public:
    control_notification(std::optional<std::string> controlId, std::optional<std::string> command);
    buttonNotify* record() noexcept { return &record_; }

private:
    std::optional<std::string> controlId_;
    std::unique_ptr<parsedCommand> command_;
    buttonNotify record_{};
};

// Kind 3 as a host sends it: delivers `text`, copies the answer and gives it back with kind 5.
// Returns nullopt for a null answer. text: null allowed; read during the call only.
std::optional<std::string> sendCommand(nelk_client_callback& component, const char* text);

// The other kinds, delivered as a host does.
void sendSlot(nelk_client_callback& component, int device, int index, std::optional<std::string> text);
void sendControl(nelk_client_callback& component, std::optional<std::string> controlId,
                 std::optional<std::string> command);
void sendTimer(nelk_client_callback& component, int id);
void sendNumber(nelk_client_callback& component, int value);
void sendData(nelk_client_callback& component, void* data);

// The data word for kinds 4 and 7: a 32-bit value carried in the pointer.
void* wordFor(int value) noexcept;

}  // namespace nelk_test_kit
