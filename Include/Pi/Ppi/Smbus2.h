/** @file
  Standalone definition of the PI SMBus2 PPI, standing in for MdePkg's
  Ppi/Smbus2.h (and the SMBus types of IndustryStandard/SmBus.h) under the
  same include name: the board's SMBus host controller driver publishes
  it, and a PEIM reaches the devices on that bus through it alone.

  EFI_SMBUS_DEVICE_ADDRESS is passed by value. PI declares it as a record
  of one UINTN bit-field, 7 bits wide; here it is that UINTN whole, the
  address in bits 6:0 and the bits above 0. Both are one UINTN in size and
  are passed the same way by every calling convention PI uses (a register
  or one stack slot), so a driver built with either definition takes what
  a caller built with the other passes, and no layout here depends on how
  a compiler allocates bit-fields.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>

#ifdef __cplusplus
extern "C" {
#endif

#define EFI_PEI_SMBUS2_PPI_GUID \
  { 0x9ca93627, 0xb65b, 0x4324, { 0xa2, 0x02, 0xc0, 0xb4, 0x61, 0x76, 0x45, 0x43 } }

typedef struct _EFI_PEI_SMBUS2_PPI EFI_PEI_SMBUS2_PPI;

//
// A device's 7-bit SMBus address (the address byte on the wire without its
// read/write bit) in bits 6:0.
//
typedef struct {
  UINTN    SmbusDeviceAddress;
} EFI_SMBUS_DEVICE_ADDRESS;

//
// The command (register) byte an SMBus transaction sends after the address.
//
typedef UINTN EFI_SMBUS_DEVICE_COMMAND;

//
// The SMBus protocol of one Execute call. A block read returns the byte
// count the device sent in Length and that many bytes in Buffer; a block
// write sends Length bytes, preceded on the wire by the count.
//
typedef enum {
  EfiSmbusQuickRead,
  EfiSmbusQuickWrite,
  EfiSmbusReceiveByte,
  EfiSmbusSendByte,
  EfiSmbusReadByte,
  EfiSmbusWriteByte,
  EfiSmbusReadWord,
  EfiSmbusWriteWord,
  EfiSmbusReadBlock,
  EfiSmbusWriteBlock,
  EfiSmbusProcessCall,
  EfiSmbusBWBRProcessCall
} EFI_SMBUS_OPERATION;

//
// The SMBus Unique Device Identifier that address resolution (ARP) reads.
//
typedef struct {
  UINT32    VendorSpecificId;
  UINT16    SubsystemDeviceId;
  UINT16    SubsystemVendorId;
  UINT16    Interface;
  UINT16    DeviceId;
  UINT16    VendorId;
  UINT8     VendorRevision;
  UINT8     DeviceCapabilities;
} EFI_SMBUS_UDID;

typedef struct {
  EFI_SMBUS_DEVICE_ADDRESS    SmbusDeviceAddress;
  EFI_SMBUS_UDID              SmbusDeviceUdid;
} EFI_SMBUS_DEVICE_MAP;

/**
  Runs one SMBus transaction with a device and returns when it has ended,
  well or not.

  @param[in]      This          The PPI instance.
  @param[in]      SlaveAddress  The device's 7-bit address.
  @param[in]      Command       The command byte sent after the address.
  @param[in]      Operation     The SMBus protocol of the transaction.
  @param[in]      PecCheck      TRUE: the transaction carries a packet error
                                code, checked on what is read.
  @param[in, out] Length        In: the bytes to write, or room in Buffer
                                for a read. Out: the bytes moved.
  @param[in, out] Buffer        The bytes to write, or room for those read.

  @retval EFI_SUCCESS            The transaction ended well.
  @retval EFI_CRC_ERROR          The packet error code did not match.
  @retval EFI_TIMEOUT            The controller gave up on the transaction.
  @retval EFI_OUT_OF_RESOURCES   The controller could not take it.
  @retval EFI_DEVICE_ERROR       The controller reported a failure: no device
                                 acknowledged (NACK), a collision, a bus error.
  @retval EFI_INVALID_PARAMETER  Operation unknown, or Length or Buffer
                                 missing or out of range.
  @retval EFI_UNSUPPORTED        The operation or PEC is not supported.
  @retval EFI_BUFFER_TOO_SMALL   Buffer cannot hold what the transaction moves.
**/
typedef EFI_STATUS (EFIAPI *EFI_PEI_SMBUS2_PPI_EXECUTE_OPERATION)(
  IN CONST EFI_PEI_SMBUS2_PPI      *This,
  IN EFI_SMBUS_DEVICE_ADDRESS      SlaveAddress,
  IN EFI_SMBUS_DEVICE_COMMAND      Command,
  IN EFI_SMBUS_OPERATION           Operation,
  IN BOOLEAN                       PecCheck,
  IN OUT UINTN                     *Length,
  IN OUT VOID                      *Buffer
  );

/**
  Address resolution: enumerates every device on the bus, or the one
  device SmbusUdid names, at SlaveAddress.

  @param[in]      This          The PPI instance.
  @param[in]      ArpAll        TRUE: every device; SmbusUdid and
                                SlaveAddress may be NULL.
  @param[in]      SmbusUdid     The device to enumerate when ArpAll is FALSE.
  @param[in, out] SlaveAddress  The address it is given.

  @retval EFI_SUCCESS            The address was set.
  @retval EFI_INVALID_PARAMETER  SlaveAddress is NULL.
  @retval EFI_OUT_OF_RESOURCES   The request could not be taken.
  @retval EFI_TIMEOUT            The device did not respond.
  @retval EFI_DEVICE_ERROR       The transaction failed.
  @retval EFI_UNSUPPORTED        The driver does not resolve addresses.
**/
typedef EFI_STATUS (EFIAPI *EFI_PEI_SMBUS2_PPI_ARP_DEVICE)(
  IN CONST EFI_PEI_SMBUS2_PPI      *This,
  IN BOOLEAN                       ArpAll,
  IN EFI_SMBUS_UDID                *SmbusUdid OPTIONAL,
  IN OUT EFI_SMBUS_DEVICE_ADDRESS  *SlaveAddress OPTIONAL
  );

/**
  The devices address resolution has found.

  @param[in]      This            The PPI instance.
  @param[in, out] Length          The size of the map.
  @param[in, out] SmbusDeviceMap  The map.

  @retval EFI_SUCCESS      The map was returned.
  @retval EFI_UNSUPPORTED  The driver does not resolve addresses.
**/
typedef EFI_STATUS (EFIAPI *EFI_PEI_SMBUS2_PPI_GET_ARP_MAP)(
  IN CONST EFI_PEI_SMBUS2_PPI      *This,
  IN OUT UINTN                     *Length,
  IN OUT EFI_SMBUS_DEVICE_MAP      **SmbusDeviceMap
  );

/**
  A function Notify registers, called when a device sends the host notify
  its address and data name.

  @param[in] SmbusPpi      The PPI instance.
  @param[in] SlaveAddress  The notifying device's address.
  @param[in] Data          The data it sent.

  @retval EFI_SUCCESS  Handled.
**/
typedef EFI_STATUS (EFIAPI *EFI_PEI_SMBUS_NOTIFY2_FUNCTION)(
  IN CONST EFI_PEI_SMBUS2_PPI      *SmbusPpi,
  IN EFI_SMBUS_DEVICE_ADDRESS      SlaveAddress,
  IN UINTN                         Data
  );

/**
  Registers NotifyFunction for a host notify from SlaveAddress with Data.

  @param[in] This            The PPI instance.
  @param[in] SlaveAddress    The device's address.
  @param[in] Data            The data of the notify.
  @param[in] NotifyFunction  The function to call.

  @retval EFI_SUCCESS      Registered.
  @retval EFI_UNSUPPORTED  The driver takes no host notify.
**/
typedef EFI_STATUS (EFIAPI *EFI_PEI_SMBUS2_PPI_NOTIFY)(
  IN CONST EFI_PEI_SMBUS2_PPI      *This,
  IN EFI_SMBUS_DEVICE_ADDRESS      SlaveAddress,
  IN UINTN                         Data,
  IN EFI_PEI_SMBUS_NOTIFY2_FUNCTION  NotifyFunction
  );

struct _EFI_PEI_SMBUS2_PPI {
  EFI_PEI_SMBUS2_PPI_EXECUTE_OPERATION    Execute;
  EFI_PEI_SMBUS2_PPI_ARP_DEVICE           ArpDevice;
  EFI_PEI_SMBUS2_PPI_GET_ARP_MAP          GetArpMap;
  EFI_PEI_SMBUS2_PPI_NOTIFY               Notify;
  //
  // The GUID of the controller this instance drives, telling two SMBus
  // controllers of one board apart.
  //
  EFI_GUID                                Identifier;
};

#ifdef __cplusplus
}
#endif
