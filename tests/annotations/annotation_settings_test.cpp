#include "annotations/annotation_settings.h"

#include <gtest/gtest.h>

#include "platform/settings_store.h"
#include "support/scoped_env.h"

using namespace annotations;
using platform::GetSetting;
using platform::SaveSetting;

namespace {

TEST(AnnotationSettings, NewUserGetsTheFirstUseValues) {
    testsupport::ScopedUserStores stores;
    AnnotationSettings s = LoadAnnotationSettings();
    EXPECT_EQ(s.DfltRedactFont, "Arial");
    EXPECT_EQ(s.DfltRedactFontColor, 16777215);
    EXPECT_EQ(s.g_CalcDocPsn, 1);
    EXPECT_TRUE(s.SpellCheck);
    EXPECT_EQ(s.QuesterMaxItems, 1000);
}

TEST(AnnotationSettings, MissingRedactFontIgnoresEveryOtherKey) {
    testsupport::ScopedUserStores stores;
    SaveSetting("VYNClient", "AnnotDefaults", "MarkUpColor", "12");
    SaveSetting("VYNClient", "Quester", "SpellCheck", "0");
    AnnotationSettings s = LoadAnnotationSettings();
    EXPECT_EQ(s.DfltMarkUpColor, 255);
    EXPECT_TRUE(s.SpellCheck);
}

TEST(AnnotationSettings, MissingKeysTakeTheirMissingValues) {
    testsupport::ScopedUserStores stores;
    SaveSetting("VYNClient", "AnnotDefaults", "RedactFont", "Courier New");
    AnnotationSettings s = LoadAnnotationSettings();
    EXPECT_EQ(s.DfltRedactFont, "Courier New");
    EXPECT_FALSE(s.SpellCheck);  // missing reads as "0"
    EXPECT_EQ(s.QuesterMaxItems, 1000);
    EXPECT_EQ(s.DfltAnnotFont, "Arial");
}

TEST(AnnotationSettings, OutOfRangeChoicesAreRepairedAndSavedBackRepaired) {
    testsupport::ScopedUserStores stores;
    SaveSetting("VYNClient", "AnnotDefaults", "RedactFont", "Arial");
    SaveSetting("VYNClient", "Settings", "DateFormat", "7");
    SaveSetting("VYNClient", "Settings", "CalcDocPsn", "5");
    SaveSetting("VYNClient", "Settings", "RedactFill", "9");
    SaveSetting("VYNClient", "Settings", "NativeApp", "yes");
    SaveSetting("VYNClient", "AnnotDefaults", "MarkUpSize", "42.5px");
    AnnotationSettings s = LoadAnnotationSettings();
    EXPECT_EQ(s.DateFormat, 0);
    EXPECT_EQ(s.g_CalcDocPsn, 0);
    EXPECT_EQ(s.RedactFill, 0);
    EXPECT_EQ(s.g_UseNativeAppView, 0);
    EXPECT_EQ(s.DfltMarkUpSize, 42);  // half to even
    SaveAnnotationSettings(s);
    EXPECT_EQ(GetSetting("VYNClient", "Settings", "CalcDocPsn"), "0");
}

TEST(AnnotationSettings, RoundTripsAndStickyRotationStartsOff) {
    testsupport::ScopedUserStores stores;
    AnnotationSettings s;
    s.DfltRedactLabel = "PRIVILEGED";
    s.DfltHiLiteColor = 65280;
    s.g_StatusLine = 9;
    s.UseTextBox = true;
    s.StickyRotate = true;
    s.g_StickyRotation = 3;
    s.QuesterMaxItems = 250;
    s.SpellCheck = false;
    SaveAnnotationSettings(s);
    EXPECT_EQ(GetSetting("VYNClient", "Settings", "StickyRotate"), "1,3");
    AnnotationSettings back = LoadAnnotationSettings();
    EXPECT_EQ(back.DfltRedactLabel, "PRIVILEGED");
    EXPECT_EQ(back.DfltHiLiteColor, 65280);
    EXPECT_EQ(back.g_StatusLine, 9);
    EXPECT_TRUE(back.UseTextBox);
    EXPECT_FALSE(back.StickyRotate);
    EXPECT_EQ(back.g_StickyRotation, 0);
    EXPECT_EQ(back.QuesterMaxItems, 250);
    EXPECT_FALSE(back.SpellCheck);
}

}  // namespace
