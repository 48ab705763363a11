// The served host's state as the page draws it (GET /api/state): every instance with its panel's
// controls in layout order, the info drivers' slot texts, running timers, the protocol error
// count and the delivery mode. docs/serve.md describes the form. Host's thread.
#pragma once

#include <nlohmann/json.hpp>

#include "host/headless_host.h"

namespace nelk_host_tool {

nlohmann::ordered_json stateJson(const headless_host& host);

}  // namespace nelk_host_tool
