/** @file
  BMC file service, OEM command 90h.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../Dispatch/Pending.h"

using namespace Oskel;

namespace {

struct FileOpenArgs {
  CONST CHAR8  *Name;
  UINT8          NameLength;
  UINT8          OpenFlag;
  UINT8          OpenMode;
  UINT32         FileSize;
  UINT8          AccessMode;
  UINT8          FileClass;
  UINT32       *Handle;
};

constexpr OperationSpec  mFileOpenSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct FileReadArgs {
  UINT32    Handle;
  UINT32    Offset;
  UINT32    Count;
  VOID    *Buffer;
  UINT32  *BytesRead;
};

constexpr OperationSpec  mFileReadSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct FileWriteArgs {
  UINT32        Handle;
  UINT32        Offset;
  CONST VOID  *Buffer;
  UINT32      *Count;
};

constexpr OperationSpec  mFileWriteSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct FileCloseArgs {
  UINT32  Handle;
};

constexpr OperationSpec  mFileCloseSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct FileDeleteArgs {
  UINT8          KnownFileId;
  CONST CHAR8  *Name;
  CONST UINT8  *NameLength;
};

constexpr OperationSpec  mFileDeleteSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct GetFileSizeArgs {
  UINT8          KnownFileId;
  CONST CHAR8  *Name;
  CONST UINT8  *NameLength;
  UINT32       *Size;
};

constexpr OperationSpec  mGetFileSizeSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

}  // namespace

extern "C" EFI_STATUS EFIAPI
FileOpen (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN CONST CHAR8 *Name,
  IN UINT8 NameLength,
  IN UINT8 OpenFlag,
  IN UINT8 OpenMode,
  IN UINT32 FileSize,
  IN UINT8 AccessMode,
  IN UINT8 FileClass,
  IN UINT32 *Handle,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileOpenArgs  Args = { Name, NameLength, OpenFlag, OpenMode, FileSize, AccessMode, FileClass, Handle };

  return Dispatch (mFileOpenSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
FileRead (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32 Handle,
  IN UINT32 Offset,
  IN UINT32 Count,
  IN VOID *Buffer,
  IN UINT32 *BytesRead,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileReadArgs  Args = { Handle, Offset, Count, Buffer, BytesRead };

  return Dispatch (mFileReadSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
FileWrite (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32 Handle,
  IN UINT32 Offset,
  IN CONST VOID *Buffer,
  IN UINT32 *Count,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileWriteArgs  Args = { Handle, Offset, Buffer, Count };

  return Dispatch (mFileWriteSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
FileClose (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32 Handle,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileCloseArgs  Args = { Handle };

  return Dispatch (mFileCloseSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
FileDelete (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 KnownFileId,
  IN CONST CHAR8 *Name,
  IN CONST UINT8 *NameLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileDeleteArgs  Args = { KnownFileId, Name, NameLength };

  return Dispatch (mFileDeleteSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
GetFileSize (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 KnownFileId,
  IN CONST CHAR8 *Name,
  IN CONST UINT8 *NameLength,
  IN UINT32 *Size,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST GetFileSizeArgs  Args = { KnownFileId, Name, NameLength, Size };

  return Dispatch (mGetFileSizeSpec, PeiServices, This, BmcInstance, Force, &Args);
}
