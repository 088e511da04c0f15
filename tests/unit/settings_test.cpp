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

// A key the user may read but not modify cannot be opened with all access:
// the store then gives the defaults, whatever is stored.
TEST_F(SettingsStore, ReadOnlyKeyGivesTheDefaults) {
    SetDword("Width", 1024);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPLICIT_ACCESS_A read_only = {};
    char everyone[] = "EVERYONE";
    BuildExplicitAccessWithNameA(&read_only, everyone, KEY_READ, SET_ACCESS, NO_INHERITANCE);
    PACL acl = nullptr;
    ASSERT_EQ(SetEntriesInAclA(1, &read_only, nullptr, &acl), ERROR_SUCCESS);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(key);
    LocalFree(acl);

    HKEY probe;
    const bool enforced =
        RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsPath, 0, KEY_ALL_ACCESS, &probe) != ERROR_SUCCESS;
    if (!enforced) {
        RegCloseKey(probe);
        GTEST_SKIP() << "this registry does not enforce key security";
    }
    EXPECT_EQ(LoadSettings().width, 800);
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
