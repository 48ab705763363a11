// What the validator learns of a component before it drives it, and the values it drives it
// with. Nothing of any particular component is written here: the component names its commands
// in its "_commands" answer (one `name=[value]` a line) and its settings in its "return=all"
// answer (one `name=value` a line).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "subject.h"

namespace nelk_validator {

struct component_profile {
    std::vector<std::string> commands;                            // names, in the order listed
    std::vector<std::pair<std::string, std::string>> settings;  // name and current value
};

// Asks `target` for "_commands" and "return=all" and reads the answers. Lines without a name
// are skipped; a name listed twice counts once.
component_profile learnProfile(subject& target);

// The fixed edge corpus every listed command is driven with: empty, 0, -1, small numbers on
// both sides of common bounds, the int extremes, 2^32+12, a 64 KB text, quotes, "%1", a
// trailing backslash, dots and "=" inside. (A command without "=" is sent besides.)
const std::vector<std::string>& edgeValues();

// A random 32-bit number: small, in the thousands, any, or an extreme.
int randomNumber(std::mt19937_64& random);
// A random value: a number (32-bit or beyond) or a text of the bytes that matter here.
std::string randomValue(std::mt19937_64& random);
// A random text of up to 200 bytes, rich in separators, quotes and markers.
std::string randomText(std::mt19937_64& random);

// The usual life of a panel, driven through what the component said of itself: the queries,
// every command with a few plain values (so that a component binds to something), every
// command with a text, the slots it registered for, the framework's group controls and the
// controls it set, a timer, a number and data.
void exercise(subject& target, const component_profile& profile);

}  // namespace nelk_validator
