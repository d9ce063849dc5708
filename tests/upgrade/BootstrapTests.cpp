// The bootstrap loader against the simulated boot ROMs: its edge cases as one table.
#include "EngineFixture.h"

#include "errors/Error.h"
#include "files/HexText.h"
#include "platform/Platform.h"
#include "platform/Serial.h"
#include "sim/model/FaultPlan.h"
#include "upgrade/Bootstrap.h"

#include <optional>

namespace {

struct Row {
    const char* name;
    LoaderKind rom;
    bool echo;
    int loaderType;  // what the caller says (0 detect)
    int baud;
    unsigned length;
    const char* fault;      // "" for none
    const char* error;      // "" when the download succeeds
    int detected;           // the loader type afterwards
    unsigned blocks;        // FL0 blocks the ROM took
    std::vector<std::string> logged;
};

TEST(Bootstrap, EdgeCases)
{
    const std::vector<Row> rows{
        {"K4 at 9600 Bd has no sync character", LoaderKind::K4, true, 2, 9600, 25, "",
         "Bootstrap baudrate is not set correctly", 2, 0,
         {"Bootstrap::K4_Send_Bootcode: Bootstrap download baudrate is not set correctly"}},
        {"FL0 at 9600 Bd has no sync character", LoaderKind::FL0, true, 1, 9600, 25, "",
         "Bootstrap baudrate is not set correctly", 1, 0,
         {"Bootstrap::FL0_Send_Bootcode: Bootstrap download baudrate is not set correctly"}},
        {"25 bytes to FL0: four blocks, the last completed", LoaderKind::FL0, true, 1, 2400, 25, "", "", 1, 4, {}},
        {"25 bytes to K4", LoaderKind::K4, true, 2, 2400, 25, "", "", 2, 0, {}},
        {"a line without breaks is K4", LoaderKind::K4, true, 0, 2400, 25, "", "", 2, 0, {}},
        {"a pulsing line is FL0", LoaderKind::FL0, true, 0, 2400, 25, "", "", 1, 4, {}},
        {"three wrong sync answers", LoaderKind::FL0, true, 1, 2400, 25, "nack:op=sync,count=3",
         "Read bootstrap sync character failed", 1, 0,
         {"Bootstrap::FL0_Send_Bootcode: Retry sending sync character!! Retry 1",
          "Bootstrap::FL0_Send_Bootcode: Retry sending sync character!! Retry 2",
          "Bootstrap::FL0_Send_Bootcode: Read bootstrap sync character failed"}},
        {"one wrong sync answer is retried", LoaderKind::FL0, true, 1, 2400, 25, "nack:op=sync", "", 1, 4,
         {"Bootstrap::FL0_Send_Bootcode: Retry sending sync character!! Retry 1"}},
        {"a block returned wrong", LoaderKind::FL0, false, 1, 2400, 25, "nack:op=block,nth=2",
         "Bootcode verification failed", 1, 2, {}},
        {"a block echoed wrong by the box", LoaderKind::FL0, true, 1, 2400, 25, "echo:op=block,nth=2",
         "Bootcode verification failed", 1, 2, {}},
        {"a fault on any request reaches the sync", LoaderKind::FL0, true, 1, 2400, 25, "nack", "", 1, 4,
         {"Bootstrap::FL0_Send_Bootcode: Retry sending sync character!! Retry 1"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RadioProfile profile = DemoProfile();
        profile.loader = row.rom;
        profile.echo = row.echo;
        EngineBench bench(profile);
        if (*row.fault)
            bench.Radio().AddFault(ParseFaultSpec(row.fault));
        CSerial* port = GetPlatform()->GetSerial();
        port->SetEchoMode(row.echo ? 1 : 0);
        port->Configure(row.baud, 0, 0, 8);
        port->OpenPort(1);
        bench.Radio().PowerCycle(true);
        GetPlatform()->Sleep(300);

        std::vector<uint8_t> code(row.length);
        for (unsigned i = 0; i < row.length; ++i)
            code[i] = static_cast<uint8_t>(0x30 + i);
        CBootstrap bootstrap(port);
        bootstrap.SetLoaderType(row.loaderType);
        std::string error;
        try {
            bootstrap.SendBootcode(code.data(), row.length);
        } catch (const CGenError& e) {
            error = e.GetText();
        }
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(bootstrap.GetLoaderType(), row.detected);
        EXPECT_EQ(port->GetEchoMode(), row.echo ? 1 : 0) << "the echo mode is back";
        EXPECT_EQ(bench.Radio().Trace().Of("block").size(), row.blocks);
        if (row.blocks == 4 && *row.error == 0) {
            std::vector<uint8_t> last = bench.Radio().Trace().Of("block").back().bytes;
            EXPECT_EQ(last, (std::vector<uint8_t>{0x48, 0, 0, 0, 0, 0, 0, 0}));
        }
        for (const std::string& line : row.logged)
            EXPECT_TRUE(bench.Logged(line)) << line << "\n" << ::testing::PrintToString(bench.Log());
        port->Close();
    }
}

// Boot code longer than the 5000-byte buffer is refused before a byte goes out.
TEST(Bootstrap, OversizedBootCodeIsRefusedBeforeAnythingIsSent)
{
    EngineBench bench;
    std::vector<uint8_t> big(5001, 0x5A);
    bench.settings.bootcodeText = FormatSRecordImage(big.data(), big.size(), 0, 32);
    bench.plan.flashFirmware = 1;
    bench.PrepareBootstrap();
    EXPECT_EQ(bench.RunEngine(), kUpgradeBootcodeFailed);
    EXPECT_TRUE(bench.Logged("CRadioUpgrade::DownloadBootcode: Boot code of 5001 bytes does not fit the 5000-byte "
                             "boot code buffer"));
    EXPECT_TRUE(bench.Radio().Trace().Of("sync-ok").empty());
    EXPECT_TRUE(bench.Radio().Trace().Of("ignored").empty());
}

}  // namespace
