#include "host_model.h"

#include "library_files.h"
#include "process/process_guard.h"

namespace nelk_host_tool {

instance* host_model::find(const std::string& name) {
    auto found = instances_.find(name);
    return found != instances_.end() ? found->second.get() : nullptr;
}

const instance* host_model::find(const std::string& name) const { return const_cast<host_model*>(this)->find(name); }

instance& host_model::add(const std::string& name) {
    if (instances_.find(name) == instances_.end()) order_.push_back(name);
    auto created = std::make_unique<instance>();
    created->name = name;
    instance& added = *created;
    instances_[name] = std::move(created);
    return added;
}

std::vector<instance*> host_model::inOrder() {
    std::vector<instance*> all;
    for (const std::string& name : order_) all.push_back(instances_[name].get());
    return all;
}

std::vector<const instance*> host_model::inOrder() const {
    std::vector<const instance*> all;
    for (const std::string& name : order_) all.push_back(instances_.at(name).get());
    return all;
}

std::shared_ptr<nelk_test_kit::component_library> host_model::open(const std::string& path) {
    std::shared_ptr<nelk_test_kit::component_library> opened = libraries_[path].lock();
    return opened ? opened : openAgain(path);
}

std::shared_ptr<nelk_test_kit::component_library> host_model::openAgain(const std::string& path) {
    std::shared_ptr<nelk_test_kit::component_library> opened;
    if (privateCopies_) {
        opened = openPrivateCopy(path);
    } else {
        const nelk_process_guard::component_code library;  // its static initialisers are the component's code
        opened = std::make_shared<nelk_test_kit::component_library>(path);
    }
    if (opened->loaded()) libraries_[path] = opened;
    return opened;
}

std::string host_model::describePanel(const instance& target) {
    if (target.panel.controls().empty()) return "  (no controls)\n";
    std::string text;
    for (const panel_control& each : target.panel.controls()) {
        text += "  " + nelk_test_kit::escaped(each.id) + (each.type.empty() ? "" : " (" + nelk_test_kit::escaped(each.type) + ")") + ":";
        for (const auto& property : each.properties)
            text += " " + property.first + "=\"" + nelk_test_kit::escaped(property.second) + "\"";
        text += "\n";
    }
    return text;
}

void host_model::scriptAnswer(const std::string& name, const std::string& line, std::optional<std::string> answer,
                              const std::string& where) {
    scripted_.push_back(scripted_answer{name, line, std::move(answer), where});
}

bool host_model::takeScriptedAnswer(const instance& target, const std::string& line, std::optional<std::string>& answer) {
    for (auto each = scripted_.begin(); each != scripted_.end(); ++each) {
        if (each->name != target.name || withLoadText(each->line, target.loadText) != line) continue;
        answer = each->answer ? std::optional<std::string>(withLoadText(*each->answer, target.loadText)) : std::nullopt;
        scripted_.erase(each);
        return true;
    }
    return false;
}

std::vector<host_model::unused_answer> host_model::takeUnusedAnswers() {
    std::vector<unused_answer> unused;
    for (const scripted_answer& each : scripted_) unused.push_back({each.where, each.name, each.line});
    scripted_.clear();
    return unused;
}

std::string withLoadText(std::string text, const std::optional<std::string>& loadText) {
    static const std::string placeholder = "${load-text}";
    const std::string value = loadText.value_or("");
    for (std::size_t at = 0; (at = text.find(placeholder, at)) != std::string::npos; at += value.size())
        text.replace(at, placeholder.size(), value);
    return text;
}

}  // namespace nelk_host_tool
