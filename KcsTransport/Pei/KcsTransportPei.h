/** @file
  Internal interface of the KCS transport PEIM: the pool record, the KCS
  register transaction and the five transport operations.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>
#include <Ppi/BmcCommands.h>
#include <Ppi/IpmiTransport.h>

#include <OskelCompiler.h>

//
// Register arguments between the PEIM's own functions on IA32, to keep the
// transaction's frames small; never on EFIAPI or PI interfaces.
//
#define KCS_INTERNAL  OSKEL_INTERNAL

namespace OskelKcs {

inline constexpr EFI_GUID  mIpmiTransportPpiGuid   = IPMI_TRANSPORT_PPI_GUID;
inline constexpr EFI_GUID  mPlatformBmcInfoHobGuid = PLATFORM_BMC_INFO_HOB_GUID;

//
// Reserved[0] of the published PPI: the consumer never reads it, so it
// marks our own record among the transports a LocatePpi may return.
//
constexpr UINT32  KCS_TRANSPORT_SIGNATURE = 0x5053434B;  // "KCSP"

//
// The most BMCs one record serves; a larger count in the HOB is clamped.
//
constexpr UINT8  KCS_MAX_BMCS = 8;

//
// Platform BMC information HOB, offsets from the start of the HOB. BMC i's
// I/O base is a 16-bit little-endian value at 590 + 21 * i; the byte just
// before BMC 0's base is the number of BMCs the platform has.
//
constexpr UINTN  KCS_HOB_BMC_COUNT_OFFSET   = 589;
constexpr UINTN  KCS_HOB_IO_BASE_OFFSET     = 590;
constexpr UINTN  KCS_HOB_ENTRY_STRIDE       = 21;

//
// KCS registers relative to a BMC's platform I/O base.
//
constexpr UINT16  KCS_DATA_PORT_OFFSET   = 0x0CA2;
constexpr UINT16  KCS_STATUS_PORT_OFFSET = 0x0CA3;

//
// Status register: OBF bit 0, IBF bit 1, interface state in bits 7:6.
//
constexpr UINT8  KCS_STATUS_OBF        = 0x01;
constexpr UINT8  KCS_STATUS_IBF        = 0x02;
constexpr UINT8  KCS_STATUS_STATE_SHIFT = 6;
constexpr UINT8  KCS_STATE_IDLE        = 0;
constexpr UINT8  KCS_STATE_READ        = 1;
constexpr UINT8  KCS_STATE_WRITE       = 2;
constexpr UINT8  KCS_STATE_ERROR       = 3;

//
// Control codes.
//
constexpr UINT8  KCS_CC_GET_STATUS_ABORT = 0x60;
constexpr UINT8  KCS_CC_WRITE_START      = 0x61;
constexpr UINT8  KCS_CC_WRITE_END        = 0x62;
constexpr UINT8  KCS_CC_READ             = 0x68;

//
// Status register reads allowed for one flag to change. An 8042-style LPC
// interface takes about 1 us per I/O read, so one wait gives the BMC about
// 500 ms; a transaction waits once per byte in each direction.
//
#ifndef KCS_POLL_BUDGET
#define KCS_POLL_BUDGET  500000
#endif
constexpr UINT32  mKcsPollBudget = KCS_POLL_BUDGET;

//
// A response is the NetFn/LUN byte, the command, the completion code and at
// most 255 data bytes; a BMC that keeps the READ state longer is faulty.
//
constexpr UINTN  KCS_RESPONSE_HEADER_SIZE = 3;
constexpr UINTN  KCS_MAX_RESPONSE_BYTES   = KCS_RESPONSE_HEADER_SIZE + 255;

//
// Consecutive EFI_DEVICE_ERROR results after which phase 0 reports the BMC
// unusable; a forced command that succeeds makes it usable again.
//
constexpr UINT8  KCS_UNUSABLE_AFTER_FAILURES = 3;

constexpr UINT8  IPMI_NETFN_APP          = 0x06;
constexpr UINT8  IPMI_CMD_GET_DEVICE_ID  = 0x01;

//
// One pool block per run. The PPI comes first so that the interface
// pointer the consumer passes back is the record.
//
struct KCS_TRANSPORT_PRIVATE {
  IPMI_TRANSPORT_PPI        Ppi;
  EFI_PEI_PPI_DESCRIPTOR    Descriptor;
  CONST EFI_PEI_SERVICES    **PeiServices;
  UINT8                     BmcCount;
  UINT8                     Selected;
  UINT8                     Failures[KCS_MAX_BMCS];
  UINT16                    IoBase[KCS_MAX_BMCS];
};

static_assert (OSKEL_OFFSET_OF (KCS_TRANSPORT_PRIVATE, Ppi) == 0, "the PPI pointer is the record");

//
// Where a transaction puts the response: data after the completion code,
// at most Capacity bytes; Stored counts what was written.
//
struct KCS_RESPONSE_SINK {
  UINT8    *Data;
  UINT8    Capacity;
  UINT8    Stored;
};

//
// One complete KCS write/read transaction with the interface at IoBase.
// Returns EFI_SUCCESS, a non-zero completion code as its positive value,
// EFI_NOT_READY when the interface stayed busy before anything was written,
// or EFI_DEVICE_ERROR (timeout, ERROR or unexpected state, malformed or
// mismatched answer).
//
[[nodiscard]] EFI_STATUS KCS_INTERNAL
KcsTransact (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT16                  IoBase,
  IN UINT8                   NetFnLun,
  IN UINT8                   Command,
  IN CONST UINT8             *Request,
  IN UINT8                   RequestSize,
  IN OUT KCS_RESPONSE_SINK   *Sink
  );

//
// Fills a zeroed-out record's operations, descriptor and BMC table from the
// platform HOB (one BMC at base 0 when there is none).
//
VOID KCS_INTERNAL
BuildKcsTransportRecord (
  OUT KCS_TRANSPORT_PRIVATE   *Private,
  IN CONST EFI_PEI_SERVICES   **PeiServices
  );

}  // namespace OskelKcs

extern "C" {

EFI_STATUS EFIAPI KcsTransportPeiEntryPoint (IN EFI_PEI_FILE_HANDLE FileHandle, IN CONST EFI_PEI_SERVICES **PeiServices);

EFI_STATUS EFIAPI KcsSendCommand (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 NetFn, UINT8 Lun, UINT8 Command, CONST UINT8 *RequestData, UINT8 RequestDataSize, UINT8 *ResponseData, UINT8 *ResponseDataSize);
EFI_STATUS EFIAPI KcsTrackBmcStatus (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *State, UINT8 Phase, BOOLEAN DeviceError);
EFI_STATUS EFIAPI KcsSelectBmc (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 Index);
EFI_STATUS EFIAPI KcsGetBmcCount (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *Count);
EFI_STATUS EFIAPI KcsPrepareSecondaryBmc (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This);

}  // extern "C"
