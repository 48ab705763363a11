// What the programs built in Visual C++ mode (clang --target=*-pc-windows-msvc, linked with
// lld-link against kernel32 only) need in place of a C runtime: the few kernel32 functions they
// call, the process heap behind new and delete, and plain text helpers. Single-threaded.
#pragma once

using nelk_word = __UINTPTR_TYPE__;

extern "C" {
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* bytes, unsigned long count, unsigned long* written,
                                              void* overlapped);
__declspec(dllimport) __declspec(noreturn) void __stdcall ExitProcess(unsigned int status);
__declspec(dllimport) const char* __stdcall GetCommandLineA();
__declspec(dllimport) void* __stdcall LoadLibraryA(const char* path);
__declspec(dllimport) void* __stdcall GetProcAddress(void* module, const char* name);
__declspec(dllimport) int __stdcall FreeLibrary(void* module);
__declspec(dllimport) void* __stdcall GetProcessHeap();
__declspec(dllimport) void* __stdcall HeapAlloc(void* heap, unsigned long flags, nelk_word bytes);
__declspec(dllimport) int __stdcall HeapFree(void* heap, unsigned long flags, void* block);
}

namespace no_runtime {

// Writes `text` (zero-terminated) to standard output.
void print(const char* text);
// The decimal text of `value` into `into`, which has room for 12 bytes.
void decimal(char* into, int value);
int length(const char* text);
bool same(const char* a, const char* b);
bool startsWith(const char* text, const char* prefix);
// Copies `text` into `into` (room bytes), cut to fit and always terminated.
void copy(char* into, int room, const char* text);
// A new zero-terminated copy on the process heap, freed with delete[].
char* duplicate(const char* text);
// The command line's words after the program's name, quotes removed: up to `most`, pointing into
// a buffer that lives as long as the process.
int arguments(const char** words, int most);

}  // namespace no_runtime
