// Control identifiers shared by the dialog templates (ui/qavren.rc) and the
// dialog procedures. Plain macros, so that the resource compiler reads them.
#pragma once

#define IDC_OK 1000
#define IDC_ADDRESS 1001  // the About dialog's web-address label
#define IDC_DISCARD 1002  // "ｷｬﾝｾﾙ": not IDCANCEL (2), so Escape closes nothing
#define IDC_WIREFRAME 1004
#define IDC_POLYGON 1005
