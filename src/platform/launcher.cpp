#include "platform/launcher.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDesktopServices>
#include <QProcess>
#include <QStringList>
#include <QUrl>
#include <fstream>

#include "platform/text_codec.h"

namespace platform {
namespace {

class DesktopLauncher : public Launcher {
  public:
    bool OpenWithDesktop(const std::string& target) override {
        QString text = ToQString(target);
        QUrl url(text, QUrl::StrictMode);
        bool web = url.isValid() && (url.scheme().compare("http", Qt::CaseInsensitive) == 0 ||
                                     url.scheme().compare("https", Qt::CaseInsensitive) == 0);
        return QDesktopServices::openUrl(web ? url : QUrl::fromLocalFile(text));
    }
    bool StartProgramWith(const std::string& program, const std::string& document) override {
        return QProcess::startDetached(ToQString(program), QStringList{ToQString(document)});
    }
};

Launcher*& Installed() {
    static DesktopLauncher desktop;
    static Launcher* current = &desktop;
    return current;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

Launcher& CurrentLauncher() {
    return *Installed();
}

ScopedLauncher::ScopedLauncher(Launcher& launcher) : previous_(Installed()) {
    Installed() = &launcher;
}
ScopedLauncher::~ScopedLauncher() {
    Installed() = previous_;
}

bool IsRunnableFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    if (!S_ISREG(info.st_mode)) return true;  // only plain documents are opened
    if ((info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0) return true;
    std::string name = Lower(path);
    for (const char* end : {".desktop", ".exe", ".com", ".bat", ".cmd", ".msi", ".sh", ".appimage",
                            ".run", ".jar", ".pif", ".scr", ".lnk"}) {
        if (EndsWith(name, end)) return true;
    }
    std::ifstream in(path, std::ios::binary);
    char head[16] = {};
    in.read(head, sizeof head);
    std::string start(head, static_cast<std::size_t>(in.gcount()));
    if (start.rfind("\x7f"
                    "ELF",
                    0) == 0 ||
        start.rfind("#!", 0) == 0 || start.rfind("MZ", 0) == 0 ||
        start.rfind("[Desktop Entry]", 0) == 0) {
        return true;
    }
    return false;
}

}  // namespace platform
