// The entry with every pool allocation and every PEI service call failing
// in turn, on the first run and on the shadowed run.
#include <map>

#include "BoardFixture.h"

namespace OskelTest {
namespace {

using OskelSim::SimulatedBoard;

const EFI_GUID  mServiceGuid = BMC_COMMANDS_PPI_GUID;

// The Nth call (counted from the board's start) of a named service.
struct ServiceCall {
  std::string  Service;
  size_t       Nth;
  size_t       Position;  // index among the run's PEI calls
};

std::string
ServiceOf (const Event &E)
{
  return (E.Kind == EventKind::PortWrite) ? "Io.Write" : E.Service;
}

// Every PEI service call and port write of one clean run, with its ordinal
// per service since the board started.
std::vector<ServiceCall>
CallsOfRun (bool Shadowed)
{
  SimulatedBoard  Board (2);

  Board.Pei.Hobs.AddPlatformBmcInfo ({ 0x0A00, 0x0B00 });
  if (Shadowed) {
    EXPECT_EQ (Board.RunEntry (false), EFI_SUCCESS);
  }

  const size_t                  Start = Board.Log.Events.size ();
  EXPECT_EQ (Board.RunEntry (Shadowed), EFI_SUCCESS);

  std::map<std::string, size_t>  Count;
  std::vector<ServiceCall>       Calls;
  for (size_t Index = 0; Index < Board.Log.Events.size (); Index++) {
    const Event  &E = Board.Log.Events[Index];
    if ((E.Kind != EventKind::PeiCall) && (E.Kind != EventKind::PortWrite)) {
      continue;
    }

    size_t  Nth = ++Count[ServiceOf (E)];
    if (Index >= Start) {
      Calls.push_back (ServiceCall{ ServiceOf (E), Nth, Calls.size () });
    }
  }

  return Calls;
}

// No phase 1 without a phase 0 before it in the transport's sequence.
void
ExpectGuardsPaired (const SimulatedBoard &Board)
{
  int  Open = 0;

  for (const std::string &Call : Board.Log.TransportSequence ()) {
    if (Call == "phase0") {
      Open++;
    } else if (Call.rfind ("phase1", 0) == 0) {
      EXPECT_GT (Open, 0) << "phase 1 without a phase 0";
      Open--;
    }
  }
}

// What the entry returns when Call fails: the steps up to the installation
// decide; everything after it is a first-run duty whose failure is ignored.
EFI_STATUS
ExpectedStatus (const ServiceCall &Call, bool Shadowed, size_t InstallPosition, EFI_STATUS Injected)
{
  if (Call.Position > InstallPosition) {
    return EFI_SUCCESS;
  }

  if ((Call.Service == "RegisterForShadow") || (Call.Service == "Io.Write")) {
    return EFI_SUCCESS;
  }

  if (Call.Service == "LocatePpi") {
    return EFI_NOT_FOUND;
  }

  if (Call.Service == "AllocatePool") {
    return EFI_OUT_OF_RESOURCES;
  }

  (void)Shadowed;
  return Injected;
}

class EntryFaultTest : public ::testing::TestWithParam<bool> {};

TEST_P (EntryFaultTest, EveryServiceCallFailingInTurn) {
  const bool  Shadowed = GetParam ();
  const auto  Calls    = CallsOfRun (Shadowed);
  const char  *Install = Shadowed ? "ReInstallPpi" : "InstallPpi";
  size_t      InstallPosition = Calls.size ();

  for (const ServiceCall &Call : Calls) {
    if (Call.Service == Install) {
      InstallPosition = Call.Position;
    }
  }

  ASSERT_LT (InstallPosition, Calls.size ());
  for (const ServiceCall &Call : Calls) {
    SCOPED_TRACE (Call.Service + " call " + std::to_string (Call.Nth) + (Shadowed ? ", shadowed run" : ", first run"));
    SimulatedBoard  Board (2);
    Board.Pei.Hobs.AddPlatformBmcInfo ({ 0x0A00, 0x0B00 });
    BMC_COMMANDS_PPI  *FirstRecord = nullptr;
    if (Shadowed) {
      ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
      FirstRecord = Board.Service ();
    }

    Board.Pei.FailService (Call.Service, Call.Nth, EFI_DEVICE_ERROR);
    EFI_STATUS  Expected = ExpectedStatus (Call, Shadowed, InstallPosition, EFI_DEVICE_ERROR);
    EFI_STATUS  Status   = Board.RunEntry (Shadowed);

    EXPECT_EQ (Status, Expected);
    ExpectGuardsPaired (Board);
    BMC_COMMANDS_PPI  *Published = Board.Service ();
    if (Shadowed) {
      // A failed second run leaves the first run's record in place.
      ASSERT_NE (Published, nullptr);
      if ((Status == EFI_SUCCESS) && (Call.Service != "RegisterForShadow")) {
        EXPECT_NE (Published, FirstRecord);
      } else if (Status != EFI_SUCCESS) {
        EXPECT_EQ (Published, FirstRecord);
      }
    } else {
      EXPECT_EQ (Published != nullptr, Status == EFI_SUCCESS);
    }

    if (Published != nullptr) {
      EXPECT_EQ (Published->Signature, BMC_COMMANDS_PPI_SIGNATURE);
      EXPECT_EQ (Published->Self->Signature, BMC_COMMANDS_PRIVATE_SIGNATURE);
      EXPECT_EQ (Published->Transport, Board.Transport.Ppi ());
    }
  }
}

INSTANTIATE_TEST_SUITE_P (Runs, EntryFaultTest, ::testing::Values (false, true), [](const auto &Info) {
  return Info.param ? "Shadowed" : "First";
});

struct AllocationRow {
  const char  *Name;
  bool        ReturnsNull;
};

class EntryAllocationFaultTest : public ::testing::TestWithParam<AllocationRow> {};

TEST_P (EntryAllocationFaultTest, EveryPoolAllocationFailingInTurn) {
  size_t  Allocations;
  {
    SimulatedBoard  Board (2);
    ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
    Allocations = Board.Pei.AllocationCount;
  }

  ASSERT_GE (Allocations, 2u);
  for (size_t Nth = 1; Nth <= Allocations; Nth++) {
    SCOPED_TRACE ("allocation " + std::to_string (Nth));
    SimulatedBoard  Board (2);
    Board.Pei.FailAllocation        = Nth;
    Board.Pei.AllocationReturnsNull = GetParam ().ReturnsNull;

    EXPECT_EQ (Board.RunEntry (false), EFI_OUT_OF_RESOURCES);
    EXPECT_EQ (Board.Service (), nullptr);
    EXPECT_EQ (Board.Pei.InstallCount, 0u);
    EXPECT_TRUE (Board.Log.Sends ().empty ());
  }
}

INSTANTIATE_TEST_SUITE_P (
  Failures,
  EntryAllocationFaultTest,
  ::testing::Values (AllocationRow{ "StatusOutOfResources", false }, AllocationRow{ "SuccessWithNull", true }),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

}  // namespace
}  // namespace OskelTest
