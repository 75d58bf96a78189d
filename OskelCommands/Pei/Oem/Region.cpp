/** @file
  Region read and write, OEM commands 0Bh and 0Ch.

  A transfer of up to 65535 bytes travels in chunks of BMC_CHUNK_SIZE under
  one guard. Chunk i addresses the region at Offset + 224 * i, wrapping at
  64 KiB, and the caller's buffer at 224 * i, whatever earlier chunks
  returned.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"

using namespace Oskel;

namespace {

struct RegionArgs {
  UINT16         Offset;
  UINT8          Selector;
  UINT16         *Length;
  CONST UINT8    *Data;         // the caller's buffer, in both directions
  UINT8          *Destination;  // the same buffer for a read; NULL for a write
};

EFI_STATUS OSKEL_INTERNAL
CheckRegionArgs (
  IN OUT Operation  &Op
  )
{
  CONST RegionArgs  &Args = Op.ArgsAs<RegionArgs>();

  if (AnyNull (Args.Length, Args.Data)) {
    return EFI_INVALID_PARAMETER;
  }

  //
  // Refused before the guard: an empty transfer never consults the BMC's
  // health.
  //
  return (*Args.Length == 0) ? EFI_BAD_BUFFER_SIZE : EFI_SUCCESS;
}

//
// The chunk loop of both directions; Spec.Command tells them apart. A read
// chunk asks for its own count and copies at most that many bytes into its
// stretch of the caller's buffer, even when the transport reports more, so
// a short chunk leaves the tail of its stretch untouched. *Length is
// written only when every chunk succeeded.
//
EFI_STATUS OSKEL_INTERNAL
TransferRegion (
  IN OUT Operation  &Op
  )
{
  CONST RegionArgs  &Args   = Op.ArgsAs<RegionArgs>();
  CONST BOOLEAN     IsRead  = (Op.Spec->Command == OEM_CMD_REGION_READ);
  CONST UINTN       Length  = *Args.Length;
  UINT16            Offset  = Args.Offset;
  UINTN             Total   = 0;
  UINTN             Position;
  EFI_STATUS        Status;

  for (Position = 0; Position < Length; Position += BMC_CHUNK_SIZE) {
    CONST UINT8  Count = static_cast<UINT8>((Length - Position < BMC_CHUNK_SIZE) ? Length - Position : BMC_CHUNK_SIZE);
    UINT8        Moved = 0;
    WireWriter   Request (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE);

    Request.Uint16 (Offset, ByteOrder::LittleEndian).Byte (Args.Selector);
    if (IsRead) {
      Request.Byte (Count);
      Status = SendScratch (Op, OEM_NETFN_CONTROLLER, OEM_CMD_REGION_READ, Request.Length (), Count, &Moved);
      if (Status == EFI_SUCCESS) {
        CopyMem (Args.Destination + Position, Op.Scratch (), Moved);
      }
    } else {
      //
      // A write is acknowledged by its completion code alone and is
      // offered no response buffer.
      //
      Request.Bytes (Args.Data + Position, Count);
      Status = Send (Op, OEM_NETFN_CONTROLLER, OEM_CMD_REGION_WRITE, Op.Scratch (), Request.Length (), nullptr, &Moved);
      Moved  = Count;
    }

    if (Status != EFI_SUCCESS) {
      return Status;
    }

    Total += Moved;
    Offset = static_cast<UINT16>(Offset + BMC_CHUNK_SIZE);
  }

  *Args.Length = static_cast<UINT16>(Total);
  return EFI_SUCCESS;
}

constexpr OperationSpec  mRegionReadSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_REGION_READ,
  .Check    = CheckRegionArgs,
  .Exchange = TransferRegion
};

constexpr OperationSpec  mRegionWriteSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_CONTROLLER,
  .Command  = OEM_CMD_REGION_WRITE,
  .Check    = CheckRegionArgs,
  .Exchange = TransferRegion
};

}  // namespace

extern "C" EFI_STATUS EFIAPI
RegionRead (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Offset,
  IN UINT8                   Selector,
  IN OUT UINT16              *Length,
  OUT UINT8                  *Buffer,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST RegionArgs  Args = { Offset, Selector, Length, Buffer, Buffer };

  return Dispatch (mRegionReadSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
RegionWrite (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Offset,
  IN UINT8                   Selector,
  IN OUT UINT16              *Length,
  IN CONST UINT8             *Data,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST RegionArgs  Args = { Offset, Selector, Length, Data, nullptr };

  return Dispatch (mRegionWriteSpec, PeiServices, This, BmcInstance, Force, &Args);
}
