// GetPicture through the built module (QAVREN.SPI, or QAVREN.SPH in the
// 64-bit tree), as a viewer calls it: the blocks it hands over, the registry
// settings it follows, every failure with its code and out-handles, every
// object of the shared corpus, and GetPictureW on a file whose name only
// UTF-16 can carry. Both trees check the same fingerprints, so the two
// modules draw the same pictures byte for byte.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/golden/golden_list.h"
#include "tests/unit/test_files.h"
#include "tests/wine/plugin_under_test.h"
#include "tests/wine/registry_fixture.h"
#include "tools/lwogen/hostile.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren::testing {
namespace {

using Bytes = std::vector<uint8_t>;
HLOCAL const kUntouched = reinterpret_cast<HLOCAL>(0x4321);

const PluginUnderTest& Plugin() {
    static PluginUnderTest plugin;
    return plugin;
}

struct Result {
    int32_t code = 0;
    HLOCAL info = kUntouched;
    HLOCAL bits = kUntouched;
    int32_t stack_delta = -1;
};

// `length` is the host's LONG_PTR: a file offset or an image's size.
Result GetPicture(const void* buffer, LONG_PTR length, uint32_t flag, const char* name = "GetPicture") {
    Result r;
    r.code = Plugin().Call(name, {Arg(buffer), length, flag, Arg(&r.info), Arg(&r.bits), 0, 0}, &r.stack_delta);
    return r;
}

Result FromMemory(const Bytes& bytes) { return GetPicture(bytes.data(), int32_t(bytes.size()), 1); }

// The picture's header and pixels, freed.
struct Picture {
    explicit Picture(const Result& r) {
        EXPECT_EQ(r.code, 0);
        if (r.code != 0) return;
        std::memcpy(&header, r.info, sizeof header);
        const auto* p = static_cast<const uint8_t*>(r.bits);
        pixels.assign(p, p + LocalSize(r.bits));
        LocalFree(r.info);
        LocalFree(r.bits);
    }
    BITMAPINFOHEADER header{};
    Bytes pixels;
};

class GetPictureTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }
    const Bytes cube_ = tools::MakeCube().Build();
};

TEST_F(GetPictureTest, HandsOverTwoFixedUnlockedExactlySizedBlocks) {
    const Result r = FromMemory(cube_);
    ASSERT_EQ(r.code, 0);
    EXPECT_CALLEE_POPPED(r.stack_delta);
    EXPECT_EQ(LocalSize(r.info), 40u);
    EXPECT_EQ(LocalSize(r.bits), 1440000u);
    for (HLOCAL h : {r.info, r.bits}) {
        EXPECT_EQ(LocalFlags(h) & LMEM_LOCKCOUNT, 0u);
        EXPECT_EQ(LocalLock(h), h);  // the handle is the pointer
        LocalUnlock(h);
    }
    const auto* header = static_cast<const BITMAPINFOHEADER*>(r.info);
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biWidth, 800);
    EXPECT_EQ(header->biHeight, 600);
    EXPECT_EQ(header->biPlanes, 1);
    EXPECT_EQ(header->biBitCount, 24);
    EXPECT_EQ(header->biCompression, DWORD(BI_RGB));
    EXPECT_EQ(header->biSizeImage, 1440000u);
    EXPECT_EQ(LocalFree(r.info), nullptr);
    EXPECT_EQ(LocalFree(r.bits), nullptr);
}

TEST_F(GetPictureTest, FileWithOffsetEqualsMemoryImage) {
    Bytes padded = cube_;
    padded.insert(padded.begin(), 100, 'x');
    TempFile plain(cube_), offset(padded);
    const Picture from_memory(FromMemory(cube_));
    const Picture from_file(GetPicture(plain.path(), 0, 0));
    const Picture from_offset(GetPicture(offset.path(), 100, 0));
    const Picture flag_8(GetPicture(plain.path(), 0, 8));
    EXPECT_EQ(from_memory.pixels, from_file.pixels);
    EXPECT_EQ(from_memory.pixels, from_offset.pixels);
    EXPECT_EQ(from_memory.pixels, flag_8.pixels);
}

TEST_F(GetPictureTest, RegistrySizeAndModeGovernTheNextPicture) {
    uint8_t info[kPictureInfoSize];
    const Picture defaults(FromMemory(cube_));  // loads the empty registry
    SetDword("Width", 1024);
    SetDword("Height", 100);
    // Asked first, the answer is already the size the picture gets.
    for (const char* name : {"GetPictureInfo", "GetPictureInfoW"}) {
        int32_t delta;
        EXPECT_EQ(Plugin().Call(name, {Arg(cube_.data()), LONG_PTR(cube_.size()), 1, Arg(info)}, &delta), 0);
        int32_t size[2];
        std::memcpy(size, info + 8, sizeof size);
        EXPECT_EQ(size[0], 1024) << name;
        EXPECT_EQ(size[1], 100) << name;
    }
    const Picture sized(FromMemory(cube_));
    EXPECT_EQ(sized.header.biWidth, 1024);
    EXPECT_EQ(sized.header.biHeight, 100);
    EXPECT_EQ(sized.pixels.size(), 3072u * 100);

    ClearSettings();
    const Picture wire(FromMemory(cube_));
    SetDword("Type", 1);
    const Picture poly(FromMemory(cube_));
    SetDword("Type", 5);
    const Picture five(FromMemory(cube_));
    EXPECT_NE(wire.pixels, poly.pixels);
    EXPECT_EQ(poly.pixels, five.pixels);
}

TEST_F(GetPictureTest, OddValuesInTheRegistry) {
    const uint64_t eight_bytes = 100;
    SetValue("Height", REG_QWORD, &eight_bytes, 8);
    EXPECT_EQ(Picture(FromMemory(cube_)).header.biHeight, 600);
    // A 4-byte value of another type is taken whole.
    const uint32_t binary = 123;
    SetValue("Height", REG_BINARY, &binary, 4);
    EXPECT_EQ(Picture(FromMemory(cube_)).header.biHeight, 123);
    // A 2-byte value lands on the default's leading bytes: 600 = 0x258.
    const uint16_t two_bytes = 0x0010;
    SetValue("Height", REG_BINARY, &two_bytes, 2);
    EXPECT_EQ(Picture(FromMemory(cube_)).header.biHeight, 0x0010);
}

TEST_F(GetPictureTest, HostileSizesAreRefusedWithNullHandles) {
    const int32_t sizes[][2] = {{0, 600},         {-1, 600},      {800, 0},          {65536, 65536},
                                {100000, 100000}, {-1, -1},       {0x55555556, 1},   {1, (1 << 28) + 1}};
    for (const auto& s : sizes) {
        SetDword("Width", uint32_t(s[0]));
        SetDword("Height", uint32_t(s[1]));
        const Result r = FromMemory(cube_);
        EXPECT_EQ(r.code, 4) << s[0] << "x" << s[1];
        uint8_t info[kPictureInfoSize];
        int32_t delta;
        EXPECT_EQ(Plugin().Call("GetPictureInfo", {Arg(cube_.data()), LONG_PTR(cube_.size()), 1, Arg(info)}, &delta), 4);
        EXPECT_EQ(r.info, nullptr);
        EXPECT_EQ(r.bits, nullptr);
    }
    SetDword("Width", 1);
    SetDword("Height", 1);
    EXPECT_EQ(Picture(FromMemory(cube_)).pixels.size(), 4u);
}

// Each input through GetPicture and GetPictureInfo, 8-bit and wide: the
// picture's code and handles, and GetPictureInfo's answer, which is the
// same code for everything refused at the header and 0 (with the record
// written) for what fails only while drawing.
TEST_F(GetPictureTest, EveryFailureWithItsCodeAndHandles) {
    Bytes no_pnts = {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'L', 'W', 'O', 'B'};
    tools::LwoWriter bad;
    bad.AddPoint(0, 0, 0);
    bad.AddPolygon(std::vector<uint16_t>(201, 0));
    const Bytes short_image = {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'L', 'W', 'O'};
    const tools::LwoWriter cube = tools::MakeCube();
    const Bytes lwlo = cube.Build("LWLO"), lwo2 = cube.Build("LWO2"), text(64, 'x'), bad_bytes = bad.Build();
    TempFile cube_file(cube_), lwo2_file(lwo2), lwlo_file(lwlo), empty_file({}), text_file(text);
    const wchar_t* const missing_wide = L"Z:\\no\\such\\object.lwo";
    struct Case {
        const char* what;
        const void* buffer;
        LONG_PTR length;
        uint32_t flag;
        bool wide;
        int32_t code;
        bool nulled;  // refused while drawing: handles nulled, GetPictureInfo 0
    };
    const Case cases[] = {
        {"flag 2", cube_.data(), LONG_PTR(cube_.size()), 2, false, -1, false},
        {"flag 7", cube_.data(), LONG_PTR(cube_.size()), 7, true, -1, false},
        {"missing file", "Z:\\no\\such\\object.lwo", 0, 0, false, 6, false},
        {"missing file, wide", missing_wide, 0, 0, true, 6, false},
        {"offset at the end", cube_file.path(), LONG_PTR(cube_.size()), 0, false, 6, false},
        {"empty file", empty_file.path(), 0, 0, false, 6, false},
        {"text file", text_file.path(), 0, 0, false, 3, false},
        {"LWO2 file", lwo2_file.path(), 0, 0, false, 2, false},
        {"LWLO file", lwlo_file.path(), 0, 0, false, 2, false},
        {"short memory image", short_image.data(), LONG_PTR(short_image.size()), 1, false, 3, false},
        {"not FORM", text.data(), LONG_PTR(text.size()), 1, true, 3, false},
        {"LWLO", lwlo.data(), LONG_PTR(lwlo.size()), 1, false, 2, false},
        {"LWO2", lwo2.data(), LONG_PTR(lwo2.size()), 1, true, 2, false},
        {"empty memory image", cube_.data(), 0, 1, false, 3, false},
        {"negative memory length", cube_.data(), -1, 1, false, 5, false},
        {"no file name", nullptr, 0, 0, false, 6, false},
        {"no file name, wide", nullptr, 0, 0, true, 6, false},
        {"no memory image", nullptr, 64, 1, false, 5, false},
        {"no PNTS or POLS", no_pnts.data(), LONG_PTR(no_pnts.size()), 1, false, 3, true},
        {"201 vertices", bad_bytes.data(), LONG_PTR(bad_bytes.size()), 1, true, 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result r = GetPicture(c.buffer, c.length, c.flag, c.wide ? "GetPictureW" : "GetPicture");
        EXPECT_EQ(r.code, c.code);
        EXPECT_CALLEE_POPPED(r.stack_delta);
        HLOCAL expected = c.nulled ? nullptr : kUntouched;
        EXPECT_EQ(r.info, expected);
        EXPECT_EQ(r.bits, expected);

        uint8_t info[kPictureInfoSize + 4];
        std::memset(info, 0x5A, sizeof info);
        int32_t delta = -1;
        const int32_t code = Plugin().Call(c.wide ? "GetPictureInfoW" : "GetPictureInfo",
                                           {Arg(c.buffer), c.length, c.flag, Arg(info)}, &delta);
        EXPECT_CALLEE_POPPED(delta);
        EXPECT_EQ(code, c.nulled ? 0 : c.code);
        int32_t width;
        std::memcpy(&width, info + 8, 4);
        EXPECT_EQ(width, c.nulled ? 800 : 0x5A5A5A5A);
        EXPECT_EQ(info[kPictureInfoSize], 0x5A);
    }
}

// GetPictureInfo reads the header and nothing more: a file of 4 GiB and 12
// bytes (sparse) that starts as an LWOB form is answered at once, while
// GetPicture, which reads whole files, refuses it as more than an object
// may hold.
TEST_F(GetPictureTest, GetPictureInfoReadsOnlyTheHeader) {
    TempFile file(Bytes(cube_.begin(), cube_.begin() + 12));
    HANDLE h = CreateFileA(file.path(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG{1} << 32) + 12;
    const bool grown = SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    ASSERT_TRUE(grown);
    uint8_t info[kPictureInfoSize];
    int32_t delta = -1;
    EXPECT_EQ(Plugin().Call("GetPictureInfo", {Arg(file.path()), 0, 0, Arg(info)}, &delta), 0);
    EXPECT_EQ(GetPicture(file.path(), 0, 0).code, 4);
}

TEST_F(GetPictureTest, ANullProgressIsNeverCalledAndAnyIsIgnored) {
    Result r;
    r.code = Plugin().Call("GetPicture", {Arg(cube_.data()), uint32_t(cube_.size()), 1, Arg(&r.info), Arg(&r.bits),
                                          0xDEAD0000u, 7},
                           &r.stack_delta);
    EXPECT_EQ(Picture(r).pixels.size(), 1440000u);
}

// A 64-bit host's lengths are 64 bits wide: none is cut to its low 32 bits.
// An image beyond 32 bits is more than an object may be; an offset beyond
// 32 bits or a negative one is past what the loader can reach.
TEST_F(GetPictureTest, LengthsBeyond32BitsAreNotTruncated) {
    if (sizeof(LONG_PTR) < 8) GTEST_SKIP() << "LONG_PTR is 32 bits in this module";
    TempFile cube_file(cube_);
    const LONG_PTR four_gib = LONG_PTR{1} << 31 << 1;
    const Result image = GetPicture(cube_.data(), four_gib + LONG_PTR(cube_.size()), 1);
    EXPECT_EQ(image.code, 4);
    const Result offset = GetPicture(cube_file.path(), four_gib, 0);
    EXPECT_EQ(offset.code, 6);
    const Result negative = GetPicture(cube_file.path(), -four_gib, 0);
    EXPECT_EQ(negative.code, 6);
    for (const Result* r : {&image, &offset, &negative}) {
        EXPECT_EQ(r->info, kUntouched);
        EXPECT_EQ(r->bits, kUntouched);
    }
}

// A folder and a file with Japanese names, made through the wide calls and
// removed again: what a host on a Western system cannot pass in 8 bits.
class JapaneseNamedFile {
public:
    explicit JapaneseNamedFile(const Bytes& bytes) {
        wchar_t temp[MAX_PATH];
        const DWORD n = GetTempPathW(MAX_PATH, temp);
        static int serial = 0;
        dir_ = std::wstring(temp, n) + L"オブジェクト" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(serial++);
        path_ = dir_ + L"\\立方体.lwo";
        if (!CreateDirectoryW(dir_.c_str(), nullptr)) return;
        HANDLE h = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return;
        DWORD written = 0;
        ok_ = WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
        CloseHandle(h);
    }
    ~JapaneseNamedFile() {
        DeleteFileW(path_.c_str());
        RemoveDirectoryW(dir_.c_str());
    }
    JapaneseNamedFile(const JapaneseNamedFile&) = delete;
    JapaneseNamedFile& operator=(const JapaneseNamedFile&) = delete;
    bool ok() const { return ok_; }
    const wchar_t* path() const { return path_.c_str(); }

private:
    std::wstring dir_, path_;
    bool ok_ = false;
};

TEST_F(GetPictureTest, WideEntryPointsOpenAJapanesePath) {
    Bytes padded = cube_;
    padded.insert(padded.begin(), 100, 'x');
    JapaneseNamedFile file(cube_), offset_file(padded);
    ASSERT_TRUE(file.ok() && offset_file.ok()) << "cannot make the files (Wine maps such names only in a UTF-8 locale)";
    const Picture from_memory(FromMemory(cube_));

    const Result r = GetPicture(file.path(), 0, 0, "GetPictureW");
    EXPECT_CALLEE_POPPED(r.stack_delta);
    EXPECT_EQ(Picture(r).pixels, from_memory.pixels);
    EXPECT_EQ(Picture(GetPicture(file.path(), 0, 8, "GetPictureW")).pixels, from_memory.pixels);
    // In memory mode the first argument is the object's bytes, wide name or not.
    EXPECT_EQ(Picture(GetPicture(cube_.data(), LONG_PTR(cube_.size()), 1, "GetPictureW")).pixels, from_memory.pixels);
    const Result missing = GetPicture(L"Z:\\無い\\立方体.lwo", 0, 0, "GetPictureW");
    EXPECT_EQ(missing.code, 6);
    EXPECT_EQ(missing.info, kUntouched);

    // The 8-bit export gets what the system code page makes of the name: on a
    // Japanese system the same file, elsewhere a name with "?" in it.
    BOOL lossy = FALSE;
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(CP_ACP, 0, file.path(), -1, narrow, sizeof narrow, nullptr, &lossy);
    const Result through_8_bits = GetPicture(narrow, 0, 0);
    if (lossy) {
        EXPECT_EQ(through_8_bits.code, 6) << "code page " << GetACP();
    } else {
        EXPECT_EQ(Picture(through_8_bits).pixels, from_memory.pixels) << "code page " << GetACP();
    }

    int32_t delta = -1;
    HANDLE h = CreateFileW(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Plugin().Call("IsSupportedW", {file.path(), h}, &delta), 1);
    EXPECT_CALLEE_POPPED(delta);
    CloseHandle(h);
    uint8_t info[kPictureInfoSize];
    EXPECT_EQ(Plugin().Call("GetPictureInfoW", {file.path(), 0, 0, Arg(info)}, &delta), 0);
    int32_t width;
    std::memcpy(&width, info + 8, 4);
    EXPECT_EQ(width, 800);
    HLOCAL untouched = kUntouched;
    EXPECT_EQ(Plugin().Call("GetPreviewW", {file.path(), 0, 0, Arg(&untouched), Arg(&untouched), 0, 0}, &delta), -1);
    EXPECT_EQ(untouched, kUntouched);

    // Through the host's own declaration, with an offset into the file.
    HLOCAL info_block = nullptr, bits = nullptr;
    const auto get = Plugin().Function<host::GetPictureW>("GetPictureW");
    ASSERT_EQ(get(offset_file.path(), 100, 0, &info_block, &bits, nullptr, 0), 0);
    Result typed;
    typed.info = info_block;
    typed.bits = bits;
    EXPECT_EQ(Picture(typed).pixels, from_memory.pixels);
}

// The DLL's pictures match the fingerprints that the native core gives for
// the same objects and settings: the bundled samples, and every object of
// the corpus when it stands beside the checkout.
int CheckGoldenList(const std::string& list_name, uint32_t shaded = 0) {
    int checked = 0;
    for (const GoldenPicture& g : ReadGoldenList(list_name)) {
        SetDword("Shaded", shaded);
        SetDword("Type", uint32_t(g.mode));
        SetDword("Width", uint32_t(g.width));
        SetDword("Height", uint32_t(g.height));
        SetDword("View", g.turned ? 1 : 0);
        SetDword("Angle X", uint32_t(g.angles[0]));
        SetDword("Angle Y", uint32_t(g.angles[1]));
        SetDword("Angle Z", uint32_t(g.angles[2]));
        EXPECT_EQ(Fingerprint(Picture(FromMemory(ReadFile(g.object))).pixels), g.fingerprint) << g.line;
        ++checked;
    }
    return checked;
}

TEST_F(GetPictureTest, SamplesMatchTheNativePictures) { EXPECT_GT(CheckGoldenList("pictures.txt"), 0); }

TEST_F(GetPictureTest, CorpusMatchesTheNativePictures) {
    if (!std::filesystem::exists(CorpusDir())) GTEST_SKIP() << "no corpus beside the checkout";
    EXPECT_GT(CheckGoldenList("corpus.txt"), 30);
}

// The newer forms are refused as an unknown format unless Forms is 1 (0,
// absent or any other value: the described plug-in); with 1 each is drawn
// exactly as the LWOB object of the same points and polygons, through
// GetPicture and GetPictureW, from memory and from a file.
TEST_F(GetPictureTest, FormsOneOpensTheNewerFormsAndNothingElseDoes) {
    const Picture lwob(FromMemory(cube_));
    for (const char* form : {"LWO2", "LWO3", "LWLO"}) {
        SCOPED_TRACE(form);
        const Bytes object = tools::LayeredWriter::From(tools::MakeCube(), form).Build();
        TempFile file(object);
        for (int64_t forms : {-1, 0, 2, 0x101, 1}) {
            ClearSettings();
            if (forms >= 0) SetDword("Forms", uint32_t(forms));
            const int32_t expected = forms == 1 ? 0 : 2;
            for (const char* name : {"GetPicture", "GetPictureW"}) {
                Result r = GetPicture(object.data(), LONG_PTR(object.size()), 1, name);
                EXPECT_EQ(r.code, expected) << name << " Forms " << forms;
                if (r.code == 0) {
                    EXPECT_EQ(Picture(r).pixels, lwob.pixels) << name;
                }
            }
            Result r = GetPicture(file.path(), 0, 0);
            EXPECT_EQ(r.code, expected) << "file, Forms " << forms;
            if (r.code == 0) {
                EXPECT_EQ(Picture(r).pixels, lwob.pixels);
            }
        }
    }
}

// View 1 turns the model by the stored angles, in both modes, through
// GetPicture and GetPictureW, from memory and from a file: the heading of
// 90° draws the object whose points are (z, y, -x). Absent, 0 or any other
// value keeps the front view with the angles unused.
TEST_F(GetPictureTest, ViewOneTurnsTheModelAndNothingElseDoes) {
    const float points[][3] = {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {0, 0, 3}, {1, 1, 1}};
    tools::LwoWriter plain, turned;
    for (const auto& q : points) {
        plain.AddPoint(q[0], q[1], q[2]);
        turned.AddPoint(q[2], q[1], -q[0]);
    }
    for (tools::LwoWriter* w : {&plain, &turned}) {
        for (const std::vector<uint16_t>& polygon : {std::vector<uint16_t>{0, 1, 2}, {0, 2, 3}, {0, 3, 1}, {1, 2, 4}}) {
            w->AddPolygon(polygon);
        }
    }
    const Bytes object = plain.Build();
    TempFile file(object);
    for (uint32_t mode : {0u, 1u}) {
        SetDword("Type", mode);
        const Picture front(FromMemory(object));
        const Picture side(FromMemory(turned.Build()));
        ASSERT_NE(front.pixels, side.pixels);
        SetDword("Angle Y", 90 + 360 * 3);
        SetDword("Angle X", 0);
        SetDword("Angle Z", uint32_t(-720));
        for (int64_t view : {-1, 0, 2, 0x101, 1}) {
            if (view >= 0) SetDword("View", uint32_t(view));
            const Bytes& expected = view == 1 ? side.pixels : front.pixels;
            for (const char* name : {"GetPicture", "GetPictureW"}) {
                EXPECT_EQ(Picture(GetPicture(object.data(), LONG_PTR(object.size()), 1, name)).pixels, expected)
                    << name << " View " << view << " mode " << mode;
            }
            EXPECT_EQ(Picture(GetPicture(file.path(), 0, 0)).pixels, expected) << "file, View " << view;
        }
        ClearSettings();
    }
}

// Shaded 1 draws the polygon style shaded over the described backdrop, in
// both modules, through GetPicture and GetPictureW, from memory and from a
// file; absent, 0 or any other value keeps the described polygons; the
// wireframe is the same whatever it holds.
TEST_F(GetPictureTest, ShadedOneShadesThePolygonsAndNothingElse) {
    TempFile file(cube_);
    SetDword("Type", 0);
    const Picture wireframe(FromMemory(cube_));
    SetDword("Type", 1);
    const Picture polygons(FromMemory(cube_));
    SetDword("Shaded", 1);
    const Picture shaded(FromMemory(cube_));
    ASSERT_NE(shaded.pixels, polygons.pixels);
    for (uint32_t mode : {0u, 1u, 7u}) {
        SetDword("Type", mode);
        for (int64_t value : {-1, 0, 2, 0x101, 1}) {
            ClearValue("Shaded");
            if (value >= 0) SetDword("Shaded", uint32_t(value));
            const Bytes& expected = mode == 0 ? wireframe.pixels : value == 1 ? shaded.pixels : polygons.pixels;
            for (const char* name : {"GetPicture", "GetPictureW"}) {
                EXPECT_EQ(Picture(GetPicture(cube_.data(), LONG_PTR(cube_.size()), 1, name)).pixels, expected)
                    << name << " Shaded " << value << " Type " << mode;
            }
            EXPECT_EQ(Picture(GetPicture(file.path(), 0, 0)).pixels, expected) << "file, Shaded " << value;
        }
    }
}

TEST_F(GetPictureTest, ShadedSamplesMatchTheNativePictures) { EXPECT_EQ(CheckGoldenList("shaded.txt", 1), 6); }

// Both corpora, both views, with Shaded = 1 (and Forms = 1 for the newer forms).
TEST_F(GetPictureTest, ShadedCorpusMatchesTheNativePictures) {
    if (!std::filesystem::exists(CorpusDir())) GTEST_SKIP() << "no corpus beside the checkout";
    SetDword("Forms", 1);
    EXPECT_GT(CheckGoldenList("shaded_corpus.txt", 1), 140);
}

// A textured object by its file name (GetPicture; GetPictureW also below a folder only UTF-16
// names) with Shaded = 1 is `qavren render --shaded` of it; with Textures = 0, or from memory,
// `--no-textures`: textured_test.sh renders them into QAVREN_TEXTURED_BMP_DIR.
TEST_F(GetPictureTest, TexturedObjectsByFileNameMatchTheNativeCommand) {
    const char* pictures = std::getenv("QAVREN_TEXTURED_BMP_DIR");
    if (!pictures) GTEST_SKIP() << "textured_test.sh runs this with the native command's pictures";
    const std::filesystem::path corpus = std::filesystem::path(QAVREN_SOURCE_DIR) / ".." / "shared" / "corpus" / "textured";
    for (const auto& [name, value] : {std::pair<const char*, uint32_t>{"Forms", 1}, {"Type", 1}, {"Shaded", 1},
                                      {"Width", 96}, {"Height", 72}}) SetDword(name, value);
    int checked = 0;
    for (const auto& f : ManifestRows(corpus)) {
        SCOPED_TRACE(f[0]);
        const std::string object = (corpus / f[0] / f[5]).string(), bmp = f[0] + "/" + f[5].substr(0, f[5].size() - 4);
        const Bytes on = ReadFile(pictures + ("/on/" + bmp + ".bmp")), off = ReadFile(pictures + ("/off/" + bmp + ".bmp"));
        if (on.size() <= 54 || off.size() <= 54) continue;
        std::wstring wide = (std::filesystem::path(pictures) / L"wide-\u65e5\u672c" / f[5]).wstring();
        if (!std::filesystem::exists(wide)) wide = std::filesystem::path(object).wstring();
        for (int64_t value : {-1, 0, 2}) {
            ClearValue("Textures");
            if (value >= 0) SetDword("Textures", uint32_t(value));
            const Bytes expected((value == 0 ? off : on).begin() + 54, (value == 0 ? off : on).end());
            EXPECT_EQ(Picture(GetPicture(object.c_str(), 0, 0)).pixels, expected) << "Textures " << value;
            EXPECT_EQ(Picture(GetPicture(wide.c_str(), 0, 0, "GetPictureW")).pixels, expected) << "W " << value;
        }
        EXPECT_EQ(Picture(FromMemory(ReadFile(object))).pixels, Bytes(off.begin() + 54, off.end())) << "memory";
        ++checked;
    }
    EXPECT_GE(checked, 30);
}

// Objects of the newer forms, sound and bent (4-byte indices past the
// points, 1023-vertex polygons, a million one-vertex polygons, layers
// without points, 3 GB chunk lengths), with Forms = 1: each its code.
TEST_F(GetPictureTest, BentObjectsOfTheNewerFormsGiveTheirCodes) {
    SetDword("Forms", 1);
    SetDword("Width", 64);
    SetDword("Height", 48);
    for (const tools::LayeredCase& c : tools::LayeredObjects()) {
        for (uint32_t mode : {0u, 1u}) {
            SetDword("Type", mode);
            Result r = FromMemory(c.bytes);
            EXPECT_EQ(r.code, c.code) << c.name << " mode " << mode;
            if (r.code == 0) {
                LocalFree(r.info);
                LocalFree(r.bits);
            } else {
                EXPECT_EQ(r.info, nullptr) << c.name;
            }
        }
    }
}

// View = 1 with the angles in the registry: the turned pictures of the
// native core and of qavren --angles.
TEST_F(GetPictureTest, TurnedPicturesMatchTheNativePictures) {
    if (!std::filesystem::exists(CorpusDir())) GTEST_SKIP() << "no corpus beside the checkout";
    SetDword("Forms", 1);
    EXPECT_GT(CheckGoldenList("views.txt"), 0);
}

TEST_F(GetPictureTest, NewerFormsCorpusMatchesTheNativePictures) {
    if (!std::filesystem::exists(CorpusDir())) GTEST_SKIP() << "no corpus beside the checkout";
    SetDword("Forms", 1);
    EXPECT_EQ(CheckGoldenList("corpus_lwo2.txt"), 80);
}

TEST_F(GetPictureTest, EveryCorpusObjectRendersInBothModes) {
    namespace fs = std::filesystem;
    if (!fs::exists(CorpusDir())) GTEST_SKIP() << "no corpus beside the checkout";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(CorpusDir())) {
        if (entry.path().extension() != ".lwo") continue;
        const std::string name = entry.path().filename().string();
        const bool refused = name.rfind("neg_", 0) == 0;
        for (uint32_t mode : {0u, 1u}) {
            SetDword("Type", mode);
            const std::string path = entry.path().string();
            Result r = GetPicture(path.c_str(), 0, 0);
            EXPECT_EQ(r.code, refused ? 2 : 0) << name << " mode " << mode;
            if (r.code == 0) {
                LocalFree(r.info);
                LocalFree(r.bits);
            }
        }
        ++files;
    }
    EXPECT_GT(files, 30);
}

}  // namespace
}  // namespace qavren::testing
