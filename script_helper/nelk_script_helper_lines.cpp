#include "nelk_script_helper_lines.h"

#include <climits>
#include <stdexcept>

namespace nelk_command_line {

template <int Room> void text_buffer<Room>::grow(long long size) {
    if (size >= INT_MAX / 2) throw std::length_error("command line longer than 1 GB");
    const int capacity = static_cast<int>(size > 2LL * capacity_ ? size : 2LL * capacity_);
    char* block = new char[static_cast<std::size_t>(capacity) + 1];
    std::memcpy(block, data_, static_cast<std::size_t>(length_) + 1);
    if (data_ != room_) delete[] data_;
    data_ = block;
    capacity_ = capacity;
}

template class text_buffer<256>;   // line
template class text_buffer<4096>;  // answer_copy

}  // namespace nelk_command_line
