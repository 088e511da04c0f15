// spihost: drives a Susie plug-in the way an image viewer does. It loads the
// module with LoadLibrary, calls its exports through __stdcall pointers and
// reports what they answer; `picture` saves the picture as a .bmp file.
//
//   spihost PLUGIN info
//   spihost PLUGIN check FILE
//   spihost PLUGIN picture FILE OUT.bmp [--memory]
//   spihost PLUGIN time FILE RUNS
//   spihost PLUGIN config FUNCTION
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

typedef int(WINAPI* ProgressFn)(int, int, LONG_PTR);
typedef int(WINAPI* GetPluginInfoFn)(int, LPSTR, int);
typedef int(WINAPI* IsSupportedFn)(LPCSTR, DWORD_PTR);
typedef int(WINAPI* GetPictureInfoFn)(LPCSTR, LONG_PTR, UINT, void*);
typedef int(WINAPI* GetPictureFn)(LPCSTR, LONG_PTR, UINT, HLOCAL*, HLOCAL*, ProgressFn, LONG_PTR);
typedef int(WINAPI* ConfigurationDlgFn)(HWND, int);

struct Plugin {
    HMODULE module = nullptr;
    GetPluginInfoFn get_plugin_info = nullptr;
    IsSupportedFn is_supported = nullptr;
    GetPictureInfoFn get_picture_info = nullptr;
    GetPictureFn get_picture = nullptr;
    ConfigurationDlgFn configuration_dlg = nullptr;
};

template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool LoadPlugin(const char* path, Plugin* p) {
    p->module = LoadLibraryA(path);
    if (!p->module) return false;
    p->get_plugin_info = Lookup<GetPluginInfoFn>(p->module, "GetPluginInfo");
    p->is_supported = Lookup<IsSupportedFn>(p->module, "IsSupported");
    p->get_picture_info = Lookup<GetPictureInfoFn>(p->module, "GetPictureInfo");
    p->get_picture = Lookup<GetPictureFn>(p->module, "GetPicture");
    p->configuration_dlg = Lookup<ConfigurationDlgFn>(p->module, "ConfigurationDlg");
    return p->get_plugin_info && p->is_supported && p->get_picture_info && p->get_picture && p->configuration_dlg;
}

bool ReadWholeFile(const char* path, std::vector<char>* bytes) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
    std::fclose(f);
    return true;
}

int Info(const Plugin& p) {
    for (int i = 0; i < 4; ++i) {
        char text[256] = {};
        int n = p.get_plugin_info(i, text, sizeof text - 1);
        std::printf("info %d: \"%s\" (%d)\n", i, text, n);
    }
    return 0;
}

int Check(const Plugin& p, const char* file) {
    std::vector<char> head(2048, 0);
    FILE* f = std::fopen(file, "rb");
    if (f) {
        size_t got = std::fread(head.data(), 1, head.size(), f);
        (void)got;
        std::fclose(f);
    }
    std::printf("IsSupported(head buffer): %d\n", p.is_supported(file, reinterpret_cast<DWORD_PTR>(head.data())));
    HANDLE h = CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        std::printf("IsSupported(file handle): %d\n", p.is_supported(file, reinterpret_cast<DWORD_PTR>(h)));
        CloseHandle(h);
    } else {
        std::printf("IsSupported(file handle): cannot open %s\n", file);
    }
    unsigned char info[32] = {};  // 26 bytes for a 32-bit plug-in, 32 for a 64-bit one
    int code = p.get_picture_info(file, 0, 0, info);
    int32_t w, h32;
    int16_t bpp;
    std::memcpy(&w, info + 8, 4);
    std::memcpy(&h32, info + 12, 4);
    std::memcpy(&bpp, info + 20, 2);
    std::printf("GetPictureInfo: %d, %d x %d, %d bits\n", code, w, h32, bpp);
    return 0;
}

// Calls GetPicture on a file or a memory image; returns the host code.
int Picture(const Plugin& p, const char* file, bool memory, HLOCAL* info, HLOCAL* bits) {
    if (!memory) return p.get_picture(file, 0, 0, info, bits, nullptr, 0);
    std::vector<char> bytes;
    if (!ReadWholeFile(file, &bytes)) return 6;
    return p.get_picture(bytes.data(), static_cast<LONG_PTR>(bytes.size()), 1, info, bits, nullptr, 0);
}

bool SaveBmp(HLOCAL info, HLOCAL bits, const char* out) {
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LocalLock(info));
    const void* pixels = LocalLock(bits);
    const DWORD image = header->biSizeImage;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + image;
    FILE* f = std::fopen(out, "wb");
    bool ok = f && std::fwrite(&file, sizeof file, 1, f) == 1 && std::fwrite(header, sizeof *header, 1, f) == 1 &&
              std::fwrite(pixels, 1, image, f) == image;
    if (f && std::fclose(f) != 0) ok = false;
    LocalUnlock(bits);
    LocalUnlock(info);
    return ok;
}

int SavePicture(const Plugin& p, const char* file, const char* out, bool memory) {
    HLOCAL info = nullptr, bits = nullptr;
    const int code = Picture(p, file, memory, &info, &bits);
    std::printf("GetPicture: %d\n", code);
    if (code != 0) return 1;
    const bool saved = SaveBmp(info, bits, out);
    LocalFree(info);
    LocalFree(bits);
    if (!saved) {
        std::fprintf(stderr, "spihost: cannot write %s\n", out);
        return 1;
    }
    std::printf("saved %s\n", out);
    return 0;
}

int Time(const Plugin& p, const char* file, int runs) {
    std::vector<double> ms;
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    for (int i = 0; i < runs; ++i) {
        HLOCAL info = nullptr, bits = nullptr;
        QueryPerformanceCounter(&t0);
        const int code = Picture(p, file, false, &info, &bits);
        QueryPerformanceCounter(&t1);
        if (code != 0) {
            std::printf("GetPicture: %d\n", code);
            return 1;
        }
        LocalFree(info);
        LocalFree(bits);
        ms.push_back(1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq.QuadPart));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("GetPicture median %.3f ms over %d runs (min %.3f, max %.3f)\n", ms[ms.size() / 2], runs, ms.front(),
                ms.back());
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: spihost PLUGIN info\n"
                 "       spihost PLUGIN check FILE\n"
                 "       spihost PLUGIN picture FILE OUT.bmp [--memory]\n"
                 "       spihost PLUGIN time FILE RUNS\n"
                 "       spihost PLUGIN config FUNCTION\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    Plugin p;
    if (!LoadPlugin(argv[1], &p)) {
        std::fprintf(stderr, "spihost: %s is not a loadable Susie plug-in\n", argv[1]);
        return 1;
    }
    const char* command = argv[2];
    if (!std::strcmp(command, "info") && argc == 3) return Info(p);
    if (!std::strcmp(command, "check") && argc == 4) return Check(p, argv[3]);
    if (!std::strcmp(command, "picture") && (argc == 5 || argc == 6)) {
        return SavePicture(p, argv[3], argv[4], argc == 6 && !std::strcmp(argv[5], "--memory"));
    }
    if (!std::strcmp(command, "time") && argc == 5) return Time(p, argv[3], std::atoi(argv[4]));
    if (!std::strcmp(command, "config") && argc == 4) {
        std::printf("ConfigurationDlg: %d\n", p.configuration_dlg(nullptr, std::atoi(argv[3])));
        return 0;
    }
    return Usage();
}
