// Captures what is written to file descriptor 2 while the object lives.
#pragma once

#include <cstdio>
#include <string>

#include <unistd.h>

class standard_error_capture {
public:
    standard_error_capture() : file_(std::tmpfile()), saved_(dup(2)) {
        std::fflush(stderr);
        dup2(fileno(file_), 2);
    }
    ~standard_error_capture() {
        restore();
        std::fclose(file_);
    }
    // Stops capturing and returns every byte written meanwhile.
    std::string text() {
        restore();
        std::string captured;
        std::rewind(file_);
        char chunk[4096];
        std::size_t count;
        while ((count = std::fread(chunk, 1, sizeof chunk, file_)) > 0) captured.append(chunk, count);
        return captured;
    }

private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    std::FILE* file_;
    int saved_;
};
