/** @file
  Memory routines of the module.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "MemoryRoutines.h"

namespace Oskel {

VOID OSKEL_INTERNAL
ZeroMem (
  OUT VOID  *Buffer,
  IN UINTN  Length
  )
{
  volatile UINT8  *Bytes = static_cast<UINT8 *>(Buffer);

  //
  // Volatile keeps the compiler from turning the loop back into a call of
  // the C library's memset, which does not exist here.
  //
  while (Length-- != 0) {
    *Bytes++ = 0;
  }
}

VOID OSKEL_INTERNAL
CopyMem (
  OUT VOID       *Destination,
  IN CONST VOID  *Source,
  IN UINTN       Length
  )
{
  UINT8        *To   = static_cast<UINT8 *>(Destination);
  CONST UINT8  *From = static_cast<CONST UINT8 *>(Source);

  if ((From < To) && (From + Length > To)) {
    while (Length-- != 0) {
      To[Length] = From[Length];
    }

    return;
  }

  for (UINTN Index = 0; Index < Length; Index++) {
    To[Index] = From[Index];
  }
}

}  // namespace Oskel
