// The built module (QAVREN.SPI, or QAVREN.SPH in the 64-bit tree) seen from
// a host: its export table, its imports, the calling convention of every
// export and the answers of the question exports, 8-bit and wide. Runs
// under Wine from the build directory.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plugin/version.h"
#include "tests/wine/plugin_under_test.h"
#include "tests/wine/registry_fixture.h"
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

TEST(Module, LoadsAndIsADllOfTheHostsArchitecture) {
    ASSERT_NE(Plugin().module(), nullptr);
    const auto* dos = At<IMAGE_DOS_HEADER>(Plugin().module(), 0);
    const auto* nt = At<IMAGE_NT_HEADERS>(Plugin().module(), static_cast<DWORD>(dos->e_lfanew));
    EXPECT_EQ(nt->FileHeader.Machine, sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    const auto& dir = Directory(Plugin().module(), IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(dir.VirtualAddress, 0u);
    EXPECT_STREQ(At<char>(Plugin().module(), At<IMAGE_EXPORT_DIRECTORY>(Plugin().module(), dir.VirtualAddress)->Name),
                 kModuleFile);
}

// What Explorer's Details tab reads from the file: the one version the
// About dialog shows, and the notice and maker of the build.
TEST(Module, CarriesItsVersionResource) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(kModuleFile, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<uint8_t> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(kModuleFile, 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 10u);  // 0.10
    EXPECT_EQ(fixed->dwFileVersionLS, 1u);   // the letter a
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));
    const std::string width = sizeof(void*) == 8 ? "(64-bit)" : "(32-bit)";
    const std::pair<const char*, std::string> strings[] = {
        {"FileVersion", "0.10a"},
        {"ProductVersion", "0.10a"},
        {"ProductName", "QAVREN"},
        {"CompanyName", QAVREN_MAKER},
        {"LegalCopyright", QAVREN_NOTICE},
        {"OriginalFilename", kModuleFile},
        {"FileDescription", "Susie plug-in for LightWave 3D LWOB objects " + width},
    };
    for (const auto& [name, expected] : strings) {
        char* text = nullptr;
        const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&text), &length)) << name;
        EXPECT_EQ(std::string(text), expected) << name;
    }
}

TEST(Module, ExportsExactlyTheElevenPlainNames) {
    HMODULE m = Plugin().module();
    ASSERT_NE(m, nullptr);
    const auto& dir = Directory(m, IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(dir.VirtualAddress, 0u);
    const auto* exports = At<IMAGE_EXPORT_DIRECTORY>(m, dir.VirtualAddress);
    const auto* names = At<DWORD>(m, exports->AddressOfNames);
    std::set<std::string> found;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) found.insert(At<char>(m, names[i]));
    const std::set<std::string> expected = {"ConfigurationDlg", "GetPicture",    "GetPictureInfo",  "GetPluginInfo",
                                            "GetPreview",       "IsSupported",   "GetPictureW",     "GetPictureInfoW",
                                            "GetPluginInfoW",   "GetPreviewW",   "IsSupportedW"};
    EXPECT_EQ(found, expected);
    EXPECT_EQ(exports->NumberOfFunctions, 11u);
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
    EXPECT_CALLEE_POPPED(delta);
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
        EXPECT_CALLEE_POPPED(delta);
    }
    for (uint32_t length : {0u, 0xFFFFFFFFu, 0x80000000u}) {
        EXPECT_EQ(Plugin().Call("GetPluginInfo", {0, Arg(buf), length}, &delta), 0);
    }
    for (const char* name : {"GetPluginInfo", "GetPluginInfoW"}) {  // no buffer: nothing to copy into
        EXPECT_EQ(Plugin().Call(name, {1, 0, 256}, &delta), 0) << name;
    }
    for (char c : buf) ASSERT_EQ(c, 0x5A);

    std::memset(buf, 0, sizeof buf);
    Plugin().Call("GetPluginInfo", {3, Arg(buf), 256}, &delta);
    EXPECT_STREQ(buf, "LightWave 3D LWOB Format");
}

// The length counts wide characters: the same rules, two bytes a character.
TEST(GetPluginInfoW, StringsTruncationAndRefusalsInWideCharacters) {
    const wchar_t kFill = 0x5A5A;
    int32_t delta = -1;
    wchar_t buf[300];
    std::fill(std::begin(buf), std::end(buf), kFill);
    EXPECT_EQ(Plugin().Call("GetPluginInfoW", {0, Arg(buf), 256}, &delta), 4);
    EXPECT_CALLEE_POPPED(delta);
    EXPECT_STREQ(buf, L"00IN");
    for (int i = 4; i < 256; ++i) ASSERT_EQ(buf[i], 0) << i;
    for (int i = 256; i < 300; ++i) ASSERT_EQ(buf[i], kFill) << i;

    std::fill(std::begin(buf), std::end(buf), kFill);
    EXPECT_EQ(Plugin().Call("GetPluginInfoW", {2, Arg(buf), 3}, &delta), 3);
    EXPECT_EQ(0, std::wmemcmp(buf, L"*.L", 3));
    EXPECT_EQ(buf[3], kFill);
    // Exactly the string's length: no terminator fits.
    EXPECT_EQ(Plugin().Call("GetPluginInfoW", {2, Arg(buf), 5}, &delta), 5);
    EXPECT_EQ(0, std::wmemcmp(buf, L"*.LWO", 5));
    EXPECT_EQ(buf[5], kFill);

    std::fill(std::begin(buf), std::end(buf), kFill);
    for (int index : {4, -1}) EXPECT_EQ(Plugin().Call("GetPluginInfoW", {index, Arg(buf), 256}, &delta), 0);
    for (int length : {0, -1, INT32_MIN}) EXPECT_EQ(Plugin().Call("GetPluginInfoW", {0, Arg(buf), length}, &delta), 0);
    for (wchar_t c : buf) ASSERT_EQ(c, kFill);

    // The same texts as the 8-bit export, character for character.
    for (int index = 0; index < 4; ++index) {
        char narrow[256] = {};
        wchar_t wide[256] = {};
        const int n = Plugin().Call("GetPluginInfo", {index, Arg(narrow), 255}, &delta);
        EXPECT_EQ(Plugin().Call("GetPluginInfoW", {index, Arg(wide), 255}, &delta), n);
        EXPECT_EQ(std::wstring(wide), std::wstring(narrow, narrow + n)) << index;
    }
}

std::vector<uint8_t> HeadBuffer(const char* form) {
    std::vector<uint8_t> head(2048, 0);
    std::memcpy(head.data(), "FORM\0\0\0\x20", 8);
    std::memcpy(head.data() + 8, form, 4);
    return head;
}

// The answers with the Forms value absent, 0, 1 and another value: the
// newer forms are supported, and their size told by GetPictureInfo, only
// with 1; otherwise GetPictureInfo gives the unknown format's code, as
// GetPicture does. IsSupported's reading of the value creates no key.
TEST(IsSupported, HeadBuffers) {
    int32_t delta = -1;
    struct Case {
        const char* form;
        int expected;     // Forms absent, 0 or another value
        int with_forms;   // Forms = 1
    } cases[] = {{"LWOB", 1, 1}, {"LWLO", 0, 1}, {"LWO2", 0, 1}, {"LWO3", 0, 1}, {"LWO4", 0, 0}, {"lwob", 0, 0}};
    for (int64_t forms : {-1, 0, 1, 3}) {
        ClearSettings();
        if (forms >= 0) SetDword("Forms", uint32_t(forms));
        for (const Case& c : cases) {
            const int expected = forms == 1 ? c.with_forms : c.expected;
            auto head = HeadBuffer(c.form);
            EXPECT_EQ(Plugin().Call("IsSupported", {Arg("x.lwo"), Arg(head.data())}, &delta), expected)
                << c.form << " Forms " << forms;
            EXPECT_CALLEE_POPPED(delta);
            EXPECT_EQ(Plugin().Call("IsSupportedW", {Arg(L"x.lwo"), Arg(head.data())}, &delta), expected)
                << c.form << " Forms " << forms;
            EXPECT_CALLEE_POPPED(delta);
        }
        if (forms < 0) {
            HKEY key;
            EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_READ, &key), ERROR_SUCCESS);
        }
        for (const Case& c : cases) {  // loading the settings may create the key
            auto head = HeadBuffer(c.form);
            for (const char* info_call : {"GetPictureInfo", "GetPictureInfoW"}) {
                uint8_t info[40] = {};
                EXPECT_EQ(Plugin().Call(info_call, {Arg(head.data()), head.size(), 1, Arg(info)}, &delta),
                          (forms == 1 ? c.with_forms : c.expected) ? 0 : 2)
                    << info_call << " " << c.form << " Forms " << forms;
                EXPECT_CALLEE_POPPED(delta);
            }
        }
    }
    ClearSettings();
    auto other = HeadBuffer("LWOB");
    std::memcpy(other.data(), "RIFF", 4);
    EXPECT_EQ(Plugin().Call("IsSupported", {Arg("x.lwo"), Arg(other.data())}, &delta), 0);
    EXPECT_EQ(Plugin().Call("IsSupportedW", {Arg(L"x.lwo"), Arg(other.data())}, &delta), 0);
}

// Committed memory at a fixed address above 4 GiB, released on destruction.
class HighBlock {
public:
    explicit HighBlock(size_t size) {
        // Addresses whose low 32 bits are small: a mask of 32 bits would see
        // handle values there. Then wherever the system puts a top-down block.
        for (uint64_t base : {0x100000000ull, 0x200000000ull, 0x7F0000000ull, 0x10000000000ull}) {
            if (sizeof(void*) < 8) break;
            data_ = VirtualAlloc(reinterpret_cast<void*>(static_cast<uintptr_t>(base)), size,
                                 MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
            if (data_) return;
        }
        data_ = VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
        if (data_ && reinterpret_cast<uint64_t>(data_) <= 0xFFFFFFFFull) {
            VirtualFree(data_, 0, MEM_RELEASE);
            data_ = nullptr;
        }
    }
    ~HighBlock() {
        if (data_) VirtualFree(data_, 0, MEM_RELEASE);
    }
    HighBlock(const HighBlock&) = delete;
    HighBlock& operator=(const HighBlock&) = delete;
    uint8_t* data() const { return static_cast<uint8_t*>(data_); }

private:
    void* data_ = nullptr;
};

// A 64-bit host may hand over a head buffer anywhere in its address space.
// The 2,048 bytes are put at the very end of the committed block, so that a
// read of one byte more would fault.
TEST(IsSupported, HeadBufferAbove4GiB) {
    if (sizeof(void*) < 8) GTEST_SKIP() << "a 32-bit process has no addresses above 4 GiB";
    const size_t kBlock = 0x10000;
    HighBlock block(kBlock);
    if (!block.data()) GTEST_SKIP() << "the system placed no block above 4 GiB";
    uint8_t* head = block.data() + kBlock - 2048;
    const auto address = reinterpret_cast<uint64_t>(head);
    std::printf("head buffer at 0x%llx\n", static_cast<unsigned long long>(address));
    ASSERT_GT(address, 0xFFFFFFFFull);
    for (const char* form : {"LWOB", "LWLO"}) {
        const auto bytes = HeadBuffer(form);
        std::memcpy(head, bytes.data(), bytes.size());
        const int expected = std::strcmp(form, "LWOB") == 0 ? 1 : 0;
        int32_t delta = -1;
        EXPECT_EQ(Plugin().Call("IsSupported", {Arg("x.lwo"), Arg(head)}, &delta), expected) << form;
        EXPECT_EQ(Plugin().Call("IsSupportedW", {Arg(L"x.lwo"), Arg(head)}, &delta), expected) << form;
        // Through the host's own declaration as well.
        EXPECT_EQ(Plugin().Function<host::IsSupported>("IsSupported")("x.lwo", head), expected) << form;
    }
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
    for (const char* name : {"IsSupported", "IsSupportedW"}) {
        HANDLE h = CreateFileA(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(h) & ~uintptr_t{0xFFFF}, 0u);
        int32_t delta = -1;
        EXPECT_EQ(Plugin().Call(name, {Arg("x"), Arg(h)}, &delta), 1) << name;
        EXPECT_CALLEE_POPPED(delta);

        SetFilePointer(h, 4, nullptr, FILE_BEGIN);
        EXPECT_EQ(Plugin().Call(name, {Arg("x"), Arg(h)}, &delta), 0) << name;
        // The handle still belongs to the host: open, and where the read left it.
        EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), GetFileSize(h, nullptr)) << name;
        EXPECT_TRUE(CloseHandle(h));
    }
}

TEST(IsSupported, BadHandleValuesAnswerZero) {
    int32_t delta = -1;
    for (const char* name : {"IsSupported", "IsSupportedW"}) {
        EXPECT_EQ(Plugin().Call(name, {Arg("x"), 0x1234}, &delta), 0) << name;
        EXPECT_EQ(Plugin().Call(name, {Arg("x"), 0}, &delta), 0) << name;
        EXPECT_CALLEE_POPPED(delta);
    }
}

// The record is 26 bytes with a 4-byte handle in the 32-bit module, 32 with
// two padding bytes and an 8-byte handle at 24 in the 64-bit one; every byte
// after the density words is zero, and nothing beyond the record is written.
// Only the header is read: a memory image of 12 bytes, "FORM", a length far
// beyond them and "LWOB", is answered as the object it begins.
TEST(GetPictureInfo, AnswersTheSizeFromTheHeaderAlone) {
    const uint8_t header[] = {'F', 'O', 'R', 'M', 0x7F, 0xFF, 0xFF, 0xFF, 'L', 'W', 'O', 'B'};
    for (const char* name : {"GetPictureInfo", "GetPictureInfoW"}) {
        SCOPED_TRACE(name);
        int32_t delta = -1;
        uint8_t info[40];
        std::memset(info, 0x5A, sizeof info);
        EXPECT_EQ(Plugin().Call(name, {Arg(header), sizeof header, 1, Arg(info)}, &delta), 0);
        EXPECT_CALLEE_POPPED(delta);
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
        for (uint32_t i = 22; i < kPictureInfoSize; ++i) ASSERT_EQ(info[i], 0) << i;
        for (uint32_t i = kPictureInfoSize; i < sizeof info; ++i) ASSERT_EQ(info[i], 0x5A) << i;

        std::memset(info, 0x5A, sizeof info);
        EXPECT_EQ(Plugin().Call(name, {Arg(header), sizeof header, 2, Arg(info)}, &delta), -1);
        for (uint8_t b : info) ASSERT_EQ(b, 0x5A);
        EXPECT_EQ(Plugin().Call(name, {Arg(header), sizeof header, 9, Arg(info)}, &delta), 0);  // 9 & 7 = 1
        EXPECT_EQ(Plugin().Call(name, {Arg(header), sizeof header, 1, 0}, &delta), 5);  // no record to write into
        EXPECT_CALLEE_POPPED(delta);
    }
}

TEST(GetPreview, DeclinesAndTouchesNothing) {
    for (const char* name : {"GetPreview", "GetPreviewW"}) {
        int32_t delta = -1;
        HLOCAL info = reinterpret_cast<HLOCAL>(0x1111), bits = reinterpret_cast<HLOCAL>(0x2222);
        EXPECT_EQ(Plugin().Call(name, {Arg("x"), 0, 0, Arg(&info), Arg(&bits), 0, 0}, &delta), -1) << name;
        EXPECT_CALLEE_POPPED(delta);
        EXPECT_EQ(info, reinterpret_cast<HLOCAL>(0x1111));
        EXPECT_EQ(bits, reinterpret_cast<HLOCAL>(0x2222));
    }
}

}  // namespace
}  // namespace qavren::testing
