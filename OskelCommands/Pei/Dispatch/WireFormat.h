/** @file
  Byte-order helpers for the multi-byte fields of requests and answers.

  IPMI fields are little-endian unless a command says otherwise; every
  helper names the byte order of the field it stores or reads, so the wire
  layout reads off the code. Fields sit at fixed offsets that the caller
  has sized its buffer and checked its answer for.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>

namespace Oskel {

/**
  Stores a 16-bit field least significant byte first.

  @param[out] At     The field's first byte; two bytes are written.
  @param[in]  Value  The field.
**/
constexpr VOID
PutUint16Le (
  OUT UINT8  *At,
  IN UINT16  Value
  )
{
  At[0] = static_cast<UINT8>(Value);
  At[1] = static_cast<UINT8>(Value >> 8);
}

/**
  Stores a 16-bit field most significant byte first, as the OEM 1Ch value
  travels.

  @param[out] At     The field's first byte; two bytes are written.
  @param[in]  Value  The field.
**/
constexpr VOID
PutUint16Be (
  OUT UINT8  *At,
  IN UINT16  Value
  )
{
  At[0] = static_cast<UINT8>(Value >> 8);
  At[1] = static_cast<UINT8>(Value);
}

/**
  Reads a 16-bit little-endian field byte by byte, aligned or not.

  @param[in] At  The field's first byte; the caller has checked that the
                 answer holds both bytes.

  @return The field.
**/
[[nodiscard]] inline UINT16
GetUint16Le (
  IN CONST UINT8  *At
  )
{
  return static_cast<UINT16>(At[0] | (At[1] << 8));
}

/**
  Reads a 32-bit little-endian field byte by byte, aligned or not.

  @param[in] At  The field's first byte; the caller has checked that the
                 answer holds all four bytes.

  @return The field.
**/
[[nodiscard]] inline UINT32
GetUint32Le (
  IN CONST UINT8  *At
  )
{
  return GetUint16Le (At) | (static_cast<UINT32>(GetUint16Le (At + 2)) << 16);
}

/**
  Stores a 32-bit field least significant byte first; constexpr so that
  tables built at compile time store their fields the same way. Inline: on
  IA32 the four byte stores become one store, smaller than a call.

  @param[out] At     The field's first byte; four bytes are written.
  @param[in]  Value  The field.
**/
constexpr VOID
PutUint32Le (
  OUT UINT8  *At,
  IN UINT32  Value
  )
{
  PutUint16Le (At, static_cast<UINT16>(Value));
  PutUint16Le (At + 2, static_cast<UINT16>(Value >> 16));
}

/**
  Stores a 32-bit field most significant byte first, as the block upload's
  tag travels.

  @param[out] At     The field's first byte; four bytes are written.
  @param[in]  Value  The field.
**/
constexpr VOID
PutUint32Be (
  OUT UINT8  *At,
  IN UINT32  Value
  )
{
  PutUint16Be (At, static_cast<UINT16>(Value >> 16));
  PutUint16Be (At + 2, static_cast<UINT16>(Value));
}

}  // namespace Oskel
