// The answerer that keeps tests from hanging on a shown window.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include "platform/clock.h"
#include "support/modal_answerer.h"

namespace {

// A box that opens after the deadline, under a test's manual clock, is
// closed too, and the test is told.
TEST(ModalAnswererTest, ClosesABoxThatOpensAfterItsDeadline) {
    platform::ManualClock clock;
    platform::ScopedClock frozen(clock);
    testsupport::ModalAnswerer answerer([](QWidget*) {}, 20);
    QElapsedTimer waited;
    waited.start();
    while (!answerer.TimedOut() && !waited.hasExpired(5000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(answerer.TimedOut()) << "the deadline is real time";

    QMessageBox late(QMessageBox::Warning, "Late", "opened after the deadline");
    bool leftOpen = false;
    // Only if the answerer leaves it open.
    QTimer::singleShot(5000, &late, [&] {
        leftOpen = true;
        late.reject();
    });
    EXPECT_NONFATAL_FAILURE(late.exec(), "modal windows open past the deadline: 1");
    EXPECT_FALSE(leftOpen);
}

}  // namespace
