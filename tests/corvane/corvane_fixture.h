// Drives the built libCorvane the way a host does: dlopen, the entry, callbacks, delete.
#pragma once

#include <gtest/gtest.h>

#include "nelk_test_kit.h"

class CorvaneTest : public ::testing::Test {
protected:
    using lines = std::vector<std::string>;

    void SetUp() override { ASSERT_TRUE(library.loaded()) << library.error(); }
    void TearDown() override {
        component.reset();
        for (const std::string& problem : host.finish()) ADD_FAILURE() << problem;
    }
    // Creates the component under test and forgets its "PS" line.
    nelk_client_callback& create(const char* loadText = "") {
        component.reset(library.create(&host, loadText));
        host.takeLines();
        return *component;
    }
    // Sends commands in order and returns what they sent.
    lines command(std::initializer_list<const char*> texts) {
        for (const char* text : texts) EXPECT_EQ(nelk_test_kit::sendCommand(*component, text), std::nullopt) << text;
        return host.takeLines();
    }

    nelk_test_kit::component_library library{NELK_CORVANE_LIBRARY};
    nelk_test_kit::recording_host host;
    nelk_test_kit::component_pointer component;
};
