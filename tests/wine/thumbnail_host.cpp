// Explorer's side of the thumbnail handler: what the shell does, done here.
// The handler is found through the per-user registration as COM on Windows
// finds it (Wine does not merge HKCU\Software\Classes into HKCR), created
// through its class factory, initialised with a stream on the file, asked
// for a thumbnail and read back with GetDIBits. The expected pixels come from
// DrawThumbnail itself, linked into this program, premultiplied here.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <propsys.h>
#include <shlwapi.h>
#include <thumbcache.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cmath>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "render/thumbnail.h"
#include "tests/unit/test_files.h"
#include "tools/lwogen/hostile.h"
#include "tools/lwogen/layered_writer.h"
#include "tools/lwogen/lwo_writer.h"
#include "viewers/explorer/handler_clsid.h"

namespace qavren::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr wchar_t kModule[] = L"qavren_thumbnails.dll";
constexpr wchar_t kExtensionKey[] = L"Software\\Classes\\.lwo";
constexpr wchar_t kShellExKey[] = L"Software\\Classes\\.lwo\\ShellEx\\" QAVREN_THUMBNAIL_CATEGORY_TEXT;
constexpr wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\" QAVREN_THUMBNAIL_CLSID_TEXT;
constexpr UINT kSizes[] = {32, 96, 256};

// ---- the registry, as a user's HKCU holds it --------------------------------

// A string value, or empty when absent.
std::wstring ReadString(const wchar_t* key, const wchar_t* name) {
    wchar_t text[1024] = {};
    DWORD size = sizeof text - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) return {};
    return text;
}

void WriteString(const std::wstring& key, const wchar_t* name, const std::wstring& data) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   DWORD((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

// Every key and value below `path`, as "key" and "key|name|type|bytes" lines;
// absent keys give nothing.
void Dump(const std::wstring& path, std::vector<std::wstring>* lines) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    lines->push_back(path);
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        BYTE data[2048];
        DWORD name_size = 256, data_size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &name_size, nullptr, &type, data, &data_size) != ERROR_SUCCESS) break;
        std::wstring line = path + L"|" + name + L"|" + std::to_wstring(type) + L"|";
        for (DWORD b = 0; b < data_size; ++b) line += std::to_wstring(data[b]) + L",";
        lines->push_back(line);
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD size = 256;
        if (RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subkeys.push_back(path + L"\\" + name);
    }
    RegCloseKey(key);
    for (const auto& s : subkeys) Dump(s, lines);
}

std::vector<std::wstring> Snapshot() {
    std::vector<std::wstring> lines;
    Dump(kExtensionKey, &lines);
    Dump(kClassKey, &lines);
    std::sort(lines.begin(), lines.end());
    return lines;
}

void ClearRegistration() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kExtensionKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kExtensionKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kClassKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, kClassKey);
}

// regsvr32 as a user runs it: its exit code.
DWORD Regsvr32(const wchar_t* switches) {
    wchar_t full[MAX_PATH];
    if (!GetFullPathNameW(kModule, MAX_PATH, full, nullptr)) return ~0u;
    std::wstring command = std::wstring(L"regsvr32.exe /s ") + switches + L" \"" + full + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return ~0u;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = ~0u;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// ---- the handler, found and driven as the shell does -------------------------

struct Handler {
    HMODULE module = nullptr;
    CLSID clsid{};
    LPFNGETCLASSOBJECT get_class_object = nullptr;
    LPFNCANUNLOADNOW can_unload_now = nullptr;
};

// .lwo's thumbnail category names the class; the class's InprocServer32
// names the module; the module gives the factory.
Handler Resolve() {
    Handler h;
    const std::wstring clsid_text = ReadString(kShellExKey, nullptr);
    if (clsid_text.empty() || FAILED(CLSIDFromString(clsid_text.c_str(), &h.clsid))) return h;
    const std::wstring server_key = L"Software\\Classes\\CLSID\\" + clsid_text + L"\\InprocServer32";
    if (ReadString(server_key.c_str(), L"ThreadingModel") != L"Apartment") return h;
    const std::wstring path = ReadString(server_key.c_str(), nullptr);
    if (path.empty() || !(h.module = LoadLibraryW(path.c_str()))) return h;
    const auto entry = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(h.module, name)); };
    h.get_class_object = reinterpret_cast<LPFNGETCLASSOBJECT>(entry("DllGetClassObject"));
    h.can_unload_now = reinterpret_cast<LPFNCANUNLOADNOW>(entry("DllCanUnloadNow"));
    return h;
}

Handler g_handler;

struct Thumbnail {
    HRESULT initialize = E_FAIL;
    HRESULT get = E_FAIL;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    Bytes raw;   // the section's own bits, as the shell reads them
    int width = 0, height = 0;
    Bytes bgra;  // top row first, as GetDIBits gives it
    bool ok() const { return SUCCEEDED(initialize) && SUCCEEDED(get); }
};

IInitializeWithStream* CreateHandler() {
    IClassFactory* factory = nullptr;
    if (FAILED(g_handler.get_class_object(g_handler.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return nullptr;
    IInitializeWithStream* init = nullptr;
    factory->CreateInstance(nullptr, __uuidof(IInitializeWithStream), reinterpret_cast<void**>(&init));
    factory->Release();
    return init;
}

Thumbnail ThumbnailFrom(IStream* stream, UINT cx) {
    Thumbnail t;
    IInitializeWithStream* init = CreateHandler();
    if (!init) return t;
    t.initialize = init->Initialize(stream, STGM_READ);
    IThumbnailProvider* provider = nullptr;
    if (SUCCEEDED(t.initialize) &&
        SUCCEEDED(init->QueryInterface(__uuidof(IThumbnailProvider), reinterpret_cast<void**>(&provider)))) {
        HBITMAP bitmap = nullptr;
        t.get = provider->GetThumbnail(cx, &bitmap, &t.alpha);
        if (SUCCEEDED(t.get) && bitmap) {
            DIBSECTION section{};
            if (GetObjectW(bitmap, sizeof section, &section) == sizeof section) {
                t.width = section.dsBm.bmWidth;
                t.height = section.dsBm.bmHeight;
                const auto* bits = static_cast<const uint8_t*>(section.dsBm.bmBits);
                if (bits) t.raw.assign(bits, bits + size_t(section.dsBm.bmWidthBytes) * t.height);
            }
            BITMAPINFO info{};
            info.bmiHeader.biSize = sizeof info.bmiHeader;
            info.bmiHeader.biWidth = t.width;
            info.bmiHeader.biHeight = -t.height;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            info.bmiHeader.biCompression = BI_RGB;
            t.bgra.resize(size_t(4) * t.width * t.height);
            HDC dc = CreateCompatibleDC(nullptr);
            if (GetDIBits(dc, bitmap, 0, UINT(t.height), t.bgra.data(), &info, DIB_RGB_COLORS) != t.height)
                t.bgra.clear();
            DeleteDC(dc);
            DeleteObject(bitmap);
        }
        provider->Release();
    }
    init->Release();
    return t;
}

Thumbnail ThumbnailOfFile(const fs::path& file, UINT cx) {
    IStream* stream = nullptr;
    if (FAILED(SHCreateStreamOnFileEx(file.wstring().c_str(), STGM_READ | STGM_SHARE_DENY_WRITE, FILE_ATTRIBUTE_NORMAL,
                                      FALSE, nullptr, &stream)))
        return {};
    Thumbnail t = ThumbnailFrom(stream, cx);
    stream->Release();
    return t;
}

Thumbnail ThumbnailOfBytes(const Bytes& bytes, UINT cx) {
    IStream* stream = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
    if (!stream) return {};
    Thumbnail t = ThumbnailFrom(stream, cx);
    stream->Release();
    return t;
}

// ---- the oracle ---------------------------------------------------------------

// DrawThumbnail's picture as the shell wants it: blue, green, red, alpha,
// each colour rounded to the nearest of colour × alpha / 255. Empty when the
// core refuses the object.
Bytes Expected(const Bytes& object, UINT cx) {
    ObjectBuffer buffer;
    if (Failed(buffer.LoadFromMemory(object.data(), uint32_t(object.size())))) return {};
    RgbaPicture picture;
    if (Failed(DrawThumbnail(buffer, int32_t(cx), int32_t(cx), &picture))) return {};
    Bytes out(size_t(4) * cx * cx);
    const uint8_t* p = picture.pixels();
    for (size_t i = 0; i < out.size(); i += 4) {
        const double a = p[i + 3] / 255.0;
        out[i + 0] = uint8_t(std::lround(p[i + 2] * a));
        out[i + 1] = uint8_t(std::lround(p[i + 1] * a));
        out[i + 2] = uint8_t(std::lround(p[i + 0] * a));
        out[i + 3] = p[i + 3];
    }
    return out;
}

// The handler agrees with the core: the same picture, or a failure where the
// core refuses; and nothing of it stays alive afterwards.
void ExpectAgreement(const Thumbnail& got, const Bytes& expected, UINT cx) {
    if (expected.empty()) {
        EXPECT_FALSE(got.ok()) << "the handler drew what the core refuses";
    } else {
        ASSERT_TRUE(got.ok()) << std::hex << got.initialize << " " << got.get;
        EXPECT_EQ(got.alpha, WTSAT_ARGB);
        EXPECT_EQ(got.width, int(cx));
        EXPECT_EQ(got.height, int(cx));
        EXPECT_TRUE(got.raw == got.bgra) << "the section is not top-down, 32 bits, unpadded";
        EXPECT_TRUE(got.bgra == expected) << "pixels differ";
    }
    EXPECT_EQ(g_handler.can_unload_now(), S_OK) << "objects left alive";
}

// ---- the objects ----------------------------------------------------------------

struct ObjectFile {
    std::string name;
    fs::path path;
};
void PrintTo(const ObjectFile& f, std::ostream* os) { *os << f.path.string(); }

// The samples, a generated object of each of the four forms (so that every
// form is drawn whatever the corpus holds), and the shared corpus when
// it stands beside the checkout (both folders; its damaged files included).
std::vector<ObjectFile> ObjectFiles() {
    std::vector<ObjectFile> files;
    const auto add = [&](const std::string& prefix, const fs::path& folder) {
        if (!fs::exists(folder)) return;
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".lwo") found.push_back(entry.path());
        std::sort(found.begin(), found.end());
        for (const auto& p : found) {
            std::string name = prefix + p.stem().string();
            for (char& c : name)
                if (!isalnum(static_cast<unsigned char>(c))) c = '_';
            files.push_back({name, p});
        }
    };
    add("examples_", fs::path(QAVREN_SOURCE_DIR) / "examples");
    const fs::path generated = fs::temp_directory_path() / "qavren-thumbnail-forms";
    fs::create_directories(generated);
    for (const char* form : {"LWOB", "LWLO", "LWO2", "LWO3"}) {
        const tools::LwoWriter torus = tools::MakeTorus(6, 9, 1.f, 0.3f);
        const Bytes bytes =
            std::string(form) == "LWOB" ? torus.Build() : tools::LayeredWriter::From(torus, form).Build();
        const fs::path p = generated / (std::string("torus_") + form + ".lwo");
        FILE* f = _wfopen(p.wstring().c_str(), L"wb");
        if (f) {
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
        files.push_back({std::string("generated_") + form, p});
    }
    add("corpus_lwo_", CorpusDir());
    add("corpus_lwo2_", CorpusDir().parent_path() / "lwo2");
    return files;
}

class ThumbnailHost : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ClearRegistration();
        ASSERT_EQ(Regsvr32(L""), 0u);
        g_handler = Resolve();
    }
    static void TearDownTestSuite() {
        Regsvr32(L"/u");
        ClearRegistration();
    }
    void SetUp() override {
        ASSERT_TRUE(g_handler.get_class_object && g_handler.can_unload_now)
            << "the registration does not lead to the module";
    }
};

class ThumbnailOfEveryObject : public ThumbnailHost, public ::testing::WithParamInterface<ObjectFile> {};

TEST_P(ThumbnailOfEveryObject, IsTheCorePicturePremultipliedOrAFailureWhereTheCoreFails) {
    const Bytes bytes = ReadFile(GetParam().path.string());
    ASSERT_FALSE(bytes.empty() && fs::file_size(GetParam().path) != 0);
    for (const UINT cx : kSizes) {
        SCOPED_TRACE(cx);
        ExpectAgreement(ThumbnailOfFile(GetParam().path, cx), Expected(bytes, cx), cx);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ThumbnailOfEveryObject, ::testing::ValuesIn(ObjectFiles()),
                         [](const auto& param_info) { return param_info.param.name; });

// Objects bent out of shape, cut short, empty or of another kind: each one
// the core refuses is refused by the handler, quickly and with nothing left
// alive; each one the core draws comes out the same.
TEST_F(ThumbnailHost, DamagedHostileAndForeignObjects) {
    std::vector<tools::NamedObject> objects = tools::HostileObjects();
    for (auto& c : tools::LayeredObjects()) objects.push_back({c.name, c.bytes});
    const Bytes cube = tools::MakeCube().Build();
    const Bytes layered = tools::LayeredWriter::From(tools::MakeCube(), "LWO2").Build();
    for (size_t n = 0; n < cube.size(); ++n)
        objects.push_back({"cube cut at " + std::to_string(n), Bytes(cube.begin(), cube.begin() + n)});
    for (size_t n = 0; n < layered.size(); ++n)
        objects.push_back({"LWO2 cut at " + std::to_string(n), Bytes(layered.begin(), layered.begin() + n)});
    objects.push_back({"empty", {}});
    objects.push_back({"PNG", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'}});
    objects.push_back({"text", {'h', 'e', 'l', 'l', 'o', '\n'}});
    objects.push_back({"ILBM", {'F', 'O', 'R', 'M', 0, 0, 0, 4, 'I', 'L', 'B', 'M'}});
    int refused = 0;
    for (const auto& [name, bytes] : objects) {
        SCOPED_TRACE(name);
        const Bytes expected = Expected(bytes, 96);
        refused += expected.empty();
        ExpectAgreement(ThumbnailOfBytes(bytes, 96), expected, 96);
    }
    EXPECT_GT(refused, int(objects.size()) / 2);
}

// A stream that reports a size it cannot have, fails to say its size, fails
// on a read, or gives one byte at a time.
class OddStream final : public IStream {
public:
    OddStream(Bytes data, ULONGLONG stat_size, bool stat_fails, ULONG fail_read, ULONG piece)
        : data_(std::move(data)), stat_size_(stat_size), stat_fails_(stat_fails), fail_read_(fail_read),
          piece_(piece) {}
    IFACEMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IStream) || IsEqualIID(iid, IID_ISequentialStream)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    IFACEMETHODIMP_(ULONG) Release() override { return --refs_; }  // lives on the test's stack
    IFACEMETHODIMP Read(void* to, ULONG want, ULONG* got) override {
        if (++reads_ == fail_read_) return STG_E_ACCESSDENIED;
        const ULONG n = ULONG(std::min<size_t>({size_t(want), size_t(piece_), data_.size() - at_}));
        std::copy_n(data_.data() + at_, n, static_cast<uint8_t*>(to));
        at_ += n;
        if (got) *got = n;
        return n < want ? S_FALSE : S_OK;
    }
    IFACEMETHODIMP Stat(STATSTG* stat, DWORD) override {
        if (stat_fails_) return E_NOTIMPL;
        *stat = {};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = stat_size_;
        return S_OK;
    }
    IFACEMETHODIMP Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    IFACEMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    IFACEMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    IFACEMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    IFACEMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    IFACEMETHODIMP Revert() override { return E_NOTIMPL; }
    IFACEMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    IFACEMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    IFACEMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
    ULONG refs() const { return refs_; }
    ULONG reads() const { return reads_; }

private:
    Bytes data_;
    ULONGLONG stat_size_;
    bool stat_fails_;
    ULONG fail_read_, piece_;
    ULONG refs_ = 1, reads_ = 0;
    size_t at_ = 0;
};

TEST_F(ThumbnailHost, OddStreams) {
    const Bytes sphere = tools::MakeSphere(6, 8).Build();
    const Bytes expected = Expected(sphere, 32);
    const ULONGLONG size = sphere.size();
    struct Case {
        const char* name;
        ULONGLONG stat_size;
        bool stat_fails;
        ULONG fail_read, piece;
        HRESULT initialize;  // S_OK: drawn as from a file
    } cases[] = {
        {"one byte a read", size, false, 0, 1, S_OK},
        {"no size", 0, true, 0, 1000, S_OK},
        {"a size too small", 10, false, 0, 7, S_OK},
        {"a size too large", size * 3, false, 0, 64, S_OK},
        {"beyond 32 bits", 0x100000000ull, false, 0, 64, E_OUTOFMEMORY},
        {"a failed first read", size, false, 1, 64, STG_E_ACCESSDENIED},
        {"a failed later read", 0, true, 5, 64, STG_E_ACCESSDENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OddStream stream(sphere, c.stat_size, c.stat_fails, c.fail_read, c.piece);
        const Thumbnail t = ThumbnailFrom(&stream, 32);
        EXPECT_EQ(t.initialize, c.initialize);
        if (c.initialize == S_OK) {
            ExpectAgreement(t, expected, 32);
        } else {
            EXPECT_LE(stream.reads(), 5u) << "read on after the stream failed or was too large";
            EXPECT_EQ(g_handler.can_unload_now(), S_OK);
        }
        EXPECT_EQ(stream.refs(), 1u) << "the stream is held or over-released";
    }
}

// The COM contract around the drawing: interfaces, order of calls, counts.
TEST_F(ThumbnailHost, ComPlumbing) {
    IClassFactory* factory = nullptr;
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(g_handler.get_class_object(CLSID_NULL, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
    ASSERT_EQ(g_handler.get_class_object(g_handler.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(g_handler.can_unload_now(), S_FALSE) << "a held factory";
    factory->LockServer(TRUE);
    factory->Release();
    EXPECT_EQ(g_handler.can_unload_now(), S_FALSE) << "a locked server";
    factory->LockServer(FALSE);
    EXPECT_EQ(g_handler.can_unload_now(), S_OK);

    ASSERT_EQ(g_handler.get_class_object(g_handler.clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    IUnknown* outer = factory;
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IStream, &object), E_NOINTERFACE);
    IThumbnailProvider* provider = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IThumbnailProvider), reinterpret_cast<void**>(&provider)),
              S_OK);
    factory->Release();
    EXPECT_EQ(g_handler.can_unload_now(), S_FALSE) << "a live handler";

    HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
    WTS_ALPHATYPE alpha = WTSAT_RGB;
    EXPECT_EQ(provider->GetThumbnail(32, &bitmap, &alpha), E_UNEXPECTED) << "before Initialize";
    EXPECT_EQ(bitmap, nullptr);
    IInitializeWithStream* init = nullptr;
    ASSERT_EQ(provider->QueryInterface(__uuidof(IInitializeWithStream), reinterpret_cast<void**>(&init)), S_OK);
    EXPECT_EQ(init->Initialize(nullptr, STGM_READ), E_INVALIDARG);
    const Bytes cube = tools::MakeCube().Build();
    IStream* stream = SHCreateMemStream(cube.data(), UINT(cube.size()));
    EXPECT_EQ(init->Initialize(stream, STGM_READ), S_OK);
    EXPECT_EQ(init->Initialize(stream, STGM_READ), HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
    stream->Release();
    EXPECT_EQ(provider->GetThumbnail(0, &bitmap, &alpha), E_INVALIDARG);
    EXPECT_EQ(provider->GetThumbnail(0x7fffffff, &bitmap, &alpha), E_OUTOFMEMORY);
    EXPECT_EQ(provider->GetThumbnail(32, nullptr, &alpha), E_POINTER);
    // Asked twice, the same picture.
    ASSERT_EQ(provider->GetThumbnail(32, &bitmap, &alpha), S_OK);
    DeleteObject(bitmap);
    ASSERT_EQ(provider->GetThumbnail(32, &bitmap, &alpha), S_OK);
    DeleteObject(bitmap);
    init->Release();
    provider->Release();
    EXPECT_EQ(g_handler.can_unload_now(), S_OK);
}

// Explorer asks for many thumbnails at once: each thread its own handlers,
// the same pictures as one at a time.
TEST_F(ThumbnailHost, ManyThreadsAtOnceGiveTheSamePictures) {
    std::vector<Bytes> objects = {tools::MakeCube().Build(), tools::MakeSphere(7, 9).Build(),
                                  tools::MakeTorus(8, 12, 1.f, 0.25f).Build(),
                                  tools::LayeredWriter::From(tools::MakeSphere(5, 6), "LWO3").Build()};
    std::vector<std::vector<Bytes>> expected(objects.size());
    for (size_t i = 0; i < objects.size(); ++i)
        for (UINT cx : kSizes) expected[i].push_back(Expected(objects[i], cx));
    constexpr int kThreads = 6, kRounds = 4;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round)
                for (size_t i = 0; i < objects.size(); ++i) {
                    const size_t k = (i + size_t(t) + size_t(round)) % std::size(kSizes);
                    const Thumbnail got = ThumbnailOfBytes(objects[(i + size_t(t)) % objects.size()], kSizes[k]);
                    mismatches[t] += !got.ok() || got.bgra != expected[(i + size_t(t)) % objects.size()][k];
                }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
    EXPECT_EQ(g_handler.can_unload_now(), S_OK);
}

// End to end, when tests/wine/thumbnail_png_test.sh hands over the native
// command's thumbnails (decoded from its PNGs, premultiplied): the handler
// of this tree gives the same bytes for every sample.
TEST_F(ThumbnailHost, MatchesTheNativeCommandsPng) {
    const char* dir = std::getenv("QAVREN_THUMBNAIL_PNG_DIR");
    if (!dir) GTEST_SKIP() << "run by thumbnail_png_test.sh";
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(QAVREN_SOURCE_DIR) / "examples")) {
        if (entry.path().extension() != ".lwo") continue;
        SCOPED_TRACE(entry.path().string());
        const Bytes expected = ReadFile((fs::path(dir) / entry.path().stem()).string() + ".bgra");
        ASSERT_EQ(expected.size(), size_t(4) * 256 * 256);
        ExpectAgreement(ThumbnailOfFile(entry.path(), 256), expected, 256);
        ++compared;
    }
    EXPECT_GE(compared, 3);
}

// ---- registration ---------------------------------------------------------------

// regsvr32 and regsvr32 /u, over what a user's registry may already hold for
// .lwo: the handler's values while registered, the registry as it was after.
TEST(ThumbnailRegistration, RegisterThenUnregisterLeavesTheRegistryAsItWas) {
    const std::wstring ext = kExtensionKey;
    struct Start {
        const char* name;
        std::vector<std::tuple<std::wstring, const wchar_t*, std::wstring>> values;
    } starts[] = {
        {"nothing", {}},
        {"a default program and a perceived type",
         {{ext, nullptr, L"LightWave.Object"}, {ext, L"PerceivedType", L"document"},
          {ext, L"Content Type", L"image/x-lwo"}}},
        {"another shell extension",
         {{ext + L"\\ShellEx\\{8895b1c6-b41f-4c1c-a562-0d564250836f}", nullptr,
           L"{11111111-2222-3333-4444-555555555555}"}}},
        {"an empty default value", {{ext, nullptr, L""}}},
    };
    wchar_t full[MAX_PATH];
    ASSERT_NE(GetFullPathNameW(kModule, MAX_PATH, full, nullptr), 0u);
    for (const Start& start : starts) {
        SCOPED_TRACE(start.name);
        ClearRegistration();
        for (const auto& [key, name, data] : start.values) WriteString(key, name, data);
        const std::vector<std::wstring> before = Snapshot();

        ASSERT_EQ(Regsvr32(L""), 0u);
        ASSERT_EQ(Regsvr32(L""), 0u) << "registering twice";
        EXPECT_EQ(ReadString(kShellExKey, nullptr), QAVREN_THUMBNAIL_CLSID_TEXT);
        const std::wstring server = std::wstring(kClassKey) + L"\\InprocServer32";
        EXPECT_EQ(_wcsicmp(ReadString(server.c_str(), nullptr).c_str(), full), 0);
        EXPECT_EQ(ReadString(server.c_str(), L"ThreadingModel"), L"Apartment");
        for (const auto& [key, name, data] : start.values) EXPECT_EQ(ReadString(key.c_str(), name), data);

        ASSERT_EQ(Regsvr32(L"/u"), 0u);
        EXPECT_EQ(Snapshot(), before);
        ASSERT_EQ(Regsvr32(L"/u"), 0u) << "unregistering what is not registered";
        EXPECT_EQ(Snapshot(), before);
    }
    ClearRegistration();
}

// Another program's thumbnail handler put in after ours stays when ours goes.
TEST(ThumbnailRegistration, UnregisteringKeepsAnotherHandlersClaim) {
    ClearRegistration();
    ASSERT_EQ(Regsvr32(L""), 0u);
    const std::wstring other = L"{11111111-2222-3333-4444-555555555555}";
    WriteString(kShellExKey, nullptr, other);
    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    EXPECT_EQ(ReadString(kShellExKey, nullptr), other);
    std::vector<std::wstring> ours;
    Dump(kClassKey, &ours);
    EXPECT_TRUE(ours.empty()) << "the handler's class key stays";
    ClearRegistration();
}

}  // namespace
}  // namespace qavren::testing
