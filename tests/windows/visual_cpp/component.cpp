// A component built the way a Visual Studio user builds one: Visual C++'s object layout (clang
// in Visual C++ mode, lld-link, kernel32 only), on the interface alone, without the framework.
// nelk-host.exe, built by mingw-w64, must create it, drive it through slot 1 and delete it
// through slot 0 (visual_cpp_component.nelk).
//   "echo=TEXT"  shows TEXT in the label and answers "echoed TEXT"
//   "_commands"  answers the two commands, so that the validator drives them
//   "read"       asks "TG '1' 'label' 'text'", copies the answer and gives it back, and answers
//                with the copy
//   timer ID     "ET ID";  number N  "IW 5 'N' 1 0";  slot 5/1 (registered at creation) holding
//   TEXT          "TP 'text=TEXT' '1' 'slot'"
#include "nelk_client_callback.h"
#include "nelk_host.h"
#include "no_runtime.h"
#include "records.h"

namespace {

// Up to four pieces joined into a new block, freed with delete[].
char* joined(const char* a, const char* b = "", const char* c = "", const char* d = "") {
    const char* pieces[] = {a, b, c, d};
    int size = 1;
    for (const char* piece : pieces) size += no_runtime::length(piece);
    char* line = new char[size];
    int at = 0;
    for (const char* piece : pieces) {
        for (; *piece != '\0'; ++piece) line[at++] = *piece;
    }
    line[at] = '\0';
    return line;
}


class echo_component : public nelk_client_callback {
public:
    echo_component(nelk_host* host) : host_(host) {
        send("PS '1' 'echo.nelk_ui'");
        send("IR 5 1 1");
    }
    ~echo_component() override {
        send("IU 5");
        send("AS");
    }

    const char* callback(void* data, int kind) override {
        char number[12];
        switch (kind) {
        case 1: {
            const slot_record* record = static_cast<const slot_record*>(data);
            if (record == nullptr || record->device != 5 || record->index != 1) return nullptr;
            sendJoined("TP 'text=", record->slotText != nullptr ? record->slotText : "", "' '1' 'slot'");
            return nullptr;
        }
        case 3: return command(static_cast<const char*>(data));
        case 4:
            no_runtime::decimal(number, static_cast<int>(reinterpret_cast<nelk_word>(data)));
            sendJoined("ET ", number);
            return nullptr;
        case 5: delete[] static_cast<char*>(data); return nullptr;
        case 7:
            no_runtime::decimal(number, static_cast<int>(reinterpret_cast<nelk_word>(data)));
            sendJoined("IW 5 '", number, "' 1 0");
            return nullptr;
        default: return nullptr;
        }
    }

private:
    void* send(const char* line) { return host_ != nullptr ? host_->hostSend(line, 0) : nullptr; }
    void sendJoined(const char* a, const char* b = "", const char* c = "") {
        char* line = joined(a, b, c);
        send(line);
        delete[] line;
    }

    const char* command(const char* text) {
        if (no_runtime::startsWith(text, "echo=")) {
            sendJoined("TP 'text=", text + 5, "' '1' 'label'");
            return joined("echoed ", text + 5);
        }
        if (no_runtime::same(text, "_commands")) return no_runtime::duplicate("echo=[value]\nread");
        if (no_runtime::same(text, "read")) {
            const char* answer = static_cast<const char*>(send("TG '1' 'label' 'text'"));
            if (answer == nullptr) return nullptr;
            char* copy = no_runtime::duplicate(answer);
            host_->hostSend(answer, 5);
            return copy;
        }
        return nullptr;
    }

    nelk_host* host_;
};

}  // namespace

extern "C" __declspec(dllexport) nelk_client_callback* load_nelk_client_script(nelk_host* host, const char*) {
    return new echo_component(host);
}

extern "C" int __stdcall componentEntry(void*, unsigned long, void*) { return 1; }
