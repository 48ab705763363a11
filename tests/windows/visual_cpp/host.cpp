// A panel host built the way a Windows host is built: Visual C++'s object layout (clang in Visual
// C++ mode, lld-link, kernel32 only, no C runtime). It loads the component DLLs this project
// builds with mingw-w64, drives them through events of every kind, answers "TG" and "XI" with
// texts of its own, deletes them as Visual C++ deletes (slot 0 of the vtable, flags 1), and checks
// every line, answer and give-back.
//   visual_cpp_host CORVANE_DLL ALARM_PANEL_DLL
// One line per step; exit status 0 when every step held, 1 when one did not, 2 when a DLL or its
// entry cannot be had.
#include "nelk_client_callback.h"
#include "nelk_host.h"
#include "no_runtime.h"
#include "records.h"

using no_runtime::print;

namespace {

using entry_function = nelk_client_callback* (*)(nelk_host*, const char*);

int failures = 0;

void fail(const char* step, const char* what, const char* detail) {
    ++failures;
    print("FAIL ");
    print(step);
    print(": ");
    print(what);
    if (detail != nullptr) {
        print(" \"");
        print(detail);
        print("\"");
    }
    print("\n");
}

// One host object per component: keeps the lines it was sent since the last step, answers "PS"
// with 1 and "TG"/"XI" with texts it owns, and tracks each of those until it is given back.
class checking_host : public nelk_host {
public:
    void* hostSend(const char* text, int kind) override {
        if (kind == 5) return takeBack(text);
        if (kind != 0) {
            fail(step_, "hostSend with kind", kind == 1 ? "1" : "other than 0 or 5");
            return nullptr;
        }
        if (count_ < maxLines) no_runtime::copy(lines_[count_], sizeof lines_[0], text);
        ++count_;
        if (no_runtime::startsWith(text, "PS ")) return reinterpret_cast<void*>(nelk_word{1});
        if (no_runtime::startsWith(text, "XI '1' 'alm_'")) return handOut("alm_1,alm_2");
        if (no_runtime::same(text, "TG '1' 'alm_1' 'value'")) return handOut("value=1");
        if (no_runtime::same(text, "TG '1' 'alm_2' 'value'")) return handOut("value=0");
        return nullptr;
    }

    // Names the step that the lines from now on belong to.
    void begin(const char* step) { step_ = step; }

    // The lines of the step are exactly `expected`, and every text handed out came back.
    template <int N> void expect(const char* const (&expected)[N]) { check(expected, N); }
    void expectNothing() { check(nullptr, 0); }

    int textsHandedOut() const { return handedOut_; }

private:
    static const int maxLines = 16;
    static const int maxTexts = 16;

    void* handOut(const char* text) {
        if (handedOut_ == maxTexts) return nullptr;
        texts_[handedOut_] = no_runtime::duplicate(text);
        given_[handedOut_] = false;
        return texts_[handedOut_++];
    }

    void* takeBack(const char* text) {
        for (int i = 0; i < handedOut_; ++i) {
            if (texts_[i] != text) continue;
            if (given_[i]) fail(step_, "gave back a text twice:", text);
            given_[i] = true;
            return nullptr;
        }
        fail(step_, "gave back a pointer the host never handed out", nullptr);
        return nullptr;
    }

    void check(const char* const* expected, int count) {
        const int before = failures;
        if (count_ != count) fail(step_, count_ < count ? "too few lines; missing" : "too many lines; first extra",
                                  count_ < count ? expected[count_] : lines_[count < maxLines ? count : maxLines - 1]);
        for (int i = 0; i < count && i < count_ && i < maxLines; ++i) {
            if (!no_runtime::same(lines_[i], expected[i])) fail(step_, "unexpected line", lines_[i]);
        }
        for (int i = 0; i < handedOut_; ++i) {
            if (!given_[i]) fail(step_, "a text the host handed out was not given back:", texts_[i]);
        }
        if (failures == before) {
            print("ok   ");
            print(step_);
            for (int i = 0; i < count_ && i < maxLines; ++i) {
                print(i == 0 ? ": " : " | ");
                print(lines_[i]);
            }
            print("\n");
        }
        count_ = 0;
    }

    const char* step_ = "creation";
    char lines_[maxLines][256];
    int count_ = 0;
    char* texts_[maxTexts];
    bool given_[maxTexts];
    int handedOut_ = 0;
};

// Kind 3 with `text`; the answer must be `expected` (null: none), and is given back with kind 5.
void command(nelk_client_callback* component, const char* text, const char* expected, const char* step) {
    char copy[128];
    no_runtime::copy(copy, sizeof copy, text);  // the host's text, valid during the call only
    const char* answer = component->callback(copy, 3);
    if (!no_runtime::same(answer, expected)) fail(step, "unexpected answer", answer != nullptr ? answer : "(null)");
    if (answer != nullptr) component->callback(const_cast<char*>(answer), 5);
}

void slot(nelk_client_callback* component, int driver, int index, const char* text) {
    slot_record record = {};
    record.device = driver;
    record.index = index;
    record.slotText = text;
    component->callback(&record, 1);
}

// Kind 2 with a command record parsed as the host parses "name=value".
void control(nelk_client_callback* component, const char* id, const char* name, const char* value) {
    static const char empty[] = "";
    command_record parsed = {};
    parsed.name = name;
    parsed.parts[0] = name;
    for (int i = 1; i < 32; ++i) parsed.parts[i] = empty;
    parsed.value = value;
    parsed.partCount = 1;
    parsed.hasValue = value[0] != '\0';
    control_record record = {};
    record.controlId = id;
    record.command = &parsed;
    component->callback(&record, 2);
}

void* word(int value) { return reinterpret_cast<void*>(static_cast<nelk_word>(value)); }

entry_function entryOf(const char* path, void** module) {
    *module = LoadLibraryA(path);
    if (*module == nullptr) return nullptr;
    return reinterpret_cast<entry_function>(GetProcAddress(*module, "load_nelk_client_script"));
}

void driveCorvane(entry_function entry) {
    checking_host host;
    nelk_client_callback* corvane = entry(&host, "layouts");
    if (corvane == nullptr) return fail("Corvane", "the entry returned null", nullptr);
    host.begin("Corvane created");
    static const char* const created[] = {"PS '1' 'layouts/corvane.nelk_ui'"};
    host.expect(created);

    host.begin("Corvane InfoDriverID=12");
    command(corvane, "InfoDriverID=12", nullptr, "Corvane InfoDriverID=12");
    static const char* const driver[] = {"IR 12 0 0"};
    host.expect(driver);
    host.begin("Corvane Slot=7");
    command(corvane, "Slot=7", nullptr, "Corvane Slot=7");
    static const char* const slotSet[] = {"IR 12 7 7"};
    host.expect(slotSet);
    host.begin("Corvane return=all, given back");
    command(corvane, "return=all", "InfoDriverID=12\nSlot=7", "Corvane return=all, given back");
    host.expectNothing();
    host.begin("Corvane text=Camera 1");
    command(corvane, "text=Camera 1", nullptr, "Corvane text=Camera 1");
    static const char* const written[] = {"IW 12 'Camera 1' 7 0"};
    host.expect(written);

    host.begin("Corvane kind 1 slot 12/7");
    slot(corvane, 12, 7, "Camera 1");
    static const char* const shown[] = {"TP 'text=Camera 1' '1' 'umdText'"};
    host.expect(shown);
    host.begin("Corvane kind 1 slot 12/8");
    slot(corvane, 12, 8, "other");
    host.expectNothing();
    host.begin("Corvane kind 2 control");
    control(corvane, "umdText", "press", "1");
    host.expectNothing();
    host.begin("Corvane kind 4 timer 5");
    corvane->callback(word(5), 4);
    static const char* const stopped[] = {"ET 5"};
    host.expect(stopped);
    host.begin("Corvane kinds 6, 7 and 9");
    char data[] = "opaque";
    corvane->callback(data, 6);
    corvane->callback(word(42), 7);
    corvane->callback(nullptr, 9);
    host.expectNothing();

    host.begin("Corvane deleted");
    delete corvane;  // Visual C++: slot 0, the deleting destructor, with flags 1
    static const char* const deleted[] = {"IU 12", "AS"};
    host.expect(deleted);
}

void driveAlarmPanel(entry_function entry) {
    checking_host host;
    nelk_client_callback* panel = entry(&host, "layouts");
    if (panel == nullptr) return fail("AlarmPanel", "the entry returned null", nullptr);
    host.begin("AlarmPanel created");
    static const char* const created[] = {"PS '1' 'layouts/alarm_panel.nelk_ui'"};
    host.expect(created);

    host.begin("AlarmPanel ActionAll alarm=1 (XI answered, given back)");
    control(panel, "ActionAll", "alarm", "1");
    static const char* const raised[] = {"XI '1' 'alm_'", "TP 'alarm=1' '1' 'alm_1'", "TP 'value=1' '1' 'alm_1'",
                                         "TP 'alarm=1' '1' 'alm_2'", "TP 'value=1' '1' 'alm_2'"};
    host.expect(raised);
    host.begin("AlarmPanel AckAll (TG answered, read and given back)");
    control(panel, "AckAll", "ack", "");
    static const char* const acknowledged[] = {"XI '1' 'alm_'",         "TP 'alarm=4' '1' 'alm_1'",
                                               "TG '1' 'alm_1' 'value'", "TP 'value=4' '1' 'alm_1'",
                                               "TP 'alarm=4' '1' 'alm_2'", "TG '1' 'alm_2' 'value'"};
    host.expect(acknowledged);
    host.begin("AlarmPanel Title=Studio B");
    command(panel, "Title=Studio B", nullptr, "AlarmPanel Title=Studio B");
    static const char* const titled[] = {"TP 'text=Studio B' '1' 'title'"};
    host.expect(titled);
    host.begin("AlarmPanel return=all, given back");
    command(panel, "return=all", "Title=Studio B", "AlarmPanel return=all, given back");
    host.expectNothing();
    if (host.textsHandedOut() != 4) fail("AlarmPanel", "the host handed out other than 4 texts", nullptr);

    host.begin("AlarmPanel deleted");
    delete panel;
    static const char* const deleted[] = {"AS"};
    host.expect(deleted);
}

}  // namespace

extern "C" void hostMain() {
    const char* paths[2] = {nullptr, nullptr};
    if (no_runtime::arguments(paths, 2) != 2) {
        print("usage: visual_cpp_host CORVANE_DLL ALARM_PANEL_DLL\n");
        ExitProcess(2);
    }
    void* modules[2] = {nullptr, nullptr};
    entry_function corvane = entryOf(paths[0], &modules[0]);
    entry_function alarms = entryOf(paths[1], &modules[1]);
    if (corvane == nullptr || alarms == nullptr) {
        print("cannot load ");
        print(corvane == nullptr ? paths[0] : paths[1]);
        print(" or find its load_nelk_client_script\n");
        ExitProcess(2);
    }
    driveCorvane(corvane);
    driveAlarmPanel(alarms);
    FreeLibrary(modules[1]);
    FreeLibrary(modules[0]);
    print(failures == 0 ? "every step held\n" : "some steps failed\n");
    ExitProcess(failures == 0 ? 0 : 1);
}
