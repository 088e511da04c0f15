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

// Objects of the layered forms (LWLO, LWO2, LWO3), sound and bent, each
// with the host code a picture of it gets where those forms are read: 0,
// or 3 for what is corrupt.
struct LayeredCase {
    std::string name;
    std::vector<uint8_t> bytes;
    int32_t code;
};
std::vector<LayeredCase> LayeredObjects();

}  // namespace qavren::tools
