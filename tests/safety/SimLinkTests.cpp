#include "tests/support/ScratchDirectoryTest.h"

#include "errors/Error.h"
#include "sim/pty/PtyWire.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

class SimLinkTest : public ScratchDirectoryTest {};

// What is already at the --link path is never replaced unasked, and only a link is replaced
// when asked; the link appears whole (no temporary name is left beside it).
TEST_F(SimLinkTest, AnExistingPathIsReplacedOnlyWhenAsked)
{
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> plant;
        bool replace;
        const char* refusal;  // nullptr: published
    };
    const Case cases[] = {
        {"nothing there", [](const fs::path&) {}, false, nullptr},
        {"another simulator's link", [](const fs::path& p) { fs::create_symlink("/dev/pts/other", p); }, false,
         "give --replace"},
        {"a link, replacing", [](const fs::path& p) { fs::create_symlink("/dev/pts/other", p); }, true, nullptr},
        {"a file, replacing", [](const fs::path& p) { std::ofstream(p) << "mine"; }, true, "is not a link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path link = dir / ("radio" + std::to_string(&c - cases));
        c.plant(link);
        const bool wasThere = fs::exists(fs::symlink_status(link));
        const std::string before = wasThere && fs::is_symlink(link) ? fs::read_symlink(link).string() : "";
        CPtyWire wire;
        std::string refusal;
        try {
            wire.Publish(link.string(), c.replace);
        } catch (const CError& error) {
            refusal = error.GetText();
        }
        if (c.refusal == nullptr) {
            EXPECT_EQ(refusal, "");
            EXPECT_EQ(fs::read_symlink(link).string(), wire.SlavePath());
        } else {
            EXPECT_NE(refusal.find(c.refusal), std::string::npos) << refusal;
            EXPECT_TRUE(fs::exists(fs::symlink_status(link)));
            if (!before.empty()) {
                EXPECT_EQ(fs::read_symlink(link).string(), before);
            }
        }
    }
    for (const std::string& name : Names())
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
}

// On exit the link goes only while it still points at this simulator's terminal.
TEST_F(SimLinkTest, OnlyItsOwnLinkIsRemovedAtTheEnd)
{
    const fs::path link = dir / "radio";
    {
        CPtyWire wire;
        wire.Publish(link.string());
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "its own link is removed";

    auto first = std::make_unique<CPtyWire>();
    first->Publish(link.string());
    CPtyWire second;
    second.Publish(link.string(), true);  // a second simulator took the path over
    first.reset();
    ASSERT_TRUE(fs::is_symlink(link)) << "the second simulator's link stays";
    EXPECT_EQ(fs::read_symlink(link).string(), second.SlavePath());
}

}  // namespace
