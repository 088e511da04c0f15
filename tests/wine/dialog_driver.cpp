// The host thread, a person's actions and the URL catcher of dialog_driver.h.
#include "tests/wine/dialog_driver.h"

#include <shellapi.h>

#include <atomic>
#include <cwchar>

namespace qavren::testing {
namespace {

const UINT kPing = WM_APP + 1;   // lParam: the event to set
const UINT kProbe = WM_APP + 2;  // lParam: the std::function to run
const wchar_t kHostClass[] = L"QavrenTestViewer";
const wchar_t kRecordVariable[] = L"QAVREN_URL_RECORD";
const wchar_t kHttpsHandler[] = L"https\\shell\\open\\command";

LRESULT CALLBACK HostWindow(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kPing) return SetEvent(reinterpret_cast<HANDLE>(lparam));
    if (message == kProbe) return (*reinterpret_cast<const std::function<LRESULT()>*>(lparam))();
    return DefWindowProcW(window, message, wparam, lparam);
}

const wchar_t* HostClass() {
    static const ATOM atom = [] {
        WNDCLASSW c = {};
        c.lpfnWndProc = HostWindow;
        c.hInstance = GetModuleHandleW(nullptr);
        c.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        c.lpszClassName = kHostClass;
        return RegisterClassW(&c);
    }();
    return atom ? kHostClass : nullptr;
}

std::atomic<int> g_created{0};
HDESK g_desktop = nullptr;

LRESULT CALLBACK CountCreations(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HCBT_CREATEWND) ++g_created;
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

typedef int(WINAPI* ConfigurationDlgFn)(HWND, int);

ConfigurationDlgFn ConfigurationDlg() {
    return reinterpret_cast<ConfigurationDlgFn>(const_cast<void*>(Plugin().Export("ConfigurationDlg")));
}

BOOL CALLBACK KeepVisibleDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wcscmp(name, L"#32770") || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

}  // namespace

const PluginUnderTest& Plugin() {
    static PluginUnderTest plugin;
    return plugin;
}

HostSession::HostSession(int function) : function_(function) {
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    synced_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &thread_id_);
    if (thread_) WaitForSingleObject(ready_, 5000);
}

DWORD WINAPI HostSession::Run(void* self) {
    auto* s = static_cast<HostSession*>(self);
    if (g_desktop) SetThreadDesktop(g_desktop);
    s->host_ = CreateWindowExW(0, HostClass(), L"Viewer", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 480, 360,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    g_created = 0;
    HHOOK hook = SetWindowsHookExW(WH_CBT, CountCreations, nullptr, GetCurrentThreadId());
    SetEvent(s->ready_);
    s->result_ = ConfigurationDlg()(s->host_, s->function_);
    if (hook) UnhookWindowsHookEx(hook);
    s->windows_created_ = g_created;
    if (s->host_) DestroyWindow(s->host_);
    return 0;
}

HostSession::~HostSession() {
    if (thread_ && !Finished(0)) {
        if (HWND dialog = WaitForDialog()) CloseBox(dialog);
        if (!Finished(5000)) TerminateThread(thread_, 1);  // the test has failed already
    }
    for (HANDLE h : {thread_, synced_, ready_}) {
        if (h) CloseHandle(h);
    }
}

HWND HostSession::WaitForDialog() const {
    for (int i = 0; i < 500; ++i) {
        HWND found = nullptr;
        EnumThreadWindows(thread_id_, KeepVisibleDialog, reinterpret_cast<LPARAM>(&found));
        if (found || Finished(0)) return found;
        Sleep(10);
    }
    return nullptr;
}

bool HostSession::Sync() const {
    return PostMessageW(host_, kPing, 0, reinterpret_cast<LPARAM>(synced_)) &&
           WaitForSingleObject(synced_, 5000) == WAIT_OBJECT_0;
}

LRESULT HostSession::OnHostThread(const std::function<LRESULT()>& probe) const {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(host_, kProbe, 0, reinterpret_cast<LPARAM>(&probe), SMTO_NORMAL, 5000, &answer);
    return static_cast<LRESULT>(answer);
}

bool HostSession::Finished(DWORD ms) const { return WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0; }

void Click(HWND control) {
    RECT r;
    GetClientRect(control, &r);
    const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(control, WM_LBUTTONUP, 0, at);
}

// To the control with the keyboard focus, where the dialog's loop looks.
void PressKey(HWND dialog, WPARAM key) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    HWND target = info.hwndFocus ? info.hwndFocus : dialog;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, key, scan | 1);
    PostMessageW(target, WM_KEYUP, key, scan | 1 | (LPARAM{3} << 30));
}

void CloseBox(HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

RegistrySnapshot SnapshotSettings() {
    RegistrySnapshot values;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Oru\\Susie Plug-in\\QAVREN\\Draw Image", 0, KEY_READ, &key))
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        BYTE data[256];
        DWORD name_size = 256, data_size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &name_size, nullptr, &type, data, &data_size) != ERROR_SUCCESS) break;
        values[name] = {type, std::vector<BYTE>(data, data + data_size)};
    }
    RegCloseKey(key);
    return values;
}

UrlCatcher::UrlCatcher() {
    wchar_t temp[MAX_PATH], self[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    record_ = std::wstring(temp) + L"qavren-url-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    DeleteFileW(record_.c_str());
    SetEnvironmentVariableW(kRecordVariable, record_.c_str());
    wchar_t saved[1024];
    DWORD size = sizeof saved;
    had_command_ = RegGetValueW(HKEY_CLASSES_ROOT, kHttpsHandler, nullptr, RRF_RT_REG_SZ, nullptr, saved, &size) == 0;
    if (had_command_) saved_command_ = saved;
    const std::wstring command = L"\"" + std::wstring(self) + L"\" --record-url \"%1\"";
    RegSetKeyValueW(HKEY_CLASSES_ROOT, kHttpsHandler, nullptr, REG_SZ, command.c_str(),
                    static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

UrlCatcher::~UrlCatcher() {
    if (had_command_) {
        RegSetKeyValueW(HKEY_CLASSES_ROOT, kHttpsHandler, nullptr, REG_SZ, saved_command_.c_str(),
                        static_cast<DWORD>((saved_command_.size() + 1) * sizeof(wchar_t)));
    } else {
        RegDeleteKeyValueW(HKEY_CLASSES_ROOT, kHttpsHandler, nullptr);
    }
    DeleteFileW(record_.c_str());
    SetEnvironmentVariableW(kRecordVariable, nullptr);
}

std::wstring UrlCatcher::Wait(DWORD ms) const {
    for (DWORD waited = 0; waited < ms; waited += 20) {
        HANDLE f = CreateFileW(record_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            wchar_t text[1024] = {};
            DWORD read = 0;
            ReadFile(f, text, sizeof text - sizeof(wchar_t), &read, nullptr);
            CloseHandle(f);
            return text;
        }
        Sleep(20);
    }
    return L"";
}

void PrepareDesktop() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const wchar_t* name = std::wcsrchr(self, L'\\') ? std::wcsrchr(self, L'\\') + 1 : self;
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + std::wstring(name) + L"\\X11 Driver";
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Managed", REG_SZ, L"N", 2 * sizeof(wchar_t));
    g_desktop = CreateDesktopW(L"qavren-dialog-tests", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (g_desktop) SetThreadDesktop(g_desktop);
}

// Written beside and renamed, so that the waiting test never reads half.
bool RunAsUrlRecorder(int* exit_code) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return false;
    const bool recorder = argc == 3 && !std::wcscmp(argv[1], L"--record-url");
    if (recorder) {
        wchar_t path[MAX_PATH] = {};
        GetEnvironmentVariableW(kRecordVariable, path, MAX_PATH);
        const std::wstring part = std::wstring(path) + L".part";
        HANDLE f = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        const bool ok = f != INVALID_HANDLE_VALUE &&
                        WriteFile(f, argv[2], static_cast<DWORD>(std::wcslen(argv[2]) * sizeof(wchar_t)), &written,
                                  nullptr);
        if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
        *exit_code = ok && MoveFileExW(part.c_str(), path, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
    }
    LocalFree(argv);
    return recorder;
}

}  // namespace qavren::testing
