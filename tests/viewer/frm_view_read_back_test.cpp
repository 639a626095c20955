// A note saved with page locking off, whose answer is lost while another
// reviewer stores a note on the same page: the read-back judges the
// reviewer's own change, and OK again stores it once, the other's kept.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>

#include <algorithm>
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

// The first put's answer is lost, and another reviewer's note stored with
// it; the put itself stored or not, the read-back after it lost or not.
struct Race {
    bool stored;
    bool readBackLost;
    // The other then edits the reviewer's new version into this ("" deletes it).
    const char* into = nullptr;
};

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
            lists_[kind] = With(lists_[kind], Note(300, 300, "EDITOR RACE"));
            if (race->into)
                lists_[kind] = Edited(lists_[kind], [&](KindList& l) {
                    const auto r = std::find_if(l.list.rbegin(), l.list.rend(), [](auto& m) {
                        return m.Text == "ADMIN RACE" || m.Text == "ADMIN EDITED";
                    });
                    *race->into ? void(r->Text = race->into)
                                : void(l.list.erase(std::next(r).base()));
                });
            loseReads_ = race->readBackLost ? 1 : 0;
            lose();
        } else {
            a.payload = "ERROR: Not Here";
        }
        return a;
    }

    static std::string With(const std::string& list, const AnnotationRec& rec) {
        return Edited(list, [&](KindList& l) { l.list.push_back(rec); });
    }
    static std::string Edited(const std::string& list, const std::function<void(KindList&)>& edit) {
        KindList parsed;
        TalqClientAPI_Header::ParseKindList(list, parsed);
        edit(parsed);
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
// and OK again stores it once, the other reviewer's note kept. Where the
// lists cannot tell, that is said, and OK again is what stores it.
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
        // The other edits or deletes what the put stored.
        {{true, false, "EDITOR EDIT"}, "cannot be told", 2},
        {{true, true, ""}, "could not be read back", 2},
    };
    for (const Act act : {Act::kNew, Act::kEdit, Act::kDelete}) {
        for (const Outcome& o : outcomes) {
            if (act == Act::kDelete && o.race.into) continue;  // nothing new to change
            SCOPED_TRACE(std::to_string(static_cast<int>(act)) + ": " + o.told +
                         (o.race.stored ? ", stored" : "") + (o.race.into ? ", changed" : ""));
            // A new version missing from the lists read back, never stored or
            // changed since, cannot be told stored or not.
            const bool unsure = (act == Act::kNew && !o.race.stored) || o.race.into;
            const char* told = unsure && !o.race.readBackLost ? "cannot be told" : o.told;
            const int wanted = *o.told == '\0' ? 1 : unsure && o.race.readBackLost ? 3 : 2;
            const AnnotationRec mine = Note(40, 40, "ADMIN NOTE");
            Serve([&] {
                lists_.clear();
                lists_[kTextNote] = With("", mine);
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
            // Told once a press that did not store, never of another's change.
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

}  // namespace
