// `tessarin history`: the journal read as untrusted input, filtered, and printed as a table,
// as stored or as CSV.
#include "cli/HistoryCommand.h"
#include "tests/support/ScratchDirectoryTest.h"
#include "tests/support/Capture.h"

#include <algorithm>

#include <sys/stat.h>

namespace {

// Three presses and a line that is not an entry.
const char kJournal[] =
    R"({"time":"2026-11-30T17:02:11+01:00","outcome":"updated","exitStatus":0,"radio":{"model":"DM450","serial":"4500000042","radioCode":"P5"},"kit":{"title":"Demo kit","folder":"/k","fingerprint":"00"},"durationSeconds":95.2,"port":{"number":1,"device":"/dev/ttyUSB0"}})"
    "\n"
    R"({"time":"2026-12-01T08:15:00+01:00","outcome":"refused","exitStatus":3,"radio":{"model":"DM450","serial":"4500000042","radioCode":"P5"},"kit":{"title":"Demo, \"second\" kit","folder":"/k","fingerprint":"00"},"durationSeconds":3,"port":{"number":2,"device":null}})"
    "\n"
    "{\"time\":\"2026-12-02T09:00:00+01:00\",\"outcome\":\"upgrade-failed\",\"exitStatus\":1,\"radio\":null,"
    "\"kit\":{\"title\":\"Line\\nbreak\"}}\n"
    "{\"time\":\"2026-12-03T09:00:00+01:00\",\"outc\n";

class HistoryTest : public ScratchDirectoryTest {
protected:
    int Run()
    {
        options.journal = PathOf("journal.jsonl");
        return RunHistory(options, {out.File(), err.File()});
    }

    HistoryOptions options;
    Capture out;
    Capture err;
};

std::size_t Lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

} // namespace

TEST_F(HistoryTest, Filters)
{
    struct Case {
        const char* name;
        HistoryFilter filter;
        std::size_t entries;
    };
    const Case cases[] = {
        {"everything", {}, 3},
        {"serial", {"4500000042", "", {}}, 2},
        {"serial is exact", {"450000004", "", {}}, 0},
        {"since the day of the second", {"", "2026-12-01", {}}, 2},
        {"since a later day", {"", "2026-12-03", {}}, 0},
        {"one outcome", {"", "", {"refused"}}, 1},
        {"two outcomes", {"", "", {"refused", "upgrade-failed"}}, 2},
        {"all three", {"4500000042", "2026-12-01", {"refused"}}, 1},
    };
    WriteFile("journal.jsonl", kJournal);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Capture caseOut, caseErr;
        options.filter = c.filter;
        options.json = true;
        options.journal = PathOf("journal.jsonl");
        EXPECT_EQ(RunHistory(options, {caseOut.File(), caseErr.File()}), 0);
        EXPECT_EQ(Lines(caseOut.Text()), c.entries) << caseOut.Text();
        EXPECT_NE(caseErr.Text().find("1 line of"), std::string::npos) << "the cut line is counted: " << caseErr.Text();
        if (c.entries == 0) {
            EXPECT_NE(caseErr.Text().find("no press in the journal matches"), std::string::npos) << caseErr.Text();
        }
    }
}

TEST_F(HistoryTest, TableAndCsv)
{
    WriteFile("journal.jsonl", kJournal);
    ASSERT_EQ(Run(), 0);
    const std::string table = out.Text();
    EXPECT_EQ(Lines(table), 4u) << table;
    EXPECT_NE(table.find("time"), std::string::npos);
    EXPECT_NE(table.find("1:35"), std::string::npos) << "the duration: " << table;
    EXPECT_NE(table.find("COM1 /dev/ttyUSB0"), std::string::npos) << table;
    EXPECT_NE(table.find("Line?break"), std::string::npos) << "control characters are not printed: " << table;

    Capture csvOut;
    options.csv = true;
    ASSERT_EQ(RunHistory(options, {csvOut.File(), err.File()}), 0);
    const std::string csv = csvOut.Text();
    EXPECT_EQ(csv.rfind("time,outcome,exitStatus,model,serial,kitTitle,", 0), 0u) << csv;
    EXPECT_NE(csv.find(",\"Demo, \"\"second\"\" kit\","), std::string::npos) << csv;
    EXPECT_NE(csv.find(",\"Line\nbreak\","), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\n"), std::string::npos) << "lines end in CRLF";
}

TEST_F(HistoryTest, CsvQuoting)
{
    const std::pair<const char*, const char*> cases[] = {
        {"plain", "plain"},          {"a,b", "\"a,b\""},           {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""}, {"cr\r", "\"cr\r\""},     {"", ""},
    };
    for (const auto& [text, quoted] : cases)
        EXPECT_EQ(CsvField(text), quoted) << text;
}

TEST_F(HistoryTest, AnEmptyOrMissingJournalListsNothing)
{
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(out.Text(), "");
    EXPECT_NE(err.Text().find("no press is in the journal"), std::string::npos) << err.Text();
}

TEST_F(HistoryTest, UsageErrors)
{
    const std::pair<HistoryFilter, const char*> cases[] = {
        {{"", "12/01/2026", {}}, "--since must be a date YYYY-MM-DD"},
        {{"", "2026-13-01", {}}, "--since must be a date YYYY-MM-DD"},
        {{"", "", {"done"}}, "--outcome must be one of updated, press-again,"},
    };
    for (const auto& [filter, message] : cases) {
        Capture caseErr;
        options.filter = filter;
        options.journal = PathOf("journal.jsonl");
        EXPECT_EQ(RunHistory(options, {out.File(), caseErr.File()}), 2);
        EXPECT_NE(caseErr.Text().find(message), std::string::npos) << caseErr.Text();
    }
}

TEST_F(HistoryTest, APlantedLinkOrFifoIsRefusedWithoutBlocking)
{
    WriteFile("real.jsonl", kJournal);
    std::filesystem::create_symlink(PathOf("real.jsonl"), PathOf("journal.jsonl"));
    EXPECT_EQ(Run(), 1);
    EXPECT_NE(err.Text().find("symbolic link"), std::string::npos) << err.Text();

    std::filesystem::remove(PathOf("journal.jsonl"));
    ASSERT_EQ(::mkfifo(PathOf("journal.jsonl").c_str(), 0600), 0);
    Capture fifoErr;
    EXPECT_EQ(RunHistory(options, {out.File(), fifoErr.File()}), 1);
    EXPECT_NE(fifoErr.Text().find("not a regular file"), std::string::npos) << fifoErr.Text();
    EXPECT_EQ(out.Text(), "");
}
