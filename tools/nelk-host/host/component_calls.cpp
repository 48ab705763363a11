#include "component_calls.h"

#include "call_timing.h"
#include "component_time.h"

#include "abi_calls.h"
#include "process/fork_watch.h"
#include "process/process_guard.h"
#include "protocol_coverage.h"

namespace nelk_host_tool {

namespace {

// A lock that is held only when there is a mutex to hold.
struct maybe_locked {
    explicit maybe_locked(std::recursive_mutex* mutex) : mutex_(mutex) {
        if (mutex_ != nullptr) mutex_->lock();
    }
    ~maybe_locked() {
        if (mutex_ != nullptr) mutex_->unlock();
    }
    maybe_locked(const maybe_locked&) = delete;
    maybe_locked& operator=(const maybe_locked&) = delete;
    std::recursive_mutex* mutex_;
};

// A call that left the stack where the host's calling convention does not is the component's
// breach; the call itself has already put the stack back.
void reportStack(nelk_test_kit::host_rules& rules, const char* what, const nelk_test_kit::stack_balance& balance) {
    if (!balance.held())
        rules.report(nelk_test_kit::breach_kind::calling_convention, nelk_test_kit::describeStackError(what, balance.error));
}

}  // namespace

const char* callComponent(nelk_client_callback& component, nelk_test_kit::host_rules& rules, void* data, int kind,
                          const std::string& event, std::recursive_mutex* lock) {
    const call_clock timing(event);
    nelk_process_guard::setEvent(event.c_str());
    cover(kindItem(kind));
    if (data == nullptr && (kind == nelk_kind::slotValue || kind == nelk_kind::controlEvent)) cover(coverage_item::nullRecord);
    {
        const maybe_locked hold(lock);
        rules.callBegins();
        if (rules.depth() > 1) cover(coverage_item::nestedCall);
    }
    const char* result = nullptr;
    nelk_test_kit::stack_balance balance;
    {
        const nelk_process_guard::component_code inside;
        const component_time_scope timed(true);
        result = nelk_test_kit::callCallback(component, data, kind, balance);
    }
    endIfForked();
    const maybe_locked hold(lock);
    reportStack(rules, "callback", balance);
    rules.callEnds();
    return balance.held() ? result : nullptr;  // a call that broke the convention returned nothing to read
}

nelk_client_callback* createComponent(const nelk_test_kit::component_library& library, nelk_host* host,
                                      const char* loadText, nelk_test_kit::host_rules& rules, const std::string& event) {
    const call_clock timing(event);
    nelk_process_guard::setEvent(event.c_str());
    rules.callBegins();
    nelk_client_callback* component = nullptr;
    nelk_test_kit::stack_balance balance;
    if (library.loaded()) {
        const nelk_process_guard::component_code inside;
        const component_time_scope timed(true);
        component = nelk_test_kit::callEntry(library.entry(), host, loadText, balance);
    }
    endIfForked();
    reportStack(rules, "the entry", balance);
    rules.callEnds();
    return component;
}

void deleteAsAHost(nelk_client_callback* component, nelk_test_kit::host_rules& rules, const std::string& event,
                   bool judgeShutdown) {
    const call_clock timing(event);
    nelk_process_guard::setEvent(event.c_str());
    rules.deletionBegins();
    rules.callBegins();
    nelk_test_kit::stack_balance balance;
    {
        const nelk_process_guard::component_code inside;
        const component_time_scope timed(true);
        nelk_test_kit::callDeletingDestructor(component, balance);
    }
    endIfForked();
    reportStack(rules, "the deleting destructor", balance);
    rules.callEnds();
    if (judgeShutdown) rules.deletionEnds();
}

std::string readAnswer(const char* answer) {
    const nelk_process_guard::component_code reading;
    return std::string(answer);
}

std::optional<nelk_test_kit::command_line> receiveLine(nelk_test_kit::host_rules& rules, const char* text, int kind) {
    endIfForked();  // a copy the component forked sends nothing in the host's name
    if (kind == nelk_send::giveBack) cover(coverage_item::hostTextGivenBack);
    std::optional<nelk_test_kit::command_line> line = rules.received(text, kind);
    if (!line) return line;
    cover(verbItem(line->verb));
    if (line->verb == nelk_verb::AS && rules.deleting()) cover(coverage_item::shutdownInDeletion);
    return line;
}

}  // namespace nelk_host_tool
