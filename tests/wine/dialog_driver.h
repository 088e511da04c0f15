// Drives the plug-in's dialogs as a person at a viewer would. A host thread
// owns a window and calls ConfigurationDlg on it, as a viewer's UI thread
// does; the test's thread finds the dialog, reads it, clicks and types,
// while the host thread's modal loop serves the host window and the dialog.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/wine/plugin_under_test.h"

namespace qavren::testing {

// The module of this tree from the working directory, loaded once.
const PluginUnderTest& Plugin();

class HostSession {
public:
    // Starts the host thread: a window, then ConfigurationDlg(window, function).
    explicit HostSession(int function);
    // Closes a dialog still open (the close box) and waits for the thread.
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    HWND host() const { return host_; }
    // The visible dialog owned by the host thread, or null after 5 s.
    HWND WaitForDialog() const;
    // Returns once the host thread has handled all that was posted to it.
    bool Sync() const;
    // Runs `probe` on the host thread (inside the modal loop) and returns its answer.
    LRESULT OnHostThread(const std::function<LRESULT()>& probe) const;
    // True once ConfigurationDlg has returned, waiting up to `ms`.
    bool Finished(DWORD ms = 5000) const;
    int result() const { return result_; }
    // Windows the host thread created during the call.
    int windows_created() const { return windows_created_; }

private:
    static DWORD WINAPI Run(void* self);
    int function_;
    HWND host_ = nullptr;
    HANDLE ready_ = nullptr;
    HANDLE synced_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD thread_id_ = 0;
    int result_ = 0x7FFFFFFF;
    int windows_created_ = 0;
};

// A person's actions, posted to the dialog's thread as the input would be.
void Click(HWND control);
void PressKey(HWND dialog, WPARAM key);
void CloseBox(HWND dialog);

// The values under ...\QAVREN\Draw Image: name -> type and bytes.
using RegistrySnapshot = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;
RegistrySnapshot SnapshotSettings();

// Points the shell's "open" of https addresses at this test program for its
// lifetime (the handler is put back after), so that a click on the address
// label is seen without starting a browser.
class UrlCatcher {
public:
    UrlCatcher();
    ~UrlCatcher();
    UrlCatcher(const UrlCatcher&) = delete;
    UrlCatcher& operator=(const UrlCatcher&) = delete;
    // The address the shell was asked to open, or "" after `ms`.
    std::wstring Wait(DWORD ms = 10000) const;

private:
    std::wstring saved_command_;
    bool had_command_ = false;
    std::wstring record_;
};

// Called first in main, before any window. The default desktop of a Wine
// session draws on whatever display its first program had, none for the
// other tests, and then no window can be made on it: the host threads get a
// desktop of their own, started with this program's DISPLAY. No window
// manager runs there, and Wine waits two seconds for one whenever a window
// it lets one manage is hidden: this program's windows are left unmanaged.
void PrepareDesktop();

// The entry of the program started by the shell in UrlCatcher's place.
// Returns true (and the exit code) when this process is such a start.
bool RunAsUrlRecorder(int* exit_code);

}  // namespace qavren::testing
