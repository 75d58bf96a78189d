/** @file
  Consumer of the BMC command service under OVMF. Runs once memory is
  installed, checks that BmcCommandsPpi resolves to the record that the
  module's shadowed run re-installed, then calls a handful of slots and
  compares every answer with what the scripted BMCs of the test transport
  hold. Each check prints one line on the debug port:

    OskelConsumer: PASS|FAIL <Check> <details>

  and the run ends with "OskelConsumer: done checks=<n> failed=<m>".

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include <PiPei.h>
#include <Library/BaseMemoryLib.h>
#include <Library/DebugLib.h>
#include <Library/PeiServicesLib.h>
#include <Ppi/BmcCommands.h>

#include "../TestTransportPei/ScriptedBmc.h"

//
// FILE_GUID of the module, source and binary INF alike: where the image
// that runs in place lies, which the re-installed record must not point into.
//
STATIC CONST EFI_GUID  mOskelCommandsPeiFileGuid = {
  0x44562b5b, 0xb8a0, 0x4e79, { 0xbb, 0x84, 0xe5, 0x2d, 0xe6, 0x76, 0x87, 0x6c }
};

//
// The module was built against the standalone PI layer (mingw) or by EDK II
// from the same sources; this PEIM by EDK II against MdePkg. Both must see
// the same records: on IA32 and on X64, where pointers and UINTN are 8.
//
#if defined (MDE_CPU_IA32)
STATIC_ASSERT (sizeof (BMC_COMMANDS_PRIVATE) == 8 + 264 + 4 * BMC_OPERATION_COUNT, "record size");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PRIVATE, Interface) == 8, "interface offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, ScratchBuffer) == 4, "scratch offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, Self) == 252, "self offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, Transport) == 256, "transport offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, PeiServices) == 260, "services offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query) == 264, "slot 0 offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 392, "slot 32 offset");
STATIC_ASSERT (sizeof (IPMI_TRANSPORT_PPI) == 28, "transport size");
#elif defined (MDE_CPU_X64)
STATIC_ASSERT (sizeof (BMC_COMMANDS_PRIVATE) == 8 + 280 + 8 * BMC_OPERATION_COUNT, "record size");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PRIVATE, Interface) == 8, "interface offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, ScratchBuffer) == 4, "scratch offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, Self) == 256, "self offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, Transport) == 264, "transport offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, PeiServices) == 272, "services offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query) == 280, "slot 0 offset");
STATIC_ASSERT (OFFSET_OF (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 536, "slot 32 offset");
STATIC_ASSERT (sizeof (IPMI_TRANSPORT_PPI) == 48, "transport size");
#endif
STATIC_ASSERT (OFFSET_OF (IPMI_TRANSPORT_PPI, SendCommand) == 8, "SendCommand offset");
STATIC_ASSERT (sizeof (BMC_SETTING_DESCRIPTOR) == 136, "setting descriptor size");
STATIC_ASSERT (sizeof (SERIAL_CONSOLE_CONFIG) == 7, "console config size");

#define TRANSFER_SIZE    300
#define REGION_OFFSET    0x0100
#define REGION_SELECTOR  0x02

typedef struct {
  UINTN    Checks;
  UINTN    Failed;
} TALLY;

STATIC
VOID
Report (
  IN OUT TALLY        *Tally,
  IN     BOOLEAN      Passed,
  IN     CONST CHAR8  *Check,
  IN     EFI_STATUS   Status,
  IN     CONST CHAR8  *Detail
  )
{
  Tally->Checks++;
  if (!Passed) {
    Tally->Failed++;
  }

  DEBUG ((DEBUG_INFO, "OskelConsumer: %a %a status=%x %a\n", Passed ? "PASS" : "FAIL", Check, Status, Detail));
}

//
// Logs the consumer's stack pointer before it calls Slot: the boot check
// measures how far below it the module's calls into the transport go.
// Out of line, so that its frame is not the consumer's.
//
STATIC
VOID
__attribute__ ((noinline))
MarkStack (
  IN CONST CHAR8  *Slot
  )
{
  DEBUG ((DEBUG_INFO, "OskelConsumer: stack %a sp=0x%lx\n", Slot, CALLER_STACK_POINTER ()));
}

STATIC
VOID
FillPattern (
  OUT UINT8  *Buffer,
  IN  UINTN  Size
  )
{
  UINTN  Index;

  for (Index = 0; Index < Size; Index++) {
    Buffer[Index] = (UINT8)(Index * 13 + (Index >> 8) + 1);
  }
}

//
// The FFS file of the module, in whichever firmware volume holds it.
//
STATIC
BOOLEAN
FindModuleFile (
  OUT EFI_FV_FILE_INFO  *FileInfo
  )
{
  UINTN                Instance;
  EFI_PEI_FV_HANDLE    Volume;
  EFI_PEI_FILE_HANDLE  File;

  for (Instance = 0; !EFI_ERROR (PeiServicesFfsFindNextVolume (Instance, &Volume)); Instance++) {
    if (!EFI_ERROR (PeiServicesFfsFindFileByName (&mOskelCommandsPeiFileGuid, Volume, &File))) {
      return !EFI_ERROR (PeiServicesFfsGetFileInfo (File, FileInfo));
    }
  }

  return FALSE;
}

STATIC
VOID
CheckRecord (
  IN OUT TALLY                   *Tally,
  IN     CONST EFI_PEI_SERVICES  **PeiServices,
  IN     BMC_COMMANDS_PPI        *Ppi
  )
{
  EFI_FV_FILE_INFO  FileInfo;
  UINTN             Slot;
  UINTN             FileStart;
  UINTN             FileEnd;
  VOID              *Second;
  BOOLEAN           Passed;

  Passed = (Ppi->Signature == BMC_COMMANDS_PPI_SIGNATURE) &&
           (Ppi->Self != NULL) &&
           (Ppi->Self->Signature == BMC_COMMANDS_PRIVATE_SIGNATURE) &&
           (&Ppi->Self->Interface == Ppi);
  Report (Tally, Passed, "Record", EFI_SUCCESS, "signatures and Self");

  //
  // The first run's record holds the services table of temporary memory
  // and slots inside the image that runs in place; the re-installed one
  // holds today's table and slots in the shadow.
  //
  Slot   = (UINTN)Ppi->GetDeviceId;
  Passed = FindModuleFile (&FileInfo);
  if (Passed) {
    FileStart = (UINTN)FileInfo.Buffer;
    FileEnd   = FileStart + FileInfo.BufferSize;
    Passed    = (Slot < FileStart) || (Slot >= FileEnd);
    DEBUG ((
      DEBUG_INFO,
      "OskelConsumer: record=0x%08x GetDeviceId=0x%08x inplace=0x%08x-0x%08x services=0x%08x record.services=0x%08x\n",
      (UINTN)Ppi,
      Slot,
      FileStart,
      FileEnd,
      (UINTN)PeiServices,
      (UINTN)Ppi->PeiServices
      ));
  }

  Passed = Passed && (Ppi->PeiServices == PeiServices);
  Report (Tally, Passed, "Reinstalled", EFI_SUCCESS, "slots outside the in-place image, current services table");

  Passed = EFI_ERROR (PeiServicesLocatePpi (&gBmcCommandsPpiGuid, 1, NULL, &Second));
  Report (Tally, Passed, "SingleInstance", EFI_SUCCESS, "no second BmcCommandsPpi");
}

STATIC
VOID
CheckDeviceId (
  IN OUT TALLY             *Tally,
  IN     BMC_COMMANDS_PPI  *Ppi,
  IN     UINT8             Bmc
  )
{
  UINT8       Response[32];
  UINT8       Length;
  EFI_STATUS  Status;

  SetMem (Response, sizeof (Response), 0xEE);
  Length = sizeof (Response);
  MarkStack ("GetDeviceId");
  Status = Ppi->GetDeviceId (NULL, Ppi, Response, &Length, &Bmc, FALSE);
  Report (
    Tally,
    BMC_STATUS_DONE (Status) && (Length == SCRIPTED_DEVICE_ID_LENGTH) &&
    (CompareMem (Response, mScriptedDeviceId[Bmc], SCRIPTED_DEVICE_ID_LENGTH) == 0),
    (Bmc == 0) ? "GetDeviceId bmc=0" : "GetDeviceId bmc=1",
    Status,
    "15 bytes as scripted"
    );
}

STATIC
VOID
CheckRawCommand (
  IN OUT TALLY             *Tally,
  IN     BMC_COMMANDS_PPI  *Ppi
  )
{
  STATIC CONST UINT8  Request[]  = { 0x01, 0x02, 0x03, 0x04, 0x05 };
  STATIC CONST UINT8  Expected[] = { 0x05, 0x04, 0x03, 0x02, 0x01 };
  UINT8               Data[243];
  UINT8               Length;
  UINT8               Bmc;
  EFI_STATUS          Status;

  ZeroMem (Data, sizeof (Data));
  CopyMem (Data, Request, sizeof (Request));
  Length = sizeof (Request);
  Bmc    = 1;
  MarkStack ("SendRawCommand");
  Status = Ppi->SendRawCommand (NULL, Ppi, SCRIPTED_RAW_NETFN, SCRIPTED_RAW_COMMAND, Data, &Length, &Bmc, FALSE);
  Report (
    Tally,
    BMC_STATUS_DONE (Status) && (Length == sizeof (Expected)) && (CompareMem (Data, Expected, sizeof (Expected)) == 0),
    "SendRawCommand bmc=1",
    Status,
    "netfn 30h cmd 7Eh answered in reverse"
    );
}

STATIC
VOID
CheckWholeFile (
  IN OUT TALLY             *Tally,
  IN     BMC_COMMANDS_PPI  *Ppi
  )
{
  UINT8       Written[TRANSFER_SIZE];
  UINT8       Read[TRANSFER_SIZE];
  UINT32      Count;
  UINT32      BytesRead;
  UINT8       Bmc;
  EFI_STATUS  Status;

  FillPattern (Written, sizeof (Written));
  Count  = sizeof (Written);
  Bmc    = 0;
  MarkStack ("WriteKnownFile");
  Status = Ppi->WriteKnownFile (NULL, Ppi, KNOWN_FILE_CONFIG, 0, Written, &Count, NULL, &Bmc, FALSE);
  Report (Tally, BMC_STATUS_DONE (Status) && (Count == sizeof (Written)), "WriteKnownFile config", Status, "300 bytes in two chunks");

  SetMem (Read, sizeof (Read), 0xEE);
  BytesRead = 0;
  MarkStack ("ReadKnownFile");
  Status    = Ppi->ReadKnownFile (NULL, Ppi, KNOWN_FILE_CONFIG, 0, sizeof (Read), Read, &BytesRead, NULL, &Bmc, FALSE);
  Report (
    Tally,
    BMC_STATUS_DONE (Status) && (BytesRead == sizeof (Read)) && (CompareMem (Read, Written, sizeof (Read)) == 0),
    "ReadKnownFile config",
    Status,
    "300 bytes read back as written"
    );
}

STATIC
VOID
CheckRegionRead (
  IN OUT TALLY             *Tally,
  IN     BMC_COMMANDS_PPI  *Ppi
  )
{
  UINT8       Buffer[TRANSFER_SIZE];
  UINT16      Length;
  UINT8       Bmc;
  UINTN       Index;
  BOOLEAN     Same;
  EFI_STATUS  Status;

  SetMem (Buffer, sizeof (Buffer), 0xEE);
  Length = sizeof (Buffer);
  Bmc    = 1;
  MarkStack ("RegionRead");
  Status = Ppi->RegionRead (NULL, Ppi, REGION_OFFSET, REGION_SELECTOR, &Length, Buffer, &Bmc, FALSE);
  Same   = TRUE;
  for (Index = 0; Index < sizeof (Buffer); Index++) {
    Same = Same && (Buffer[Index] == ScriptedRegionByte (REGION_SELECTOR, (UINT16)(REGION_OFFSET + Index)));
  }

  Report (
    Tally,
    BMC_STATUS_DONE (Status) && (Length == sizeof (Buffer)) && Same,
    "RegionRead bmc=1",
    Status,
    "300 bytes from 0100h across the 224-byte chunk boundary"
    );
}

STATIC
VOID
CheckSetting (
  IN OUT TALLY             *Tally,
  IN     BMC_COMMANDS_PPI  *Ppi
  )
{
  UINT32      Value;
  UINT8       Bmc;
  EFI_STATUS  Status;

  Value  = 0;
  Bmc    = 1;
  MarkStack ("ReadBmcSetting");
  Status = Ppi->ReadBmcSetting (NULL, Ppi, BMC_SETTING_SMBIOS_CRC, &Value, NULL, &Bmc, FALSE);
  Report (
    Tally,
    BMC_STATUS_DONE (Status) && (Value == SCRIPTED_SMBIOS_CRC (1)),
    "ReadBmcSetting smbioscrc bmc=1",
    Status,
    (Value == SCRIPTED_SMBIOS_CRC (1)) ? "value 5EC0DE01" : "value differs"
    );
}

//
// A command the BMC does not know: the service hands its completion code
// back as a positive status, which EFI_ERROR () alone would take for
// success. The service's macros tell the three kinds of outcome apart.
//
STATIC
VOID
CheckRefusedCommand (
  IN OUT TALLY             *Tally,
  IN     BMC_COMMANDS_PPI  *Ppi
  )
{
  UINT8       Data[243];
  UINT8       Length;
  UINT8       Bmc;
  EFI_STATUS  Status;

  ZeroMem (Data, sizeof (Data));
  Length = 0;
  Bmc    = 1;
  Status = Ppi->SendRawCommand (NULL, Ppi, SCRIPTED_RAW_NETFN, SCRIPTED_RAW_COMMAND + 1, Data, &Length, &Bmc, FALSE);
  Report (
    Tally,
    !EFI_ERROR (Status) && !BMC_STATUS_DONE (Status) && BMC_STATUS_IS_COMPLETION_CODE (Status) &&
    !BMC_STATUS_NOT_THROUGH (Status) && (BMC_STATUS_COMPLETION_CODE (Status) == 0xC1),
    "RefusedCommand bmc=1",
    Status,
    "completion code C1h told apart from success"
    );
}

EFI_STATUS
EFIAPI
TestConsumerPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  BMC_COMMANDS_PPI  *Ppi;
  TALLY             Tally;
  EFI_STATUS        Status;

  Tally.Checks = 0;
  Tally.Failed = 0;
  Status       = PeiServicesLocatePpi (&gBmcCommandsPpiGuid, 0, NULL, (VOID **)&Ppi);
  Report (&Tally, !EFI_ERROR (Status) && (Ppi != NULL), "LocatePpi BmcCommandsPpi", Status, "");
  if (!EFI_ERROR (Status) && (Ppi != NULL)) {
    CheckRecord (&Tally, PeiServices, Ppi);
    CheckDeviceId (&Tally, Ppi, 0);
    CheckDeviceId (&Tally, Ppi, 1);
    CheckRawCommand (&Tally, Ppi);
    CheckRefusedCommand (&Tally, Ppi);
    CheckWholeFile (&Tally, Ppi);
    CheckRegionRead (&Tally, Ppi);
    CheckSetting (&Tally, Ppi);
  }

  DEBUG ((DEBUG_INFO, "OskelConsumer: done checks=%d failed=%d\n", Tally.Checks, Tally.Failed));
  return EFI_SUCCESS;
}
