// Module entry: both runs, the failure table, the record it publishes.
#include <cstring>

#include "BoardFixture.h"

namespace OskelTest {
namespace {

class EntryTest : public ::testing::Test {
protected:
  OskelSim::SimulatedBoard  Board{ 2 };
};

TEST_F (EntryTest, FirstRunWritesPostCodeThenInstallsService) {
  ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);

  const auto  Events = Board.Log.Events;
  ASSERT_FALSE (Events.empty ());
  EXPECT_EQ (Events[0].Kind, EventKind::PortWrite);
  EXPECT_EQ (Events[0].Port, 0x80);
  EXPECT_EQ (Events[0].Value, 0x14);

  const auto  Pei = Board.Log.PeiSequence ();
  ASSERT_GE (Pei.size (), 5u);
  EXPECT_THAT (
    std::vector<std::string>(Pei.begin (), Pei.begin () + 5),
    ElementsAre (
      "RegisterForShadow",
      "LocatePpi IpmiTransportPpi",
      "AllocatePool " + std::to_string (sizeof (EFI_PEI_PPI_DESCRIPTOR)),
      "AllocatePool " + std::to_string (sizeof (BMC_COMMANDS_PRIVATE)),
      "InstallPpi BmcCommandsPpi"
      )
    );

  const EFI_PEI_PPI_DESCRIPTOR  *Descriptor = nullptr;
  const EFI_GUID                Guid = BMC_COMMANDS_PPI_GUID;
  auto                          *Ppi = static_cast<BMC_COMMANDS_PPI *>(Board.Pei.Locate (Guid, 0, &Descriptor));
  ASSERT_NE (Ppi, nullptr);
  EXPECT_EQ (Descriptor->Flags, 0x80000010u);
  EXPECT_EQ (Board.Pei.InstallCount, 1u);
  EXPECT_EQ (Board.Pei.ReinstallCount, 0u);
}

TEST_F (EntryTest, RecordIsBuiltCompletely) {
  ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
  BMC_COMMANDS_PPI  *Ppi = Board.Service ();
  ASSERT_NE (Ppi, nullptr);

  EXPECT_EQ (Ppi->Signature, BMC_COMMANDS_PPI_SIGNATURE);
  EXPECT_EQ (Ppi->Self->Signature, BMC_COMMANDS_PRIVATE_SIGNATURE);
  EXPECT_EQ (Ppi->Self->Reserved, 0u);
  EXPECT_EQ (reinterpret_cast<uint8_t *>(Ppi) - reinterpret_cast<uint8_t *>(Ppi->Self), 8);
  EXPECT_EQ (Ppi->Transport, Board.Transport.Ppi ());
  EXPECT_EQ (Ppi->PeiServices, Board.Services ());

  // The pool hands out patterned memory; no slot may keep the pattern.
  void  *Slots[BMC_OPERATION_COUNT];
  std::memcpy (Slots, &Ppi->OemC1Query, sizeof (Slots));
  for (size_t Slot = 0; Slot < BMC_OPERATION_COUNT; Slot++) {
    EXPECT_NE (Slots[Slot], nullptr) << "slot " << Slot;
  }

  EXPECT_EQ (Slots[0], reinterpret_cast<void *>(Ppi->OemC1Query));
  EXPECT_EQ (Slots[32], reinterpret_cast<void *>(Ppi->ReportBootStageSecondary));
}

TEST_F (EntryTest, ShadowedRunReinstallsWithoutFirstRunDuties) {
  ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
  BMC_COMMANDS_PPI  *First = Board.Service ();
  size_t            FirstAllocations = Board.Pei.Allocations.size ();
  Board.Log.Clear ();

  ASSERT_EQ (Board.RunEntry (true), EFI_SUCCESS);
  BMC_COMMANDS_PPI  *Second = Board.Service ();

  EXPECT_NE (Second, First);
  EXPECT_EQ (Board.Pei.InstallCount, 1u);
  EXPECT_EQ (Board.Pei.ReinstallCount, 1u);
  // The first record stays intact: callers that kept it still work.
  EXPECT_EQ (First->Signature, BMC_COMMANDS_PPI_SIGNATURE);
  EXPECT_EQ (Board.Pei.Allocations.size (), FirstAllocations + 2);
  // No boot stage report, no Setup: the second run never talks to a BMC.
  EXPECT_TRUE (Board.Log.TransportCalls ().empty ());
  EXPECT_THAT (Board.Log.PeiSequence ().back (), "ReInstallPpi BmcCommandsPpi");
}

TEST_F (EntryTest, RegisterForShadowNotFoundEndsEntry) {
  Board.Pei.RegisterForShadowResult = EFI_NOT_FOUND;
  EXPECT_EQ (OskelCommandsPeiEntryPoint (Board.Pei.FileHandle (), Board.Services ()), EFI_NOT_FOUND);
  EXPECT_EQ (Board.Pei.AllocationCount, 0u);
  EXPECT_EQ (Board.Service (), nullptr);
}

TEST_F (EntryTest, FailedRegistrationStillCountsAsFirstRun) {
  Board.Pei.RegisterForShadowResult = EFI_OUT_OF_RESOURCES;
  EXPECT_EQ (OskelCommandsPeiEntryPoint (Board.Pei.FileHandle (), Board.Services ()), EFI_SUCCESS);
  EXPECT_EQ (Board.Pei.InstallCount, 1u);
}

TEST_F (EntryTest, MissingTransportAllocatesNothing) {
  Board.Pei.Uninstall (IPMI_TRANSPORT_PPI_GUID);
  EXPECT_EQ (Board.RunEntry (false), EFI_NOT_FOUND);
  EXPECT_EQ (Board.Pei.AllocationCount, 0u);
}

TEST_F (EntryTest, NullTransportIsNotFound) {
  Board.Pei.Uninstall (IPMI_TRANSPORT_PPI_GUID);
  Board.Pei.Install (IPMI_TRANSPORT_PPI_GUID, nullptr);
  EXPECT_EQ (Board.RunEntry (false), EFI_NOT_FOUND);
  EXPECT_EQ (Board.Pei.AllocationCount, 0u);
}

struct AllocationFailure {
  const char *Name;
  size_t     Nth;
  bool       ReturnsNull;
};

class EntryAllocationTest : public EntryTest, public ::testing::WithParamInterface<AllocationFailure> {};

TEST_P (EntryAllocationTest, FailedAllocationInstallsNothing) {
  Board.Pei.FailAllocation        = GetParam ().Nth;
  Board.Pei.AllocationReturnsNull = GetParam ().ReturnsNull;
  EXPECT_EQ (Board.RunEntry (false), EFI_OUT_OF_RESOURCES);
  EXPECT_EQ (Board.Pei.InstallCount, 0u);
  EXPECT_TRUE (Board.Log.TransportCalls ().empty ());
}

INSTANTIATE_TEST_SUITE_P (
  EachBlock,
  EntryAllocationTest,
  ::testing::Values (
    AllocationFailure{ "DescriptorFails", 1, false },
    AllocationFailure{ "DescriptorNull", 1, true },
    AllocationFailure{ "RecordFails", 2, false },
    AllocationFailure{ "RecordNull", 2, true }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (EntryTest, InstallFailureIsReturnedAndNoDutiesRun) {
  Board.Pei.FailService ("InstallPpi", 1, EFI_OUT_OF_RESOURCES);
  EXPECT_EQ (Board.RunEntry (false), EFI_OUT_OF_RESOURCES);
  EXPECT_TRUE (Board.Log.TransportCalls ().empty ());
}

TEST_F (EntryTest, SecondRunWithoutFirstIsNotFound) {
  EXPECT_EQ (Board.RunEntry (true), EFI_NOT_FOUND);
  EXPECT_EQ (Board.Pei.ReinstallCount, 0u);
}

TEST_F (EntryTest, ReinstallFailureIsReturned) {
  ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
  Board.Pei.FailService ("ReInstallPpi", 1, EFI_INVALID_PARAMETER);
  EXPECT_EQ (Board.RunEntry (true), EFI_INVALID_PARAMETER);
}

TEST_F (EntryTest, FirstRunDutiesFailingDoNotFailEntry) {
  Board.Transport.MarkUnusable (0);
  Board.Transport.MarkUnusable (1);
  Board.Transport.Script (0).Default = Fail (EFI_DEVICE_ERROR);
  EXPECT_EQ (Board.RunEntry (false), EFI_SUCCESS);
  EXPECT_NE (Board.Service (), nullptr);
}

}  // namespace
}  // namespace OskelTest
