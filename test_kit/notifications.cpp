#include "notifications.h"

#include <cstdint>

namespace nelk_test_kit {

slot_notification::slot_notification(int device, int index, std::optional<std::string> text)
    : text_(std::move(text)) {
    record_.device = device;
    record_.index = index;
    record_.slotText = text_ ? text_->c_str() : nullptr;
}

control_notification::control_notification(std::optional<std::string> controlId, std::optional<std::string> command)
    : controlId_(std::move(controlId)) {
    if (command) command_ = std::make_unique<parsedCommand>(command->c_str());
    record_.controlId = controlId_ ? controlId_->c_str() : nullptr;
    record_.command = command_.get();
}

std::optional<std::string> sendCommand(nelk_client_callback& component, const char* text) {
    const char* answer = component.callback(const_cast<char*>(text), nelk_kind::commandText);
    if (answer == nullptr) return std::nullopt;
    std::string copy(answer);
    component.callback(const_cast<char*>(answer), nelk_kind::giveBackAnswer);
    return copy;
}

void sendSlot(nelk_client_callback& component, int device, int index, std::optional<std::string> text) {
    slot_notification notification(device, index, std::move(text));
    component.callback(notification.record(), nelk_kind::slotValue);
}

void sendControl(nelk_client_callback& component, std::optional<std::string> controlId,
                 std::optional<std::string> command) {
    control_notification notification(std::move(controlId), std::move(command));
    component.callback(notification.record(), nelk_kind::controlEvent);
}

void* wordFor(int value) noexcept {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(value));
}

void sendTimer(nelk_client_callback& component, int id) { component.callback(wordFor(id), nelk_kind::timerFired); }

void sendNumber(nelk_client_callback& component, int value) { component.callback(wordFor(value), nelk_kind::numberValue); }

void sendData(nelk_client_callback& component, void* data) { component.callback(data, nelk_kind::dataPointer); }

}  // namespace nelk_test_kit
