/** @file
  Platform pieces of the QEMU board with two KCS BMCs (QEMU's own BMC at
  CA2h, OpenIPMI's ipmi_sim at EA2h), a BT BMC (a second ipmi_sim, BT
  control register at E4h) and, when the fw_cfg file "opt/oskel/ssif" is
  there, an SSIF BMC (a third ipmi_sim at SMBus address 10h, reached
  through the board's SMBus PEIM): the platform BMC information HOB with
  the I/O bases and the BMC count, the IPMI transport's settings HOB
  (the ACPI PM timer at 608h, whose base the board enables, the default
  flag wait, and a ready wait when the fw_cfg file "opt/oskel/ready-wait"
  gives one in seconds) and its interfaces HOB (BMCs 0 and 1 on KCS, BMC 2
  on BT at E4h, BMC 3 on SSIF at 10h), a read-only variable service that
  holds the board's "Setup" (POST watchdog on, serial console sharing on),
  and a logging front for the CPU I/O PPI of UefiCpuPkg's CpuIoPei.

  The front forwards every access to the CPU I/O PPI that CpuIoPei
  installed, and writes the KCS data and command traffic, the BT buffer
  traffic and control register writes, and the progress mailbox writes to
  the debug port, one line each:

    OskelBoard: io out|in port=<port> value=<byte>

  so the boot log shows every byte that crossed an interface. Status and
  control register reads (the polls) are not logged. The board runs in
  place from flash and keeps no writable data of its own.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include <PiPei.h>
#include <Library/BaseMemoryLib.h>
#include <Library/DebugLib.h>
#include <Library/HobLib.h>
#include <Library/PciLib.h>
#include <Library/PeiServicesLib.h>
#include <Library/QemuFwCfgLib.h>
#include <IndustryStandard/Q35MchIch9.h>
#include <Ppi/CpuIo.h>
#include <Ppi/BmcCommands.h>
#include <Ppi/ReadOnlyVariable2.h>
#include <Guid/IpmiTransportConfig.h>

#include "QemuBoard.h"

//
// Platform I/O base of each BMC, and its interface: BMCs 0 and 1 on KCS
// at their bases, BMC 2 on BT at E4h, BMC 3 (when fw_cfg asks for it) on
// SSIF at SMBus address 10h.
//
STATIC CONST UINT16  mBoardIoBase[QEMU_BOARD_BMC_MAX]    = { 0x0000, 0x0200, 0x0400, 0x0800 };
STATIC CONST UINT8   mBoardInterface[QEMU_BOARD_BMC_MAX] = { IPMI_INTERFACE_KCS, IPMI_INTERFACE_KCS, IPMI_INTERFACE_BT, IPMI_INTERFACE_SSIF };
STATIC CONST UINT16  mBoardAddress[QEMU_BOARD_BMC_MAX]   = { 0, 0, QEMU_BOARD_BT_CONTROL, QEMU_BOARD_SSIF_ADDRESS };

//
// Three BMCs, or four with the fw_cfg file that adds the SSIF BMC.
//
STATIC
UINT8
BoardBmcCount (
  VOID
  )
{
  FIRMWARE_CONFIG_ITEM  Item;
  UINTN                 Length;

  if (QemuFwCfgIsAvailable () && !RETURN_ERROR (QemuFwCfgFindFile (QEMU_BOARD_SSIF_FWCFG, &Item, &Length))) {
    return QEMU_BOARD_BMC_MAX;
  }

  return QEMU_BOARD_BMC_COUNT;
}

STATIC
VOID
BoardFillHob (
  OUT UINT8  *Data,
  IN  UINT8  Count
  )
{
  UINTN  Index;

  Data[QEMU_BOARD_HOB_COUNT_OFFSET] = Count;
  for (Index = 0; Index < Count; Index++) {
    Data[QEMU_BOARD_HOB_IO_BASE_OFFSET + QEMU_BOARD_HOB_ENTRY_SIZE * Index]     = (UINT8)mBoardIoBase[Index];
    Data[QEMU_BOARD_HOB_IO_BASE_OFFSET + QEMU_BOARD_HOB_ENTRY_SIZE * Index + 1] = (UINT8)(mBoardIoBase[Index] >> 8);
  }
}

//
// The transport's interfaces HOB: the count, then one entry per BMC
// (interface, reserved, address little-endian).
//
STATIC CONST EFI_GUID  mInterfacesGuid = IPMI_TRANSPORT_INTERFACES_HOB_GUID;

STATIC
VOID
BoardInterfaces (
  IN UINT8  Count
  )
{
  UINT8  *Data;
  UINTN  Index;
  UINTN  Entry;

  Data = BuildGuidHob (&mInterfacesGuid, IPMI_INTERFACES_FIRST_OFFSET + IPMI_INTERFACE_ENTRY_SIZE * Count);
  ASSERT (Data != NULL);
  ZeroMem (Data, IPMI_INTERFACES_FIRST_OFFSET + IPMI_INTERFACE_ENTRY_SIZE * Count);
  Data[IPMI_INTERFACES_COUNT_OFFSET] = Count;
  for (Index = 0; Index < Count; Index++) {
    Entry                                        = IPMI_INTERFACES_FIRST_OFFSET + IPMI_INTERFACE_ENTRY_SIZE * Index;
    Data[Entry + IPMI_INTERFACE_TYPE_OFFSET]        = mBoardInterface[Index];
    Data[Entry + IPMI_INTERFACE_ADDRESS_OFFSET]     = (UINT8)mBoardAddress[Index];
    Data[Entry + IPMI_INTERFACE_ADDRESS_OFFSET + 1] = (UINT8)(mBoardAddress[Index] >> 8);
  }
}

//
// Setup of this board: the module's fields at their offsets, the rest 0.
//
#define SETUP_SIZE                     2778
#define SETUP_WATCHDOG_ENABLE          2323  // 16-bit, little-endian
#define SETUP_WATCHDOG_TIMEOUT         2325  // minutes
#define SETUP_CONSOLE_ENABLE           2610
#define SETUP_MUX_SWITCH_OPTION        2612
#define SETUP_CHANNEL_ACCESS_MODE      2613
#define SETUP_BIT_RATE_INDEX           2616
#define SETUP_FLOW_CONTROL             2622

STATIC CONST EFI_GUID  mConfigGuid = IPMI_TRANSPORT_CONFIG_HOB_GUID;

STATIC CONST CHAR16    mSetupName[] = L"Setup";
STATIC CONST EFI_GUID  mSetupGuid   = BMC_SETUP_VARIABLE_GUID;

STATIC
VOID
FillSetup (
  OUT UINT8  *Image
  )
{
  ZeroMem (Image, SETUP_SIZE);
  Image[SETUP_WATCHDOG_ENABLE]     = 0x01;
  Image[SETUP_WATCHDOG_TIMEOUT]    = QEMU_BOARD_SETUP_WATCHDOG_MINUTES;
  Image[SETUP_CONSOLE_ENABLE]      = 0x01;
  Image[SETUP_MUX_SWITCH_OPTION]   = 0x01;
  Image[SETUP_CHANNEL_ACCESS_MODE] = 0x03;  // shared
  Image[SETUP_BIT_RATE_INDEX]      = 0x04;  // 115200 bit/s
  Image[SETUP_FLOW_CONTROL]        = 0x01;  // XON/XOFF
}

STATIC
EFI_STATUS
EFIAPI
GetBoardVariable (
  IN CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI  *This,
  IN CONST CHAR16                           *VariableName,
  IN CONST EFI_GUID                         *VariableGuid,
  OUT UINT32                                *Attributes OPTIONAL,
  IN OUT UINTN                              *DataSize,
  OUT VOID                                  *Data OPTIONAL
  )
{
  EFI_STATUS  Status;

  if ((VariableName == NULL) || (VariableGuid == NULL) || (DataSize == NULL)) {
    return EFI_INVALID_PARAMETER;
  }

  if ((StrCmp (VariableName, mSetupName) != 0) || !CompareGuid (VariableGuid, &mSetupGuid)) {
    Status = EFI_NOT_FOUND;
  } else if ((*DataSize < SETUP_SIZE) || (Data == NULL)) {
    *DataSize = SETUP_SIZE;
    Status    = EFI_BUFFER_TOO_SMALL;
  } else {
    FillSetup (Data);
    *DataSize = SETUP_SIZE;
    if (Attributes != NULL) {
      *Attributes = EFI_VARIABLE_NON_VOLATILE | EFI_VARIABLE_BOOTSERVICE_ACCESS;
    }

    Status = EFI_SUCCESS;
  }

  DEBUG ((
    DEBUG_INFO,
    "OskelBoard: GetVariable name=%s size=%d status=%x caller=0x%08x\n",
    VariableName,
    *DataSize,
    Status,
    (UINTN)RETURN_ADDRESS (0)
    ));
  return Status;
}

STATIC
EFI_STATUS
EFIAPI
NextBoardVariable (
  IN CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI  *This,
  IN OUT UINTN                              *VariableNameSize,
  IN OUT CHAR16                             *VariableName,
  IN OUT EFI_GUID                           *VariableGuid
  )
{
  return EFI_NOT_FOUND;
}

STATIC CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI  mVariables = { GetBoardVariable, NextBoardVariable };

//
// The CPU I/O front. CpuIoPei puts its PPI in the services table and
// announces it with a PPI that carries no interface; once memory is
// installed its shadow puts its copy there, without announcing anything.
// The board registers for shadow too, so it runs again right after it:
// each time the front takes the table's place and keeps the real table's
// address in a HOB of its own (the board has nowhere else writable, and
// the HOB list follows the PEI core into permanent memory).
//
STATIC CONST EFI_GUID  mCpuIoFrontHobGuid = {
  0x5d0f7a3c, 0x1b84, 0x4e29, { 0x9c, 0x6e, 0x2a, 0x71, 0xd4, 0x08, 0xb3, 0x5f }
};

STATIC
EFI_PEI_CPU_IO_PPI *
RealCpuIo (
  VOID
  )
{
  EFI_HOB_GUID_TYPE  *Hob;

  Hob = GetFirstGuidHob (&mCpuIoFrontHobGuid);
  ASSERT (Hob != NULL);
  return *(EFI_PEI_CPU_IO_PPI **)GET_GUID_HOB_DATA (Hob);
}

STATIC
BOOLEAN
IsLoggedPort (
  IN UINT64   Port,
  IN BOOLEAN  Write
  )
{
  UINTN  Index;

  //
  // BT: the buffer, and the control register's writes; reading it is a
  // poll.
  //
  if ((Port == QEMU_BOARD_BT_BUFFER) || ((Port == QEMU_BOARD_BT_CONTROL) && Write)) {
    return TRUE;
  }

  for (Index = 0; Index < QEMU_BOARD_BMC_MAX; Index++) {
    if ((mBoardInterface[Index] == IPMI_INTERFACE_KCS) && (Port == (UINT64)mBoardIoBase[Index] + KCS_DATA_PORT)) {
      return TRUE;
    }

    // The command register is written; reading it is a status poll.
    if ((mBoardInterface[Index] == IPMI_INTERFACE_KCS) && (Port == (UINT64)mBoardIoBase[Index] + KCS_COMMAND_PORT) && Write) {
      return TRUE;
    }

    // The progress mailbox of BMC i: CB5h..CBFh and 4Eh/4Fh, moved by its base.
    if (Write && (((Port >= (UINT64)mBoardIoBase[Index] + 0xCB5) && (Port <= (UINT64)mBoardIoBase[Index] + 0xCBF)) ||
                  (Port == (UINT64)mBoardIoBase[Index] + 0x4E) || (Port == (UINT64)mBoardIoBase[Index] + 0x4F)))
    {
      return TRUE;
    }
  }

  return FALSE;
}

STATIC
VOID
LogAccess (
  IN BOOLEAN                    Write,
  IN EFI_PEI_CPU_IO_PPI_WIDTH   Width,
  IN UINT64                     Address,
  IN UINTN                      Count,
  IN CONST VOID                 *Buffer
  )
{
  UINTN  Index;

  if ((Width != EfiPeiCpuIoWidthUint8) || !IsLoggedPort (Address, Write)) {
    return;
  }

  for (Index = 0; Index < Count; Index++) {
    DEBUG ((DEBUG_INFO, "OskelBoard: io %a port=%04x value=%02x\n", Write ? "out" : "in", (UINTN)Address, ((CONST UINT8 *)Buffer)[Index]));
  }
}

STATIC
EFI_STATUS
EFIAPI
FrontIoRead (
  IN  CONST EFI_PEI_SERVICES    **PeiServices,
  IN  CONST EFI_PEI_CPU_IO_PPI  *This,
  IN  EFI_PEI_CPU_IO_PPI_WIDTH  Width,
  IN  UINT64                    Address,
  IN  UINTN                     Count,
  OUT VOID                      *Buffer
  )
{
  EFI_PEI_CPU_IO_PPI  *CpuIo;
  EFI_STATUS          Status;

  CpuIo  = RealCpuIo ();
  Status = CpuIo->Io.Read (PeiServices, CpuIo, Width, Address, Count, Buffer);
  if (!EFI_ERROR (Status)) {
    LogAccess (FALSE, Width, Address, Count, Buffer);
  }

  return Status;
}

STATIC
EFI_STATUS
EFIAPI
FrontIoWrite (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN EFI_PEI_CPU_IO_PPI_WIDTH  Width,
  IN UINT64                    Address,
  IN UINTN                     Count,
  IN VOID                      *Buffer
  )
{
  EFI_PEI_CPU_IO_PPI  *CpuIo;

  CpuIo = RealCpuIo ();
  LogAccess (TRUE, Width, Address, Count, Buffer);
  return CpuIo->Io.Write (PeiServices, CpuIo, Width, Address, Count, Buffer);
}

STATIC
EFI_STATUS
EFIAPI
FrontMemRead (
  IN  CONST EFI_PEI_SERVICES    **PeiServices,
  IN  CONST EFI_PEI_CPU_IO_PPI  *This,
  IN  EFI_PEI_CPU_IO_PPI_WIDTH  Width,
  IN  UINT64                    Address,
  IN  UINTN                     Count,
  OUT VOID                      *Buffer
  )
{
  EFI_PEI_CPU_IO_PPI  *CpuIo;

  CpuIo = RealCpuIo ();
  return CpuIo->Mem.Read (PeiServices, CpuIo, Width, Address, Count, Buffer);
}

STATIC
EFI_STATUS
EFIAPI
FrontMemWrite (
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN EFI_PEI_CPU_IO_PPI_WIDTH  Width,
  IN UINT64                    Address,
  IN UINTN                     Count,
  IN VOID                      *Buffer
  )
{
  EFI_PEI_CPU_IO_PPI  *CpuIo;

  CpuIo = RealCpuIo ();
  return CpuIo->Mem.Write (PeiServices, CpuIo, Width, Address, Count, Buffer);
}

//
// The single-width helpers go straight to the real PPI: the KCS transport
// and the module use Io.Read and Io.Write only.
//
#define FORWARD_READ(Name, Type)                                                        \
  STATIC Type EFIAPI Name (IN CONST EFI_PEI_SERVICES **PeiServices,                    \
                           IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address)       \
  { EFI_PEI_CPU_IO_PPI *CpuIo = RealCpuIo (); return CpuIo->Name (PeiServices, CpuIo, Address); }
#define FORWARD_WRITE(Name, Type)                                                       \
  STATIC VOID EFIAPI Name (IN CONST EFI_PEI_SERVICES **PeiServices,                    \
                           IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address,       \
                           IN Type Data)                                               \
  { EFI_PEI_CPU_IO_PPI *CpuIo = RealCpuIo (); CpuIo->Name (PeiServices, CpuIo, Address, Data); }

FORWARD_READ (IoRead8, UINT8)
FORWARD_READ (IoRead16, UINT16)
FORWARD_READ (IoRead32, UINT32)
FORWARD_READ (IoRead64, UINT64)
FORWARD_WRITE (IoWrite8, UINT8)
FORWARD_WRITE (IoWrite16, UINT16)
FORWARD_WRITE (IoWrite32, UINT32)
FORWARD_WRITE (IoWrite64, UINT64)
FORWARD_READ (MemRead8, UINT8)
FORWARD_READ (MemRead16, UINT16)
FORWARD_READ (MemRead32, UINT32)
FORWARD_READ (MemRead64, UINT64)
FORWARD_WRITE (MemWrite8, UINT8)
FORWARD_WRITE (MemWrite16, UINT16)
FORWARD_WRITE (MemWrite32, UINT32)
FORWARD_WRITE (MemWrite64, UINT64)

STATIC CONST EFI_PEI_CPU_IO_PPI  mCpuIoFront = {
  { FrontMemRead, FrontMemWrite },
  { FrontIoRead,  FrontIoWrite  },
  IoRead8,
  IoRead16,
  IoRead32,
  IoRead64,
  IoWrite8,
  IoWrite16,
  IoWrite32,
  IoWrite64,
  MemRead8,
  MemRead16,
  MemRead32,
  MemRead64,
  MemWrite8,
  MemWrite16,
  MemWrite32,
  MemWrite64
};

STATIC
VOID
PlaceFront (
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  EFI_PEI_CPU_IO_PPI  *Real;
  EFI_HOB_GUID_TYPE   *Hob;
  VOID                *Data;

  Real = (*PeiServices)->CpuIo;
  if (Real == &mCpuIoFront) {
    return;
  }

  Hob = GetFirstGuidHob (&mCpuIoFrontHobGuid);
  Data = (Hob != NULL) ? GET_GUID_HOB_DATA (Hob) : BuildGuidHob (&mCpuIoFrontHobGuid, sizeof (Real));
  ASSERT (Data != NULL);
  CopyMem (Data, &Real, sizeof (Real));
  (**(EFI_PEI_SERVICES **)PeiServices).CpuIo = (EFI_PEI_CPU_IO_PPI *)&mCpuIoFront;
  DEBUG ((DEBUG_INFO, "OskelBoard: CPU I/O front before 0x%08x\n", (UINTN)Real));
}

STATIC CONST EFI_PEI_PPI_DESCRIPTOR  mVariablesDescriptor = {
  EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
  &gEfiPeiReadOnlyVariable2PpiGuid,
  (VOID *)&mVariables
};

//
// The ready wait in microseconds from fw_cfg (decimal seconds), 0 when the
// file is absent.
//
STATIC
UINT32
ReadyWaitFromFwCfg (
  VOID
  )
{
  FIRMWARE_CONFIG_ITEM  Item;
  UINTN                 Length;
  CHAR8                 Text[8];
  UINT32                Seconds;
  UINTN                 Index;

  if (!QemuFwCfgIsAvailable () || RETURN_ERROR (QemuFwCfgFindFile ("opt/oskel/ready-wait", &Item, &Length))) {
    return 0;
  }

  Length = (Length < sizeof (Text)) ? Length : sizeof (Text);
  QemuFwCfgSelectItem (Item);
  QemuFwCfgReadBytes (Length, Text);
  Seconds = 0;
  for (Index = 0; (Index < Length) && (Text[Index] >= '0') && (Text[Index] <= '9'); Index++) {
    Seconds = Seconds * 10 + (Text[Index] - '0');
  }

  return (Seconds > 60) ? 60000000 : Seconds * 1000000;
}

//
// The transport's clock is the chipset's ACPI PM timer: the board makes
// sure the ICH9 decodes its power-management block at 600h before the
// transport runs, as OVMF's own timer library does for itself.
//
STATIC
VOID
BoardSettings (
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  EFI_PEI_CPU_IO_PPI  *CpuIo;
  UINT8   *Data;
  UINT32  ReadyWait;
  UINTN   Index;

  if ((PciRead8 (POWER_MGMT_REGISTER_Q35 (ICH9_ACPI_CNTL)) & ICH9_ACPI_CNTL_ACPI_EN) == 0) {
    PciAndThenOr32 (POWER_MGMT_REGISTER_Q35 (ICH9_PMBASE), ~(UINT32)ICH9_PMBASE_MASK, QEMU_BOARD_PM_TIMER_PORT - 8);
    PciOr8 (POWER_MGMT_REGISTER_Q35 (ICH9_ACPI_CNTL), ICH9_ACPI_CNTL_ACPI_EN);
  }

  CpuIo     = (*PeiServices)->CpuIo;
  ReadyWait = ReadyWaitFromFwCfg ();
  Data      = BuildGuidHob (&mConfigGuid, IPMI_CONFIG_DATA_SIZE);
  ASSERT (Data != NULL);
  ZeroMem (Data, IPMI_CONFIG_DATA_SIZE);
  for (Index = 0; Index < 4; Index++) {
    Data[IPMI_CONFIG_READY_WAIT_OFFSET + Index] = (UINT8)(ReadyWait >> (8 * Index));
  }

  Data[IPMI_CONFIG_PM_TIMER_OFFSET]     = (UINT8)QEMU_BOARD_PM_TIMER_PORT;
  Data[IPMI_CONFIG_PM_TIMER_OFFSET + 1] = (UINT8)(QEMU_BOARD_PM_TIMER_PORT >> 8);
  DEBUG ((
    DEBUG_INFO,
    "OskelBoard: transport settings flagwait=default readywait=%d pmtimer=%04x now=%08x\n",
    ReadyWait,
    QEMU_BOARD_PM_TIMER_PORT,
    CpuIo->IoRead32 (PeiServices, CpuIo, QEMU_BOARD_PM_TIMER_PORT)
    ));
}

EFI_STATUS
EFIAPI
QemuBoardPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  UINT8       *Data;
  UINTN       Index;
  UINT8       Count;
  EFI_STATUS  Status;

  if (PeiServicesRegisterForShadow (FileHandle) == EFI_ALREADY_STARTED) {
    PlaceFront (PeiServices);
    return EFI_SUCCESS;
  }

  Count = BoardBmcCount ();
  Data  = BuildGuidHob (&gPlatformBmcInfoHobGuid, QEMU_BOARD_HOB_DATA_SIZE (Count));
  ASSERT (Data != NULL);
  ZeroMem (Data, QEMU_BOARD_HOB_DATA_SIZE (Count));
  BoardFillHob (Data, Count);
  BoardSettings (PeiServices);
  BoardInterfaces (Count);

  PlaceFront (PeiServices);
  Status = PeiServicesInstallPpi (&mVariablesDescriptor);
  for (Index = 0; Index < Count; Index++) {
    if (mBoardInterface[Index] == IPMI_INTERFACE_KCS) {
      DEBUG ((DEBUG_INFO, "OskelBoard: bmc=%d kcs=%04x\n", Index, mBoardIoBase[Index] + KCS_DATA_PORT));
    } else if (mBoardInterface[Index] == IPMI_INTERFACE_BT) {
      DEBUG ((DEBUG_INFO, "OskelBoard: bmc=%d bt=%04x\n", Index, mBoardAddress[Index]));
    } else {
      DEBUG ((DEBUG_INFO, "OskelBoard: bmc=%d ssif=%02x\n", Index, mBoardAddress[Index]));
    }
  }

  DEBUG ((DEBUG_INFO, "OskelBoard: installed bmcs=%d setup=%d status=%x\n", Count, SETUP_SIZE, Status));
  return Status;
}
