// The board the simulator boots without arguments, checked for what a
// firmware engineer expects to see: the POST code, the service installed
// then re-installed, stage 7 reported to both BMCs, the watchdog started
// and the serial channel configured on BMC 0.
#include "SimulatorFixture.h"

namespace OskelTest {
namespace {

class DefaultRunTest : public SimulatorTest {
protected:
  void SetUp () override { Boot (); }

  const std::vector<Event> &Events () const { return Sim->Board.Log.Events; }
  std::vector<Event> AllSends () const { return SendsSince (0); }
};

TEST_F (DefaultRunTest, BothRunsWritePostCodeThenPublishTheService) {
  ASSERT_EQ (BootStatus, EFI_SUCCESS);
  ASSERT_EQ (Sim->Sections.size (), 2u);

  for (const OskelSim::Section &S : Sim->Sections) {
    const Event  &First = Events ().at (S.Begin);
    EXPECT_EQ (First.Kind, EventKind::PortWrite) << S.Title;
    EXPECT_EQ (First.Port, 0x80);
    EXPECT_EQ (First.Value, 0x14);
  }

  auto  Published = [&](const OskelSim::Section &S, const std::string &Service) {
    return std::any_of (Events ().begin () + S.Begin, Events ().begin () + S.End, [&](const Event &E) { return (E.Kind == EventKind::PeiCall) && (E.Service == Service); });
  };
  EXPECT_TRUE (Published (Sim->Sections[0], "InstallPpi"));
  EXPECT_FALSE (Published (Sim->Sections[0], "ReInstallPpi"));
  EXPECT_TRUE (Published (Sim->Sections[1], "ReInstallPpi"));
  EXPECT_FALSE (Published (Sim->Sections[1], "InstallPpi"));
  EXPECT_TRUE (SendsSince (Sim->Sections[1].Begin).empty ()) << "the shadowed run repeats no first-run duty";
}

TEST_F (DefaultRunTest, Stage7GoesToBothBmcsByCommandAndMailbox) {
  const auto  Stages = Only (AllSends (), 0x3A, 0xC3);
  ASSERT_EQ (Stages.size (), 2u);
  EXPECT_EQ (Stages[0].Bmc, 0);
  EXPECT_EQ (Stages[1].Bmc, 1);
  EXPECT_THAT (Stages[0].Request, ElementsAre (0x01, 0x07));
  EXPECT_THAT (Model (0).BootStages, ElementsAre (0x07));
  EXPECT_THAT (Model (1).BootStages, ElementsAre (0x07));

  // BMC 0 at I/O base 0, BMC 1 at 200h: seven mailbox writes each, in order.
  std::vector<std::pair<uint16_t, uint8_t>>  Mailbox;
  for (const Event &E : Sim->Board.Log.PortWrites ()) {
    if (E.Port != 0x80) {
      Mailbox.emplace_back (E.Port, E.Value);
    }
  }

  const std::vector<std::pair<uint16_t, uint8_t>>  Expected = {
    { 0x0CB5, 0x00 }, { 0x0CB6, 0x00 }, { 0x0CB7, 0x00 }, { 0x0CB8, 0x07 }, { 0x0CBF, 0xA5 }, { 0x004E, 0x3E }, { 0x004F, 0x07 },
    { 0x0EB5, 0x00 }, { 0x0EB6, 0x00 }, { 0x0EB7, 0x00 }, { 0x0EB8, 0x07 }, { 0x0EBF, 0xA5 }, { 0x024E, 0x3E }, { 0x024F, 0x07 },
  };
  EXPECT_EQ (Mailbox, Expected);
}

TEST_F (DefaultRunTest, WatchdogStartedOnBmc0ForFiveMinutes) {
  const auto  Sets = Only (AllSends (), 0x06, 0x24);
  ASSERT_EQ (Sets.size (), 1u);
  EXPECT_EQ (Sets[0].Bmc, 0);
  EXPECT_THAT (Sets[0].Request, ElementsAre (0x02, 0x01, 0x00, 0x00, 0xB8, 0x0B));
  EXPECT_TRUE (Model (0).Timer.Running);
  EXPECT_EQ (Model (0).Timer.TimerUse & 0x07, 0x02);
  EXPECT_EQ (Model (0).Timer.Actions & 0x07, 0x01);
  EXPECT_EQ (Model (0).Timer.InitialCountdown, 3000);
  EXPECT_FALSE (Model (1).Timer.Initialized);
}

TEST_F (DefaultRunTest, SerialChannelConfiguredOnBmc0) {
  const auto  Writes = Only (AllSends (), 0x0C, 0x10);
  ASSERT_EQ (Writes.size (), 2u) << "mux switch control, then the comm settings";
  // Channel 2 is the serial one (channel 1 is LAN); shared access, the mux
  // handed to the system, XON/XOFF at 115200 bit/s.
  const OskelSim::Channel  &Serial = Model (0).Channels.at (2);
  EXPECT_THAT (Serial.SerialParameters.at (7), ElementsAre (0x40, 0x0A));
  EXPECT_EQ (Serial.SerialParameters.at (8).at (1) & 0x08, 0x08);
  EXPECT_EQ (Serial.Volatile.Access & 0x07, 0x03);
  EXPECT_EQ (Serial.NonVolatile.Access & 0x07, 0x03);
  EXPECT_FALSE (Model (0).MuxToBmc);
  for (const Event &E : Writes) {
    EXPECT_EQ (E.Bmc, 0);
  }

  EXPECT_THAT (Model (1).Channels.at (2).SerialParameters.at (7), ElementsAre (0x00, 0x06));
}

TEST_F (DefaultRunTest, TextTraceNamesCommandsAndSummarisesEveryBmc) {
  char   *Text = nullptr;
  size_t Size  = 0;
  FILE   *Out  = open_memstream (&Text, &Size);
  OskelSim::WriteText (Out, Sim->Board.Log, Sim->Sections, Sim->Summary ());
  std::fclose (Out);
  const std::string  Trace (Text, Size);
  std::free (Text);

  EXPECT_NE (Trace.find ("port  0080h <- 14h (POST code)"), std::string::npos);
  EXPECT_NE (Trace.find ("pei   ReInstallPpi BmcCommandsPpi -> EFI_SUCCESS"), std::string::npos);
  EXPECT_NE (Trace.find ("== summary\n  BMC 0\n"), std::string::npos);
  EXPECT_NE (Trace.find ("\n  BMC 1\n"), std::string::npos);
  EXPECT_NE (Trace.find ("App / Set Watchdog Timer (06h/24h) req [02 01 00 00 B8 0B]"), std::string::npos);
  EXPECT_NE (Trace.find ("OEM Controller / Boot Stage (3Ah/C3h) req [01 07]"), std::string::npos);
  EXPECT_NE (Trace.find ("watchdog: running, timer use BIOS/POST, action hard reset, countdown 3000"), std::string::npos);
  EXPECT_NE (Trace.find ("mux: at the system"), std::string::npos);
}

}  // namespace
}  // namespace OskelTest
