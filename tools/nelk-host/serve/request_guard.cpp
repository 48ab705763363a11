#include "request_guard.h"

#include <cctype>

namespace nelk_host_tool {

namespace {

bool isIpv4(const std::string& text) {
    int parts = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = text.find('.', at);
        const std::string part = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (part.empty() || part.size() > 3) return false;
        for (const char digit : part) {
            if (!std::isdigit(static_cast<unsigned char>(digit))) return false;
        }
        if (std::stoi(part) > 255) return false;
        ++parts;
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return parts == 4;
}

bool isIpv6(const std::string& text) {
    if (text.empty()) return false;
    for (const char byte : text) {
        if (!std::isxdigit(static_cast<unsigned char>(byte)) && byte != ':' && byte != '.') return false;
    }
    return text.find(':') != std::string::npos;
}

std::string lowered(std::string text) {
    for (char& byte : text) byte = static_cast<char>(std::tolower(static_cast<unsigned char>(byte)));
    return text;
}

}  // namespace

bool isLoopback(const std::string& address) {
    const std::string name = lowered(address);
    return name == "localhost" || name == "::1" || name == "[::1]" || (isIpv4(name) && name.compare(0, 4, "127.") == 0);
}

bool hostAllowed(const std::string& host, const std::string& boundAddress, int port) {
    const std::string suffix = ":" + std::to_string(port);
    if (host.size() <= suffix.size() || host.compare(host.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    std::string name = lowered(host.substr(0, host.size() - suffix.size()));
    if (name.size() > 2 && name.front() == '[' && name.back() == ']') {
        name = name.substr(1, name.size() - 2);
        if (!isIpv6(name)) return false;
    } else if (name != "localhost" && !isIpv4(name)) {
        return false;  // a DNS name: it could be made to point here by anyone
    }
    const std::string bound = lowered(boundAddress);
    if (bound == "0.0.0.0" || bound == "::") return true;
    if (isLoopback(bound)) return isLoopback(name);
    return name == bound || name == "localhost";
}

bool originAllowed(const std::string& origin, const std::string& host) {
    return origin.empty() || lowered(origin) == "http://" + lowered(host);
}

}  // namespace nelk_host_tool
