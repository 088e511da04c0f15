// lwogen: writes sample LWOB objects. Usage: lwogen cube|sphere|torus OUT.lwo
#include <cstdio>
#include <cstring>

#include "tools/lwogen/lwo_writer.h"

using qavren::tools::LwoWriter;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lwogen cube|sphere|torus OUT.lwo\n");
        return 2;
    }
    LwoWriter w;
    if (!std::strcmp(argv[1], "cube")) {
        w = qavren::tools::MakeCube();
    } else if (!std::strcmp(argv[1], "sphere")) {
        w = qavren::tools::MakeSphere(12, 24);
    } else if (!std::strcmp(argv[1], "torus")) {
        w = qavren::tools::MakeTorus(24, 12, 1.0f, 0.35f);
    } else {
        std::fprintf(stderr, "lwogen: unknown shape '%s'\n", argv[1]);
        return 2;
    }
    const LwoWriter::Bytes bytes = w.Build();
    FILE* f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "lwogen: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
