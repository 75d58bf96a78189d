/** @file
  Whole-file transfers of the well-known BMC files.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "FileService.h"

using namespace Oskel;

namespace {

//
// The table as written: id, name, default FileSize, OpenFlag, OpenMode when
// reading and when writing, FileClass. Only the packed form below is
// stored in the module.
//
struct KnownFileSource {
  UINT8        Id;
  CONST CHAR8  *Name;
  UINT32       DefaultSize;
  UINT8        OpenFlag;
  UINT8        ReadOpenMode;
  UINT8        WriteOpenMode;
  UINT8        FileClass;
};

constexpr KnownFileSource  mKnownFileSource[] = {
  { KNOWN_FILE_SMBIOS_TABLE,           "smbios-table",           0x19000, 0, 3, 3, 0x14 },
  { KNOWN_FILE_PAP_PASSWORD,           "pap-password",           0x40,    0, 3, 3, 0x14 },
  { KNOWN_FILE_WHEA_DATA,              "whea-data",              0x2000,  0, 3, 3, 0x14 },
  { KNOWN_FILE_SLP2_DATA,              "slp2-data",              0x400,   0, 3, 3, 0x14 },
  { KNOWN_FILE_BIOS_CONFIG_RAW,        "bios-config-raw",        0x32,    0, 3, 1, 0x0B },
  { KNOWN_FILE_CONFIG_LOG,             "config_log",             0x2000,  1, 3, 3, 0x0B },
  { KNOWN_FILE_CONFIG,                 "config",                 0x4000,  1, 3, 3, 0x0B },
  { KNOWN_FILE_CATERR_MSR_DUMP,        "caterr-msr-dump",        0x80,    1, 3, 3, 0x14 },
  { KNOWN_FILE_UEFI_THERMAL_TABLE,     "uefi-thermal-table",     0x320,   0, 3, 3, 0x14 },
  { KNOWN_FILE_UEFI_CHIPSET_REGISTERS, "uefi-chipset-registers", 0x3000,  0, 3, 3, 0x14 },
  { KNOWN_FILE_UEFI_TCL_IN,            "uefi-tcl.in",            0x1000,  0, 3, 3, 0x14 },
  { KNOWN_FILE_UEFI_ERR_LOG,           "uefi-err.log",           0x3000,  0, 3, 3, 0x14 },
};

constexpr UINTN  KNOWN_FILE_COUNT = sizeof (mKnownFileSource) / sizeof (mKnownFileSource[0]);

[[nodiscard]] constexpr UINTN
NameLength (
  IN CONST CHAR8  *Name
  )
{
  UINTN  Length = 0;

  while (Name[Length] != '\0') {
    Length++;
  }

  return Length;
}

[[nodiscard]] constexpr UINTN
KnownFileNameBytes (
  VOID
  )
{
  UINTN  Total = 0;

  for (CONST KnownFileSource &Source : mKnownFileSource) {
    Total += NameLength (Source.Name);
  }

  return Total;
}

//
// The rows, then every name without terminator, back to back in row order.
//
struct KnownFileBlock {
  KnownFile    Rows[KNOWN_FILE_COUNT];
  CHAR8        Names[KnownFileNameBytes ()];
};

[[nodiscard]] constexpr KnownFileBlock
PackKnownFiles (
  VOID
  )
{
  KnownFileBlock  Block = {};
  UINTN           Next  = 0;

  for (UINTN Index = 0; Index < KNOWN_FILE_COUNT; Index++) {
    CONST KnownFileSource  &Source = mKnownFileSource[Index];
    KnownFile              &Row    = Block.Rows[Index];

    Row.Id            = Source.Id;
    Row.NameLength    = static_cast<UINT8>(NameLength (Source.Name));
    Row.OpenFlag      = Source.OpenFlag;
    Row.WriteOpenMode = Source.WriteOpenMode;
    Row.FileClass     = Source.FileClass;
    PutUint32Le (Row.DefaultSize, Source.DefaultSize);

    for (UINTN Char = 0; Char < Row.NameLength; Char++) {
      Block.Names[Next++] = Source.Name[Char];
    }
  }

  return Block;
}

//
// Every name travels in one open request, and every file is read with the
// same OpenMode, which the packed rows therefore leave out.
//
[[nodiscard]] constexpr BOOLEAN
KnownFileSourceFits (
  VOID
  )
{
  for (CONST KnownFileSource &Source : mKnownFileSource) {
    if ((NameLength (Source.Name) > MAX_FILE_NAME_LENGTH) || (Source.ReadOpenMode != KNOWN_FILE_READ_OPEN_MODE)) {
      return FALSE;
    }
  }

  return TRUE;
}

static_assert (KnownFileSourceFits (), "names fit one request, and every file is read with one OpenMode");

constexpr KnownFileBlock  mKnownFiles = PackKnownFiles ();

}  // namespace

namespace Oskel {

//
// Open, transfer and close, each a step dispatched and guarded on its own
// inside the guard of the whole transfer. Only the handle passes from step
// to step; it never reaches the caller.
//
EFI_STATUS OSKEL_INTERNAL
KnownFileExchange (
  IN OUT Operation  &Op
  )
{
  CONST UINT8          AccessMode = Op.Spec->Variant;
  CONST UINT8          Last       = Op.Spec->Arguments - 1;
  CONST UINT32         *Size      = (AccessMode == FILE_ACCESS_WRITE) ? Op.Get (WRITE_KNOWN_FILE_SIZE) : Op.Get (READ_KNOWN_FILE_SIZE);
  CONST CHAR8          *Name;
  CONST KnownFile      *File      = FindKnownFile (Op.Get (KNOWN_FILE_ID), &Name);
  CONST OperationSpec  &Transfer  = (AccessMode == FILE_ACCESS_WRITE) ? OPERATION (FileWrite) : OPERATION (FileRead);
  UINT32               Handle;
  EFI_STATUS           Status;
  UINTN                Step[SlotParameters<BMC_COMMANDS_FILE_OPEN>::Count];

  if (File == nullptr) {
    return Refuse (Op, EFI_INVALID_PARAMETER);
  }

  Step[OPEN_NAME.Index]        = reinterpret_cast<UINTN>(Name);
  Step[OPEN_NAME_LENGTH.Index] = File->NameLength;
  Step[OPEN_FLAG.Index]        = File->OpenFlag;
  Step[OPEN_MODE.Index]        = (AccessMode == FILE_ACCESS_WRITE) ? File->WriteOpenMode : KNOWN_FILE_READ_OPEN_MODE;
  Step[OPEN_FILE_SIZE.Index]   = (Size != nullptr) ? *Size : GetUint32Le (File->DefaultSize);
  Step[OPEN_ACCESS_MODE.Index] = AccessMode;
  Step[OPEN_FILE_CLASS.Index]  = File->FileClass;
  Step[OPEN_HANDLE.Index]      = reinterpret_cast<UINTN>(&Handle);
  Status                       = DispatchStep (Op, OPERATION (FileOpen), Step);
  if (Status != EFI_SUCCESS) {
    //
    // Nothing is open, so there is nothing to close, and the open has
    // already reported the exchange to its own guard.
    //
    return Refuse (Op, Status);
  }

  //
  // The transfer's arguments are the caller's own from the offset on, up
  // to the size that the transfer does not take.
  //
  Step[TRANSFER_HANDLE.Index] = Handle;
  for (UINT8 Index = TRANSFER_OFFSET.Index; Index < Last; Index++) {
    Step[Index] = Op.Word (Index);
  }

  Status = DispatchStep (Op, Transfer, Step);

  //
  // The handle is released whatever the transfer did; a failed close
  // leaves the caller nothing to act on, so the transfer's status stands.
  //
  (VOID)DispatchStep (Op, OPERATION (FileClose), Step);
  return Status;
}

}  // namespace Oskel

CONST KnownFile * OSKEL_INTERNAL
Oskel::FindKnownFile (
  IN UINT8          Id,
  OUT CONST CHAR8   **Name
  )
{
  CONST CHAR8  *Names = mKnownFiles.Names;

  for (CONST KnownFile &File : mKnownFiles.Rows) {
    if (File.Id == Id) {
      *Name = Names;
      return &File;
    }

    Names += File.NameLength;
  }

  return nullptr;
}
