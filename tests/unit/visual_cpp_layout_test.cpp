// Slot 0 of the interfaces where they carry Visual C++'s layout (Windows builds by mingw-w64 or
// clang in GNU mode): the deleting destructor a Windows host calls, with its flags word.
#include <gtest/gtest.h>

#include <new>
#include <string>

#include "nelk_client_callback.h"
#include "nelk_host.h"

namespace {

std::string events;

struct interface_base : nelk_client_callback {
    ~interface_base() override { events += "base "; }
};

struct counted_component : interface_base {
    const char* callback(void*, int) override { return nullptr; }
    ~counted_component() override { events += "derived "; }
    static void operator delete(void* memory) {
        events += "freed ";
        ::operator delete(memory);
    }
};

struct counted_host : nelk_host {
    void* hostSend(const char*, int) override { return nullptr; }
    ~counted_host() override { events += "host "; }
};

TEST(VisualCppLayoutTest, SlotZeroRunsTheWholeChainAndFreesOnlyWithBitZero) {
#if !NELK_VISUAL_CPP_LAYOUT
    GTEST_SKIP() << "this build's interfaces have the platform's own layout";
#else
    struct row { unsigned flags; bool onHeap; const char* seen; };
    const row rows[] = {
        {1, true, "derived base freed "},
        {0, false, "derived base "},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.flags);
        events.clear();
        alignas(counted_component) unsigned char room[sizeof(counted_component)];
        nelk_client_callback* component = r.onHeap ? new counted_component : new (room) counted_component;
        EXPECT_EQ(component->deletingDestructor(r.flags), static_cast<void*>(component));
        EXPECT_EQ(events, r.seen);
    }
    events.clear();
    nelk_host* host = new counted_host;
    host->deletingDestructor(1);
    EXPECT_EQ(events, "host ");
#endif
}

}  // namespace
