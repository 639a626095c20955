#include "annotations/clip_rules.h"

#include <unistd.h>

#include "foundation/fields.h"
#include "platform/launcher.h"
#include "platform/prompts.h"
#include "platform/wire_separators.h"
#include "server/talq_client_api_header.h"

namespace annotations {

ClipTarget ReadStoredClip(std::int32_t mode, const std::string& clipText) {
    ClipTarget t;
    const std::string sep(1, wire::kListSep);
    if (mode == 1 || mode == 2) {
        t.mode = mode;
        t.file = mVBUtil::GetField(sep, clipText, 1);
        if (mode == 2) t.program = mVBUtil::GetField(sep, clipText, 2);
        return t;
    }
    TalqClientAPI_Header::SplitClipCommand(clipText, t.file, t.program, t.mode);
    return t;
}

std::string ClipInWords(std::int32_t mode, const std::string& clipText) {
    const ClipTarget t = ReadStoredClip(mode, clipText);
    return t.program.empty() ? t.file : t.file + " (opened with " + t.program + ")";
}

bool ConfirmClipProgram(const ClipTarget& target) {
    const std::string text = "This clip starts the program\n" + target.program + "\nto open\n" +
                             target.file + "\n\nStart it?";
    return platform::MsgBox(text,
                            platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2,
                            "Warning") == platform::vbYes;
}

bool RunClipTarget(const ClipTarget& target, bool& declined) {
    declined = false;
    if (target.file.empty() || platform::IsRunnableFile(target.file)) return false;
    if (target.mode != 2) return platform::OpenWithDesktop(target.file);
    if (target.program.empty() || ::access(target.program.c_str(), X_OK) != 0) return false;
    if (!ConfirmClipProgram(target)) {
        declined = true;
        return false;
    }
    return platform::StartProgramWith(target.program, target.file);
}

}  // namespace annotations
