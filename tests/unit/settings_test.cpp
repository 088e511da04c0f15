// The settings store against the real registry of the Wine test prefix;
// natively, where there is no registry, the settings keep their defaults.
#include <gtest/gtest.h>

#include "settings/settings_store.h"

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>

#include "settings/settings_key.h"
#include "tests/wine/registry_fixture.h"

namespace qavren {
namespace {

using namespace testing;

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override {
        ClearSettings();
        SetCurrentSettings(RenderSettings{});
    }
};

bool KeyExists(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

TEST_F(SettingsStore, NoKeyGivesTheDefaultsAndLeavesAnEmptySubkey) {
    RenderSettings odd;
    odd.mode = 3;
    odd.width = 5;
    odd.angle_z = 9;
    SetCurrentSettings(odd);
    const RenderSettings s = LoadSettings();
    EXPECT_EQ(s.mode, 0);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.angle_z, 0);
    EXPECT_EQ(CurrentSettings().width, 800);
    EXPECT_TRUE(KeyExists(kDrawImagePath));
    EXPECT_EQ(StoredDword("Type"), -1);
}

TEST_F(SettingsStore, EachValueOnItsOwn) {
    SetDword("Width", 1024);
    SetDword("Angle Y", uint32_t(-7));
    const RenderSettings s = LoadSettings();
    EXPECT_EQ(s.width, 1024);
    EXPECT_EQ(s.height, 600);
    EXPECT_EQ(s.angle_y, -7);
    const uint64_t eight = 5;
    SetValue("Height", REG_QWORD, &eight, 8);
    EXPECT_EQ(LoadSettings().height, 600);
}

TEST_F(SettingsStore, SaveWritesAllSixValues) {
    SetDword("Type", 7);
    LoadSettings();
    SaveSettings();
    EXPECT_EQ(StoredDword("Type"), 7);
    EXPECT_EQ(StoredDword("Width"), 800);
    EXPECT_EQ(StoredDword("Height"), 600);
    for (const char* angle : {"Angle X", "Angle Y", "Angle Z"}) EXPECT_EQ(StoredDword(angle), 0) << angle;
}

// Leaves `path` readable but not modifiable by anyone; true when the
// registry then refuses to open it with all access.
bool DenyModifying(const char* path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    EXPLICIT_ACCESS_A read_only = {};
    char everyone[] = "EVERYONE";
    BuildExplicitAccessWithNameA(&read_only, everyone, KEY_READ, SET_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    if (SetEntriesInAclA(1, &read_only, nullptr, &acl) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return false;
    }
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(key);
    LocalFree(acl);
    HKEY probe;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, &probe) != ERROR_SUCCESS) return true;
    RegCloseKey(probe);
    return false;
}

// A key the user may read but not modify cannot be opened with all access:
// the store then gives the defaults, whatever is stored.
TEST_F(SettingsStore, ReadOnlyKeyGivesTheDefaults) {
    SetDword("Width", 1024);
    if (!DenyModifying(kSettingsPath)) GTEST_SKIP() << "this registry does not enforce key security";
    EXPECT_EQ(LoadSettings().width, 800);
}

// The same for "Draw Image" alone: the key path opens, but each value is
// read through a subkey that does not, so each falls back to its default.
TEST_F(SettingsStore, ReadOnlySubkeyGivesTheDefaults) {
    SetDword("Width", 1024);
    SetDword("Type", 1);
    if (!DenyModifying(kDrawImagePath)) GTEST_SKIP() << "this registry does not enforce key security";
    const RenderSettings s = LoadSettings();
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.mode, 0);
}

// When the key path cannot be created, saving writes nothing and says
// nothing, and loading gives the defaults.
TEST_F(SettingsStore, NoKeyPathMeansNothingSavedAndTheDefaults) {
    if (!MakeSettingsPathUncreatable()) {
        RemoveSettingsParent();
        GTEST_SKIP() << "this registry lets lasting keys be made below volatile ones";
    }
    RenderSettings polygons;
    polygons.mode = 1;
    polygons.width = 64;
    SetCurrentSettings(polygons);
    SaveSettings();
    EXPECT_FALSE(KeyExists(kSettingsPath));
    EXPECT_EQ(LoadSettings().width, 800);
    EXPECT_EQ(CurrentSettings().mode, 0);
    RemoveSettingsParent();
}

TEST(SettingsKeyStates, ClosedKeyFallsBackAndCloseReportsIt) {
    SettingsKey key;
    EXPECT_EQ(key.ReadDword("Draw Image", "Width", 42), 42u);
    EXPECT_FALSE(key.WriteDword("Draw Image", "Width", 1));
    EXPECT_FALSE(key.Close());
    ASSERT_TRUE(key.Open(kSettingsPath));
    EXPECT_TRUE(key.Open("ignored\\because\\open"));
    EXPECT_TRUE(key.Close());
    EXPECT_FALSE(key.Close());
    ClearSettings();
}

}  // namespace
}  // namespace qavren

#else

namespace qavren {
namespace {

TEST(SettingsStore, NativeBuildKeepsTheRecordAsItStands) {
    const RenderSettings s = LoadSettings();
    EXPECT_EQ(s.mode, 0);
    EXPECT_EQ(s.width, 800);
    EXPECT_EQ(s.height, 600);
    SaveSettings();
    EXPECT_EQ(CurrentSettings().width, 800);
}

}  // namespace
}  // namespace qavren

#endif
