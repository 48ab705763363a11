// Captures what the framework writes to the debugger output while the object lives: standard
// error (file descriptor 2) on POSIX; on Windows the OutputDebugStringA calls, taken from the
// exception that OutputDebugStringA raises for a debugger.
#pragma once

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

class debugger_output_capture {
public:
#if defined(_WIN32)
    debugger_output_capture() {
        captured().clear();
        handler_ = AddVectoredExceptionHandler(1, &onException);
    }
#else
    debugger_output_capture() : file_(std::tmpfile()), saved_(dup(2)) {
        std::fflush(stderr);
        dup2(fileno(file_), 2);
    }
#endif
    ~debugger_output_capture() {
        restore();
#if !defined(_WIN32)
        std::fclose(file_);
#endif
    }
    debugger_output_capture(const debugger_output_capture&) = delete;
    debugger_output_capture& operator=(const debugger_output_capture&) = delete;

    // Stops capturing and returns every byte written meanwhile.
    std::string text() {
        restore();
#if defined(_WIN32)
        return captured();
#else
        std::string captured;
        std::rewind(file_);
        char chunk[4096];
        std::size_t count;
        while ((count = std::fread(chunk, 1, sizeof chunk, file_)) > 0) captured.append(chunk, count);
        return captured;
#endif
    }

private:
#if defined(_WIN32)
    static std::string& captured() {
        static std::string text;
        return text;
    }
    static LONG CALLBACK onException(EXCEPTION_POINTERS* information) {
        const EXCEPTION_RECORD* record = information->ExceptionRecord;
        if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
        const ULONG_PTR length = record->ExceptionInformation[0];  // the terminator included
        captured().append(reinterpret_cast<const char*>(record->ExceptionInformation[1]), length > 0 ? length - 1 : 0);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    void restore() {
        if (handler_ != nullptr) RemoveVectoredExceptionHandler(handler_);
        handler_ = nullptr;
    }
    void* handler_ = nullptr;
#else
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    std::FILE* file_;
    int saved_;
#endif
};
