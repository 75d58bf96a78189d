/** @file
  Test platform for the BMC command PEIM under OVMF: an IpmiTransportPpi
  over a scripted pair of BMCs, and the platform pieces OVMF's PEI phase
  lacks (a CPU I/O PPI, the read-only variable PPI, the platform BMC HOB).

  Every call the module makes on these services is written to the debug
  port as one line, "OskelTransport: <Service> key=value ...", with the
  caller's return address so the log shows whether the call came from the
  image that runs in place or from its shadow in memory.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include <PiPei.h>
#include <Library/BaseLib.h>
#include <Library/BaseMemoryLib.h>
#include <Library/DebugLib.h>
#include <Library/HobLib.h>
#include <Library/IoLib.h>
#include <Library/MemoryAllocationLib.h>
#include <Library/PeiServicesLib.h>
#include <Ppi/CpuIo.h>
#include <Ppi/IpmiTransport.h>
#include <Ppi/BmcCommands.h>
#include <Ppi/ReadOnlyVariable2.h>

#include "ScriptedBmc.h"

#define TEST_TRANSPORT_SIGNATURE  SIGNATURE_32 ('O', 'T', 'B', 'T')

//
// IPMI network functions and commands the scripted BMCs answer.
//
#define NETFN_APP          0x06
#define NETFN_TRANSPORT    0x0C
#define NETFN_OEM_FILE     0x2E
#define NETFN_OEM          0x3A

#define CMD_GET_DEVICE_ID            0x01
#define CMD_GET_SELF_TEST_RESULTS    0x04
#define CMD_RESET_WATCHDOG_TIMER     0x22
#define CMD_SET_WATCHDOG_TIMER       0x24
#define CMD_SET_CHANNEL_ACCESS       0x40
#define CMD_GET_CHANNEL_ACCESS       0x41
#define CMD_GET_CHANNEL_INFO         0x42
#define CMD_SET_SERIAL_MODEM_CONFIG  0x10
#define CMD_GET_SERIAL_MODEM_CONFIG  0x11
#define CMD_SET_SERIAL_MODEM_MUX     0x12
#define CMD_FILE_SERVICE             0x90
#define CMD_REGION_READ              0x0B
#define CMD_REGION_WRITE             0x0C
#define CMD_BOOT_STAGE               0xC3
#define CMD_SETTINGS_STORE           0xC4

#define CC_INVALID_COMMAND         0xC1
#define CC_REQUEST_LENGTH_INVALID  0xC7
#define CC_PARAMETER_OUT_OF_RANGE  0xC9
#define CC_DESTINATION_UNAVAILABLE 0xD3
#define CC_PARAMETER_NOT_SUPPORTED 0x80
#define CC_FILE_NOT_FOUND          0x0A
#define CC_FILE_BAD_SIZE           0x0D
#define CC_FILE_BAD_HANDLE         0x0E

#define MUX_SWITCH_CONTROL_PARAMETER  8
#define COMM_SETTINGS_PARAMETER       7

//
// Platform BMC information HOB: BMC i's mailbox I/O base is a 16-bit value
// at byte 566 + 21 * i of the data after the HOB's name.
//
#define BMC_INFO_IO_BASE_OFFSET  566
#define BMC_INFO_ENTRY_SIZE      21

STATIC CONST UINT16  mScriptedIoBase[SCRIPTED_BMC_COUNT] = { 0x0100, 0x0200 };

typedef struct {
  CHAR8     FileName[MAX_FILE_NAME_LENGTH + 1];
  UINT32    FileSize;
  UINT32    OpenHandle;
  UINT8     File[SCRIPTED_FILE_CAPACITY];
  UINT8     BootStage;
  UINT8     MuxSwitchControl[2];
  UINT8     CommSettings[2];
  UINT8     ChannelAccess[2][2];   // [0] non-volatile, [1] volatile: access byte, privilege byte
  UINT8     MuxSetting;
  UINT16    WatchdogCountdown;
  BOOLEAN   WatchdogRunning;
} SCRIPTED_BMC;

typedef struct {
  UINT32                    Signature;
  IPMI_TRANSPORT_PPI        Ppi;
  EFI_PEI_PPI_DESCRIPTOR    Descriptor;
  UINT8                     Selected;
  SCRIPTED_BMC              Bmc[SCRIPTED_BMC_COUNT];
} TEST_TRANSPORT;

#define TEST_TRANSPORT_FROM_PPI(a)  CR (a, TEST_TRANSPORT, Ppi, TEST_TRANSPORT_SIGNATURE)

//
// Writes Count bytes as contiguous hex digits, in pieces the debug library
// can format.
//
STATIC
VOID
LogHex (
  IN CONST UINT8  *Bytes,
  IN UINTN        Count
  )
{
  STATIC CONST CHAR8  Digits[] = "0123456789abcdef";
  CHAR8               Piece[2 * 32 + 1];
  UINTN               Index;
  UINTN               Used;

  Used = 0;
  for (Index = 0; Index < Count; Index++) {
    Piece[Used++] = Digits[Bytes[Index] >> 4];
    Piece[Used++] = Digits[Bytes[Index] & 0x0F];
    if ((Used == sizeof (Piece) - 1) || (Index + 1 == Count)) {
      Piece[Used] = '\0';
      DEBUG ((DEBUG_INFO, "%a", Piece));
      Used = 0;
    }
  }
}

STATIC
UINT32
ReadLe32 (
  IN CONST UINT8  *Bytes
  )
{
  return (UINT32)Bytes[0] | ((UINT32)Bytes[1] << 8) | ((UINT32)Bytes[2] << 16) | ((UINT32)Bytes[3] << 24);
}

STATIC
VOID
WriteLe16 (
  OUT UINT8   *Bytes,
  IN  UINT32  Value
  )
{
  Bytes[0] = (UINT8)Value;
  Bytes[1] = (UINT8)(Value >> 8);
}

STATIC
VOID
WriteLe32 (
  OUT UINT8   *Bytes,
  IN  UINT32  Value
  )
{
  WriteLe16 (Bytes, Value);
  WriteLe16 (Bytes + 2, Value >> 16);
}

STATIC
UINT32
HandleOf (
  IN UINT8  Bmc
  )
{
  return 0x00C0F1E0u + Bmc;
}

//
// File service, NetFn 2Eh command 90h: one file per BMC, opened by name.
//
STATIC
EFI_STATUS
AnswerFileService (
  IN  SCRIPTED_BMC  *State,
  IN  UINT8         Bmc,
  IN  CONST UINT8   *Request,
  IN  UINTN         RequestSize,
  OUT UINT8         *Reply,
  OUT UINTN         *ReplySize
  )
{
  UINTN   NameLength;
  UINT32  Offset;
  UINT32  Count;

  if ((RequestSize < 4) || (Request[0] != OEM_MANUFACTURER_ID_BYTE0) ||
      (Request[1] != OEM_MANUFACTURER_ID_BYTE1) || (Request[2] != OEM_MANUFACTURER_ID_BYTE2))
  {
    return CC_REQUEST_LENGTH_INVALID;
  }

  Reply[0]   = OEM_MANUFACTURER_ID_BYTE0;
  Reply[1]   = OEM_MANUFACTURER_ID_BYTE1;
  Reply[2]   = OEM_MANUFACTURER_ID_BYTE2;
  *ReplySize = 3;

  switch (Request[3]) {
    case 0x01:
      if (RequestSize < 12) {
        return CC_REQUEST_LENGTH_INVALID;
      }

      NameLength = RequestSize - 12;
      if (NameLength > MAX_FILE_NAME_LENGTH) {
        return CC_FILE_BAD_SIZE;
      }

      //
      // Opening for writing (access mode 1) creates the file; reading needs
      // the name the file was written under.
      //
      if (Request[10] == 1) {
        ZeroMem (State->FileName, sizeof (State->FileName));
        CopyMem (State->FileName, Request + 12, NameLength);
      } else if ((AsciiStrLen (State->FileName) != NameLength) ||
                 (CompareMem (State->FileName, Request + 12, NameLength) != 0))
      {
        return CC_FILE_NOT_FOUND;
      }

      State->OpenHandle = HandleOf (Bmc);
      WriteLe32 (Reply + 3, State->OpenHandle);
      *ReplySize = 7;
      return EFI_SUCCESS;

    case 0x02:
      if ((RequestSize != 14) || (State->OpenHandle == 0) || (ReadLe32 (Request + 4) != State->OpenHandle)) {
        return CC_FILE_BAD_HANDLE;
      }

      Offset = ReadLe32 (Request + 8);
      Count  = (UINT32)Request[12] | ((UINT32)Request[13] << 8);
      if (Offset >= State->FileSize) {
        Count = 0;
      } else if (Count > State->FileSize - Offset) {
        Count = State->FileSize - Offset;
      }

      WriteLe16 (Reply + 3, Count);
      CopyMem (Reply + 5, State->File + Offset, Count);
      *ReplySize = 5 + Count;
      return EFI_SUCCESS;

    case 0x03:
      if ((RequestSize < 12) || (State->OpenHandle == 0) || (ReadLe32 (Request + 4) != State->OpenHandle)) {
        return CC_FILE_BAD_HANDLE;
      }

      Offset = ReadLe32 (Request + 8);
      Count  = (UINT32)(RequestSize - 12);
      if ((Offset > SCRIPTED_FILE_CAPACITY) || (Count > SCRIPTED_FILE_CAPACITY - Offset)) {
        return CC_FILE_BAD_SIZE;
      }

      CopyMem (State->File + Offset, Request + 12, Count);
      if (Offset + Count > State->FileSize) {
        State->FileSize = Offset + Count;
      }

      WriteLe16 (Reply + 3, Count);
      *ReplySize = 5;
      return EFI_SUCCESS;

    case 0x05:
      if ((RequestSize != 8) || (State->OpenHandle == 0) || (ReadLe32 (Request + 4) != State->OpenHandle)) {
        return CC_FILE_BAD_HANDLE;
      }

      State->OpenHandle = 0;
      return EFI_SUCCESS;

    case 0x06:
      WriteLe32 (Reply + 3, State->FileSize);
      *ReplySize = 7;
      return EFI_SUCCESS;

    default:
      return CC_INVALID_COMMAND;
  }
}

//
// Settings store, NetFn 3Ah command C4h: "/ac/uefi/smbioscrc" is known for
// reading; writes are acknowledged.
//
STATIC
EFI_STATUS
AnswerSettingsStore (
  IN  UINT8        Bmc,
  IN  CONST UINT8  *Request,
  IN  UINTN        RequestSize,
  OUT UINT8        *Reply,
  OUT UINTN        *ReplySize
  )
{
  STATIC CONST CHAR8  SmbiosCrcPath[] = "/ac/uefi/smbioscrc";
  UINTN               NameLength;

  if (RequestSize < 4) {
    return CC_REQUEST_LENGTH_INVALID;
  }

  ZeroMem (Reply, 8);
  *ReplySize = 4;
  if (Request[0] == 0x03) {
    return EFI_SUCCESS;
  }

  NameLength = Request[3] & 0x7F;
  if ((Request[0] == 0x00) && (NameLength == sizeof (SmbiosCrcPath) - 1) && (RequestSize == 4 + NameLength) &&
      (CompareMem (Request + 4, SmbiosCrcPath, NameLength) == 0))
  {
    WriteLe32 (Reply + 4, SCRIPTED_SMBIOS_CRC (Bmc));
    *ReplySize = 8;
    return EFI_SUCCESS;
  }

  Reply[0] = 3;
  return EFI_SUCCESS;
}

//
// The scripted answer of BMC Bmc to one request: the reply bytes and the
// status SendCommand returns (a completion code as a positive value).
//
STATIC
EFI_STATUS
Answer (
  IN  TEST_TRANSPORT  *Transport,
  IN  UINT8           Bmc,
  IN  UINT8           NetFn,
  IN  UINT8           Command,
  IN  CONST UINT8     *Request,
  IN  UINTN           RequestSize,
  OUT UINT8           *Reply,
  OUT UINTN           *ReplySize
  )
{
  SCRIPTED_BMC  *State;
  UINTN         Index;
  UINT16        Offset;

  State      = &Transport->Bmc[Bmc];
  *ReplySize = 0;

  if ((NetFn == NETFN_APP) && (Command == CMD_GET_DEVICE_ID)) {
    CopyMem (Reply, mScriptedDeviceId[Bmc], SCRIPTED_DEVICE_ID_LENGTH);
    *ReplySize = SCRIPTED_DEVICE_ID_LENGTH;
    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_APP) && (Command == CMD_GET_SELF_TEST_RESULTS)) {
    Reply[0]   = 0x55;
    Reply[1]   = 0x00;
    *ReplySize = 2;
    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_APP) && (Command == CMD_SET_WATCHDOG_TIMER)) {
    if (RequestSize != 6) {
      return CC_REQUEST_LENGTH_INVALID;
    }

    State->WatchdogCountdown = (UINT16)(Request[4] | (Request[5] << 8));
    State->WatchdogRunning   = FALSE;
    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_APP) && (Command == CMD_RESET_WATCHDOG_TIMER)) {
    State->WatchdogRunning = TRUE;
    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_APP) && (Command == CMD_GET_CHANNEL_INFO)) {
    if (RequestSize != 1) {
      return CC_REQUEST_LENGTH_INVALID;
    }

    if ((Request[0] != 1) && (Request[0] != SCRIPTED_SERIAL_CHANNEL)) {
      return CC_PARAMETER_OUT_OF_RANGE;
    }

    Reply[0]   = Request[0];
    Reply[1]   = (Request[0] == SCRIPTED_SERIAL_CHANNEL) ? 0x05 : 0x04;
    Reply[2]   = 0x01;
    Reply[3]   = 0x80;
    Reply[4]   = 0xF2;
    Reply[5]   = 0x1B;
    Reply[6]   = 0x00;
    Reply[7]   = 0x00;
    Reply[8]   = 0x00;
    *ReplySize = 9;
    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_APP) && ((Command == CMD_GET_CHANNEL_ACCESS) || (Command == CMD_SET_CHANNEL_ACCESS))) {
    if ((RequestSize < 2) || (Request[0] != SCRIPTED_SERIAL_CHANNEL)) {
      return CC_PARAMETER_OUT_OF_RANGE;
    }

    Index = ((Request[1] & 0xC0) == 0x80) ? 1 : 0;
    if (Command == CMD_GET_CHANNEL_ACCESS) {
      CopyMem (Reply, State->ChannelAccess[Index], 2);
      *ReplySize = 2;
      return EFI_SUCCESS;
    }

    if (RequestSize != 3) {
      return CC_REQUEST_LENGTH_INVALID;
    }

    State->ChannelAccess[Index][0] = (UINT8)(Request[1] & 0x3F);
    if ((Request[2] & 0xC0) != 0) {
      State->ChannelAccess[Index][1] = (UINT8)(Request[2] & 0x0F);
    }

    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_TRANSPORT) && (Command == CMD_GET_SERIAL_MODEM_CONFIG)) {
    if ((RequestSize != 4) || ((Request[0] & 0x0F) != SCRIPTED_SERIAL_CHANNEL)) {
      return CC_PARAMETER_OUT_OF_RANGE;
    }

    Reply[0] = 0x11;
    if (Request[1] == MUX_SWITCH_CONTROL_PARAMETER) {
      CopyMem (Reply + 1, State->MuxSwitchControl, 2);
    } else if (Request[1] == COMM_SETTINGS_PARAMETER) {
      CopyMem (Reply + 1, State->CommSettings, 2);
    } else {
      return CC_PARAMETER_NOT_SUPPORTED;
    }

    *ReplySize = 3;
    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_TRANSPORT) && (Command == CMD_SET_SERIAL_MODEM_CONFIG)) {
    if ((RequestSize != 4) || (Request[0] != SCRIPTED_SERIAL_CHANNEL)) {
      return CC_PARAMETER_OUT_OF_RANGE;
    }

    if (Request[1] == MUX_SWITCH_CONTROL_PARAMETER) {
      CopyMem (State->MuxSwitchControl, Request + 2, 2);
    } else if (Request[1] == COMM_SETTINGS_PARAMETER) {
      CopyMem (State->CommSettings, Request + 2, 2);
    } else {
      return CC_PARAMETER_NOT_SUPPORTED;
    }

    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_TRANSPORT) && (Command == CMD_SET_SERIAL_MODEM_MUX)) {
    if ((RequestSize != 2) || (Request[0] != SCRIPTED_SERIAL_CHANNEL)) {
      return CC_PARAMETER_OUT_OF_RANGE;
    }

    State->MuxSetting = Request[1];
    Reply[0]          = 0x00;
    *ReplySize        = 1;
    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_OEM_FILE) && (Command == CMD_FILE_SERVICE)) {
    return AnswerFileService (State, Bmc, Request, RequestSize, Reply, ReplySize);
  }

  if ((NetFn == NETFN_OEM) && (Command == CMD_REGION_READ)) {
    if (RequestSize != 4) {
      return CC_REQUEST_LENGTH_INVALID;
    }

    Offset = (UINT16)(Request[0] | (Request[1] << 8));
    for (Index = 0; Index < Request[3]; Index++) {
      Reply[Index] = ScriptedRegionByte (Request[2], (UINT16)(Offset + Index));
    }

    *ReplySize = Request[3];
    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_OEM) && (Command == CMD_REGION_WRITE)) {
    return (RequestSize < 4) ? CC_REQUEST_LENGTH_INVALID : EFI_SUCCESS;
  }

  if ((NetFn == NETFN_OEM) && (Command == CMD_BOOT_STAGE)) {
    if ((RequestSize != 2) || (Request[0] != 0x01)) {
      return CC_REQUEST_LENGTH_INVALID;
    }

    State->BootStage = Request[1];
    return EFI_SUCCESS;
  }

  if ((NetFn == NETFN_OEM) && (Command == CMD_SETTINGS_STORE)) {
    return AnswerSettingsStore (Bmc, Request, RequestSize, Reply, ReplySize);
  }

  if ((NetFn == SCRIPTED_RAW_NETFN) && (Command == SCRIPTED_RAW_COMMAND)) {
    for (Index = 0; Index < RequestSize; Index++) {
      Reply[Index] = Request[RequestSize - 1 - Index];
    }

    *ReplySize = RequestSize;
    return EFI_SUCCESS;
  }

  return CC_INVALID_COMMAND;
}

STATIC
EFI_STATUS
EFIAPI
TransportSendCommand (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  IN UINT8                   NetFn,
  IN UINT8                   Lun,
  IN UINT8                   Command,
  IN CONST UINT8             *RequestData OPTIONAL,
  IN UINT8                   RequestDataSize,
  OUT UINT8                  *ResponseData OPTIONAL,
  IN OUT UINT8               *ResponseDataSize
  )
{
  TEST_TRANSPORT  *Transport;
  UINT8           Bmc;
  UINT8           Capacity;
  UINT8           Reply[256];
  UINTN           ReplySize;
  EFI_STATUS      Status;

  Transport = TEST_TRANSPORT_FROM_PPI (This);
  Bmc       = Transport->Selected;
  Capacity  = (ResponseDataSize == NULL) ? 0 : *ResponseDataSize;

  DEBUG ((DEBUG_INFO, "OskelTransport: SendCommand bmc=%d netfn=%02x lun=%d cmd=%02x req=", Bmc, NetFn, Lun, Command));
  if (RequestData != NULL) {
    LogHex (RequestData, RequestDataSize);
  }

  ReplySize = 0;
  if ((ResponseDataSize == NULL) || ((RequestData == NULL) && (RequestDataSize != 0)) ||
      ((ResponseData == NULL) && (Capacity != 0)))
  {
    Status = EFI_INVALID_PARAMETER;
  } else if (Lun != 0) {
    Status = CC_DESTINATION_UNAVAILABLE;
  } else {
    Status = Answer (Transport, Bmc, NetFn, Command, RequestData, RequestDataSize, Reply, &ReplySize);
    if (ReplySize > Capacity) {
      ReplySize = Capacity;
    }

    if (Status == EFI_SUCCESS) {
      if (ReplySize != 0) {
        CopyMem (ResponseData, Reply, ReplySize);
      }

      *ResponseDataSize = (UINT8)ReplySize;
    } else {
      ReplySize = 0;
    }
  }

  DEBUG ((DEBUG_INFO, " cap=%d status=%x len=%d resp=", Capacity, Status, ReplySize));
  LogHex (Reply, ReplySize);
  DEBUG ((DEBUG_INFO, " caller=0x%08x sp=0x%lx\n", (UINTN)RETURN_ADDRESS (0), CALLER_STACK_POINTER ()));
  return Status;
}

STATIC
EFI_STATUS
EFIAPI
TransportTrackBmcStatus (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  IN OUT UINT8               *State,
  IN UINT8                   Phase,
  IN BOOLEAN                 DeviceError
  )
{
  TEST_TRANSPORT  *Transport;

  Transport = TEST_TRANSPORT_FROM_PPI (This);
  if (Phase == IPMI_TRACK_PHASE_BEFORE_COMMAND) {
    *State = 0;
  }

  DEBUG ((
    DEBUG_INFO,
    "OskelTransport: TrackBmcStatus bmc=%d phase=%d flag=%d state=%d caller=0x%08x sp=0x%lx\n",
    Transport->Selected,
    Phase,
    DeviceError,
    *State,
    (UINTN)RETURN_ADDRESS (0),
    CALLER_STACK_POINTER ()
    ));
  return EFI_SUCCESS;
}

STATIC
EFI_STATUS
EFIAPI
TransportSelectBmc (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  IN UINT8                   Index
  )
{
  TEST_TRANSPORT  *Transport;
  EFI_STATUS      Status;

  Transport = TEST_TRANSPORT_FROM_PPI (This);
  Status    = EFI_NOT_FOUND;
  if (Index < SCRIPTED_BMC_COUNT) {
    Transport->Selected = Index;
    Status              = EFI_SUCCESS;
  }

  DEBUG ((DEBUG_INFO, "OskelTransport: SelectBmc index=%d status=%x caller=0x%08x sp=0x%lx\n", Index, Status, (UINTN)RETURN_ADDRESS (0), CALLER_STACK_POINTER ()));
  return Status;
}

STATIC
EFI_STATUS
EFIAPI
TransportGetBmcCount (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  OUT UINT8                  *Count
  )
{
  *Count = SCRIPTED_BMC_COUNT;
  DEBUG ((DEBUG_INFO, "OskelTransport: GetBmcCount count=%d caller=0x%08x sp=0x%lx\n", *Count, (UINTN)RETURN_ADDRESS (0), CALLER_STACK_POINTER ()));
  return EFI_SUCCESS;
}

STATIC
EFI_STATUS
EFIAPI
TransportPrepareSecondaryBmc (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This
  )
{
  DEBUG ((DEBUG_INFO, "OskelTransport: PrepareSecondaryBmc status=0 caller=0x%08x\n", (UINTN)RETURN_ADDRESS (0)));
  return EFI_SUCCESS;
}

//
// CPU I/O PPI of the test platform: port and memory accesses through IoLib,
// every 8-bit port write logged; the block services move bytes only. The
// PEI core's own CPU I/O service writes nothing, and OVMF installs no
// other in PEI.
//
STATIC
EFI_STATUS
EFIAPI
CpuMemRead (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN EFI_PEI_CPU_IO_PPI_WIDTH  Width,
  IN UINT64                    Address,
  IN UINTN                     Count,
  IN OUT VOID                  *Buffer
  )
{
  return EFI_UNSUPPORTED;
}

STATIC
EFI_STATUS
EFIAPI
CpuMemWrite (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN EFI_PEI_CPU_IO_PPI_WIDTH  Width,
  IN UINT64                    Address,
  IN UINTN                     Count,
  IN OUT VOID                  *Buffer
  )
{
  return EFI_UNSUPPORTED;
}

STATIC
EFI_STATUS
EFIAPI
CpuIoRead (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN EFI_PEI_CPU_IO_PPI_WIDTH  Width,
  IN UINT64                    Address,
  IN UINTN                     Count,
  IN OUT VOID                  *Buffer
  )
{
  UINTN  Index;

  if ((Width != EfiPeiCpuIoWidthUint8) || (Buffer == NULL)) {
    return EFI_UNSUPPORTED;
  }

  for (Index = 0; Index < Count; Index++) {
    ((UINT8 *)Buffer)[Index] = IoRead8 ((UINTN)Address + Index);
  }

  return EFI_SUCCESS;
}

STATIC
VOID
LogIoWrite (
  IN UINT64  Address,
  IN UINT8   Value,
  IN UINTN   Caller
  )
{
  DEBUG ((DEBUG_INFO, "OskelTransport: IoWrite8 port=%04x value=%02x caller=0x%08x\n", (UINTN)Address, Value, Caller));
}

STATIC
EFI_STATUS
EFIAPI
CpuIoWrite (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN EFI_PEI_CPU_IO_PPI_WIDTH  Width,
  IN UINT64                    Address,
  IN UINTN                     Count,
  IN OUT VOID                  *Buffer
  )
{
  UINTN  Index;

  if ((Width != EfiPeiCpuIoWidthUint8) || (Buffer == NULL)) {
    return EFI_UNSUPPORTED;
  }

  for (Index = 0; Index < Count; Index++) {
    LogIoWrite (Address + Index, ((UINT8 *)Buffer)[Index], (UINTN)RETURN_ADDRESS (0));
    IoWrite8 ((UINTN)Address + Index, ((UINT8 *)Buffer)[Index]);
  }

  return EFI_SUCCESS;
}

STATIC
UINT8
EFIAPI
CpuIoRead8 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address
  )
{
  return IoRead8 ((UINTN)Address);
}

STATIC
UINT16
EFIAPI
CpuIoRead16 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address
  )
{
  return IoRead16 ((UINTN)Address);
}

STATIC
UINT32
EFIAPI
CpuIoRead32 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address
  )
{
  return IoRead32 ((UINTN)Address);
}

STATIC
UINT64
EFIAPI
CpuIoRead64 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address
  )
{
  return 0;
}

STATIC
VOID
EFIAPI
CpuIoWrite8 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address,
  IN UINT8                     Data
  )
{
  LogIoWrite (Address, Data, (UINTN)RETURN_ADDRESS (0));
  IoWrite8 ((UINTN)Address, Data);
}

STATIC
VOID
EFIAPI
CpuIoWrite16 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address,
  IN UINT16                    Data
  )
{
  IoWrite16 ((UINTN)Address, Data);
}

STATIC
VOID
EFIAPI
CpuIoWrite32 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address,
  IN UINT32                    Data
  )
{
  IoWrite32 ((UINTN)Address, Data);
}

STATIC
VOID
EFIAPI
CpuIoWrite64 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address,
  IN UINT64                    Data
  )
{
}

STATIC
UINT8
EFIAPI
CpuMemRead8 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address
  )
{
  return MmioRead8 ((UINTN)Address);
}

STATIC
UINT16
EFIAPI
CpuMemRead16 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address
  )
{
  return MmioRead16 ((UINTN)Address);
}

STATIC
UINT32
EFIAPI
CpuMemRead32 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address
  )
{
  return MmioRead32 ((UINTN)Address);
}

STATIC
UINT64
EFIAPI
CpuMemRead64 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address
  )
{
  return MmioRead64 ((UINTN)Address);
}

STATIC
VOID
EFIAPI
CpuMemWrite8 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address,
  IN UINT8                     Data
  )
{
  MmioWrite8 ((UINTN)Address, Data);
}

STATIC
VOID
EFIAPI
CpuMemWrite16 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address,
  IN UINT16                    Data
  )
{
  MmioWrite16 ((UINTN)Address, Data);
}

STATIC
VOID
EFIAPI
CpuMemWrite32 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address,
  IN UINT32                    Data
  )
{
  MmioWrite32 ((UINTN)Address, Data);
}

STATIC
VOID
EFIAPI
CpuMemWrite64 (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN UINT64                    Address,
  IN UINT64                    Data
  )
{
  MmioWrite64 ((UINTN)Address, Data);
}

STATIC CONST EFI_PEI_CPU_IO_PPI  mCpuIo = {
  { CpuMemRead,   CpuMemWrite  },
  { CpuIoRead,    CpuIoWrite   },
  CpuIoRead8,
  CpuIoRead16,
  CpuIoRead32,
  CpuIoRead64,
  CpuIoWrite8,
  CpuIoWrite16,
  CpuIoWrite32,
  CpuIoWrite64,
  CpuMemRead8,
  CpuMemRead16,
  CpuMemRead32,
  CpuMemRead64,
  CpuMemWrite8,
  CpuMemWrite16,
  CpuMemWrite32,
  CpuMemWrite64
};

//
// Read-only variable service of the test platform. OVMF without SMM has
// no variable service in PEI; this one holds no variable at all, like an
// OVMF variable store, which has no "Setup".
//
STATIC
EFI_STATUS
EFIAPI
GetNoVariable (
  IN CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI  *This,
  IN CONST CHAR16                           *VariableName,
  IN CONST EFI_GUID                         *VariableGuid,
  OUT UINT32                                *Attributes OPTIONAL,
  IN OUT UINTN                              *DataSize,
  OUT VOID                                  *Data OPTIONAL
  )
{
  DEBUG ((
    DEBUG_INFO,
    "OskelTransport: GetVariable name=%s guid=%g size=%d status=%x caller=0x%08x\n",
    VariableName,
    VariableGuid,
    (DataSize == NULL) ? 0 : *DataSize,
    EFI_NOT_FOUND,
    (UINTN)RETURN_ADDRESS (0)
    ));
  return EFI_NOT_FOUND;
}

STATIC
EFI_STATUS
EFIAPI
NextNoVariable (
  IN CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI  *This,
  IN OUT UINTN                              *VariableNameSize,
  IN OUT CHAR16                             *VariableName,
  IN OUT EFI_GUID                           *VariableGuid
  )
{
  return EFI_NOT_FOUND;
}

STATIC CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI  mNoVariables = { GetNoVariable, NextNoVariable };

STATIC CONST EFI_PEI_PPI_DESCRIPTOR  mNoVariablesDescriptor = {
  EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
  &gEfiPeiReadOnlyVariable2PpiGuid,
  (VOID *)&mNoVariables
};

STATIC
VOID
BuildPlatformBmcInfoHob (
  VOID
  )
{
  UINT8  *Data;
  UINTN  Index;
  UINTN  Size;

  Size = BMC_INFO_IO_BASE_OFFSET + BMC_INFO_ENTRY_SIZE * SCRIPTED_BMC_COUNT;
  Data = BuildGuidHob (&gPlatformBmcInfoHobGuid, Size);
  ASSERT (Data != NULL);
  ZeroMem (Data, Size);
  for (Index = 0; Index < SCRIPTED_BMC_COUNT; Index++) {
    WriteLe16 (Data + BMC_INFO_IO_BASE_OFFSET + BMC_INFO_ENTRY_SIZE * Index, mScriptedIoBase[Index]);
  }
}

EFI_STATUS
EFIAPI
TestTransportPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  TEST_TRANSPORT  *Transport;
  VOID            *Variables;
  UINTN           Index;
  EFI_STATUS      Status;

  (**(EFI_PEI_SERVICES **)PeiServices).CpuIo = (EFI_PEI_CPU_IO_PPI *)&mCpuIo;
  BuildPlatformBmcInfoHob ();

  if (EFI_ERROR (PeiServicesLocatePpi (&gEfiPeiReadOnlyVariable2PpiGuid, 0, NULL, &Variables))) {
    Status = PeiServicesInstallPpi (&mNoVariablesDescriptor);
    ASSERT_EFI_ERROR (Status);
  }

  //
  // Pool memory: the transport's state moves with the PEI heap when memory
  // is installed, and the PPI database follows it.
  //
  Transport = AllocateZeroPool (sizeof (*Transport));
  if (Transport == NULL) {
    return EFI_OUT_OF_RESOURCES;
  }

  Transport->Signature               = TEST_TRANSPORT_SIGNATURE;
  Transport->Ppi.SendCommand         = TransportSendCommand;
  Transport->Ppi.TrackBmcStatus      = TransportTrackBmcStatus;
  Transport->Ppi.SelectBmc           = TransportSelectBmc;
  Transport->Ppi.GetBmcCount         = TransportGetBmcCount;
  Transport->Ppi.PrepareSecondaryBmc = TransportPrepareSecondaryBmc;
  for (Index = 0; Index < SCRIPTED_BMC_COUNT; Index++) {
    Transport->Bmc[Index].MuxSwitchControl[0]  = 0x06;
    Transport->Bmc[Index].MuxSwitchControl[1]  = 0x08;
    Transport->Bmc[Index].ChannelAccess[0][0] = 0x2A;
    Transport->Bmc[Index].ChannelAccess[0][1] = 0x04;
    Transport->Bmc[Index].ChannelAccess[1][0] = 0x2A;
    Transport->Bmc[Index].ChannelAccess[1][1] = 0x04;
  }

  Transport->Descriptor.Flags = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
  Transport->Descriptor.Guid  = &gIpmiTransportPpiGuid;
  Transport->Descriptor.Ppi   = &Transport->Ppi;
  Status                      = PeiServicesInstallPpi (&Transport->Descriptor);
  DEBUG ((
    DEBUG_INFO,
    "OskelTransport: installed bmcs=%d iobase0=%04x iobase1=%04x status=%x\n",
    SCRIPTED_BMC_COUNT,
    mScriptedIoBase[0],
    mScriptedIoBase[1],
    Status
    ));
  return Status;
}
