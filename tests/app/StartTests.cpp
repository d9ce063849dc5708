// The form's start: the configuration file, the kit's texts, the product line and the testing kit.
#include "app/FormMessages.h"
#include "files/ProductLine.h"
#include "tests/app/WorkflowFixture.h"

using namespace FormText;

TEST_F(WorkflowTest, StartReadsTheKitsTexts)
{
    ASSERT_TRUE(Start());
    EXPECT_TRUE(Form().HasConfiguration());
    EXPECT_EQ(Form().Title(), "Tessarin demo kit: DM-450 and DM-470 to firmware R02.05");
    EXPECT_EQ(Form().Description(), "Flashes firmware R02.05, programs the demo codeplug and turns on the demo features.");
    EXPECT_EQ(Form().DataFileKey(), "DemoKitDataKey-2026-R0205");
    EXPECT_EQ(Form().CodeplugType(), 1);
    EXPECT_EQ(CUpgradeForm::ProductLine(), 5);
    EXPECT_EQ(CUpgradeForm::WindowTitle(), "Radio Refurbix");
    EXPECT_TRUE(TakeBoxes().empty());
}

TEST_F(WorkflowTest, StartWithoutUsableConfigurationReportsAndProgramRefuses)
{
    struct Case {
        const char* name;
        bool present;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"missing", false, "", kCannotOpenConfig},
        {"size not a multiple of 8", true, "0123456789", kCannotReadConfig},
        {"empty", true, "", kCannotReadConfig},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        kit.Remove("patcher.dat");
        if (c.present)
            kit.WriteFile("patcher.dat", c.bytes);
        ASSERT_TRUE(Start()) << "the program goes on without configuration";
        EXPECT_FALSE(Form().HasConfiguration());
        EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{std::string(kApplicationTitle) + ": " + c.message}));
        ProgramOutcome outcome = Form().OnProgram();
        EXPECT_EQ(outcome.end, ProgramEnd::KitUnusable);
        EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{std::string("Error: ") + kNoConfiguration}));
        EXPECT_EQ(engine.runs, 0);
    }
}

TEST_F(WorkflowTest, UnknownProductLineEndsTheApplication)
{
    kit.SetConfig(Replace(DemoConfigText(), "PILLAN", "pillan"));
    EXPECT_FALSE(Start());
    EXPECT_EQ(CUpgradeForm::ProductLine(), kUnmatchedProductLine);
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{std::string("Error: ") + kUnknownProductLine}));
    EXPECT_EQ(ScriptedUi().quitCode, 0);
}

TEST_F(WorkflowTest, TestingKitWarnsAndCancelEndsTheApplication)
{
    kit.SetConfig(Replace(DemoConfigText(), "bc19200", "tbc19200"));
    Answer({IDOK});
    EXPECT_TRUE(Start());
    // The kit's texts are on the form before the warning is shown over it.
    ASSERT_EQ(ScriptedUi().formTexts.size(), 1u);
    EXPECT_EQ(ScriptedUi().formTexts[0].title, "Tessarin demo kit: DM-450 and DM-470 to firmware R02.05");
    EXPECT_EQ(ScriptedUi().formTexts[0].boxesBefore, 0u);
    EXPECT_EQ(TakeBoxes(), (std::vector<std::string>{std::string("Warning: ") + kTestingKit}));
    EXPECT_EQ(ScriptedUi().boxes.back().style, MB_OKCANCEL | MB_ICONEXCLAMATION);
    Answer({IDCANCEL});
    EXPECT_FALSE(Start());
    EXPECT_EQ(ScriptedUi().quitCode, 0);
}
