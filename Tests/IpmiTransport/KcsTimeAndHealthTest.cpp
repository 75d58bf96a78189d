// Waits in time and the health of each BMC: every wait ends on the clock
// whatever the speed of port reads, in whole steps of 256 us, a BMC that
// went silent or floats costs one wait and is then spared, a BMC still
// starting is waited for at entry when the platform asks. A clock that
// does not advance: KcsStillClockTest.cpp.

#include "KcsFixture.h"

#include <array>

namespace OskelTest {
namespace {

using ::testing::ElementsAre;

constexpr UINT8  IPMI_NETFN_OEM   = 0x3A;
constexpr UINT8  CMD_BOOT_STAGE   = 0xC3;

// Get Device ID data of a BMC in normal operation, and of one still
// initialising (bit 7 of the firmware revision byte set).
const Bytes  mAvailable{ 0x20, 0x01, 0x02, 0x07 };
const Bytes  mInitialising{ 0x20, 0x01, 0x82, 0x07 };

//
// The flag wait ends after five seconds on the clock whether a port read
// takes 0.3 us (emulation), 1 us (LPC) or 24 us (a trapped read under
// virtualisation), on the PM timer and on the 8254.
//
struct SpeedRow {
  const char  *Name;
  uint64_t    NanosecondsPerAccess;
  bool        PmTimer;
};

std::ostream &
operator<< (std::ostream &Out, const SpeedRow &Row)
{
  return Out << Row.Name;
}

const SpeedRow  mSpeedRows[] = {
  { "PmTimerEmulatedReads", 300, true },
  { "PmTimerLpcReads", 1000, true },
  { "PmTimerTrappedReads", 24000, true },
  { "PitEmulatedReads", 300, false },
  { "PitLpcReads", 1000, false },
  { "PitTrappedReads", 24000, false },
};

class KcsWaitTest : public ::testing::TestWithParam<SpeedRow> {};

TEST_P (KcsWaitTest, BusyInterfaceEndsAfterTheFlagWait) {
  const SpeedRow      &Row = GetParam ();
  OskelSim::TransportBoard  Board ({ 0x0000 });

  if (Row.PmTimer) {
    Board.AddSettings (0, 0, 0x0608);
  }

  Board.Clock.NanosecondsPerAccess = Row.NanosecondsPerAccess;
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI   *Transport = Board.Transport ();
  OskelSim::KcsFaults  Faults;
  Faults.BusyPolls           = ~0u;
  Board.Kcs[0]->Always       = Faults;
  Board.Kcs[0]->Recording    = false;
  UINT8           Length = 0;
  const uint64_t  Start  = Board.Clock.Nanoseconds;

  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_NOT_READY);
  const uint64_t  Spent = Board.Clock.Nanoseconds - Start;
  // At most one poll past the wait: a status read and a clock sample.
  EXPECT_GE (Spent, 5000000000ull);
  EXPECT_LE (Spent, 5000000000ull + 5000000000ull / 1000 + 4 * Row.NanosecondsPerAccess);
  EXPECT_TRUE (Board.Kcs[0]->Requests.empty ());
  // A running clock is never taken for a still one, even at 0.3 us an
  // access: the PM timer is read at each poll and the 8254 never.
  EXPECT_EQ (Board.Pit.Latches != 0, !Row.PmTimer);
  EXPECT_EQ (Board.PmTimerReads, Row.PmTimer ? Board.Kcs[0]->StatusReads + 1 : 0);
}

INSTANTIATE_TEST_SUITE_P (
  Speeds,
  KcsWaitTest,
  ::testing::ValuesIn (mSpeedRows),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

//
// A wait is counted in whole steps of 256 us (256.04 us each on the
// clocks' crystal), rounded up: one row per boundary of a step.
//
struct StepRow {
  const char  *Name;
  uint32_t    SetUs;
  uint32_t    Steps;
};

std::ostream &
operator<< (std::ostream &Out, const StepRow &Row)
{
  return Out << Row.Name;
}

const StepRow  mStepRows[] = {
  { "OneMicrosecond", 1, 1 },
  { "OneStepLessOne", 255, 1 },
  { "OneStep", 256, 1 },
  { "OneStepAndOne", 257, 2 },
  { "OneMillisecond", 1000, 4 },
};

class KcsWaitStepTest : public ::testing::TestWithParam<StepRow> {};

TEST_P (KcsWaitStepTest, FlagWaitRoundedUpToWholeSteps) {
  const StepRow       &Row = GetParam ();
  OskelSim::TransportBoard  Board ({ 0x0000 });

  Board.AddSettings (Row.SetUs, 0, 0x0608);
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI   *Transport = Board.Transport ();
  OskelSim::KcsFaults  Faults;
  Faults.BusyPolls        = ~0u;
  Board.Kcs[0]->Always    = Faults;
  Board.Kcs[0]->Recording = false;
  UINT8  Length = 0;

  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_NOT_READY);
  // From the wait's first sample to its last poll, 1 us an access.
  RecordProperty ("VirtualMicroseconds", std::to_string (Board.Clock.Nanoseconds / 1000));
  EXPECT_GE (Board.Clock.Nanoseconds, Row.Steps * 256000ull);
  EXPECT_LE (Board.Clock.Nanoseconds, Row.Steps * 256040ull + 4000);
}

INSTANTIATE_TEST_SUITE_P (
  Steps,
  KcsWaitStepTest,
  ::testing::ValuesIn (mStepRows),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST (KcsClockTest, SettingsShorterThanTheirFieldsAreIgnored) {
  OskelSim::TransportBoard  Board ({ 0x0000 });

  // Eight bytes of data: the PM timer port is missing, so none is taken.
  Board.AddSettings (1000, 0, 0x0608, 8);
  Board.PmTimerPort = 0;
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI   *Transport = Board.Transport ();
  OskelSim::KcsFaults  Faults;
  Faults.BusyPolls        = ~0u;
  Board.Kcs[0]->Always    = Faults;
  Board.Kcs[0]->Recording = false;
  UINT8  Length = 0;

  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_NOT_READY);
  EXPECT_GE (Board.Clock.Nanoseconds, 5000000000ull) << "the default wait, not the 1 ms of the short HOB";
  EXPECT_NE (Board.Pit.Latches, 0u);
}

TEST (KcsClockTest, FlagWaitSetByThePlatform) {
  OskelSim::TransportBoard  Board ({ 0x0000 });

  Board.AddSettings (250000, 0, 0x0608);
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI   *Transport = Board.Transport ();
  OskelSim::KcsFaults  Faults;
  Faults.ObfNeverSets     = true;
  Board.Kcs[0]->Always    = Faults;
  Board.Kcs[0]->Recording = false;
  UINT8  Length = 0;

  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_DEVICE_ERROR);
  EXPECT_GE (Board.Clock.Nanoseconds, 250000000ull);
  EXPECT_LT (Board.Clock.Nanoseconds, 260000000ull);
}

TEST (KcsClockTest, FlagWaitAboveAMinuteIsAMinute) {
  OskelSim::TransportBoard  Board ({ 0x0000 });

  Board.AddSettings (100000000, 0, 0x0608);
  Board.Clock.NanosecondsPerAccess = 50000;
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI   *Transport = Board.Transport ();
  OskelSim::KcsFaults  Faults;
  Faults.BusyPolls        = ~0u;
  Board.Kcs[0]->Always    = Faults;
  Board.Kcs[0]->Recording = false;
  UINT8  Length = 0;

  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_NOT_READY);
  EXPECT_GE (Board.Clock.Nanoseconds, 60000000000ull);
  EXPECT_LT (Board.Clock.Nanoseconds, 60100000000ull);
}

//
// A BMC slower than the old 500,000-read budget but well inside the time:
// 600,000 busy status reads at 1 us per access are 1.2 s.
//
TEST (KcsClockTest, BmcSlowerThanThePollCountButWithinTheWaitSucceeds) {
  OskelSim::TransportBoard  Board ({ 0x0000 });

  Board.AddSettings (0, 0, 0x0608);
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI   *Transport = Board.Transport ();
  OskelSim::KcsFaults  Faults;
  Faults.BusyPolls        = 600000;
  Board.Kcs[0]->Once      = Faults;
  Board.Kcs[0]->Recording = false;
  Board.Scripted[0]->Then (Ok ({ 0x20 }));
  std::array<UINT8, 4>  Response{};
  UINT8                 Length = Response.size ();
  UINT8                 State  = 0xFF;

  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 1);
  EXPECT_GT (Board.Clock.Nanoseconds, 1000000000ull);
  EXPECT_EQ (Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
  EXPECT_EQ (State, 0);
}

//
// Health, one row per outcome: how many commands with that outcome leave
// the BMC usable, and whether one more writes it off.
//
struct HealthRow {
  const char                                  *Name;
  std::function<void (OskelSim::TransportBoard &, size_t)>  Inject;
  EFI_STATUS                                  Status;
  unsigned                                    Tolerated;   // commands after which it is still usable
};

std::ostream &
operator<< (std::ostream &Out, const HealthRow &Row)
{
  return Out << Row.Name;
}

const HealthRow  mHealthRows[] = {
  { "IbfNeverClears", [](OskelSim::TransportBoard &B, size_t I) { OskelSim::KcsFaults F; F.BusyPolls = ~0u; B.Kcs[I]->Always = F; }, EFI_NOT_READY, 0 },
  { "ObfNeverSets", [](OskelSim::TransportBoard &B, size_t I) { OskelSim::KcsFaults F; F.ObfNeverSets = true; B.Kcs[I]->Always = F; }, EFI_DEVICE_ERROR, 0 },
  { "Floating", [](OskelSim::TransportBoard &B, size_t I) { B.Kcs[I]->Absent = true; }, EFI_DEVICE_ERROR, 0 },
  { "AnswersTimeout", [](OskelSim::TransportBoard &B, size_t I) { B.Scripted[I]->Default = Reply{ 0xC3, {}, std::nullopt }; }, 0xC3, 0 },
  { "AnswersInitialising", [](OskelSim::TransportBoard &B, size_t I) { B.Scripted[I]->Default = Reply{ 0xD2, {}, std::nullopt }; }, 0xD2, 2 },
  { "AnswersBusy", [](OskelSim::TransportBoard &B, size_t I) { B.Scripted[I]->Default = Reply{ 0xC0, {}, std::nullopt }; }, 0xC0, 2 },
  { "GarbledAnswer", [](OskelSim::TransportBoard &B, size_t I) { OskelSim::KcsFaults F; F.ResponseCommand = 0x77; B.Kcs[I]->Always = F; }, EFI_DEVICE_ERROR, 2 },
};

class KcsHealthRowTest : public KcsTest, public ::testing::WithParamInterface<HealthRow> {};

TEST_P (KcsHealthRowTest, WrittenOffAfterItsCountOtherBmcUnaffected) {
  const HealthRow  &Row = GetParam ();

  Row.Inject (Board, 1);
  Kcs (1).Recording = false;
  for (unsigned Command = 0; Command < Row.Tolerated; Command++) {
    EXPECT_EQ (Ping (1), Row.Status);
    EXPECT_EQ (StateOf (1), 0) << "after " << Command + 1;
  }

  EXPECT_EQ (Ping (1), Row.Status);
  EXPECT_EQ (StateOf (1), IPMI_BMC_STATE_UNUSABLE);
  EXPECT_EQ (StateOf (0), 0);
  EXPECT_EQ (Ping (0), EFI_SUCCESS);
}

TEST_P (KcsHealthRowTest, ForcedCommandThatGetsAnAnswerBringsItBack) {
  const HealthRow  &Row = GetParam ();

  Row.Inject (Board, 1);
  Kcs (1).Recording = false;
  for (unsigned Command = 0; Command <= Row.Tolerated; Command++) {
    (VOID)Ping (1);
  }

  ASSERT_EQ (StateOf (1), IPMI_BMC_STATE_UNUSABLE);
  Kcs (1).Always = OskelSim::KcsFaults{};
  Kcs (1).Absent = false;
  Kcs (1).Reset ();
  Bmc (1).Default = Ok ();
  EXPECT_EQ (Ping (1), EFI_SUCCESS);
  EXPECT_EQ (StateOf (1), 0);
}

INSTANTIATE_TEST_SUITE_P (
  Outcomes,
  KcsHealthRowTest,
  ::testing::ValuesIn (mHealthRows),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

class KcsHealthCaseTest : public KcsTest {};

//
// After the command that wrote a BMC off, SendCommand sends nothing more
// to it, so the later exchanges of a group (a counted retry loop) cost
// nothing; a phase 0 lets exactly one command through, as the guard does
// for a forced command.
//
TEST_F (KcsHealthCaseTest, WrittenOffBmcGetsOneCommandAfterEachPhaseZero) {
  OskelSim::KcsFaults  Faults;
  Faults.BusyPolls  = ~0u;
  Kcs (1).Always    = Faults;
  Kcs (1).Recording = false;
  EXPECT_EQ (Ping (1), EFI_NOT_READY);
  uint64_t  Start = Board.Clock.Nanoseconds;

  for (unsigned Retry = 0; Retry < 14; Retry++) {
    EXPECT_EQ (Ping (1), EFI_DEVICE_ERROR);
  }

  EXPECT_EQ (Board.Clock.Nanoseconds, Start) << "no port access";
  EXPECT_EQ (StateOf (1), IPMI_BMC_STATE_UNUSABLE);
  EXPECT_EQ (Ping (1), EFI_NOT_READY) << "the one command after phase 0 is sent";
  EXPECT_GE (Board.Clock.Nanoseconds - Start, 5 * mSecond);
  Start = Board.Clock.Nanoseconds;
  EXPECT_EQ (Ping (1), EFI_DEVICE_ERROR);
  EXPECT_EQ (Board.Clock.Nanoseconds, Start);

  Kcs (1).Always = OskelSim::KcsFaults{};
  Kcs (1).Reset ();
  EXPECT_EQ (StateOf (1), IPMI_BMC_STATE_UNUSABLE);
  EXPECT_EQ (Ping (1), EFI_SUCCESS);
  EXPECT_EQ (Ping (1), EFI_SUCCESS);
  EXPECT_EQ (StateOf (1), 0);
}

TEST_F (KcsHealthCaseTest, OtherCompletionCodesAndSlowAnswersKeepTheBmc) {
  Bmc (0).Then (Reply{ 0xD2, {}, std::nullopt }).Then (Reply{ 0xD2, {}, std::nullopt }).Then (Reply{ 0xC1, {}, std::nullopt });
  Bmc (0).Then (Reply{ 0xD2, {}, std::nullopt }).Then (Reply{ 0xD2, {}, std::nullopt });
  for (EFI_STATUS Expected : { EFI_STATUS (0xD2), EFI_STATUS (0xD2), EFI_STATUS (0xC1), EFI_STATUS (0xD2), EFI_STATUS (0xD2) }) {
    EXPECT_EQ (Ping (0), Expected);
  }

  EXPECT_EQ (StateOf (0), 0) << "an answer between them starts the count again";
  Kcs (0).IbfLatency = 200000;   // 4 s at 20 us a poll, for every byte
  Kcs (0).Recording  = false;
  EXPECT_EQ (Ping (0), EFI_SUCCESS);
  EXPECT_EQ (StateOf (0), 0);
}

//
// Through the module: a BMC written off costs nothing, not even a status
// read, until a forced command gets an answer.
//
TEST (KcsModuleHealthTest, CallsToAWrittenOffBmcCostNothing) {
  OskelSim::TransportBoard  Board ({ 0x0000, 0x0200 });

  Board.AddSettings (100000, 0, 0x0608);
  Board.Kcs[1]->Absent = true;
  ASSERT_EQ (Board.Boot (), EFI_SUCCESS);
  BMC_COMMANDS_PPI  *Service = Board.Service ();
  ASSERT_NE (Service, nullptr);
  std::array<UINT8, 32>  Response{};
  UINT8                  Bmc1 = 1;

  // The first run's boot stage found BMC 1 floating: one status read.
  EXPECT_EQ (Board.Kcs[1]->StatusReads, 1u);
  for (unsigned Call = 0; Call < 3; Call++) {
    const unsigned  Accesses = Board.Clock.Accesses;
    UINT8           Length   = Response.size ();
    EXPECT_EQ (Service->GetDeviceId (Board.Services (), Service, Response.data (), &Length, &Bmc1, FALSE), EFI_DEVICE_ERROR);
    EXPECT_EQ (Board.Clock.Accesses, Accesses);
  }

  Board.Kcs[1]->Absent = false;
  Board.Scripted[1]->Then (Ok (mAvailable));
  UINT8  Length = Response.size ();
  EXPECT_EQ (Service->GetDeviceId (Board.Services (), Service, Response.data (), &Length, &Bmc1, TRUE), EFI_SUCCESS);
  Length = Response.size ();
  EXPECT_EQ (Service->GetDeviceId (Board.Services (), Service, Response.data (), &Length, &Bmc1, FALSE), EFI_SUCCESS);
}

//
// The ready wait at entry.
//
TEST (KcsReadyWaitTest, OffByDefaultTheEntrySendsNothing) {
  OskelSim::TransportBoard  Board ({ 0x0000, 0x0200 });

  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  EXPECT_TRUE (Board.Kcs[0]->Accesses.empty ());
  EXPECT_TRUE (Board.Kcs[1]->Accesses.empty ());
}

TEST (KcsReadyWaitTest, NotReadyAnswersAreWaitedThrough) {
  OskelSim::TransportBoard  Board ({ 0x0000, 0x0200 });

  Board.AddSettings (0, 10000000, 0x0608);
  Board.Scripted[0]->Then (Ok (mAvailable));
  Board.Scripted[1]->Then (Reply{ 0xD2, {}, std::nullopt }).Then (Reply{ 0xD2, {}, std::nullopt }).Then (Reply{ 0xC0, {}, std::nullopt });
  Board.Scripted[1]->Then (Ok (mInitialising)).Then (Ok (mInitialising)).Then (Ok (mAvailable));
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  UINT8               State      = 0xFF;

  EXPECT_EQ (Board.Kcs[0]->Requests.size (), 1u);
  EXPECT_EQ (Board.Kcs[1]->Requests.size (), 6u);
  // Five pauses of 100 ms between the six attempts.
  EXPECT_GE (Board.Clock.Nanoseconds, 500000000ull);
  EXPECT_LT (Board.Clock.Nanoseconds, 600000000ull);
  for (UINT8 Index : { 0, 1 }) {
    ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, Index), EFI_SUCCESS);
    EXPECT_EQ (Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
    EXPECT_EQ (State, 0) << "BMC " << int (Index);
  }
}

TEST (KcsReadyWaitTest, LateBmcWrittenOffAfterTheReadyWaitAndNeverReported) {
  OskelSim::TransportBoard  Board ({ 0x0000, 0x0200 });

  Board.AddSettings (0, 3000000, 0x0608);
  Board.Scripted[0]->Default = Ok (mAvailable);
  Board.Scripted[1]->Default = Reply{ 0xD2, {}, std::nullopt };
  Board.Kcs[1]->Recording    = false;
  ASSERT_EQ (Board.Boot (), EFI_SUCCESS);

  // Three seconds of attempts every 100 ms, then on: the first run's
  // boot stage 7 went to BMC 0 alone.
  EXPECT_GE (Board.Clock.Nanoseconds, 3000000000ull);
  EXPECT_LT (Board.Clock.Nanoseconds, 3200000000ull);
  for (const auto &R : Board.Kcs[1]->Requests) {
    EXPECT_EQ (R.Command, 0x01) << "only Get Device ID reached BMC 1";
  }

  size_t  Stages = 0;
  for (const auto &R : Board.Kcs[0]->Requests) {
    Stages += ((R.NetFn == IPMI_NETFN_OEM) && (R.Command == CMD_BOOT_STAGE)) ? 1 : 0;
  }

  EXPECT_EQ (Stages, 1u);
}

TEST (KcsReadyWaitTest, FloatingInterfaceIsNotWaitedFor) {
  OskelSim::TransportBoard  Board ({ 0x0000, 0x0200 });

  Board.AddSettings (0, 30000000, 0x0608);
  Board.Scripted[0]->Then (Ok (mAvailable));
  Board.Kcs[1]->Absent = true;
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  EXPECT_EQ (Board.Kcs[1]->StatusReads, 1u);
  EXPECT_LT (Board.Clock.Nanoseconds, 1000000ull);
}

TEST (KcsReadyWaitTest, OneReadyWaitForAllBmcsEachAskedOnceAtLeast) {
  OskelSim::TransportBoard  Board ({ 0x0000, 0x0200 });

  // Both BMCs still initialising, a 1 s ready wait: BMC 0 is asked every
  // 100 ms until it is over, BMC 1 once, and the entry takes 1 s, not 2.
  Board.AddSettings (0, 1000000, 0x0608);
  Board.Scripted[0]->Default = Reply{ 0xD2, {}, std::nullopt };
  Board.Scripted[1]->Default = Reply{ 0xD2, {}, std::nullopt };
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  UINT8               State      = 0xFF;

  EXPECT_EQ (Board.Kcs[0]->Requests.size (), 11u);
  EXPECT_EQ (Board.Kcs[1]->Requests.size (), 1u);
  EXPECT_GE (Board.Clock.Nanoseconds, 1000000000ull);
  EXPECT_LT (Board.Clock.Nanoseconds, 1100000000ull);
  for (UINT8 Index : { 0, 1 }) {
    ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, Index), EFI_SUCCESS);
    EXPECT_EQ (Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
    EXPECT_EQ (State, IPMI_BMC_STATE_UNUSABLE) << "BMC " << int (Index);
  }
}

TEST (KcsReadyWaitTest, NoClockEndsOnThePausesCountedAsTheirLength) {
  OskelSim::TransportBoard  Board ({ 0x0000 });

  // Neither clock advances: each pause ends after its still polls and
  // counts as its 100 ms, so 0.5 s of ready wait is five pauses, six
  // attempts.
  Board.AddSettings (1000, 500000, 0x0608);
  Board.Clock.PmTimerStuckAt = 0xFFFFFFFF;
  Board.Clock.PitStuckAt     = 0x1234;
  Board.Scripted[0]->Default = Reply{ 0xD2, {}, std::nullopt };
  Board.Kcs[0]->Recording    = false;
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  EXPECT_EQ (Board.Kcs[0]->Requests.size (), 6u);
  EXPECT_LT (Board.Clock.Nanoseconds, 10000000ull);
}

}  // namespace
}  // namespace OskelTest
