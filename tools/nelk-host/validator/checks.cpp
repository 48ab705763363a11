#include "checks.h"

#include "check_support.h"

namespace nelk_validator {

check_outcome runHere(const check& each, const check_settings& settings) {
    try {
        return each.run(settings);
    } catch (const check_stopped&) {
        check_outcome stopped{check_status::pass, ""};
        stopped.stoppedForTime = true;
        return stopped;
    } catch (const std::exception& error) {
        return {check_status::crashed, std::string("an exception escaped: ") + error.what()};
    } catch (...) {
        return {check_status::crashed, "an exception escaped"};
    }
}

const char* statusName(check_status status) {
    switch (status) {
    case check_status::pass: return "PASS";
    case check_status::fail: return "FAIL";
    case check_status::skip: return "SKIP";
    case check_status::warn: return "WARN";
    case check_status::crashed: return "CRASHED";
    case check_status::timeout: return "TIMEOUT";
    }
    return "?";
}

const std::vector<check>& allChecks() {
    static const std::vector<check> checks = [] {
        std::vector<check> all;
        for (const std::vector<check>* part : {&lifecycleChecks(), &protocolChecks(), &robustnessChecks(), &processChecks()})
            all.insert(all.end(), part->begin(), part->end());
        return all;
    }();
    return checks;
}

}  // namespace nelk_validator
