// The procedures of the About and settings dialogs that ConfigurationDlg
// shows. Every template, icon and cursor comes from the module's resources.
#pragma once

#include <windows.h>

namespace qavren::ui {

INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK ConfigDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Control 1001's window procedure while the About dialog is open.
LRESULT CALLBACK LinkLabel(HWND label, UINT message, WPARAM wparam, LPARAM lparam);

// Asks the shell to open `address`; whether it could is not reported.
void OpenUrl(const wchar_t* address);

// Gives a dialog the plug-in's icon as its small (caption) icon.
void SetSmallIcon(HWND dialog);

}  // namespace qavren::ui
