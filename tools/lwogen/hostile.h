// Hostile objects: valid shapes with one field bent out of shape (chunk
// lengths, vertex counts, point numbers, float bit patterns). They seed the
// fuzzers and drive the hostile-input tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qavren::tools {

using NamedObject = std::pair<std::string, std::vector<uint8_t>>;

// Each object with a short name saying what is wrong with it.
std::vector<NamedObject> HostileObjects();

}  // namespace qavren::tools
