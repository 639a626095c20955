// The interpreter of command messages from other programs and the
// parameter file reader.

#include <QFile>
#include <QLabel>
#include <QMetaObject>
#include <QRandomGenerator>
#include <QTime>

#include <exception>
#include <fstream>
#include <sstream>

#include "foundation/number_text.h"
#include "platform/prompts.h"
#include "platform/rounding.h"
#include "platform/text_codec.h"
#include "platform/user_dirs.h"
#include "printing/print_choices.h"
#include "viewer/parameter_file.h"
#include "viewer/startup_command_line.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

std::int32_t NumberOf(const std::string& text) {
    return platform::RoundToInt(mVBUtil::Val(text));
}

void RemoveFile(const std::string& path) {
    if (!path.empty()) QFile::remove(platform::ToQString(path));
}

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(platform::ToQString(path).toLocal8Bit().toStdString(), std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return !in.bad();
}

// The name of a file without its folder and its last extension.
std::string FileStem(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name.empty() ? "KEYS" : name;
}

}  // namespace

std::string frmView::PrivateFolder() {
    // The session's own folder goes with the session, and what lies in it.
    const std::string sample = Session().CreateLocalTempFile(1);
    const size_t slash = sample.find_last_of('/');
    if (slash != std::string::npos && slash > 0) return sample.substr(0, slash);
    return platform::RuntimeDir();
}

void frmView::CommandLineLogin(const std::string& userId, const std::string& password) {
    ViewerSession& session = Session();
    BlockInput();
    if (session.OpenTalqConnection(1, login.szDomain, login.szIPAddress, NumberOf(login.szPort),
                                   NumberOf(login.szLocalPort), NumberOf(login.szNetworkCard),
                                   10)) {
        session.SetTimeout(15);
        login.szUserID = userId;
        login.szPassword = password;
        session.TalqLogin(login.szUserID, login.szPassword, 1);
    }
    UnblockInput();
}

bool frmView::ShowHandedKey(const std::string& key) {
    if (!modView::IsSendableKey(key)) {
        platform::Beep();
        platform::MsgBox(key + " ImageKey not found.", platform::vbCritical, "Warning");
        return false;
    }
    docPosition.g_iDocPsn = 0;
    return DisplayImage(key);
}

void frmView::Get_TLQ_Parameters(const std::string& fileName, std::string& ImgKey,
                                 std::int16_t& ikey_flag, std::string& filename,
                                 std::int16_t& query_flag, std::string& PrjName,
                                 std::int16_t& selprj_flag, std::string& usrid,
                                 std::int16_t& login_flag, std::string& usrpwrd,
                                 std::int16_t delete_flag) {
    const std::string path = modView::StripEnclosingQuotes(fileName);
    std::string text;
    if (!ReadWholeFile(path, text)) {
        platform::Beep();
        platform::MsgBox(path, platform::vbCritical, "Unable to Open File");
        return;
    }
    const modView::ParameterFileValues v = modView::ParseParameterFile(text);

    // Several keys become a key list of our own, never a file beside the
    // parameter file that may belong to someone else.
    if (v.keys.size() >= 2) {
        const std::string list = modView::CreateNewFile(PrivateFolder(), FileStem(path) + ".TMP",
                                                        modView::KeyListText(v.keys));
        if (list.empty()) {
            platform::Beep();
            platform::MsgBox(path, platform::vbCritical, "Unable to Create File");
            return;
        }
        filename = list;
        query_flag = 1;
    } else if (v.keys.size() == 1) {
        ImgKey = v.keys.front();
        ikey_flag = 1;
    }
    if (v.projectGiven) {
        PrjName = v.project;
        selprj_flag = 1;
    }
    if (v.userGiven) {
        usrid = v.userId;
        login_flag = 1;
    }
    if (v.passwordGiven) usrpwrd = v.password;
    if (v.keywordsGiven) query.HandKeywords(v.keywords);

    if (delete_flag == 1 && !v.keepFile) RemoveFile(path);

    modView::ServerAddress next;
    if (modView::ParameterFileSwitchesServer(v, {login.szIPAddress, login.szPort, login.szDomain},
                                             next)) {
        login.szIPAddress = next.ip;
        login.szPort = next.port;
        login.szDomain = next.domain;
        if (run.MainFormLoaded != 0) {
            ClearProjectViews();
            Session().CloseTalqConnection();
        }
        login.szUserID.clear();
        login.szPassword.clear();
    }
}

bool frmView::ReadParameterFile(modView::CommandLineValues& values) {
    std::int16_t keyFlag = 0, listFlag = 0, projectFlag = 0, userFlag = 0;
    Get_TLQ_Parameters(values.parameterFile, values.key, keyFlag, values.listFile, listFlag,
                       values.project, projectFlag, values.userId, userFlag, values.password, 1);
    values.keyGiven = keyFlag != 0;
    values.keyRefused = values.keyGiven && !modView::IsSendableKey(values.key);
    values.listGiven = listFlag != 0;
    values.projectGiven = projectFlag != 0;
    values.userGiven = userFlag != 0;
    return values.listGiven;
}

void frmView::GatherMessageFiles(modView::CommandMessage& m, bool& ownListFile) {
    ownListFile = false;
    if (m.command == "MULTVIEW") {
        const QTime now = QTime::currentTime();
        const std::string name =
            modView::MultViewFileName(static_cast<int>(QRandomGenerator::global()->bounded(10000)),
                                      now.hour(), now.minute(), now.second());
        const std::string list =
            modView::CreateNewFile(PrivateFolder(), name, modView::KeyListText(m.listKeys));
        if (!list.empty()) {
            m.listFile = list;
            m.listGiven = true;
            ownListFile = true;
        }
    } else if (m.command == "CMDLINE" && !m.parameterFile.empty()) {
        ownListFile = ReadParameterFile(m);
    }
    if (m.command == "KEYWORDS") query.HandKeywords(m.keywords);
}

std::string frmView::CarryOutMessage(modView::CommandMessage& m, bool ownListFile) {
    if (m.userGiven &&
        (modView::UpperCaseText(m.userId) != modView::UpperCaseText(login.szUserID) ||
         modView::UpperCaseText(m.password) != modView::UpperCaseText(login.szPassword))) {
        BlockInput();
        ClearProjectViews();
        CommandLineLogin(m.userId, m.password);
        UnblockInput();
    }
    if (!Session().IsUserValid()) DoLogin();
    if (Session().IsUserValid()) {
        if (m.projectGiven && Session().IsProjectValid() &&
            modView::UpperCaseText(Session().ProjectName()) == m.project) {
            m.projectGiven = false;
        }
        if (m.projectGiven) {
            BlockInput();
            ClearProjectViews();
            if (SelectNamedProject(m.project)) LoadProjectViews();
            UnblockInput();
        }
        if (!Session().IsProjectValid()) mnu_project_Click();
    }
    const bool projectOpen = Session().IsUserValid() && Session().IsProjectValid();
    std::string failure =
        m.printFlag > 0 ? "Unable to Print " + m.key + "\nProject Not Selected" : "";
    if (projectOpen) {
        // A key already refused is not asked for again to print it: its box
        // would come twice.
        const bool keyRefused = m.keyGiven && !ShowHandedKey(m.key);
        if (m.listGiven) {
            bool ok = false;
            OpenQueryFile(m.listFile, ok);
            RemoveFile(m.listFile);
        }
        // A command never prints anywhere but on the printer the user set.
        const std::string printer = m.printFlag > 0 ? printDriver.CommandPrinter() : "";
        if (m.printFlag > 0 && printer.empty()) {
            failure = "Unable to Start Print Job\n" + printDriver.CommandPrinterTrouble();
            platform::BeepWarning(failure);
        } else if (m.printFlag > 0 && (keyRefused || !ShowHandedKey(m.key))) {
            // What the user saw: the box of a refused key, else the status line.
            failure = modView::IsSendableKey(m.key)
                          ? "Unable to Print " + m.key + "\n" +
                                platform::FromQString(ui.lblStatus->text())
                          : m.key + " ImageKey not found.";
        } else if (m.printFlag > 0) {
            PrintRequest& printRequest = printDriver.printRequest;
            printRequest.PrintLocalPrinter = printer;
            printRequest.g_PrinterType = 0;
            printRequest.g_PrintMode = 0;
            printRequest.g_PrintRange = static_cast<std::int16_t>(m.printFlag - 1);
            printRequest.g_PrintFlags = printing::kPrintImageKey | printing::kPrintRedactions;
            const std::string message = Session().PrintMessage();
            if (!message.empty()) {
                printRequest.g_szPrintMsg = message;
                printRequest.g_PrintFlags += printing::kPrintMessage;
            }
            PrintSelection();
            // The sender hears what the user was told; a print that never
            // started told at most its start's failure.
            const PrintRun& print = printDriver.CurrentPrint();
            if (print.endNotice) {
                failure = *print.endNotice;
            } else if (!print.PrintErrText.empty()) {
                failure = print.PrintErrText;
            } else {
                failure = "Unable to Print " + m.key;
            }
        }
        if (m.keywordsGiven && page.g_ValidImage == 1) RedisplayImage();
    } else if (ownListFile) {
        RemoveFile(m.listFile);
    }
    return failure;
}

void frmView::Process_Message_String(const std::string& szMsg, modView::MessageAnswer answer) {
    CloseQuickScroll();
    // EXIT closes as the close button does, also while a run of the
    // interpreter waits on a request or a dialog: it is not queued behind it.
    if (modView::ParseCommandMessage(szMsg).command == "EXIT") {
        QMetaObject::invokeMethod(this, [this] { CloseWhenIdle(); }, Qt::QueuedConnection);
        run.AbortNow = 1;
        return;
    }
    if (!szMsg.empty() && !run.MessageQueue.Append(szMsg, answer)) {
        platform::MsgBox("Unable to process message");
        if (answer) answer("Unable to process message");
        return;
    }
    if (run.MessageInProcess != 0 || RequestInProcess() || run.AbortNow != 0 ||
        run.MainFormLoaded == 0) {
        return;
    }
    run.MessageInProcess = 1;
    while (!run.MessageQueue.Empty() && run.AbortNow == 0 && run.MainFormLoaded != 0) {
        modView::CommandMessage m = modView::ParseCommandMessage(run.MessageQueue.First());
        bool ownListFile = false;
        std::string failure = m.printFlag > 0 ? "Unable to Print " + m.key : "";
        try {
            GatherMessageFiles(m, ownListFile);
        } catch (const std::exception&) {
            m.errorCode = -1;
        }
        if (m.errorCode == 0 || m.errorCode == -1) {
            try {
                failure = CarryOutMessage(m, ownListFile);
            } catch (const std::exception&) {
                m.errorCode = -1;
            }
        } else {
            failure = "Error #" + std::to_string(m.errorCode) + " in processing Clipboard Command";
            platform::Beep();
            platform::MsgBox(failure, platform::vbCritical, "Error");
        }
        query.SettleKeywords(Session().IsUserValid() && Session().IsProjectValid());
        if (modView::MessageAnswer waiting = run.MessageQueue.TakeFirstAnswer()) waiting(failure);
        run.MessageQueue.RemoveFirst();
    }
    // A close stopped the run: what it left is not carried out.
    for (; run.AbortNow != 0 && !run.MessageQueue.Empty(); run.MessageQueue.RemoveFirst()) {
        if (modView::MessageAnswer waiting = run.MessageQueue.TakeFirstAnswer())
            waiting("Not printed: the viewer was closed");
    }
    run.MessageInProcess = 0;
    if (isMinimized()) showNormal();
}

}  // namespace viewer
