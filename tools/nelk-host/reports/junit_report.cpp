#include "junit_report.h"

#include <cstdio>

#include <pugixml.hpp>

#include "host_rules.h"

namespace nelk_host_tool {

namespace {

// XML 1.0 cannot hold most control bytes, even escaped, nor bytes that are not UTF-8: each line
// is written as the kit escapes texts for people (\xHH), line ends kept.
std::string xmlText(const std::string& text) {
    std::string clean;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        clean += nelk_test_kit::escaped(text.substr(start, end - start), true);
        if (end < text.size()) clean += '\n';
        start = end + 1;
    }
    return clean;
}

// Seconds to the millisecond, as CI systems show them.
std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

bool writeJunit(const std::string& path, const std::vector<junit_suite>& suites, std::string& problem) {
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node all = document.append_child("testsuites");
    int tests = 0;
    int failures = 0;
    int errors = 0;
    for (const junit_suite& suite : suites) {
        pugi::xml_node node = all.append_child("testsuite");
        node.append_attribute("name") = xmlText(suite.name).c_str();
        int suiteFailures = 0;
        int suiteErrors = 0;
        int skipped = 0;
        double total = 0;
        for (const junit_case& each : suite.cases) {
            pugi::xml_node test = node.append_child("testcase");
            test.append_attribute("name") = xmlText(each.name).c_str();
            test.append_attribute("classname") = xmlText(each.className).c_str();
            test.append_attribute("time") = seconds(each.seconds).c_str();
            total += each.seconds;
            const char* kind = nullptr;
            switch (each.outcome) {
            case junit_case::verdict::failed: kind = "failure"; ++suiteFailures; break;
            case junit_case::verdict::error: kind = "error"; ++suiteErrors; break;
            case junit_case::verdict::skipped: kind = "skipped"; ++skipped; break;
            case junit_case::verdict::passed: break;
            }
            if (kind != nullptr) {
                pugi::xml_node verdict = test.append_child(kind);
                verdict.append_attribute("message") = xmlText(each.message).c_str();
                if (!each.details.empty()) verdict.append_child(pugi::node_pcdata).set_value(xmlText(each.details).c_str());
            }
            if (!each.output.empty())
                test.append_child("system-out").append_child(pugi::node_pcdata).set_value(xmlText(each.output).c_str());
        }
        node.append_attribute("tests") = static_cast<int>(suite.cases.size());
        node.append_attribute("failures") = suiteFailures;
        node.append_attribute("errors") = suiteErrors;
        node.append_attribute("skipped") = skipped;
        node.append_attribute("time") = seconds(total).c_str();
        tests += static_cast<int>(suite.cases.size());
        failures += suiteFailures;
        errors += suiteErrors;
    }
    all.append_attribute("tests") = tests;
    all.append_attribute("failures") = failures;
    all.append_attribute("errors") = errors;
    if (!document.save_file(path.c_str(), "  ", pugi::format_default, pugi::encoding_utf8)) {
        problem = "cannot write the JUnit report " + path;
        return false;
    }
    return true;
}

}  // namespace nelk_host_tool
