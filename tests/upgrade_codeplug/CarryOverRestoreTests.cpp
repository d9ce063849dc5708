// `tessarin carryover restore`'s checks on the simulated radios: a record is written only into
// the radio it was saved from, only when that radio holds the codeplug image the record's data
// was carried into; a refused record writes nothing at all.
#include "UpgradeFixture.h"

#include <gmock/gmock.h>

#include <functional>

namespace {

using ::testing::HasSubstr;

// The product line 11 radio (basic codeplug) with the kit of the extended image.
const KitCase& Pl11Case()
{
    static const KitCase pl11{"fixed-pl11", "fixed-pl11", "cp_fixed_ext", "TessarinTestKit-fixed-pl11", 11, 3, 3, "L1",
                              "STD", 0, 1024, {}};
    return pl11;
}

// Where the press that saved the record failed.
enum class Failed {
    FirstProgrammingWrite,  // the radio still holds its old codeplug
    FirstRestoreWrite,      // the radio holds the new image, without its own data
    Nothing,                // the press wrote the image and gave the data back
};

struct RefusalCase {
    const char* name;
    const KitCase& kit;
    Failed failed;
    std::function<void(CarryOverRecord&)> change;  // what differs in the record
    const char* refusal;
};

void Unchanged(CarryOverRecord&) {}

// The record a press of `c` left on disk after failing as `failed` says, and the radio.
CarryOverRecord SavedRecord(KitRun& run, Failed failed)
{
    run.plan.applyPatches = 0;
    run.RecordAsTheForm(ReportedIdentity(run.kase));
    if (failed == Failed::FirstProgrammingWrite)
        run.RefuseCodeplugWrite(1);
    else if (failed == Failed::FirstRestoreWrite)
        run.RefuseCodeplugWrite(run.ProgrammingWrites() + 1);
    int result = run.Run();
    EXPECT_EQ(result, failed == Failed::Nothing ? kUpgradeSucceeded : kUpgradeCodeplugFailed) << run.LogText();
    EXPECT_EQ(run.store.List().size(), 1u);
    return run.store.List().empty() ? CarryOverRecord{} : CCarryOverStore::Load(run.store.List()[0]);
}

TEST(CarryOverRestoreTest, RefusedRecordsWriteNothing)
{
    const char kNotTheImage[] = "The radio does not hold the codeplug image the record was carried into";
    const RefusalCase cases[] = {
        {"product line 11 radio still holding its old basic codeplug", Pl11Case(), Failed::FirstProgrammingWrite,
         Unchanged, kNotTheImage},
        {"block model radio still holding its old codeplug", DemoKitCase(), Failed::FirstProgrammingWrite, Unchanged,
         kNotTheImage},
        {"record of another radio", DemoKitCase(), Failed::FirstRestoreWrite,
         [](CarryOverRecord& r) { r.radio.serial = "4500000099"; },
         "The radio on the port is not the radio the record was saved from: the radio is model DM450, serial "
         "4500000042, radio code P5, the record's is model DM450, serial 4500000099, radio code P5"},
        {"record of another radio code", Pl11Case(), Failed::FirstRestoreWrite,
         [](CarryOverRecord& r) { r.radio.radioCode = "L2"; }, "is not the radio the record was saved from"},
        {"data already written back", DemoKitCase(), Failed::Nothing, Unchanged,
         "already written back into the radio and read back"},
        {"codeplug mode 0", DemoKitCase(), Failed::FirstRestoreWrite, [](CarryOverRecord& r) { r.codeplugMode = 0; },
         "holds nothing to write back"},
        {"no saved data", DemoKitCase(), Failed::FirstRestoreWrite,
         [](CarryOverRecord& r) {
             r.items.clear();
             r.valid = false;
         },
         "holds none of the radio's own data"},
        {"record of format 1", Pl11Case(), Failed::FirstRestoreWrite,
         [](CarryOverRecord& r) {
             r.radio = RadioIdentity{};
             r.fingerprint.clear();
             r.regionStart = r.regionEnd = 0;
         },
         "cannot be checked against the radio on the port"},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        KitRun run(c.kit);
        CarryOverRecord record = SavedRecord(run, c.failed);
        c.change(record);
        std::vector<uint8_t> before = run.Codeplug();
        EXPECT_THAT(run.RestoreRecord(record), HasSubstr(c.refusal));
        EXPECT_EQ(run.Codeplug(), before) << "nothing is written into a radio that is refused";
    }
}

// A record of the fixed-address layout on a block model radio that reports the record's
// identity: the radio's codeplug alone refuses it.
TEST(CarryOverRestoreTest, AFixedLayoutRecordIsRefusedByABlockModelRadio)
{
    CarryOverRecord fixed;
    {
        KitRun pl11(Pl11Case());
        fixed = SavedRecord(pl11, Failed::FirstRestoreWrite);
    }
    ASSERT_EQ(fixed.layout, 3);
    KitRun demo(DemoKitCase());
    fixed.radio = ReportedIdentity(DemoKitCase());
    std::vector<uint8_t> before = demo.Codeplug();
    EXPECT_THAT(demo.RestoreRecord(fixed), HasSubstr("The radio does not hold the codeplug image"));
    EXPECT_EQ(demo.Codeplug(), before);
}

}  // namespace
