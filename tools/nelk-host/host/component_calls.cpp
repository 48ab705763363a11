#include "component_calls.h"

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

}  // namespace

const char* callComponent(nelk_client_callback& component, nelk_test_kit::host_rules& rules, void* data, int kind,
                          const std::string& event, std::recursive_mutex* lock) {
    nelk_process_guard::setEvent(event.c_str());
    cover(kindItem(kind));
    if (data == nullptr && (kind == nelk_kind::slotValue || kind == nelk_kind::controlEvent)) cover(coverage_item::nullRecord);
    {
        const maybe_locked hold(lock);
        rules.callBegins();
        if (rules.depth() > 1) cover(coverage_item::nestedCall);
    }
    const char* result = nullptr;
    {
        const nelk_process_guard::component_code inside;
        result = component.callback(data, kind);
    }
    const maybe_locked hold(lock);
    rules.callEnds();
    return result;
}

nelk_client_callback* createComponent(const nelk_test_kit::component_library& library, nelk_host* host,
                                      const char* loadText, nelk_test_kit::host_rules& rules, const std::string& event) {
    nelk_process_guard::setEvent(event.c_str());
    rules.callBegins();
    nelk_client_callback* component = nullptr;
    {
        const nelk_process_guard::component_code inside;
        component = library.create(host, loadText);
    }
    rules.callEnds();
    return component;
}

void deleteAsAHost(nelk_client_callback* component, nelk_test_kit::host_rules& rules, const std::string& event,
                   bool judgeShutdown) {
    nelk_process_guard::setEvent(event.c_str());
    rules.deletionBegins();
    rules.callBegins();
    {
        const nelk_process_guard::component_code inside;
        nelk_test_kit::deleteComponent(component);
    }
    rules.callEnds();
    if (judgeShutdown) rules.deletionEnds();
}

std::optional<nelk_test_kit::command_line> receiveLine(nelk_test_kit::host_rules& rules, const char* text, int kind) {
    if (kind == nelk_send::giveBack) cover(coverage_item::hostTextGivenBack);
    std::optional<nelk_test_kit::command_line> line = rules.received(text, kind);
    if (!line) return line;
    cover(verbItem(line->verb));
    if (line->verb == nelk_verb::AS && rules.deleting()) cover(coverage_item::shutdownInDeletion);
    return line;
}

}  // namespace nelk_host_tool
