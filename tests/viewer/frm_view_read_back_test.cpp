// A note saved with page locking off, whose answer is lost while another
// reviewer stores a note on the same page: the read-back judges the
// reviewer's own change, and OK again stores it once, the other's kept.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "annotations/annotation_edit.h"
#include "annotations/widgets/note_dialogs.h"
#include "platform/wire_separators.h"
#include "render/image_view_transform.h"
#include "server/fake_server.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "viewer/fake_server_window.h"
#include "viewer/window_mouse.h"

namespace {

using annotations::frmAnnot;
using testsupport::FakeAction;
using testsupport::ScriptedMaker;

AnnotationRec Note(int left, int top, const std::string& text) {
    AnnotationRec rec;
    rec.Left = left;
    rec.Top = top;
    rec.Right = left + 160;
    rec.Bottom = top + 50;
    rec.FontName = "Arial";
    rec.FontSize = 10;
    rec.Stamp = TalqClientAPI_Header::AnnotationStamp("", "editor", QDate(2026, 1, 2));
    rec.Text = text;
    return rec;
}

// The first put's answer is lost, and another reviewer changes the list
// after it (by default stores a note beside); the put itself stored or not,
// the read-back after it lost or not.
struct Race {
    bool stored;
    bool readBackLost;
    std::function<void(KindList&)> other = [](KindList& list) {
        list.list.push_back(Note(300, 300, "EDITOR RACE"));
    };
};

class FrmViewReadBack : public testsupport::FakeServerWindow {
  protected:
    FrmViewReadBack() : FakeServerWindow(std::to_string(0x400)) {
        ShowWindow();
    }

    FakeAction Answer(const std::string& command) override {
        FakeAction a;
        auto is = [&](const char* verb) { return command.rfind(verb, 0) == 0; };
        auto lose = [&] {
            a.silent = true;
            a.closeAfter = true;
        };
        if (AnswerPage(command, image_, a)) return a;
        if (is("TALQGetAnnotations") && loseReads_ > 0) {
            --loseReads_;
            lose();
        } else if (is("TALQGetAnnotations")) {
            // A section per bit, 1 to 64.
            a.payload.clear();
            for (int kind = 1; kind <= 64; kind *= 2) {
                if (kind > 1) a.payload.push_back(wire::kSectionSep);
                a.payload += lists_[kind];
            }
        } else if (is("TALQPutAnnotations")) {
            ++puts_;
            const auto [kind, list] = PutAnnotationsOf(command);
            const std::optional<Race> race = race_;
            race_.reset();
            if (!race || race->stored) lists_[kind] = list;
            if (!race) {
                a.payload = "1";
                return a;
            }
            lists_[kind] = Changed(lists_[kind], race->other);
            loseReads_ = race->readBackLost ? 1 : 0;
            lose();
        } else {
            a.payload = "ERROR: Not Here";
        }
        return a;
    }

    static std::string Changed(const std::string& list,
                               const std::function<void(KindList&)>& change) {
        KindList parsed;
        TalqClientAPI_Header::ParseKindList(list, parsed);
        change(parsed);
        parsed.count = static_cast<int>(parsed.list.size());
        std::string text;
        TalqClientAPI_Header::BuildAnnotationList(parsed.count, parsed.list, text);
        return text;
    }
    // Text notes holding the text, on the server and on the page.
    int Stored(const std::string& text) {
        KindList list;
        Serve([&] { TalqClientAPI_Header::ParseKindList(lists_[kTextNote], list); });
        return Count(list, text);
    }
    int Shown(const std::string& text) { return Count(window->pageAnnotations[kTextNote], text); }
    static int Count(const KindList& list, const std::string& text) {
        int n = 0;
        for (int i = 0; i < list.count; ++i)
            n += list.list[static_cast<std::size_t>(i)].Text.find(text) != std::string::npos;
        return n;
    }
    // The messages that tell a save's outcome.
    std::vector<std::string> Told() const {
        std::vector<std::string> told;
        for (const std::string& m : prompts.Messages())
            if (m.rfind("OK to Delete", 0) != 0) told.push_back(m);
        return told;
    }

    void Drag(int tool, int x1, int y1, int x2, int y2) {
        testsupport::DragOn(*window, tool, x1, y1, x2, y2);
    }
    void RightClick(const AnnotationRec& r) {
        testsupport::RightClickOn(*window, r);
    }

    std::string image_ = testsupport::PngBytes(600, 800);
    std::map<int, std::string> lists_;
    std::optional<Race> race_;
    int loseReads_ = 0;
    int puts_ = 0;
};

// New, edited and deleted notes, each with its answer lost in each way:
// told as stored exactly when the server holds the reviewer's own change,
// and OK again stores it once, the other reviewer's note kept.
TEST_F(FrmViewReadBack, ALostAnswerIsJudgedByTheReviewersOwnChangeAndOkAgainStoresItOnce) {
    enum class Act { kNew, kEdit, kDelete };
    struct Outcome {
        Race race;
        const char* told;  // "" when the first press is told as stored
        int puts;          // puts in all, OK again included
    };
    const Outcome outcomes[] = {
        {{true, false}, "", 1},
        {{false, false}, "does not hold this change", 2},
        {{true, true}, "could not be read back", 1},
        {{false, true}, "could not be read back", 2},
    };
    for (const Act act : {Act::kNew, Act::kEdit, Act::kDelete}) {
        for (const Outcome& o : outcomes) {
            SCOPED_TRACE(std::to_string(static_cast<int>(act)) + ": " + o.told +
                         (o.race.stored ? ", stored" : ""));
            // A new note missing from the list read back may have been
            // deleted since: that cannot be told, and is said before OK
            // again stores it.
            const bool unsure = act == Act::kNew && !o.race.stored;
            const char* told = unsure && !o.race.readBackLost ? "cannot be told" : o.told;
            const int wanted = *o.told == '\0' ? 1 : unsure && o.race.readBackLost ? 3 : 2;
            const AnnotationRec mine = Note(40, 40, "ADMIN NOTE");
            Serve([&] {
                lists_.clear();
                lists_[kTextNote] = Changed("", [&](KindList& l) { l.list.push_back(mine); });
                puts_ = 0;
                race_ = o.race;
            });
            prompts.Clear();
            ASSERT_TRUE(window->DisplayImage("K1")) << Status();
            ASSERT_EQ(Shown("ADMIN NOTE"), 1);

            int presses = 0;
            bool closed = false;
            std::vector<std::string> toldFirst;
            talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([&](frmAnnot& d) {
                for (; presses < 3 && d.result() != QDialog::Accepted; ++presses) {
                    if (presses == 1) toldFirst = Told();
                    if (act == Act::kDelete) {
                        d.mnuDelete_Click();
                    } else {
                        d.Text1->setPlainText(act == Act::kNew ? "ADMIN RACE" : "ADMIN EDITED");
                        d.cmdOK_Click();
                    }
                }
                closed = d.result() == QDialog::Accepted;
                if (!closed) d.cmdCancel_Click();
            }));
            if (act == Act::kNew)
                Drag(annotations::kToolTextNote, 300, 500, 450, 560);
            else
                RightClick(mine);

            EXPECT_TRUE(closed) << (Told().empty() ? "" : Told().front());
            EXPECT_EQ(presses, wanted);
            ASSERT_EQ(Told().size(), static_cast<std::size_t>(wanted - 1));
            if (wanted > 1) {
                EXPECT_NE(toldFirst.front().find(told), std::string::npos) << toldFirst.front();
            }
            if (wanted > 2) {
                EXPECT_NE(Told().back().find("cannot be told"), std::string::npos) << Told().back();
            }
            Serve([&] { EXPECT_EQ(puts_, o.puts); });
            EXPECT_EQ(Stored("EDITOR RACE"), 1) << "the other reviewer's note kept";
            EXPECT_EQ(Stored("ADMIN RACE"), act == Act::kNew ? 1 : 0);
            EXPECT_EQ(Stored("ADMIN EDITED"), act == Act::kEdit ? 1 : 0);
            EXPECT_EQ(Stored("ADMIN NOTE"), act == Act::kNew ? 1 : 0);
            for (const char* text : {"EDITOR RACE", "ADMIN RACE", "ADMIN EDITED", "ADMIN NOTE"})
                EXPECT_EQ(Shown(text), Stored(text)) << text << " shown as stored";
        }
    }
}

// The other reviewer changes or deletes what the lost put stored before the
// read-back, so the lists cannot tell whether it was stored: told so, the
// page shown as stored and the text kept, and nothing more stored until the
// reviewer saves it again, then once, as a new note.
TEST_F(FrmViewReadBack, AReadBackThatCannotTellStoresNothingUntilTheReviewerSavesAgain) {
    const AnnotationRec mine = Note(40, 40, "ADMIN NOTE");
    AnnotationRec twin = mine;  // what the edit makes of it
    twin.Text = "ADMIN RACE";
    twin.Stamp =
        TalqClientAPI_Header::AnnotationStamp("", window->login.szUserID, QDate::currentDate());
    struct Case {
        const char* what;
        bool edit, twin, readBackLost;
        const char* into;  // the other's change to the last "ADMIN RACE", "" to delete it
        int left;          // "ADMIN RACE" the other leaves stored
    } cases[] = {
        {"new, edited by the other", false, false, false, "EDITOR EDIT", 0},
        {"new, deleted by the other, read-back lost", false, false, true, "", 0},
        {"new alike one there, the other deleted", false, true, false, "", 1},
        {"edited alike another, the other deleted", true, true, false, "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Serve([&] {
            lists_.clear();
            lists_[kTextNote] = Changed("", [&](KindList& l) {
                l.list.push_back(mine);
                if (c.edit && c.twin) l.list.push_back(twin);
            });
            race_.reset();
        });
        ASSERT_TRUE(window->DisplayImage("K1")) << Status();
        std::vector<int> stored;  // "ADMIN RACE" stored after each press
        bool asShown = true;
        talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([&](frmAnnot& d) {
            d.Text1->setPlainText("ADMIN RACE");
            for (int i = 0; i < 4 && d.result() != QDialog::Accepted; ++i) {
                d.cmdOK_Click();
                stored.push_back(Stored("ADMIN RACE"));
                asShown = asShown && Shown("ADMIN RACE") == stored.back();
            }
            if (d.result() != QDialog::Accepted) d.cmdCancel_Click();
        }));
        if (!c.edit && c.twin) Drag(annotations::kToolTextNote, 300, 500, 450, 560);
        stored.clear();
        Serve([&] {
            race_ = Race{true, c.readBackLost, [into = std::string(c.into)](KindList& l) {
                             for (auto r = l.list.rbegin(); r != l.list.rend(); ++r) {
                                 if (r->Text != "ADMIN RACE") continue;
                                 if (into.empty())
                                     l.list.erase(std::next(r).base());
                                 else
                                     r->Text = into;
                                 return;
                             }
                         }};
        });
        prompts.Clear();
        c.edit ? RightClick(mine) : Drag(annotations::kToolTextNote, 300, 500, 450, 560);

        std::vector<int> wanted(c.readBackLost ? 2 : 1, c.left);
        wanted.push_back(c.left + 1);
        EXPECT_EQ(stored, wanted);
        EXPECT_TRUE(asShown) << "the page shows what is stored";
        ASSERT_EQ(Told().size(), wanted.size() - 1);
        EXPECT_NE(Told().back().find("cannot be told"), std::string::npos) << Told().back();
        for (const std::string& m : Told()) EXPECT_EQ(m.find("Another user"), std::string::npos);
        EXPECT_EQ(Stored("EDITOR EDIT"), *c.into ? 1 : 0);
    }
}

}  // namespace
