// The About dialog and its web-address label (control 1001), which looks
// and acts like a hyperlink: underlined blue text, the hand cursor, and a
// click that opens the address and leaves the dialog open.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "plugin/exports.h"
#include "plugin/version.h"
#include "ui/control_ids.h"
#include "ui/dialogs.h"

namespace qavren::ui {
namespace {

// The same text the template shows in control 1001.
const wchar_t kAddress[] = L"" QAVREN_URL;

// Process-wide, as a host opens one dialog at a time. The font and the
// label's own procedure live as long as the dialog; the cursor, once
// loaded, stays for the life of the process.
struct LinkState {
    HFONT underlined = nullptr;
    WNDPROC label_procedure = nullptr;
    HCURSOR hand = nullptr;
};
LinkState g_link;

// The dialog's font with underlining switched on, or null.
HFONT CreateUnderlinedFont(HWND dialog) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW description;
    if (!font || GetObjectW(font, sizeof description, &description) != sizeof description) return nullptr;
    description.lfUnderline = TRUE;
    return CreateFontIndirectW(&description);
}

void AttachLink(HWND dialog) {
    g_link.underlined = CreateUnderlinedFont(dialog);
    if (g_link.underlined) {
        // Not redrawn now: the label has not been painted yet.
        SendDlgItemMessageW(dialog, IDC_ADDRESS, WM_SETFONT, reinterpret_cast<WPARAM>(g_link.underlined), FALSE);
    }
    if (!g_link.hand) g_link.hand = LoadCursorW(ModuleInstance(), L"CURSOR_HAND");
    if (HWND label = GetDlgItem(dialog, IDC_ADDRESS)) {
        g_link.label_procedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LinkLabel)));
    }
}

// The dialog is going: the label gets its own procedure back, and the font,
// which the label stops using as it is destroyed, is deleted.
void DetachLink(HWND dialog) {
    HWND label = GetDlgItem(dialog, IDC_ADDRESS);
    if (label && g_link.label_procedure) {
        SetWindowLongPtrW(label, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_link.label_procedure));
    }
    g_link.label_procedure = nullptr;
    if (g_link.underlined) DeleteObject(g_link.underlined);
    g_link.underlined = nullptr;
}

// Blue text on the dialog's own background, for the label only.
INT_PTR OnStaticColour(HDC dc, HWND control) {
    if (GetDlgCtrlID(control) != IDC_ADDRESS) return FALSE;
    SetTextColor(dc, RGB(0, 0, 255));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

bool OnCommand(HWND dialog, WPARAM wparam) {
    if (LOWORD(wparam) == IDC_OK) {
        EndDialog(dialog, 0);
        return true;
    }
    if (LOWORD(wparam) == IDC_ADDRESS && HIWORD(wparam) == STN_CLICKED) {
        OpenUrl(kAddress);
        return true;
    }
    return false;  // Escape's IDCANCEL among them: the dialog stays
}

}  // namespace

void OpenUrl(const wchar_t* address) {
    ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CALLBACK LinkLabel(HWND label, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_SETCURSOR && g_link.hand) {
        SetCursor(g_link.hand);
        return TRUE;
    }
    if (!g_link.label_procedure) return DefWindowProcW(label, message, wparam, lparam);
    return CallWindowProcW(g_link.label_procedure, label, message, wparam, lparam);
}

INT_PTR CALLBACK AboutDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        SetSmallIcon(dialog);
        AttachLink(dialog);
        return TRUE;  // the focus starts on "OK"
    case WM_CTLCOLORSTATIC: return OnStaticColour(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam));
    case WM_COMMAND: return OnCommand(dialog, wparam) ? TRUE : FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    case WM_DESTROY:
        DetachLink(dialog);
        return FALSE;  // the dialog manager still does its own part
    default: return FALSE;
    }
}

}  // namespace qavren::ui
