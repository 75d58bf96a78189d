/** @file
  Whole-file transfers of the well-known BMC files.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../Dispatch/Pending.h"

using namespace Oskel;

namespace {

struct ReadKnownFileArgs {
  UINT8           KnownFileId;
  UINT32          Offset;
  UINT32          Count;
  VOID          *Buffer;
  UINT32        *BytesRead;
  CONST UINT32  *Size;
};

constexpr OperationSpec  mReadKnownFileSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct WriteKnownFileArgs {
  UINT8           KnownFileId;
  UINT32          Offset;
  CONST VOID    *Buffer;
  UINT32        *Count;
  CONST UINT32  *Size;
};

constexpr OperationSpec  mWriteKnownFileSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

}  // namespace

extern "C" EFI_STATUS EFIAPI
ReadKnownFile (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 KnownFileId,
  IN UINT32 Offset,
  IN UINT32 Count,
  IN VOID *Buffer,
  IN UINT32 *BytesRead,
  IN CONST UINT32 *Size,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST ReadKnownFileArgs  Args = { KnownFileId, Offset, Count, Buffer, BytesRead, Size };

  return Dispatch (mReadKnownFileSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
WriteKnownFile (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8 KnownFileId,
  IN UINT32 Offset,
  IN CONST VOID *Buffer,
  IN UINT32 *Count,
  IN CONST UINT32 *Size,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST WriteKnownFileArgs  Args = { KnownFileId, Offset, Buffer, Count, Size };

  return Dispatch (mWriteKnownFileSpec, PeiServices, This, BmcInstance, Force, &Args);
}
