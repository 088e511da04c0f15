// The settings dialog: wireframe or polygon drawing. A radio button changes
// the process-wide mode at once; only OK stores it, with the other five
// values; "ｷｬﾝｾﾙ" and the close box leave the registry as it was, and the
// next LoadSettings brings the stored mode back.
#include "settings/render_settings.h"
#include "settings/settings_store.h"
#include "ui/control_ids.h"
#include "ui/dialogs.h"

namespace qavren::ui {
namespace {

void OnInit(HWND dialog) {
    const RenderSettings settings = LoadSettings();
    SetSmallIcon(dialog);
    CheckRadioButton(dialog, IDC_WIREFRAME, IDC_POLYGON, settings.mode == 0 ? IDC_WIREFRAME : IDC_POLYGON);
}

// The notification code is not looked at: a radio button sends only clicks.
bool OnCommand(HWND dialog, int id) {
    switch (id) {
    case IDC_WIREFRAME: SetCurrentMode(0); return true;
    case IDC_POLYGON: SetCurrentMode(1); return true;
    case IDC_OK:
        SaveSettings();
        EndDialog(dialog, 0);
        return true;
    case IDC_DISCARD: EndDialog(dialog, 0); return true;
    default: return false;  // Escape's IDCANCEL among them: the dialog stays
    }
}

}  // namespace

INT_PTR CALLBACK ConfigDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM /*lparam*/) {
    switch (message) {
    case WM_INITDIALOG:
        OnInit(dialog);
        return TRUE;  // the focus starts on the first tab stop, "OK"
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wparam)) ? TRUE : FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace qavren::ui
