// The fuzzer's mutations of an input, on its statements rather than its bytes: insert, delete,
// duplicate and swap statements; change a number (towards the drivers and slots the component
// registered, and the edges), a text (from the dictionary, or the fuzzer's own byte mutation,
// which brings its comparison hints), a kind of "raw" and a duration. What comes out is always a
// scenario of well-formed statements. Not thread-safe; the fuzzer's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include "fuzzing/fuzz_dictionary.h"
#include "fuzzing/fuzz_input.h"

namespace nelk_fuzzing {

// The fuzzer's own mutation of a byte string (LLVMFuzzerMutate): mutates data[0, size) in place,
// up to maxSize bytes, and returns the new size. Null: texts change by the dictionary only.
using byte_mutator = std::size_t (*)(std::uint8_t* data, std::size_t size, std::size_t maxSize);

class statement_mutator {
public:
    // dictionary: kept by reference, must outlive the mutator.
    statement_mutator(fuzz_dictionary& dictionary, byte_mutator bytes);

    // Learns the input's texts and numbers into the dictionary, then mutates it once in place.
    void mutate(std::vector<statement>& statements, std::minstd_rand& random);
    // A run of `second`'s statements put into `first` at a random place.
    std::vector<statement> cross(const std::vector<statement>& first, const std::vector<statement>& second,
                                 std::minstd_rand& random) const;
    // The dictionary learns the words of `statements`.
    void learn(const std::vector<statement>& statements);

private:
    statement made(const std::vector<statement>& statements, std::minstd_rand& random) const;
    void changeWord(statement& words, std::minstd_rand& random) const;
    std::string changedText(const std::string& text, std::minstd_rand& random) const;

    fuzz_dictionary& dictionary_;
    byte_mutator bytes_;
};

}  // namespace nelk_fuzzing
