// The module's firmware objects (IA32, -Os, 4-byte stack alignment) on a
// simulated board whose BMCs answer in full: one representative call of
// every slot (its wire contract's), and the entry's first run with a Setup
// variable that turns on the watchdog and the serial console.
//
//   oskel-budget-probe stack         stack depth per call (StackMeter.h)
//   oskel-budget-probe instructions  each call between callgrind markers
//
// Every line of output is "name status figures...": the budget tools check
// that each representative call succeeded.
#include <Ppi/ReadOnlyVariable2.h>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(Name)  (void)(Name)
#endif

#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "SimulatedBoard.h"
#include "SlotContract.h"
#include "StackMeter.h"

namespace {

using OskelSim::Bytes;
using OskelSim::Ok;
using OskelSim::Reply;
using OskelSim::Request;

Reply
FullAnswer (const Request &R)
{
  const Bytes  Id{ OEM_MANUFACTURER_ID_BYTE0, OEM_MANUFACTURER_ID_BYTE1, OEM_MANUFACTURER_ID_BYTE2 };
  Bytes        Out;

  switch ((R.NetFn << 8) | R.Command) {
    case 0x2E90:
      Out = Id;
      if ((R.Data.at (3) == 0x01) || (R.Data.at (3) == 0x06)) {
        Out.insert (Out.end (), { 0x44, 0x33, 0x22, 0x11 });
      } else if (R.Data.at (3) == 0x02) {
        size_t  Asked = R.Data.at (12);
        Out.insert (Out.end (), { uint8_t (Asked), 0 });
        Out.resize (Out.size () + Asked, 0x5A);
      } else if (R.Data.at (3) == 0x03) {
        Out.insert (Out.end (), { uint8_t (R.Data.size () - 12), 0 });
      }

      return Ok (Out);
    case 0x2E92:
      Out = Id;
      Out.insert (Out.end (), { 0x42, 0 });
      return Ok (Out);
    case 0x3A0B:
      return Ok (Bytes (R.Data.at (3), 0x5A));
    case 0x3A1C:
      return (R.Data.at (0) == 0x02) ? Ok ({ 0 }) : Ok ();
    case 0x3AC4:
      return Ok (Bytes (R.Capacity, 0));
    case 0x0642:
      return Ok ({ R.Data.at (0), uint8_t ((R.Data.at (0) == 2) ? 0x05 : 0x04), 0, 0, 0, 0, 0, 0, 0 });
    case 0x0C11:
      return Ok ({ 0x11, 0x00, 0x00 });
    case 0x0641:
      return Ok ({ 0x3B, 0xC4 });
    default:
      return Ok (Bytes (R.Capacity, 0x01));
  }
}

// The representative call of every slot is its wire contract's
// (SlotContract.h): the contract's arguments, the contract's answers queued
// on the BMCs it sends to, every call addressed to BMC 0. The same calls
// run natively in SlotContractTest, which checks every byte of them, so the
// probe measures calls that are known to do what the contract says.
struct SlotCall {
  const OskelContract::Slot    &Slot;
  OskelContract::Contract      Contract;
  OskelContract::Arguments     Arguments;

  explicit SlotCall (const OskelContract::Slot &S) : Slot (S), Contract (OskelContract::Parse (S.Contract)), Arguments (S, Contract) {}

  // The contract's answers queued, before the measured call: the probe
  // measures the slot's stack alone.
  VOID
  Prepare (OskelSim::SimulatedBoard &Board)
  {
    OskelContract::Script (Board, Contract);
  }

  EFI_STATUS
  Run (BMC_COMMANDS_PPI *Service)
  {
    UINT8  Bmc = 0;

    return Slot.Through (Service, Arguments.Words, &Bmc, FALSE);
  }
};

// A board with two BMCs answering every command, the platform HOB and a Setup
// variable that enables the watchdog (5 minutes) and the serial console.
void
PrepareBoard (OskelSim::SimulatedBoard &Board)
{
  const EFI_GUID  SetupGuid = BMC_SETUP_VARIABLE_GUID;
  Bytes           Setup (2778, 0);

  Board.Pei.Hobs.AddPlatformBmcInfo ({ 0x0A00, 0x0B00 });
  Board.Transport.Script (0).Handler = FullAnswer;
  Board.Transport.Script (1).Handler = FullAnswer;
  Setup[2323] = 1;
  Setup[2325] = 5;
  Setup[2610] = 1;
  Setup[2612] = 1;
  Setup[2613] = 3;
  Setup[2616] = 4;
  Setup[2622] = 1;
  Board.Pei.SetVariable (u"Setup", SetupGuid, Setup);
}

void
PrintLine (const char *Name, EFI_STATUS Status, const std::string &Figures)
{
  std::printf ("%s 0x%x%s\n", Name, static_cast<unsigned>(Status), Figures.c_str ());
}

std::string
Figures (const OskelBudget::StackDepths &Depths)
{
  return " " + std::to_string (Depths.AtPlatformCalls) + " " + std::to_string (Depths.Painted) + " " + std::to_string (Depths.Platform);
}

EFI_PEI_INSTALL_PPI  mInstallPpi;

// The entry calls ReportBootStage through the record it has just installed;
// when that call returns, the Setup path is all that is left.
EFI_STATUS EFIAPI
InstallPpiEndingFirstPhase (
  CONST EFI_PEI_SERVICES        **PeiServices,
  CONST EFI_PEI_PPI_DESCRIPTOR  *Descriptor
  )
{
  const EFI_GUID  ServiceGuid = BMC_COMMANDS_PPI_GUID;
  EFI_STATUS      Status      = mInstallPpi (PeiServices, Descriptor);

  if (!EFI_ERROR (Status) && (std::memcmp (Descriptor->Guid, &ServiceGuid, sizeof (ServiceGuid)) == 0)) {
    auto  *Service = static_cast<BMC_COMMANDS_PPI *>(Descriptor->Ppi);
    OskelBudget::SplitAtReturn (reinterpret_cast<void **>(&Service->ReportBootStage));
  }

  return Status;
}

int
MeasureStack ()
{
  int  Failures = 0;

  {
    OskelSim::SimulatedBoard  Board (2);
    PrepareBoard (Board);
    auto  *Table = const_cast<EFI_PEI_SERVICES *>(*Board.Services ());
    mInstallPpi       = Table->InstallPpi;
    Table->InstallPpi = InstallPpiEndingFirstPhase;
    OskelBudget::RouteBoard (Board);

    auto        Entry  = reinterpret_cast<EFI_PEIM_ENTRY_POINT2>(OskelBudget::RouteOuter (reinterpret_cast<void *>(OskelCommandsPeiEntryPoint)));
    EFI_STATUS  Status = EFI_ABORTED;
    auto        Result = OskelBudget::Measure ([&] { Status = Entry (Board.Pei.FileHandle (), Board.Services ()); });
    if (!Result.Entered || !Result.Split) {
      std::fprintf (stderr, "entry: not measured\n");
      return 1;
    }

    PrintLine ("entry-setup-aside", Status, Figures (Result.FirstPhase));
    PrintLine ("entry", Status, Figures (Result.Whole));
  }

  OskelSim::SimulatedBoard  Board (2);
  PrepareBoard (Board);
  BMC_COMMANDS_PPI  *S = Board.InstallService ();
  if (S == nullptr) {
    std::fprintf (stderr, "service not installed\n");
    return 1;
  }

  OskelBudget::RouteBoard (Board);
  OskelBudget::RouteSlots (S);
  for (const OskelContract::Slot &Slot : OskelContract::Slots ()) {
    SlotCall    Call (Slot);
    EFI_STATUS  Status = EFI_ABORTED;
    Call.Prepare (Board);
    auto        Result = OskelBudget::Measure ([&] { Status = Call.Run (S); });
    if (!Result.Entered) {
      std::fprintf (stderr, "%s: not measured\n", Slot.Name);
      ++Failures;
      continue;
    }

    PrintLine (Slot.Name, Status, Figures (Result.Whole));
  }

  return (Failures == 0) ? 0 : 1;
}

int
CountInstructions ()
{
  {
    OskelSim::SimulatedBoard  Board (2);
    PrepareBoard (Board);
    CALLGRIND_ZERO_STATS;
    EFI_STATUS  Status = Board.RunEntry ();
    CALLGRIND_DUMP_STATS_AT ("entry");
    PrintLine ("entry", Status, "");
  }

  OskelSim::SimulatedBoard  Board (2);
  PrepareBoard (Board);
  BMC_COMMANDS_PPI  *S = Board.InstallService ();
  if (S == nullptr) {
    std::fprintf (stderr, "service not installed\n");
    return 1;
  }

  for (const OskelContract::Slot &Slot : OskelContract::Slots ()) {
    SlotCall  Call (Slot);
    Call.Prepare (Board);
    CALLGRIND_ZERO_STATS;
    EFI_STATUS  Status = Call.Run (S);
    CALLGRIND_DUMP_STATS_AT (Slot.Name);
    PrintLine (Slot.Name, Status, "");
  }

  return 0;
}


}  // namespace

int
main (int Argc, char **Argv)
{
  const std::string  Mode = (Argc > 1) ? Argv[1] : "";

  if (Mode == "stack") {
    return MeasureStack ();
  }

  if (Mode == "instructions") {
    return CountInstructions ();
  }

  std::fprintf (stderr, "usage: %s stack|instructions\n", Argv[0]);
  return 2;
}
