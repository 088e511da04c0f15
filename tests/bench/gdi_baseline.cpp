// gdi_baseline: times GetPicture through the real QAVREN.SPI and the same
// picture drawn the GDI way (gdi_picture.h), alternating the two in one
// process, and prints the medians and their ratio. Beside them it times the
// picture's steps without the drawing (UndrawnPicture): GDI's time over that
// is the highest ratio a faster drawing could reach.
//
//   gdi_baseline PLUGIN [--runs N] [--budget SECONDS] [--json FILE] [--save DIR] CASE...
//   CASE: wireframe|polygons/OBJECT/WxH/TRIANGLES, e.g. polygons/small-random/800x600/100000
//
// Each case runs N times (default 15) or until its time budget (default 60
// s) is spent after at least three runs. --save writes both pictures of
// each case as BMP files. The plug-in's registry settings are set for each
// case and removed at the end.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/bench/bench_fixtures.h"
#include "tests/bench/gdi_picture.h"

namespace qavren::bench {
namespace {

using GetPictureFn = int(WINAPI*)(LPCSTR, LONG, UINT, HLOCAL*, HLOCAL*, FARPROC, LONG);
constexpr const char* kSettingsKey = "Software\\Oru\\Susie Plug-in\\QAVREN";

struct Case {
    std::string name;
    int32_t mode = 1;
    BenchObjectKind kind;
    Canvas canvas{800, 600};
};

struct Options {
    int runs = 15;
    double budget = 60.0;
    std::string json, save;
    std::vector<Case> cases;
};

bool ParseCase(const std::string& text, Case* c) {
    char mode[32] = {}, object[32] = {};
    unsigned w = 0, h = 0, t = 0;
    if (std::sscanf(text.c_str(), "%31[a-z]/%31[a-z-]/%ux%u/%u", mode, object, &w, &h, &t) != 5) return false;
    c->name = text;
    c->mode = std::strcmp(mode, "wireframe") == 0 ? 0 : 1;
    c->canvas = {static_cast<int32_t>(w), static_cast<int32_t>(h)};
    for (auto size : {tools::TriangleSize::kSmall, tools::TriangleSize::kLarge}) {
        for (auto order : {tools::DepthOrder::kRandom, tools::DepthOrder::kSorted}) {
            if (tools::NameOf(size, order) == object) {
                c->kind = {t, size, order};
                return std::strcmp(mode, "wireframe") == 0 || std::strcmp(mode, "polygons") == 0;
            }
        }
    }
    return false;
}

void SetSetting(const char* name, DWORD value) {
    HKEY key;
    const std::string path = std::string(kSettingsKey) + "\\Draw Image";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) return;
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

double Now() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// One picture, timed; its blocks are kept in *info and *bits (freed first).
template <typename Draw>
double Timed(Draw draw, HLOCAL* info, HLOCAL* bits) {
    LocalFree(*info);
    LocalFree(*bits);
    *info = *bits = nullptr;
    const double start = Now();
    const int code = draw(info, bits);
    const double took = Now() - start;
    if (code != 0) {
        std::fprintf(stderr, "gdi_baseline: a picture failed with host code %d\n", code);
        std::exit(1);
    }
    return took;
}

bool SaveBmp(HLOCAL info, HLOCAL bits, const std::string& path) {
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LocalLock(info));
    const void* pixels = LocalLock(bits);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + header->biSizeImage;
    FILE* f = std::fopen(path.c_str(), "wb");
    bool ok = f && std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(header, sizeof *header, 1, f) == 1 &&
              std::fwrite(pixels, 1, header->biSizeImage, f) == header->biSizeImage;
    if (f && std::fclose(f) != 0) ok = false;
    LocalUnlock(bits);
    LocalUnlock(info);
    return ok;
}

// Share of the pixels in which the two pictures differ (row padding left out).
double DifferingShare(HLOCAL a, HLOCAL b, Canvas canvas) {
    const auto* p = static_cast<const uint8_t*>(LocalLock(a));
    const auto* q = static_cast<const uint8_t*>(LocalLock(b));
    const uint32_t stride = RowStride(canvas.width);
    uint64_t differ = 0;
    for (int32_t y = 0; y < canvas.height; ++y) {
        for (int32_t x = 0; x < canvas.width; ++x) {
            const size_t at = static_cast<size_t>(y) * stride + 3u * x;
            differ += std::memcmp(p + at, q + at, 3) != 0;
        }
    }
    LocalUnlock(a);
    LocalUnlock(b);
    return static_cast<double>(differ) / (static_cast<double>(canvas.width) * canvas.height);
}

struct Result {
    Case c;
    double ours, gdi, undrawn, differing;
    int runs;
};

Result RunCase(GetPictureFn get_picture, const Case& c, const Options& o) {
    const std::string& file = ObjectFile(c.kind);
    SetSetting("Type", static_cast<DWORD>(c.mode));
    SetSetting("Width", static_cast<DWORD>(c.canvas.width));
    SetSetting("Height", static_cast<DWORD>(c.canvas.height));
    const auto ours = [&](HLOCAL* i, HLOCAL* b) { return get_picture(file.c_str(), 0, 0, i, b, nullptr, 0); };
    const auto gdi = [&](HLOCAL* i, HLOCAL* b) { return GdiPicture(file.c_str(), i, b); };
    const auto undrawn = [&](HLOCAL* i, HLOCAL* b) { return UndrawnPicture(file.c_str(), i, b); };
    HLOCAL info[3] = {}, bits[3] = {};
    Timed(ours, &info[0], &bits[0]);  // warm-up: the file in the cache, the code paged in
    Timed(gdi, &info[1], &bits[1]);
    Timed(undrawn, &info[2], &bits[2]);
    std::vector<double> t_ours, t_gdi, t_undrawn;
    const double start = Now();
    for (int r = 0; r < o.runs && (r < 3 || Now() - start < o.budget); ++r) {
        if (r % 2 == 0) t_ours.push_back(Timed(ours, &info[0], &bits[0]));
        t_gdi.push_back(Timed(gdi, &info[1], &bits[1]));
        if (r % 2 == 1) t_ours.push_back(Timed(ours, &info[0], &bits[0]));
        t_undrawn.push_back(Timed(undrawn, &info[2], &bits[2]));
    }
    Result result{c, Median(t_ours), Median(t_gdi), Median(t_undrawn), DifferingShare(bits[0], bits[1], c.canvas),
                  static_cast<int>(t_ours.size())};
    if (!o.save.empty()) {
        std::string base = o.save + "/" + c.name;
        std::replace(base.begin() + static_cast<long>(o.save.size()) + 1, base.end(), '/', '-');
        SaveBmp(info[0], bits[0], base + "-qavren.bmp");
        SaveBmp(info[1], bits[1], base + "-gdi.bmp");
    }
    for (int k = 0; k < 3; ++k) {
        LocalFree(info[k]);
        LocalFree(bits[k]);
    }
    return result;
}

void WriteJson(const std::string& path, const std::vector<Result>& results) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return;
    std::fprintf(f, "{\n  \"context\": {\"program\": \"gdi_baseline\", \"time_unit\": \"ms\"},\n  \"benchmarks\": [\n");
    for (size_t k = 0; k < results.size(); ++k) {
        const Result& r = results[k];
        const char* sep = k + 1 < results.size() ? "," : "";
        const auto entry = [&](const char* who, double seconds, const char* end) {
            std::fprintf(f, "    {\"name\": \"wine_%s/%s\", \"real_time\": %.4f, \"time_unit\": \"ms\", "
                         "\"triangles\": %u, \"runs\": %d}%s\n", who, r.c.name.c_str(), seconds * 1000.0,
                         r.c.kind.triangles, r.runs, end);
        };
        entry("qavren", r.ours, ",");
        entry("gdi", r.gdi, ",");
        entry("undrawn", r.undrawn, ",");
        std::fprintf(f, "    {\"name\": \"wine_ratio/%s\", \"ratio\": %.2f, \"ceiling\": %.2f, "
                     "\"differing_pixels\": %.4f, \"triangles\": %u}%s\n", r.c.name.c_str(), r.gdi / r.ours,
                     r.gdi / r.undrawn, r.differing, r.c.kind.triangles, sep);
    }
    std::fprintf(f, "  ]\n}\n");
    std::fclose(f);
}

int Usage() {
    std::fprintf(stderr, "usage: gdi_baseline PLUGIN [--runs N] [--budget SECONDS] [--json FILE] [--save DIR] CASE...\n"
                         "       CASE: wireframe|polygons/OBJECT/WxH/TRIANGLES\n");
    return 2;
}

bool ParseOptions(int argc, char** argv, Options* o) {
    for (int k = 2; k < argc; ++k) {
        const std::string a = argv[k];
        const bool has_value = k + 1 < argc;
        if (a == "--runs" && has_value) {
            o->runs = std::max(1, std::atoi(argv[++k]));
        } else if (a == "--budget" && has_value) {
            o->budget = std::atof(argv[++k]);
        } else if (a == "--json" && has_value) {
            o->json = argv[++k];
        } else if (a == "--save" && has_value) {
            o->save = argv[++k];
        } else {
            Case c;
            if (!ParseCase(a, &c)) return false;
            o->cases.push_back(c);
        }
    }
    return !o->cases.empty();
}

}  // namespace
}  // namespace qavren::bench

int main(int argc, char** argv) {
    using namespace qavren::bench;
    Options options;
    if (argc < 3 || !ParseOptions(argc, argv, &options)) return Usage();
    HMODULE plugin = LoadLibraryA(argv[1]);
    auto get_picture = plugin ? reinterpret_cast<GetPictureFn>(
                                    reinterpret_cast<void*>(GetProcAddress(plugin, "GetPicture")))
                              : nullptr;
    if (!get_picture) {
        std::fprintf(stderr, "gdi_baseline: %s is not a loadable Susie plug-in\n", argv[1]);
        return 1;
    }
    std::vector<Result> results;
    std::printf("%-40s %10s %10s %8s %11s %8s %10s %5s\n", "case", "QAVREN ms", "GDI ms", "ratio", "undrawn ms",
                "ceiling", "differing", "runs");
    for (const Case& c : options.cases) {
        results.push_back(RunCase(get_picture, c, options));
        const Result& r = results.back();
        std::printf("%-40s %10.3f %10.3f %7.1fx %11.3f %7.1fx %9.2f%% %5d\n", c.name.c_str(), r.ours * 1000,
                    r.gdi * 1000, r.gdi / r.ours, r.undrawn * 1000, r.gdi / r.undrawn, r.differing * 100, r.runs);
        std::fflush(stdout);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    if (!options.json.empty()) WriteJson(options.json, results);
    FreeLibrary(plugin);
    return 0;
}
