/** @file
  Internal interface of the IPMI transport PEIM: the interfaces a build
  carries, the pool record, the clock and waits shared by every interface,
  the transaction and its health rules, and the five transport operations.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>
#include <Ppi/BmcCommands.h>
#include <Ppi/IpmiTransport.h>
#include <Guid/IpmiTransportConfig.h>
#include <Guid/PlatformBmcInfoHob.h>
#include <IndustryStandard/IpmiNumbers.h>
#include <Ppi/Smbus2.h>

#include <OskelCompiler.h>

//
// The system interfaces this build carries, 1 or 0 each: a board whose BMCs
// are all on one interface builds the transport without the other's code
// (the platform DSC's build options, or CMake's OSKEL_TRANSPORT_KCS,
// OSKEL_TRANSPORT_BT and OSKEL_TRANSPORT_SSIF). A BMC on an interface the
// build does not carry is written off from the start. SSIF is left out
// unless asked for: it needs the board's SMBus driver.
//
#ifndef OSKEL_TRANSPORT_KCS
#define OSKEL_TRANSPORT_KCS  1
#endif

#ifndef OSKEL_TRANSPORT_BT
#define OSKEL_TRANSPORT_BT  1
#endif

#ifndef OSKEL_TRANSPORT_SSIF
#define OSKEL_TRANSPORT_SSIF  0
#endif

#if ((OSKEL_TRANSPORT_KCS) != 0 && (OSKEL_TRANSPORT_KCS) != 1) || ((OSKEL_TRANSPORT_BT) != 0 && (OSKEL_TRANSPORT_BT) != 1) || \
  ((OSKEL_TRANSPORT_SSIF) != 0 && (OSKEL_TRANSPORT_SSIF) != 1)
#error "OSKEL_TRANSPORT_KCS, OSKEL_TRANSPORT_BT and OSKEL_TRANSPORT_SSIF are 1 (carried) or 0 (left out)"
#endif

#if !(OSKEL_TRANSPORT_KCS) && !(OSKEL_TRANSPORT_BT) && !(OSKEL_TRANSPORT_SSIF)
#error "the transport carries no interface: set OSKEL_TRANSPORT_KCS, OSKEL_TRANSPORT_BT or OSKEL_TRANSPORT_SSIF to 1"
#endif

//
// Register arguments between the PEIM's own functions on IA32, to keep the
// transaction's frames small; never on EFIAPI or PI interfaces.
//
#define TRANSPORT_INTERNAL  OSKEL_INTERNAL

namespace OskelTransport {

inline constexpr BOOLEAN  mCarriesKcs = OSKEL_TRANSPORT_KCS;
inline constexpr BOOLEAN  mCarriesBt  = OSKEL_TRANSPORT_BT;
inline constexpr BOOLEAN  mCarriesSsif = OSKEL_TRANSPORT_SSIF;

inline constexpr EFI_GUID  mIpmiTransportPpiGuid = IPMI_TRANSPORT_PPI_GUID;

//
// A build with KCS alone serves every BMC on KCS at its platform base, as
// the transport did before it had a second interface, and does not read
// the interfaces HOB: its flash stays within what the KCS-only transport
// had. A build with BT or SSIF reads it to find each BMC's interface.
//
inline constexpr BOOLEAN  mReadsInterfaces = (mCarriesBt != FALSE) || (mCarriesSsif != FALSE);

//
// The HOBs the transport reads, found in one walk of the HOB list; the
// interfaces HOB last, so that a KCS-only build leaves its name out.
//
constexpr UINT8  HOB_SETTINGS   = 0;
constexpr UINT8  HOB_BMC_TABLE  = 1;
constexpr UINT8  HOB_INTERFACES = 2;
constexpr UINT8  HOB_COUNT      = mReadsInterfaces ? 3 : 2;

inline constexpr EFI_GUID  mHobNames[HOB_COUNT] = {
  IPMI_TRANSPORT_CONFIG_HOB_GUID,      // HOB_SETTINGS
  PLATFORM_BMC_INFO_HOB_GUID,          // HOB_BMC_TABLE
 #if OSKEL_TRANSPORT_BT || OSKEL_TRANSPORT_SSIF
  IPMI_TRANSPORT_INTERFACES_HOB_GUID   // HOB_INTERFACES
 #endif
};

//
// Reserved[0] of the published PPI: the consumer never reads it, so it
// marks our own record among the transports a LocatePpi may return.
//
constexpr UINT32  TRANSPORT_SIGNATURE = 0x50494D49;  // "IMIP"

//
// The most BMCs one record serves; a larger count in the HOB is clamped.
//
constexpr UINT8  MAX_BMCS = 8;

static_assert (MAX_BMCS == IPMI_INTERFACES_MAX, "one interface entry per BMC the record serves");

//
// Platform BMC information HOB (Guid/PlatformBmcInfoHob.h), offsets from the
// start of the HOB.
//
constexpr UINTN  HOB_DATA_OFFSET        = sizeof (EFI_HOB_GENERIC_HEADER) + sizeof (EFI_GUID);
constexpr UINTN  HOB_BMC_COUNT_OFFSET   = PLATFORM_BMC_INFO_BMC_COUNT_OFFSET;
constexpr UINTN  HOB_IO_BASE_OFFSET     = PLATFORM_BMC_INFO_IO_BASE_OFFSET;
constexpr UINTN  HOB_ENTRY_STRIDE       = PLATFORM_BMC_INFO_ENTRY_SIZE;

//
// KCS registers relative to a BMC's platform I/O base: data, then
// status/command at the next port.
//
constexpr UINT16  KCS_DATA_PORT_OFFSET = 0x0CA2;

//
// Time. Every wait on an interface flag ends when the platform's flag wait
// has passed on a clock that runs whatever the speed of port reads: the
// ACPI PM timer (3.579545 MHz, 24 or 32 bits; only the low 24 are used) at
// the port the platform gives, else the 8254's counter 0 (1.193182 MHz,
// read latched through port 43h and 40h), which runs from reset on PC
// boards and counts down by two per clock in the square-wave mode firmware
// leaves it in. Both divide the board's 14.31818 MHz crystal, by 4 and by
// 12, so the record keeps time in ticks of half the crystal (7.16 MHz),
// whichever clock it reads: a PM timer tick is two of them, an 8254 count
// three. Wait lengths are counted in whole 256 us, rounded up, at 1,833
// ticks each (256.04 us), so a wait is never shorter than set.
//
constexpr UINT16  PIT_COUNTER0_PORT   = 0x40;
constexpr UINT16  PIT_CONTROL_PORT    = 0x43;
constexpr UINT8   PIT_LATCH_COUNTER0  = 0x00;
constexpr UINT32  PM_TIMER_MASK       = 0x00FFFFFF;
constexpr UINT32  PIT_MASK            = 0x0000FFFF;
constexpr UINT32  PM_TIMER_TICKS      = 2;
constexpr UINT32  PIT_COUNT_TICKS     = 3;
constexpr UINT32  WAIT_STEP_US        = 256;
constexpr UINT32  TICKS_PER_WAIT_STEP = 1833;

static_assert (
  static_cast<UINT64>(TICKS_PER_WAIT_STEP) * 1000000 >= static_cast<UINT64>(WAIT_STEP_US) * 7159090,
  "a step of ticks at 7.159090 MHz lasts its 256 us at least"
  );

//
// A clock that does not advance: a PM timer port the chipset does not
// decode (it reads all ones), a PM timer the chipset has disabled, a
// stopped 8254. A running PM timer ticks every 0.28 us and the 8254's
// count moves every 0.84 us, while a poll (a status read and a clock
// sample, two port accesses on the PM timer, four on the 8254) takes 0.6
// and 1.2 us at the very least (0.3 us an access under fast emulation):
// CLOCK_STILL_POLLS polls in a row that see no change, 19 us on the PM
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
constexpr UINT32  CLOCK_STILL_POLLS = 32;

/**
  A wait in ticks, counted in whole steps of 256 us and rounded up, so that
  it is never shorter than set; a minute still fits 32 bits.

  @param[in] Microseconds  The wait's length as set, at most a minute.

  @return Its length in ticks.
**/
constexpr UINT32
TicksFor (
  IN UINT32  Microseconds
  )
{
  return ((Microseconds + WAIT_STEP_US - 1) / WAIT_STEP_US) * TICKS_PER_WAIT_STEP;
}

static_assert (TicksFor (IPMI_CONFIG_MAX_WAIT_US) == 429609375, "a minute of ticks fits 32 bits");
static_assert (TicksFor (1) == TICKS_PER_WAIT_STEP, "a wait is at least one step");

//
// The record's wait lengths, in ticks, set by the platform: each flag
// wait, and the ready wait at entry (one for all BMCs together). The pause
// between two Get Device ID attempts of the ready wait is not a setting.
//
constexpr UINT8   WAIT_FLAG         = 0;
constexpr UINT8   WAIT_READY        = 1;
constexpr UINT8   WAIT_COUNT        = 2;
constexpr UINT32  READY_PAUSE_TICKS = TicksFor (100000);

//
// The byte that carries the network function in bits 7:2 and the LUN in
// bits 1:0, on every interface. The BMC answers a request on the network
// function one above it (odd for the response of an even request NetFn),
// same LUN, so the response's byte is the request's plus one NetFn step.
//
constexpr UINT8  NETFN_SHIFT   = 2;
constexpr UINT8  MAX_NETFN     = 0x3F;
constexpr UINT8  MAX_LUN       = 0x03;
constexpr UINT8  RESPONSE_STEP = 1 << NETFN_SHIFT;  // NetFn + 1, LUN unchanged

/**
  The NetFn/LUN byte of a request.

  @param[in] NetFn  The network function, at most MAX_NETFN.
  @param[in] Lun    The LUN, at most MAX_LUN.

  @return The byte that carries both.
**/
constexpr UINT8
NetFnLun (
  IN UINT8  NetFn,
  IN UINT8  Lun
  )
{
  return static_cast<UINT8>((NetFn << NETFN_SHIFT) | Lun);
}

/**
  The NetFn/LUN byte a matching response carries.

  @param[in] RequestNetFnLun  The request's NetFn/LUN byte.

  @return The request's byte with the network function one above.
**/
constexpr UINT8
ResponseNetFnLun (
  IN UINT8  RequestNetFnLun
  )
{
  return static_cast<UINT8>(RequestNetFnLun + RESPONSE_STEP);
}

//
// Health of each BMC, one byte: strikes counted up to WRITTEN_OFF, at
// which phase 0 reports the BMC unusable and PrepareSecondaryBmc refuses
// it. Silence (a flag wait that ran out, an interface reading FFh, an
// interface the build does not carry) and a BMC's own timeout answer
// (C3h) write a BMC off at once; a busy answer (C0h), "initialisation in
// progress" (D2h) or a garbled exchange is one strike; any other answer,
// however slow, clears the strikes.
//
// SendCommand sends nothing to a BMC written off, except once after a
// phase 0 that found it so: that is where a forced command comes from,
// and its answer brings the BMC back. So the exchanges of a group (the
// module's counted retries) after the one that wrote the BMC off cost
// nothing either.
//
constexpr UINT8  WRITTEN_OFF = 3;
constexpr UINT8  PROBE       = 4;   // written off, one command let through

//
// Where a transaction puts the response: data after the completion code,
// at most Capacity bytes; Stored counts what was written. Silence says
// why the BMC did not answer, when it did not.
//
constexpr UINT8  ANSWERED     = 0;
constexpr UINT8  TIMED_OUT    = 1;  // a flag wait ran out
constexpr UINT8  FLOATING     = 2;  // the status register reads FFh
constexpr UINT8  NO_INTERFACE = 3;  // the BMC's interface is not in this build

struct RESPONSE_SINK {
  UINT8    *Data;
  UINT8    Capacity;
  UINT8    Stored;
  UINT8    Silence;
};

//
// BT: the most bytes a message may take in each of the BMC's buffers, as
// Get BT Interface Capabilities reports them; 0 until the BMC has told.
//
constexpr UINT8  BT_REQUEST_BUFFER  = 0;
constexpr UINT8  BT_RESPONSE_BUFFER = 1;

//
// SSIF: what Get System Interface Capabilities told of each BMC, as the
// transport uses it: SSIF_FLAGS (SSIF_KNOWN once the BMC has answered the
// question, SSIF_PEC when its transactions carry a packet error code), and
// the largest request and response message (NetFn/LUN, command and data;
// the response's completion code too) the BMC and its multi-part support
// allow. 0 until the BMC has told.
//
constexpr UINT8  SSIF_FLAGS    = 0;
constexpr UINT8  SSIF_REQUEST  = 1;
constexpr UINT8  SSIF_RESPONSE = 2;
constexpr UINT8  SSIF_LIMITS   = 3;
constexpr UINT8  SSIF_KNOWN    = 0x01;
constexpr UINT8  SSIF_PEC      = 0x02;

//
// What the run from memory takes over from the first run: the selection,
// the BT sequence number, each BMC's health and the BT buffer sizes. Bytes
// alone, so that it is copied as bytes.
//
struct TRANSPORT_STATE {
  UINT8    Selected;
  UINT8    Sequence;
  UINT8    Health[MAX_BMCS];
  UINT8    BtBuffer[MAX_BMCS][2];
 #if OSKEL_TRANSPORT_SSIF
  UINT8    Ssif[MAX_BMCS][SSIF_LIMITS];
 #endif
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
// runs with, the request (NetFn/LUN and command, the data and its size),
// its response sink (Data and Capacity set by the caller before each
// transaction), the BMC, its interface's status and data registers (KCS:
// status/command and data; BT: control and buffer) and the last status
// read.
//
// The clock: ClockLast is its last reading, Ticks the time the waits have
// counted so far (it wraps; only differences are used), TimerPort the PM
// timer's port, 0 for the 8254 (none given, or the PM timer found still).
//
// Each BMC's Interface (IPMI_INTERFACE_KCS, IPMI_INTERFACE_BT,
// IPMI_INTERFACE_SSIF or one this build cannot serve) and Address: the
// platform I/O base for KCS, the control register's port for BT, the
// 7-bit SMBus target address for SSIF.
//
// Smbus: the board's SMBus2 PPI, located when an SSIF BMC is first asked
// in this run; NULL until then.
//
struct TRANSPORT_PRIVATE {
  IPMI_TRANSPORT_PPI        Ppi;
  EFI_PEI_PPI_DESCRIPTOR    Descriptor;
  CONST EFI_PEI_SERVICES    **PeiServices;
  CONST UINT8               *Request;
  RESPONSE_SINK             Sink;
  UINT32                    WaitTicks[WAIT_COUNT];
  UINT32                    ClockLast;
  UINT32                    Ticks;
  UINT16                    TimerPort;
  UINT16                    StatusPort;
  UINT16                    DataPort;
  UINT8                     Status;
  UINT8                     RequestHeader[2];
  UINT8                     RequestSize;
  UINT8                     Current;
  UINT8                     BmcCount;
  TRANSPORT_STATE           State;
  UINT8                     Interface[MAX_BMCS];
  UINT16                    Address[MAX_BMCS];
 #if OSKEL_TRANSPORT_SSIF
  CONST EFI_PEI_SMBUS2_PPI  *Smbus;
 #endif
};

static_assert (OSKEL_OFFSET_OF (TRANSPORT_PRIVATE, Ppi) == 0, "the PPI pointer is the record");
static_assert (sizeof (TRANSPORT_STATE) == 2 + 3 * MAX_BMCS + (mCarriesSsif ? SSIF_LIMITS * MAX_BMCS : 0), "the state carried over is bytes alone");

//
// CPU I/O accesses: bit 0 says write, the bits above are the width.
//
constexpr UINT8  IO_READ8  = EfiPeiCpuIoWidthUint8 << 1;
constexpr UINT8  IO_WRITE8 = (EfiPeiCpuIoWidthUint8 << 1) | 1;
constexpr UINT8  IO_READ32 = EfiPeiCpuIoWidthUint32 << 1;

/**
  One access through the CPU I/O PPI, the only way the transport reaches a
  port. Value is what a write puts out, and what a read that fails leaves
  (FFh for an interface register: what a floating LPC bus returns). x86
  ports are little-endian, so an 8-bit access takes the low byte of Value.

  @param[in] Private  The record: its services.
  @param[in] Port     The I/O port.
  @param[in] Value    What a write puts out; what a failed read returns.
  @param[in] Access   IO_READ8, IO_WRITE8 or IO_READ32.

  @return The value read, or Value for a write.
**/
UINT32 TRANSPORT_INTERNAL
PortIo (
  IN TRANSPORT_PRIVATE  *Private,
  IN UINT16             Port,
  IN UINT32             Value,
  IN UINT8              Access
  );

/**
  Reads one byte of the interface's register at Port (FFh when the read
  fails).
**/
UINT8 TRANSPORT_INTERNAL
ReadRegister (
  IN TRANSPORT_PRIVATE  *Private,
  IN UINT16             Port
  );

/**
  Writes one byte to the interface's register at Port.
**/
VOID TRANSPORT_INTERNAL
WriteRegister (
  IN TRANSPORT_PRIVATE  *Private,
  IN UINT16             Port,
  IN UINT8              Value
  );

/**
  Polls the status register of the transaction in progress until
  (status & Mask) == Expected; the record's Status keeps the last value
  read.

  @param[in, out] Private   The record, in a transaction.
  @param[in]      Mask      Bits looked at.
  @param[in]      Expected  Their value that ends the wait.
  @param[in]      Ticks     Length of the wait.

  @retval TRUE   The bits reached the value.
  @retval FALSE  The wait ran out (Ticks passed, or no clock advances), or
                 the register reads FFh: no interface drives the bus, and
                 no KCS or BT status has every bit set, so that ends it at
                 once. The sink's Silence says which.
**/
[[nodiscard]] BOOLEAN TRANSPORT_INTERNAL
WaitStatus (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN UINT8                  Mask,
  IN UINT8                  Expected,
  IN UINT32                 Ticks
  );

//
// The request's NetFn/LUN byte and command, in RequestHeader.
//
constexpr UINT8  REQUEST_NETFN_LUN = 0;
constexpr UINT8  REQUEST_COMMAND   = 1;

/**
  One exchange with the BMC of the transaction in progress (the record's
  Current, its registers in StatusPort and DataPort), on its interface: the
  record's request sent, the response data to the record's sink.

  @param[in, out] Private  The record, in a transaction.

  @retval EFI_SUCCESS          Completion code 00h.
  @retval EFI_NOT_READY        The interface stayed busy through the first
                               wait; nothing was written to it.
  @retval EFI_BAD_BUFFER_SIZE  BT: the request is larger than the BMC's
                               request buffer; nothing was written.
  @retval EFI_DEVICE_ERROR     A later wait ran out, the interface reads FFh,
                               an error state, a malformed or mismatched
                               answer.
  @retval other                A positive value: the non-zero completion code.
**/
[[nodiscard]] EFI_STATUS TRANSPORT_INTERNAL
KcsExchange (
  IN OUT TRANSPORT_PRIVATE  *Private
  );

[[nodiscard]] EFI_STATUS TRANSPORT_INTERNAL
BtExchange (
  IN OUT TRANSPORT_PRIVATE  *Private
  );

[[nodiscard]] EFI_STATUS TRANSPORT_INTERNAL
SsifExchange (
  IN OUT TRANSPORT_PRIVATE  *Private
  );

/**
  Starts a wait that is not a poll of a status register (SSIF: SMBus
  transactions retried while the BMC does not take them): samples the
  clock, so that everything from here on counts, the SMBus transactions'
  own time included.

  @param[in, out] Private  The record: its clock.

  @return The record's time now, the wait's start.
**/
UINT32 TRANSPORT_INTERNAL
StartWait (
  IN OUT TRANSPORT_PRIVATE  *Private
  );

/**
  The pause before the next attempt of a wait started by StartWait: the
  clock polled until Pause ticks have passed, or the wait's Ticks from
  Start, whichever comes first.

  @param[in, out] Private  The record: its clock.
  @param[in]      Start    The wait's start (StartWait).
  @param[in]      Ticks    The wait's length.
  @param[in]      Pause    The pause's length.

  @retval TRUE   Paused; the wait goes on.
  @retval FALSE  The wait has run out (or no clock advances): it counts as
                 its whole length, and the sink's Silence says TIMED_OUT.
**/
[[nodiscard]] BOOLEAN TRANSPORT_INTERNAL
PauseWithin (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN UINT32                 Start,
  IN UINT32                 Ticks,
  IN UINT32                 Pause
  );

/**
  One complete transaction with BMC Index of the record on its interface,
  its health updated from the outcome. The response data goes to the
  record's sink, whose Data and Capacity the caller sets; Stored and
  Silence tell the outcome.

  @param[in, out] Private      The record: services, clock, settings, BMC
                               table, health, sink.
  @param[in]      Index        BMC index, below the record's count.
  @param[in]      RequestNetFnLun  NetFn in bits 7:2, LUN in bits 1:0.
  @param[in]      Command      Command.
  @param[in]      Request      Request data; may be NULL when RequestSize is 0.
  @param[in]      RequestSize  Number of request bytes.

  @return What the interface's exchange returns (KcsExchange); a BMC whose
          interface the build does not carry gets EFI_DEVICE_ERROR, no port
          access, and is written off.
**/
[[nodiscard]] EFI_STATUS TRANSPORT_INTERNAL
Transact (
  IN OUT TRANSPORT_PRIVATE  *Private,
  IN UINT8                  Index,
  IN UINT8                  RequestNetFnLun,
  IN UINT8                  Command,
  IN CONST UINT8            *Request,
  IN UINT8                  RequestSize
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
VOID TRANSPORT_INTERNAL
WaitForReadyBmcs (
  IN OUT TRANSPORT_PRIVATE  *Private
  );

/**
  Fills a record's operations, descriptor, settings and BMC table from the
  platform HOBs: one BMC at base 0 when there is no BMC table, the default
  waits when there are no settings, KCS for every BMC the interfaces HOB
  does not name.

  @param[out] Private      The record to fill; it is zeroed first.
  @param[in]  PeiServices  The services of this run, kept in the record.
**/
VOID TRANSPORT_INTERNAL
BuildTransportRecord (
  OUT TRANSPORT_PRIVATE      *Private,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

}  // namespace OskelTransport

extern "C" {

//
// The entry point, and the services of IPMI_TRANSPORT_PPI: their contracts
// are those of the PPI (Include/Ppi/IpmiTransport.h).
//
EFI_STATUS EFIAPI IpmiTransportPeiEntryPoint (IN EFI_PEI_FILE_HANDLE FileHandle, IN CONST EFI_PEI_SERVICES **PeiServices);

EFI_STATUS EFIAPI TransportSendCommand (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 NetFn, UINT8 Lun, UINT8 Command, CONST UINT8 *RequestData, UINT8 RequestDataSize, UINT8 *ResponseData, UINT8 *ResponseDataSize);
EFI_STATUS EFIAPI TransportTrackBmcStatus (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *State, UINT8 Phase, BOOLEAN DeviceError);
EFI_STATUS EFIAPI TransportSelectBmc (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 Index);
EFI_STATUS EFIAPI TransportGetBmcCount (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *Count);
EFI_STATUS EFIAPI TransportPrepareSecondaryBmc (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This);

}  // extern "C"
