// ConfigurationDlg: the About and settings dialogs. Not built yet.
#include "plugin/exports.h"

extern "C" int WINAPI ConfigurationDlg(HWND, int) { return -1; }
