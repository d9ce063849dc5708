#include "GuiTestSupport.h"

#include "gui/MainFrame.h"
#include "gui/ProgressWnd.h"
#include "gui/TessarinDoc.h"
#include "platform/SettingsStore.h"
#include "platform/UiServices.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace {

class ProgressTest : public ::testing::Test {
protected:
    ProgressTest() : frame(doc, 5)
    {
        Settings().WriteDword(SettingsSection::kWindow, "X", -1);
        Settings().WriteDword(SettingsSection::kWindow, "Y", -1);
        Ui().TestAndResetCancelEvent();
        frame.show();
    }
    void Send(unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0) { frame.OnFrameMessage(message, wParam, lParam); }
    CProgressWnd& Progress() { return frame.Progress(); }

    CTessarinDoc doc;
    CMainFrame frame;
};

TEST_F(ProgressTest, PleaseWaitCaptionTurnsIntoPercentageAsTheBarMoves)
{
    Send(WM_PROGRESS_OPEN, 200, 0);
    ASSERT_TRUE(Progress().IsCreated());
    EXPECT_TRUE(Progress().isVisible());
    EXPECT_EQ(Progress().windowTitle(), "Please Wait");
    EXPECT_FALSE(Progress().CancelButton()->isVisible());
    EXPECT_TRUE(frame.IsHeldDisabled());

    Send(WM_PROGRESS_STEP);
    EXPECT_EQ(Progress().windowTitle(), "Please Wait");
    Send(WM_PROGRESS_STEP);
    EXPECT_EQ(Progress().windowTitle(), "Progress [1%]");
    for (int i = 2; i < 100; ++i)
        Send(WM_PROGRESS_STEP);
    EXPECT_EQ(Progress().windowTitle(), "Progress [50%]");
    EXPECT_EQ(Progress().Bar()->value(), 100);

    // A second open while the window is up keeps its bar; one for a stage that can be
    // cancelled (the patch entries) offers Cancel there, and Cancel signals the event.
    Send(WM_PROGRESS_OPEN, 10, 0);
    EXPECT_EQ(Progress().windowTitle(), "Progress [50%]");
    EXPECT_EQ(Progress().Position(), 100);
    EXPECT_FALSE(Progress().CancelButton()->isVisible());
    Send(WM_PROGRESS_OPEN, 10, 1);
    EXPECT_EQ(Progress().Position(), 100);
    ASSERT_TRUE(Progress().CancelButton()->isVisible());
    QTest::mouseClick(Progress().CancelButton(), Qt::LeftButton);
    Send(WM_PROGRESS_STEP);
    EXPECT_TRUE(Ui().TestAndResetCancelEvent());
    EXPECT_FALSE(Progress().IsCreated());

    Send(WM_PROGRESS_CLOSE);
    EXPECT_FALSE(Progress().IsCreated());
    EXPECT_FALSE(Progress().isVisible());
    EXPECT_FALSE(frame.IsHeldDisabled());
    EXPECT_FALSE(Ui().TestAndResetCancelEvent());
}

TEST_F(ProgressTest, CancelSignalsTheCancelEventOnceAndTheNextWindowStartsAfresh)
{
    Send(WM_PROGRESS_OPEN, 100, 1);
    EXPECT_EQ(Progress().windowTitle(), "Progress Percentage");
    ASSERT_TRUE(Progress().CancelButton()->isVisible());
    EXPECT_EQ(Progress().CancelButton()->text(), " Cancel ");
    Send(WM_PROGRESS_STEP);
    EXPECT_EQ(Progress().windowTitle(), "Progress [1%]");

    QTest::mouseClick(Progress().CancelButton(), Qt::LeftButton);
    EXPECT_FALSE(Progress().IsCreated());
    EXPECT_FALSE(Progress().isVisible());
    EXPECT_FALSE(frame.IsHeldDisabled());
    EXPECT_TRUE(Ui().TestAndResetCancelEvent());

    // Steps and the close after Cancel find the window gone.
    Send(WM_PROGRESS_STEP);
    Send(WM_PROGRESS_CLOSE);
    EXPECT_FALSE(Ui().TestAndResetCancelEvent());

    Send(WM_PROGRESS_OPEN, 100, 1);
    EXPECT_TRUE(Progress().IsCreated());
    EXPECT_FALSE(Progress().IsCancelled());
    EXPECT_EQ(Progress().Position(), 0);
    EXPECT_EQ(Progress().windowTitle(), "Progress Percentage");
    Send(WM_PROGRESS_CLOSE);
}

TEST_F(ProgressTest, ProgressTextShowsInTheWindow)
{
    frame.SetProgressText("Erasing the flash ...");
    Send(WM_PROGRESS_OPEN, 10, 0);
    EXPECT_EQ(Progress().TextControl()->text(), "Erasing the flash ...");
    frame.SetProgressText("Writing the firmware ...");
    EXPECT_EQ(Progress().TextControl()->text(), "Writing the firmware ...");
    // A line wider than the layout's text area widens the window: nothing of it is cut off.
    const QString warning = "Programming flash ROM...\nWARNING!! Ensure process is not interrupted";
    frame.SetProgressText(warning);
    const int needed = QFontMetrics(Progress().TextControl()->font()).boundingRect(QRect(0, 0, 4000, 4000), 0, warning).width();
    EXPECT_GE(Progress().TextControl()->width(), needed);
    EXPECT_GE(Progress().width(), needed + 20);
    Send(WM_PROGRESS_CLOSE);
    EXPECT_EQ(Progress().CurrentMessage(), "");
}

TEST_F(ProgressTest, PositionIsSavedAndRestoredAndOffScreenPositionsAreCentred)
{
    const QRect screen = frame.screen()->geometry();
    struct Case {
        int x, y;
        bool centred;
    } cases[] = {{-1, -1, true}, {-1, 40, true}, {40, 30, false}, {screen.width(), 30, true}, {30, screen.height(), true}};
    for (const Case& c : cases) {
        Settings().WriteDword(SettingsSection::kWindow, "X", c.x);
        Settings().WriteDword(SettingsSection::kWindow, "Y", c.y);
        Send(WM_PROGRESS_OPEN, 10, 0);
        const QPoint at = Progress().pos();
        if (c.centred)
            EXPECT_NE(at, QPoint(c.x, c.y)) << c.x << "," << c.y;
        else
            EXPECT_EQ(at, QPoint(c.x, c.y));
        Progress().move(55, 66);
        Send(WM_PROGRESS_CLOSE);
        int x = 0, y = 0;
        Settings().ReadDword(SettingsSection::kWindow, "X", x);
        Settings().ReadDword(SettingsSection::kWindow, "Y", y);
        EXPECT_EQ(QPoint(x, y), QPoint(55, 66));
    }
}

TEST_F(ProgressTest, StatusNoticesSaveThePaneTextOnceAndPutItBack)
{
    QLabel* pane = frame.MessagePane();
    struct Step {
        int kind;
        const char* shown;
    };
    const Step steps[] = {
        {1, "Please Wait: Downloading bootcode ..."},
        {2, "Please Wait: Flashing firmware ..."},
        {0, "Ready"},
        {0, "Ready"},
        {2, "Please Wait: Flashing firmware ..."},
        {4, "Ready"},
        {1, "Please Wait: Downloading bootcode ..."},
        {3, "Ready"},
        {3, "Please Wait: Verifying Checksum ..."},
        {3, "Ready"},
        {1, "Please Wait: Downloading bootcode ..."},
        {3, "Ready"},
        {3, "Please Wait: Verifying Checksum ..."},
    };
    for (const Step& step : steps) {
        Send(WM_STATUS_NOTICE, step.kind);
        EXPECT_EQ(pane->text(), step.shown) << "kind " << step.kind;
    }
    // A failed boot code start on a line without a checksum check leaves that last notice up;
    // the end of the press takes it down.
    frame.EndStatusNotices();
    EXPECT_EQ(pane->text(), "Ready");
}

// The engine's stage and time left show in a pane of their own beside the port, while notices
// keep the message pane; the pane goes once the run's reports end. An activity shows in the
// message pane, and waits there behind a notice that is up.
TEST_F(ProgressTest, StageAndTimeLeftShowInTheStatusBar)
{
    QLabel* stage = frame.StagePane();
    ProgressReport report;
    report.stageNumber = 4;
    report.stageCount = 6;
    report.stageName = "Firmware";
    report.secondsLeft = 48;
    frame.ShowProgress(report);
    EXPECT_FALSE(stage->isHidden());
    EXPECT_EQ(stage->text(), "Stage 4 of 6: Firmware, about 0:48 left");
    Send(WM_STATUS_NOTICE, 2);
    EXPECT_EQ(frame.MessagePane()->text(), "Please Wait: Flashing firmware ...");
    EXPECT_EQ(stage->text(), "Stage 4 of 6: Firmware, about 0:48 left");
    frame.ShowActivity("Second press");
    EXPECT_EQ(frame.MessagePane()->text(), "Please Wait: Flashing firmware ...");
    Send(WM_STATUS_NOTICE, 0);
    EXPECT_EQ(frame.MessagePane()->text(), "Second press");
    frame.ShowProgress(ProgressReport{});
    EXPECT_TRUE(stage->isHidden());
    EXPECT_EQ(stage->text(), "");
}

} // namespace
