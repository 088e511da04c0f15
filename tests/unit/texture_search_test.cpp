// Finding images: the order of the places searched, then the search on a
// temporary folder tree (case, Images folders, the content folder, the
// caller's folders, FIFOs, folders and too large files), and files in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "image/texture_search.h"
#include "image/texture_source.h"

namespace qavren {
namespace {

namespace fs = std::filesystem;

struct Recorder final : texture_search::PlaceVisitor {
    std::vector<std::string> places;
    bool Try(const char* folder, const char* relative) override {
        places.push_back(std::string(folder) + "|" + relative);
        return false;
    }
};

TEST(TextureSearch, PlacesInOrder) {
    const char* caller[] = {"/t"};
    const struct {
        const char* object;
        const char* name;
        std::vector<std::string> want;
    } cases[] = {
        {"/c/Objects/LWO2/sign.lwo", "images/sign/A.jpg",
         {"/c/Objects/LWO2|images/sign/A.jpg", "/c|images/sign/A.jpg", "/c/Objects/LWO2|A.jpg",
          "/c/Objects/LWO2|Images/A.jpg", "/c/Objects|Images/A.jpg", "/c|Images/A.jpg", "/|Images/A.jpg",
          "/c/Objects/LWO2|sign/A.jpg", "/c/Objects|images/sign/A.jpg", "/c/Objects|sign/A.jpg",
          "/c|images/sign/A.jpg", "/c|sign/A.jpg", "/|images/sign/A.jpg", "/|sign/A.jpg", "/t|images/sign/A.jpg",
          "/t|A.jpg", "/t|Images/A.jpg"}},
        {"m.lwo", "C:\\1\\bus.jpg",
         {".|bus.jpg", ".|Images/bus.jpg", "..|Images/bus.jpg", "../..|Images/bus.jpg", "../../..|Images/bus.jpg",
          ".|1/bus.jpg", "..|1/bus.jpg", "../..|1/bus.jpg", "../../..|1/bus.jpg", "/t|bus.jpg", "/t|Images/bus.jpg"}},
        {"a/b.lwo", "Q:x.png",
         {"a|x.png", "a|Images/x.png", ".|Images/x.png", "..|Images/x.png", "../..|Images/x.png", "/t|x.png",
          "/t|Images/x.png"}},
        {"/o.lwo", "../up/x.png",
         {"/|../up/x.png", "/|x.png", "/|Images/x.png", "/t|../up/x.png", "/t|x.png", "/t|Images/x.png"}},
        {"/o.lwo", "C:\\", {}},
    };
    for (const auto& c : cases) {
        Recorder r;
        texture_search::ForEachPlace(c.object, c.name, std::strlen(c.name), caller, 1, &r);
        EXPECT_EQ(r.places, c.want) << c.object << " " << c.name;
    }
    using texture_search::SameNameIgnoringCase;
    EXPECT_TRUE(SameNameIgnoringCase("Earth.JPG", 9, "earth.jpg", 9));
    EXPECT_FALSE(SameNameIgnoringCase("\xC0.png", 5, "\xE0.png", 5));  // no folding beyond ASCII
    EXPECT_FALSE(SameNameIgnoringCase("a[", 2, "A{", 2));
}

TEST(TextureSearch, OnDisk) {
    const fs::path root = fs::temp_directory_path() / ("qavren-textures-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(root);
    const fs::path objects = root / "c/Objects/LWO2";
    auto put = [&](const std::string& path, const char* bytes = "image") {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary) << bytes;
    };
    for (const char* p : {"c/Images/sign/Arrow.jpg", "c/Objects/LWO2/beside.png", "c/Objects/LWO2/Images/inimages.png",
                          "Images/up3.png", "3DS/deep.jpg", "caller/called.png", "c/Objects/LWO2/Images/fifo.png"}) {
        put(p, p);
    }
    fs::create_directories(objects / "dir.png");
#ifndef _WIN32
    // Names that differ only by case, and legacy bytes, exist side by side only where the
    // file system keeps them apart.
    for (const char* p : {"c/IMAGES/up2.png", "c/Objects/LWO2/Twin.png", "c/Objects/LWO2/twin.png",
                          "c/Objects/LWO2/\xC0\xE9.png"}) {
        put(p, p);
    }
    ASSERT_EQ(::mkfifo((objects / "fifo.png").c_str(), 0600), 0);
    put("c/Objects/LWO2/big.png");
    fs::resize_file(objects / "big.png", kMaxImageFileBytes + 1);
#endif
    const std::string object = (objects / "sign.lwo").string(), called = (root / "caller").string();
    const char* folders[] = {called.c_str()};
    const DiskTextures disk(object.c_str(), folders, 1);
    const struct {
        const char* name;
        const char* found;  // below root; "" when nothing is found
    } cases[] = {
        {"images/sign/ARROW.JPG", "c/Images/sign/Arrow.jpg"},
        {"C:\\work\\BESIDE.png", "c/Objects/LWO2/beside.png"},
        {"PC:x/inimages.PNG", "c/Objects/LWO2/Images/inimages.png"},
        {"/u/up3.png", "Images/up3.png"},
        {"C:\\Users\\me\\test\\3ds\\deep.jpg", "3DS/deep.jpg"},
        {"called.png", "caller/called.png"},
        {"D:\\\xE0\xE9.png", ""},
        {"dir.png", ""},
        {"missing.png", ""},
        {"", ""},
        {"\\", ""},
#ifndef _WIN32
        {"Q:up2.png", "c/IMAGES/up2.png"},
        {"twin.png", "c/Objects/LWO2/twin.png"},
        {"TWIN.png", "c/Objects/LWO2/Twin.png"},
        {"D:\\\xC0\xE9.png", "c/Objects/LWO2/\xC0\xE9.png"},
        {"fifo.png", "c/Objects/LWO2/Images/fifo.png"},
        {"big.png", ""},
#endif
    };
    for (const auto& c : cases) {
        ImageBytes bytes;
        const Status st = disk.Find(reinterpret_cast<const uint8_t*>(c.name), static_cast<uint32_t>(std::strlen(c.name)), &bytes);
        if (*c.found == '\0') {
            EXPECT_EQ(st, status::kNoData) << c.name;
            continue;
        }
        ASSERT_EQ(st, status::kOk) << c.name;
        EXPECT_EQ(fs::path(bytes.found()).lexically_relative(root).generic_string(), c.found);
        EXPECT_EQ(std::string(bytes.data(), bytes.data() + bytes.size()), c.found);
    }
    fs::remove_all(root);
}

TEST(TextureSearch, InMemory) {
    const uint8_t a[] = {1}, b[] = {2}, c[] = {3};
    const MemoryTextures::File files[] = {{"Images/Earth.JPG", a, 1}, {"cc0.png", b, 1}, {"x/\xC0.png", c, 1}};
    const MemoryTextures memory(files, 3);
    const struct {
        const char* name;
        int want;  // the byte found, 0 for none
    } cases[] = {{"C:\\a\\earth.jpg", 1}, {"cc0.png", 2}, {"Images/Earth.JPG", 1}, {"x/\xC0.png", 3},
                 {"\xE0.png", 0}, {"none.png", 0}, {"C:", 0}};
    for (const auto& k : cases) {
        ImageBytes bytes;
        const Status st = memory.Find(reinterpret_cast<const uint8_t*>(k.name), static_cast<uint32_t>(std::strlen(k.name)), &bytes);
        EXPECT_EQ(st == status::kOk ? bytes.data()[0] : 0, k.want) << k.name;
    }
    Image image;
    EXPECT_EQ(NoTextures().Load(reinterpret_cast<const uint8_t*>("a.png"), 5, &image), status::kNoData);
}

}  // namespace
}  // namespace qavren
