/** @file
  The controller's OEM commands on network function 3Ah: their numbers,
  the arguments and variants their exchanges read, the exchanges, and the
  row and wire contract of every operation that sends them.

  A row says what its slot does (BmcCommandsRecord.cpp puts the rows in
  slot order). Its contract, beside it, is the slot's wire format written
  out for one call: the arguments under the public header's names, every
  request with its capacity and the answer it gets, and where the answer
  lands in the caller's outputs. The host tests make that call and check
  every byte; the fuzzer and the budget probe derive their calls from it.
  The contract is text the firmware never references, so it costs no
  flash. Its format is in docs/adding-an-operation.md.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "../Dispatch/CommonExchanges.h"
#include "../Dispatch/Dispatch.h"

namespace Oskel {

//
// The controller's network function and its commands.
//
constexpr UINT8  OEM_NETFN_CONTROLLER    = 0x3A;
constexpr UINT8  OEM_CMD_REGION_READ     = 0x0B;
constexpr UINT8  OEM_CMD_REGION_WRITE    = 0x0C;
constexpr UINT8  OEM_CMD_VALUE_10        = 0x10;
constexpr UINT8  OEM_CMD_1C              = 0x1C;
constexpr UINT8  OEM_CMD_EXCHANGE_20     = 0x20;
constexpr UINT8  OEM_CMD_FLAG_62         = 0x62;
constexpr UINT8  OEM_CMD_QUERY_C1        = 0xC1;
constexpr UINT8  OEM_CMD_EXCHANGE_C2     = 0xC2;
constexpr UINT8  OEM_CMD_BOOT_STAGE      = 0xC3;
constexpr UINT8  OEM_CMD_SETTINGS_STORE  = 0xC4;

//
// Sub-functions of command 1Ch, chosen by request byte 0.
//
constexpr UINT8  OEM_1C_WRITE_VALUE  = 0x00;  // byte 1: 00h clears, 01h sets the 16-bit value
constexpr UINT8  OEM_1C_SET_STATE    = 0x01;
constexpr UINT8  OEM_1C_GET_STATE    = 0x02;

//
// Request byte 0 of command C3h: a boot stage report follows in byte 1.
//
constexpr UINT8  OEM_BOOT_STAGE_REPORT = 0x01;

//
// Commands C2h and 20h carry two bytes each way in the caller's buffer,
// with the in/out count of command 20h after it (C2h has none).
//
constexpr auto  IN_PLACE_BUFFER = ArgumentOf<BMC_COMMANDS_OEM_20_EXCHANGE, 0>;
constexpr auto  IN_PLACE_LENGTH = ArgumentOf<BMC_COMMANDS_OEM_20_EXCHANGE, 1>;

//
// The value of command 10h, read into or written from the caller's byte,
// and the flag of command 62h.
//
constexpr auto  GET_10_VALUE = ArgumentOf<BMC_COMMANDS_GET_OEM_10_VALUE, 0>;
constexpr auto  SET_10_VALUE = ArgumentOf<BMC_COMMANDS_SET_OEM_10_VALUE, 0>;
constexpr auto  FLAG_62      = ArgumentOf<BMC_COMMANDS_SET_OEM_62_FLAG, 0>;

//
// Arguments of RegionRead and RegionWrite; the buffer is the caller's in
// both directions, read through RegionRead's name.
//
constexpr auto  REGION_OFFSET   = ArgumentOf<BMC_COMMANDS_REGION_READ, 0>;
constexpr auto  REGION_SELECTOR = ArgumentOf<BMC_COMMANDS_REGION_READ, 1>;
constexpr auto  REGION_LENGTH   = ArgumentOf<BMC_COMMANDS_REGION_READ, 2>;
constexpr auto  REGION_BUFFER   = ArgumentOf<BMC_COMMANDS_REGION_READ, 3>;

//
// The stage of a boot stage report; ReportBootStageSecondary hands its
// stage in the same place.
//
constexpr auto  BOOT_STAGE = ArgumentOf<BMC_COMMANDS_REPORT_BOOT_STAGE, 0>;

//
// The 16-bit value of Oem1CSetWord and Oem1CSetWordEx, and the state of
// SetOem1CState and GetOem1CState.
//
constexpr auto  OEM_1C_VALUE     = ArgumentOf<BMC_COMMANDS_OEM_1C_SET_WORD, 0>;
constexpr auto  OEM_1C_STATE     = ArgumentOf<BMC_COMMANDS_SET_OEM_1C_STATE, 0>;
constexpr auto  OEM_1C_STATE_OUT = ArgumentOf<BMC_COMMANDS_GET_OEM_1C_STATE, 0>;

//
// Value writes of command 1Ch differ only in length (their Spec.Variant):
// the two-byte form clears the value; the four-byte form sets it, most
// significant byte first; the five-byte form sets it with a trailing 00h.
// Variant 0 is the state write of SetOem1CState.
//
constexpr UINT8  OEM_1C_CLEAR_LENGTH       = 2;
constexpr UINT8  OEM_1C_SET_WORD_LENGTH    = 4;
constexpr UINT8  OEM_1C_SET_WORD_EX_LENGTH = 5;
constexpr UINT8  OEM_1C_STATE_WRITE        = 0;

//
// Operation byte of a settings store request (Spec.Variant), and the
// arguments of ReadBmcSetting and WriteBmcSetting; a write has its flag
// before the value, so its value and descriptor lie one word further.
//
constexpr UINT8  SETTINGS_OP_READ         = 0x00;
constexpr UINT8  SETTINGS_OP_WRITE        = 0x03;
constexpr auto   SETTING_SELECTOR         = ArgumentOf<BMC_COMMANDS_READ_BMC_SETTING, 0>;
constexpr auto   READ_SETTING_VALUE       = ArgumentOf<BMC_COMMANDS_READ_BMC_SETTING, 1>;
constexpr auto   READ_SETTING_DESCRIPTOR  = ArgumentOf<BMC_COMMANDS_READ_BMC_SETTING, 2>;
constexpr auto   WRITE_SETTING_FLAG       = ArgumentOf<BMC_COMMANDS_WRITE_BMC_SETTING, 1>;
constexpr auto   WRITE_SETTING_VALUE      = ArgumentOf<BMC_COMMANDS_WRITE_BMC_SETTING, 2>;
constexpr auto   WRITE_SETTING_DESCRIPTOR = ArgumentOf<BMC_COMMANDS_WRITE_BMC_SETTING, 3>;

//
// The checks and exchanges of the OEM operations' rows. Each takes the
// operation in progress: its arguments (in the slot's order, above), its
// row (NetFn, Command, Variant), the BMC the dispatch selected and the
// record whose ScratchBuffer it uses.
//

//
// Every report goes to every BMC, except the stages that concern BMC 0
// alone: EFI_UNSUPPORTED for those, the narrowing that an EveryBmc row's
// Check makes.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ConcernsEveryBmc (IN OUT Operation &Op);

//
// Oem20Exchange carries exactly two bytes: a count other than 2 is
// EFI_INVALID_PARAMETER before the guard.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL Check20Length (IN OUT Operation &Op);

/**
  Commands C2h and 20h: the caller's two bytes out and the answer back into
  the same buffer, which the transport reads before it writes; a broadcast
  sends the next BMC what this one answered.

  @retval EFI_SUCCESS  Answered; command 20h's count holds the bytes
                       received, at most 2.
  @retval Other        The transport's status or the completion code; the
                       count is set the same way.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeInPlace (IN OUT Operation &Op);

//
// Command 10h takes the values 0 to 3; a larger one is
// EFI_INVALID_PARAMETER before the guard.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckNewValue (IN OUT Operation &Op);

/**
  Reads the value of command 10h into the caller's byte.

  @retval EFI_SUCCESS         The value was stored.
  @retval EFI_PROTOCOL_ERROR  The answer carried no value; the byte keeps
                              its contents.
  @retval Other               The transport's status or the completion code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL GetValue (IN OUT Operation &Op);

/**
  Writes the caller's value with command 10h.

  @retval EFI_SUCCESS               The BMC took the value.
  @retval EFI_BMC_MODE_UNSUPPORTED  The transport answered EFI_UNSUPPORTED:
                                    the BMC refuses the value in its present
                                    operating mode.
  @retval Other                     The transport's status or the completion
                                    code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL SetValue (IN OUT Operation &Op);

//
// Command 62h with the flag as one byte, 01h for any non-zero argument;
// the transport's status or the completion code.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL SetFlag (IN OUT Operation &Op);

//
// A region transfer of length 0 is EFI_BAD_BUFFER_SIZE before the guard:
// an empty transfer never consults the BMC's health.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckRegionLength (IN OUT Operation &Op);

/**
  RegionRead or RegionWrite, by Spec.Command: the length in chunks of
  BMC_CHUNK_SIZE under one guard, chunk i at the region's Offset + 224 * i
  (wrapping at 64 KiB) and at 224 * i in the caller's buffer.

  @retval EFI_SUCCESS  Every chunk was answered; the length holds the bytes
                       moved, a read's no more than each chunk asked for.
  @retval Other        The first failed chunk's status; the length is not
                       written.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL TransferRegion (IN OUT Operation &Op);

/**
  Reports the stage, argument 0, to the BMC already selected: command C3h
  under a guard of its own, then the BMC's progress mailbox through the
  CPU I/O PPI, written even when the guard kept the command back.

  @retval EFI_SUCCESS    The last mailbox write succeeded; the command's
                         outcome reaches only the transport's bookkeeping.
  @retval EFI_NOT_FOUND  A BMC other than BMC 0 has no usable I/O base in
                         the platform's BMC information HOB.
  @retval Other          The last mailbox write's status.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ReportStage (IN OUT Operation &Op);

/**
  Every writer of command 1Ch: a value write of Spec.Variant bytes, or the
  state write of SetOem1CState (Variant OEM_1C_STATE_WRITE). Sent again,
  back to back, while the transport answers EFI_BMC_RETRY (3 sends) or,
  once it has answered EFI_NOT_READY, up to 15 sends in all.

  @retval EFI_SUCCESS    The BMC took the write.
  @retval EFI_BMC_RETRY  The transport was still not ready after the last
                         send.
  @retval Other          The transport's error or the completion code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL WriteOem1C (IN OUT Operation &Op);

//
// The 1Ch state is 0 or 1; any other value is EFI_INVALID_PARAMETER before
// the guard.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckState (IN OUT Operation &Op);

/**
  Reads the 1Ch state as a step of its own, then writes the new state
  under a guard of its own unless the BMC already holds it; a failed read
  does not stop the write.

  @retval EFI_SUCCESS  The BMC holds the state, read or written.
  @retval Other        WriteOem1C's status.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL SetStateUnlessHeld (IN OUT Operation &Op);

/**
  Reads the 1Ch state into the caller's UINT32.

  @retval EFI_SUCCESS         The state was stored.
  @retval EFI_PROTOCOL_ERROR  The answer carried no state; the caller's
                              value is left as it was.
  @retval Other               The transport's status or the completion code.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ReadState (IN OUT Operation &Op);

/**
  Reads or writes a setting of the BMC's settings store, by Spec.Variant:
  a built-in setting by selector or one the caller describes. The selector
  and descriptor are judged after phase 0, so an unusable BMC is reported
  as such whatever they hold.

  @retval EFI_SUCCESS              The store answered with success; a read's
                                   value is stored.
  @retval EFI_INVALID_PARAMETER    An unknown selector, a write-only setting
                                   read, a missing or out-of-range
                                   descriptor; nothing sent, no phase 1.
  @retval EFI_BAD_BUFFER_SIZE      A write's record longer than 243 bytes;
                                   nothing sent, no phase 1.
  @retval EFI_PROTOCOL_ERROR       No status byte, or a read's value cut
                                   short; the value is left as it was.
  @retval EFI_BMC_UNEXPECTED_CODE  A status byte the store does not define.
  @retval Other                    The store's status mapped to its EFI
                                   status, or the transport's.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ExchangeSetting (IN OUT Operation &Op);

//
// The operations on network function 3Ah: each slot's row, then its wire
// contract. The argument count of a dispatched slot comes from its type.
//
constexpr OperationSpec  OemC1QueryRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_QUERY_C1,
  .Required = CALLER_BUFFER_REQUIRED,
  .Exchange = QueryIntoCallerBuffer
};

constexpr CHAR8  OemC1QueryContract[] =
  "Response        out[ResponseLength]\n"
  "ResponseLength  inout 10\n"
  "send 3A/C1 [] cap 10 -> [C1 C2 C3]\n"
  "then Response [C1 C2 C3]\n"
  "then ResponseLength 03\n";

constexpr OperationSpec  OemC2ExchangeRow = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_EXCHANGE_C2,
  .Required = ArgumentBit (IN_PLACE_BUFFER),
  .Exchange = ExchangeInPlace
};

constexpr CHAR8  OemC2ExchangeContract[] =
  "Buffer  inout [21 22]\n"
  "send 3A/C2 [21 22] cap 02 -> [A1 A2]\n"
  "then Buffer [A1 A2]\n";

constexpr OperationSpec  Oem20ExchangeRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_EXCHANGE_20,
  .Required = ArgumentBit (IN_PLACE_BUFFER) | ArgumentBit (IN_PLACE_LENGTH),
  .Check    = Check20Length,
  .Exchange = ExchangeInPlace
};

constexpr CHAR8  Oem20ExchangeContract[] =
  "Buffer  inout [21 22]\n"
  "Length  inout 02\n"
  "send 3A/20 [21 22] cap 02 -> [A1]\n"
  "then Buffer [A1 22]\n"
  "then Length 01\n";

//
// 230 bytes: a whole chunk at the region offset, then six bytes 224 bytes
// further on.
//
constexpr OperationSpec  RegionReadRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_REGION_READ,
  .Required = ArgumentBit (REGION_LENGTH) | ArgumentBit (REGION_BUFFER),
  .Check    = CheckRegionLength,
  .Exchange = TransferRegion
};

constexpr CHAR8  RegionReadContract[] =
  "Offset    0100\n"
  "Selector  07\n"
  "Length    inout E6\n"
  "Buffer    out[Length]\n"
  "send 3A/0B [00 01 07 E0] cap E0 -> [00+E0]\n"
  "send 3A/0B [E0 01 07 06] cap 06 -> [E0+06]\n"
  "then Buffer [00+E6]\n"
  "then Length E6\n";

constexpr OperationSpec  RegionWriteRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_REGION_WRITE,
  .Required = ArgumentBit (REGION_LENGTH) | ArgumentBit (REGION_BUFFER),
  .Check    = CheckRegionLength,
  .Exchange = TransferRegion
};

constexpr CHAR8  RegionWriteContract[] =
  "Offset    0100\n"
  "Selector  07\n"
  "Length    inout E6\n"
  "Data      in[Length] [00+E6]\n"
  "send 3A/0C [00 01 07 00+E0] cap 00 -> []\n"
  "send 3A/0C [E0 01 07 E0+06] cap 00 -> []\n"
  "then Length E6\n";

//
// The index is checked like every operation's, but the report goes to
// every BMC whatever its value, or to BMC 0 alone for the stages that
// concern it alone (ConcernsEveryBmc); the stage command keeps its own
// guard. The board of the contracts has two BMCs, their mailboxes at I/O
// bases 0000h and 0200h.
//
constexpr OperationSpec  ReportBootStageRow = {
  .Kind     = DispatchKind::EveryBmc,
  .Guarded  = FALSE,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_BOOT_STAGE,
  .Check    = ConcernsEveryBmc,
  .Exchange = ReportStage
};

constexpr CHAR8  ReportBootStageContract[] =
  "Stage  42\n"
  "send 3A/C3 [01 42] cap 00 -> []\n"
  "port 0CB5 00\n"
  "port 0CB6 00\n"
  "port 0CB7 00\n"
  "port 0CB8 42\n"
  "port 0CBF A5\n"
  "port 004E 3E\n"
  "port 004F 42\n"
  "to 1\n"
  "send 3A/C3 [01 42] cap 00 -> []\n"
  "port 0EB5 00\n"
  "port 0EB6 00\n"
  "port 0EB7 00\n"
  "port 0EB8 42\n"
  "port 0EBF A5\n"
  "port 024E 3E\n"
  "port 024F 42\n";

constexpr OperationSpec  GetOem10ValueRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_VALUE_10,
  .Required = ArgumentBit (GET_10_VALUE),
  .Exchange = GetValue
};

constexpr CHAR8  GetOem10ValueContract[] =
  "Value  out\n"
  "send 3A/10 [] cap 01 -> [02]\n"
  "then Value 02\n";

constexpr OperationSpec  SetOem10ValueRow = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_VALUE_10,
  .Required = ArgumentBit (SET_10_VALUE),
  .Check    = CheckNewValue,
  .Exchange = SetValue
};

constexpr CHAR8  SetOem10ValueContract[] =
  "Value  in 02\n"
  "send 3A/10 [02] cap 00 -> []\n";

constexpr OperationSpec  SetOem62FlagRow = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_FLAG_62,
  .Exchange = SetFlag
};

constexpr CHAR8  SetOem62FlagContract[] =
  "Enable  07\n"
  "send 3A/62 [01] cap 00 -> []\n";

constexpr OperationSpec  Oem1CSetWordRow = {
  .Kind     = DispatchKind::BmcZeroOnly,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_1C,
  .Variant  = OEM_1C_SET_WORD_LENGTH,
  .Exchange = WriteOem1C
};

constexpr CHAR8  Oem1CSetWordContract[] =
  "Value  1234\n"
  "send 3A/1C [00 01 12 34] cap 00 -> []\n";

constexpr OperationSpec  Oem1CClearRow = {
  .Kind     = DispatchKind::BmcZeroOnly,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_1C,
  .Variant  = OEM_1C_CLEAR_LENGTH,
  .Exchange = WriteOem1C
};

constexpr CHAR8  Oem1CClearContract[] =
  "send 3A/1C [00 00] cap 00 -> []\n";

//
// The read (GetOem1CState's row) and the write keep their own guards.
//
constexpr OperationSpec  SetOem1CStateRow = {
  .Kind     = DispatchKind::BmcZeroOnly,
  .Guarded  = FALSE,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_1C,
  .Variant  = OEM_1C_STATE_WRITE,
  .Check    = CheckState,
  .Exchange = SetStateUnlessHeld
};

constexpr CHAR8  SetOem1CStateContract[] =
  "State  01\n"
  "send 3A/1C [02] cap 01 -> [00]\n"
  "send 3A/1C [01 01 00 00 01] cap 00 -> []\n";

constexpr OperationSpec  GetOem1CStateRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_1C,
  .Required = ArgumentBit (OEM_1C_STATE_OUT),
  .Exchange = ReadState
};

constexpr CHAR8  GetOem1CStateContract[] =
  "State  out\n"
  "send 3A/1C [02] cap 01 -> [01]\n"
  "then State 01\n";

constexpr OperationSpec  ReadBmcSettingRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_SETTINGS_STORE,
  .Variant  = SETTINGS_OP_READ,
  .Required = ArgumentBit (READ_SETTING_VALUE),
  .Exchange = ExchangeSetting
};

constexpr CHAR8  ReadBmcSettingContract[] =
  "Selector    00\n"
  "Value       out[4]\n"
  "Descriptor  null\n"
  "send 3A/C4 [00 00 13 92 '/ac/uefi/smbioscrc'] cap 08 -> [00 00 00 00 78 56 34 12]\n"
  "then Value [78 56 34 12]\n";

constexpr OperationSpec  WriteBmcSettingRow = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_SETTINGS_STORE,
  .Variant  = SETTINGS_OP_WRITE,
  .Required = ArgumentBit (WRITE_SETTING_VALUE),
  .Exchange = ExchangeSetting
};

constexpr CHAR8  WriteBmcSettingContract[] =
  "Selector    00\n"
  "WriteFlag   01\n"
  "Value       in [78 56 34 12]\n"
  "Descriptor  null\n"
  "send 3A/C4 [03 00 19 01 92 '/ac/uefi/smbioscrc' 44 78 56 34 12] cap 04 -> [00]\n";

constexpr OperationSpec  Oem1CSetWordExRow = {
  .Kind     = DispatchKind::BmcZeroOnly,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_1C,
  .Variant  = OEM_1C_SET_WORD_EX_LENGTH,
  .Exchange = WriteOem1C
};

constexpr CHAR8  Oem1CSetWordExContract[] =
  "Value  1234\n"
  "send 3A/1C [00 01 12 34 00] cap 00 -> []\n";

//
// Stage 7 to BMC 1, dispatched by ReportBootStageSecondary itself.
//
constexpr OperationSpec  ReportBootStageSecondaryRow = {
  .Kind     = DispatchKind::SingleBmc,
  .Guarded  = FALSE,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_BOOT_STAGE,
  .Exchange = ReportStage
};

constexpr CHAR8  ReportBootStageSecondaryContract[] =
  "to 1\n"
  "send 3A/C3 [01 07] cap 00 -> []\n"
  "port 0EB5 00\n"
  "port 0EB6 00\n"
  "port 0EB7 00\n"
  "port 0EB8 07\n"
  "port 0EBF A5\n"
  "port 024E 3E\n"
  "port 024F 07\n";

}  // namespace Oskel
