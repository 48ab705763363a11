// Every notification path of the real Corvane module (opened with dlopen, as a host does) and of
// the framework, each beside its floor, with allocations per operation. At the end a table gives
// each path's ratio to its floor, in the form docs/performance.md shows it.
// The last table gives the cost of nelk_tap per event, beside the bare component.
// Run: build-bench/bin/nelk_bench; instruction counts instead of times: bench/instructions.sh.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_TOGGLE_COLLECT
#define CALLGRIND_DUMP_STATS_AT(label) (void)(label)
#endif

#include "allocation_counter.h"
#include "counting_host.h"
#include "floors.h"
#include "nelk_test_kit.h"

#include <unistd.h>

namespace {

using nelk_test_kit::component_library;
using nelk_test_kit::wordFor;

component_library& corvaneLibrary() {
    static component_library library(NELK_CORVANE_LIBRARY);
    return library;
}

#ifdef NELK_TAP_LIBRARY
// The tap in Corvane's place (docs/tap.md), in a scratch folder made by main(); its trace goes to
// NELK_TAP_BENCH_TRACE, /dev/null by default, so that what is measured is the tap's own work
// (forwarding, formatting, writing), not the disk's.
std::filesystem::path tapFolder;
component_library& tapLibrary() {
    static component_library library((tapFolder / std::filesystem::path(NELK_CORVANE_LIBRARY).filename()).string());
    return library;
}

bool makeTapFolder() {
    namespace fs = std::filesystem;
    std::error_code error;
    tapFolder = fs::temp_directory_path(error) / ("nelk_tap_bench." + std::to_string(getpid()));
    const fs::path real(NELK_CORVANE_LIBRARY);
    const std::string name = real.filename().string();
    const std::string stem = name.substr(0, name.find('.'));
    const std::string ending = name.substr(name.find('.'));
    fs::create_directories(tapFolder, error);
    if (error) return false;
    fs::copy_file(NELK_TAP_LIBRARY, tapFolder / name, fs::copy_options::overwrite_existing, error);
    if (error) return false;
    fs::copy_file(real, tapFolder / (stem + ".real" + ending), fs::copy_options::overwrite_existing, error);
    const char* trace = std::getenv("NELK_TAP_BENCH_TRACE");
    std::ofstream((tapFolder / (name + ".tap")).string()) << "trace=" << (trace != nullptr ? trace : "/dev/null") << "\n";
    return !error;
}

#endif

// A Corvane bound to driver 12, slot 7, with its own counting host: the library's own, or the
// one through the tap.
struct bound_corvane {
    counting_host host;
    nelk_client_callback* component = nullptr;
    explicit bound_corvane(component_library& library = corvaneLibrary()) {
        component = library.create(&host, "");
        for (const char* text : {"InfoDriverID=12", "Slot=7"}) component->callback(const_cast<char*>(text), 3);
    }
    ~bound_corvane() { delete component; }
};

// The name of the benchmark that runs now, for the instruction counts.
std::string running;

// Runs `body` for the benchmark's iterations and reports its allocations per operation, counted
// over 16 runs before the timed ones (so that the benchmark library's own are not). Under
// callgrind started with --collect-atstart=no (bench/instructions.sh) only the timed loop's
// instructions are collected, and dumped with the benchmark's name and number of operations.
template <typename Body> void measure(benchmark::State& state, Body&& body) {
    constexpr int counted = 16;
    body();
    int allocations = 0;
    {
        allocation_counter counter;
        for (int run = 0; run < counted; ++run) body();
        allocations = counter.count();
    }
    CALLGRIND_TOGGLE_COLLECT;
    for (auto _ : state) body();
    CALLGRIND_TOGGLE_COLLECT;
    const std::string label = "nelk " + running + " " + std::to_string(state.iterations());
    CALLGRIND_DUMP_STATS_AT(label.c_str());
    state.counters["allocs/op"] = static_cast<double>(allocations) / counted;
}

std::string text(std::size_t size) {
    std::string value;
    for (std::size_t i = 0; value.size() < size; ++i) value += static_cast<char>('a' + i % 26);
    return value;
}

// A slot notification for the bound slot 7, or for slot 8, which the component ignores.
void slotNotification(benchmark::State& state, int slot, std::size_t size, bool floor) {
    const std::string slotText = text(size);
    nelk_test_kit::slot_notification notification(12, slot, slotText);
    bound_corvane corvane;
    floors::corvane_floor handWritten(opaque<nelk_host>(&corvane.host));
    nelk_client_callback* hand = opaque<nelk_client_callback>(&handWritten);
    if (floor) {
        measure(state, [&] { hand->callback(notification.record(), 1); });
    } else {
        measure(state, [&] { corvane.component->callback(notification.record(), 1); });
    }
}

void command(benchmark::State& state, const char* text, bool floor) {
    bound_corvane corvane;
    floors::corvane_floor handWritten(opaque<nelk_host>(&corvane.host));
    nelk_client_callback* hand = opaque<nelk_client_callback>(&handWritten);
    char* mutableText = const_cast<char*>(text);
    if (floor) {
        measure(state, [&] {
            const char* answer = hand->callback(mutableText, 3);
            if (answer != nullptr) hand->callback(const_cast<char*>(answer), 5);
        });
    } else {
        measure(state, [&] {
            const char* answer = corvane.component->callback(mutableText, 3);
            if (answer != nullptr) corvane.component->callback(const_cast<char*>(answer), 5);
        });
    }
}

void timer(benchmark::State& state, bool floor) {
    int timerId = 1;
    bound_corvane corvane;
    floors::corvane_floor handWritten(opaque<nelk_host>(&corvane.host));
    nelk_client_callback* hand = opaque<nelk_client_callback>(&handWritten);
    if (floor) {
        measure(state, [&] { hand->callback(wordFor(timerId), 4); });
    } else {
        measure(state, [&] { corvane.component->callback(wordFor(1), 4); });
    }
}

// The parser's floor: the same splitting, written out, with its one allocation.
struct parsed_floor {
    const char* name;
    const char* parts[32];
    const char* value;
    int partCount;
    char* buffer;
    explicit parsed_floor(const char* text) : name(""), value(""), partCount(0) {
        for (const char*& part : parts) part = "";
        const std::size_t size = std::strlen(text);
        buffer = new char[size + 1];
        std::memcpy(buffer, text, size + 1);
        bool named = false;
        for (std::size_t at = 0; at < size && partCount < 32; ++at) {
            if (buffer[at] != '.' && buffer[at] != '=') continue;
            if (!named) name = buffer;
            named = true;
            const bool dot = buffer[at] == '.';
            buffer[at] = '\0';
            if (!dot) {
                value = buffer + at + 1;
                break;
            }
            parts[partCount++] = buffer + at + 1;
        }
        if (!named) name = buffer;
    }
    ~parsed_floor() { delete[] buffer; }
};

std::string partsText(int count) {
    std::string value = "a";
    for (int i = 1; i <= count; ++i) value += ".p" + std::to_string(i);
    return value + "=v";
}

void parser(benchmark::State& state, const std::string& input, bool floor) {
    const char* textPointer = input.c_str();
    if (floor) {
        measure(state, [&] {
            parsed_floor parsed(opaque(textPointer));
            benchmark::DoNotOptimize(parsed.value);
        });
    } else {
        measure(state, [&] {
            parsedCommand parsed(opaque(textPointer));
            benchmark::DoNotOptimize(parsed.value);
        });
    }
}

void alarmBroadcast(benchmark::State& state, bool floor) {
    const int controls = static_cast<int>(state.range(0));
    counting_host host;
    for (int i = 1; i <= controls; ++i) host.controls += (i > 1 ? "," : "") + std::string("alm_") + std::to_string(i);
    nelk_test_kit::quiet_component component(&host, "", true);
    floors::corvane_floor handWritten(opaque<nelk_host>(&host));
    nelk_client_callback* hand = opaque<nelk_client_callback>(&handWritten);
    nelk_client_callback* framework = opaque<nelk_client_callback>(&component);
    nelk_test_kit::control_notification acknowledge("AckAll", "");
    if (floor) {
        measure(state, [&] { hand->callback(acknowledge.record(), 2); });
    } else {
        measure(state, [&] { framework->callback(acknowledge.record(), 2); });
    }
    state.counters["ns/control"] = benchmark::Counter(static_cast<double>(controls) * static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void createDelete(benchmark::State& state, bool floor) {
    counting_host host;
    if (floor) {
        measure(state, [&] { delete opaque(new floors::component_floor(opaque<nelk_host>(&host))); });
    } else {
        const component_library& library = corvaneLibrary();  // as a host holds its library
        measure(state, [&] { delete library.create(&host, ""); });
    }
}

// Collects every run so that the table of ratios can be printed after the usual output, one row
// per path in the order of registration.
class ratio_reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        // Single runs, or the median of repetitions when they are asked for.
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            const auto allocations = run.counters.find("allocs/op");
            results_[run.run_name.str()] = {run.GetAdjustedRealTime(),
                                            allocations != run.counters.end() ? allocations->second.value : 0};
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const table& each : tables()) printTable(each);
    }

    // A table of pairs: each row's path beside its baseline, registered as path + "/" + subject
    // and path + "/" + baseline.
    struct table {
        const char* heading;   // printed above the table ("" for none)
        const char* columns;   // the header row
        const char* subject;   // "component", "tapped"
        const char* baseline;  // "floor", "bare"
    };
    static const std::vector<table>& tables() {
        static const std::vector<table> all = {
            {"", "| path | ns/op | floor ns/op | ratio | allocs/op | floor allocs/op |", "component", "floor"},
            {"Through nelk_tap (docs/tap.md), beside the bare Corvane:",
             "| path | tapped ns/op | bare ns/op | ratio | tapped allocs/op | bare allocs/op |", "tapped", "bare"},
        };
        return all;
    }

    struct row {
        std::string title;      // as the table shows it
        std::string benchmark;  // registered as benchmark + "/" + subject or baseline + argument
        std::string argument;   // "" or "/N"
        int controls;           // alarm broadcast: the number of controls, else 0
        std::size_t table;      // its index in tables()
    };
    static std::vector<row>& rows() {
        static std::vector<row> all;
        return all;
    }

private:
    struct result {
        double nanoseconds;
        double allocations;
    };

    void printTable(const table& shape) const {
        const std::size_t index = static_cast<std::size_t>(&shape - tables().data());
        std::printf("\n%s%s%s\n|---|---|---|---|---|---|\n", shape.heading, *shape.heading != '\0' ? "\n\n" : "", shape.columns);
        std::string perControl;
        for (const auto& row : rows()) {
            if (row.table != index) continue;
            const auto component = results_.find(row.benchmark + "/" + shape.subject + row.argument);
            const auto floor = results_.find(row.benchmark + "/" + shape.baseline + row.argument);
            if (component == results_.end() || floor == results_.end()) continue;
            std::printf("| %s | %.1f | %.1f | %.2f | %.2f | %.2f |\n", row.title.c_str(), component->second.nanoseconds,
                        floor->second.nanoseconds, component->second.nanoseconds / floor->second.nanoseconds,
                        component->second.allocations, floor->second.allocations);
            if (row.controls > 1) {
                char figure[64];
                std::snprintf(figure, sizeof figure, "%s%.1f ns at %d", perControl.empty() ? "" : ", ",
                              component->second.nanoseconds / row.controls, row.controls);
                perControl += figure;
            }
        }
        if (!perControl.empty()) std::printf("\nAlarm broadcast, cost per control: %s.\n", perControl.c_str());
    }
    std::map<std::string, result> results_;
};

// Registers a path and its baseline (its floor, or the bare component for the tap's table);
// `title` names the row of the ratio table. With arguments, one row per argument, titled by
// `title` with "%d" for the argument. `body` is called with true for the baseline.
void registerPair(const std::string& title, const std::string& path,
                  const std::function<void(benchmark::State&, bool)>& body, const std::vector<int>& arguments = {},
                  std::size_t table = 0) {
    const ratio_reporter::table& shape = ratio_reporter::tables().at(table);
    for (const bool floor : {false, true}) {
        const std::string name = path + "/" + (floor ? shape.baseline : shape.subject);
        const bool withArgument = !arguments.empty();
        auto* registered = benchmark::RegisterBenchmark(name.c_str(), [body, floor, name, withArgument](benchmark::State& state) {
            running = name + (withArgument ? "/" + std::to_string(state.range(0)) : std::string());
            body(state, floor);
        });
        registered->Unit(benchmark::kNanosecond);
        for (int argument : arguments) registered->Arg(argument);
    }
    if (arguments.empty()) ratio_reporter::rows().push_back({title, path, "", 0, table});
    for (int argument : arguments) {
        char text[128];
        std::snprintf(text, sizeof text, title.c_str(), argument);
        ratio_reporter::rows().push_back({text, path, "/" + std::to_string(argument), argument, table});
    }
}

#ifdef NELK_TAP_LIBRARY
// The same event through the tap and bare: `bare` picks Corvane's own library.
void tapped(benchmark::State& state, bool bare, const std::function<void(benchmark::State&, component_library&)>& body) {
    body(state, bare ? corvaneLibrary() : tapLibrary());
}

void tappedSlot(benchmark::State& state, component_library& library) {
    nelk_test_kit::slot_notification notification(12, 7, "Camera 1");
    bound_corvane corvane(library);
    measure(state, [&] { corvane.component->callback(notification.record(), 1); });
}

void tappedCommand(benchmark::State& state, component_library& library, const char* text) {
    bound_corvane corvane(library);
    char* mutableText = const_cast<char*>(text);
    measure(state, [&] {
        const char* answer = corvane.component->callback(mutableText, 3);
        if (answer != nullptr) corvane.component->callback(const_cast<char*>(answer), 5);
    });
}

void tappedTimer(benchmark::State& state, component_library& library) {
    bound_corvane corvane(library);
    measure(state, [&] { corvane.component->callback(wordFor(1), 4); });
}

void tappedCreateDelete(benchmark::State& state, component_library& library) {
    counting_host host;
    measure(state, [&] { delete library.create(&host, ""); });
}

#endif

}  // namespace

int main(int argc, char** argv) {
    if (!corvaneLibrary().loaded()) {
        std::fprintf(stderr, "%s\n", corvaneLibrary().error().c_str());
        return 2;
    }
#ifdef NELK_TAP_LIBRARY
    if (!makeTapFolder() || !tapLibrary().loaded()) {
        std::fprintf(stderr, "cannot put the tap in Corvane's place in %s: %s\n", tapFolder.string().c_str(),
                     tapLibrary().error().c_str());
        return 2;
    }
#endif
    static const std::string shortText = "text=Camera 1";
    static const std::string longText = "text=" + std::string(1019, 'x');
    static const std::string manyParts = partsText(33);
    using state = benchmark::State;
    registerPair("slot, matching, 19-byte text", "slot matching 19 B", [](state& s, bool f) { slotNotification(s, 7, 19, f); });
    registerPair("slot, matching, 200-byte text", "slot matching 200 B",
                 [](state& s, bool f) { slotNotification(s, 7, 200, f); });
    registerPair("slot, not matching", "slot other", [](state& s, bool f) { slotNotification(s, 8, 19, f); });
    registerPair("command `text=Camera 1` (bound)", "command text", [](state& s, bool f) { command(s, "text=Camera 1", f); });
    registerPair("command `InfoDriverID=12` (bound)", "command InfoDriverID",
                 [](state& s, bool f) { command(s, "InfoDriverID=12", f); });
    registerPair("command `Slot=7` (bound)", "command Slot", [](state& s, bool f) { command(s, "Slot=7", f); });
    registerPair("query `return=all` with the give-back", "query return=all",
                 [](state& s, bool f) { command(s, "return=all", f); });
    registerPair("timer", "timer", timer);
    registerPair("parser, `text=Camera 1`", "parser short", [](state& s, bool f) { parser(s, shortText, f); });
    registerPair("parser, 1 KB text", "parser 1 KB", [](state& s, bool f) { parser(s, longText, f); });
    registerPair("parser, 33 parts", "parser 33 parts", [](state& s, bool f) { parser(s, manyParts, f); });
    registerPair("alarm broadcast, controls: %d", "alarm broadcast", alarmBroadcast,
                 {1, 10, 100, 1000, 10000});
    registerPair("create and delete a component", "create and delete", createDelete);
#ifdef NELK_TAP_LIBRARY
    constexpr std::size_t tapTable = 1;
    registerPair("slot, matching, `Camera 1`", "tap slot", [](state& s, bool b) { tapped(s, b, tappedSlot); }, {}, tapTable);
    registerPair("command `text=Camera 1`", "tap command text",
                 [](state& s, bool b) { tapped(s, b, [](state& t, component_library& l) { tappedCommand(t, l, "text=Camera 1"); }); },
                 {}, tapTable);
    registerPair("query `return=all` with the give-back", "tap query",
                 [](state& s, bool b) { tapped(s, b, [](state& t, component_library& l) { tappedCommand(t, l, "return=all"); }); },
                 {}, tapTable);
    registerPair("timer", "tap timer", [](state& s, bool b) { tapped(s, b, tappedTimer); }, {}, tapTable);
    registerPair("create and delete a component", "tap create and delete",
                 [](state& s, bool b) { tapped(s, b, tappedCreateDelete); }, {}, tapTable);

#endif

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    ratio_reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
#ifdef NELK_TAP_LIBRARY
    std::error_code ignored;
    std::filesystem::remove_all(tapFolder, ignored);
#endif
    return 0;
}
