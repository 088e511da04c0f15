// The built QAVREN.SPI seen from a host: its export table, its imports, the
// calling convention of every export and the answers of the four question
// exports. Runs under Wine from the build directory.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/wine/plugin_under_test.h"
#include "tools/lwogen/lwo_writer.h"

namespace qavren::testing {
namespace {

const PluginUnderTest& Plugin() {
    static PluginUnderTest plugin;
    return plugin;
}

template <typename T>
const T* At(HMODULE m, DWORD rva) {
    return reinterpret_cast<const T*>(reinterpret_cast<const uint8_t*>(m) + rva);
}

const IMAGE_DATA_DIRECTORY& Directory(HMODULE m, int entry) {
    const auto* dos = At<IMAGE_DOS_HEADER>(m, 0);
    const auto* nt = At<IMAGE_NT_HEADERS>(m, static_cast<DWORD>(dos->e_lfanew));
    return nt->OptionalHeader.DataDirectory[entry];
}

TEST(Module, LoadsAndIsA32BitDll) {
    ASSERT_NE(Plugin().module(), nullptr);
    const auto* dos = At<IMAGE_DOS_HEADER>(Plugin().module(), 0);
    const auto* nt = At<IMAGE_NT_HEADERS>(Plugin().module(), static_cast<DWORD>(dos->e_lfanew));
    EXPECT_EQ(nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
}

TEST(Module, ExportsExactlyTheSixPlainNames) {
    HMODULE m = Plugin().module();
    ASSERT_NE(m, nullptr);
    const auto& dir = Directory(m, IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(dir.VirtualAddress, 0u);
    const auto* exports = At<IMAGE_EXPORT_DIRECTORY>(m, dir.VirtualAddress);
    const auto* names = At<DWORD>(m, exports->AddressOfNames);
    std::set<std::string> found;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) found.insert(At<char>(m, names[i]));
    const std::set<std::string> expected = {"ConfigurationDlg", "GetPicture", "GetPictureInfo",
                                            "GetPluginInfo",    "GetPreview", "IsSupported"};
    EXPECT_EQ(found, expected);
    EXPECT_EQ(exports->NumberOfFunctions, 6u);
}

TEST(Module, ImportsOnlyWindowsSystemLibraries) {
    HMODULE m = Plugin().module();
    ASSERT_NE(m, nullptr);
    const auto& dir = Directory(m, IMAGE_DIRECTORY_ENTRY_IMPORT);
    const std::set<std::string> system = {"kernel32.dll", "user32.dll",   "gdi32.dll",  "advapi32.dll",
                                          "shell32.dll",  "msvcrt.dll",   "comctl32.dll"};
    int count = 0;
    for (const auto* d = At<IMAGE_IMPORT_DESCRIPTOR>(m, dir.VirtualAddress); d->Name != 0; ++d, ++count) {
        std::string name = At<char>(m, d->Name);
        std::transform(name.begin(), name.end(), name.begin(), [](char c) { return char(std::tolower(c)); });
        EXPECT_TRUE(system.count(name)) << "imports " << name;
    }
    EXPECT_GT(count, 0);
}

TEST(GetPluginInfo, StringsTruncationAndRefusals) {
    int32_t delta = -1;
    char buf[300];
    std::memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(Plugin().Call("GetPluginInfo", {0, Arg(buf), 256}, &delta), 4);
    EXPECT_EQ(delta, 0);
    EXPECT_STREQ(buf, "00IN");
    for (int i = 4; i < 256; ++i) ASSERT_EQ(buf[i], 0) << i;
    for (int i = 256; i < 300; ++i) ASSERT_EQ(buf[i], 0x5A) << i;

    std::memset(buf, 0x5A, sizeof buf);
    EXPECT_EQ(Plugin().Call("GetPluginInfo", {2, Arg(buf), 3}, &delta), 3);
    EXPECT_EQ(0, std::memcmp(buf, "*.L", 3));
    EXPECT_EQ(buf[3], 0x5A);

    std::memset(buf, 0x5A, sizeof buf);
    for (uint32_t index : {4u, 0xFFFFFFFFu}) {
        EXPECT_EQ(Plugin().Call("GetPluginInfo", {index, Arg(buf), 256}, &delta), 0);
        EXPECT_EQ(delta, 0);
    }
    for (uint32_t length : {0u, 0xFFFFFFFFu, 0x80000000u}) {
        EXPECT_EQ(Plugin().Call("GetPluginInfo", {0, Arg(buf), length}, &delta), 0);
    }
    for (char c : buf) ASSERT_EQ(c, 0x5A);

    std::memset(buf, 0, sizeof buf);
    Plugin().Call("GetPluginInfo", {3, Arg(buf), 256}, &delta);
    EXPECT_STREQ(buf, "LightWave 3D LWOB Format");
}

std::vector<uint8_t> HeadBuffer(const char* form) {
    std::vector<uint8_t> head(2048, 0);
    std::memcpy(head.data(), "FORM\0\0\0\x20", 8);
    std::memcpy(head.data() + 8, form, 4);
    return head;
}

TEST(IsSupported, HeadBuffers) {
    int32_t delta = -1;
    struct Case {
        const char* form;
        int expected;
    } cases[] = {{"LWOB", 1}, {"LWLO", 0}, {"LWO2", 0}, {"lwob", 0}};
    for (const Case& c : cases) {
        auto head = HeadBuffer(c.form);
        EXPECT_EQ(Plugin().Call("IsSupported", {Arg("x.lwo"), Arg(head.data())}, &delta), c.expected) << c.form;
        EXPECT_EQ(delta, 0);
    }
    auto other = HeadBuffer("LWOB");
    std::memcpy(other.data(), "RIFF", 4);
    EXPECT_EQ(Plugin().Call("IsSupported", {Arg("x.lwo"), Arg(other.data())}, &delta), 0);
}

class ObjectFile {
public:
    explicit ObjectFile(const std::vector<uint8_t>& bytes) {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        GetTempFileNameA(dir, "qvn", 0, path_);
        HANDLE h = CreateFileA(path_, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(h);
    }
    ~ObjectFile() { DeleteFileA(path_); }
    const char* path() const { return path_; }

private:
    char path_[MAX_PATH];
};

TEST(IsSupported, FileHandleAtTheStartAndMidFile) {
    ObjectFile file(tools::MakeCube().Build());
    HANDLE h = CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_EQ(reinterpret_cast<uintptr_t>(h) & ~uintptr_t{0xFFFF}, 0u);
    int32_t delta = -1;
    EXPECT_EQ(Plugin().Call("IsSupported", {Arg(file.path()), Arg(h)}, &delta), 1);
    EXPECT_EQ(delta, 0);

    SetFilePointer(h, 4, nullptr, FILE_BEGIN);
    EXPECT_EQ(Plugin().Call("IsSupported", {Arg(file.path()), Arg(h)}, &delta), 0);
    // The handle still belongs to the host: open, and where the read left it.
    EXPECT_NE(GetFileSize(h, nullptr), INVALID_FILE_SIZE);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(IsSupported, BadHandleValuesAnswerZero) {
    int32_t delta = -1;
    EXPECT_EQ(Plugin().Call("IsSupported", {Arg("x"), 0x1234}, &delta), 0);
    EXPECT_EQ(Plugin().Call("IsSupported", {Arg("x"), 0}, &delta), 0);
    EXPECT_EQ(delta, 0);
}

TEST(GetPictureInfo, AnswersTheSizeWithoutTouchingTheFile) {
    int32_t delta = -1;
    uint8_t info[40];
    std::memset(info, 0x5A, sizeof info);
    EXPECT_EQ(Plugin().Call("GetPictureInfo", {Arg("Z:\\no\\such\\file.lwo"), 0, 0, Arg(info)}, &delta), 0);
    EXPECT_EQ(delta, 0);
    int32_t v[4];
    std::memcpy(v, info, sizeof v);
    EXPECT_EQ(v[0], 0);
    EXPECT_EQ(v[1], 0);
    EXPECT_EQ(v[2], 800);
    EXPECT_EQ(v[3], 600);
    uint16_t w[3];
    std::memcpy(w, info + 16, sizeof w);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[1], 0);
    EXPECT_EQ(w[2], 24);
    EXPECT_EQ(0, std::memcmp(info + 22, "\0\0\0\0", 4));
    for (int i = 26; i < 40; ++i) ASSERT_EQ(info[i], 0x5A) << i;

    std::memset(info, 0x5A, sizeof info);
    EXPECT_EQ(Plugin().Call("GetPictureInfo", {Arg("x"), 0, 2, Arg(info)}, &delta), -1);
    for (uint8_t b : info) ASSERT_EQ(b, 0x5A);
    EXPECT_EQ(Plugin().Call("GetPictureInfo", {Arg("x"), 0, 8, Arg(info)}, &delta), 0);
    EXPECT_EQ(Plugin().Call("GetPictureInfo", {Arg("x"), 0, 1, Arg(info)}, &delta), 0);
    EXPECT_EQ(delta, 0);
}

TEST(GetPreview, DeclinesAndTouchesNothing) {
    int32_t delta = -1;
    HLOCAL info = reinterpret_cast<HLOCAL>(0x1111), bits = reinterpret_cast<HLOCAL>(0x2222);
    EXPECT_EQ(Plugin().Call("GetPreview", {Arg("x"), 0, 0, Arg(&info), Arg(&bits), 0, 0}, &delta), -1);
    EXPECT_EQ(delta, 0);
    EXPECT_EQ(info, reinterpret_cast<HLOCAL>(0x1111));
    EXPECT_EQ(bits, reinterpret_cast<HLOCAL>(0x2222));
}

}  // namespace
}  // namespace qavren::testing
