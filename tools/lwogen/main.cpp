// lwogen: writes sample LWOB objects, and the seed objects of the fuzzers.
//   lwogen cube|sphere|torus OUT.lwo [RINGS SEGMENTS]
//   lwogen seeds DIR [--picture]   (--picture: each seed led by 4 bytes of
//                                   canvas size, mode and forms, for picture_fuzz)
//   lwogen lwo2|lwo3|lwlo SHAPE OUT.lwo   (a shape as one layer of a newer form)
//   lwogen depths killer|ring|random COUNT OUT.lwo   (COUNT records whose
//                                   depths follow the pattern, for timing
//                                   the depth sort in a whole picture)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>
#include <vector>

#include "tools/lwogen/depth_objects.h"
#include "tools/lwogen/hostile.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

using qavren::tools::LwoWriter;

namespace {

bool WriteFile(const std::string& path, const LwoWriter::Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

int Seeds(const std::string& dir, bool picture) {
    auto seeds = qavren::tools::HostileObjects();
    seeds.push_back({"sphere", qavren::tools::MakeSphere(6, 8).Build()});
    seeds.push_back({"torus", qavren::tools::MakeTorus(6, 5, 1.0f, 0.3f).Build()});
    for (auto& c : qavren::tools::LayeredObjects()) {
        if (c.bytes.size() <= 65536) seeds.push_back({c.name, std::move(c.bytes)});
    }
    for (auto& c : qavren::tools::DamagedSurfaceObjects()) seeds.push_back({"surface-" + c.name, std::move(c.bytes)});
    int failed = 0;
    for (auto& [name, bytes] : seeds) {
        // Canvas 40 x 30, the mode, bit 2: the newer forms are read, bit 3:
        // the polygons are shaded (for every other name of odd length).
        if (picture) bytes.insert(bytes.begin(), {40, 30, static_cast<uint8_t>((name.size() & 1) | 4 | (name.size() & 2) << 2), 0});
        if (!WriteFile(dir + "/" + name + ".lwo", bytes)) ++failed;
    }
    return failed ? 1 : 0;
}

// Random depths come from a fixed seed: the same file on every run.
int Depths(const char* pattern, const char* count_text, const char* path) {
    const long count = std::atol(count_text);
    if (count < 2 || static_cast<unsigned long>(count) > qavren::tools::kMaxDepthRecords) {
        std::fprintf(stderr, "lwogen: COUNT from 2 to %zu\n", qavren::tools::kMaxDepthRecords);
        return 2;
    }
    const auto n = static_cast<size_t>(count);
    std::vector<float> depths;
    if (!std::strcmp(pattern, "killer")) {
        depths = qavren::tools::MiddlePivotKiller(n);
    } else if (!std::strcmp(pattern, "ring")) {
        depths = qavren::tools::RingDepths(n);
    } else if (!std::strcmp(pattern, "random")) {
        uint32_t seed = 12345;
        for (size_t k = 0; k < n; ++k) {
            seed = seed * 1664525u + 1013904223u;
            depths.push_back(static_cast<float>(seed >> 8));
        }
    } else {
        std::fprintf(stderr, "lwogen: unknown depth pattern '%s'\n", pattern);
        return 2;
    }
    if (!WriteFile(path, qavren::tools::MakeDepthObject(depths).Build())) {
        std::fprintf(stderr, "lwogen: cannot write %s\n", path);
        return 1;
    }
    return 0;
}

// "lwo2" -> "LWO2", for the three newer forms only.
const char* NewerForm(const char* name) {
    for (const char* form : {"LWO2", "LWO3", "LWLO"}) {
        if (strcasecmp(name, form) == 0) return form;
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && !std::strcmp(argv[1], "seeds")) {
        return Seeds(argv[2], argc == 4 && !std::strcmp(argv[3], "--picture"));
    }
    if (argc == 5 && !std::strcmp(argv[1], "depths")) return Depths(argv[2], argv[3], argv[4]);
    const char* form = argc >= 4 ? NewerForm(argv[1]) : nullptr;
    if (form) {  // a sample shape as one layer of a newer form
        ++argv;
        --argc;
    }
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr,
                     "usage: lwogen [lwo2|lwo3|lwlo] cube|sphere|torus OUT.lwo [RINGS SEGMENTS]\n"
                     "       lwogen seeds DIR [--picture]\n"
                     "       lwogen depths killer|ring|random COUNT OUT.lwo\n");
        return 2;
    }
    // A sphere of R rings and S segments has 2 + (R - 1) S points and
    // 2 (R - 1) S triangles; a torus R S points. Point numbers are 16 bits.
    const int rings = argc == 5 ? std::atoi(argv[3]) : 0, segments = argc == 5 ? std::atoi(argv[4]) : 0;
    if (argc == 5 && (rings < 2 || segments < 3 || int64_t{rings} * segments > 65536)) {
        std::fprintf(stderr, "lwogen: RINGS >= 2, SEGMENTS >= 3 and at most 65,536 points\n");
        return 2;
    }
    LwoWriter w;
    if (!std::strcmp(argv[1], "cube")) {
        w = qavren::tools::MakeCube();
    } else if (!std::strcmp(argv[1], "sphere")) {
        w = qavren::tools::MakeSphere(rings ? rings : 12, segments ? segments : 24);
    } else if (!std::strcmp(argv[1], "torus")) {
        w = qavren::tools::MakeTorus(rings ? rings : 24, segments ? segments : 12, 1.0f, 0.35f);
    } else {
        std::fprintf(stderr, "lwogen: unknown shape '%s'\n", argv[1]);
        return 2;
    }
    const auto bytes = form ? qavren::tools::LayeredWriter::From(w, form).Build() : w.Build();
    if (!WriteFile(argv[2], bytes)) {
        std::fprintf(stderr, "lwogen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
