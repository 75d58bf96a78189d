/** @file
  Region read and write, OEM commands 0Bh and 0Ch.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../Dispatch/Pending.h"

using namespace Oskel;

namespace {

struct RegionReadArgs {
  UINT16    Offset;
  UINT8     Selector;
  UINT16  *Length;
  UINT8   *Buffer;
};

constexpr OperationSpec  mRegionReadSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

struct RegionWriteArgs {
  UINT16         Offset;
  UINT8          Selector;
  UINT16       *Length;
  CONST UINT8  *Data;
};

constexpr OperationSpec  mRegionWriteSpec = { .Kind = DispatchKind::SingleBmc, .Exchange = PendingExchange };

}  // namespace

extern "C" EFI_STATUS EFIAPI
RegionRead (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16 Offset,
  IN UINT8 Selector,
  IN UINT16 *Length,
  IN UINT8 *Buffer,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST RegionReadArgs  Args = { Offset, Selector, Length, Buffer };

  return Dispatch (mRegionReadSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
RegionWrite (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16 Offset,
  IN UINT8 Selector,
  IN UINT16 *Length,
  IN CONST UINT8 *Data,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST RegionWriteArgs  Args = { Offset, Selector, Length, Data };

  return Dispatch (mRegionWriteSpec, PeiServices, This, BmcInstance, Force, &Args);
}
