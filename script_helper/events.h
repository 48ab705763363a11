// Event objects through which hooks read what the host delivered. Each holds one pointer, lives
// on the dispatcher's stack for one hook call, and must not be kept after the hook returns.
// Text accessors return fresh copies; their ...View forms read the host's text in place, valid
// during the hook only, for texts that are only passed on or compared. A null text in the record
// reads as empty.
#pragma once

#include "host_records.h"
#include "nelk_string.h"

class slotEvent {
public:
    explicit slotEvent(slotNotify* record) noexcept : record_(record) {}
    int device() const noexcept { return record_->device; }
    int index() const noexcept { return record_->index; }
    nelk_string slotText() const { return nelk_string(record_->slotText); }
    nelk_stringview slotTextView() const { return nelk_stringview(record_->slotText); }

private:
    slotNotify* record_;
};

class buttonEvent {
public:
    explicit buttonEvent(buttonNotify* record) noexcept : record_(record) {}
    nelk_string controlId() const { return nelk_string(record_->controlId); }
    nelk_string commandName() const { return nelk_string(record_->command ? record_->command->name : nullptr); }
    nelk_string commandValue() const { return nelk_string(record_->command ? record_->command->value : nullptr); }
    nelk_stringview controlIdView() const { return nelk_stringview(record_->controlId); }
    nelk_stringview commandNameView() const {
        return nelk_stringview(record_->command ? record_->command->name : nullptr);
    }
    nelk_stringview commandValueView() const {
        return nelk_stringview(record_->command ? record_->command->value : nullptr);
    }

private:
    buttonNotify* record_;
};

class commandEvent {
public:
    explicit commandEvent(parsedCommand* command) noexcept : command_(command) {}
    nelk_string commandName() const { return nelk_string(command_->name); }
    nelk_string commandValue() const { return nelk_string(command_->value); }
    nelk_stringview commandNameView() const { return nelk_stringview(command_->name); }
    nelk_stringview commandValueView() const { return nelk_stringview(command_->value); }
    // The whole record, for components that read the dotted parts; valid during the hook only.
    const parsedCommand& command() const noexcept { return *command_; }

private:
    parsedCommand* command_;
};

class dataEvent {
public:
    explicit dataEvent(void* data) noexcept : data_(data) {}
    // The kind-6 pointer as the host gave it; its meaning is between host and component.
    void* data() const noexcept { return data_; }

private:
    void* data_;
};
