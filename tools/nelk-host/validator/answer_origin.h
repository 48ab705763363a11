// Where a kind-3 answer points, when it is not a block of the component's own: into memory the
// host owns, onto the stack, or into a library's static memory. Host's thread.
#pragma once

#include <string>

namespace nelk_validator {

// A description ("points onto the stack") when `answer` is not heap memory the component could
// have allocated, otherwise the empty text.
std::string foreignOrigin(const void* answer);

}  // namespace nelk_validator
