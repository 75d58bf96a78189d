/** @file
  BMC settings store, OEM command C4h.

  The store addresses a setting by its path. A request is an operation
  byte, 00h and a record length L counting the bytes after it; a write
  then carries the write flag, the name byte (80h OR path length), the
  path, the value byte (value length OR the type's flag bit) and the value.
  Both bytes are a plain OR without masking, the form the BMC has always
  received: a 128-byte path gives the name byte 80h. Every answer opens
  with the store's own status byte; a read's value follows from byte 4.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../MemoryRoutines.h"
#include "OemCommands.h"

using namespace Oskel;

namespace {

constexpr UINT8  SETTINGS_NAME_BYTE        = 0x80;
constexpr UINT8  SETTINGS_VALUE_OFFSET     = 4;    // of a read's answer
//
// Largest L of a write: the whole request then stays within 246 bytes.
//
constexpr UINTN  SETTINGS_MAX_WRITE_RECORD = 243;

//
// A setting as it goes on the wire, whether built in or described by the
// caller.
//
struct SettingView {
  CONST VOID    *Name;
  UINT8         NameLength;
  UINT8         ValueLength;
  UINT8         Flag;        // ORed into the value byte of a write
  BOOLEAN       Readable;
};

//
// Indexed by BMC_SETTING_TYPE.
//
constexpr UINT8  mSettingTypeFlags[] = { 0x80, 0x10, 0x20, 0x40 };

//
// Indexed by selector; both are written with the flag of type 3.
//
constexpr SettingView  mBuiltInSettings[] = {
  { "/ac/uefi/smbioscrc", 18, 4, mSettingTypeFlags[3], TRUE  },  // BMC_SETTING_SMBIOS_CRC
  { "/dc/uefi/1boot",     14, 1, mSettingTypeFlags[3], FALSE },  // BMC_SETTING_1BOOT: write only
};

//
// Indexed by the store's status byte; any later value is unknown. 9 is a
// success of its own.
//
constexpr UINT8  mSettingStatusMap[] = {
  StatusCode (EFI_SUCCESS),
  StatusCode (EFI_NOT_READY),
  StatusCode (EFI_PROTOCOL_ERROR),
  StatusCode (EFI_NOT_FOUND),
  StatusCode (EFI_INVALID_PARAMETER),
  StatusCode (EFI_INVALID_PARAMETER),
  StatusCode (EFI_ACCESS_DENIED),
  StatusCode (EFI_OUT_OF_RESOURCES),
  StatusCode (EFI_NOT_FOUND),
  StatusCode (EFI_SUCCESS)
};

static_assert ((WRITE_SETTING_VALUE.Index == READ_SETTING_VALUE.Index + 1) && (WRITE_SETTING_DESCRIPTOR.Index == READ_SETTING_DESCRIPTOR.Index + 1), "a write's arguments lie one further on");

//
// The setting a call addresses. The selector and descriptor checks come
// before the length limit of a write, so a bad type is refused as such
// even on an oversized record.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ChooseSetting (
  IN UINT8                          Selector,
  IN CONST BMC_SETTING_DESCRIPTOR   *Descriptor,
  IN BOOLEAN                        IsWrite,
  OUT SettingView                   &Setting
  )
{
  if (Selector == BMC_SETTING_DESCRIBED) {
    if ((Descriptor == nullptr) ||
        (Descriptor->NameLength > BMC_SETTING_MAX_NAME_LENGTH) ||
        (Descriptor->ValueLength > BMC_SETTING_MAX_VALUE_LENGTH) ||
        (Descriptor->Type >= sizeof (mSettingTypeFlags)))
    {
      return EFI_INVALID_PARAMETER;
    }

    Setting.Name        = Descriptor->Name;
    Setting.NameLength  = Descriptor->NameLength;
    Setting.ValueLength = Descriptor->ValueLength;
    Setting.Flag        = mSettingTypeFlags[Descriptor->Type];
    return EFI_SUCCESS;
  }

  if ((Selector >= sizeof (mBuiltInSettings) / sizeof (mBuiltInSettings[0])) ||
      (!IsWrite && !mBuiltInSettings[Selector].Readable))
  {
    return EFI_INVALID_PARAMETER;
  }

  Setting = mBuiltInSettings[Selector];
  return EFI_SUCCESS;
}

}  // namespace

namespace Oskel {

//
// One exchange with the store, read or write by Spec.Variant. The selector
// and descriptor are judged after phase 0, so an unusable BMC is reported
// as such whatever they hold; their refusal, like the length limit of a
// write, sends nothing and skips phase 1.
//
EFI_STATUS OSKEL_INTERNAL
ExchangeSetting (
  IN OUT Operation  &Op
  )
{
  CONST UINT8          Operation = Op.Spec->Variant;
  CONST BOOLEAN        IsWrite   = (Operation == SETTINGS_OP_WRITE);
  CONST ArgumentWords  Shifted   = { Op.Arguments ().Words + IsWrite };  // a write's value and descriptor lie one word further
  VOID                 *Value    = Shifted.Get (READ_SETTING_VALUE);
  UINT8                *Scratch  = Op.Scratch ();  // the request, then the answer
  SettingView          Setting;
  EFI_STATUS           Status;
  UINT8                Length;
  UINT8                Returned;     // value bytes the answer carries: a read's alone

  Status = ChooseSetting (
             Op.Get (SETTING_SELECTOR),
             Shifted.Get (READ_SETTING_DESCRIPTOR),
             IsWrite,
             Setting
             );
  if (Status != EFI_SUCCESS) {
    return Refuse (Op, Status);
  }

  //
  // L counts the name byte and the path; a write adds its flag, the value
  // byte and the value. A read never comes near the limit. Path and value
  // lengths were held to 128 bytes each and a write's record to 243 bytes,
  // so the request fits in ScratchBuffer.
  //
  UINT8  *At = Scratch + 3;

  Returned = Setting.ValueLength;
  if (IsWrite) {
    if (Setting.NameLength + Setting.ValueLength + 3u > SETTINGS_MAX_WRITE_RECORD) {
      return Refuse (Op, EFI_BAD_BUFFER_SIZE);
    }

    Returned = 0;
    *At++    = (Op.Get (WRITE_SETTING_FLAG) != 0) ? 1 : 0;
  }

  Scratch[0] = Operation;
  Scratch[1] = 0;

  *At++ = SETTINGS_NAME_BYTE | Setting.NameLength;
  CopyMem (At, Setting.Name, Setting.NameLength);
  At += Setting.NameLength;
  if (IsWrite) {
    *At++ = Setting.ValueLength | Setting.Flag;
    CopyMem (At, Value, Setting.ValueLength);
    At += Setting.ValueLength;
  }

  Length     = static_cast<UINT8>(At - Scratch);
  Scratch[2] = Length - 3;

  //
  // An answer without the status byte, or a read whose value is cut short,
  // is not passed off as the setting: Value stays as it was.
  //
  Status = SpecExchange (Op, { .RequestLength = Length, .Capacity = static_cast<UINT8>(SETTINGS_VALUE_OFFSET + Returned), .Minimum = 1 });
  if (Status != EFI_SUCCESS) {
    return Status;
  }

  if (Scratch[0] >= sizeof (mSettingStatusMap)) {
    return EFI_BMC_UNEXPECTED_CODE;
  }

  Status = StatusFromCode (mSettingStatusMap[Scratch[0]]);
  if ((Status != EFI_SUCCESS) || (Returned == 0)) {
    return Status;
  }

  if (Op.Received < SETTINGS_VALUE_OFFSET + Returned) {
    return EFI_PROTOCOL_ERROR;
  }

  CopyMem (Value, &Scratch[SETTINGS_VALUE_OFFSET], Returned);
  return EFI_SUCCESS;
}

}  // namespace Oskel
