// Fault options of the board producing what the module's contract says.
#include "SimulatorFixture.h"

namespace OskelTest {
namespace {

using FaultTest = SimulatorTest;

TEST_F (FaultTest, UnusableBmcIsSentNothing) {
  Boot ({ "--unusable", "1" });

  EXPECT_EQ (Run ("GetDeviceId bmc=1").Status, EFI_DEVICE_ERROR);
  for (const Event &E : SendsSince (0)) {
    EXPECT_NE (E.Bmc, 1) << "sent " << OskelSim::CommandName (E.NetFn, E.Command);
  }

  EXPECT_EQ (Run ("GetDeviceId bmc=1 force=1").Status, EFI_SUCCESS);
  EXPECT_EQ (Sends ().size (), 1u);
}

TEST_F (FaultTest, NotReadyKTimesGivesKPlusOneSendsOfCommand1C) {
  Boot ();
  Sim->Faults[0]->NotReady = 3;

  auto  Result = Run ("Oem1CSetWord value=0x1234");
  EXPECT_EQ (Result.Status, EFI_SUCCESS);
  const auto  All = Sends ();
  EXPECT_EQ (All.size (), 4u);
  EXPECT_EQ (Only (All, 0x3A, 0x1C).size (), 4u);
  EXPECT_EQ (Model (0).Oem1CWord, 0x1234);
}

TEST_F (FaultTest, NotReadyOptionCountsSends) {
  Boot ({ "--not-ready", "1=2" });

  // The boot's stage report to BMC 1 takes the first not-ready answer.
  std::vector<Event>  ToBmc1;
  for (const Event &E : SendsSince (0)) {
    if (E.Bmc == 1) {
      ToBmc1.push_back (E);
    }
  }

  ASSERT_FALSE (ToBmc1.empty ());
  EXPECT_EQ (ToBmc1[0].Status, EFI_NOT_READY);
  EXPECT_EQ (Run ("GetDeviceId bmc=1").Status, EFI_NOT_READY);
  EXPECT_EQ (Run ("GetDeviceId bmc=1").Status, EFI_SUCCESS);
}

TEST_F (FaultTest, CompletionCodeForOneCommand) {
  Boot ({ "--completion-code", "1=0x06/0x01/0xD5" });

  EXPECT_EQ (Run ("GetDeviceId bmc=1").Status, EFI_STATUS (0xD5));
  EXPECT_EQ (Run ("GetDeviceId bmc=0").Status, EFI_SUCCESS);
  EXPECT_EQ (Run ("GetSelfTestResults bmc=1").Status, EFI_SUCCESS);
}

TEST_F (FaultTest, DeviceErrorIsReportedToPhase1) {
  Boot ({ "--device-error", "0=6/*" });

  EXPECT_EQ (Run ("GetDeviceId").Status, EFI_DEVICE_ERROR);
  EXPECT_THAT (Sim->Board.Log.TransportSequence (), ::testing::Contains ("phase1 flag=1"));
}

TEST_F (FaultTest, ShortAnswerLosesItsLastBytes) {
  Boot ({ "--short", "0=6/1/5" });

  auto  Result = Run ("GetDeviceId");
  ASSERT_EQ (Result.Status, EFI_SUCCESS);
  EXPECT_THAT (Result.Outputs, ElementsAre ("response [20 01 02 10 02 BF 4D 4F 00 01] (10 bytes)"));
}

TEST_F (FaultTest, SetupAndHobOptionsReachTheBoard) {
  Boot ({ "--setup", "watchdog-timeout=2", "--setup", "spare4=0x22", "--io-base", "1=0x0300" });

  const OskelSim::Bytes  Setup = OskelSim::SetupImage (Options.Setup);
  EXPECT_EQ (Setup.size (), 2778u);
  EXPECT_EQ (Setup[2325], 2);
  EXPECT_EQ (Setup[2619], 0x22);
  EXPECT_EQ (Setup[2323], 1);
  EXPECT_EQ (Options.Bmcs[1].IoBase, 0x0300);
}

}  // namespace
}  // namespace OskelTest
