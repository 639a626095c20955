#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolButton>

#include "foundation/widgets/generic_dialogs.h"
#include "platform/settings_store.h"
#include "support/fake_dialog_runner.h"
#include "support/scripted_dialog.h"
#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::FrmViewTest;

void Store(const std::string& section, const std::string& key, const std::string& value) {
    platform::SaveSetting("VYNClient", section, key, value);
}

std::string Stored(const std::string& section, const std::string& key) {
    return platform::GetSetting("VYNClient", section, key, "<missing>");
}

class FrmViewMenusTest : public FrmViewTest {
  protected:
    // A fresh window over the present settings store (the old one, which
    // saves on its way out, must be gone before the store is written).
    void Reload() {
        window = std::make_unique<viewer::frmView>([this] {
            auto s = std::make_unique<testsupport::FakeViewerSession>();
            session = s.get();
            return s;
        });
        window->Form_Load();
    }
    int Checked(const std::array<QAction*, 4>& group) {
        int n = 0, at = -1;
        for (size_t i = 0; i < group.size(); ++i) {
            if (group[i]->isChecked()) {
                ++n;
                at = static_cast<int>(i);
            }
        }
        return n == 1 ? at : -1;
    }
};

TEST_F(FrmViewMenusTest, FirstRunChecksTheBuiltInDefaults) {
    EXPECT_TRUE(window->ui.mnuQualityHigh->isChecked());
    EXPECT_FALSE(window->ui.mnuQualityLow->isChecked());
    EXPECT_TRUE(window->ui.mnuStsDocCnt->isChecked());
    EXPECT_FALSE(window->ui.mnuStsImgKey->isChecked());
    EXPECT_TRUE(window->ui.mnuRedStyle[0]->isChecked());
    EXPECT_EQ(Checked(window->ui.mnuDtFmt), 0);
    EXPECT_FALSE(window->ui.mnuStsDate->isChecked());
    EXPECT_FALSE(window->ui.cmdUseNative->isChecked());
    EXPECT_EQ(window->settings.DfltHiLiteColor, 65535);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project Not Selected"));
}

TEST_F(FrmViewMenusTest, StoredSettingsSetTheirCheckMarksAndBadValuesAreRepaired) {
    window.reset();
    Store("AnnotDefaults", "RedactFont", "Courier");
    Store("Settings", "ImageQuality", "2");
    Store("Settings", "DateFormat", "9");
    Store("Settings", "RedactFill", "7");
    Store("Settings", "CalcDocPsn", "5");
    Store("Settings", "StatusLine", "10");
    Store("Settings", "NativeApp", "1");
    Store("Settings", "UseTextBox", "1");
    Store("Settings", "StickyRotate", "1,2");
    Reload();
    EXPECT_TRUE(window->ui.mnuQualityMedium->isChecked());
    EXPECT_FALSE(window->ui.mnuQualityHigh->isChecked());
    EXPECT_EQ(Checked(window->ui.mnuDtFmt), 0);
    EXPECT_TRUE(window->ui.mnuRedStyle[0]->isChecked());
    EXPECT_EQ(window->settings.RedactFill, 0);
    EXPECT_TRUE(window->ui.mnuStsImgKey->isChecked());
    EXPECT_FALSE(window->ui.mnuStsDocCnt->isChecked());
    EXPECT_EQ(window->settings.g_CalcDocPsn, 0);
    EXPECT_FALSE(window->ui.mnuStsFldrDesc->isChecked());
    EXPECT_TRUE(window->ui.mnuStsTags->isChecked());
    EXPECT_FALSE(window->ui.mnuStsInfoOnly->isChecked());
    EXPECT_TRUE(window->ui.mnuStsDate->isChecked());
    EXPECT_TRUE(window->ui.cmdUseNative->isChecked());
    EXPECT_TRUE(window->ui.mnuUseTextBox->isChecked());
    EXPECT_FALSE(window->ui.mnuStickyRotate->isChecked());
    EXPECT_FALSE(window->settings.StickyRotate);

    window->Form_Unload();
    EXPECT_EQ(Stored("Settings", "RedactFill"), "0");
    EXPECT_EQ(Stored("Settings", "CalcDocPsn"), "0");
    EXPECT_EQ(Stored("Settings", "StickyRotate"), "0");
    EXPECT_EQ(Stored("AnnotDefaults", "RedactFont"), "Courier");
}

TEST_F(FrmViewMenusTest, QualityChoiceChecksOneEntryAndRefetchesOnlyOnChange) {
    window->mnuQualityLow_Click();
    EXPECT_EQ(window->settings.g_ViewQuality, 1);
    EXPECT_TRUE(window->ui.mnuQualityLow->isChecked());
    EXPECT_FALSE(window->ui.mnuQualityHigh->isChecked());
    window->page.szCurrentKey = "K0002";
    window->page.g_szLockedKey = "K0002";
    session->projectValid = true;
    window->mnuQualityLow_Click();  // same quality: the page stays
    EXPECT_TRUE(session->locksSet.empty());
    window->mnuQualityMedium_Click();  // the page is fetched again
    EXPECT_EQ(session->locksSet, std::vector<std::string>{"K0002"});
    EXPECT_EQ(window->page.szCurrentKey, "K0002");
}

TEST_F(FrmViewMenusTest, PageHandlersBeepAndChangeNothingWhileARequestRuns) {
    session->busy = true;
    window->mnuQualityLow_Click();
    std::int16_t fill = 2;
    window->mnuRedStyle_Click(fill);
    window->mnuUseTextBox_Click();
    window->mnuStsDate_Click();
    EXPECT_EQ(window->settings.g_ViewQuality, 0);
    EXPECT_EQ(window->settings.RedactFill, 0);
    EXPECT_FALSE(window->settings.UseTextBox);
    EXPECT_EQ(window->settings.g_StatusLine, 0);
    EXPECT_TRUE(window->ui.mnuQualityHigh->isChecked());
    EXPECT_EQ(prompts.Beeps(), 4);
}

TEST_F(FrmViewMenusTest, StatusBitsToggleWithTheirMarksAndOnlyZeroCrossingsRelayTheFooter) {
    ASSERT_TRUE(window->ui.lblStatus->isVisible());
    window->mnuStsDate_Click();
    EXPECT_EQ(window->settings.g_StatusLine, 8);
    EXPECT_TRUE(window->ui.mnuStsDate->isChecked());
    EXPECT_TRUE(window->ui.txtStatus->isVisible());
    EXPECT_FALSE(window->ui.lblStatus->isVisible());
    window->mnuStsTags_Click();
    EXPECT_EQ(window->settings.g_StatusLine, 10);
    window->mnuStsDate_Click();
    EXPECT_EQ(window->settings.g_StatusLine, 2);
    EXPECT_TRUE(window->ui.txtStatus->isVisible());
    window->mnuStsTags_Click();
    EXPECT_EQ(window->settings.g_StatusLine, 0);
    EXPECT_FALSE(window->ui.mnuStsTags->isChecked());
    EXPECT_TRUE(window->ui.lblStatus->isVisible());
}

TEST_F(FrmViewMenusTest, PositionEntriesKeepTheDocumentBoundsAndMarkThemStale) {
    window->docPosition.g_szDocBkey = "K0001";
    window->docPosition.g_szDocEkey = "K0009";
    window->mnuStsFullPos_Click();
    EXPECT_EQ(window->settings.g_CalcDocPsn, 2);
    EXPECT_TRUE(window->ui.mnuStsFullPos->isChecked());
    EXPECT_FALSE(window->ui.mnuStsDocCnt->isChecked());
    EXPECT_FALSE(window->ui.mnuStsImgKey->isChecked());
    EXPECT_EQ(window->docPosition.g_szDocBkey, "K0001");
    EXPECT_EQ(window->docPosition.g_szDocEkey, "K0009");
    EXPECT_TRUE(window->docPosition.g_DocBoundsStale);
}

TEST_F(FrmViewMenusTest, RedactionLabelPromptClearsWithASpaceAndDropsControlCharacters) {
    prompts.QueueInput("  Priv\tileged\x01 ");
    window->mnuRedactLabel_Click();
    EXPECT_EQ(window->settings.DfltRedactLabel, "Privileged");
    ASSERT_EQ(prompts.Records().back().text, "Enter Redaction Label.");

    prompts.QueueInput("");  // Cancel keeps the label
    window->mnuRedactLabel_Click();
    EXPECT_EQ(window->settings.DfltRedactLabel, "Privileged");
    EXPECT_EQ(prompts.Records().back().text,
              "Enter Redaction Label.\nTo Delete Current Label, Enter a SPACE.");
    EXPECT_EQ(prompts.Records().back().title, " ");
    EXPECT_EQ(prompts.Records().back().defaultText, "Privileged");

    prompts.QueueInput(" ");
    window->mnuRedactLabel_Click();
    EXPECT_EQ(window->settings.DfltRedactLabel, "");
}

TEST_F(FrmViewMenusTest, ColourAndFontChoicesTakeEffectAndCancelKeepsThem) {
    testsupport::FakeDialogRunner runner;
    mComDlg::ScopedDialogRunner scoped(runner);
    runner.colors.push_back(0x123456u);
    window->mnuHilitColor_Click();
    EXPECT_EQ(window->settings.DfltHiLiteColor, 0x123456);
    window->mnuMarkUpColor_Click();  // cancelled
    EXPECT_EQ(window->settings.DfltMarkUpColor, 255);
    mComDlg::FontChoice font;
    font.face = "Courier New";
    font.pointTenths = 140;
    font.weight = 700;
    font.color = 0x0000FF;
    runner.fonts.push_back(font);
    window->mnuRedactFont_Click();
    EXPECT_EQ(window->settings.DfltRedactFont, "Courier New");
    EXPECT_EQ(window->settings.DfltRedactFontSize, 14);
    EXPECT_EQ(window->settings.DfltRedactFontStyle & 8, 8);
    EXPECT_EQ(window->settings.DfltRedactFontColor, 0x0000FF);
}

TEST_F(FrmViewMenusTest, ToggleEntriesFlipTheirFieldAndMark) {
    window->page.g_Rotation = 1;
    window->mnuStickyRotate_Click();
    EXPECT_TRUE(window->settings.StickyRotate);
    EXPECT_EQ(window->settings.g_StickyRotation, 1);
    EXPECT_TRUE(window->ui.mnuStickyRotate->isChecked());
    window->cmdUseNative_Click();
    EXPECT_EQ(window->settings.g_UseNativeAppView, 1);
    EXPECT_TRUE(window->ui.cmdUseNative->isChecked());
    window->cmdUseNative_Click();
    EXPECT_EQ(window->settings.g_UseNativeAppView, 0);
    std::int16_t fmt = 3;
    window->mnuDtFmt_Click(fmt);
    EXPECT_EQ(window->settings.DateFormat, 3);
    EXPECT_EQ(Checked(window->ui.mnuDtFmt), 3);

    window->Form_Unload();
    EXPECT_EQ(Stored("Settings", "StickyRotate"), "1,1");
    EXPECT_EQ(Stored("Settings", "DateFormat"), "3");
}

TEST_F(FrmViewMenusTest, TriggeringAMenuEntryLeavesItsMarkToTheHandler) {
    window->ui.mnuStsDate->trigger();
    EXPECT_TRUE(window->ui.mnuStsDate->isChecked());
    EXPECT_EQ(window->settings.g_StatusLine, 8);
    window->ui.mnuRedStyle[2]->trigger();
    EXPECT_EQ(window->settings.RedactFill, 2);
    EXPECT_TRUE(window->ui.mnuRedStyle[2]->isChecked());
    EXPECT_FALSE(window->ui.mnuRedStyle[0]->isChecked());
}

// Both were once refused with a beep and dropped.
TEST_F(FrmViewMenusTest, ExitAndCloseWhileARequestRunsAreCarriedOutOnceItHasUnwound) {
    session->busy = true;
    window->mnuExit_Click();
    EXPECT_FALSE(window->close());
    EXPECT_EQ(window->run.AbortNow, 1);
    EXPECT_EQ(window->run.MainFormLoaded, 1) << "nothing torn down under the request";
    session->busy = false;
    window->CloseWhenIdle();  // the window's next look
    EXPECT_EQ(window->run.MainFormLoaded, 0);
    EXPECT_FALSE(window->TalqAPi);
    EXPECT_EQ(prompts.Beeps(), 0);
}

TEST_F(FrmViewMenusTest, ProjectChoiceLogsInFirstSelectsAndTitlesTheWindow) {
    session->loginSucceeds = true;
    session->projectList = std::string("ALPHA") + kListSep + "BETA";
    session->selectable = {"BETA"};
    session->backWardLink = "  DOCID ";
    talq::DialogFactory<frmListBox>::Scoped pick(
        testsupport::ScriptedMaker<frmListBox>([&](frmListBox& d) {
            EXPECT_FALSE(window->IsInputBlocked());  // the list itself must stay usable
            d.List1->setCurrentRow(1);
            d.cmdOK_Click();
        }));
    window->mnu_project_Click();
    EXPECT_EQ(session->logins, 1);
    EXPECT_EQ(window->login.szUserID, "REVIEWER");
    EXPECT_EQ(window->login.szProjectName, "BETA");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project: BETA"));
    EXPECT_EQ(window->link.DDE_LINK, "DOCID");
    EXPECT_TRUE(window->link.g_bBackLink);
    EXPECT_TRUE(window->ui.mnuLink->isChecked());
    EXPECT_EQ(window->docPosition.g_iDocLvl, 2);
    EXPECT_FALSE(window->IsInputBlocked());
}

TEST_F(FrmViewMenusTest, CancelledLoginOrListLeavesNoProject) {
    session->loginSucceeds = false;
    int runs = 0;
    talq::DialogFactory<frmListBox>::Scoped pick(
        testsupport::ScriptedMaker<frmListBox>([](frmListBox& d) { d.cmdCancel_Click(); }, &runs));
    window->mnu_project_Click();
    EXPECT_EQ(runs, 0);
    session->loginSucceeds = true;
    window->login.szProjectName = "OLD";
    window->mnu_project_Click();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project Not Selected"));
    EXPECT_FALSE(session->projectValid);
}

TEST_F(FrmViewMenusTest, CancelledListKeepsTheProjectInForceWithItsViews) {
    session->userValid = session->projectValid = true;
    session->projectName = "ALPHA";
    session->projectList = std::string("ALPHA") + kListSep + "BETA";
    window->login.szProjectName = "ALPHA";
    window->LoadProjectViews();
    ASSERT_FALSE(window->ui.NavTBar[0]->isHidden());
    talq::DialogFactory<frmListBox>::Scoped pick(
        testsupport::ScriptedMaker<frmListBox>([](frmListBox& d) { d.cmdCancel_Click(); }));
    window->mnu_project_Click();
    EXPECT_TRUE(session->projectValid);
    EXPECT_EQ(window->login.szProjectName, "ALPHA");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project: ALPHA"));
    EXPECT_FALSE(window->ui.NavTBar[0]->isHidden());  // the footer navigation stays
    EXPECT_EQ(window->docPosition.g_iDocLvl, 2);
}

TEST_F(FrmViewMenusTest, FailedSelectionLeavesTheProjectNameEmpty) {
    session->userValid = true;
    session->projectList = "GAMMA";
    talq::DialogFactory<frmListBox>::Scoped pick(
        testsupport::ScriptedMaker<frmListBox>([](frmListBox& d) {
            d.List1->setCurrentRow(0);
            d.cmdOK_Click();
        }));
    window->login.szProjectName = "GAMMA";
    window->mnu_project_Click();
    EXPECT_EQ(window->login.szProjectName, "");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project Not Selected"));
}

TEST_F(FrmViewMenusTest, InputBlockNestsAndSparesTheWindowsDialogs) {
    window->BlockInput();
    window->EnableViews(false);
    EXPECT_FALSE(window->ui.client->isEnabled());
    EXPECT_FALSE(window->menuBar()->isEnabled());
    EXPECT_TRUE(window->isEnabled());
    window->EnableViews(true);
    EXPECT_FALSE(window->ui.client->isEnabled());
    window->UnblockInput();
    EXPECT_TRUE(window->ui.client->isEnabled());
    EXPECT_TRUE(window->menuBar()->isEnabled());
    window->UnblockInput();  // an extra release does not go below zero
    window->BlockInput();
    EXPECT_TRUE(window->IsInputBlocked());
    window->UnblockInput();
}

TEST_F(FrmViewMenusTest, EnableViewsSetsTheStateOfItsLastCallWhateverCameBefore) {
    struct Case {
        std::vector<bool> calls;
        bool blocked;
    };
    const std::vector<Case> cases = {
        {{false}, true},
        {{false, false, true}, false},
        {{true, true, false}, true},
        {{true, false, true}, false},
    };
    for (const Case& c : cases) {
        window->EnableViews(true);
        for (bool on : c.calls) window->EnableViews(on);
        EXPECT_EQ(window->IsInputBlocked(), c.blocked) << c.calls.size();
        EXPECT_EQ(window->ui.client->isEnabled(), !c.blocked) << c.calls.size();
        // The window's own dialogs keep their nesting apart from it.
        window->BlockInput();
        window->EnableViews(true);
        EXPECT_TRUE(window->IsInputBlocked());
        window->UnblockInput();
        EXPECT_FALSE(window->IsInputBlocked());
    }
}

TEST_F(FrmViewMenusTest, PageLockIsHeldOnceAndARefusalMakesThePageReadOnly) {
    session->projectValid = true;
    window->SetPageLock("K1");
    window->SetPageLock("K2");
    EXPECT_EQ(session->locksRemoved, std::vector<std::string>{"K1"});
    EXPECT_EQ(window->page.g_szLockedKey, "K2");
    session->grantLocks = false;
    window->SetPageLock("K3");
    EXPECT_EQ(window->page.g_PageReadOnly, 1);
    EXPECT_EQ(window->page.g_szLockedKey, "");
    window->ReleasePageLock();
    EXPECT_EQ(session->locksRemoved.size(), 2u);
}

TEST_F(FrmViewMenusTest, BehaviourBitsDisableTheSessionMenus) {
    window->ResetBehavior(2);
    EXPECT_FALSE(window->ui.mnuLogin->isEnabled());
    EXPECT_TRUE(window->ui.mnu_project->isEnabled());
    window->ResetBehavior(4);
    EXPECT_TRUE(window->ui.mnuLogin->isEnabled());
    EXPECT_FALSE(window->ui.mnu_project->isEnabled());
    window->ResetBehavior(0);
    EXPECT_TRUE(window->ui.mnuLogin->isEnabled());
    EXPECT_EQ(window->run.lBehaviorFlags, 0);
}

}  // namespace

namespace {

class FrmViewLifecycleTest : public FrmViewTest {
  protected:
    void SelectFirstProject() {
        session->userValid = true;
        session->projectList = "ALPHA";
        session->selectable = {"ALPHA"};
        session->firstKey = "K0001";
        talq::DialogFactory<frmListBox>::Scoped pick(
            testsupport::ScriptedMaker<frmListBox>([](frmListBox& d) {
                d.List1->setCurrentRow(0);
                d.cmdOK_Click();
            }));
        window->mnu_project_Click();
    }
};

TEST_F(FrmViewLifecycleTest, SelectedProjectShowsItsFirstPageUnlessNavigationIsLimited) {
    SelectFirstProject();
    EXPECT_EQ(window->page.szCurrentKey, "K0001");
    session->userProjectSecurity = 0x40000;
    SelectFirstProject();  // the views are cleared first, so no key is left
    EXPECT_EQ(window->page.szCurrentKey, "");
}

TEST_F(FrmViewLifecycleTest, UnloadWithoutConnectionCompletesSilentlyAndRemovesTempFiles) {
    testsupport::ScopedTempDir dir;
    window->run.szTempFname = dir.Path() + "/page.tmp";
    window->printDriver.printRequest.szPrintTempFname = dir.Path() + "/print.tmp";
    testsupport::WriteFile(window->run.szTempFname, "bytes");
    window->project.g_TagPalInitialized = 1;
    window->Form_Unload();
    EXPECT_TRUE(prompts.Records().empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.Path() + "/page.tmp")));
    EXPECT_EQ(window->run.szTempFname, "");
    EXPECT_EQ(window->printDriver.printRequest.szPrintTempFname, "");
    EXPECT_EQ(window->project.g_TagPalInitialized, 0);
    EXPECT_EQ(window->run.MainFormLoaded, 0);
    EXPECT_FALSE(window->TalqAPi);
    EXPECT_FALSE(window->ImgObj);
    window->Form_Unload();  // a second unload finds nothing to do
    EXPECT_EQ(window->run.MainFormLoaded, 0);
}

TEST_F(FrmViewLifecycleTest, UnloadGivesUpThePageLockBeforeTheSessionGoes) {
    std::vector<std::string> removed;
    session->removedSink = &removed;
    session->projectValid = true;
    window->SetPageLock("K7");
    window->Form_Unload();
    EXPECT_EQ(removed, std::vector<std::string>{"K7"});
    EXPECT_EQ(window->page.g_szLockedKey, "");
}

TEST_F(FrmViewLifecycleTest, ClearingTheViewsForgetsThePageAndItsPanes) {
    window->page.szCurrentKey = "K1";
    window->docPosition.g_szDocBkey = "K1";
    window->page.g_ValidImage = 1;
    window->panes.TagPal_Active = 1;
    window->query.Query_Active = 1;
    window->project.RedactMode = 13;
    window->query.bQuesterActive = true;
    window->setWindowTitle("Project: X");
    session->searchesCleared = session->tempCleanUps = 0;
    window->ClearProjectViews();
    // The concept search and the local files of the project go with it.
    EXPECT_EQ(session->searchesCleared, 1);
    EXPECT_EQ(session->tempCleanUps, 1);
    EXPECT_EQ(window->page.szCurrentKey, "");
    EXPECT_EQ(window->docPosition.g_szDocBkey, "");
    EXPECT_EQ(window->page.g_ValidImage, 0);
    EXPECT_FALSE(window->ui.TagForm->isVisible());
    EXPECT_FALSE(window->ui.ScrollForm->isVisible());
    EXPECT_EQ(window->project.RedactMode, 0);
    EXPECT_FALSE(window->query.bQuesterActive);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project Not Selected"));
}

}  // namespace

namespace {

class FrmViewProjectTest : public FrmViewTest {
  protected:
    FrmViewProjectTest() {
        session->userValid = session->projectValid = true;
        session->projectName = "ALPHA";
    }
};

TEST_F(FrmViewProjectTest, AccessLevelsFollowRightsAndTheBehaviourMask) {
    window->LoadProjectViews();
    EXPECT_EQ(window->project.g_RestrictAnnotations, 0);
    EXPECT_EQ(window->project.g_RestrictTags, 0);
    EXPECT_EQ(window->project.g_RestrictRedactions, 0);

    session->annotationsOkToModify = false;
    session->tagsRestricted = true;
    session->redactionsOkToModify = false;
    session->redactionsOkToView = true;
    window->LoadProjectViews();
    EXPECT_EQ(window->project.g_RestrictAnnotations, 1);
    EXPECT_EQ(window->project.g_RestrictTags, 2);
    EXPECT_EQ(window->project.g_RestrictRedactions, 2);  // may see through them
    session->redactionsOkToView = false;
    window->LoadProjectViews();
    EXPECT_EQ(window->project.g_RestrictRedactions, 1);

    session->annotationsOkToModify = true;
    session->redactionsOkToModify = true;
    window->run.lBehaviorFlags = 0x10 | 0x20 | 0x40 | 0x80 | 0x100;
    window->LoadProjectViews();
    EXPECT_EQ(window->project.g_RestrictAnnotations, 2);
    EXPECT_EQ(window->project.g_RestrictRedactions, 1);
}

TEST_F(FrmViewProjectTest, NavigationLimitAndButtonLevelsComeFromTheBoundaryLevels) {
    session->bndryLvls = "3|5|7";
    session->bndryNbr = 3;
    window->LoadProjectViews();
    EXPECT_EQ(window->project.g_LimitNav, 0);
    EXPECT_EQ(window->docPosition.g_iDocLvl, 7);
    EXPECT_EQ(window->project.NavButtonLevel,
              (std::array<std::int32_t, 10>{0, 0, 7, 7, 5, 5, 3, 3, 0, 0}));

    session->userProjectSecurity = 0x40000;
    session->bndry3rdParty = 3;  // the first of three levels
    window->LoadProjectViews();
    EXPECT_EQ(window->project.g_LimitNav, 1);
    EXPECT_EQ(window->project.g_iLimit3rdLvl, 3);
    EXPECT_EQ(window->project.NavButtonLevel,
              (std::array<std::int32_t, 10>{0, 0, 7, 7, 5, 5, 0, 0, 0, 0}));

    session->bndry3rdParty = 9;  // not a level of the project: page buttons only
    window->LoadProjectViews();
    EXPECT_EQ(window->project.g_iLimit3rdLvl, 0);
    EXPECT_EQ(window->project.NavButtonLevel, (std::array<std::int32_t, 10>{}));
}

TEST_F(FrmViewProjectTest, DateEntryNeedsAProjectThatKeepsDates) {
    window->LoadProjectViews();
    EXPECT_FALSE(window->ui.mnuStsDate->isEnabled());
    session->fullText = 8;
    window->LoadProjectViews();
    EXPECT_TRUE(window->ui.mnuStsDate->isEnabled());
    session->backWardLink = "   ";
    window->LoadProjectViews();
    EXPECT_FALSE(window->link.g_bBackLink);
    EXPECT_FALSE(window->ui.mnuLink->isEnabled());
}

}  // namespace
