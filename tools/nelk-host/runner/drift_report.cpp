#include "runner/drift_report.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <tuple>

#include "process/executable_path.h"
#include "runner/scenario_host.h"
#include "scenario_words.h"

namespace nelk_host_tool {

namespace {

using nelk_test_kit::escaped;
using nelk_test_kit::statement_word;

std::string quotedOrNull(const std::optional<std::string>& text) {
    return text ? "\"" + escaped(*text) + "\"" : std::string("null");
}

// An answer the recorded host gave, waiting for the model's answer to the same line.
struct recorded_answer {
    std::string where;
    std::string name;
    std::string line;  // may hold ${load-text}
    statement_word answer;
};

// A slot event (kind 1) one instance got: from the recorded host or from the model.
struct slot_event_seen {
    std::string name;
    int driver = 0;
    int slot = 0;
    std::optional<std::string> text;
    bool operator<(const slot_event_seen& other) const {
        return std::tie(name, driver, slot, text) < std::tie(other.name, other.driver, other.slot, other.text);
    }
    std::string shown() const {
        return escaped(name) + " slot " + std::to_string(driver) + " " + std::to_string(slot) + " " + quotedOrNull(text);
    }
};

// The replay: the trace's calls into the component, made on the model, with what the model
// does in the host's place watched through the transcript's events.
class drift_replay {
public:
    explicit drift_replay(const host_options& options)
        : output_(nullptr, transcript_style::quiet, false),
          host_(output_, options.mode()),
          runner_(host_, output_, options.library) {
        output_.listen([this](const nlohmann::ordered_json& event) { seen(event); });
    }

    drift_result replay(const std::string& path) {
        std::ifstream input(path, std::ios::binary);
        if (!input) {
            result_.problem = "cannot open " + path;
            return result_;
        }
        runner_.inFolderOf(path);
        std::string line;
        for (int number = 1; std::getline(input, line); ++number) statement(path + ":" + std::to_string(number), line);
        where_ = path + ": at its end";
        host_.removeAll();
        finish();
        return result_;
    }

private:
    void differ(const std::string& where, const std::string& text) { result_.differences.push_back({where, text}); }

    void statement(const std::string& where, const std::string& line) {
        std::vector<statement_word> words;
        std::string problem;
        if (!nelk_test_kit::readStatementWords(line, words, problem) || words.empty()) return;
        where_ = where;
        const std::string& verb = words[0].text;
        if (verb == "expect" || verb == "delivery" || verb == "discard") return;  // the component's lines, and the host's mode, are not compared
        if (verb == "answer" && words.size() == 4) {
            answers_.push_back({where, words[1].text, words[2].text, words[3]});
            return;
        }
        if (verb == "notify" && words.size() == 5) return recordedSlotEvent(where, words);
        if (verb == "timer" && words.size() == 3) return recordedTick(where, words[1].text, std::atoi(words[2].text.c_str()));
        if (runner_.runStatement(where, line) == statement_result::load_failed) result_.problem = "the library of " + where + " cannot be loaded";
    }

    // The host sent a slot event. One whose text is not what the model's store holds came from
    // elsewhere (another component, the operator): the model is told of the change as a host is,
    // and then delivers what it would.
    void recordedSlotEvent(const std::string& where, const std::vector<statement_word>& words) {
        slot_event_seen event{words[1].text, std::atoi(words[2].text.c_str()), std::atoi(words[3].text.c_str()),
                              words[4].isNull() ? std::nullopt : std::optional<std::string>(words[4].text)};
        recordedSlots_.emplace_back(where, event);
        const std::string* stored = host_.model().slots().text(event.driver, event.slot);
        if (event.text && (stored == nullptr || *stored != *event.text)) {
            ++result_.outsideSlotChanges;
            runner_.runStatement(where, nelk_test_kit::writeStatement({{"slot", false},
                                                                      {words[2].text, false},
                                                                      {words[3].text, false},
                                                                      {*event.text, true}}));
        }
    }

    // The host fired a timer: the model's clock is moved on to when the model would fire it.
    void recordedTick(const std::string& where, const std::string& name, int id) {
        for (auto each = pendingTicks_.begin(); each != pendingTicks_.end(); ++each) {
            if (each->name != name || each->id != id) continue;
            pendingTicks_.erase(each);  // the model fired it already, with another that fell due
            return;
        }
        const instance* target = host_.find(name);
        const host_timer* timer = nullptr;
        if (target != nullptr && target->timers.count(id) != 0) timer = &target->timers.at(id);
        if (timer == nullptr || timer->interval == 0) {
            differ(where, "the host fired timer " + std::to_string(id) + " of " + escaped(name) +
                              ", which the model does not run here (never started on its clock, or stopped with \"ET\")");
            runner_.runStatement(where, "timer " + name + " " + std::to_string(id));
            return;
        }
        const long long wait = timer->due - host_.model().clock();
        runner_.runStatement(where, "advance " + std::to_string(wait > 0 ? wait : 0) + "ms");
        bool fired = false;
        for (auto each = pendingTicks_.begin(); each != pendingTicks_.end(); ++each) {
            if (each->name != name || each->id != id) continue;
            pendingTicks_.erase(each);
            fired = true;
            break;
        }
        if (!fired) differ(where, "the host fired timer " + std::to_string(id) + " of " + escaped(name) + "; the model did not fire it");
    }

    void seen(const nlohmann::ordered_json& event) {
        const std::optional<transcript_event> kind = eventKind(event);
        const std::string name = event.value("instance", "");
        if (kind == transcript_event::send) lastSent_[name] = event.value("line", "");
        if (kind == transcript_event::hostAnswer) modelAnswered(name, lastSent_[name], event.value("answer", ""));
        if (kind != transcript_event::deliver) return;
        const int callKind = event.value("kind", 0);
        if (callKind == 1 && event.contains("driver")) {
            const auto& text = event["slotText"];
            modelSlots_.emplace_back(where_, slot_event_seen{name, event.value("driver", 0), event.value("slot", 0),
                                                             text.is_string() ? std::optional<std::string>(text.get<std::string>())
                                                                              : std::nullopt});
        }
        if (callKind == 4 && event.contains("timer")) pendingTicks_.push_back({where_, name, event.value("timer", 0)});
    }

    // The model answered `line` of `name` with `shown` (as the transcript shows it): compared
    // with the recorded host's answer to the same line.
    void modelAnswered(const std::string& name, const std::string& line, const std::string& shown) {
        const instance* target = host_.find(name);
        const std::optional<std::string> loadText = target != nullptr ? target->loadText : std::nullopt;
        for (auto each = answers_.begin(); each != answers_.end(); ++each) {
            if (each->name != name || withLoadText(each->line, loadText) != line) continue;
            const bool panel = line.compare(0, 2, "PS") == 0;
            const std::string recorded =
                panel ? each->answer.text
                      : quotedOrNull(each->answer.isNull() ? std::nullopt
                                                           : std::optional<std::string>(withLoadText(each->answer.text, loadText)));
            const bool same = panel ? (recorded != "0" && recorded != "null") == (shown != "0") : recorded == shown;
            if (!same)
                differ(each->where, "the host answered " + escaped(name) + "'s \"" + escaped(line) + "\" with " + recorded +
                                        "; the model answers " + shown);
            answers_.erase(each);
            return;
        }
    }

    void finish() {
        for (const recorded_answer& each : answers_)
            differ(each.where, escaped(each.name) + " sent \"" + escaped(each.line) +
                                   "\" to the host, and not to the model (it went another way after an earlier difference)");
        // Slot events, compared as what each instance got, whatever the order the host's delivery gave them.
        std::multimap<slot_event_seen, std::string> model;
        for (const auto& [where, event] : modelSlots_) model.emplace(event, where);
        for (const auto& [where, event] : recordedSlots_) {
            const auto found = model.find(event);
            if (found != model.end()) {
                model.erase(found);
                continue;
            }
            differ(where, "the host sent " + event.shown() + "; the model would not");
        }
        for (const auto& [event, where] : model) differ(where, "the model sends " + event.shown() + " here; the host did not");
        for (const ticked& each : pendingTicks_)
            differ(each.where, "the model fires timer " + std::to_string(each.id) + " of " + escaped(each.name) +
                                   " by here; the host did not fire it again");
    }

    struct ticked {
        std::string where;
        std::string name;
        int id = 0;
    };

    transcript output_;
    headless_host host_;
    scenario_runner runner_;
    drift_result result_;
    std::string where_;  // the trace's statement being replayed
    std::deque<recorded_answer> answers_;
    std::map<std::string, std::string> lastSent_;  // instance -> the last line it sent
    std::vector<std::pair<std::string, slot_event_seen>> recordedSlots_;
    std::vector<std::pair<std::string, slot_event_seen>> modelSlots_;
    std::deque<ticked> pendingTicks_;  // fired by the model, not yet by the host
};

}  // namespace

drift_result driftOf(const host_options& options, const std::string& path) {
    drift_replay replay(options);
    drift_result result = replay.replay(path);
    // In the trace's order: by line, the ones at its end last.
    const auto lineOf = [](const drift_difference& each) {
        const std::size_t colon = each.where.rfind(':');
        const long line = colon == std::string::npos ? 0 : std::atol(each.where.c_str() + colon + 1);
        return line > 0 ? line : LONG_MAX;
    };
    std::stable_sort(result.differences.begin(), result.differences.end(),
                     [&](const drift_difference& a, const drift_difference& b) { return lineOf(a) < lineOf(b); });
    return result;
}

int reportDrift(const host_options& options, const std::string& path) {
    const guarded_run guard(options);
    const drift_result result = driftOf(options, path);
    if (!result.problem.empty()) {
        std::fprintf(stderr, "nelk-host: %s\n", result.problem.c_str());
        return 2;
    }
    for (const drift_difference& each : result.differences)
        std::printf("%s: drift: %s\n", each.where.c_str(), each.text.c_str());
    const std::string outside = result.outsideSlotChanges == 0
                                    ? ""
                                    : " (" + std::to_string(result.outsideSlotChanges) +
                                          (result.outsideSlotChanges == 1 ? " slot change" : " slot changes") +
                                          " came from elsewhere and went into the model's slots)";
    if (result.differences.empty())
        std::printf("%s: no difference between the host that made it and nelk-host's model%s\n", path.c_str(), outside.c_str());
    else
        std::printf("%s: %zu difference%s between the host that made it and nelk-host's model%s\n", path.c_str(),
                    result.differences.size(), result.differences.size() == 1 ? "" : "s", outside.c_str());
    std::fflush(stdout);
    return result.differences.empty() ? 0 : 1;
}

}  // namespace nelk_host_tool
