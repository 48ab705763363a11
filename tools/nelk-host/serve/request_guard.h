// Who may drive the served host: only the page it serves, reached by an address of this machine.
// A request whose Host is a name other than localhost (a rebound DNS name) or whose Origin is
// another page's is refused, so no other page in the user's browser can drive a component.
// Pure functions; any thread.
#pragma once

#include <string>

namespace nelk_host_tool {

// Whether `host` (a request's Host header) names this server at `port`: localhost, or an IP
// address (the one bound to, or any when bound to all of them), with the port.
bool hostAllowed(const std::string& host, const std::string& boundAddress, int port);
// Whether `origin` (a request's Origin header, empty when there is none) is the page served at
// `host` (an allowed Host header).
bool originAllowed(const std::string& origin, const std::string& host);
// Whether `address` is a loopback address (127.0.0.0/8, ::1, localhost).
bool isLoopback(const std::string& address);

}  // namespace nelk_host_tool
