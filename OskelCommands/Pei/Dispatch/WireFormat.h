/** @file
  Byte-order aware request builder and bounded response reader.

  IPMI fields are little-endian unless a command says otherwise; a writer
  call names the byte order of every multi-byte field, so the wire layout
  reads off the code. The reader only hands out bytes that were received.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>

#include "../MemoryRoutines.h"

namespace Oskel {

enum class ByteOrder : UINT8 {
  LittleEndian,
  BigEndian
};

//
// Multi-byte fields of a fixed-layout request, stored byte by byte at their
// offsets; the name says the byte order.
//
constexpr VOID
PutUint16Le (
  OUT UINT8  *At,
  IN UINT16  Value
  )
{
  At[0] = static_cast<UINT8>(Value);
  At[1] = static_cast<UINT8>(Value >> 8);
}

constexpr VOID
PutUint16Be (
  OUT UINT8  *At,
  IN UINT16  Value
  )
{
  At[0] = static_cast<UINT8>(Value >> 8);
  At[1] = static_cast<UINT8>(Value);
}

//
// Multi-byte fields of an answer, read byte by byte; the caller has checked
// that the answer holds them.
//
[[nodiscard]] inline UINT16
GetUint16Le (
  IN CONST UINT8  *At
  )
{
  return static_cast<UINT16>(At[0] | (At[1] << 8));
}

[[nodiscard]] inline UINT32
GetUint32Le (
  IN CONST UINT8  *At
  )
{
  return GetUint16Le (At) | (static_cast<UINT32>(GetUint16Le (At + 2)) << 16);
}

//
// Out of line at run time, where several requests share them; constexpr so
// that tables built at compile time store their fields the same way.
//
OSKEL_NOINLINE constexpr VOID OSKEL_INTERNAL
PutUint32Le (
  OUT UINT8  *At,
  IN UINT32  Value
  )
{
  PutUint16Le (At, static_cast<UINT16>(Value));
  PutUint16Le (At + 2, static_cast<UINT16>(Value >> 16));
}

OSKEL_NOINLINE constexpr VOID OSKEL_INTERNAL
PutUint32Be (
  OUT UINT8  *At,
  IN UINT32  Value
  )
{
  PutUint16Be (At, static_cast<UINT16>(Value >> 16));
  PutUint16Be (At + 2, static_cast<UINT16>(Value));
}

//
// Appends fields to a request buffer. A field that would pass the capacity
// is dropped and marks the writer overflowed; callers size their requests
// so that this never happens, and the capacity keeps a mistake from
// becoming a buffer overrun.
//
class WireWriter {
public:
  constexpr WireWriter (UINT8 *Buffer, UINTN Capacity) : mBuffer (Buffer), mCapacity (Capacity), mLength (0), mOverflow (FALSE) {}

  WireWriter & OSKEL_INTERNAL
  Byte (UINT8 Value);

  WireWriter &
  Uint16 (UINT16 Value, ByteOrder Order)
  {
    return Field (Value, 2, Order);
  }

  WireWriter &
  Uint32 (UINT32 Value, ByteOrder Order)
  {
    return Field (Value, 4, Order);
  }

  WireWriter & OSKEL_INTERNAL
  Bytes (CONST VOID *Source, UINTN Count);

  [[nodiscard]] UINT8
  Length () const
  {
    return static_cast<UINT8>(mLength);
  }

  [[nodiscard]] BOOLEAN
  Overflowed () const
  {
    return mOverflow;
  }

private:
  WireWriter & OSKEL_INTERNAL
  Field (UINT32 Value, UINTN Width, ByteOrder Order);

  UINT8    *mBuffer;
  UINTN    mCapacity;
  UINTN    mLength;
  BOOLEAN  mOverflow;
};

//
// Reads fields of a response at fixed positions. Has() must confirm a field
// before it is read; a field the BMC did not send is never taken from
// whatever an earlier exchange left in the buffer.
//
class WireReader {
public:
  constexpr WireReader (CONST UINT8 *Buffer, UINTN Received) : mBuffer (Buffer), mReceived (Received) {}

  [[nodiscard]] BOOLEAN
  Has (UINTN Offset, UINTN Count) const
  {
    return (Offset <= mReceived) && (Count <= mReceived - Offset);
  }

  [[nodiscard]] UINT8
  Byte (UINTN Offset) const
  {
    return Has (Offset, 1) ? mBuffer[Offset] : 0;
  }

  [[nodiscard]] UINT16
  Uint16Le (UINTN Offset) const
  {
    return static_cast<UINT16>(Byte (Offset) | (Byte (Offset + 1) << 8));
  }

  [[nodiscard]] UINT32
  Uint32Le (UINTN Offset) const
  {
    return static_cast<UINT32>(Uint16Le (Offset)) | (static_cast<UINT32>(Uint16Le (Offset + 2)) << 16);
  }

  //
  // Bytes from Offset up to the end of what was received (0 if none).
  //
  [[nodiscard]] UINTN
  Available (UINTN Offset) const
  {
    return (Offset < mReceived) ? mReceived - Offset : 0;
  }

  [[nodiscard]] CONST UINT8 *
  At (UINTN Offset) const
  {
    return mBuffer + Offset;
  }

private:
  CONST UINT8  *mBuffer;
  UINTN        mReceived;
};

}  // namespace Oskel
