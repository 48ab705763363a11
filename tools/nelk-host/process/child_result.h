// What every child process of nelk-host hands its parent when its work is done, whatever the work
// (a check of the validator, a scenario file of run, a request to serve's worker): a verdict in
// the work's own terms, a reason, the protocol coverage it counted, and the work's own fields, as
// one JSON text (into the shared report, or one line of the worker's replies). Plain data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "child_report.h"

namespace nelk_host_tool {

struct child_result {
    int verdict = 0;                // the work's own code: a check_status, a statement_result, 1 for ok
    std::string reason;             // one line, or ""
    std::vector<std::uint64_t> coverage;  // what the work exercised of the protocol, as protocol_coverage.h counts it
    nlohmann::ordered_json detail;  // the work's own fields (a JUnit case, serve's state), or null

    // The result as one JSON line.
    std::string text() const;
    // The result written in `text`; nullopt for a text that is none.
    static std::optional<child_result> read(const std::string& text);
    // Written into `report` and marked finished; a text too long for it is cut to a result that
    // says so (verdict kept). In the child, before it ends.
    void writeInto(child_report& report) const;
    // The result a finished child left in `report`; nullopt when it left none.
    static std::optional<child_result> readFrom(const child_report& report);
};

}  // namespace nelk_host_tool
