// The test kit: everything a component author needs to test a component without a panel host.
#pragma once

#include "component_library.h"
#include "host_rules.h"
#include "line_parser.h"
#include "notifications.h"
#include "quiet_component.h"
#include "recording_host.h"
