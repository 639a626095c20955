#pragma once
// Five white letter pages at 100 dpi in two documents of a fake session,
// each with a redaction over most of it and a highlight at its foot, and a
// recording printer "Rec" as the machine's only one.

#include <QBuffer>
#include <QImage>

#include <memory>
#include <string>
#include <vector>

#include "platform/printer_recording.h"
#include "support/annotation_box.h"
#include "support/scoped_env.h"
#include "viewer/fake_viewer_session.h"
#include "viewer/widgets/print_driver.h"

namespace testsupport {

inline std::string PagePng() {
    QImage page(850, 1100, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setDotsPerMeterX(3937);
    page.setDotsPerMeterY(3937);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    page.save(&buffer, "PNG");
    return bytes.toStdString();
}

// Share of the picture's pixels darker than mid grey, and whether any is yellow.
inline double DarkShare(const QImage& img) {
    std::int64_t dark = 0;
    for (int y = 0; y < img.height(); y += 4)
        for (int x = 0; x < img.width(); x += 4) dark += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
    return static_cast<double>(dark) / ((img.height() / 4 + 1) * (img.width() / 4 + 1));
}
inline bool HasYellow(const QImage& img) {
    for (int y = 0; y < img.height(); y += 4)
        for (int x = 0; x < img.width(); x += 4) {
            const QRgb p = img.pixel(x, y);
            if (qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) < 80) return true;
        }
    return false;
}

class PrintScene {
  public:
    static constexpr std::int32_t kBlack = 0x000000;
    static constexpr std::int32_t kYellow = 0x00FFFF;

    explicit PrintScene(FakeViewerSession& session) : session_(session) {
        session.userValid = session.projectValid = true;
        session.projectName = "ACME";
        session.tempFile = dir.Path() + "/print.img";
        session.pageKeys = {"K0001", "K0002", "K0003", "K0004", "K0005"};
        session.documents = {{"K0001", "K0003"}, {"K0004", "K0005"}};
        for (const std::string& k : session.pageKeys) {
            session.images[k] = PagePng();
            session.annotations[k][kRedaction] = Text({AnnotationBox(50, 50, 800, 900, kBlack)});
            session.annotations[k][kHighlight] = Text({AnnotationBox(50, 950, 800, 1050, kYellow)});
        }
        session.passThrough = [](const std::string&, std::string& reply) {
            reply = "OK";
            return true;
        };
        machine_ = std::make_shared<platform::RecordingPrinterCollection>();
        printer = machine_->Add("Rec");
        platform::InstallPrinterCollection(machine_);
    }
    ~PrintScene() { platform::InstallPrinterCollection(nullptr); }
    PrintScene(const PrintScene&) = delete;
    PrintScene& operator=(const PrintScene&) = delete;

    // A local print of a range on "Rec", the whole range as one job.
    static void Local(viewer::PrintRequest& request, std::int16_t range, std::int32_t flags) {
        request.g_PrinterType = 0;
        request.PrintLocalPrinter = "Rec";
        request.g_PrintMode = 0;
        request.g_PrintRange = range;
        request.g_PrintFlags = flags;
        request.PrintEntireJob = 1;
    }
    std::vector<std::string> Logs() const {
        std::vector<std::string> logs;
        for (const std::string& c : session_.passThroughSent)
            if (c.rfind("TALQUpdtPrintLog,", 0) == 0) logs.push_back(c);
        return logs;
    }

    ScopedTempDir dir;
    std::shared_ptr<platform::RecordingPrinter> printer;

  private:
    static std::string Text(const AnnotationList& list) {
        std::string text;
        TalqClientAPI_Header::BuildAnnotationList(static_cast<int>(list.size()), list, text);
        return text;
    }

    FakeViewerSession& session_;
    std::shared_ptr<platform::RecordingPrinterCollection> machine_;
};

}  // namespace testsupport
