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

/**
  Zeroes Length bytes; never turned into a call of the C library's memset.

  @param[out] Buffer  The bytes to zero.
  @param[in]  Length  Their count.
**/
VOID OSKEL_INTERNAL
ZeroMem (
  OUT VOID  *Buffer,
  IN UINTN  Length
  );

/**
  Overlap-safe, byte by byte: backward when the source lies below an
  overlapping destination, forward otherwise. The copies here are at most
  a few hundred bytes, so bytes cost no time worth flash.

  @param[out] Destination  Where Length bytes land.
  @param[in]  Source       The bytes to copy; may overlap Destination.
  @param[in]  Length       Their count; 0 copies nothing.
**/
VOID OSKEL_INTERNAL
CopyMem (
  OUT VOID       *Destination,
  IN CONST VOID  *Source,
  IN UINTN       Length
  );

/**
  Compares two GUIDs byte by byte: a GUID in a HOB need not be aligned.
  Inline, as its one caller walks the HOB list.

  @param[in] Left   One GUID.
  @param[in] Right  The other.

  @retval TRUE   The sixteen bytes are equal.
  @retval FALSE  They differ.
**/
[[nodiscard]] inline BOOLEAN
SameGuid (
  IN CONST EFI_GUID  *Left,
  IN CONST EFI_GUID  *Right
  )
{
  CONST UINT8  *L = reinterpret_cast<CONST UINT8 *>(Left);
  CONST UINT8  *R = reinterpret_cast<CONST UINT8 *>(Right);

  for (UINTN Index = 0; Index < sizeof (EFI_GUID); Index++) {
    if (L[Index] != R[Index]) {
      return FALSE;
    }
  }

  return TRUE;
}

}  // namespace Oskel
