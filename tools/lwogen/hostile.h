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

// Objects of all four forms with damaged or unusual surface data: a cube
// whose first polygon is meant to be on "Red" (255, 0, 0) and the others on
// "Blue" (0, 0, 255). Each draws where its form is read (host code 0); the
// colours say what the surface reader makes of it: the default grey (200,
// 200, 200) wherever the damage reaches.
struct SurfaceCase {
    std::string name;
    std::vector<uint8_t> bytes;
    uint8_t first[3];   // polygon 0's colour
    uint8_t others[3];  // polygons 1 to 5
};
std::vector<SurfaceCase> DamagedSurfaceObjects();

}  // namespace qavren::tools
