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
#include <Guid/KcsTransportConfig.h>
#include <Guid/PlatformBmcInfoHob.h>
#include <IndustryStandard/IpmiNumbers.h>

#include <OskelCompiler.h>

//
// Register arguments between the PEIM's own functions on IA32, to keep the
// transaction's frames small; never on EFIAPI or PI interfaces.
//
#define KCS_INTERNAL  OSKEL_INTERNAL

namespace OskelKcs {

inline constexpr EFI_GUID  mIpmiTransportPpiGuid   = IPMI_TRANSPORT_PPI_GUID;

//
// The HOBs the transport reads, found in one walk of the HOB list.
//
constexpr UINT8  KCS_HOB_SETTINGS  = 0;
constexpr UINT8  KCS_HOB_BMC_TABLE = 1;
constexpr UINT8  KCS_HOB_COUNT     = 2;

inline constexpr EFI_GUID  mKcsHobNames[KCS_HOB_COUNT] = {
  KCS_TRANSPORT_CONFIG_HOB_GUID,  // KCS_HOB_SETTINGS
  PLATFORM_BMC_INFO_HOB_GUID      // KCS_HOB_BMC_TABLE
};

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
// Platform BMC information HOB (Guid/PlatformBmcInfoHob.h), offsets from the
// start of the HOB.
//
constexpr UINTN  KCS_HOB_DATA_OFFSET        = sizeof (EFI_HOB_GENERIC_HEADER) + sizeof (EFI_GUID);
constexpr UINTN  KCS_HOB_BMC_COUNT_OFFSET   = PLATFORM_BMC_INFO_BMC_COUNT_OFFSET;
constexpr UINTN  KCS_HOB_IO_BASE_OFFSET     = PLATFORM_BMC_INFO_IO_BASE_OFFSET;
constexpr UINTN  KCS_HOB_ENTRY_STRIDE       = PLATFORM_BMC_INFO_ENTRY_SIZE;

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
// Time. Every wait on IBF or OBF ends when the platform's flag wait has
// passed on a clock that runs whatever the speed of port reads: the ACPI
// PM timer (3.579545 MHz, 24 or 32 bits; only the low 24 are used) at the
// port the platform gives, else the 8254's counter 0 (1.193182 MHz, read
// latched through port 43h and 40h), which runs from reset on PC boards
// and counts down by two per clock in the square-wave mode firmware leaves
// it in. Both divide the board's 14.31818 MHz crystal, by 4 and by 12, so
// the record keeps time in ticks of half the crystal (7.16 MHz), whichever
// clock it reads: a PM timer tick is two of them, an 8254 count three.
// Wait lengths are counted in whole 256 us, rounded up, at 1,833 ticks
// each (256.04 us), so a wait is never shorter than set.
//
constexpr UINT16  KCS_PIT_COUNTER0_PORT   = 0x40;
constexpr UINT16  KCS_PIT_CONTROL_PORT    = 0x43;
constexpr UINT8   KCS_PIT_LATCH_COUNTER0  = 0x00;
constexpr UINT32  KCS_PM_TIMER_MASK       = 0x00FFFFFF;
constexpr UINT32  KCS_PIT_MASK            = 0x0000FFFF;
constexpr UINT32  KCS_PM_TIMER_TICKS      = 2;
constexpr UINT32  KCS_PIT_COUNT_TICKS     = 3;
constexpr UINT32  KCS_WAIT_STEP_US        = 256;
constexpr UINT32  KCS_TICKS_PER_WAIT_STEP = 1833;

static_assert (
  static_cast<UINT64>(KCS_TICKS_PER_WAIT_STEP) * 1000000 >= static_cast<UINT64>(KCS_WAIT_STEP_US) * 7159090,
  "a step of ticks at 7.159090 MHz lasts its 256 us at least"
  );

//
// A clock that does not advance: a PM timer port the chipset does not
// decode (it reads all ones), a PM timer the chipset has disabled, a
// stopped 8254. A running PM timer ticks every 0.28 us and the 8254's
// count moves every 0.84 us, while a poll (a status read and a clock
// sample, two port accesses on the PM timer, four on the 8254) takes 0.6
// and 1.2 us at the very least (0.3 us an access under fast emulation):
// KCS_CLOCK_STILL_POLLS polls in a row that see no change, 19 us on the PM
// timer and 38 us on the 8254 at the very least, say the clock is not
// running. A still PM timer hands over to the 8254 for the rest of the
// run; a still 8254 leaves no clock, and the wait ends as run out.
//
// No count of polls bounds a wait beyond that. One that stood for the
// wait's ticks, as a backstop for a clock that does not tick, let a wait
// on a still clock last its ticks in polls: 14 minutes for 5 s at 24 us a
// port access, as a trapped read under virtualisation costs. A timer that
// is decoded and running ends the wait in time whatever a poll costs; one
// that is not decoded, disabled or stopped reads the same, and the count
// above ends it.
//
constexpr UINT32  KCS_CLOCK_STILL_POLLS = 32;

/**
  A wait in ticks, counted in whole steps of 256 us and rounded up, so that
  it is never shorter than set; a minute still fits 32 bits.

  @param[in] Microseconds  The wait's length as set, at most a minute.

  @return Its length in ticks.
**/
constexpr UINT32
KcsTicksFor (
  IN UINT32  Microseconds
  )
{
  return ((Microseconds + KCS_WAIT_STEP_US - 1) / KCS_WAIT_STEP_US) * KCS_TICKS_PER_WAIT_STEP;
}

static_assert (KcsTicksFor (KCS_CONFIG_MAX_WAIT_US) == 429609375, "a minute of ticks fits 32 bits");
static_assert (KcsTicksFor (1) == KCS_TICKS_PER_WAIT_STEP, "a wait is at least one step");

//
// The record's wait lengths, in ticks, set by the platform: each flag
// wait, and the ready wait at entry (one for all BMCs together). The pause
// between two Get Device ID attempts of the ready wait is not a setting.
//
constexpr UINT8   KCS_WAIT_FLAG        = 0;
constexpr UINT8   KCS_WAIT_READY       = 1;
constexpr UINT8   KCS_WAIT_COUNT       = 2;
constexpr UINT32  KCS_READY_PAUSE_TICKS = KcsTicksFor (100000);

//
// The first byte of every KCS message: the network function in bits 7:2,
// the LUN in bits 1:0. The BMC answers a request on the network function
// one above it (odd for the response of an even request NetFn), same LUN,
// so the response's byte is the request's plus one NetFn step.
//
constexpr UINT8  KCS_NETFN_SHIFT   = 2;
constexpr UINT8  KCS_MAX_NETFN     = 0x3F;
constexpr UINT8  KCS_MAX_LUN       = 0x03;
constexpr UINT8  KCS_RESPONSE_STEP = 1 << KCS_NETFN_SHIFT;  // NetFn + 1, LUN unchanged

/**
  The NetFn/LUN byte of a request.

  @param[in] NetFn  The network function, at most KCS_MAX_NETFN.
  @param[in] Lun    The LUN, at most KCS_MAX_LUN.

  @return The byte that opens the request.
**/
constexpr UINT8
KcsNetFnLun (
  IN UINT8  NetFn,
  IN UINT8  Lun
  )
{
  return static_cast<UINT8>((NetFn << KCS_NETFN_SHIFT) | Lun);
}

/**
  The NetFn/LUN byte a matching response opens with.

  @param[in] RequestNetFnLun  The request's NetFn/LUN byte.

  @return The request's byte with the network function one above.
**/
constexpr UINT8
KcsResponseNetFnLun (
  IN UINT8  RequestNetFnLun
  )
{
  return static_cast<UINT8>(RequestNetFnLun + KCS_RESPONSE_STEP);
}

//
// A response is the NetFn/LUN byte, the command, the completion code and at
// most 255 data bytes; a BMC that keeps the READ state longer is faulty.
//
constexpr UINTN  KCS_RESPONSE_HEADER_SIZE = 3;
constexpr UINTN  KCS_MAX_RESPONSE_BYTES   = KCS_RESPONSE_HEADER_SIZE + 255;

//
// Health of each BMC, one byte: strikes counted up to KCS_WRITTEN_OFF, at
// which phase 0 reports the BMC unusable and PrepareSecondaryBmc refuses
// it. Silence (a flag wait that ran out, an interface reading FFh) and a
// BMC's own timeout answer (C3h) write a BMC off at once; a busy answer
// (C0h), "initialisation in progress" (D2h) or a garbled exchange is one
// strike; any other answer, however slow, clears the strikes.
//
// SendCommand sends nothing to a BMC written off, except once after a
// phase 0 that found it so: that is where a forced command comes from,
// and its answer brings the BMC back. So the exchanges of a group (the
// module's counted retries) after the one that wrote the BMC off cost
// nothing either.
//
constexpr UINT8  KCS_WRITTEN_OFF = 3;
constexpr UINT8  KCS_PROBE       = 4;   // written off, one command let through

//
// Where a transaction puts the response: data after the completion code,
// at most Capacity bytes; Stored counts what was written. Silence says
// why the BMC did not answer, when it did not.
//
constexpr UINT8  KCS_ANSWERED  = 0;
constexpr UINT8  KCS_TIMED_OUT = 1;  // a flag wait ran out
constexpr UINT8  KCS_FLOATING  = 2;  // the status register reads FFh

struct KCS_RESPONSE_SINK {
  UINT8    *Data;
  UINT8    Capacity;
  UINT8    Stored;
  UINT8    Silence;
};

//
// One pool block per run. The PPI comes first so that the interface
// pointer the consumer passes back is the record.
//
// Ppi.Reserved[1] holds the low 32 bits of the record's own address: a
// copy of the PPI elsewhere does not match its address, so the operations
// judge This by the PPI's own words alone and never read past them for a
// record that is not theirs.
//
// The transaction in progress keeps its context in the record, so that
// the functions of the exchange take the record alone: the services it
// runs with, its response sink (Data and Capacity set by the caller before
// each transaction), the BMC's data port (status/command is the next one)
// and the last status read.
//
// The clock: ClockLast is its last reading, Ticks the time the waits have
// counted so far (it wraps; only differences are used), TimerPort the PM
// timer's port, 0 for the 8254 (none given, or the PM timer found still).
//
struct KCS_TRANSPORT_PRIVATE {
  IPMI_TRANSPORT_PPI        Ppi;
  EFI_PEI_PPI_DESCRIPTOR    Descriptor;
  CONST EFI_PEI_SERVICES    **PeiServices;
  KCS_RESPONSE_SINK         Sink;
  UINT32                    WaitTicks[KCS_WAIT_COUNT];
  UINT32                    ClockLast;
  UINT32                    Ticks;
  UINT16                    TimerPort;
  UINT16                    DataPort;
  UINT8                     Status;
  UINT8                     BmcCount;
  UINT8                     Selected;
  UINT8                     Health[KCS_MAX_BMCS];
  UINT16                    IoBase[KCS_MAX_BMCS];
};

static_assert (OSKEL_OFFSET_OF (KCS_TRANSPORT_PRIVATE, Ppi) == 0, "the PPI pointer is the record");

/**
  One complete KCS write/read transaction with BMC Index of the record,
  its health updated from the outcome. The response data goes to the
  record's sink, whose Data and Capacity the caller sets; Stored and
  Silence tell the outcome.

  @param[in, out] Private      The record: services, clock, settings, BMC
                               table, health, sink.
  @param[in]      Index        BMC index, below the record's count.
  @param[in]      NetFnLun     NetFn in bits 7:2, LUN in bits 1:0.
  @param[in]      Command      Command.
  @param[in]      Request      Request data; may be NULL when RequestSize is 0.
  @param[in]      RequestSize  Number of request bytes.

  @retval EFI_SUCCESS       Completion code 00h.
  @retval EFI_NOT_READY     The interface stayed busy through the first wait;
                            nothing was written to it.
  @retval EFI_DEVICE_ERROR  A later wait ran out, the interface reads FFh, an
                            ERROR or unexpected state, a malformed or
                            mismatched answer.
  @retval other             A positive value: the non-zero completion code.
**/
[[nodiscard]] EFI_STATUS KCS_INTERNAL
KcsTransact (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private,
  IN UINT8                      Index,
  IN UINT8                      NetFnLun,
  IN UINT8                      Command,
  IN CONST UINT8                *Request,
  IN UINT8                      RequestSize
  );

/**
  At the first run's entry, when the platform asks for it: Get Device ID
  to each BMC until it answers with the device available, for at most the
  ready wait in all (each BMC gets one attempt at least). A BMC that
  answers "not ready" or not at all is asked again every 100 ms, one whose
  interface reads FFh is not; the BMCs still not ready are written off, so
  the module's first commands do not each wait out a silent interface.

  @param[in, out] Private  The record: its clock and ready wait, the BMC
                           table; the health of each BMC is set.
**/
VOID KCS_INTERNAL
KcsWaitForReadyBmcs (
  IN OUT KCS_TRANSPORT_PRIVATE  *Private
  );

/**
  Fills a record's operations, descriptor, settings and BMC table from the
  platform HOBs: one BMC at base 0 when there is no BMC table, the default
  waits when there are no settings.

  @param[out] Private      The record to fill; it is zeroed first.
  @param[in]  PeiServices  The services of this run, kept in the record.
**/
VOID KCS_INTERNAL
BuildKcsTransportRecord (
  OUT KCS_TRANSPORT_PRIVATE   *Private,
  IN CONST EFI_PEI_SERVICES   **PeiServices
  );

}  // namespace OskelKcs

extern "C" {

//
// The entry point, and the services of IPMI_TRANSPORT_PPI: their contracts
// are those of the PPI (Include/Ppi/IpmiTransport.h).
//
EFI_STATUS EFIAPI KcsTransportPeiEntryPoint (IN EFI_PEI_FILE_HANDLE FileHandle, IN CONST EFI_PEI_SERVICES **PeiServices);

EFI_STATUS EFIAPI KcsSendCommand (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 NetFn, UINT8 Lun, UINT8 Command, CONST UINT8 *RequestData, UINT8 RequestDataSize, UINT8 *ResponseData, UINT8 *ResponseDataSize);
EFI_STATUS EFIAPI KcsTrackBmcStatus (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *State, UINT8 Phase, BOOLEAN DeviceError);
EFI_STATUS EFIAPI KcsSelectBmc (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 Index);
EFI_STATUS EFIAPI KcsGetBmcCount (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *Count);
EFI_STATUS EFIAPI KcsPrepareSecondaryBmc (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This);

}  // extern "C"
