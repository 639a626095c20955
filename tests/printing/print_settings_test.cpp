// The print options as stored per user: defaults, range rules on load,
// what a save writes back, and the copy into the plain holder.

#include <gtest/gtest.h>

#include "foundation/mod_registry.h"
#include "printing/gdi_prn.h"
#include "printing/prnt_optns.h"
#include "support/scoped_env.h"

namespace {

void Store(const std::string& key, const std::string& value) {
    modRegistry::SaveAppSetting("TALQWinPrnt", "Settings", key, value);
}

std::string Stored(const std::string& key) {
    return modRegistry::GetAppSetting("TALQWinPrnt", "Settings", key, "<none>");
}

TEST(PrintSettings, EmptyStoreLoadsTheDefaults) {
    testsupport::ScopedUserStores stores;
    cGdiPrn engine;
    engine.KeyFontName("Courier");
    engine.UseBarCode(true);
    engine.LoadUserPrintSettings();
    EXPECT_EQ(engine.KeyFontName(), "Arial");
    EXPECT_EQ(engine.MsgFontName(), "Arial");
    EXPECT_EQ(engine.KeyFontSize(), 14);
    EXPECT_EQ(engine.KeyPsn(), 6);
    EXPECT_EQ(engine.MsgPsn(), 4);
    EXPECT_FALSE(engine.UseBarCode());
    EXPECT_EQ(engine.SupportedSizes(), 0);
    EXPECT_EQ(engine.SlipSheetPaperTray(), 0);
    std::int32_t f[6];
    engine.GetCustomFrames(f[0], f[1], f[2], f[3], f[4], f[5]);
    EXPECT_EQ(std::vector<std::int32_t>(f, f + 6),
              (std::vector<std::int32_t>{2400, 3128, 2400, 4000, 3128, 4936}));
}

// Stored texts and what the engine holds after loading them.
TEST(PrintSettings, LoadAppliesTheRangeRulesAndKeepsSharedZones) {
    struct Case {
        std::string key, stored;
        std::function<std::int32_t(cGdiPrn&)> read;
        std::int32_t expected;
    };
    auto keyPsn = [](cGdiPrn& e) { return e.KeyPsn(); };
    auto msgPsn = [](cGdiPrn& e) { return e.MsgPsn(); };
    auto keySize = [](cGdiPrn& e) { return static_cast<std::int32_t>(e.KeyFontSize()); };
    auto sizes = [](cGdiPrn& e) { return e.SupportedSizes(); };
    const std::vector<Case> cases = {
        {"KeyFontSize", "3", keySize, 6},     {"KeyFontSize", "500", keySize, 300},
        {"KeyFontSize", "12.5", keySize, 12}, {"KeyFontSize", "13.5", keySize, 14},
        {"KeyFontSize", "abc", keySize, 6},   {"KeyPsn", "0", keyPsn, 6},
        {"KeyPsn", "7", keyPsn, 6},           {"KeyPsn", "2", keyPsn, 2},
        {"MsgPsn", "5", msgPsn, 5},           {"MsgPsn", "6", msgPsn, 6},
        {"MsgPsn", "0", msgPsn, 4},           {"MsgPsn", "9", msgPsn, 4},
        {"AllowableSizes", "7", sizes, 0},    {"AllowableSizes", "-1", sizes, 0},
        {"AllowableSizes", "5", sizes, 5},
    };
    for (const Case& c : cases) {
        testsupport::ScopedUserStores stores;
        Store(c.key, c.stored);
        cGdiPrn engine;
        engine.LoadUserPrintSettings();
        EXPECT_EQ(c.read(engine), c.expected) << c.key << "=" << c.stored;
    }
    // The key's own zone stays the message's when the two share it.
    testsupport::ScopedUserStores stores;
    Store("KeyPsn", "4");
    Store("MsgPsn", "4");
    cGdiPrn engine;
    engine.LoadUserPrintSettings();
    EXPECT_EQ(engine.KeyPsn(), 4);
    EXPECT_EQ(engine.MsgPsn(), 4);
}

TEST(PrintSettings, SaveWritesFlagsAsMinusOneAndKeepsStoredFramesForZero) {
    testsupport::ScopedUserStores stores;
    Store("LetterX", "2550");
    cGdiPrn engine;
    engine.MsgAboveKey(true);
    engine.UseBarCode(true);
    engine.ResizeStaple(true);
    engine.ResizeDuplex(true);
    engine.MaxHorzScale(true);
    engine.EnlargeSmallImages(true);
    engine.AllowLandscapeBatesMsg(true);
    engine.KeyFontBold(true);
    engine.MsgFontItalic(true);
    engine.MsgFontUnderline(true);
    engine.SetCustomFrames(0, 3300, 2400, 4000, 3128, 4936);
    engine.SaveUserPrintSettings();
    EXPECT_EQ(Stored("UseBarCode"), "-1");
    EXPECT_EQ(Stored("LetterX"), "2550");
    EXPECT_EQ(Stored("KeyFontFlags"), "1");
    EXPECT_EQ(Stored("MsgFontFlags"), "6");

    cGdiPrn loaded;
    loaded.LoadUserPrintSettings();
    EXPECT_TRUE(loaded.MsgAboveKey() && loaded.UseBarCode() && loaded.ResizeStaple() &&
                loaded.ResizeDuplex() && loaded.MaxHorzScale() && loaded.EnlargeSmallImages() &&
                loaded.AllowLandscapeBatesMsg());
    EXPECT_TRUE(loaded.KeyFontBold() && !loaded.KeyFontItalic());
    EXPECT_TRUE(loaded.MsgFontItalic() && loaded.MsgFontUnderline() && !loaded.MsgFontBold());
    EXPECT_EQ(loaded.Frames().LetterX, 2550);
    EXPECT_EQ(loaded.Frames().LetterY, 3300);
}

// Each option stored alone under the name older versions used: it loads, a
// save writes it back as stored, and the holder's copy keeps it (trays and
// colours aside). Nothing stored loads the defaults.
TEST(PrintSettings, EveryOptionKeepsItsStoredNameThroughLoadSaveAndCopy) {
    struct Case {
        std::string key, stored;
    };
    const Case cases[] = {
        {"KeyFontName", "Courier"},
        {"KeyFontSize", "20"},
        {"KeyPsn", "2"},
        {"KeyFontFlags", "5"},
        {"KeyFontColor", "255"},
        {"MsgFontName", "Times"},
        {"MsgFontSize", "9"},
        {"MsgPsn", "5"},
        {"MsgFontFlags", "2"},
        {"MsgFontColor", "65280"},
        {"MsgAboveKey", "-1"},
        {"UseBarCode", "-1"},
        {"MaxHorzScale", "-1"},
        {"EnlargeSmall", "-1"},
        {"ResizeStaple", "-1"},
        {"ResizeDuplex", "-1"},
        {"AllowLandscapeBatesMsg", "-1"},
        {"AllowableSizes", "3"},
        {"TopClip", "10"},
        {"LeftClip", "11"},
        {"RightClip", "12"},
        {"BottomClip", "13"},
        {"LeftMargin", "14"},
        {"TopMargin", "15"},
        {"SlipSheetTray", "7"},
        {"LetterX", "2550"},
        {"LetterY", "3300"},
        {"LegalX", "2551"},
        {"LegalY", "4200"},
        {"OverSizeX", "3300"},
        {"OverSizeY", "5100"},
    };
    {
        testsupport::ScopedUserStores stores;
        cGdiPrn engine;
        engine.UseBarCode(true);
        engine.LoadUserPrintSettings();
        EXPECT_EQ(engine.Options(), PrintOptionSet{});
    }
    for (const Case& c : cases) {
        PrintOptionSet loaded;
        {
            testsupport::ScopedUserStores stores;
            Store(c.key, c.stored);
            cGdiPrn engine;
            engine.LoadUserPrintSettings();
            loaded = engine.Options();
            EXPECT_NE(loaded, PrintOptionSet{}) << c.key;
            cPrntOptns holder;
            engine.SetPrinterOptionsObject(holder);
            PrintOptionSet expected = loaded;
            expected.keyFontColor = expected.msgFontColor = 0;
            expected.slipSheetPaperTray = 0;
            EXPECT_EQ(holder.Options(), expected) << c.key;
        }
        testsupport::ScopedUserStores stores;
        cGdiPrn engine;
        engine.Options(loaded);
        engine.SaveUserPrintSettings();
        EXPECT_EQ(Stored(c.key), c.stored);
        cGdiPrn reloaded;
        reloaded.LoadUserPrintSettings();
        EXPECT_EQ(reloaded.Options(), loaded) << c.key;
    }
}

TEST(PrintSettings, HolderTakesTheEngineOptionsButNotColours) {
    cGdiPrn engine;
    engine.MsgFontItalic(true);
    engine.KeyFontName("");
    engine.KeyFontColor(255);
    engine.MsgPsn(5);
    engine.TopClip(20);
    engine.SetCustomFrames(1, 2, 3, 4, 5, 6);
    cPrntOptns holder;
    engine.SetPrinterOptionsObject(holder);
    EXPECT_TRUE(holder.MsgFontItalic());
    EXPECT_FALSE(holder.KeyFontItalic());
    EXPECT_EQ(holder.KeyFontName(), "Arial");
    EXPECT_EQ(holder.KeyFontColor(), 0);
    EXPECT_EQ(holder.MsgPsn(), 5);
    EXPECT_EQ(holder.TopClip(), 20);
    EXPECT_EQ(holder.Frames().OverSizeY, 6);
}

}  // namespace
