// The About and settings dialogs of the built module, driven from
// another thread as a person at a viewer would: what they show, what a click,
// Escape and the close box do, and what reaches the registry. Needs a display
// (run under Xvfb by tests/wine/with-xvfb).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "plugin/version.h"
#include "tests/wine/dialog_driver.h"
#include "tests/wine/registry_fixture.h"
#include "ui/control_ids.h"

namespace qavren::testing {
namespace {

const DWORD kCentred = SS_CENTER | SS_CENTERIMAGE | WS_GROUP;

struct ExpectedControl {
    int id;
    const wchar_t* window_class;
    std::wstring text;
    DWORD style;
    RECT units;  // x, y, width, height in dialog units
};

std::wstring Text(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

HWND Focus(HWND dialog) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    return info.hwndFocus;
}

LOGFONTW FontOf(HWND window) {
    LOGFONTW font = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

// Position and size converted each on its own, as the dialog manager does.
RECT Pixels(HWND dialog, RECT units) {
    MapDialogRect(dialog, &units);
    return {units.left, units.top, units.left + units.right, units.top + units.bottom};
}

// The frame both templates share: caption, styles, owner, (0, 0) of the
// owner's client area, size, font and small icon; and modal.
void ExpectDialog(HWND dialog, HWND host, const wchar_t* caption, LONG width, LONG height) {
    EXPECT_EQ(Text(dialog), caption);
    const DWORD wanted = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
    EXPECT_EQ(style & (wanted | DS_CENTER), wanted);
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_NOPARENTNOTIFY);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), host);
    EXPECT_FALSE(IsWindowEnabled(host));
    // The template's (0, 0) places the dialog's client area on the owner's.
    POINT host_origin = {0, 0}, origin = {0, 0};
    ClientToScreen(host, &host_origin);
    ClientToScreen(dialog, &origin);
    EXPECT_EQ(origin.x, host_origin.x);
    EXPECT_EQ(origin.y, host_origin.y);
    RECT client;
    GetClientRect(dialog, &client);
    const RECT size = Pixels(dialog, {0, 0, width, height});
    EXPECT_TRUE(EqualRect(&client, &size)) << client.right << "x" << client.bottom;

    const LOGFONTW font = FontOf(dialog);
    EXPECT_STREQ(font.lfFaceName, L"ＭＳ Ｐゴシック");
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(font.lfHeight, -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(font.lfWeight, 0);
    EXPECT_EQ(font.lfItalic, 0);
    EXPECT_EQ(font.lfCharSet, 1);
    const LRESULT icon = SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0);
    EXPECT_EQ(reinterpret_cast<HICON>(icon), LoadIconW(Plugin().module(), L"ICON_PLUGIN"));
}

// Every control in template order (which is the windows' order).
void ExpectControls(HWND dialog, const std::vector<ExpectedControl>& expected) {
    std::vector<HWND> controls;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) controls.push_back(c);
    ASSERT_EQ(controls.size(), expected.size());
    for (size_t i = 0; i < controls.size(); ++i) {
        const ExpectedControl& e = expected[i];
        SCOPED_TRACE(e.text.c_str());
        EXPECT_EQ(GetDlgCtrlID(controls[i]), e.id);
        wchar_t window_class[32] = {};
        GetClassNameW(controls[i], window_class, 32);
        EXPECT_EQ(_wcsicmp(window_class, e.window_class), 0) << window_class;
        EXPECT_EQ(Text(controls[i]), e.text);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(controls[i], GWL_STYLE)), WS_CHILD | WS_VISIBLE | e.style);
        RECT place;
        GetWindowRect(controls[i], &place);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
        const RECT wanted = Pixels(dialog, e.units);
        EXPECT_TRUE(EqualRect(&place, &wanted)) << place.left << "," << place.top << " " << place.right << ","
                                                << place.bottom;
    }
}

// Waits for the dialog a person closed (or the test, after a failure).
void ExpectClosedWithZero(const HostSession& session) {
    ASSERT_TRUE(session.Finished());
    EXPECT_EQ(session.result(), 0);
}

// The settings as GetPicture sees them: the picture of the sample cube.
std::vector<uint8_t> Picture() {
    auto get = Plugin().Function<host::GetPicture>("GetPicture");
    HLOCAL info = nullptr, bits = nullptr;
    std::vector<uint8_t> pixels;
    if (get(QAVREN_SOURCE_DIR "/examples/cube.lwo", 0, 0, &info, &bits, nullptr, 0) == 0) {
        const auto* p = static_cast<const uint8_t*>(LocalLock(bits));
        pixels.assign(p, p + LocalSize(bits));
        LocalUnlock(bits);
    }
    if (info) LocalFree(info);
    if (bits) LocalFree(bits);
    return pixels;
}

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
};

TEST_F(SettingsDialog, ShowsItsTemplateAndTheStoredMode) {
    HostSession session(1);
    HWND dialog = session.WaitForDialog();
    ASSERT_TRUE(dialog);
    ExpectDialog(dialog, session.host(), L"QAVREN.SPI  [ 設定 ]", 118, 77);
    // A checked radio button takes the tab stop, an unchecked one loses it.
    ExpectControls(dialog, {
        {IDC_OK, L"Button", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, {7, 56, 50, 14}},
        {IDC_DISCARD, L"Button", L"ｷｬﾝｾﾙ", BS_PUSHBUTTON | WS_TABSTOP, {61, 56, 50, 14}},
        {IDC_WIREFRAME, L"Button", L"ワイヤーフレーム", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, {13, 20, 68, 10}},
        {IDC_POLYGON, L"Button", L"ポリゴン", BS_AUTORADIOBUTTON, {13, 31, 39, 10}},
        {-1, L"Button", L"作成するイメージ", BS_GROUPBOX, {7, 7, 104, 41}},
    });
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_WIREFRAME), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_POLYGON), BST_UNCHECKED);
    EXPECT_EQ(Focus(dialog), GetDlgItem(dialog, IDC_OK));
    CloseBox(dialog);
    ExpectClosedWithZero(session);
}

TEST_F(SettingsDialog, PolygonThenOkStoresAllSixValues) {
    HostSession session(1);
    HWND dialog = session.WaitForDialog();
    ASSERT_TRUE(dialog);
    Click(GetDlgItem(dialog, IDC_POLYGON));
    ASSERT_TRUE(session.Sync());
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_POLYGON), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_WIREFRAME), BST_UNCHECKED);
    EXPECT_TRUE(SnapshotSettings().empty());  // a click changes the mode, it stores nothing
    Click(GetDlgItem(dialog, IDC_OK));
    ExpectClosedWithZero(session);
    EXPECT_EQ(StoredDword("Type"), 1);
    EXPECT_EQ(StoredDword("Width"), 800);
    EXPECT_EQ(StoredDword("Height"), 600);
    for (const char* angle : {"Angle X", "Angle Y", "Angle Z"}) EXPECT_EQ(StoredDword(angle), 0) << angle;
}

TEST_F(SettingsDialog, PolygonThenCancelLeavesTheStoredModeInCharge) {
    SetDword("Type", 0);
    SetDword("Width", 64);
    SetDword("Height", 48);
    const RegistrySnapshot stored = SnapshotSettings();
    const std::vector<uint8_t> wireframe = Picture();
    ASSERT_FALSE(wireframe.empty());
    {
        HostSession session(1);
        HWND dialog = session.WaitForDialog();
        ASSERT_TRUE(dialog);
        Click(GetDlgItem(dialog, IDC_POLYGON));
        ASSERT_TRUE(session.Sync());
        Click(GetDlgItem(dialog, IDC_DISCARD));
        ExpectClosedWithZero(session);
    }
    EXPECT_EQ(SnapshotSettings(), stored);
    EXPECT_EQ(Picture(), wireframe);  // the next picture loads the stored mode
    HostSession again(1);
    HWND dialog = again.WaitForDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_WIREFRAME), BST_CHECKED);
}

TEST_F(SettingsDialog, AnyOtherStoredTypeShowsPolygonAndOkKeepsIt) {
    SetDword("Type", 7);
    HostSession session(1);
    HWND dialog = session.WaitForDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_POLYGON), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_WIREFRAME), BST_UNCHECKED);
    Click(GetDlgItem(dialog, IDC_OK));
    ExpectClosedWithZero(session);
    EXPECT_EQ(StoredDword("Type"), 7);
}

TEST_F(SettingsDialog, WireframeThenOkStoresTypeZero) {
    SetDword("Type", 7);
    HostSession session(1);
    HWND dialog = session.WaitForDialog();
    ASSERT_TRUE(dialog);
    Click(GetDlgItem(dialog, IDC_WIREFRAME));
    ASSERT_TRUE(session.Sync());
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_WIREFRAME), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_POLYGON), BST_UNCHECKED);
    Click(GetDlgItem(dialog, IDC_OK));
    ExpectClosedWithZero(session);
    EXPECT_EQ(StoredDword("Type"), 0);
}

// Saving fails silently: OK still closes the dialog with 0.
TEST_F(SettingsDialog, OkClosesWhenTheKeyPathCannotBeCreated) {
    if (!MakeSettingsPathUncreatable()) {
        RemoveSettingsParent();
        GTEST_SKIP() << "this registry lets lasting keys be made below volatile ones";
    }
    {
        HostSession session(1);
        HWND dialog = session.WaitForDialog();
        ASSERT_TRUE(dialog);
        Click(GetDlgItem(dialog, IDC_POLYGON));
        Click(GetDlgItem(dialog, IDC_OK));
        ExpectClosedWithZero(session);
    }
    EXPECT_EQ(StoredDword("Type"), -1);
    RemoveSettingsParent();
}

TEST_F(SettingsDialog, EscapeKeepsItOpenAndTheCloseBoxStoresNothing) {
    HostSession session(1);
    HWND dialog = session.WaitForDialog();
    ASSERT_TRUE(dialog);
    Click(GetDlgItem(dialog, IDC_POLYGON));
    PressKey(dialog, VK_ESCAPE);
    ASSERT_TRUE(session.Sync());
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(session.Finished(0));
    CloseBox(dialog);
    ExpectClosedWithZero(session);
    EXPECT_TRUE(SnapshotSettings().empty());
}

TEST(AboutDialog, ShowsItsTemplate) {
    HostSession session(0);
    HWND dialog = session.WaitForDialog();
    ASSERT_TRUE(dialog);
    ExpectDialog(dialog, session.host(), L"QAVREN.SPI  [ バージョン情報 ]", 163, 115);
    ExpectControls(dialog, {
        {IDC_OK, L"Button", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, {55, 93, 50, 14}},
        {-1, L"Static", L"Susie Plug-in for LightWave 3D LWOB Format", kCentred, {12, 7, 136, 8}},
        {-1, L"Static", L"Version 0.10a", kCentred, {60, 20, 40, 8}},
        {-1, L"Static", L"" QAVREN_NOTICE, kCentred, {47, 33, 66, 8}},
        {IDC_ADDRESS, L"Static", L"" QAVREN_URL, kCentred | SS_NOTIFY, {33, 63, 94, 8}},
    });
    EXPECT_EQ(Focus(dialog), GetDlgItem(dialog, IDC_OK));
    Click(GetDlgItem(dialog, IDC_OK));
    ExpectClosedWithZero(session);
}

TEST(AboutDialog, TheAddressLooksAndActsLikeALink) {
    UrlCatcher catcher;
    HostSession session(0);
    HWND dialog = session.WaitForDialog();
    ASSERT_TRUE(dialog);
    HWND label = GetDlgItem(dialog, IDC_ADDRESS);
    HWND plain = GetWindow(GetDlgItem(dialog, IDC_OK), GW_HWNDNEXT);

    // Blue on the dialog's own background for the label, the default for the rest.
    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    const LRESULT brush = SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                       reinterpret_cast<LPARAM>(label));
    EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), GetSysColorBrush(COLOR_BTNFACE));
    EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 255));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    SetBkMode(dc, OPAQUE);
    SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(plain));
    EXPECT_NE(GetTextColor(dc), RGB(0, 0, 255));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    DeleteDC(dc);

    // The dialog's font, underlined, on the label alone.
    const LOGFONTW link = FontOf(label), normal = FontOf(dialog);
    EXPECT_TRUE(link.lfUnderline);
    EXPECT_FALSE(normal.lfUnderline);
    EXPECT_FALSE(FontOf(plain).lfUnderline);
    EXPECT_STREQ(link.lfFaceName, normal.lfFaceName);
    EXPECT_EQ(link.lfHeight, normal.lfHeight);
    const HGDIOBJ link_font = reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0));

    // The hand over the label only, as the host thread's cursor.
    const HCURSOR hand = LoadCursorW(Plugin().module(), L"CURSOR_HAND");
    ASSERT_TRUE(hand);
    auto cursor_over = [&](HWND control, LRESULT* answer) {
        return reinterpret_cast<HCURSOR>(session.OnHostThread([=] {
            SetCursor(nullptr);
            *answer = SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            return reinterpret_cast<LRESULT>(GetCursor());
        }));
    };
    LRESULT answer = 0;
    EXPECT_EQ(cursor_over(label, &answer), hand);
    EXPECT_EQ(answer, TRUE);
    EXPECT_NE(cursor_over(GetDlgItem(dialog, IDC_OK), &answer), hand);
    EXPECT_NE(cursor_over(plain, &answer), hand);

    // A click opens the address and the dialog stays; so does Escape.
    Click(label);
    ASSERT_TRUE(session.Sync());
    EXPECT_EQ(catcher.Wait(), L"" QAVREN_URL);
    PressKey(dialog, VK_ESCAPE);
    ASSERT_TRUE(session.Sync());
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_FALSE(session.Finished(0));
    CloseBox(dialog);
    ExpectClosedWithZero(session);
    EXPECT_EQ(GetObjectType(link_font), 0u);  // the underlined copy went with the dialog
}

TEST(ConfigurationDlg, OtherFunctionsShowNothing) {
    for (int function : {2, -1, 0x100}) {
        HostSession session(function);
        ASSERT_TRUE(session.Finished());
        EXPECT_EQ(session.result(), -1) << function;
        EXPECT_EQ(session.windows_created(), 0) << function;
    }
    int32_t delta = -1;
    EXPECT_EQ(Plugin().Call("ConfigurationDlg", {0, 2}, &delta), -1);
    EXPECT_CALLEE_POPPED(delta);
}

// The resources as a viewer's system finds them: Japanese, one 32 x 32
// 16-colour icon, and a monochrome cursor whose hot spot is the finger tip.
TEST(Resources, JapaneseTemplatesIconAndCursor) {
    HMODULE m = Plugin().module();
    const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
    for (const wchar_t* name : {L"DIALOG_ABOUT", L"DIALOG_CONFIG"}) {
        EXPECT_TRUE(FindResourceExW(m, MAKEINTRESOURCEW(5), name, japanese)) << name;  // RT_DIALOG
    }
    auto bytes = [m, japanese](const wchar_t* name, const wchar_t* type) {
        HRSRC found = FindResourceExW(m, type, name, japanese);
        return found ? static_cast<const uint8_t*>(LockResource(LoadResource(m, found))) : nullptr;
    };
    const uint8_t* icon = bytes(L"ICON_PLUGIN", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_TRUE(icon);
    const uint8_t icon_entry[] = {1, 0, 1, 0, 32, 32, 16, 0, 1, 0, 4, 0};  // type, count, w, h, colours, planes, bits
    EXPECT_EQ(std::memcmp(icon + 2, icon_entry, sizeof icon_entry), 0);

    const uint8_t* group = bytes(L"CURSOR_HAND", MAKEINTRESOURCEW(12));  // RT_GROUP_CURSOR
    ASSERT_TRUE(group);
    const uint8_t cursor_entry[] = {2, 0, 1, 0, 32, 0, 64, 0, 1, 0, 1, 0};  // type, count, w, 2h, planes, bits
    EXPECT_EQ(std::memcmp(group + 2, cursor_entry, sizeof cursor_entry), 0);
    const uint8_t* cursor = bytes(MAKEINTRESOURCEW(group[18] | group[19] << 8), MAKEINTRESOURCEW(1));  // RT_CURSOR
    ASSERT_TRUE(cursor);
    EXPECT_EQ(cursor[0] | cursor[1] << 8 | cursor[2] << 16 | cursor[3] << 24, 0);  // hot spot (0, 0)
    // Rows are stored bottom-up: the top row is the last of each bitmap.
    const uint8_t* top_colour = cursor + 4 + 40 + 8 + 31 * 4;
    const uint8_t* top_mask = top_colour + 32 * 4;
    EXPECT_EQ(top_colour[0] & 0x80, 0);  // (0, 0): black outline, opaque
    EXPECT_EQ(top_mask[0] & 0x80, 0);
    EXPECT_EQ(top_mask[3] & 0x01, 1);  // (31, 0): transparent
}

}  // namespace
}  // namespace qavren::testing

int main(int argc, char** argv) {
    int exit_code = 0;
    if (qavren::testing::RunAsUrlRecorder(&exit_code)) return exit_code;
    qavren::testing::PrepareDesktop();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
