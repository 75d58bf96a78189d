/** @file
  Whole-file transfers of the well-known BMC files.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "FileService.h"

using namespace Oskel;

namespace {

template <UINTN N>
constexpr KnownFile
KnownFileRow (
  IN UINT8        Id,
  IN CONST CHAR8  (&Name)[N],
  IN UINT32       DefaultSize,
  IN UINT8        OpenFlag,
  IN UINT8        ReadOpenMode,
  IN UINT8        WriteOpenMode,
  IN UINT8        FileClass
  )
{
  static_assert (N - 1 <= MAX_FILE_NAME_LENGTH, "a file name travels in one open request");
  return { Name, DefaultSize, Id, static_cast<UINT8>(N - 1), OpenFlag, { ReadOpenMode, WriteOpenMode }, FileClass };
}

//
// Id, name, default FileSize, OpenFlag, OpenMode when reading and when
// writing, FileClass.
//
constexpr KnownFile  mKnownFileTable[] = {
  KnownFileRow (KNOWN_FILE_SMBIOS_TABLE,           "smbios-table",           0x19000, 0, 3, 3, 0x14),
  KnownFileRow (KNOWN_FILE_PAP_PASSWORD,           "pap-password",           0x40,    0, 3, 3, 0x14),
  KnownFileRow (KNOWN_FILE_WHEA_DATA,              "whea-data",              0x2000,  0, 3, 3, 0x14),
  KnownFileRow (KNOWN_FILE_SLP2_DATA,              "slp2-data",              0x400,   0, 3, 3, 0x14),
  KnownFileRow (KNOWN_FILE_BIOS_CONFIG_RAW,        "bios-config-raw",        0x32,    0, 3, 1, 0x0B),
  KnownFileRow (KNOWN_FILE_CONFIG_LOG,             "config_log",             0x2000,  1, 3, 3, 0x0B),
  KnownFileRow (KNOWN_FILE_CONFIG,                 "config",                 0x4000,  1, 3, 3, 0x0B),
  KnownFileRow (KNOWN_FILE_CATERR_MSR_DUMP,        "caterr-msr-dump",        0x80,    1, 3, 3, 0x14),
  KnownFileRow (KNOWN_FILE_UEFI_THERMAL_TABLE,     "uefi-thermal-table",     0x320,   0, 3, 3, 0x14),
  KnownFileRow (KNOWN_FILE_UEFI_CHIPSET_REGISTERS, "uefi-chipset-registers", 0x3000,  0, 3, 3, 0x14),
  KnownFileRow (KNOWN_FILE_UEFI_TCL_IN,            "uefi-tcl.in",            0x1000,  0, 3, 3, 0x14),
  KnownFileRow (KNOWN_FILE_UEFI_ERR_LOG,           "uefi-err.log",           0x3000,  0, 3, 3, 0x14),
};

//
// Arguments of ReadKnownFile and WriteKnownFile, in slot order; from the
// offset on they follow those of FileRead and FileWrite, then the size.
//
constexpr UINT8  KNOWN_FILE_ID     = 0;
constexpr UINT8  KNOWN_FILE_OFFSET = 1;

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
  CONST UINT32         *Size      = Op.Pointer<CONST UINT32>(Last);
  CONST KnownFile      *File      = FindKnownFile (Op.Uint8 (KNOWN_FILE_ID));
  CONST OperationSpec  &Transfer  = (AccessMode == FILE_ACCESS_WRITE) ? mFileWriteSpec : mFileReadSpec;
  UINT32               Handle;
  EFI_STATUS           Status;
  UINTN                Step[OPEN_ARGUMENTS];

  if (File == nullptr) {
    return Refuse (Op, EFI_INVALID_PARAMETER);
  }

  Step[OPEN_NAME]        = reinterpret_cast<UINTN>(File->Name);
  Step[OPEN_NAME_LENGTH] = File->NameLength;
  Step[OPEN_FLAG]        = File->OpenFlag;
  Step[OPEN_MODE]        = File->OpenMode[AccessMode];
  Step[OPEN_FILE_SIZE]   = (Size != nullptr) ? *Size : File->DefaultSize;
  Step[OPEN_ACCESS_MODE] = AccessMode;
  Step[OPEN_FILE_CLASS]  = File->FileClass;
  Step[OPEN_HANDLE]      = reinterpret_cast<UINTN>(&Handle);
  Status                 = Dispatch (mFileOpenSpec, Op.PeiServices, Op.This, Op.BmcInstance, Op.Force, Step);
  if (Status != EFI_SUCCESS) {
    //
    // Nothing is open, so there is nothing to close, and the open has
    // already reported the exchange to its own guard.
    //
    return Refuse (Op, Status);
  }

  //
  // The transfer's arguments are the caller's own from the offset on.
  //
  Step[TRANSFER_HANDLE] = Handle;
  for (UINT8 Index = TRANSFER_OFFSET; Index < Transfer.Arguments; Index++) {
    Step[Index] = Op.Argument (Index);
  }

  Status = Dispatch (Transfer, Op.PeiServices, Op.This, Op.BmcInstance, Op.Force, Step);

  //
  // The handle is released whatever the transfer did; a failed close
  // leaves the caller nothing to act on, so the transfer's status stands.
  //
  (VOID)Dispatch (mFileCloseSpec, Op.PeiServices, Op.This, Op.BmcInstance, Op.Force, Step);
  return Status;
}

constexpr OperationSpec  mReadKnownFileSpec = {
  .Kind      = DispatchKind::SingleBmc,
  .Exchange  = KnownFileExchange,
  .Arguments = READ_ARGUMENTS + 1,
  .Required  = ArgumentBit (READ_BUFFER) | ArgumentBit (READ_BYTES_READ),
  .Variant   = FILE_ACCESS_READ
};

constexpr OperationSpec  mWriteKnownFileSpec = {
  .Kind      = DispatchKind::SingleBmc,
  .Exchange  = KnownFileExchange,
  .Arguments = WRITE_ARGUMENTS + 1,
  .Required  = ArgumentBit (WRITE_BUFFER) | ArgumentBit (WRITE_COUNT),
  .Variant   = FILE_ACCESS_WRITE
};

}  // namespace

CONST KnownFile * OSKEL_INTERNAL
Oskel::FindKnownFile (
  IN UINT8  Id
  )
{
  for (CONST KnownFile &File : mKnownFileTable) {
    if (File.Id == Id) {
      return &File;
    }
  }

  return nullptr;
}

extern "C" EFI_STATUS EFIAPI
ReadKnownFile (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN UINT32                  Offset,
  IN UINT32                  Count,
  OUT VOID                   *Buffer,
  OUT UINT32                 *BytesRead,
  IN CONST UINT32            *Size OPTIONAL,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  return DispatchSlot (mReadKnownFileSpec, SLOT_ARGUMENTS (PeiServices, This, KnownFileId, Offset, Count, Buffer, BytesRead, Size, BmcInstance, Force));
}

extern "C" EFI_STATUS EFIAPI
WriteKnownFile (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN UINT32                  Offset,
  IN CONST VOID              *Buffer,
  IN OUT UINT32              *Count,
  IN CONST UINT32            *Size OPTIONAL,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  return DispatchSlot (mWriteKnownFileSpec, SLOT_ARGUMENTS (PeiServices, This, KnownFileId, Offset, Buffer, Count, Size, BmcInstance, Force));
}
