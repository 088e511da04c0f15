// The golden picture lists: one line a picture, "object mode width height
// fingerprint [angle_x angle_y angle_z]", the object's path relative to the
// checkout; with the angles, the picture of View = 1 and those angles. The same lists
// hold for every build, native or Windows, 32- or 64-bit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qavren::testing {

struct GoldenPicture {
    std::string object;  // full path
    int32_t mode = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::string fingerprint;
    bool turned = false;  // View = 1 with the angles below
    int32_t angles[3] = {0, 0, 0};
    std::string line;  // as written, for messages
};

// FNV-1a 64 over a pixel block, as 16 hex digits.
inline std::string Fingerprint(const std::vector<uint8_t>& pixels) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : pixels) h = (h ^ b) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

// tests/golden/NAME read from the checkout; empty when it cannot be read.
inline std::vector<GoldenPicture> ReadGoldenList(const std::string& name) {
    const std::string dir = std::string(QAVREN_SOURCE_DIR) + "/";
    std::ifstream list(dir + "tests/golden/" + name);
    std::vector<GoldenPicture> pictures;
    std::string line;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        GoldenPicture p;
        std::istringstream fields(line);
        fields >> p.object >> p.mode >> p.width >> p.height >> p.fingerprint;
        p.turned = static_cast<bool>(fields >> p.angles[0] >> p.angles[1] >> p.angles[2]);
        p.object = dir + p.object;
        p.line = line;
        pictures.push_back(p);
    }
    return pictures;
}

}  // namespace qavren::testing
