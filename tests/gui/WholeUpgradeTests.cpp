// A whole upgrade through the window: the Program button is pressed, the upgrade runs on the
// worker against the in-process simulated demo radio (virtual clock), and every question is
// answered by pressing the buttons of the dialog or message box the window puts up.
#include "GuiTestSupport.h"

#include "app/FormMessages.h"
#include "app/PressJournal.h"
#include "app/WorkflowFlags.h"
#include "files/ProductLine.h"
#include "gui/Dialogs.h"
#include "gui/MainFrame.h"
#include "gui/ProgressWnd.h"
#include "gui/SXButton.h"
#include "gui/StartView.h"
#include "gui/TessarinApp.h"
#include "gui/TessarinDoc.h"
#include "gui/UpgradeForm.h"
#include "platform/StopRequest.h"
#include "tests/upgrade_codeplug/UpgradeFixture.h"
#include "upgrade/CarryOver.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <fstream>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

// The limit for the whole upgrade (real time; the radio's own time is virtual): far above
// what it takes on a loaded machine, well below the test's time-out.
constexpr int kUpgradeLimitMs = 90'000;

// Runs the event loop until the Program press has ended (or the limit has passed). The loop
// sleeps until something arrives, so the worker's calls to the window are served at once.
bool WaitForTheEnd(CUpgradeFormWindow& form)
{
    QEventLoop loop;
    QObject::connect(&form, &CUpgradeFormWindow::programFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(kUpgradeLimitMs, &loop, &QEventLoop::quit);
    if (form.IsRunning())
        loop.exec();
    return !form.IsRunning();
}

class GuiUpgradeTest : public ::testing::Test {
protected:
    GuiUpgradeTest()
        : scratch("upgrade"),
          rig(scope.Platform(), LoadRadioProfile(std::string(TESSARIN_SOURCE_DIR) + "/sim/profiles/demo.json"))
    {
        CTessarinView::SwitchedThisRun() = true;  // the test puts the form up itself
        ResetWorkflowFlags();
        // A calendar time whose identity mark is not the 0 the radio holds.
        scope.Platform().SetCalendarStart(1'700'000'042);
        // The technician's hands: the radio enters bootstrap mode when the PC sets the bootstrap rate.
        rig.Radio().SetAutoBootstrap(true);
        for (const auto& entry : fs::directory_iterator(TESSARIN_DEMO_KIT))
            fs::copy_file(entry.path(), scratch.Path() / entry.path().filename());
    }
    ~GuiUpgradeTest() override
    {
        ResetWorkflowFlags();
        SetProductLineNumber(kUnmatchedProductLine);
    }

    // What the window showed, in order: "Caption: text" for a message box, "flash rate" for
    // the flash rate dialog. Each is answered with its OK button (115,200 Bd in the dialog).
    void AnswerEverythingWithOk(int windows)
    {
        for (int i = 0; i < windows; ++i) {
            answers.Then([this](QWidget* window) {
                if (auto* flash = qobject_cast<FlashDialog*>(window)) {
                    shown.push_back("flash rate");
                    flash->RateButton(2)->click();
                    return PressButton(flash, "OK");
                }
                if (auto* box = qobject_cast<QMessageBox*>(window)) {
                    shown.push_back((box->windowTitle() + ": " + box->text()).toStdString());
                    return PressButton(box, "OK");
                }
                return false;
            });
        }
        answers.Start();
    }

    CSimPlatformScope scope;
    CScratchCurrentDirectory scratch;  // the kit: the program reads it from its current directory
    CSimRadioRig rig;
    CModalAnswerer answers;
    std::vector<std::string> shown;
};

TEST_F(GuiUpgradeTest, ProgramPressAnsweredInTheWindowUpgradesTheDemoRadio)
{
    const KitCase& kit = DemoKitCase();
    std::vector<uint8_t> expectedCodeplug =
        ExpectedCodeplug(kit, rig.Radio().Memory().Codeplug(), SRecordBytes(KitFile(kit, kit.image)));
    const std::vector<uint8_t> expectedFlash = FlashImage(KitFile(kit, "fw_128k"), 128 * 1024);

    CTessarinApp app;
    ASSERT_TRUE(app.InitInstance());
    // The radio's line as the settings dialogs would leave it: COM1, the interface box echoing.
    app.Document().SetPortNumber(1);
    app.Document().SetEchoType(1);
    CMainFrame& frame = *app.MainFrame();
    frame.SwitchView();
    CUpgradeFormWindow* form = frame.Form();
    ASSERT_NE(form, nullptr);

    AnswerEverythingWithOk(3);
    QTest::mouseClick(form->ProgramButton(), Qt::LeftButton);
    EXPECT_TRUE(form->IsRunning());
    EXPECT_TRUE(frame.IsHeldDisabled()) << "the window takes no command while the upgrade runs";
    ASSERT_TRUE(WaitForTheEnd(*form)) << "the upgrade did not end";

    EXPECT_EQ(shown, (std::vector<std::string>{"flash rate", std::string("NOTE: ") + FormText::kBootstrapFirst,
                                               std::string("NOTE: ") + FormText::kUpdateSuccessful}));
    EXPECT_FALSE(frame.IsHeldDisabled());
    EXPECT_FALSE(frame.Progress().IsCreated()) << "the progress window is gone";

    EXPECT_TRUE(rig.Radio().Memory().Flash() == expectedFlash) << "the radio holds the kit's firmware";
    EXPECT_NE(IdentityMark, 0);
    expectedCodeplug[0x3FF0] = IdentityMark;  // the mark the form wrote before the upgrade
    ExpectCodeplug(rig.Radio().Memory().Codeplug(), expectedCodeplug);
    const CCarryOverStore store;
    EXPECT_TRUE(store.List().empty()) << "the carry-over record is removed once restored";
    // The press is in the journal with what the window showed.
    std::ifstream journal(PressJournalFile(store));
    std::string line, last;
    while (std::getline(journal, line))
        last = line;
    ASSERT_FALSE(last.empty()) << "the press is journalled";
    const auto entry = nlohmann::json::parse(last);
    EXPECT_EQ(entry["frontEnd"], "window");
    EXPECT_EQ(entry["outcome"], "updated");
    EXPECT_EQ(entry["port"]["number"], 1);
    ASSERT_EQ(entry["messages"].size(), 3u) << last;
    EXPECT_EQ(entry["messages"][0]["text"], "Flash Rate");
    EXPECT_EQ(entry["messages"][0]["answer"], "115200");
    EXPECT_EQ(entry["messages"][2]["text"], FormText::kUpdateSuccessful);
}

// A stop signal while the window upgrades a radio (SIGTERM from a service manager, SIGHUP from
// a closed session): the upgrade stops at its next safe point, a question still open is
// answered Cancel, the port is given back, and the event loop ends with 128 plus the signal's
// number. Two stages: a question open on the screen, and the firmware being flashed.
class GuiStopTest : public GuiUpgradeTest {
protected:
    // Presses Program; `steps` answer the windows in turn, one of them raising the signal.
    int PressAndStop(std::vector<CModalAnswerer::Step> steps)
    {
        CTessarinApp app;
        EXPECT_TRUE(app.InitInstance());
        app.Document().SetPortNumber(1);
        app.Document().SetEchoType(1);
        CMainFrame& frame = *app.MainFrame();
        frame.SwitchView();
        CUpgradeFormWindow* form = frame.Form();
        for (auto& step : steps)
            answers.Then(step);
        answers.Start();
        QTest::mouseClick(form->ProgramButton(), Qt::LeftButton);
        // The application's own loop, as in tessarin-gui: the stop ends it (QCoreApplication::exit).
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
        limit.start(kUpgradeLimitMs);
        const int status = QCoreApplication::exec();
        EXPECT_FALSE(form->IsRunning()) << "the upgrade has stopped before the loop ended";
        EXPECT_FALSE(scope.Platform().Serial().DeviceOpen()) << "the port is given back";
        app.ExitInstance();
        return status;
    }
    ~GuiStopTest() override { ClearStopRequest(); }
};

TEST_F(GuiStopTest, SignalWhileAQuestionIsOpenAnswersItCancelAndEnds)
{
    const int status = PressAndStop({[](QWidget* window) {
        if (!qobject_cast<FlashDialog*>(window))
            return false;
        std::raise(SIGTERM);  // the window closes the dialog itself
        return true;
    }});
    EXPECT_EQ(status, 128 + SIGTERM);
}

TEST_F(GuiStopTest, SignalWhileTheFirmwareIsFlashedStopsBetweenRequests)
{
    const int status = PressAndStop({
        [](QWidget* window) {
            auto* flash = qobject_cast<FlashDialog*>(window);
            if (!flash)
                return false;
            flash->RateButton(2)->click();
            return PressButton(flash, "OK");
        },
        [](QWidget* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            if (!box)
                return false;
            const bool pressed = PressButton(box, "OK");  // bootstrap mode: the flash is next
            std::raise(SIGHUP);
            return pressed;
        },
    });
    EXPECT_EQ(status, 128 + SIGHUP);
    const KitCase& kit = DemoKitCase();
    EXPECT_FALSE(rig.Radio().Memory().Flash() == FlashImage(KitFile(kit, "fw_128k"), 128 * 1024))
        << "the upgrade stopped before the firmware was all written";
}

} // namespace
