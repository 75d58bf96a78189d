// A clock that does not advance: a PM timer port that reads the same
// value (a PM base the chipset does not decode reads all ones) hands the
// waits over to the 8254 for the rest of the run, so a hung BMC costs one
// flag wait and a healthy one still talks; with the 8254 stopped too, a
// wait ends after its still polls and the BMC is written off. Every case
// runs at 0.3 us a port access (emulation), 1 us (LPC) and 24 us (a
// trapped read under virtualisation), on the board's virtual time.

#include "KcsFixture.h"

#include <array>
#include <optional>
#include <string>
#include <tuple>

namespace OskelTest {
namespace {

using ::testing::ElementsAreArray;
using OskelTransport::CLOCK_STILL_POLLS;

constexpr uint16_t  mPmTimerPort = 0x0608;
constexpr uint64_t  mFlagWaitNs  = 5000000000ull;   // the default flag wait

struct SpeedRow {
  const char  *Name;
  uint64_t    NanosecondsPerAccess;
};

std::ostream &
operator<< (std::ostream &Out, const SpeedRow &Row)
{
  return Out << Row.Name;
}

const SpeedRow  mSpeeds[] = {
  { "EmulatedReads", 300 },
  { "LpcReads", 1000 },
  { "TrappedReads", 24000 },
};

struct StillPmTimerRow {
  const char  *Name;
  uint32_t    ReadsAs;
};

std::ostream &
operator<< (std::ostream &Out, const StillPmTimerRow &Row)
{
  return Out << Row.Name;
}

const StillPmTimerRow  mStillPmTimers[] = {
  { "PmTimerReadsAConstant", 0x00123456 },
  { "PmTimerReadsAllOnes", 0xFFFFFFFF },   // the PM base not decoded
};

// A wait on the 8254 after the PM timer was found still may run past the
// flag wait by the still polls on the PM timer (two accesses each), the
// 8254's first sample and its last poll, and by the rounding of the wait
// to whole 256 us steps of 256.04 us.
constexpr uint64_t
Margin (uint64_t NanosecondsPerAccess)
{
  return mFlagWaitNs / 1000 + (2 * CLOCK_STILL_POLLS + 8) * NanosecondsPerAccess;
}

// BMC 0 and BMC 1, the PM timer at 608h, the default flag wait, Speed.
class StillClockBoard {
public:
  explicit StillClockBoard (uint64_t NanosecondsPerAccess) : Board ({ 0x0000, 0x0200 })
  {
    Board.AddSettings (0, 0, mPmTimerPort);
    Board.Clock.NanosecondsPerAccess = NanosecondsPerAccess;
    Board.Kcs[0]->Recording          = false;
    Board.Kcs[1]->Recording          = false;
  }

  void Start ()
  {
    ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
    Transport = Board.Transport ();
    ASSERT_NE (Transport, nullptr);
  }

  void Hang (size_t Index)
  {
    OskelSim::KcsFaults  Faults;
    Faults.BusyPolls        = ~0u;
    Board.Kcs[Index]->Always = Faults;
  }

  EFI_STATUS Ping (UINT8 Index, UINT8 *Response = nullptr, UINT8 Capacity = 0, UINT8 *Length = nullptr)
  {
    UINT8  Stored = Capacity;
    EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, Index), EFI_SUCCESS);
    EFI_STATUS  Status = Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, Response, &Stored);
    if (Length != nullptr) {
      *Length = Stored;
    }

    return Status;
  }

  UINT8 StateOf (UINT8 Index)
  {
    UINT8  State = 0xFF;
    EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, Index), EFI_SUCCESS);
    EXPECT_EQ (Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
    return State;
  }

  OskelSim::TransportBoard  Board;
  IPMI_TRANSPORT_PPI  *Transport = nullptr;
};

using StillPmTimerParam = std::tuple<StillPmTimerRow, SpeedRow>;

std::string
StillPmTimerName (const ::testing::TestParamInfo<StillPmTimerParam> &Info)
{
  return std::string (std::get<0>(Info.param).Name) + "_" + std::get<1>(Info.param).Name;
}

class KcsStillPmTimerTest : public ::testing::TestWithParam<StillPmTimerParam> {};

TEST_P (KcsStillPmTimerTest, HungBmcCostsOneFlagWaitOnThe8254) {
  const auto       &[Pm, Speed] = GetParam ();
  StillClockBoard  B (Speed.NanosecondsPerAccess);

  B.Board.Clock.PmTimerStuckAt = Pm.ReadsAs;
  B.Start ();
  B.Hang (0);
  const uint64_t  Start = B.Board.Clock.Nanoseconds;

  EXPECT_EQ (B.Ping (0), EFI_NOT_READY);
  const uint64_t  Spent = B.Board.Clock.Nanoseconds - Start;
  RecordProperty ("VirtualMicroseconds", std::to_string (Spent / 1000));
  EXPECT_GE (Spent, mFlagWaitNs) << "the wait on the 8254 is not shorter than set";
  EXPECT_LE (Spent, mFlagWaitNs + Margin (Speed.NanosecondsPerAccess));
  // The wait's first sample and its still polls, then the 8254 alone.
  EXPECT_EQ (B.Board.PmTimerReads, CLOCK_STILL_POLLS + 1);
  EXPECT_NE (B.Board.Pit.Latches, 0u);
  EXPECT_TRUE (B.Board.Kcs[0]->Requests.empty ());
  EXPECT_EQ (B.StateOf (0), IPMI_BMC_STATE_UNUSABLE);

  // For the rest of the run: the other BMC's exchange reads no PM timer.
  B.Board.Scripted[1]->Then (OskelSim::Ok ({ 0x20 }));
  EXPECT_EQ (B.Ping (1), EFI_SUCCESS);
  EXPECT_EQ (B.Board.PmTimerReads, CLOCK_STILL_POLLS + 1);
}

TEST_P (KcsStillPmTimerTest, HealthyBmcStillTalksOnThe8254) {
  const auto       &[Pm, Speed] = GetParam ();
  StillClockBoard  B (Speed.NanosecondsPerAccess);
  const Bytes      Identity{ 0x20, 0x01, 0x02, 0x07 };

  B.Board.Clock.PmTimerStuckAt = Pm.ReadsAs;
  B.Start ();
  // A BMC that takes each byte after 200 status reads: the first wait
  // outlasts the still polls and goes on on the 8254.
  B.Board.Kcs[0]->IbfLatency = 200;
  B.Board.Scripted[0]->Then (OskelSim::Ok (Identity));
  std::array<UINT8, 4>  Response{};
  UINT8                 Length = 0;

  EXPECT_EQ (B.Ping (0, Response.data (), Response.size (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, Identity.size ());
  EXPECT_THAT (Response, ElementsAreArray (Identity));
  ASSERT_EQ (B.Board.Kcs[0]->Requests.size (), 1u);
  EXPECT_EQ (B.Board.Kcs[0]->Requests[0].NetFn, 0x06);
  EXPECT_EQ (B.Board.Kcs[0]->Requests[0].Command, 0x01);
  // The first wait's sample (IBF clear at once), the second wait's first
  // sample and its still polls, then the 8254 alone.
  EXPECT_EQ (B.Board.PmTimerReads, CLOCK_STILL_POLLS + 2);
  EXPECT_NE (B.Board.Pit.Latches, 0u);
  EXPECT_EQ (B.StateOf (0), 0);
}

INSTANTIATE_TEST_SUITE_P (
  Speeds,
  KcsStillPmTimerTest,
  ::testing::Combine (::testing::ValuesIn (mStillPmTimers), ::testing::ValuesIn (mSpeeds)),
  StillPmTimerName
  );

//
// Neither clock advances: the PM timer reads all ones and the 8254 holds
// its count.
//
class KcsNoClockTest : public ::testing::TestWithParam<SpeedRow> {};

TEST_P (KcsNoClockTest, HungBmcEndsAfterTheStillPollsAndIsWrittenOff) {
  const SpeedRow   &Speed = GetParam ();
  StillClockBoard  B (Speed.NanosecondsPerAccess);

  B.Board.Clock.PmTimerStuckAt = 0xFFFFFFFF;
  B.Board.Clock.PitStuckAt     = 0x1234;
  B.Start ();
  B.Hang (0);
  const unsigned  Accesses = B.Board.Clock.Accesses;
  const uint64_t  Start    = B.Board.Clock.Nanoseconds;

  EXPECT_EQ (B.Ping (0), EFI_NOT_READY);
  RecordProperty ("VirtualMicroseconds", std::to_string ((B.Board.Clock.Nanoseconds - Start) / 1000));
  // The still polls on the PM timer (a status read and a timer read each,
  // after the wait's first sample), the 8254's first sample, then its
  // still polls (a status read, the latch and two reads each).
  EXPECT_EQ (B.Board.Kcs[0]->StatusReads, 2 * CLOCK_STILL_POLLS);
  EXPECT_EQ (B.Board.Clock.Accesses - Accesses, 1 + 2 * CLOCK_STILL_POLLS + 3 + 4 * CLOCK_STILL_POLLS);

  // Written off: the next command costs nothing, and phase 0 says so.
  const unsigned  Before = B.Board.Clock.Accesses;
  EXPECT_EQ (B.Ping (0), EFI_DEVICE_ERROR);
  EXPECT_EQ (B.Board.Clock.Accesses, Before);
  EXPECT_EQ (B.StateOf (0), IPMI_BMC_STATE_UNUSABLE);

  // A BMC that answers within the still polls needs no clock.
  B.Board.Scripted[1]->Then (OskelSim::Ok ({ 0x20 }));
  EXPECT_EQ (B.Ping (1), EFI_SUCCESS);
  EXPECT_EQ (B.StateOf (1), 0);
}

INSTANTIATE_TEST_SUITE_P (
  Speeds,
  KcsNoClockTest,
  ::testing::ValuesIn (mSpeeds),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

//
// The shadowed run builds its record from the settings again and takes
// the PM timer afresh: the board may have had the chipset decode it since
// the first run, and a timer still not running costs one more round of
// still polls.
//
TEST (KcsStillClockShadowTest, ShadowedRunTriesThePmTimerAgain) {
  StillClockBoard  B (1000);

  B.Board.Clock.PmTimerStuckAt = 0xFFFFFFFF;
  B.Start ();
  B.Hang (0);
  EXPECT_EQ (B.Ping (0), EFI_NOT_READY);
  ASSERT_EQ (B.Board.PmTimerReads, CLOCK_STILL_POLLS + 1);

  ASSERT_EQ (B.Board.RunTransportEntry (true), EFI_SUCCESS);
  B.Transport = B.Board.Transport ();
  B.Board.Kcs[1]->IbfLatency = 200;
  B.Board.Scripted[1]->Then (OskelSim::Ok ({ 0x20 }));
  EXPECT_EQ (B.Ping (1), EFI_SUCCESS);
  EXPECT_EQ (B.Board.PmTimerReads, (CLOCK_STILL_POLLS + 1) + (CLOCK_STILL_POLLS + 2)) << "found still once more, then the 8254";
  EXPECT_EQ (B.StateOf (0), IPMI_BMC_STATE_UNUSABLE) << "the health is carried over";
}

TEST (KcsStillClockShadowTest, PmTimerDecodedBeforeTheShadowedRunIsTheClockAgain) {
  StillClockBoard  B (1000);

  B.Board.Clock.PmTimerStuckAt = 0xFFFFFFFF;
  B.Start ();
  B.Hang (0);
  EXPECT_EQ (B.Ping (0), EFI_NOT_READY);

  B.Board.Clock.PmTimerStuckAt.reset ();
  ASSERT_EQ (B.Board.RunTransportEntry (true), EFI_SUCCESS);
  B.Transport = B.Board.Transport ();
  B.Hang (1);
  const unsigned  Latches = B.Board.Pit.Latches;
  const uint64_t  Start   = B.Board.Clock.Nanoseconds;
  EXPECT_EQ (B.Ping (1), EFI_NOT_READY);
  EXPECT_EQ (B.Board.Pit.Latches, Latches) << "the PM timer alone timed the wait";
  EXPECT_GE (B.Board.Clock.Nanoseconds - Start, mFlagWaitNs);
  EXPECT_LE (B.Board.Clock.Nanoseconds - Start, mFlagWaitNs + Margin (1000));
}

}  // namespace
}  // namespace OskelTest
