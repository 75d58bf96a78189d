/** @file
  Consumer of the BMC command service on the QEMU board with two KCS BMCs
  and a BT BMC. Runs once memory is installed and calls the service the
  way a platform PEIM would; every answer comes from QEMU's BMC (BMC 0, on
  KCS) or from an ipmi_sim (BMC 1 on KCS, BMC 2 on BT) through the IPMI
  transport. BMCs 1 and 2 get the same calls. Each call prints one line on
  the debug port:

    OskelConsumer: <Call> bmc=<n> status=<hex> outcome=<kind> us=<time> <details>

  where kind is what the status says happened, told apart with the
  service's BMC_STATUS_ macros: "done", "cc-<hex>" (the BMC answered with
  that completion code) or "failed" (the command did not get through);
  time is how long the call took on the board's ACPI PM timer. The run
  ends with "OskelConsumer: done mode=<mode>".

  The fw_cfg file "opt/oskel/watchdog" picks the scenario: absent, or any
  name other than the two below (the fault boots give theirs), every call
  below, a POST watchdog of five minutes on BMCs 1 and 2, and a refusal
  (an instance the board does not have) timed before and after them;
  "bite", a POST watchdog of a few seconds on every BMC that nobody stops;
  "stop",
  the same watchdog, then stopped with a raw Set Watchdog Timer.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include <PiPei.h>
#include <Library/BaseLib.h>
#include <Library/BaseMemoryLib.h>
#include <Library/DebugLib.h>
#include <Library/HobLib.h>
#include <Library/IoLib.h>
#include <Library/PeiServicesLib.h>
#include <Library/QemuFwCfgLib.h>
#include <Ppi/BmcCommands.h>

#include "../QemuBoardPei/QemuBoard.h"

#define TRANSFER_SIZE    300
#define UPLOAD_SIZE      500
#define REGION_OFFSET    0x0100
#define REGION_SELECTOR  0x02

//
// ipmi_sim hands a command handler 36 bytes for its answer: a region read
// of 35 bytes fits, a file read of 30 (after the manufacturer id and the
// count). Longer reads come back as completion code CAh.
//
#define SHORT_REGION_READ  32
#define SHORT_FILE_READ    30

//
// Countdowns in 100 ms ticks.
//
#define WATCHDOG_LONG   3000  // five minutes
#define WATCHDOG_SHORT  50    // five seconds

#define NETFN_APP                 0x06
#define CMD_GET_DEVICE_ID         0x01
#define CMD_SET_WATCHDOG_TIMER    0x24
#define CMD_GET_WATCHDOG_TIMER    0x25

//
// An application command no BMC implements: both BMCs answer it with
// "invalid command", a completion code and no data.
//
#define CMD_UNASSIGNED            0x7F

#define SMBIOS_CRC_VALUE  0x11223344

//
// The PM timer now; it is 24 bits wide on q35, so a call is timed right up
// to 4.6 s.
//
STATIC
UINT32
Now (
  VOID
  )
{
  return IoRead32 (QEMU_BOARD_PM_TIMER_PORT);
}

STATIC
UINT32
MicrosecondsSince (
  IN UINT32  Start
  )
{
  return (UINT32)DivU64x32 (MultU64x32 ((Now () - Start) & 0xFFFFFF, 1000000), QEMU_BOARD_PM_TIMER_HZ);
}

//
// The kind of outcome Status is, for the log line: a completion code is a
// positive status, which EFI_ERROR () would take for success.
//
STATIC CONST CHAR8  mDigits[] = "0123456789abcdef";

STATIC
CONST CHAR8 *
Outcome (
  IN  EFI_STATUS  Status,
  OUT CHAR8       Code[6]
  )
{
  UINT8  CompletionCode;

  if (BMC_STATUS_DONE (Status)) {
    return "done";
  }

  if (BMC_STATUS_NOT_THROUGH (Status)) {
    return "failed";
  }

  CompletionCode = BMC_STATUS_COMPLETION_CODE (Status);
  Code[0]        = 'c';
  Code[1]        = 'c';
  Code[2]        = '-';
  Code[3]        = mDigits[CompletionCode >> 4];
  Code[4]        = mDigits[CompletionCode & 0x0F];
  Code[5]        = '\0';
  return Code;
}

STATIC
VOID
PrintBytes (
  IN CONST CHAR8  *Call,
  IN UINT8        Bmc,
  IN EFI_STATUS   Status,
  IN CONST UINT8  *Data,
  IN UINTN        Length,
  IN UINT32       Start
  )
{
  UINT32  Elapsed;
  CHAR8   Hex[2 * 64 + 1];
  CHAR8   Code[6];
  UINTN   Index;

  Elapsed = MicrosecondsSince (Start);
  for (Index = 0; (Index < Length) && (Index < 64); Index++) {
    Hex[2 * Index]     = mDigits[Data[Index] >> 4];
    Hex[2 * Index + 1] = mDigits[Data[Index] & 0x0F];
  }

  Hex[2 * Index] = '\0';
  DEBUG ((DEBUG_INFO, "OskelConsumer: %a bmc=%d status=%x outcome=%a us=%d len=%d data=%a\n", Call, Bmc, Status, Outcome (Status, Code), Elapsed, Length, Hex));
}

STATIC
VOID
PrintResult (
  IN CONST CHAR8  *Call,
  IN UINT8        Bmc,
  IN EFI_STATUS   Status,
  IN BOOLEAN      Matches,
  IN CONST CHAR8  *Detail,
  IN UINT32       Start
  )
{
  UINT32  Elapsed;
  CHAR8   Code[6];

  Elapsed = MicrosecondsSince (Start);
  DEBUG ((DEBUG_INFO, "OskelConsumer: %a bmc=%d status=%x outcome=%a us=%d %a %a\n", Call, Bmc, Status, Outcome (Status, Code), Elapsed, (BMC_STATUS_DONE (Status) && Matches) ? "match" : "differs", Detail));
}

STATIC
VOID
FillPattern (
  OUT UINT8  *Buffer,
  IN  UINTN  Size,
  IN  UINT8  Step
  )
{
  UINTN  Index;

  for (Index = 0; Index < Size; Index++) {
    Buffer[Index] = (UINT8)(Index * Step + 1);
  }
}

STATIC
VOID
GetDeviceId (
  IN BMC_COMMANDS_PPI  *Ppi,
  IN UINT8             Bmc
  )
{
  UINT8       Response[32];
  UINT8       Length;
  EFI_STATUS  Status;
  UINT32      Start;

  Length = sizeof (Response);
  Start  = Now ();
  Status = Ppi->GetDeviceId (NULL, Ppi, Response, &Length, &Bmc, FALSE);
  PrintBytes ("GetDeviceId", Bmc, Status, Response, BMC_STATUS_DONE (Status) ? Length : 0, Start);
}

//
// A call the service refuses before it reaches the transport (an instance
// the board does not have): what a call to a BMC written off is measured
// against.
//
STATIC
VOID
Refusal (
  IN BMC_COMMANDS_PPI  *Ppi
  )
{
  UINT8       Response[32];
  UINT8       Length;
  UINT8       Bmc;
  EFI_STATUS  Status;
  UINT32      Start;

  Length = sizeof (Response);
  Bmc    = QEMU_BOARD_BMC_MAX + 3;
  Start  = Now ();
  Status = Ppi->GetDeviceId (NULL, Ppi, Response, &Length, &Bmc, FALSE);
  PrintBytes ("Refusal", Bmc, Status, Response, 0, Start);
}

STATIC
EFI_STATUS
RawCommand (
  IN     BMC_COMMANDS_PPI  *Ppi,
  IN     CONST CHAR8       *Call,
  IN     UINT8             Bmc,
  IN     UINT8             Command,
  IN     CONST UINT8       *Request,
  IN     UINT8             RequestLength
  )
{
  UINT8       Data[243];
  UINT8       Length;
  EFI_STATUS  Status;
  UINT32      Start;

  ZeroMem (Data, sizeof (Data));
  CopyMem (Data, Request, RequestLength);
  Length = RequestLength;
  Start  = Now ();
  Status = Ppi->SendRawCommand (NULL, Ppi, NETFN_APP, Command, Data, &Length, &Bmc, FALSE);
  PrintBytes (Call, Bmc, Status, Data, BMC_STATUS_DONE (Status) ? Length : 0, Start);
  return Status;
}

STATIC
VOID
StartWatchdog (
  IN BMC_COMMANDS_PPI  *Ppi,
  IN UINT8             Bmc,
  IN UINT16            Countdown
  )
{
  EFI_STATUS  Status;
  UINT32      Start;
  UINT32      Elapsed;
  CHAR8       Code[6];

  Start   = Now ();
  Status  = Ppi->StartPostWatchdog (NULL, Ppi, Countdown, &Bmc, FALSE);
  Elapsed = MicrosecondsSince (Start);
  DEBUG ((DEBUG_INFO, "OskelConsumer: StartPostWatchdog bmc=%d status=%x outcome=%a us=%d countdown=%d\n", Bmc, Status, Outcome (Status, Code), Elapsed, Countdown));
}

STATIC
VOID
StopWatchdog (
  IN BMC_COMMANDS_PPI  *Ppi,
  IN UINT8             Bmc
  )
{
  //
  // Set Watchdog Timer with "don't stop" clear stops a running timer:
  // BIOS/POST use, hard reset action, the short countdown kept.
  //
  STATIC CONST UINT8  Stop[] = { 0x02, 0x01, 0x00, 0x00, (UINT8)WATCHDOG_SHORT, 0x00 };

  RawCommand (Ppi, "StopWatchdog", Bmc, CMD_SET_WATCHDOG_TIMER, Stop, sizeof (Stop));
}

STATIC
VOID
WholeFile (
  IN BMC_COMMANDS_PPI  *Ppi,
  IN UINT8             Target
  )
{
  UINT8       Written[TRANSFER_SIZE];
  UINT8       Read[TRANSFER_SIZE];
  UINT32      Count;
  UINT32      Offset;
  UINT32      Piece;
  UINT32      BytesRead;
  UINT8       Bmc;
  EFI_STATUS  Status;
  UINT32      Start;

  Bmc = Target;
  FillPattern (Written, sizeof (Written), 7);
  Count  = sizeof (Written);
  Start  = Now ();
  Status = Ppi->WriteKnownFile (NULL, Ppi, KNOWN_FILE_CONFIG, 0, Written, &Count, NULL, &Bmc, FALSE);
  PrintResult ("WriteKnownFile", Bmc, Status, Count == sizeof (Written), "config, 300 bytes in two chunks", Start);

  SetMem (Read, sizeof (Read), 0xEE);
  BytesRead = 0;
  Start     = Now ();
  Status    = Ppi->ReadKnownFile (NULL, Ppi, KNOWN_FILE_CONFIG, 0, sizeof (Read), Read, &BytesRead, NULL, &Bmc, FALSE);
  PrintResult ("ReadKnownFile", Bmc, Status, BytesRead == sizeof (Read), "config, 300 bytes in one call", Start);

  SetMem (Read, sizeof (Read), 0xEE);
  Status = EFI_SUCCESS;
  Start  = Now ();
  for (Offset = 0; (Offset < sizeof (Read)) && BMC_STATUS_DONE (Status); Offset += BytesRead) {
    Piece     = (sizeof (Read) - Offset < SHORT_FILE_READ) ? sizeof (Read) - Offset : SHORT_FILE_READ;
    BytesRead = 0;
    Status    = Ppi->ReadKnownFile (NULL, Ppi, KNOWN_FILE_CONFIG, Offset, Piece, Read + Offset, &BytesRead, NULL, &Bmc, FALSE);
    if (BytesRead == 0) {
      break;
    }
  }

  PrintResult (
    "ReadKnownFilePieces",
    Bmc,
    Status,
    (Offset == sizeof (Read)) && (CompareMem (Read, Written, sizeof (Read)) == 0),
    "config, 300 bytes read back 30 at a time",
    Start
    );
}

STATIC
VOID
Region (
  IN BMC_COMMANDS_PPI  *Ppi,
  IN UINT8             Target
  )
{
  UINT8       Written[TRANSFER_SIZE];
  UINT8       Read[TRANSFER_SIZE];
  UINT16      Length;
  UINT8       Bmc;
  EFI_STATUS  Status;
  UINT32      Start;

  Bmc = Target;
  FillPattern (Written, sizeof (Written), 3);
  Length = sizeof (Written);
  Start  = Now ();
  Status = Ppi->RegionWrite (NULL, Ppi, REGION_OFFSET, REGION_SELECTOR, &Length, Written, &Bmc, FALSE);
  PrintResult ("RegionWrite", Bmc, Status, Length == sizeof (Written), "300 bytes from 0100h, chunks of 224 and 76", Start);

  //
  // The bytes on both sides of the write's chunk boundary at 01E0h.
  //
  SetMem (Read, sizeof (Read), 0xEE);
  Length = SHORT_REGION_READ;
  Start  = Now ();
  Status = Ppi->RegionRead (NULL, Ppi, REGION_OFFSET + 224 - SHORT_REGION_READ / 2, REGION_SELECTOR, &Length, Read, &Bmc, FALSE);
  PrintResult (
    "RegionRead",
    Bmc,
    Status,
    (Length == SHORT_REGION_READ) && (CompareMem (Read, Written + 224 - SHORT_REGION_READ / 2, SHORT_REGION_READ) == 0),
    "32 bytes from 01D0h across the chunk boundary",
    Start
    );

  Length = sizeof (Read);
  Start  = Now ();
  Status = Ppi->RegionRead (NULL, Ppi, REGION_OFFSET, REGION_SELECTOR, &Length, Read, &Bmc, FALSE);
  PrintResult ("RegionReadLong", Bmc, Status, Length == sizeof (Read), "300 bytes from 0100h in one call", Start);
}

STATIC
VOID
Setting (
  IN BMC_COMMANDS_PPI  *Ppi,
  IN UINT8             Target
  )
{
  UINT32      Written;
  UINT32      Read;
  UINT8       Bmc;
  EFI_STATUS  Status;
  UINT32      Start;

  Bmc     = Target;
  Written = SMBIOS_CRC_VALUE;
  Start     = Now ();
  Status  = Ppi->WriteBmcSetting (NULL, Ppi, BMC_SETTING_SMBIOS_CRC, TRUE, &Written, NULL, &Bmc, FALSE);
  PrintResult ("WriteBmcSetting", Bmc, Status, TRUE, "smbioscrc 11223344h", Start);

  Read   = 0;
  Start  = Now ();
  Status = Ppi->ReadBmcSetting (NULL, Ppi, BMC_SETTING_SMBIOS_CRC, &Read, NULL, &Bmc, FALSE);
  PrintResult ("ReadBmcSetting", Bmc, Status, Read == Written, "smbioscrc", Start);
}

STATIC
VOID
Upload (
  IN BMC_COMMANDS_PPI  *Ppi,
  IN UINT8             Target
  )
{
  UINT8       Data[UPLOAD_SIZE];
  UINT32      Length;
  UINT8       Bmc;
  EFI_STATUS  Status;
  UINT32      Start;

  Bmc = Target;
  FillPattern (Data, sizeof (Data), 5);
  Length = sizeof (Data);
  Start  = Now ();
  Status = Ppi->UploadBlocks (NULL, Ppi, 0xC0FFEE, 5, Data, &Length, FALSE, &Bmc, FALSE);
  PrintResult ("UploadBlocks", Bmc, Status, TRUE, "tag C0FFEEh, 500 bytes", Start);
}

//
// The scenario from fw_cfg, into Mode (NUL-terminated, "" when absent).
//
STATIC
VOID
ReadMode (
  OUT CHAR8  *Mode,
  IN  UINTN  Size
  )
{
  FIRMWARE_CONFIG_ITEM  Item;
  UINTN                 Length;

  Mode[0] = '\0';
  if (!QemuFwCfgIsAvailable () || RETURN_ERROR (QemuFwCfgFindFile ("opt/oskel/watchdog", &Item, &Length))) {
    return;
  }

  if (Length > Size - 1) {
    Length = Size - 1;
  }

  QemuFwCfgSelectItem (Item);
  QemuFwCfgReadBytes (Length, Mode);
  Mode[Length] = '\0';
}

//
// The BMCs the board put in its platform HOB: three, or four with the
// SSIF BMC.
//
STATIC
UINT8
BoardBmcCount (
  VOID
  )
{
  EFI_HOB_GUID_TYPE  *Hob;

  Hob = GetFirstGuidHob (&gPlatformBmcInfoHobGuid);
  if ((Hob == NULL) || (GET_GUID_HOB_DATA_SIZE (Hob) <= QEMU_BOARD_HOB_COUNT_OFFSET)) {
    return QEMU_BOARD_BMC_COUNT;
  }

  return MIN (((UINT8 *)GET_GUID_HOB_DATA (Hob))[QEMU_BOARD_HOB_COUNT_OFFSET], QEMU_BOARD_BMC_MAX);
}

EFI_STATUS
EFIAPI
QemuConsumerPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  STATIC CONST UINT8  NoData[1] = { 0 };
  BMC_COMMANDS_PPI    *Ppi;
  CHAR8               Mode[24];
  EFI_STATUS          Status;
  UINT8               Bmc;
  UINT8               Count;

  ReadMode (Mode, sizeof (Mode));
  Count = BoardBmcCount ();
  Status = PeiServicesLocatePpi (&gBmcCommandsPpiGuid, 0, NULL, (VOID **)&Ppi);
  DEBUG ((DEBUG_INFO, "OskelConsumer: start mode=%a locate=%x\n", (Mode[0] == '\0') ? "check" : Mode, Status));
  if (EFI_ERROR (Status) || (Ppi == NULL)) {
    return EFI_SUCCESS;
  }

  //
  // What the Setup path left on BMC 0, as the BMC reports it.
  //
  RawCommand (Ppi, "GetWatchdogTimer", 0, CMD_GET_WATCHDOG_TIMER, NoData, 0);
  if (AsciiStrCmp (Mode, "bite") == 0) {
    for (Bmc = 0; Bmc < Count; Bmc++) {
      StartWatchdog (Ppi, Bmc, WATCHDOG_SHORT);
    }
  } else if (AsciiStrCmp (Mode, "stop") == 0) {
    for (Bmc = 0; Bmc < Count; Bmc++) {
      StartWatchdog (Ppi, Bmc, WATCHDOG_SHORT);
      StopWatchdog (Ppi, Bmc);
      RawCommand (Ppi, "GetWatchdogTimer", Bmc, CMD_GET_WATCHDOG_TIMER, NoData, 0);
    }
  } else {
    Refusal (Ppi);
    GetDeviceId (Ppi, 0);
    RawCommand (Ppi, "UnassignedCommand", 0, CMD_UNASSIGNED, NoData, 0);
    for (Bmc = 1; Bmc < Count; Bmc++) {
      GetDeviceId (Ppi, Bmc);
      RawCommand (Ppi, "SendRawCommand", Bmc, CMD_GET_DEVICE_ID, NoData, 0);
      RawCommand (Ppi, "UnassignedCommand", Bmc, CMD_UNASSIGNED, NoData, 0);
      StartWatchdog (Ppi, Bmc, WATCHDOG_LONG);
      WholeFile (Ppi, Bmc);
      Region (Ppi, Bmc);
      Setting (Ppi, Bmc);
      Upload (Ppi, Bmc);
    }

    Refusal (Ppi);
  }

  DEBUG ((DEBUG_INFO, "OskelConsumer: done mode=%a\n", (Mode[0] == '\0') ? "check" : Mode));
  return EFI_SUCCESS;
}
