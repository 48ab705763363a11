// Shared by the test components (most of them broken on purpose) that prove the validator and nelk-host catch
// faults. Each is a loadable library exporting load_nelk_client_script, like a real component.
#pragma once

#include <new>

#include "nelk_script_helper.h"
#include "quiet_component.h"

#define NELK_BROKEN_ENTRY(type)                                                                     \
    NELK_COMPONENT_ENTRY nelk_client_callback* load_nelk_client_script(nelk_host* host, const char* text) { \
        return nelk_createComponent<type>(host, text);                                             \
    }

using nelk_test_kit::quiet_component;
