// The BMC instance check, the three dispatch kinds and the guard, driven
// through Dispatch with a probe operation, so every slot inherits what is
// proven here.
#include "BoardFixture.h"
#include "OskelCommands/Pei/Dispatch/Dispatch.h"

namespace OskelTest {
namespace {

using Oskel::DispatchKind;
using Oskel::Operation;
using Oskel::OperationSpec;

struct ProbeArgs {
  bool  RefuseLate;
  int   *Checks;
};

EFI_STATUS OSKEL_INTERNAL
ProbeCheck (Operation &Op)
{
  ++*Op.ArgsAs<ProbeArgs>().Checks;
  return EFI_SUCCESS;
}

EFI_STATUS OSKEL_INTERNAL
ProbeExchange (Operation &Op)
{
  if (Op.ArgsAs<ProbeArgs>().RefuseLate) {
    return Oskel::Refuse (Op, EFI_INVALID_PARAMETER);
  }

  Op.Scratch ()[0] = *Op.BmcInstance;
  return Oskel::SpecExchange (Op, { .RequestLength = 1 });
}

constexpr OperationSpec  mSingle = { .Kind = DispatchKind::SingleBmc, .NetFn = 0x06, .Command = 0x01, .Check = ProbeCheck, .Exchange = ProbeExchange };
constexpr OperationSpec  mBroadcast = { .Kind = DispatchKind::Broadcast, .NetFn = 0x06, .Command = 0x01, .Check = ProbeCheck, .Exchange = ProbeExchange };
constexpr OperationSpec  mZeroOnly = { .Kind = DispatchKind::BmcZeroOnly, .NetFn = 0x06, .Command = 0x01, .Check = ProbeCheck, .Exchange = ProbeExchange };

class DispatchTest : public BoardTest {
protected:
  EFI_STATUS
  Run (const OperationSpec &Spec, UINT8 *Instance, UINT8 Force = 0, bool RefuseLate = false)
  {
    ProbeArgs  Args{ RefuseLate, &Checks };
    return Oskel::Dispatch (Spec, nullptr, Service, Instance, Force, &Args);
  }

  int  Checks = 0;
};

TEST_F (DispatchTest, SingleBmcSelectsThenGuardsOneExchange) {
  EXPECT_EQ (Run (mSingle, &Bmc1), EFI_SUCCESS);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 1", "phase0", "send 06/01", "phase1 flag=0"));
  EXPECT_EQ (Sends ()[0].Bmc, 1);
}

TEST_F (DispatchTest, InstanceCheckRefusesBeforeSelecting) {
  UINT8  Two = 2;
  EXPECT_EQ (Run (mSingle, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Run (mSingle, &Two), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Run (mBroadcast, &Two), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Run (mZeroOnly, &Two), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Log ().Of (EventKind::SelectBmc).size (), 0u);
  EXPECT_EQ (Checks, 0);
}

TEST_F (DispatchTest, AllBmcsByKind) {
  EXPECT_EQ (Run (mSingle, &AllBmcs), EFI_UNSUPPORTED);
  EXPECT_EQ (Run (mZeroOnly, &AllBmcs), EFI_UNSUPPORTED);
  EXPECT_EQ (Log ().Of (EventKind::SelectBmc).size (), 0u);

  EXPECT_EQ (Run (mBroadcast, &AllBmcs), EFI_SUCCESS);
  EXPECT_THAT (
    Calls (),
    ElementsAre (
      "count",           // single
      "count",           // zero only
      "count",           // broadcast: one count for the check and the loop
      "select 0", "phase0", "send 06/01", "phase1 flag=0",
      "select 1", "phase0", "send 06/01", "phase1 flag=0"
      )
    );
  // Each worker sees the index of the BMC it serves.
  EXPECT_EQ (Sends ()[0].Request, Bytes{ 0 });
  EXPECT_EQ (Sends ()[1].Request, Bytes{ 1 });
  EXPECT_EQ (AllBmcs, ALL_BMCS);
}

TEST_F (DispatchTest, BmcZeroOnlyRefusesOtherBmcs) {
  EXPECT_EQ (Run (mZeroOnly, &Bmc1), EFI_UNSUPPORTED);
  EXPECT_EQ (Run (mZeroOnly, &Bmc0), EFI_SUCCESS);
  EXPECT_THAT (Calls (), ElementsAre ("count", "count", "select 0", "phase0", "send 06/01", "phase1 flag=0"));
}

TEST_F (DispatchTest, BroadcastStopsAtFirstFailingBmc) {
  Bmc (0).Default = Fail (0xC1);
  EXPECT_EQ (Run (mBroadcast, &AllBmcs), 0xC1u);
  EXPECT_EQ (Log ().Of (EventKind::SelectBmc).size (), 1u);

  Log ().Clear ();
  Bmc (0).Default = Ok ();
  Board.Transport.At (1).SelectStatus = EFI_DEVICE_ERROR;
  EXPECT_EQ (Run (mBroadcast, &AllBmcs), EFI_DEVICE_ERROR);
  EXPECT_EQ (Sends ().size (), 1u);
}

TEST_F (DispatchTest, BroadcastOverNoBmcSucceedsSilently) {
  Board.Transport.ReportedCount = 0;
  EXPECT_EQ (Run (mBroadcast, &AllBmcs), EFI_SUCCESS);
  EXPECT_EQ (Run (mSingle, &AllBmcs), EFI_UNSUPPORTED);
  EXPECT_EQ (Run (mSingle, &Bmc0), EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Sends ().empty ());
  EXPECT_EQ (Log ().Of (EventKind::SelectBmc).size (), 0u);
}

TEST_F (DispatchTest, SelectFailureIsReturnedWithoutWorker) {
  Board.Transport.At (1).SelectStatus = EFI_NOT_READY;
  EXPECT_EQ (Run (mSingle, &Bmc1), EFI_NOT_READY);
  EXPECT_EQ (Checks, 0);
}

TEST_F (DispatchTest, NullServicesMeansTheRecordsOwn) {
  ProbeArgs  Args{ false, &Checks };
  EXPECT_EQ (Oskel::Dispatch (mSingle, Board.Services (), Service, &Bmc0, 0, &Args), EFI_SUCCESS);
  EXPECT_EQ (Oskel::Dispatch (mSingle, nullptr, nullptr, &Bmc0, 0, &Args), EFI_INVALID_PARAMETER);
}

struct GuardRow {
  const char  *Name;
  EFI_STATUS  Phase0Status;
  uint8_t     State;
  uint8_t     Force;
  EFI_STATUS  Expected;
  bool        Sent;
};

class GuardTest : public DispatchTest, public ::testing::WithParamInterface<GuardRow> {};

TEST_P (GuardTest, PhaseZeroDecides) {
  const GuardRow  &Row = GetParam ();

  Board.Transport.At (0).HealthStatus = Row.Phase0Status;
  Board.Transport.At (0).HealthState  = Row.State;
  EXPECT_EQ (Run (mSingle, &Bmc0, Row.Force), Row.Expected);
  EXPECT_EQ (Sends ().size (), Row.Sent ? 1u : 0u);
  // Phase 1 follows a send, and only a send.
  auto  Track = Log ().Of (EventKind::TrackBmcStatus);
  ASSERT_EQ (Track.size (), Row.Sent ? 2u : 1u);
  EXPECT_EQ (Track[0].Index, 0);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  GuardTest,
  ::testing::Values (
    GuardRow{ "Usable", EFI_SUCCESS, 0, 0, EFI_SUCCESS, true },
    GuardRow{ "MarkedUnusable", EFI_SUCCESS, 1, 0, EFI_DEVICE_ERROR, false },
    GuardRow{ "PhaseZeroInvalidParameter", EFI_INVALID_PARAMETER, 0, 0, EFI_INVALID_PARAMETER, false },
    GuardRow{ "UnusableAndInvalid", EFI_INVALID_PARAMETER, 1, 0, EFI_DEVICE_ERROR, false },
    GuardRow{ "NotReadyDoesNotStop", EFI_NOT_READY, 0, 0, EFI_SUCCESS, true },
    GuardRow{ "DeviceErrorDoesNotStop", EFI_DEVICE_ERROR, 0, 0, EFI_SUCCESS, true },
    GuardRow{ "StateTwoIsUsable", EFI_SUCCESS, 2, 0, EFI_SUCCESS, true },
    GuardRow{ "ForceSendsToUnusable", EFI_SUCCESS, 1, 1, EFI_SUCCESS, true },
    GuardRow{ "ForceSendsDespiteInvalid", EFI_INVALID_PARAMETER, 0, 1, EFI_SUCCESS, true }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (DispatchTest, ForceAboveOneRefusedBeforeWorkerTouchesTransport) {
  EXPECT_EQ (Run (mSingle, &Bmc0, 2), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Checks, 0);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0"));
}

TEST_F (DispatchTest, PhaseOneFlagsDeviceErrorOnly) {
  Bmc (0).Then (Fail (EFI_DEVICE_ERROR)).Then (Fail (EFI_NOT_READY)).Then (Fail (0xC0));
  EXPECT_EQ (Run (mSingle, &Bmc0), EFI_DEVICE_ERROR);
  EXPECT_EQ (Run (mSingle, &Bmc0), EFI_NOT_READY);
  EXPECT_EQ (Run (mSingle, &Bmc0), 0xC0u);

  auto  Track = Log ().Of (EventKind::TrackBmcStatus);
  ASSERT_EQ (Track.size (), 6u);
  EXPECT_EQ (Track[1].Flag, 1);
  EXPECT_EQ (Track[3].Flag, 0);
  EXPECT_EQ (Track[5].Flag, 0);
}

TEST_F (DispatchTest, ForcedSendTellsPhaseOneOfDeviceError) {
  Board.Transport.MarkUnusable (0);
  Bmc (0).Default = Fail (EFI_DEVICE_ERROR);
  EXPECT_EQ (Run (mSingle, &Bmc0, 1), EFI_DEVICE_ERROR);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0", "send 06/01", "phase1 flag=1"));
}

TEST_F (DispatchTest, LateRefusalSkipsPhaseOne) {
  EXPECT_EQ (Run (mSingle, &Bmc0, 0, true), EFI_INVALID_PARAMETER);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0"));
  // The next operation on the record is guarded normally again.
  EXPECT_EQ (Run (mSingle, &Bmc0), EFI_SUCCESS);
  EXPECT_EQ (Log ().Of (EventKind::TrackBmcStatus).size (), 3u);
}

TEST_F (DispatchTest, ExchangeNeverReportsMoreThanCapacity) {
  // The exchange talks to whichever BMC is selected; the entry's boot stage
  // report leaves the last one selected.
  Board.Transport.Selected = 0;
  Bmc (0).Then (Reply{ EFI_SUCCESS, { 1, 2, 3 }, uint8_t (200) });
  Operation  Op{ Board.Services (), Service, &Bmc0, 0, FALSE, nullptr, &mSingle };
  Op.Received = 0xEE;
  EXPECT_EQ (Oskel::SpecExchange (Op, { .Capacity = 3 }), EFI_SUCCESS);
  EXPECT_EQ (Op.Received, 3);
}

}  // namespace
}  // namespace OskelTest
