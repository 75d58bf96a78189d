/** @file
  Block upload, OEM command 92h.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../Dispatch/Pending.h"

using namespace Oskel;

namespace {

struct UploadBlocksArgs {
  UINT32          BlockTag;
  UINT8           Value;
  CONST UINT8   *Data;
  CONST UINT32  *Length;
  BOOLEAN         UseOp80;
};

constexpr OperationSpec  mUploadBlocksSpec = { .Kind = DispatchKind::Broadcast, .Exchange = PendingExchange };

struct UploadBlocksOp1Args {
  UINT32          BlockTag;
  UINT8           Value;
  CONST UINT8   *Data;
  CONST UINT32  *Length;
};

constexpr OperationSpec  mUploadBlocksOp1Spec = { .Kind = DispatchKind::Broadcast, .Exchange = PendingExchange };

}  // namespace

extern "C" EFI_STATUS EFIAPI
UploadBlocks (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32 BlockTag,
  IN UINT8 Value,
  IN CONST UINT8 *Data,
  IN CONST UINT32 *Length,
  IN BOOLEAN UseOp80,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST UploadBlocksArgs  Args = { BlockTag, Value, Data, Length, UseOp80 };

  return Dispatch (mUploadBlocksSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
UploadBlocksOp1 (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32 BlockTag,
  IN UINT8 Value,
  IN CONST UINT8 *Data,
  IN CONST UINT32 *Length,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST UploadBlocksOp1Args  Args = { BlockTag, Value, Data, Length };

  return Dispatch (mUploadBlocksOp1Spec, PeiServices, This, BmcInstance, Force, &Args);
}
