/** @file
  Byte-order aware request builder.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "WireFormat.h"

namespace Oskel {

WireWriter & OSKEL_INTERNAL
WireWriter::Byte (
  IN UINT8  Value
  )
{
  if (mLength < mCapacity) {
    mBuffer[mLength++] = Value;
  } else {
    mOverflow = TRUE;
  }

  return *this;
}

WireWriter & OSKEL_INTERNAL
WireWriter::Bytes (
  IN CONST VOID  *Source,
  IN UINTN       Count
  )
{
  if (Count > mCapacity - mLength) {
    mOverflow = TRUE;
    return *this;
  }

  CopyMem (mBuffer + mLength, Source, Count);
  mLength += Count;
  return *this;
}

WireWriter & OSKEL_INTERNAL
WireWriter::Field (
  IN UINT32     Value,
  IN UINTN      Width,
  IN ByteOrder  Order
  )
{
  for (UINTN Index = 0; Index < Width; Index++) {
    UINTN  Shift = (Order == ByteOrder::LittleEndian) ? Index : (Width - 1 - Index);
    Byte (static_cast<UINT8>(Value >> (8 * Shift)));
  }

  return *this;
}

}  // namespace Oskel
