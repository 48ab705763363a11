// The headless panel host: loads component libraries, creates instances, delivers every kind of
// event, and carries out what the components send, holding each to the host rules. The model,
// the verb handlers and the delivery queue each do one job; this class ties them together.
// Host's thread only.
#pragma once

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "delivery_queue.h"
#include "host_model.h"
#include "transcript.h"
#include "verb_handlers.h"

namespace nelk_host_tool {

class headless_host {
public:
    // output: where every event is shown; kept by reference and must outlive the headless host.
    headless_host(transcript& output, delivery_mode mode);
    // Deletes the instances still alive, as a host does when it closes.
    ~headless_host();
    headless_host(const headless_host&) = delete;
    headless_host& operator=(const headless_host&) = delete;

    // Opens `library` (once per path) and creates an instance with the load text (nullopt: a
    // null pointer). False with `error` set when the library or its entry cannot be had, the
    // entry returns null, or the name is taken by a live instance.
    bool load(const std::string& name, const std::string& library, const std::optional<std::string>& loadText,
              std::string& error);
    // The same from a library already opened (by the model) for the file `library`.
    bool load(const std::string& name, const std::string& library,
              const std::shared_ptr<nelk_test_kit::component_library>& opened, const std::optional<std::string>& loadText,
              std::string& error);
    // While an instance is rebuilt (a reload runs its statements again), its "IW" lines are shown
    // but not carried out: the host's slots keep their present texts, and no other instance hears
    // of them again.
    void rebuilding(const std::string& name, bool rebuilt);
    // The deliveries. Each returns false, with a warning, when there is no live instance of
    // that name. Kind 3: the answer is copied, shown, and given back with kind 5; `answer`
    // receives the copy (nullopt for null) when given.
    bool command(const std::string& name, const std::optional<std::string>& text,
                 std::optional<std::string>* answer = nullptr);
    bool control(const std::string& name, const std::optional<std::string>& controlId,
                 const std::optional<std::string>& commandText);
    bool timer(const std::string& name, int id);
    // Host timers on the host's clock (host_model::clock): started for an instance to fire every
    // `interval` milliseconds (or once), stopped by the host or by the component's "ET".
    bool startTimer(const std::string& name, int id, long long interval, bool repeat);
    bool stopTimer(const std::string& name, int id);
    // Moves the clock on by `milliseconds`, firing every timer that falls due, in the order they
    // fall due (at one time: in the instances' order, then by id). Returns how many fired.
    int advance(long long milliseconds);
    // Moves the clock to the next timer that falls due and fires the timers due then; false
    // when no timer runs on the clock.
    bool advanceToNext();
    // The clock as serve runs it: in real time (at `speed` times its pace) unless paused; serve
    // turns the real time that passed into an `advance` (clockStepFor).
    void runClock(bool running) noexcept { clockRunning_ = running; }
    void setClockSpeed(double speed) noexcept { clockSpeed_ = speed; }
    bool clockRunning() const noexcept { return clockRunning_; }
    double clockSpeed() const noexcept { return clockSpeed_; }
    // The host's milliseconds that `realMilliseconds` of real time make at the clock's speed
    // (0 when paused), the fraction kept for the next.
    long long clockStepFor(long long realMilliseconds);
    // The real milliseconds until the next timer on the clock falls due, at the clock's speed;
    // -1 when none runs or the clock is paused.
    long long realMillisecondsToNextTimer() const;
    bool number(const std::string& name, int value);
    bool data(const std::string& name, const std::optional<std::string>& text);
    // A kind-1 record straight to one instance, registered or not.
    bool notify(const std::string& name, int driver, int slot, const std::optional<std::string>& text);
    // callback(data, kind) with the data word `word` or a null pointer: a kind outside 1 to 7,
    // or a null record. A word for a kind that takes a pointer would be a wild pointer: the
    // statement gives only null or small numbers for kinds 4 and 7.
    bool raw(const std::string& name, int kind, const std::optional<long long>& word);
    // A host-side change of a slot: stored, then reported to every registered instance. False
    // with a warning for a slot that does not exist.
    bool changeSlot(int driver, int slot, const std::string& text);
    // Deletes the instance through its virtual destructor; its library unloads with its last
    // instance.
    bool remove(const std::string& name);
    void removeAll();

    // The instance of that name (gone ones included), or null; see host_model::find.
    instance* find(const std::string& name) { return model_.find(name); }
    const host_model& model() const noexcept { return model_; }
    host_model& model() noexcept { return model_; }

    int protocolErrors() const noexcept { return protocolErrors_; }
    // Reports, as protocol errors, the lines other threads sent since the last time (every call
    // into a component does so after it returns). Host's thread.
    void reportForeignLines();
    void setMode(delivery_mode mode) noexcept { queue_.setMode(mode); }
    delivery_mode mode() const noexcept { return queue_.mode(); }

    // One hostSend of `source`'s component; called by its instance_host, on any thread. A line
    // from a thread other than the host's is refused: kept aside, untouched by the host's state,
    // and reported as a breach of that component on the host's thread.
    void* receive(instance& source, const char* text, int kind);

private:
    instance* live(const std::string& name, const char* action);
    bool nameTaken(const std::string& name, std::string& error) const;
    // Shows the call (`what` it carries), names it to the process guard, and makes it.
    const char* deliver(instance& target, void* data, int kind, const std::string& what);
    void deliverSlot(const slot_event& event);
    void report(instance& target, int driver, int slot, const std::string& text);
    void reportBreaches(instance& source);
    // A warning when the outermost call into `target` that just ended went over the call budget.
    void judgeCallTime(const instance& target);
    // Drops the instance's hold on its library, which unloads with its last instance.
    void releaseLibrary(instance& target);
    void protocolError(const instance& source, const std::string& text);

    transcript& output_;
    host_model model_;
    delivery_queue queue_;
    verb_handlers verbs_;
    int protocolErrors_ = 0;
    int forksReported_ = 0;  // copies of the process that came back (process/fork_watch.h), reported
    std::set<std::string> rebuilding_;  // instances whose "IW" lines are not carried out
    bool clockRunning_ = false;
    double clockSpeed_ = 1;
    double tickRest_ = 0;  // real time not yet turned into whole milliseconds of the clock
    const std::thread::id hostThread_ = std::this_thread::get_id();
    struct foreign_line {
        std::string instance;
        std::string line;
    };
    std::mutex foreignLock_;
    std::vector<foreign_line> foreignLines_;  // sent from other threads, not carried out
};

}  // namespace nelk_host_tool
