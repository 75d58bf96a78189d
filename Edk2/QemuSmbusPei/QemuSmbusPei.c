/** @file
  EFI_PEI_SMBUS2_PPI for the SMBus host controller of QEMU's q35 chipset
  (ICH9, PCI 00:1F.3), as a board's SMBus PEIM provides it: the PEIM gives
  the controller its I/O base and turns on its host interface, then runs
  each Execute as one transaction of the host controller, polled. Block
  reads and writes (what SSIF uses) go through the controller's 32-byte
  block buffer (AUX_CTL E32B); quick, byte, word and process-call
  operations are not needed on this board and are refused.

  Every block transaction is written to the debug port, one line each:

    OskelBoard: smbus write|read addr=<7-bit> cmd=<byte> status=<EFI_STATUS> data=<hex>

  so the boot check rebuilds every SSIF transaction from the boot log.

  Board code: the IPMI transport reaches its SSIF BMCs through this PPI and
  never touches the controller itself.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include <PiPei.h>
#include <Library/DebugLib.h>
#include <Library/IoLib.h>
#include <Library/PciLib.h>
#include <Library/PeiServicesLib.h>
#include <Library/TimerLib.h>
#include <Ppi/Smbus2.h>

//
// The controller's PCI function and its configuration registers: the I/O
// base (SMB_BASE, bits 15:5) and the host configuration (HOSTC: HST_EN
// turns the host interface on; I2C_EN, left clear, would drop the SMBus
// command and count bytes).
//
#define SMBUS_PCI_BUS       0
#define SMBUS_PCI_DEVICE    0x1F
#define SMBUS_PCI_FUNCTION  3
#define SMBUS_PCI(Register)  PCI_LIB_ADDRESS (SMBUS_PCI_BUS, SMBUS_PCI_DEVICE, SMBUS_PCI_FUNCTION, Register)

#define SMBUS_CFG_COMMAND   0x04
#define SMBUS_CFG_BASE      0x20
#define SMBUS_CFG_HOSTC     0x40
#define PCI_COMMAND_IO      0x01
#define HOSTC_HST_EN        0x01

//
// The I/O base this board gives the controller in PEI, clear of the PM
// block at 600h and of the BMCs' ports. ICH9 decodes 32 bytes; QEMU's
// model 64, so the base is 64-byte aligned or QEMU masks it lower. PCI
// enumeration places it again later.
//
#define SMBUS_IO_BASE  0xEFC0

//
// Host registers, from the I/O base.
//
#define SMBUS_HST_STS    0x00
#define SMBUS_HST_CNT    0x02
#define SMBUS_HST_CMD    0x03
#define SMBUS_XMIT_SLVA  0x04
#define SMBUS_HST_D0     0x05
#define SMBUS_BLOCK_DB   0x07
#define SMBUS_AUX_STS    0x0C
#define SMBUS_AUX_CTL    0x0D

//
// HST_STS: HOST_BUSY, then the ends of a transaction: INTR (done),
// DEV_ERR (no acknowledge, or a refused command), BUS_ERR (collision),
// FAILED (killed). Writing 1 clears a bit.
//
#define HST_STS_HOST_BUSY  0x01
#define HST_STS_INTR       0x02
#define HST_STS_DEV_ERR    0x04
#define HST_STS_BUS_ERR    0x08
#define HST_STS_FAILED     0x10
#define HST_STS_ENDS       (HST_STS_INTR | HST_STS_DEV_ERR | HST_STS_BUS_ERR | HST_STS_FAILED)
#define HST_STS_CLEAR      0xFE

//
// HST_CNT: the block protocol (bits 4:2 = 101b), START, PEC_EN (the
// controller checks or appends the packet error code); KILL ends a
// transaction that does not. AUX_CTL: E32B (the 32-byte buffer), AAC
// (append the PEC on writes). AUX_STS: CRCE (PEC mismatch on a read).
//
#define HST_CNT_KILL       0x02
#define HST_CNT_BLOCK      0x14
#define HST_CNT_START      0x40
#define HST_CNT_PEC_EN     0x80
#define AUX_CTL_AAC        0x01
#define AUX_CTL_E32B       0x02
#define AUX_STS_CRCE       0x01

#define SMBUS_BLOCK_MAX    32

//
// An SMBus transaction lasts at most a few milliseconds: a device may hold
// the clock low for 25 ms in all, the host 10 ms per byte. Past 50 ms the
// controller is killed and the transaction reported as timed out.
//
#define SMBUS_POLL_US       10
#define SMBUS_TIMEOUT_US    50000

STATIC
VOID
LogBlock (
  IN BOOLEAN      Write,
  IN UINTN        Address,
  IN UINTN        Command,
  IN EFI_STATUS   Status,
  IN CONST UINT8  *Data,
  IN UINTN        Length
  )
{
  CHAR8  Hex[2 * SMBUS_BLOCK_MAX + 1];
  UINTN  Index;

  for (Index = 0; Index < Length && Index < SMBUS_BLOCK_MAX; Index++) {
    Hex[2 * Index]     = "0123456789abcdef"[Data[Index] >> 4];
    Hex[2 * Index + 1] = "0123456789abcdef"[Data[Index] & 0x0F];
  }

  Hex[2 * Index] = '\0';
  DEBUG ((
    DEBUG_INFO,
    "OskelBoard: smbus %a addr=%02x cmd=%02x status=%r data=%a\n",
    Write ? "write" : "read",
    Address,
    Command,
    Status,
    Hex
    ));
}

/**
  Starts the transaction set up in the host registers and waits for its
  end, bounded in time.

  @retval EFI_SUCCESS       Done.
  @retval EFI_DEVICE_ERROR  The device did not acknowledge, or the bus
                            failed.
  @retval EFI_CRC_ERROR     The packet error code did not match.
  @retval EFI_TIMEOUT       No end within the time limit; killed.
**/
STATIC
EFI_STATUS
RunTransaction (
  IN UINT8  Control
  )
{
  UINTN  Waited;
  UINT8  Status;

  IoWrite8 (SMBUS_IO_BASE + SMBUS_HST_CNT, Control | HST_CNT_START);
  for (Waited = 0; ; Waited += SMBUS_POLL_US) {
    Status = IoRead8 (SMBUS_IO_BASE + SMBUS_HST_STS);
    if ((Status & HST_STS_HOST_BUSY) == 0 && (Status & HST_STS_ENDS) != 0) {
      break;
    }

    if (Waited >= SMBUS_TIMEOUT_US) {
      IoWrite8 (SMBUS_IO_BASE + SMBUS_HST_CNT, HST_CNT_KILL);
      MicroSecondDelay (SMBUS_POLL_US);
      IoWrite8 (SMBUS_IO_BASE + SMBUS_HST_CNT, 0);
      IoWrite8 (SMBUS_IO_BASE + SMBUS_HST_STS, HST_STS_CLEAR);
      return EFI_TIMEOUT;
    }

    MicroSecondDelay (SMBUS_POLL_US);
  }

  IoWrite8 (SMBUS_IO_BASE + SMBUS_HST_STS, HST_STS_CLEAR);
  if ((Status & (HST_STS_DEV_ERR | HST_STS_BUS_ERR | HST_STS_FAILED)) != 0) {
    return EFI_DEVICE_ERROR;
  }

  if ((IoRead8 (SMBUS_IO_BASE + SMBUS_AUX_STS) & AUX_STS_CRCE) != 0) {
    IoWrite8 (SMBUS_IO_BASE + SMBUS_AUX_STS, AUX_STS_CRCE);
    return EFI_CRC_ERROR;
  }

  return EFI_SUCCESS;
}

STATIC
EFI_STATUS
EFIAPI
SmbusExecute (
  IN CONST EFI_PEI_SMBUS2_PPI      *This,
  IN EFI_SMBUS_DEVICE_ADDRESS      SlaveAddress,
  IN EFI_SMBUS_DEVICE_COMMAND      Command,
  IN EFI_SMBUS_OPERATION           Operation,
  IN BOOLEAN                       PecCheck,
  IN OUT UINTN                     *Length,
  IN OUT VOID                      *Buffer
  )
{
  UINT8       *Data;
  UINT8       Control;
  UINTN       Count;
  UINTN       Index;
  EFI_STATUS  Status;

  Data = Buffer;
  if ((Operation != EfiSmbusWriteBlock) && (Operation != EfiSmbusReadBlock)) {
    return EFI_UNSUPPORTED;
  }

  if ((Length == NULL) || (Buffer == NULL) || (SlaveAddress.SmbusDeviceAddress > 0x7F) || (Command > 0xFF)) {
    return EFI_INVALID_PARAMETER;
  }

  if ((Operation == EfiSmbusWriteBlock) && ((*Length == 0) || (*Length > SMBUS_BLOCK_MAX))) {
    return EFI_INVALID_PARAMETER;
  }

  //
  // A transaction left busy (another agent, or one killed) is ended
  // first; the controller takes no new one while HOST_BUSY is set.
  //
  if ((IoRead8 (SMBUS_IO_BASE + SMBUS_HST_STS) & HST_STS_HOST_BUSY) != 0) {
    return EFI_DEVICE_ERROR;
  }

  IoWrite8 (SMBUS_IO_BASE + SMBUS_HST_STS, HST_STS_CLEAR);
  IoWrite8 (SMBUS_IO_BASE + SMBUS_AUX_CTL, AUX_CTL_E32B | (PecCheck ? AUX_CTL_AAC : 0));
  IoWrite8 (SMBUS_IO_BASE + SMBUS_HST_CMD, (UINT8)Command);
  Control = HST_CNT_BLOCK | (PecCheck ? HST_CNT_PEC_EN : 0);

  if (Operation == EfiSmbusWriteBlock) {
    //
    // The count, then the bytes into the block buffer; reading HST_CNT
    // points the buffer's index at its start.
    //
    IoWrite8 (SMBUS_IO_BASE + SMBUS_XMIT_SLVA, (UINT8)(SlaveAddress.SmbusDeviceAddress << 1));
    IoWrite8 (SMBUS_IO_BASE + SMBUS_HST_D0, (UINT8)*Length);
    (VOID)IoRead8 (SMBUS_IO_BASE + SMBUS_HST_CNT);
    for (Index = 0; Index < *Length; Index++) {
      IoWrite8 (SMBUS_IO_BASE + SMBUS_BLOCK_DB, Data[Index]);
    }

    Status = RunTransaction (Control);
    LogBlock (TRUE, SlaveAddress.SmbusDeviceAddress, Command, Status, Data, *Length);
    return Status;
  }

  IoWrite8 (SMBUS_IO_BASE + SMBUS_XMIT_SLVA, (UINT8)((SlaveAddress.SmbusDeviceAddress << 1) | 1));
  Status = RunTransaction (Control);
  Count  = 0;
  if (!EFI_ERROR (Status)) {
    //
    // The device's count, then every byte it sent out of the buffer (all
    // of them, so the buffer's index ends at its start); only what the
    // caller has room for is kept.
    //
    Count = IoRead8 (SMBUS_IO_BASE + SMBUS_HST_D0);
    if (Count > SMBUS_BLOCK_MAX) {
      Count = 0;
    }

    (VOID)IoRead8 (SMBUS_IO_BASE + SMBUS_HST_CNT);
    for (Index = 0; Index < Count; Index++) {
      UINT8  Byte;

      Byte = IoRead8 (SMBUS_IO_BASE + SMBUS_BLOCK_DB);
      if (Index < *Length) {
        Data[Index] = Byte;
      }
    }

    if (Count > *Length) {
      Status = EFI_BUFFER_TOO_SMALL;
    }
  }

  LogBlock (FALSE, SlaveAddress.SmbusDeviceAddress, Command, Status, Data, EFI_ERROR (Status) ? 0 : Count);
  *Length = EFI_ERROR (Status) ? 0 : Count;
  return Status;
}

STATIC
EFI_STATUS
EFIAPI
SmbusArpDevice (
  IN CONST EFI_PEI_SMBUS2_PPI  *This,
  IN BOOLEAN                   ArpAll,
  IN EFI_SMBUS_UDID            *SmbusUdid OPTIONAL,
  IN OUT EFI_SMBUS_DEVICE_ADDRESS  *SlaveAddress OPTIONAL
  )
{
  return EFI_UNSUPPORTED;
}

STATIC
EFI_STATUS
EFIAPI
SmbusGetArpMap (
  IN CONST EFI_PEI_SMBUS2_PPI  *This,
  IN OUT UINTN                 *Length,
  IN OUT EFI_SMBUS_DEVICE_MAP  **SmbusDeviceMap
  )
{
  *Length = 0;
  return EFI_SUCCESS;
}

STATIC
EFI_STATUS
EFIAPI
SmbusNotify (
  IN CONST EFI_PEI_SMBUS2_PPI              *This,
  IN EFI_SMBUS_DEVICE_ADDRESS              SlaveAddress,
  IN UINTN                                 Data,
  IN EFI_PEI_SMBUS_NOTIFY2_FUNCTION        NotifyFunction
  )
{
  return EFI_UNSUPPORTED;
}

STATIC CONST EFI_PEI_SMBUS2_PPI  mSmbus2 = {
  SmbusExecute,
  SmbusArpDevice,
  SmbusGetArpMap,
  SmbusNotify,
  { 0x0, 0x0, 0x0, { 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0, 0x0 } }
};

STATIC CONST EFI_PEI_PPI_DESCRIPTOR  mSmbus2Descriptor = {
  EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
  &gEfiPeiSmbus2PpiGuid,
  (VOID *)&mSmbus2
};

EFI_STATUS
EFIAPI
QemuSmbusPeiEntryPoint (
  IN       EFI_PEI_FILE_HANDLE  FileHandle,
  IN CONST EFI_PEI_SERVICES     **PeiServices
  )
{
  //
  // The I/O base, I/O decoding, then the host interface on.
  //
  PciWrite32 (SMBUS_PCI (SMBUS_CFG_BASE), SMBUS_IO_BASE | 1);
  PciOr16 (SMBUS_PCI (SMBUS_CFG_COMMAND), PCI_COMMAND_IO);
  PciOr8 (SMBUS_PCI (SMBUS_CFG_HOSTC), HOSTC_HST_EN);
  IoWrite8 (SMBUS_IO_BASE + SMBUS_HST_STS, HST_STS_CLEAR);
  DEBUG ((DEBUG_INFO, "OskelBoard: smbus controller at %04x\n", SMBUS_IO_BASE));
  return PeiServicesInstallPpi (&mSmbus2Descriptor);
}
