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
// Data is the caller's buffer; Destination is the same buffer, writable,
// when reading and NULL when writing.
//
struct KnownFileArgs {
  UINT8         KnownFileId;
  UINT8         AccessMode;    // FILE_ACCESS_READ or FILE_ACCESS_WRITE
  UINT32        Offset;
  UINT32        ReadCount;     // reading: bytes wanted
  CONST VOID    *Data;
  VOID          *Destination;
  UINT32        *Total;        // reading: BytesRead; writing: the in/out Count
  CONST UINT32  *Size;
};

EFI_STATUS OSKEL_INTERNAL
CheckKnownFile (
  IN OUT Operation  &Op
  )
{
  CONST KnownFileArgs  &Args = Op.ArgsAs<KnownFileArgs>();

  return AnyNull (Args.Data, Args.Total) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

//
// Open, transfer and close through the published slots, so every step has
// its own dispatcher and guard inside the guard of the whole transfer. Only
// the handle passes from step to step; it never reaches the caller.
//
EFI_STATUS OSKEL_INTERNAL
KnownFileExchange (
  IN OUT Operation  &Op
  )
{
  CONST KnownFileArgs  &Args = Op.ArgsAs<KnownFileArgs>();
  BMC_COMMANDS_PPI     *This = Op.This;
  CONST KnownFile      *File = FindKnownFile (Args.KnownFileId);
  UINT32               Handle;
  EFI_STATUS           Status;

  if (File == nullptr) {
    return Refuse (Op, EFI_INVALID_PARAMETER);
  }

  Status = This->FileOpen (
                   Op.PeiServices,
                   This,
                   File->Name,
                   File->NameLength,
                   File->OpenFlag,
                   File->OpenMode[Args.AccessMode],
                   (Args.Size != nullptr) ? *Args.Size : File->DefaultSize,
                   Args.AccessMode,
                   File->FileClass,
                   &Handle,
                   Op.BmcInstance,
                   Op.Force
                   );
  if (Status != EFI_SUCCESS) {
    //
    // Nothing is open, so there is nothing to close, and the open has
    // already reported the exchange to its own guard.
    //
    return Refuse (Op, Status);
  }

  if (Args.AccessMode == FILE_ACCESS_WRITE) {
    Status = This->FileWrite (Op.PeiServices, This, Handle, Args.Offset, Args.Data, Args.Total, Op.BmcInstance, Op.Force);
  } else {
    Status = This->FileRead (Op.PeiServices, This, Handle, Args.Offset, Args.ReadCount, Args.Destination, Args.Total, Op.BmcInstance, Op.Force);
  }

  //
  // The handle is released whatever the transfer did; a failed close
  // leaves the caller nothing to act on, so the transfer's status stands.
  //
  (VOID)This->FileClose (Op.PeiServices, This, Handle, Op.BmcInstance, Op.Force);
  return Status;
}

constexpr OperationSpec  mKnownFileSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .Check    = CheckKnownFile,
  .Exchange = KnownFileExchange
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
  CONST KnownFileArgs  Args = { KnownFileId, FILE_ACCESS_READ, Offset, Count, Buffer, Buffer, BytesRead, Size };

  return Dispatch (mKnownFileSpec, PeiServices, This, BmcInstance, Force, &Args);
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
  CONST KnownFileArgs  Args = { KnownFileId, FILE_ACCESS_WRITE, Offset, 0, Buffer, nullptr, Count, Size };

  return Dispatch (mKnownFileSpec, PeiServices, This, BmcInstance, Force, &Args);
}
