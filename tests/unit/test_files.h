// Helpers for tests that need files on disk: a temporary file that removes
// itself, and the path of the shared corpus of real objects.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qavren::testing {

class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes, const char* name = "object.lwo") {
        static int serial = 0;
        path_ = (std::filesystem::temp_directory_path() /
                 ("qavren-test-" + std::to_string(serial++) + "-" + name)).string();
        FILE* f = std::fopen(path_.c_str(), "wb");
        if (f) {
            if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() { std::remove(path_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return bytes;
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    return bytes;
}

// The shared corpus of real LightWave files, beside the checkout.
inline std::filesystem::path CorpusDir() {
    return std::filesystem::path(QAVREN_SOURCE_DIR) / ".." / "shared" / "corpus" / "lwo";
}

// A corpus folder's MANIFEST.tsv, a row of tab-separated fields a line,
// its heading left out; no rows when there is no manifest.
inline std::vector<std::vector<std::string>> ManifestRows(const std::filesystem::path& dir) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream manifest(dir / "MANIFEST.tsv", std::ios::binary);
    std::string line;
    for (std::getline(manifest, line); std::getline(manifest, line);) {
        std::stringstream fields(line);
        rows.emplace_back();
        for (std::string s; std::getline(fields, s, '\t');) rows.back().push_back(s);
    }
    return rows;
}

}  // namespace qavren::testing
