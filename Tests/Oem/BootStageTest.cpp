// Boot stage reports: command C3h under the guard, then the progress
// mailbox of each BMC at the I/O base its platform HOB entry gives.
#include <cstdio>
#include <cstring>

#include "BoardFixture.h"

namespace OskelTest {
namespace {

using PortWrite = std::pair<uint16_t, uint8_t>;
using Writes    = std::vector<PortWrite>;

const EFI_GUID  mPlatformHobGuid = PLATFORM_BMC_INFO_HOB_GUID;
const EFI_GUID  mForeignGuid     = { 0x11111111, 0x2222, 0x3333, { 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB } };

// What a BMC with this base receives for Stage 7, BMC 0's list first when two are given.
Writes
Mailbox (uint16_t Base, std::optional<uint16_t> Then = std::nullopt)
{
  Writes  Out{
    { Base + 0x0CB5, 0x00 }, { Base + 0x0CB6, 0x00 }, { Base + 0x0CB7, 0x00 }, { Base + 0x0CB8, 0x07 },
    { Base + 0x0CBF, 0xA5 }, { Base + 0x004E, 0x3E }, { Base + 0x004F, 0x07 }
  };

  if (Then) {
    Writes  More = Mailbox (*Then);
    Out.insert (Out.end (), More.begin (), More.end ());
  }

  return Out;
}

Writes
PortWrites (const OskelSim::Trace &Log)
{
  Writes  Out;

  for (const Event &E : Log.PortWrites ()) {
    Out.emplace_back (E.Port, E.Value);
  }

  return Out;
}

// Transport calls and port writes in one order: "send 3A/C3", "port 0CB5".
std::vector<std::string>
Timeline (const OskelSim::Trace &Log)
{
  std::vector<std::string>  Out;
  char                      Line[16];

  for (const Event &E : Log.Events) {
    if (E.Kind == EventKind::PortWrite) {
      std::snprintf (Line, sizeof (Line), "port %04X", E.Port);
      Out.push_back (Line);
    } else if (E.Kind != EventKind::PeiCall) {
      OskelSim::Trace  One{ { E } };
      Out.push_back (One.TransportSequence ().at (0));
    }
  }

  return Out;
}

// The service is installed here rather than in BoardTest::SetUp, so that the
// HOB list is in place for the first run and its port writes can be counted
// (CPU I/O failure injection counts every write since the board came up).
class BootStageTest : public BoardTest {
protected:
  void SetUp () override {}

  void
  Install (const std::vector<uint16_t> &Bases = { 0x0000, 0x0200 })
  {
    if (!Bases.empty ()) {
      Board.Pei.Hobs.AddPlatformBmcInfo (Bases);
    }

    ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
    FirstRunWrites = Board.Log.PortWrites ().size ();
    Board.Log.Clear ();
    Service = Board.Service ();
  }

  EFI_STATUS
  Report (uint8_t Stage, UINT8 Instance, UINT8 Force = 0)
  {
    return Service->ReportBootStage (nullptr, Service, Stage, &Instance, Force);
  }

  size_t  FirstRunWrites = 0;
};

TEST_F (BootStageTest, EveryBmcGetsCommandThenItsMailboxInTurn) {
  Install ({ 0x0000, 0x0200 });
  EXPECT_EQ (Report (0x5A, 0), EFI_SUCCESS);

  EXPECT_THAT (
    Timeline (Log ()),
    ElementsAre (
      "count",
      "select 0", "phase0", "send 3A/C3", "phase1 flag=0",
      "port 0CB5", "port 0CB6", "port 0CB7", "port 0CB8", "port 0CBF", "port 004E", "port 004F",
      "select 1", "phase0", "send 3A/C3", "phase1 flag=0",
      "port 0EB5", "port 0EB6", "port 0EB7", "port 0EB8", "port 0EBF", "port 024E", "port 024F"
      )
    );
  const Writes  All = PortWrites (Log ());
  EXPECT_THAT (
    Writes (All.begin () + 7, All.end ()),
    ElementsAreArray (Writes{ { 0x0EB5, 0 }, { 0x0EB6, 0 }, { 0x0EB7, 0 }, { 0x0EB8, 0x5A }, { 0x0EBF, 0xA5 }, { 0x024E, 0x3E }, { 0x024F, 0x5A } })
    );
  for (const Event &Send : Sends ()) {
    EXPECT_THAT (Send.Request, ElementsAre (0x01, 0x5A));
    EXPECT_EQ (Send.Capacity, 0);
  }
}

struct SkipRow {
  const char  *Name;
  EFI_STATUS  Phase0Status;
  uint8_t     State;
};

void
PrintTo (const SkipRow &Row, std::ostream *Out)
{
  *Out << Row.Name;
}

class BootStageSkipTest : public BootStageTest, public ::testing::WithParamInterface<SkipRow> {};

TEST_P (BootStageSkipTest, CommandSkippedMailboxStillWritten) {
  Install ();
  Board.Transport.At (0).HealthStatus = GetParam ().Phase0Status;
  Board.Transport.At (0).HealthState  = GetParam ().State;

  EXPECT_EQ (Report (0x07, ALL_BMCS), EFI_SUCCESS);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0", "select 1", "phase0", "send 3A/C3", "phase1 flag=0"));
  EXPECT_THAT (PortWrites (Log ()), ElementsAreArray (Mailbox (0x0000, 0x0200)));
}

INSTANTIATE_TEST_SUITE_P (
  Guard,
  BootStageSkipTest,
  ::testing::Values (SkipRow{ "MarkedUnusable", EFI_SUCCESS, IPMI_BMC_STATE_UNUSABLE }, SkipRow{ "PhaseZeroInvalid", EFI_INVALID_PARAMETER, 0 }),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (BootStageTest, CommandOutcomeNeverBecomesTheResult) {
  Install ();
  Bmc (0).Then (Fail (0xC1));
  Bmc (1).Then (Fail (EFI_DEVICE_ERROR));
  EXPECT_EQ (Report (0x07, ALL_BMCS), EFI_SUCCESS);
  EXPECT_THAT (PortWrites (Log ()), ElementsAreArray (Mailbox (0x0000, 0x0200)));
  EXPECT_THAT (Calls ().back (), "phase1 flag=1");

  // Force reaches a BMC the transport rules out.
  Log ().Clear ();
  Board.Transport.MarkUnusable (0);
  EXPECT_EQ (Report (0x07, 0, 1), EFI_SUCCESS);
  EXPECT_EQ (Sends ().size (), 2u);
}

TEST_F (BootStageTest, OnlyTheLastMailboxWriteDecides) {
  Install ();
  Board.Pei.FailService ("Io.Write", FirstRunWrites + 3, EFI_DEVICE_ERROR);
  EXPECT_EQ (Report (0x07, ALL_BMCS), EFI_SUCCESS);
  EXPECT_EQ (PortWrites (Log ()).size (), 14u);

  Log ().Clear ();
  Board.Pei.FailService ("Io.Write", FirstRunWrites + 14 + 7, EFI_DEVICE_ERROR);
  EXPECT_EQ (Report (0x07, ALL_BMCS), EFI_DEVICE_ERROR);
  EXPECT_EQ (PortWrites (Log ()).size (), 7u);
  EXPECT_EQ (Log ().Of (EventKind::SelectBmc).size (), 1u);
}

struct TargetRow {
  const char  *Name;
  uint8_t     Stage;
  uint8_t     Count;
  uint8_t     Instance;
  size_t      BmcsReported;
};

void
PrintTo (const TargetRow &Row, std::ostream *Out)
{
  *Out << Row.Name;
}

class BootStageTargetsTest : public BootStageTest, public ::testing::WithParamInterface<TargetRow> {};

TEST_P (BootStageTargetsTest, StageNotInstanceChoosesTheBmcs) {
  const TargetRow  &Row = GetParam ();

  Install ();
  Board.Transport.ReportedCount = Row.Count;
  EXPECT_EQ (Report (Row.Stage, Row.Instance), EFI_SUCCESS);
  EXPECT_EQ (Log ().Of (EventKind::SelectBmc).size (), Row.BmcsReported);
  EXPECT_EQ (Sends ().size (), Row.BmcsReported);
  EXPECT_EQ (PortWrites (Log ()).size (), 7 * Row.BmcsReported);
}

INSTANTIATE_TEST_SUITE_P (
  Stages,
  BootStageTargetsTest,
  ::testing::Values (
    TargetRow{ "Stage7ToBothWhateverTheInstance", 0x07, 2, 1, 2 },
    TargetRow{ "Stage12hToBmcZeroAlone", 0x12, 2, 1, 1 },
    TargetRow{ "Stage19hToBmcZeroAlone", 0x19, 2, ALL_BMCS, 1 },
    TargetRow{ "Stage19hEvenWithNoBmcCounted", 0x19, 0, ALL_BMCS, 1 },
    TargetRow{ "Stage7WithNoBmcCountedDoesNothing", 0x07, 0, ALL_BMCS, 0 }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (BootStageTest, RefusalsAndTheEndOfTheLoop) {
  Install ();
  EXPECT_EQ (Report (0x07, 5), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->ReportBootStage (nullptr, Service, 0x07, nullptr, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->ReportBootStage (nullptr, nullptr, 0x07, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_THAT (Calls (), ElementsAre ("count", "count"));

  // Force 2 fails the first BMC's report, after its selection.
  Log ().Clear ();
  EXPECT_EQ (Report (0x07, ALL_BMCS, 2), EFI_INVALID_PARAMETER);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0"));
  EXPECT_TRUE (Log ().PortWrites ().empty ());

  Log ().Clear ();
  Board.Transport.At (1).SelectStatus = EFI_NOT_READY;
  EXPECT_EQ (Report (0x07, ALL_BMCS), EFI_NOT_READY);
  EXPECT_EQ (PortWrites (Log ()).size (), 7u);
}

struct HobRow {
  const char                                        *Name;
  std::function<void (OskelSim::HobListBuilder &)>  Build;
  EFI_STATUS                                        Expected;
  Writes                                            Mailboxes;
};

void
PrintTo (const HobRow &Row, std::ostream *Out)
{
  *Out << Row.Name;
}

// A platform HOB whose header claims Length bytes; Bmc0Base and Bmc1Base are
// stored at their places as far as DataSize bytes after the name reach.
void
AddPlatformHob (OskelSim::HobListBuilder &Hobs, uint16_t Length, size_t DataSize, uint16_t Bmc0Base, uint16_t Bmc1Base)
{
  Bytes  Body (sizeof (EFI_GUID) + DataSize, 0);

  std::memcpy (Body.data (), &mPlatformHobGuid, sizeof (EFI_GUID));
  for (auto [Offset, Base] : { std::pair<size_t, uint16_t>{ 16 + 566, Bmc0Base }, { 16 + 587, Bmc1Base } }) {
    for (size_t Byte = 0; Byte < 2 && Offset + Byte < Body.size (); Byte++) {
      Body[Offset + Byte] = uint8_t (Base >> (8 * Byte));
    }
  }

  Hobs.AddRawHob (EFI_HOB_TYPE_GUID_EXTENSION, Length, Body);
}

class BootStageHobTest : public BootStageTest, public ::testing::WithParamInterface<HobRow> {};

TEST_P (BootStageHobTest, BaseComesOnlyFromInsideThePlatformHob) {
  Install ({});
  GetParam ().Build (Board.Pei.Hobs);
  EXPECT_EQ (Report (0x07, ALL_BMCS), GetParam ().Expected);
  EXPECT_THAT (PortWrites (Log ()), ElementsAreArray (GetParam ().Mailboxes));
}

// BMC 1's base occupies bytes 611 and 612 of the HOB.
INSTANTIATE_TEST_SUITE_P (
  Lists,
  BootStageHobTest,
  ::testing::Values (
    HobRow{ "ForeignHobsFirst", [](auto &H) {
        H.AddRawHob (0x0003, 48, Bytes (40, 0xEE));
        H.AddGuidHob (mForeignGuid, Bytes (700, 0x77));
        H.AddPlatformBmcInfo ({ 0x0100, 0x0A0B });
      }, EFI_SUCCESS, Mailbox (0x0100, 0x0A0B) },
    HobRow{ "NoPlatformHob", [](auto &H) { H.AddGuidHob (mForeignGuid, Bytes (700, 0x01)); }, EFI_NOT_FOUND, Mailbox (0x0000) },
    HobRow{ "EndsOneByteShortOfBmcOne", [](auto &H) { AddPlatformHob (H, 612, 589, 0x0100, 0x0300); }, EFI_NOT_FOUND, Mailbox (0x0100) },
    HobRow{ "EndsRightAfterBmcOne", [](auto &H) { AddPlatformHob (H, 613, 589, 0x0100, 0x0300); }, EFI_SUCCESS, Mailbox (0x0100, 0x0300) },
    HobRow{ "EndsInsideBmcZerosBase", [](auto &H) { AddPlatformHob (H, 591, 568, 0x1234, 0x0300); }, EFI_NOT_FOUND, Mailbox (0x0000) },
    HobRow{ "ZeroLengthHobEndsTheWalk", [](auto &H) {
        H.AddRawHob (0x0003, 0, {});
        H.AddPlatformBmcInfo ({ 0x0100, 0x0300 });
      }, EFI_NOT_FOUND, Mailbox (0x0000) },
    HobRow{ "HobShorterThanItsHeaderEndsTheWalk", [](auto &H) {
        H.AddRawHob (EFI_HOB_TYPE_GUID_EXTENSION, 7, {});
        H.AddPlatformBmcInfo ({ 0x0100, 0x0300 });
      }, EFI_NOT_FOUND, Mailbox (0x0000) },
    HobRow{ "HighestBaseWhoseMailboxFits", [](auto &H) { H.AddPlatformBmcInfo ({ 0xF340, 0x0300 }); }, EFI_SUCCESS, Mailbox (0xF340, 0x0300) },
    HobRow{ "BaseWhoseMailboxWouldWrap", [](auto &H) { H.AddPlatformBmcInfo ({ 0x0100, 0xF341 }); }, EFI_NOT_FOUND, Mailbox (0x0100) }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (BootStageTest, SecondaryReportsStageSevenToBmcOneAlone) {
  Install ();
  EXPECT_EQ (Service->ReportBootStageSecondary (nullptr, Service), EFI_SUCCESS);
  EXPECT_EQ (Describe (Log ().Events.at (0)), "pei   LocatePpi BmcCommandsPpi -> EFI_SUCCESS");
  EXPECT_THAT (Calls (), ElementsAre ("prepare", "count", "select 1", "phase0", "send 3A/C3", "phase1 flag=0"));
  EXPECT_THAT (Sends ().at (0).Request, ElementsAre (0x01, 0x07));
  EXPECT_THAT (PortWrites (Log ()), ElementsAreArray (Mailbox (0x0200)));
  EXPECT_EQ (Service->ReportBootStageSecondary (nullptr, nullptr), EFI_INVALID_PARAMETER);
}

struct SecondaryRow {
  const char                                          *Name;
  std::function<void (OskelSim::SimulatedBoard &)>    Arrange;
  EFI_STATUS                                          Expected;
  std::vector<std::string>                            Calls;
};

void
PrintTo (const SecondaryRow &Row, std::ostream *Out)
{
  *Out << Row.Name;
}

class BootStageSecondaryTest : public BootStageTest, public ::testing::WithParamInterface<SecondaryRow> {};

TEST_P (BootStageSecondaryTest, RefusedInOrderWithoutTouchingAPort) {
  Install ();
  GetParam ().Arrange (Board);
  EXPECT_EQ (Service->ReportBootStageSecondary (nullptr, Service), GetParam ().Expected);
  EXPECT_THAT (Calls (), ElementsAreArray (GetParam ().Calls));
  EXPECT_TRUE (Log ().PortWrites ().empty ());
}

INSTANTIATE_TEST_SUITE_P (
  Refusals,
  BootStageSecondaryTest,
  ::testing::Values (
    SecondaryRow{ "ServiceNotInstalled", [](auto &B) { B.Pei.Uninstall (BMC_COMMANDS_PPI_GUID); }, EFI_NOT_FOUND, {} },
    SecondaryRow{ "SecondaryUnreachable", [](auto &B) { B.Transport.PrepareSecondaryStatus = EFI_DEVICE_ERROR; }, EFI_NOT_FOUND, { "prepare" } },
    SecondaryRow{ "OneBmcOnly", [](auto &B) { B.Transport.ReportedCount = 1; }, EFI_INVALID_PARAMETER, { "prepare", "count" } },
    SecondaryRow{ "SelectFails", [](auto &B) { B.Transport.At (1).SelectStatus = EFI_NOT_READY; }, EFI_NOT_READY, { "prepare", "count", "select 1" } }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST (BootStageEntryTest, FirstRunReportsStageSevenToEveryBmc) {
  OskelSim::SimulatedBoard  Board{ 2 };

  Board.Pei.Hobs.AddPlatformBmcInfo ({ 0x0000, 0x0200 });
  ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);

  std::vector<uint8_t>  ReportedTo;
  for (const Event &Send : Board.Log.Sends ()) {
    if ((Send.NetFn == 0x3A) && (Send.Command == 0xC3)) {
      EXPECT_THAT (Send.Request, ElementsAre (0x01, 0x07));
      ReportedTo.push_back (Send.Bmc);
    }
  }

  EXPECT_THAT (ReportedTo, ElementsAre (0, 1));
  Writes  Expected{ { 0x80, 0x14 } };
  for (const PortWrite &Write : Mailbox (0x0000, 0x0200)) {
    Expected.push_back (Write);
  }

  EXPECT_THAT (PortWrites (Board.Log), ElementsAreArray (Expected));
}

TEST (BootStageEntryTest, HobListUnavailableCountsAsNoHob) {
  OskelSim::SimulatedBoard  Board{ 2 };

  Board.Pei.Hobs.AddPlatformBmcInfo ({ 0x0100, 0x0200 });
  Board.Pei.FailService ("GetHobList", 2, EFI_NOT_FOUND);  // BMC 1's look-up
  ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
  EXPECT_EQ (PortWrites (Board.Log).size (), 1u + 7u);
}

}  // namespace
}  // namespace OskelTest
