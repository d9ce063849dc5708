#include "GuiTestSupport.h"

#include "gui/Artwork.h"
#include "gui/Dialogs.h"
#include "gui/MainFrame.h"
#include "gui/StartView.h"
#include "gui/TessarinApp.h"
#include "gui/TessarinDoc.h"
#include "gui/UpgradeForm.h"
#include "gui/SXButton.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

namespace {

// Start views of these tests stay up: only the switching test lets one go.
class ShellTest : public ::testing::Test {
protected:
    ShellTest() { CTessarinView::SwitchedThisRun() = true; }
};

TEST_F(ShellTest, TitleAndAboutTextFollowTheProductLine)
{
    const struct {
        const char* productLine;  // nullptr: no configuration file
        const char* title;
    } cases[] = {{"DORVAL", "Radio Flashix"}, {"TAMBER", "Radio Flashix"}, {"MOVAR_F", "Radio Refurbix"},
                 {"dorval", "Radio Refurbix"}, {nullptr, "Radio Refurbix"}};
    for (const auto& c : cases) {
        CScratchCurrentDirectory scratch("title");
        if (c.productLine)
            WriteConfigFile(scratch.Path(), c.productLine);
        CTessarinApp app;
        ASSERT_TRUE(app.InitInstance());
        EXPECT_EQ(app.MainFrame()->windowTitle(), c.title) << (c.productLine ? c.productLine : "(none)");

        QString aboutTitle;
        CModalAnswerer answers;
        answers.Then([&](QWidget* w) {
            auto* about = qobject_cast<CAboutDlg*>(w);
            if (!about)
                return false;
            aboutTitle = about->TitleControl()->text();
            auto* version = about->findChild<QLabel*>("AboutVersion");
            EXPECT_TRUE(version && version->text() == "Version: " TESSARIN_VERSION_TEXT ", 20-May-2011");
            return PressButton(about, "OK");
        });
        answers.Start();
        app.MainFrame()->OnAbout();
        EXPECT_EQ(aboutTitle, c.title);
    }
}

TEST_F(ShellTest, FrameHasItsMenusToolbarAndStatusPanes)
{
    CScratchCurrentDirectory scratch("frame");
    CTessarinDoc doc;
    doc.SetPortNumber(4);
    CMainFrame frame(doc, 5);
    frame.ShowPort(doc.PortNumber());
    EXPECT_EQ(frame.size(), QSize(560, 450));
    EXPECT_EQ(frame.PortPane()->text(), "COM4");
    EXPECT_EQ(frame.MessagePane()->text(), "Ready");

    QStringList menus;
    for (QAction* menu : frame.menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, QStringList({"&Config", "&View", "&Help"}));
    QStringList config;
    for (QAction* item : frame.menuBar()->actions()[0]->menu()->actions())
        config << (item->isSeparator() ? "-" : item->text());
    EXPECT_EQ(config, QStringList({"Comm Setting", "ORX Setting", "-", "E&xit"}));

    QStringList tools;
    for (QAction* tool : frame.findChild<QToolBar*>("Toolbar")->actions())
        tools << (tool->isSeparator() ? "-" : tool->toolTip());
    EXPECT_EQ(tools, QStringList({"Comm Setting", "Echo Setting", "-", "About"}));
    EXPECT_EQ(frame.Action("CommSetting")->statusTip(), "Select Communication port");

    // No command handles the option list: it is disabled, and stays so when the frame is
    // held and let go.
    EXPECT_FALSE(frame.Action("OptionList")->isEnabled());
    frame.HoldDisabled(true);
    EXPECT_FALSE(frame.menuBar()->isEnabled());
    frame.HoldDisabled(false);
    EXPECT_TRUE(frame.menuBar()->isEnabled());
    EXPECT_FALSE(frame.Action("OptionList")->isEnabled());
}

TEST_F(ShellTest, StartViewGivesWayToTheFormExactlyOnce)
{
    CScratchCurrentDirectory scratch("switch");
    WriteConfigFile(scratch.Path(), "PILLAN", "Kit title", "Kit description");
    EXPECT_EQ(CTessarinView::TickMilliseconds(), 250);
    EXPECT_EQ(CTessarinView::WaitMilliseconds(), 700);
    const int tick = CTessarinView::TickMilliseconds();
    const int wait = CTessarinView::WaitMilliseconds();
    CTessarinView::TickMilliseconds() = 1;
    CTessarinView::WaitMilliseconds() = 1;
    CTessarinView::SwitchedThisRun() = false;

    CTessarinDoc doc;
    CMainFrame frame(doc, 5);
    frame.show();
    EXPECT_TRUE(qobject_cast<CTessarinView*>(frame.centralWidget()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.Form() != nullptr; }, 5000));
    CUpgradeFormWindow* form = frame.Form();
    EXPECT_EQ(frame.centralWidget(), form);
    EXPECT_EQ(form->TitleText()->text(), "Kit title");
    EXPECT_EQ(form->DescriptionText()->text(), "Kit description");

    // A second start view in the same run stays where it is.
    CMainFrame second(doc, 5);
    second.show();
    QTest::qWait(50);
    EXPECT_EQ(second.Form(), nullptr);
    EXPECT_EQ(frame.Form(), form);

    CTessarinView::TickMilliseconds() = tick;
    CTessarinView::WaitMilliseconds() = wait;
}

TEST_F(ShellTest, StartViewCentresTheProductPicture)
{
    const struct {
        int productLine;
        QSize picture;
    } cases[] = {{4, {480, 360}}, {5, {446, 317}}, {12, {446, 317}}};
    for (const auto& c : cases) {
        CTessarinView view(c.productLine, {});
        view.resize(544, 380);
        QPixmap shot = view.grab();
        const QRect at = view.PictureRect();
        EXPECT_EQ(at.size(), c.picture);
        EXPECT_EQ(at.left(), 544 / 2 - c.picture.width() / 2);
        EXPECT_EQ(at.top(), 380 / 2 - c.picture.height() / 2);
        EXPECT_EQ(shot.toImage().pixelColor(0, 0).rgb(), Artwork::ButtonShadowColour().rgb()) << c.productLine;
    }
}

TEST_F(ShellTest, FormShowsItsTextsInTheirColoursAndTheProgramButtonLaysOutItsIcon)
{
    CUpgradeFormView form;
    form.resize(544, 380);
    form.SetTitleText("Title text");
    EXPECT_EQ(form.TitleFrame()->title(), "Title");
    EXPECT_EQ(form.DescriptionFrame()->title(), "Description");
    EXPECT_EQ(form.Caution()->text(), "Caution: Please ensure to power on the radio before click PROGRAM button. ");
    EXPECT_EQ(form.TitleFrame()->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    EXPECT_EQ(form.TitleText()->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(form.DescriptionText()->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    EXPECT_EQ(form.Caution()->palette().color(QPalette::WindowText), QColor(200, 0, 0));

    CSXButton* program = form.ProgramButton();
    EXPECT_EQ(program->text(), "Program");
    EXPECT_EQ(program->IconRect().left(), 15);
    EXPECT_EQ(program->IconRect().size(), QSize(32, 32));
    EXPECT_EQ(program->IconRect().top(), (program->height() - 32) / 2);
    EXPECT_GE(program->TextRect().left(), 15 + 32 + 1);
    EXPECT_EQ(program->SetIconLeftOffset(20), 15);
    EXPECT_EQ(program->SetTextGap(3), 1);
}

} // namespace

namespace {

// The frame titles are drawn in white and bold (thin white strokes on the grey read as grey),
// whatever the style draws a group box's title with, also once the form is in the main window;
// the kit's texts keep the plain font.
TEST_F(ShellTest, FrameTitlesAreDrawnWhiteAndBold)
{
    CScratchCurrentDirectory scratch("frame-titles");
    CTessarinDoc doc;
    CMainFrame frame(doc, 5);
    frame.show();
    frame.SwitchView();
    QApplication::processEvents();
    CUpgradeFormView* form = frame.Form();
    const QImage shot = form->grab().toImage();
    for (QGroupBox* box : {form->TitleFrame(), form->DescriptionFrame()}) {
        const QRect strip(box->geometry().topLeft(), QSize(box->width(), box->fontMetrics().height() + 4));
        int white = 0;
        for (int y = strip.top(); y <= strip.bottom(); ++y) {
            for (int x = strip.left(); x <= strip.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                white += qMin(qMin(c.red(), c.green()), c.blue()) >= 235;
            }
        }
        EXPECT_GT(white, 10) << box->title().toStdString();
        EXPECT_TRUE(box->font().bold()) << box->title().toStdString();
    }
    EXPECT_FALSE(form->TitleText()->font().bold());
    EXPECT_FALSE(form->DescriptionText()->font().bold());
}

} // namespace
