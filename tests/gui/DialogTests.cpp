#include "GuiTestSupport.h"

#include "app/FormMessages.h"
#include "gui/Dialogs.h"
#include "gui/GuiUi.h"
#include "gui/MainFrame.h"
#include "gui/StartView.h"
#include "gui/TessarinDoc.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <fstream>

namespace {

TEST(FlashDialogTest, InitialChoiceFollowsTheFlashRate)
{
    const struct {
        int baud;
        int index;
    } cases[] = {{0, 0}, {19200, 0}, {57600, 0}, {38400, 1}, {115200, 2}};
    for (const auto& c : cases) {
        FlashDialog dialog(c.baud);
        EXPECT_EQ(dialog.SelectedRate(), c.index) << c.baud;
        EXPECT_TRUE(dialog.RateButton(c.index)->isChecked());
        EXPECT_EQ(dialog.windowTitle(), "Configuration");
    }
    FlashDialog dialog(0);
    EXPECT_EQ(dialog.RateButton(0)->text(), "19,200 Bd ");
    EXPECT_EQ(dialog.RateButton(1)->text(), "38,400 Bd");
    EXPECT_EQ(dialog.RateButton(2)->text(), "115,200 Bd");
    EXPECT_FALSE(dialog.findChild<QLabel*>("FlashPicture")->pixmap().isNull());
}

TEST(FlashDialogTest, OkGivesTheChosenRateAndEscapeGivesNone)
{
    CGuiUi ui;
    CModalAnswerer answers;
    answers.Then([](QWidget* w) {
        auto* dialog = qobject_cast<FlashDialog*>(w);
        if (!dialog)
            return false;
        dialog->RateButton(2)->click();
        return PressButton(dialog, "OK");
    });
    answers.Then([](QWidget* w) {
        if (!qobject_cast<FlashDialog*>(w))
            return false;
        QTest::keyClick(w, Qt::Key_Escape);
        return true;
    });
    answers.Start();
    EXPECT_EQ(ui.AskFlashRate(57600), 115200);
    EXPECT_EQ(ui.AskFlashRate(38400), 0);
    EXPECT_TRUE(answers.Done());
}

class SettingsDialogTest : public ::testing::Test {
protected:
    SettingsDialogTest() : scratch("settings-dialogs")
    {
        CTessarinView::SwitchedThisRun() = true;
        std::ofstream(scratch.Path() / "adapter").put('\n');
        Settings().WriteString(SettingsSection::kPorts, "COM97", (scratch.Path() / "adapter").string());
        Settings().WriteString(SettingsSection::kPorts, "COM96", (scratch.Path() / "unplugged").string());
    }
    ~SettingsDialogTest() override
    {
        Settings().Remove(SettingsSection::kPorts, "COM97");
        Settings().Remove(SettingsSection::kPorts, "COM96");
    }
    CScratchCurrentDirectory scratch;
};

TEST_F(SettingsDialogTest, CommDialogListsThePortsPresentAndSelectsTheSavedOne)
{
    CCommDialog dialog(97);
    QComboBox* list = dialog.PortList();
    EXPECT_EQ(dialog.windowTitle(), "Communication Settings");
    EXPECT_EQ(list->currentText(), "COM97");
    EXPECT_EQ(list->findText("COM96"), -1) << "a saved port whose device is gone is not offered";
    EXPECT_TRUE(list->toolTip().contains("adapter")) << "the device is the list's tool tip";
    for (QLabel* label : dialog.findChildren<QLabel*>())
        EXPECT_EQ(label->text(), "Comm Port") << "the dialog has no line of its own for the device";
    EXPECT_EQ(dialog.PortNumber(), 97);
}

TEST_F(SettingsDialogTest, CommDialogWithoutTheSavedPortSelectsNothingAndKeepsThePort)
{
    CTessarinDoc doc;
    doc.SetPortNumber(98);
    CMainFrame frame(doc, 5);
    CModalAnswerer answers;
    answers.Then([](QWidget* w) {
        auto* dialog = qobject_cast<CCommDialog*>(w);
        if (!dialog)
            return false;
        EXPECT_EQ(dialog->PortList()->currentIndex(), -1);
        return PressButton(dialog, "OK");
    });
    answers.Then([](QWidget* w) {
        auto* dialog = qobject_cast<CCommDialog*>(w);
        if (!dialog)
            return false;
        dialog->PortList()->setCurrentIndex(dialog->PortList()->findText("COM97"));
        return PressButton(dialog, "OK");
    });
    answers.Start();
    frame.OnCommSetting();
    EXPECT_EQ(doc.PortNumber(), 98);
    frame.OnCommSetting();
    EXPECT_EQ(doc.PortNumber(), 97);
    EXPECT_EQ(frame.PortPane()->text(), "COM97");
    int saved = 0;
    Settings().ReadDword(SettingsSection::kCommunication, "Port ID", saved);
    EXPECT_EQ(saved, 97);
}

TEST_F(SettingsDialogTest, OrxDialogShowsAndSetsTheEchoType)
{
    const struct {
        int echoType;
        bool echo;
    } cases[] = {{1, true}, {0, false}, {2, false}};
    for (const auto& c : cases) {
        COrxDialog dialog(c.echoType);
        EXPECT_EQ(dialog.EchoButton()->isChecked(), c.echo) << c.echoType;
        EXPECT_EQ(dialog.NoEchoButton()->isChecked(), !c.echo);
    }

    CTessarinDoc doc;
    doc.SetEchoType(1);
    CMainFrame frame(doc, 5);
    CModalAnswerer answers;
    answers.Then([](QWidget* w) {
        auto* dialog = qobject_cast<COrxDialog*>(w);
        if (!dialog)
            return false;
        dialog->NoEchoButton()->click();
        return PressButton(dialog, "Cancel");
    });
    answers.Then([](QWidget* w) {
        auto* dialog = qobject_cast<COrxDialog*>(w);
        if (!dialog)
            return false;
        dialog->NoEchoButton()->click();
        return PressButton(dialog, "OK");
    });
    answers.Start();
    frame.OnOrxSetting();
    EXPECT_EQ(doc.EchoType(), 1);
    frame.OnOrxSetting();
    EXPECT_EQ(doc.EchoType(), 0);
}

TEST(MessageBoxTest, CaptionIconAndButtonsFollowTheStyle)
{
    CGuiUi ui;
    CModalAnswerer answers;
    answers.Then([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box)
            return false;
        EXPECT_EQ(box->windowTitle(), "NOTE");
        EXPECT_EQ(box->icon(), QMessageBox::Information);
        EXPECT_EQ(box->text(), "line one\nline two");
        return PressButton(box, "Cancel");
    });
    answers.Then([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box)
            return false;
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_FALSE(PressButton(box, "Cancel"));
        QTest::keyClick(box, Qt::Key_Escape);
        return true;
    });
    // A text broken by hand (the testing-kit warning) is not wrapped again: its widest line fits.
    answers.Then([](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box)
            return false;
        auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        int widest = 0;
        for (const QString& line : box->text().split('\n'))
            widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
        EXPECT_GE(label->width(), widest) << "the hand-broken lines are wrapped again";
        return PressButton(box, "OK");
    });
    answers.Start();
    EXPECT_EQ(ui.MessageBox("line one\nline two", "NOTE", MB_OKCANCEL | MB_ICONINFORMATION), IDCANCEL);
    EXPECT_EQ(ui.MessageBox("stop", "Error", MB_OK | MB_ICONSTOP), IDOK);
    EXPECT_EQ(ui.MessageBox(FormText::kTestingKit, "Warning", MB_OKCANCEL | MB_ICONEXCLAMATION), IDOK);
    EXPECT_TRUE(answers.Done());
}

} // namespace
