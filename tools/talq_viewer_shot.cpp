// Starts the viewer's main window, logs in and opens a project through its
// own menus with the answers given on the command line, and writes a picture
// of the window as the screen shows it. Used by scripts/demo where no person
// sits at a display.
//
//   talq-viewer-shot --out FILE [--user ID] [--password PW] [--project NAME]
//                    [--mode 0|1|2] [--size WxH] [--panes] [--key KEY]
//   talq-viewer-shot --help
//
// --panes opens the tag palette, the zoom window and an empty query pane too,
// so that every toolbar is in the picture; --key shows that key afterwards.
//
// Exits 0 when a page is on display and the picture was written.

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/event_pump.h"
#include "platform/prompts.h"
#include "platform/scripted_prompts.h"
#include "platform/text_codec.h"
#include "server/widgets/frm_login.h"
#include "viewer/widgets/frm_view.h"

namespace {

struct Options {
    std::string out;
    std::string user = "admin";
    std::string password = "admin";
    std::string project = "ACME";
    bool panes = false;
    int mode = 2;
    std::string key;  // shown after the project's first page
    int width = 1100;
    int height = 850;
};

template <class Dialog>
class Answered : public Dialog {
  public:
    Answered(QWidget* parent, std::function<void(Dialog&)> answer)
        : Dialog(parent), answer_(std::move(answer)) {}
    int exec() override {
        this->Load();
        answer_(*this);
        return this->result();
    }

  private:
    std::function<void(Dialog&)> answer_;
};

template <class Dialog>
typename talq::DialogFactory<Dialog>::Maker AnswerWith(std::function<void(Dialog&)> answer) {
    return [answer](QWidget* parent) -> std::unique_ptr<Dialog> {
        return std::make_unique<Answered<Dialog>>(parent, answer);
    };
}

constexpr const char* kSynopsis =
    "usage: talq-viewer-shot --out FILE [--user ID] [--password PW] [--project NAME]\n"
    "                        [--mode 0|1|2] [--size WxH] [--panes] [--key KEY]\n";

constexpr const char* kOptions =
    "Logs in through the viewer's own dialogs, opens a project and writes a PNG\n"
    "picture of the window; exits 1 when no page was shown.\n"
    "  --out FILE       the picture\n"
    "  --user ID        the user id (admin)\n"
    "  --password PW    the password (admin)\n"
    "  --project NAME   the project to open (ACME)\n"
    "  --mode 0|1|2     the access mode: 0 \"Remote Server (TCP/IP)\", 1 \"Network\n"
    "                   Drive\", 2 \"Local Hard Drive\" (2)\n"
    "  --size WxH       the window's size in pixels (1100x850)\n"
    "  --panes          open the tag palette, the zoom window and a query pane too\n"
    "  --key KEY        show KEY after the project's first page\n"
    "  -h, --help       print this and end\n";

// Empty when the command line is sound, else what is wrong with it.
std::string Parse(int argc, char* argv[], Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--panes") {
            o.panes = true;
            continue;
        }
        const bool known = arg == "--out" || arg == "--user" || arg == "--password" ||
                           arg == "--project" || arg == "--key" || arg == "--mode" ||
                           arg == "--size";
        if (!known) return "unknown option " + arg;
        if (i + 1 >= argc) return arg + " needs a value";
        const std::string value = argv[++i];
        if (arg == "--out") {
            o.out = value;
        } else if (arg == "--user") {
            o.user = value;
        } else if (arg == "--password") {
            o.password = value;
        } else if (arg == "--project") {
            o.project = value;
        } else if (arg == "--key") {
            // Shown as the viewer's core takes a key, in its code page.
            const auto key = platform::ArgumentInCodePage(value.c_str());
            if (!key) return "--key " + value + ": give characters of the Windows-1252 code page";
            o.key = *key;
        } else if (arg == "--mode") {
            if (value != "0" && value != "1" && value != "2") {
                return "--mode " + value + ": give 0, 1 or 2";
            }
            o.mode = value[0] - '0';
        } else {
            char tail = 0;
            if (std::sscanf(value.c_str(), "%dx%d%c", &o.width, &o.height, &tail) != 2 ||
                o.width <= 0 || o.height <= 0) {
                return "--size " + value + ": give a width and a height in pixels, as 1100x850";
            }
        }
    }
    return o.out.empty() ? "--out FILE is required" : "";
}

// Lets the window reach the screen: events for a while, without spinning.
void Settle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    // Answered before a display is needed.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("%s%s", kSynopsis, kOptions);
            return 0;
        }
    }
    Options o;
    if (const std::string mistake = Parse(argc, argv, o); !mistake.empty()) {
        std::fprintf(stderr, "talq-viewer-shot: %s\n%s", mistake.c_str(), kSynopsis);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("talqvyn"));
    // Nobody is there to answer a message: each is written out instead.
    platform::ScriptedPrompts prompts;
    platform::InstallPrompts(prompts);

    talq::DialogFactory<frmLogin>::Scoped login(AnswerWith<frmLogin>([&o](frmLogin& dlg) {
        dlg.Combo1->setCurrentIndex(o.mode);
        dlg.txtUserID->setText(QString::fromStdString(o.user));
        dlg.txtPassword->setText(QString::fromStdString(o.password));
        dlg.cmdOK_Click();
    }));
    talq::DialogFactory<frmListBox>::Scoped pick(AnswerWith<frmListBox>([&o](frmListBox& d) {
        const auto found = d.List1->findItems(QString::fromStdString(o.project), Qt::MatchExactly);
        if (found.isEmpty()) {
            d.cmdCancel_Click();
            return;
        }
        d.List1->setCurrentItem(found.front());
        d.cmdOK_Click();
    }));

    viewer::frmView window;
    window.Form_Load();
    window.resize(o.width, o.height);
    window.show();
    Settle(300);
    window.mnuLogin_Click();
    Settle(700);
    if (o.panes) {
        window.Tbar_Click(2);
        window.Tbar_Click(17);
        window.query.Query_Active = 1;
        window.Form_Resize();
        Settle(500);
    }
    if (!o.key.empty()) {
        window.ShowHandedKey(o.key);
        Settle(300);
    }

    const QPixmap shot = window.screen()->grabWindow(window.winId());
    const bool saved = shot.save(QString::fromStdString(o.out), "PNG");
    const bool shown = window.page.g_ValidImage != 0;
    for (const std::string& message : prompts.Messages()) {
        std::fprintf(stderr, "talq-viewer-shot: message: %s\n", message.c_str());
    }
    std::fprintf(stderr, "talq-viewer-shot: %s; %s\n",
                 shown ? ("showing " + window.page.szCurrentKey).c_str() : "no page on display",
                 saved ? ("picture in " + o.out).c_str() : "the picture could not be written");
    window.close();
    return shown && saved ? 0 : 1;
}
