// The calls a 32-bit Visual C++ host makes: what a callee declared with each calling convention
// leaves on the stack, and that the caller survives each of them. Elsewhere there is one
// convention, and every call must balance.
#include <gtest/gtest.h>

#include "abi_calls.h"

namespace {

using nelk_test_kit::stack_balance;

const char answer[] = "answered";

#if NELK_VISUAL_CPP_LAYOUT && defined(__i386__)
#define NELK_CDECL __attribute__((cdecl))
#define NELK_STDCALL __attribute__((stdcall))

// Interfaces with the host's slots but another convention for slot 1. Their callbacks touch
// nothing through `this`, which they read from the wrong place.
class cdecl_interface {
public:
    NELK_DELETING_DESTRUCTOR(cdecl_interface)
    virtual const char* NELK_CDECL callback(void*, int) { return answer; }
    virtual ~cdecl_interface() = default;
};
class stdcall_interface {
public:
    NELK_DELETING_DESTRUCTOR(stdcall_interface)
    virtual const char* NELK_STDCALL callback(void*, int) { return answer; }
    virtual ~stdcall_interface() = default;
};

nelk_client_callback* NELK_STDCALL stdcallEntry(nelk_host*, const char*) { return nullptr; }

TEST(AbiCallsTest, EachConventionOfSlotOneLeavesItsOwnMark) {
    cdecl_interface cdeclCallee;
    stdcall_interface stdcallCallee;
    struct {
        nelk_client_callback* callee;
        int error;
    } cases[] = {
        {reinterpret_cast<nelk_client_callback*>(&cdeclCallee), -8},    // the arguments left behind
        {reinterpret_cast<nelk_client_callback*>(&stdcallCallee), 4},   // `this` popped as a third word
    };
    for (const auto& call : cases) {
        stack_balance balance;
        const char* result = nelk_test_kit::callCallback(*call.callee, nullptr, 3, balance);
        EXPECT_EQ(balance.error, call.error);
        EXPECT_EQ(result, answer);  // and the caller's frame is intact enough to compare it
    }
}

TEST(AbiCallsTest, AStdcallEntryIsCaught) {
    stack_balance balance;
    // As a library's export is found: an address, taken to be the cdecl entry.
    const auto entry = reinterpret_cast<nelk_test_kit::load_entry>(reinterpret_cast<void*>(&stdcallEntry));
    EXPECT_EQ(nelk_test_kit::callEntry(entry, nullptr, "x", balance), nullptr);
    EXPECT_EQ(balance.error, 8);
    EXPECT_NE(nelk_test_kit::describeStackError("the entry", balance.error).find("cdecl"), std::string::npos);
}
#endif

class thiscall_component : public nelk_client_callback {
public:
    explicit thiscall_component(bool* deleted) : deleted_(deleted) {}
    ~thiscall_component() override { *deleted_ = true; }
    const char* NELK_THISCALL callback(void* data, int kind) override { return kind == 3 && data != nullptr ? answer : nullptr; }

private:
    bool* deleted_;
};

nelk_client_callback* makeComponent(nelk_host*, const char* text) {
    static bool deleted = false;
    return text != nullptr ? new thiscall_component(&deleted) : nullptr;
}

TEST(AbiCallsTest, TheContractsOwnDeclarationsBalanceEveryCall) {
    stack_balance balance;
    nelk_client_callback* component = nelk_test_kit::callEntry(&makeComponent, nullptr, "x", balance);
    ASSERT_NE(component, nullptr);
    EXPECT_TRUE(balance.held());
    char text[] = "return=all";
    EXPECT_EQ(nelk_test_kit::callCallback(*component, text, 3, balance), answer);
    EXPECT_TRUE(balance.held());
    EXPECT_EQ(nelk_test_kit::callCallback(*component, text, 4, balance), nullptr);
    bool deleted = false;
    nelk_test_kit::callDeletingDestructor(new thiscall_component(&deleted), balance);
    EXPECT_TRUE(balance.held());
    EXPECT_TRUE(deleted);
    nelk_test_kit::callDeletingDestructor(component, balance);
    EXPECT_TRUE(balance.held());
}

}  // namespace
