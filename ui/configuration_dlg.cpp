// ConfigurationDlg: the export through which the host opens the About
// dialog (function 0) or the settings dialog (function 1).
//
// The dialogs are created with the wide-character functions: the templates
// hold their Japanese texts as UTF-16, and through the 8-bit functions they
// would pass the system code page and turn into "?" on any non-Japanese one.
#include "platform/fp_guard.h"
#include "plugin/exports.h"
#include "ui/dialogs.h"

namespace qavren::ui {

void SetSmallIcon(HWND dialog) {
    // A shared icon of the module: the system keeps it, nothing to destroy.
    HICON icon = LoadIconW(ModuleInstance(), L"ICON_PLUGIN");
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

}  // namespace qavren::ui

// Modal, owned by `parent`. The answer is 0 once a dialog has closed,
// however it ended and even if it could not be created.
extern "C" int WINAPI ConfigurationDlg(HWND parent, int function) {
    using namespace qavren;
    FloatingPointGuard fp;
    switch (function) {
    case 0: DialogBoxParamW(ModuleInstance(), L"DIALOG_ABOUT", parent, ui::AboutDialog, 0); return 0;
    case 1: DialogBoxParamW(ModuleInstance(), L"DIALOG_CONFIG", parent, ui::ConfigDialog, 0); return 0;
    default: return -1;
    }
}
