// What the statement mutator draws words from: texts and numbers. The texts come in three pools,
// drawn from in this order of weight: the component's own (its library's texts, its answers to
// "_commands" and "return=all"), kept for good; what it sent; and what the inputs held, which
// mutated inputs keep filling with noise. Numbers: the drivers and slots it registered, the
// seeds' numbers, and the edges numbers break at. The last two pools and the numbers are bounded:
// past their size a new entry takes the place of a random old one. Not thread-safe; the
// fuzzer's thread.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace nelk_fuzzing {

class fuzz_dictionary {
public:
    explicit fuzz_dictionary(std::size_t mostTexts = 512, std::size_t mostNumbers = 256);

    // A text of an input: kept once (repeats are not added again while the pool is small).
    void addText(const std::string& text);
    // A text of the component's own (its library's, its answers'), kept for good.
    void addOwnText(const std::string& text);
    // A component's kind-3 answer ("_commands", "return=all"): each "Name=value" line as a
    // command, each name with '=' and each alternative a "[a|b]" or "a|b" value lists, and the
    // numbers in it. `own`: into the component's own pool (the probe's answers), else with what
    // it sent.
    void addAnswer(const std::string& answer, bool own);
    // A line the component sent: the numbers of an "IR"/"IU" (its drivers and slots) and the
    // texts it quoted.
    void addSentLine(const std::string& line);
    void addNumber(long long number);

    // A text from the pool; "" when it is empty.
    const std::string& text(std::minstd_rand& random) const;
    // A number: one the component registered or the seeds held, near one, or an edge.
    long long number(std::minstd_rand& random) const;
    // A "PS", "TG" or "XI" line a component sent, for an "answer" statement; "" when none was.
    const std::string& answerable(std::minstd_rand& random) const;

    std::size_t texts() const noexcept { return own_.size() + sent_.size() + texts_.size(); }
    std::size_t numbers() const noexcept { return numbers_.size(); }

private:
    void addTextTo(bool own, const std::string& text);

    std::size_t mostTexts_;
    std::size_t mostNumbers_;
    std::vector<std::string> own_;
    std::vector<std::string> sent_;
    std::vector<std::string> texts_;
    std::vector<long long> numbers_;
    std::vector<std::string> answerable_;
    std::minstd_rand replace_{7};  // which entry a full pool gives up
};

}  // namespace nelk_fuzzing
