// The installed headers beside a component author's own global names: the framework's templates
// must call their own put, lengthOf, send and ask, never the author's, which argument-dependent
// lookup would offer them (the views and the host live in the global namespace). That this file
// compiles, and that the author's functions are never called, is the test.
#include <string>

namespace {
int authorsCalls = 0;
}  // namespace

class nelk_host;
class nelk_stringview;
char* put(char* out, const char*) {
    ++authorsCalls;
    return out;
}
int lengthOf(const char*) {
    ++authorsCalls;
    return 0;
}
void* send(nelk_host*, const char*) {
    ++authorsCalls;
    return nullptr;
}
template <typename Read> bool ask(nelk_host*, const char*, Read&&) {
    ++authorsCalls;
    return false;
}
bool valueFor(const char*, int, const nelk_stringview&, nelk_stringview&) {
    ++authorsCalls;
    return false;
}

#include <gtest/gtest.h>

#include "nelk_script_helper.h"
#include "nelk_test_kit.h"

namespace {

struct writing_component : nelk_test_kit::quiet_component {
    using quiet_component::quiet_component;
    using nelk_script_helper::textPut;
};

TEST(HostileNamesTest, TheFrameworkCallsItsOwnFunctions) {
    nelk_test_kit::recording_host host;
    host.answerText("TG", "value=4");
    writing_component component(&host, "panels");
    component.textPut(nelk_stringview("text"), nelk_stringview("Camera 1"), nelk_stringview("1"), nelk_stringview("umd"));
    nelk_string value;
    component.textGet(nelk_stringview("value"), nelk_stringview("1"), nelk_stringview("alm_1"), value);
    EXPECT_EQ(host.takeLines(), (std::vector<std::string>{"TP 'text=Camera 1' '1' 'umd'", "TG '1' 'alm_1' 'value'"}));
    EXPECT_EQ(std::string(value), "4");
    EXPECT_EQ(authorsCalls, 0);
    EXPECT_TRUE(host.finish().empty());
}

}  // namespace
