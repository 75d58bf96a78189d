// The simulator with --transport kcs: the same virtual board, each BMC
// behind a register-level KCS interface reached through the KCS transport.
#include "SimulatorFixture.h"

namespace OskelTest {
namespace {

class KcsSimulatorTest : public SimulatorTest {
protected:
  void SetUp () override { Boot ({ "--transport", "kcs" }); }
};

TEST_F (KcsSimulatorTest, BootsThroughTheKcsTransport) {
  ASSERT_EQ (BootStatus, EFI_SUCCESS);
  ASSERT_EQ (Sim->Kcs.size (), 2u);
  // Boot stage 7 to both BMCs, watchdog and console on BMC 0, all as KCS
  // transactions at the default bases 0 and 200h.
  EXPECT_THAT (Model (0).BootStages, ElementsAre (0x07));
  EXPECT_THAT (Model (1).BootStages, ElementsAre (0x07));
  EXPECT_TRUE (Model (0).Timer.Running);
  EXPECT_EQ (Sim->Kcs[0]->DataPort, 0x0CA2);
  EXPECT_EQ (Sim->Kcs[1]->DataPort, 0x0EA2);
  EXPECT_EQ (Sim->Kcs[0]->Requests.size (), Model (0).Requests);
  EXPECT_EQ (Sim->Kcs[1]->Requests.size (), Model (1).Requests);
  EXPECT_EQ (Sim->Board.Transport.SendCount, 0u) << "the simulated transport is out of the way";
}

TEST_F (KcsSimulatorTest, KnownFileRoundTrip) {
  const Bytes  Data = Pattern (300, 0x31);

  ASSERT_EQ (Run ("WriteKnownFile id=config data=" + HexText (Data)).Status, EFI_SUCCESS);
  EXPECT_THAT (Model (0).Files.at ("config").Data, ElementsAreArray (Data));
  auto  Read = Run ("ReadKnownFile id=config count=300");
  ASSERT_EQ (Read.Status, EFI_SUCCESS);
  EXPECT_THAT (Read.Outputs, ::testing::Contains ("bytes-read 300"));
  EXPECT_EQ (Only (Sends (), 0x2E, 0x90).size (), 4u) << "open, two read chunks, close";
}

TEST_F (KcsSimulatorTest, PortTrafficOfOneExchangeOnRequest) {
  Options.KcsPortsOf = 1;
  Sim->Options.KcsPortsOf = 1;
  Sim->AddKcsPortSection ();
  const OskelSim::Section  &S = Sim->Sections.back ();
  ASSERT_GE (S.Outputs.size (), 4u);
  EXPECT_EQ (S.Outputs[0], "R CA3=00");
  EXPECT_EQ (S.Outputs[1], "W CA3=61");
  // The first exchange is the boot stage report, NetFn 3Ah: E8h on the wire.
  EXPECT_EQ (S.Outputs[3], "W CA2=E8");
  EXPECT_EQ (S.Outputs.back (), "R CA2=00") << "ends with the dummy byte after IDLE";
}

TEST_F (KcsSimulatorTest, CommandLineRefusesAnUnknownTransport) {
  OskelSim::SimulatorOptions  Other;
  std::string                 Error;
  bool                        Help = false;
  EXPECT_FALSE (OskelSim::ParseOptions ({ "--transport", "spi" }, Other, Error, Help));
  EXPECT_NE (Error.find ("--transport"), std::string::npos);
}

}  // namespace
}  // namespace OskelTest
