// A component for framework tests: records every hook call and exposes the host operations.
#pragma once

#include <string>
#include <vector>

#include "nelk_script_helper.h"

class test_component : public nelk_script_helper {
public:
    test_component(nelk_host* host, const char* text) : nelk_script_helper(host, text) {}

    void buttonCallback(buttonEvent& event) override {
        calls.push_back("button " + std::string(event.controlId()) + " " + std::string(event.commandName()) + "=" +
                        std::string(event.commandValue()));
    }
    int slotCallback(slotEvent& event) override {
        calls.push_back("slot " + std::to_string(event.device()) + " " + std::to_string(event.index()) + " " +
                        std::string(event.slotText()));
        return 42;
    }
    nelk_string commandCallback(commandEvent& event) override {
        calls.push_back("command " + std::string(event.commandName()) + "=" + std::string(event.commandValue()));
        return answer;
    }
    void numberCallback(int& value) override {
        calls.push_back("number " + std::to_string(value));
        value = -1;
    }
    void timerCallback(int id) override { calls.push_back("timer " + std::to_string(id)); }
    void dataCallback(dataEvent& event) override {
        calls.push_back(event.data() == nullptr ? "data null" : "data");
    }

    using nelk_script_helper::alarmBroadcast;
    using nelk_script_helper::controlList;
    using nelk_script_helper::debugTrace;
    using nelk_script_helper::infoRegister;
    using nelk_script_helper::infoUnregister;
    using nelk_script_helper::infoWrite;
    using nelk_script_helper::panelShow;
    using nelk_script_helper::textGet;
    using nelk_script_helper::textPut;
    using nelk_script_helper::timerStop;
    using nelk_script_helper::alarmHandling;
    using nelk_script_helper::basePath;

    std::vector<std::string> calls;
    nelk_string answer;
};
