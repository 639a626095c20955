// The concept search against a demo system: the search runs under its
// progress window and opens its hit list, a chosen page gets its passages
// and term words boxed, Cancel stops waiting, the spelling offer searches
// again with the corrected word, and chosen concepts rebuild the phrase.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <cctype>
#include <memory>
#include <string>

#include "foundation/mod_registry.h"
#include "navigation/widgets/quester_dialogs.h"
#include "platform/draw_surface.h"
#include "platform/scripted_prompts.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "viewer/demo_suite.h"
#include "viewer/demo_window.h"
#include "viewer/widgets/frm_view.h"

namespace {

using navigation::frmIDexSpell;
using navigation::frmMMSearchConcepts;
using navigation::frmQuesterCancel;
using navigation::frmQuesterSearch;
using talq::DialogFactory;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

class ConceptSearchDemoTest : public testsupport::DemoSuiteTest<ConceptSearchDemoTest> {
  protected:
    static void SetUpTestSuite() { SetUpDemo(5, 40); }

    ConceptSearchDemoTest() : scoped_(prompts) {
        platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
        testsupport::PointLocalModesAt(Sys());
        window = testsupport::ShownMainWindow();
        window->CommandLineLogin("admin", "admin");
        EXPECT_TRUE(window->TalqAPi->SelectProject("ACME"));
        window->LoadProjectViews();
        EXPECT_TRUE(window->DisplayImage(demo_->projects.front().pages.front().key));
    }
    ~ConceptSearchDemoTest() override {
        window.reset();
        platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
    }

    // A word of letters only, 7 or more long, from the text of a scanned page.
    static std::string SomeWord() {
        for (const auto& page : demo_->projects.front().pages) {
            if (page.placeholder || !page.content) continue;
            for (const auto& box : page.content->words) {
                const std::string& w = box.word;
                bool letters = w.size() >= 7;
                for (char c : w) letters = letters && std::isalpha(static_cast<unsigned char>(c));
                if (letters) return Lower(w);
            }
        }
        return "";
    }

    // The phrase typed into the search dialog.
    DialogFactory<frmQuesterSearch>::Scoped Typing(const std::string& phrase, bool spelling) {
        return DialogFactory<frmQuesterSearch>::Scoped(
            testsupport::ScriptedMaker<frmQuesterSearch>([phrase, spelling](frmQuesterSearch& d) {
                d.Text1->setText(QString::fromStdString(phrase));
                d.Check1->setChecked(spelling);
                d.cmdSearch_Click();
            }));
    }
    // The real progress window, ticking fast.
    static DialogFactory<frmQuesterCancel>::Scoped FastPolls(int* shown) {
        return DialogFactory<frmQuesterCancel>::Scoped([shown](QWidget* parent) {
            ++*shown;
            auto d = std::make_unique<frmQuesterCancel>(parent);
            d->Timer1->setInterval(5);
            return d;
        });
    }

    testsupport::ScopedUserStores stores_;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    std::unique_ptr<viewer::frmView> window;
};

TEST_F(ConceptSearchDemoTest, TheHitListOpensAndItsPageIsBoxedWhereTheWordsAre) {
    const std::string word = SomeWord();
    ASSERT_FALSE(word.empty());
    int progressWindows = 0;
    auto typing = Typing(word, false);
    auto polls = FastPolls(&progressWindows);
    window->RunQuesterSearch(1);
    EXPECT_EQ(progressWindows, 1);
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    ASSERT_TRUE(window->query.bQuesterActive);
    EXPECT_EQ(window->query.Query_Active, 2);
    ASSERT_GT(window->ui.QueryList->count(), 0);
    // The first row is on display with its hits.
    const std::string key = window->page.szCurrentKey;
    EXPECT_EQ(key, window->ui.QueryList->item(0)->text().toStdString());

    // Drawn at full size: the term words red (yellow masked with red), the
    // rest of the passage yellow, the page elsewhere as it was.
    // The demo's own highlights and notes are left off, so only hits are yellow.
    window->pageAnnotations[kHighlight].count = window->pageAnnotations[kMarkup].count = 0;
    window->pageAnnotations[kTextNote].count = window->pageAnnotations[kStickyNote].count = 0;
    window->zoom.g_ScaleFactor = 1.0f;
    window->SetImageScale(2);
    window->RedisplayImage();
    const platform::DrawSurface& back = window->ui.picImage2;
    auto count = [&](int l, int t, int r, int b, auto wanted) {
        int n = 0;
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x) {
                const std::int32_t c = back.Point(x, y);
                if (wanted(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF)) ++n;
            }
        return n;
    };
    auto red = [](int r, int g, int b) { return r > 200 && g < 60 && b < 60; };
    auto yellow = [](int r, int g, int b) { return r > 200 && g > 200 && b < 60; };
    const double sx = double(window->zoom.g_DspWidth) / window->page.g_ImgWidth;
    const double sy = double(window->zoom.g_DspHeight) / window->page.g_ImgHeight;
    // Field n of a rectangle text, from image to view pixels.
    auto scaled = [&](const std::string& rect, int n, double s) {
        std::size_t start = 0;
        for (int i = 0; i < n; ++i) start = rect.find(',', start) + 1;
        return static_cast<int>(std::stoi(rect.substr(start)) * s);
    };
    const std::string& words = window->conceptHits.g_QuesterLastWordCoords;
    const std::string& passages = window->conceptHits.g_QuesterLastCoords;
    ASSERT_EQ(window->conceptHits.g_QuesterLastKey, key);
    ASSERT_FALSE(passages.empty());
    ASSERT_FALSE(words.empty()) << passages;
    const std::string term = words.substr(0, words.find_first_of("^|"));
    const std::string passage = passages.substr(0, passages.find('|'));
    const int l = scaled(term, 0, sx), t = scaled(term, 1, sy), r = scaled(term, 2, sx),
              b = scaled(term, 3, sy);
    EXPECT_GT(count(l, t, r, b, red), (r - l) * (b - t) / 3) << term;
    const int pl = scaled(passage, 0, sx), pt = scaled(passage, 1, sy), pr = scaled(passage, 2, sx),
              pb = scaled(passage, 3, sy);
    EXPECT_GT(count(pl, pt, pr, pb, yellow), 0) << passage;
    EXPECT_EQ(count(pl, pb + 4, pr, pb + 40, yellow) + count(pl, pb + 4, pr, pb + 40, red), 0)
        << "nothing is marked below the passage";
}

TEST_F(ConceptSearchDemoTest, ACancelledSearchOpensNothingAndSaysNothing) {
    auto typing = Typing(SomeWord(), false);
    int progressWindows = 0;
    DialogFactory<frmQuesterCancel>::Scoped cancel(testsupport::ScriptedMaker<frmQuesterCancel>(
        [this](frmQuesterCancel& d) {
            prompts.QueueAnswer(platform::vbYes);
            d.cmdCancel_Click();
            d.Timer1_Timer();
        },
        &progressWindows));
    window->RunQuesterSearch(1);
    EXPECT_EQ(progressWindows, 1);
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Are you sure you want to Cancel this process?"});
    EXPECT_EQ(window->query.Query_Active, 0);
    EXPECT_FALSE(window->query.bQuesterActive);
}

TEST_F(ConceptSearchDemoTest, TheSpellingOfferCorrectsTheWordAsTypedAndSearchesAgain) {
    const std::string word = SomeWord();
    std::string typo = word.substr(0, 3) + word.substr(4);
    typo[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(typo[0])));
    int progressWindows = 0, offers = 0;
    auto polls = FastPolls(&progressWindows);
    std::string shownWord;
    auto choose = [&](bool pick) {
        return DialogFactory<frmIDexSpell>::Scoped(testsupport::ScriptedMaker<frmIDexSpell>(
            [&, pick](frmIDexSpell& d) {
                ASSERT_FALSE(d.Word.empty());
                shownWord = d.Word[0]->text().toStdString();
                if (!pick) return d.cmdExit_Click();
                auto found =
                    d.Definitions[0]->findItems(QString::fromStdString(word), Qt::MatchExactly);
                ASSERT_EQ(found.size(), 1);
                d.Definitions[0]->setCurrentItem(found.front());
                d.Definitions_Click(0);
                d.cmdSearch_Click();
                EXPECT_EQ(d.Phrase, word);
            },
            &offers));
    };
    {
        auto typing = Typing(typo, true);
        auto exitOffer = choose(false);
        window->RunQuesterSearch(1);
        EXPECT_EQ(offers, 1);
        EXPECT_EQ(shownWord, typo) << "the word as typed, so it can be replaced";
        EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"No Search Results Found"});
        EXPECT_EQ(window->query.Query_Active, 0);
    }
    prompts.Clear();
    offers = 0;
    progressWindows = 0;
    auto typing = Typing(typo, true);
    auto pickOffer = choose(true);
    window->RunQuesterSearch(1);
    EXPECT_EQ(offers, 1) << "offered once per search";
    EXPECT_EQ(progressWindows, 2) << "searched again with the corrected word";
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_TRUE(window->query.bQuesterActive);
    EXPECT_GT(window->ui.QueryList->count(), 0);
    EXPECT_TRUE(window->settings.SpellCheck);
}

TEST_F(ConceptSearchDemoTest, ChosenConceptsRebuildThePhrase) {
    const std::string word = SomeWord();
    int progressWindows = 0;
    auto polls = FastPolls(&progressWindows);
    {
        auto typing = Typing(word, false);
        window->RunQuesterSearch(1);
    }
    ASSERT_FALSE(window->TalqAPi->QuesterTermFile().empty());
    std::string selection;
    DialogFactory<frmMMSearchConcepts>::Scoped concepts(
        testsupport::ScriptedMaker<frmMMSearchConcepts>([&](frmMMSearchConcepts& d) {
            ASSERT_EQ(d.Word.size(), 1u);
            EXPECT_EQ(d.Word[0]->text().toStdString(), word);
            d.Definitions[0]->setCurrentRow(0);
            d.Definitions_DblClick(0);
            d.cmdSearch_Click();
            selection = d.Selection;
        }));
    window->RunQuesterSearch(2);
    EXPECT_EQ(selection, word + "1");
    EXPECT_EQ(progressWindows, 2);
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_TRUE(window->query.bQuesterActive);
    EXPECT_GT(window->ui.QueryList->count(), 0);
}

}  // namespace
