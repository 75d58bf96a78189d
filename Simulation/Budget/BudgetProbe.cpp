// The module's firmware objects (IA32, -Os, 4-byte stack alignment) on a
// simulated board whose BMCs answer in full: one representative call of
// every slot, and the entry's first run with a Setup variable that turns on
// the watchdog and the serial console.
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

#include "OskelCommands/Pei/Dispatch/SlotList.h"
#include "SimulatedBoard.h"
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

// What the representative calls pass and receive.
struct Operands {
  UINT8                  Bmc = 0;
  UINT8                  Buffer[600] = {};
  UINT8                  Raw[243]    = { 0x01 };
  UINT8                  Length8     = 0;
  UINT16                 Length16    = 0;
  UINT32                 Handle      = 0;
  UINT32                 Count       = 0;
  UINT32                 Size        = 0;
  UINT8                  NameLength  = 6;
  SERIAL_CONSOLE_CONFIG  Config      = { 1, 1, 3, 4, 0, 0, 1 };
};

struct SlotCall {
  const char                                                *Name;
  std::function<EFI_STATUS (BMC_COMMANDS_PPI *, Operands &)>  Run;
};

// Chunked transfers move 500 bytes; every call is addressed to BMC 0.
const std::vector<SlotCall>  mSlotCalls = {
  { "OemC1Query", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Length8 = 16; return S->OemC1Query (nullptr, S, O.Buffer, &O.Length8, &O.Bmc, 0); } },
  { "OemC2Exchange", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->OemC2Exchange (nullptr, S, O.Buffer, &O.Bmc, 0); } },
  { "Oem20Exchange", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Length8 = 2; return S->Oem20Exchange (nullptr, S, O.Buffer, &O.Length8, &O.Bmc, 0); } },
  { "RegionRead", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Length16 = 500; return S->RegionRead (nullptr, S, 0x100, 1, &O.Length16, O.Buffer, &O.Bmc, 0); } },
  { "RegionWrite", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Length16 = 500; return S->RegionWrite (nullptr, S, 0x100, 1, &O.Length16, O.Buffer, &O.Bmc, 0); } },
  { "SendRawCommand", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Length8 = 1; return S->SendRawCommand (nullptr, S, 0x06, 0x01, O.Raw, &O.Length8, &O.Bmc, 0); } },
  { "GetDeviceId", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Length8 = 15; return S->GetDeviceId (nullptr, S, O.Buffer, &O.Length8, &O.Bmc, 0); } },
  { "GetSelfTestResults", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Length8 = 2; return S->GetSelfTestResults (nullptr, S, O.Buffer, &O.Length8, &O.Bmc, 0); } },
  { "ReportBootStage", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->ReportBootStage (nullptr, S, 7, &O.Bmc, 0); } },
  { "GetOem10Value", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->GetOem10Value (nullptr, S, O.Buffer, &O.Bmc, 0); } },
  { "SetOem10Value", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Buffer[0] = 1; return S->SetOem10Value (nullptr, S, O.Buffer, &O.Bmc, 0); } },
  { "SetOem62Flag", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->SetOem62Flag (nullptr, S, 1, &O.Bmc, 0); } },
  { "FileOpen", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->FileOpen (nullptr, S, "config", 6, 1, 3, 16384, 0, 0x0B, &O.Handle, &O.Bmc, 0); } },
  { "FileRead", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->FileRead (nullptr, S, 0x11223344, 0, 500, O.Buffer, &O.Count, &O.Bmc, 0); } },
  { "FileWrite", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Count = 500; return S->FileWrite (nullptr, S, 0x11223344, 0, O.Buffer, &O.Count, &O.Bmc, 0); } },
  { "FileClose", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->FileClose (nullptr, S, 0x11223344, &O.Bmc, 0); } },
  { "ReadKnownFile", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->ReadKnownFile (nullptr, S, KNOWN_FILE_CONFIG, 0, 500, O.Buffer, &O.Count, nullptr, &O.Bmc, 0); } },
  { "WriteKnownFile", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Count = 500; return S->WriteKnownFile (nullptr, S, KNOWN_FILE_CONFIG, 0, O.Buffer, &O.Count, nullptr, &O.Bmc, 0); } },
  { "FileDelete", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->FileDelete (nullptr, S, KNOWN_FILE_CONFIG, nullptr, nullptr, &O.Bmc, 0); } },
  { "GetFileSize", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->GetFileSize (nullptr, S, KNOWN_FILE_CALLER_NAMED, "config", &O.NameLength, &O.Size, &O.Bmc, 0); } },
  { "UploadBlocks", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Count = 500; return S->UploadBlocks (nullptr, S, 1, 5, O.Buffer, &O.Count, FALSE, &O.Bmc, 0); } },
  { "UploadBlocksOp1", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Count = 500; return S->UploadBlocksOp1 (nullptr, S, 1, 5, O.Buffer, &O.Count, &O.Bmc, 0); } },
  { "StartPostWatchdog", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->StartPostWatchdog (nullptr, S, 600, &O.Bmc, 0); } },
  { "Oem1CSetWord", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->Oem1CSetWord (nullptr, S, 0x1234, &O.Bmc, 0); } },
  { "Oem1CClear", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->Oem1CClear (nullptr, S, &O.Bmc, 0); } },
  { "ConfigureSerialConsole", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->ConfigureSerialConsole (nullptr, S, &O.Config, &O.Bmc, 0); } },
  { "SetSerialMux", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->SetSerialMux (nullptr, S, 2, 1, O.Buffer, &O.Bmc, 0); } },
  { "SetOem1CState", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->SetOem1CState (nullptr, S, 1, &O.Bmc, 0); } },
  { "GetOem1CState", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->GetOem1CState (nullptr, S, &O.Count, &O.Bmc, 0); } },
  { "ReadBmcSetting", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->ReadBmcSetting (nullptr, S, BMC_SETTING_SMBIOS_CRC, &O.Count, nullptr, &O.Bmc, 0); } },
  { "WriteBmcSetting", [](BMC_COMMANDS_PPI *S, Operands &O) { O.Count = 0x12345678; return S->WriteBmcSetting (nullptr, S, BMC_SETTING_SMBIOS_CRC, 1, &O.Count, nullptr, &O.Bmc, 0); } },
  { "Oem1CSetWordEx", [](BMC_COMMANDS_PPI *S, Operands &O) { return S->Oem1CSetWordEx (nullptr, S, 0x1234, &O.Bmc, 0); } },
  { "ReportBootStageSecondary", [](BMC_COMMANDS_PPI *S, Operands &) { return S->ReportBootStageSecondary (nullptr, S); } },
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
  for (const SlotCall &Call : mSlotCalls) {
    Operands    O;
    EFI_STATUS  Status = EFI_ABORTED;
    auto        Result = OskelBudget::Measure ([&] { Status = Call.Run (S, O); });
    if (!Result.Entered) {
      std::fprintf (stderr, "%s: not measured\n", Call.Name);
      ++Failures;
      continue;
    }

    PrintLine (Call.Name, Status, Figures (Result.Whole));
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

  for (const SlotCall &Call : mSlotCalls) {
    Operands  O;
    CALLGRIND_ZERO_STATS;
    EFI_STATUS  Status = Call.Run (S, O);
    CALLGRIND_DUMP_STATS_AT (Call.Name);
    PrintLine (Call.Name, Status, "");
  }

  return 0;
}


// One call per slot of the module's slot list, in its order: a slot
// without its call is refused rather than left unmeasured.
bool
CallsCoverEverySlot ()
{
#define SLOT_NAME(Name)  #Name,
  static const char  *const  SlotNames[] = { BMC_COMMANDS_SLOT_LIST (SLOT_NAME, SLOT_NAME) };
#undef SLOT_NAME
  bool  Covered = (mSlotCalls.size () == std::size (SlotNames));

  for (size_t Slot = 0; Slot < std::size (SlotNames); Slot++) {
    if ((Slot >= mSlotCalls.size ()) || (std::strcmp (mSlotCalls[Slot].Name, SlotNames[Slot]) != 0)) {
      std::fprintf (stderr, "slot %zu %s has no call of its own in the probe, in slot order\n", Slot, SlotNames[Slot]);
      Covered = false;
    }
  }

  return Covered;
}

}  // namespace

int
main (int Argc, char **Argv)
{
  const std::string  Mode = (Argc > 1) ? Argv[1] : "";

  if (!CallsCoverEverySlot ()) {
    return 1;
  }

  if (Mode == "stack") {
    return MeasureStack ();
  }

  if (Mode == "instructions") {
    return CountInstructions ();
  }

  std::fprintf (stderr, "usage: %s stack|instructions\n", Argv[0]);
  return 2;
}
