// The built-in demo: two Corvane panels on driver 12, slot 7. Texts made on each call.
#pragma once

#include <string>

namespace nelk_host_tool {

// The whole demo, on the Corvane library at `library`: it binds both panels, shows a text in
// both, changes the slot from the host side, and deletes them.
std::string demoScenario(const std::string& library);
// Its first part: both panels bound and showing the slot's text, left alive (what serve shows).
std::string demoSetup(const std::string& library);

}  // namespace nelk_host_tool
