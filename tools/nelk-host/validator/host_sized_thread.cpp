#include "host_sized_thread.h"

#include "process/process_guard.h"
#include "sanitizer_build.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace nelk_validator {

namespace {

#if defined(NELK_SANITIZED)
// The sanitizers' own frames are several times larger: the same room for the component's.
const unsigned long stackBytes = 4 * hostStackBytes;
#else
const unsigned long stackBytes = hostStackBytes;
#endif

#if defined(_WIN32)
DWORD WINAPI start(LPVOID body) {
    (*static_cast<const std::function<void()>*>(body))();
    return 0;
}
#else
void* start(void* body) {
    nelk_process_guard::useAlternateStack();
    (*static_cast<const std::function<void()>*>(body))();
    return nullptr;
}
#endif

}  // namespace

void onHostSizedThread(const std::function<void()>& body) {
#if defined(_WIN32)
    HANDLE thread = CreateThread(nullptr, stackBytes, start, const_cast<std::function<void()>*>(&body),
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) return body();
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    pthread_attr_t attributes;
    pthread_t thread;
    const bool made = pthread_attr_init(&attributes) == 0 && pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                      pthread_create(&thread, &attributes, start, const_cast<std::function<void()>*>(&body)) == 0;
    pthread_attr_destroy(&attributes);
    if (!made) return body();
    pthread_join(thread, nullptr);
#endif
}

}  // namespace nelk_validator
