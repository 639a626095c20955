#include <gtest/gtest.h>

#include <QImage>

#include "support/annotation_box.h"
#include "support/scoped_env.h"
#include "viewer/page_scene.h"

namespace {

constexpr std::int32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kYellow = 0x00FFFF, kRed = 0x0000FF;

// A page painted onto a plain surface, as printing will paint it: each layer
// shows as the page's restriction, the annotation access and the behaviour
// flags allow, whatever view asks.
TEST(PageScene, APagePaintedWithoutAWindowShowsEachLayerAsItsRightsAllow) {
    testsupport::ScopedTempDir dir;
    QImage white(200, 100, QImage::Format_RGB32);
    white.fill(Qt::white);
    const std::string path = dir.Path() + "/page.png";
    ASSERT_TRUE(white.save(QString::fromStdString(path)));
    cGdiLead engine;
    ASSERT_TRUE(engine.OpenImageFile(path));

    const TalqClientAPI_Header::WordBoxes words =
        TalqClientAPI_Header::ParseWordBoxes("fox|10|10|20|10^dog|100|10|20|10");
    const KindList redactions{{testsupport::AnnotationBox(10, 50, 40, 80, kBlack)}, 1};
    const KindList highlights{{testsupport::AnnotationBox(100, 50, 140, 80, kYellow)}, 1};

    struct Case {
        bool restricted;
        std::int32_t access, flags;
        std::int32_t hit, redaction, highlight;
    } cases[] = {
        {false, 0, 0, kRed, kBlack, kYellow},
        {true, 0, 0, kWhite, kBlack, kWhite},    // restricted: redactions only
        {false, 2, 0, kRed, kBlack, kWhite},     // annotations hidden from this user
        {false, 0, 0x80, kRed, kBlack, kWhite},  // highlights switched off
    };
    for (const Case& c : cases) {
        PageScene scene;
        scene.image = &engine;
        scene.width = 200;
        scene.height = 100;
        scene.info.width = 200;
        scene.info.height = 100;
        scene.restricted = c.restricted;
        scene.annotationAccess = c.access;
        scene.behaviorFlags = c.flags;
        scene.layers.words = &words;
        scene.layers.searchKeywords = "f?x";
        scene.layers.annotations[kRedaction] = &redactions;
        scene.layers.annotations[kHighlight] = &highlights;
        platform::DrawSurface surface(200, 100);
        PaintPage(scene, surface);
        const std::string what = "restricted " + std::to_string(c.restricted) + " access " +
                                 std::to_string(c.access) + " flags " + std::to_string(c.flags);
        EXPECT_EQ(surface.Point(15, 15), c.hit) << what;
        EXPECT_EQ(surface.Point(105, 15), kWhite) << what;  // "dog" is no hit
        EXPECT_EQ(surface.Point(12, 52), c.redaction) << what;
        EXPECT_EQ(surface.Point(110, 60), c.highlight) << what;
    }
}

}  // namespace
