// One transport for a board whose BMCs sit on different interfaces: the
// interfaces HOB read byte by byte, each BMC reached on its own interface,
// the module over all of them, the run from memory taking over what the
// first run learnt, and the ready wait on a BT BMC.

#include "BtFixture.h"

#include <functional>

#include "BmcModel.h"

namespace OskelTest {
namespace {

using ::testing::ElementsAre;

const EFI_GUID  mInterfacesGuid = IPMI_TRANSPORT_INTERFACES_HOB_GUID;

//
// The interfaces HOB, one row per boundary of its layout: which of the
// three BMCs (KCS models at bases 0, 200h, 400h; BT models at E4h and
// E8h for BMCs 1 and 2) takes a Get Device ID, and which fails without a
// port access.
//
enum class Reached { Kcs, BtE4, BtE8, Nothing };

struct InterfacesRow {
  const char                          *Name;
  std::function<void (OskelSim::TransportBoard &)>  Build;
  Reached                             Expected[3];
};

std::ostream &
operator<< (std::ostream &Out, const InterfacesRow &Row)
{
  return Out << Row.Name;
}

Bytes
Entries (uint8_t Count, std::initializer_list<std::pair<uint8_t, uint16_t>> List, size_t Padding = 0, uint8_t Fill = 0)
{
  Bytes  Data{ Count, 0, 0, 0 };
  for (const auto &[Interface, Address] : List) {
    Data.insert (Data.end (), { Interface, 0, static_cast<uint8_t>(Address), static_cast<uint8_t>(Address >> 8) });
  }

  Data.insert (Data.end (), Padding, Fill);
  return Data;
}

const InterfacesRow  mInterfacesRows[] = {
  { "NoHobEveryBmcOnKcs", [](auto &) {}, { Reached::Kcs, Reached::Kcs, Reached::Kcs } },
  { "EmptyHobEveryBmcOnKcs", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (0, {})); }, { Reached::Kcs, Reached::Kcs, Reached::Kcs } },
  { "HobWithoutItsCountByte", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, {}); }, { Reached::Kcs, Reached::Kcs, Reached::Kcs } },
  { "OneBtEntry", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (2, { { 0, 0 }, { 1, 0xE4 } })); }, { Reached::Kcs, Reached::BtE4, Reached::Kcs } },
  { "TwoBtBmcs", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (3, { { 0, 0 }, { 1, 0xE4 }, { 1, 0xE8 } })); }, { Reached::Kcs, Reached::BtE4, Reached::BtE8 } },
  { "KcsEntryKeepsThePlatformBase", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (1, { { 0, 0xE4 } })); }, { Reached::Kcs, Reached::Kcs, Reached::Kcs } },
  { "EntryPastTheCountIsNotRead", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (1, { { 0, 0 }, { 1, 0xE4 } })); }, { Reached::Kcs, Reached::Kcs, Reached::Kcs } },
  // The PEI core rounds a HOB up to 8 bytes and need not zero the rest.
  { "PaddingAfterTheCountIsNotRead", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (1, { { 1, 0xE4 } }, 8, 0x01)); }, { Reached::BtE4, Reached::Kcs, Reached::Kcs } },
  { "CountPastTheHob", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (3, { { 0, 0 }, { 1, 0xE4 } })); }, { Reached::Kcs, Reached::BtE4, Reached::Kcs } },
  // 8 bytes of data, a HOB of 32 bytes: entry 1 would end 4 bytes past it.
  { "EntryPastTheHobsEnd", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (2, { { 1, 0xE4 } })); }, { Reached::BtE4, Reached::Kcs, Reached::Kcs } },
  { "UnknownInterfaceIsNone", [](auto &B) { B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (3, { { 0, 0 }, { 2, 0xE4 }, { 0xFF, 0xE8 } })); }, { Reached::Kcs, Reached::Nothing, Reached::Nothing } },
  { "FirstHobOfTheNameCounts", [](auto &B) {
      B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (2, { { 0, 0 }, { 1, 0xE4 } }));
      B.Pei.Hobs.AddGuidHob (mInterfacesGuid, Entries (3, { { 1, 0xE8 }, { 1, 0xE8 }, { 1, 0xE8 } }));
    }, { Reached::Kcs, Reached::BtE4, Reached::Kcs } },
};

class InterfacesHobTest : public ::testing::TestWithParam<InterfacesRow> {};

TEST_P (InterfacesHobTest, EachBmcOnItsInterface) {
  const InterfacesRow       &Row = GetParam ();
  OskelSim::TransportBoard  Board ({ 0x0000, 0x0200, 0x0400 });

  Board.Clock.NanosecondsPerAccess = 10000;
  Board.AddSettings (0, 0, 0x0608);
  OskelSim::BtBmcModel  &E4 = Board.AddBt (1, 0x00E4);
  OskelSim::BtBmcModel  &E8 = Board.AddBt (2, 0x00E8);
  Row.Build (Board);
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();

  for (UINT8 Index = 0; Index < 3; Index++) {
    Board.ClearAccesses ();
    UINT8  Length = 0;
    ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, Index), EFI_SUCCESS);
    const EFI_STATUS  Status = Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length);
    const Reached     Want   = Row.Expected[Index];
    EXPECT_EQ (Status, (Want == Reached::Nothing) ? EFI_DEVICE_ERROR : EFI_SUCCESS) << "BMC " << unsigned (Index);
    EXPECT_EQ (Board.Kcs[Index]->Requests.size (), (Want == Reached::Kcs) ? 1u : 0u) << "BMC " << unsigned (Index);
    EXPECT_EQ (E4.Requests.size (), (Want == Reached::BtE4) ? 1u : 0u) << "BMC " << unsigned (Index);
    EXPECT_EQ (E8.Requests.size (), (Want == Reached::BtE8) ? 1u : 0u) << "BMC " << unsigned (Index);
    if (Want == Reached::Nothing) {
      // No interface: not even a status read.
      EXPECT_TRUE (Board.Kcs[Index]->Accesses.empty ());
      EXPECT_TRUE (E4.Accesses.empty ());
      EXPECT_TRUE (E8.Accesses.empty ());
    }
  }

  EXPECT_THAT (E4.Violations, ::testing::IsEmpty ());
  EXPECT_THAT (E8.Violations, ::testing::IsEmpty ());
}

INSTANTIATE_TEST_SUITE_P (
  Layout,
  InterfacesHobTest,
  ::testing::ValuesIn (mInterfacesRows),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

//
// The module over a board whose BMC 0 is on KCS and BMCs 1 and 2 on BT,
// each a stateful BMC: the boot stage reaches all three, every slot's
// bytes pass through the interface of its BMC.
//
class MixedBoardTest : public ::testing::Test {
protected:
  MixedBoardTest () : Board ({ 0x0000, 0x0200, 0x0400 })
  {
    for (uint8_t Index = 0; Index < 3; Index++) {
      Models.push_back (std::make_unique<OskelSim::BmcModel>(Index));
      Board.Scripted[Index]->Handler = [this, Index](const OskelSim::Request &R) { return Models[Index]->Handle (R); };
    }

    Board.AddBt (1, 0x00E4).Recording = false;
    Board.AddBt (2, 0x00E8).Recording = false;
    Board.AddInterfaces ({ { IPMI_INTERFACE_KCS, 0 }, { IPMI_INTERFACE_BT, 0x00E4 }, { IPMI_INTERFACE_BT, 0x00E8 } });
  }

  OskelSim::TransportBoard                          Board;
  std::vector<std::unique_ptr<OskelSim::BmcModel>>  Models;
};

TEST_F (MixedBoardTest, ModuleReachesEveryBmcOnItsInterface) {
  ASSERT_EQ (Board.Boot (), EFI_SUCCESS);
  BMC_COMMANDS_PPI  *Service = Board.Service ();
  ASSERT_NE (Service, nullptr);

  // Boot stage 7 to each BMC, over KCS to BMC 0 and over BT to 1 and 2.
  auto  Stages = [](const std::vector<OskelSim::Request> &Requests) {
                   size_t  Count = 0;
                   for (const auto &R : Requests) {
                     Count += ((R.NetFn == 0x3A) && (R.Command == 0xC3)) ? 1 : 0;
                   }

                   return Count;
                 };
  EXPECT_GE (Stages (Board.Kcs[0]->Requests), 1u);
  EXPECT_GE (Stages (Board.Bt[0]->Requests), 1u);
  EXPECT_GE (Stages (Board.Bt[1]->Requests), 1u);
  EXPECT_TRUE (Board.Kcs[1]->Requests.empty ());
  EXPECT_TRUE (Board.Kcs[2]->Requests.empty ());

  // A whole file through BMC 2's BT interface: chunks of the module's
  // largest exchanges fit the 255-byte buffers the model reports.
  Bytes   Written (300);
  for (size_t Index = 0; Index < Written.size (); Index++) {
    Written[Index] = static_cast<uint8_t>(Index * 7 + 1);
  }

  UINT8   Bmc   = 2;
  UINT32  Count = static_cast<UINT32>(Written.size ());
  ASSERT_EQ (Service->WriteKnownFile (nullptr, Service, KNOWN_FILE_CONFIG, 0, Written.data (), &Count, nullptr, &Bmc, FALSE), EFI_SUCCESS);
  Bytes   Read (300, 0xEE);
  UINT32  Got = 0;
  ASSERT_EQ (Service->ReadKnownFile (nullptr, Service, KNOWN_FILE_CONFIG, 0, 300, Read.data (), &Got, nullptr, &Bmc, FALSE), EFI_SUCCESS);
  EXPECT_EQ (Got, 300u);
  EXPECT_EQ (Read, Written);
  EXPECT_THAT (Board.Bt[0]->Violations, ::testing::IsEmpty ());
  EXPECT_THAT (Board.Bt[1]->Violations, ::testing::IsEmpty ());
}

TEST_F (MixedBoardTest, RunFromMemoryKeepsSizesSequenceAndHealth) {
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  UINT8               Length     = 0;
  ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, 1), EFI_SUCCESS);
  ASSERT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_SUCCESS);
  Board.Bt[1]->Absent = true;
  ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, 2), EFI_SUCCESS);
  ASSERT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_DEVICE_ERROR);

  ASSERT_EQ (Board.RunTransportEntry (true), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Shadow = Board.Transport ();
  ASSERT_NE (Shadow, Transport);
  UINT8               State = 0xFF;

  // BMC 2 stays written off and selected; BMC 1 is not asked its sizes
  // again, and its sequence numbers go on.
  EXPECT_EQ (Shadow->TrackBmcStatus (Board.Services (), Shadow, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
  EXPECT_EQ (State, IPMI_BMC_STATE_UNUSABLE);
  ASSERT_EQ (Shadow->SelectBmc (Board.Services (), Shadow, 1), EFI_SUCCESS);
  ASSERT_EQ (Shadow->SendCommand (Board.Services (), Shadow, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_SUCCESS);
  EXPECT_EQ (Board.Bt[0]->CapabilityRequests, 1u);
  ASSERT_EQ (Board.Bt[0]->Messages.size (), 3u);
  // Numbers 0 and 1 went to BMC 1's two requests; BMC 2 floated at its
  // first control read, before a number was taken.
  EXPECT_EQ (Board.Bt[0]->Messages[2][2], 2);
}

TEST (BtReadyWaitTest, BtBmcStillStartingIsWaitedFor) {
  OskelSim::TransportBoard  Board ({ 0x0000, 0x0200 });
  Board.Clock.NanosecondsPerAccess = 10000;
  Board.AddSettings (0, 2000000, 0x0608);
  Board.AddInterfaces ({ { IPMI_INTERFACE_KCS, 0 }, { IPMI_INTERFACE_BT, 0x00E4 } });
  OskelSim::BtBmcModel  &Bt = Board.AddBt (1, 0x00E4);
  Board.Scripted[0]->Default = Ok ({ 0x20, 0x01, 0x02, 0x07 });
  // "Initialisation in progress" twice, then the device available.
  Board.Scripted[1]->Then (OskelSim::Fail (0xD2)).Then (OskelSim::Fail (0xD2)).Then (Ok ({ 0x20, 0x01, 0x02, 0x07 }));

  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  UINT8               State      = 0xFF;
  ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, 1), EFI_SUCCESS);
  EXPECT_EQ (Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
  EXPECT_EQ (State, 0);
  EXPECT_EQ (Bt.Requests.size (), 3u);
  // Two pauses of 100 ms between the three questions.
  EXPECT_GE (Board.Clock.Nanoseconds, 200000000ull);
  EXPECT_LT (Board.Clock.Nanoseconds, 300000000ull);
  EXPECT_THAT (Bt.Violations, ::testing::IsEmpty ());
}

TEST (BtReadyWaitTest, AbsentBtBmcIsNotWaitedFor) {
  OskelSim::TransportBoard  Board ({ 0x0000, 0x0200 });
  Board.Clock.NanosecondsPerAccess = 10000;
  Board.AddSettings (0, 2000000, 0x0608);
  Board.AddInterfaces ({ { IPMI_INTERFACE_KCS, 0 }, { IPMI_INTERFACE_BT, 0x00E4 } });
  Board.AddBt (1, 0x00E4).Absent = true;
  Board.Scripted[0]->Default = Ok ({ 0x20, 0x01, 0x02, 0x07 });

  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  EXPECT_LT (Board.Clock.Nanoseconds, 100000000ull);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  UINT8               State      = 0xFF;
  ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, 1), EFI_SUCCESS);
  EXPECT_EQ (Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
  EXPECT_EQ (State, IPMI_BMC_STATE_UNUSABLE);
}

}  // namespace
}  // namespace OskelTest
