/** @file
  Memory routines of the module. The module runs before any library is
  available, so it carries its own and never calls the C library's.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>

#include <OskelCompiler.h>

namespace Oskel {

VOID OSKEL_INTERNAL
ZeroMem (
  OUT VOID  *Buffer,
  IN UINTN  Length
  );

//
// Overlap-safe, byte by byte: backward when the source lies below an
// overlapping destination, forward otherwise. The copies here are at most
// a few hundred bytes, so bytes cost no time worth flash.
//
VOID OSKEL_INTERNAL
CopyMem (
  OUT VOID       *Destination,
  IN CONST VOID  *Source,
  IN UINTN       Length
  );

[[nodiscard]] BOOLEAN OSKEL_INTERNAL
SameGuid (
  IN CONST EFI_GUID  *Left,
  IN CONST EFI_GUID  *Right
  );

}  // namespace Oskel
