// The transport's entry and its bookkeeping operations: installation and
// re-installation, the BMC table from the platform HOB, selection, count,
// health and the secondary BMC.

#include "KcsFixture.h"

#include <array>
#include <cstring>
#include <functional>

namespace OskelTest {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const EFI_GUID  mTransportGuid = IPMI_TRANSPORT_PPI_GUID;

class KcsEntryTest : public KcsTest {};

TEST_F (KcsEntryTest, FirstRunInstallsTheTransport) {
  const EFI_PEI_PPI_DESCRIPTOR  *Descriptor = nullptr;

  ASSERT_EQ (Board.Pei.Locate (mTransportGuid, 0, &Descriptor), Transport);
  EXPECT_EQ (Descriptor->Flags, UINTN (EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST));
  EXPECT_EQ (Board.Pei.InstallCount, 1u);
  EXPECT_EQ (Board.Pei.ReinstallCount, 0u);
  EXPECT_EQ (Transport->Reserved[0], OskelTransport::TRANSPORT_SIGNATURE);
  EXPECT_EQ (Transport->SendCommand, &TransportSendCommand);
  EXPECT_EQ (Transport->TrackBmcStatus, &TransportTrackBmcStatus);
  EXPECT_EQ (Transport->SelectBmc, &TransportSelectBmc);
  EXPECT_EQ (Transport->GetBmcCount, &TransportGetBmcCount);
  EXPECT_EQ (Transport->PrepareSecondaryBmc, &TransportPrepareSecondaryBmc);
  // The entry itself sends nothing.
  EXPECT_TRUE (Kcs (0).Accesses.empty ());
  EXPECT_TRUE (Kcs (1).Accesses.empty ());
}

TEST_F (KcsEntryTest, ShadowedRunReinstallsKeepingSelectionAndHealth) {
  OskelSim::KcsFaults  Faults;
  Faults.ErrorAtResponseByte = 0;
  Kcs (1).Always             = Faults;
  for (UINT8 Failure = 0; Failure < OskelTransport::WRITTEN_OFF; Failure++) {
    EXPECT_EQ (Ping (1), EFI_DEVICE_ERROR);
  }

  Kcs (1).Always = OskelSim::KcsFaults{};
  Board.ClearAccesses ();
  ASSERT_EQ (Board.RunTransportEntry (true), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Shadow = Board.Transport ();
  ASSERT_NE (Shadow, nullptr);
  EXPECT_NE (Shadow, Transport);
  EXPECT_EQ (Board.Pei.InstallCount, 1u);
  EXPECT_EQ (Board.Pei.ReinstallCount, 1u);
  EXPECT_EQ (Board.Pei.Locate (mTransportGuid, 1), nullptr);

  Transport = Shadow;
  UINT8  State;
  EXPECT_EQ (Phase0 (&State), EFI_SUCCESS);
  EXPECT_EQ (State, IPMI_BMC_STATE_UNUSABLE);
  UINT8  Length = 0;
  EXPECT_EQ (Send (0x06, 0x01, {}, nullptr, &Length), EFI_SUCCESS);
  EXPECT_TRUE (Kcs (0).Accesses.empty ());
  EXPECT_FALSE (Kcs (1).Accesses.empty ());
}

TEST_F (KcsEntryTest, ShadowedRunWithoutFirstRecordInstalls) {
  Board.Pei.Uninstall (mTransportGuid);
  ASSERT_EQ (Board.RunTransportEntry (true), EFI_SUCCESS);
  EXPECT_NE (Board.Transport (), nullptr);
  EXPECT_EQ (Board.Pei.InstallCount, 2u);
  EXPECT_EQ (Board.Pei.ReinstallCount, 0u);
}

TEST (KcsEntryFaultTest, PoolFailureInstallsNothing) {
  for (bool ReturnsNull : { false, true }) {
    OskelSim::TransportBoard  Board;
    Board.Pei.FailAllocation        = 1;
    Board.Pei.AllocationReturnsNull = ReturnsNull;
    EXPECT_EQ (Board.RunTransportEntry (), EFI_OUT_OF_RESOURCES);
    EXPECT_EQ (Board.Transport (), nullptr);
  }
}

TEST (KcsEntryFaultTest, InstallFailureIsReturned) {
  OskelSim::TransportBoard  Board;
  Board.Pei.FailService ("InstallPpi", 1, EFI_OUT_OF_RESOURCES);
  EXPECT_EQ (Board.RunTransportEntry (), EFI_OUT_OF_RESOURCES);
}

TEST (KcsEntryFaultTest, ReinstallFailureIsReturned) {
  OskelSim::TransportBoard  Board;
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  Board.Pei.FailService ("ReInstallPpi", 1, EFI_NOT_FOUND);
  EXPECT_EQ (Board.RunTransportEntry (true), EFI_NOT_FOUND);
}

//
// The BMC table: what the platform HOB says, row by row.
//
struct HobRow {
  const char             *Name;
  std::function<void (OskelSim::HobListBuilder &)> Build;
  UINT8                  Count;
  std::vector<uint16_t>  Bases;   // of the BMCs counted
};

std::ostream &
operator<< (std::ostream &Out, const HobRow &Row)
{
  return Out << Row.Name;
}

// A platform HOB of Length bytes (header and name included) with the count
// byte and the bases at 590 + 21 * i.
void
AddHob (OskelSim::HobListBuilder &Hobs, size_t Length, uint8_t Count, std::vector<uint16_t> Bases)
{
  Bytes  Data (Length - 24, 0);

  if (Length > 589) {
    Data[565] = Count;
  }

  for (size_t Index = 0; Index < Bases.size (); Index++) {
    size_t  At = 566 + 21 * Index;
    if (At + 1 < Data.size ()) {
      Data[At]     = static_cast<uint8_t>(Bases[Index]);
      Data[At + 1] = static_cast<uint8_t>(Bases[Index] >> 8);
    }
  }

  const EFI_GUID  Name = PLATFORM_BMC_INFO_HOB_GUID;
  Bytes           Body (sizeof (EFI_GUID));
  std::memcpy (Body.data (), &Name, sizeof (Name));
  Body.insert (Body.end (), Data.begin (), Data.end ());
  Hobs.AddRawHob (EFI_HOB_TYPE_GUID_EXTENSION, static_cast<uint16_t>(Length), Body);
}

const HobRow  mHobRows[] = {
  { "NoHob", [](auto &) {}, 1, { 0x0000 } },
  { "TwoBmcs", [](auto &H) { H.AddPlatformBmcInfo ({ 0x0000, 0x0200 }); }, 2, { 0x0000, 0x0200 } },
  { "CountZero", [](auto &H) { AddHob (H, 640, 0, { 0x0100 }); }, 0, {} },
  { "MaximumCount", [](auto &H) { H.AddPlatformBmcInfo ({ 0, 0x100, 0x200, 0x300, 0x400, 0x500, 0x600, 0x700 }); },
    8, { 0, 0x100, 0x200, 0x300, 0x400, 0x500, 0x600, 0x700 } },
  { "OneMoreThanMaximum", [](auto &H) { H.AddPlatformBmcInfo ({ 0, 0x100, 0x200, 0x300, 0x400, 0x500, 0x600, 0x700, 0x800 }); },
    8, { 0, 0x100, 0x200, 0x300, 0x400, 0x500, 0x600, 0x700 } },
  { "EndsBeforeCountByte", [](auto &H) { AddHob (H, 589, 2, {}); }, 0, {} },
  { "EndsOneByteShortOfBmcOne", [](auto &H) { AddHob (H, 612, 2, { 0x0100, 0x0300 }); }, 1, { 0x0100 } },
  { "EndsRightAfterBmcOne", [](auto &H) { AddHob (H, 613, 2, { 0x0100, 0x0300 }); }, 2, { 0x0100, 0x0300 } },
  { "OtherGuidHobsFirst",
    [](auto &H) {
      H.AddGuidHob (EFI_GUID{ 1, 2, 3, { 4, 5, 6, 7, 8, 9, 10, 11 } }, Bytes (600, 9));
      H.AddRawHob (0x0003, 16, Bytes (8, 7));
      H.AddPlatformBmcInfo ({ 0x0A00 });
    }, 1, { 0x0A00 } },
};

class KcsHobTest : public ::testing::TestWithParam<HobRow> {};

TEST_P (KcsHobTest, BmcTable) {
  const HobRow  &Row = GetParam ();
  // One model at every base 0 to 800h, so a send shows where it went.
  std::vector<uint16_t>  AllBases{ 0, 0x100, 0x200, 0x300, 0x400, 0x500, 0x600, 0x700, 0x800, 0x0A00 };
  OskelSim::TransportBoard     Board (AllBases, false);

  Row.Build (Board.Pei.Hobs);
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  UINT8               Count      = 0xEE;

  ASSERT_EQ (Transport->GetBmcCount (Board.Services (), Transport, &Count), EFI_SUCCESS);
  EXPECT_EQ (Count, Row.Count);
  for (size_t Index = 0; Index < Row.Bases.size (); Index++) {
    Board.ClearAccesses ();
    ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, static_cast<UINT8>(Index)), EFI_SUCCESS);
    UINT8  Length = 0;
    ASSERT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_SUCCESS);
    for (size_t Model = 0; Model < AllBases.size (); Model++) {
      EXPECT_EQ (Board.Kcs[Model]->Requests.size (), (AllBases[Model] == Row.Bases[Index]) ? 1u : 0u)
        << "BMC " << Index << " model at " << std::hex << AllBases[Model];
    }
  }

  EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, Row.Count), EFI_INVALID_PARAMETER);
}

INSTANTIATE_TEST_SUITE_P (
  Hobs,
  KcsHobTest,
  ::testing::ValuesIn (mHobRows),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST (KcsNoBmcTest, NothingIsSentWhenThePlatformDeclaresNoBmc) {
  OskelSim::TransportBoard  Board ({ 0x0000 }, false);
  AddHob (Board.Pei.Hobs, 640, 0, { 0x0000 });
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  UINT8               Length     = 0;

  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_DEVICE_ERROR);
  EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->PrepareSecondaryBmc (Board.Services (), Transport), EFI_NOT_FOUND);
  EXPECT_TRUE (Board.Kcs[0]->Accesses.empty ());
}

class KcsOperationsTest : public KcsTest {};

TEST_F (KcsOperationsTest, SelectionRefusedAtOrAboveTheCountKeepsTheTarget) {
  ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, 1), EFI_SUCCESS);
  EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, 2), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, 0xFF), EFI_INVALID_PARAMETER);
  UINT8  Length = 0;
  ASSERT_EQ (Send (0x06, 0x01, {}, nullptr, &Length), EFI_SUCCESS);
  EXPECT_TRUE (Kcs (0).Requests.empty ());
  EXPECT_EQ (Kcs (1).Requests.size (), 1u);
}

TEST_F (KcsOperationsTest, ArgumentsRefusedBeforeAnyPortAccess) {
  std::array<UINT8, 4>  Buffer{};
  UINT8                 Data   = 0;
  UINT8                 Length = 4;
  UINT8                 Zero   = 0;
  IPMI_TRANSPORT_PPI    Foreign = *Transport;
  auto                  Services = Board.Services ();

  EXPECT_EQ (Transport->SendCommand (Services, Transport, 0x06, 0, 0x01, nullptr, 0, Buffer.data (), nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->SendCommand (Services, Transport, 0x06, 0, 0x01, nullptr, 1, Buffer.data (), &Length), EFI_INVALID_PARAMETER);
  Length = 4;
  EXPECT_EQ (Transport->SendCommand (Services, Transport, 0x06, 0, 0x01, &Data, 1, nullptr, &Length), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->SendCommand (Services, Transport, 0x40, 0, 0x01, nullptr, 0, nullptr, &Zero), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->SendCommand (Services, Transport, 0x06, 4, 0x01, nullptr, 0, nullptr, &Zero), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->SendCommand (Services, &Foreign, 0x06, 0, 0x01, nullptr, 0, nullptr, &Zero), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->SendCommand (Services, nullptr, 0x06, 0, 0x01, nullptr, 0, nullptr, &Zero), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->GetBmcCount (Services, Transport, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->SelectBmc (Services, &Foreign, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->TrackBmcStatus (Services, Transport, nullptr, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->TrackBmcStatus (Services, Transport, &Data, 2, FALSE), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Transport->PrepareSecondaryBmc (Services, &Foreign), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Length, 0);
  EXPECT_TRUE (Kcs (0).Accesses.empty ());
  EXPECT_TRUE (Kcs (1).Accesses.empty ());
  EXPECT_EQ (Board.Clock.Accesses, 0u);
}

//
// A copy of the PPI carries the signature word of the record it was taken
// from, followed by whatever the caller's buffer holds: here a BMC count of
// 255 and bases of EA5h. The copy is refused without a read past the PPI
// (the rest of the buffer is a guard page's worth of poison the test
// checks untouched) and without a single port access, and the size the
// caller passed is 0 afterwards.
//
TEST_F (KcsOperationsTest, CopyOfThePpiIsNotTheTransport) {
  std::array<UINT8, sizeof (OskelTransport::TRANSPORT_PRIVATE)>  Buffer;
  std::array<UINT8, 8>                                          Response{};
  UINT8                                                         Length = Response.size ();
  UINT8                                                         Count  = 0x5A;
  UINT8                                                         State  = 0x5A;

  Buffer.fill (0xFF);
  std::memcpy (Buffer.data (), Transport, sizeof (IPMI_TRANSPORT_PPI));
  auto  *Copy = reinterpret_cast<IPMI_TRANSPORT_PPI *>(Buffer.data ());
  EXPECT_EQ (Copy->Reserved[0], OskelTransport::TRANSPORT_SIGNATURE);
  EXPECT_EQ (TransportSendCommand (Board.Services (), Copy, 0x06, 0, 0x01, nullptr, 0, Response.data (), &Length), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Length, 0);
  EXPECT_EQ (TransportGetBmcCount (Board.Services (), Copy, &Count), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Count, 0x5A);
  EXPECT_EQ (TransportSelectBmc (Board.Services (), Copy, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (TransportTrackBmcStatus (Board.Services (), Copy, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_INVALID_PARAMETER);
  EXPECT_EQ (State, 0x5A);
  EXPECT_EQ (TransportPrepareSecondaryBmc (Board.Services (), Copy), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Board.Clock.Accesses, 0u);
  EXPECT_TRUE (Board.Log.PortWrites ().empty ());
}

TEST (KcsNoBmcTest, NothingStoredIsReportedAsNothing) {
  OskelSim::TransportBoard  Board ({ 0x0000 }, false);
  AddHob (Board.Pei.Hobs, 640, 0, { 0x0000 });
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI    *Transport = Board.Transport ();
  std::array<UINT8, 8>  Response{};
  UINT8                 Length = Response.size ();

  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, Response.data (), &Length), EFI_DEVICE_ERROR);
  EXPECT_EQ (Length, 0);
  EXPECT_EQ (Board.Clock.Accesses, 0u);
}

TEST_F (KcsOperationsTest, NullServicesUseTheRecordsOwn) {
  UINT8  Length = 0;

  EXPECT_EQ (Transport->SendCommand (nullptr, Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_SUCCESS);
  EXPECT_EQ (Kcs (0).Requests.size (), 1u);
}

TEST_F (KcsOperationsTest, PhaseOneLeavesTheHealthToTheTransaction) {
  for (BOOLEAN DeviceError : { TRUE, TRUE, TRUE, TRUE }) {
    EXPECT_EQ (Phase1 (DeviceError), EFI_SUCCESS);
  }

  EXPECT_EQ (StateOf (0), 0);
}

TEST_F (KcsOperationsTest, SecondaryBmcAnswersGetDeviceId) {
  EXPECT_EQ (Transport->PrepareSecondaryBmc (Board.Services (), Transport), EFI_SUCCESS);
  ASSERT_EQ (Kcs (1).Requests.size (), 1u);
  EXPECT_EQ (Kcs (1).Requests[0].NetFn, 0x06);
  EXPECT_EQ (Kcs (1).Requests[0].Command, 0x01);
  EXPECT_TRUE (Kcs (1).Requests[0].Data.empty ());
  EXPECT_TRUE (Kcs (0).Accesses.empty ());
  // The selection stays on BMC 0.
  UINT8  Length = 0;
  ASSERT_EQ (Send (0x06, 0x01, {}, nullptr, &Length), EFI_SUCCESS);
  EXPECT_EQ (Kcs (0).Requests.size (), 1u);
}

TEST_F (KcsOperationsTest, SecondaryBmcWrittenOffIsRefusedWithoutAPortAccess) {
  Kcs (1).Absent = true;
  EXPECT_EQ (Transport->PrepareSecondaryBmc (Board.Services (), Transport), EFI_DEVICE_ERROR);
  EXPECT_EQ (StateOf (1), IPMI_BMC_STATE_UNUSABLE);
  const unsigned  Accesses = Board.Clock.Accesses;
  EXPECT_EQ (Transport->PrepareSecondaryBmc (Board.Services (), Transport), EFI_DEVICE_ERROR);
  EXPECT_EQ (Board.Clock.Accesses, Accesses);
}

TEST_F (KcsOperationsTest, SecondaryBmcWithCompletionCodeOrFaultFails) {
  Bmc (1).Then (Reply{ 0xC1, {}, std::nullopt });
  EXPECT_EQ (Transport->PrepareSecondaryBmc (Board.Services (), Transport), EFI_DEVICE_ERROR);
  OskelSim::KcsFaults  Faults;
  Faults.ErrorAtResponseByte = 2;
  Kcs (1).Once               = Faults;
  EXPECT_EQ (Transport->PrepareSecondaryBmc (Board.Services (), Transport), EFI_DEVICE_ERROR);
  EXPECT_EQ (Kcs (1).Aborts, 1u);
}

class KcsSingleBmcTest : public KcsTest {
protected:
  KcsSingleBmcTest () : KcsTest ({ 0x0000 }) {}
};

TEST_F (KcsSingleBmcTest, NoSecondaryBmc) {
  EXPECT_EQ (Count (), 1);
  EXPECT_EQ (Transport->PrepareSecondaryBmc (Board.Services (), Transport), EFI_NOT_FOUND);
  EXPECT_TRUE (Kcs (0).Accesses.empty ());
}

}  // namespace
}  // namespace OskelTest
