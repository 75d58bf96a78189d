// Byte builders for network function 2Eh requests and answers, so expected
// wire bytes read as the layout they check.
#pragma once

#include <cstring>

#include "BoardFixture.h"

namespace OskelTest {

inline Bytes
operator+ (Bytes Left, const Bytes &Right)
{
  Left.insert (Left.end (), Right.begin (), Right.end ());
  return Left;
}

inline const Bytes  mManufacturerId = { 0x4D, 0x4F, 0x00 };

inline Bytes Text (const char *Value) { return Bytes (Value, Value + std::strlen (Value)); }
inline Bytes Le16 (uint32_t Value) { return { uint8_t (Value), uint8_t (Value >> 8) }; }
inline Bytes Le32 (uint32_t Value) { return Le16 (Value) + Le16 (Value >> 16); }
inline Bytes FileHeader (uint8_t SubCommand) { return mManufacturerId + Bytes{ SubCommand }; }
inline uint32_t Le32At (const Bytes &Data, size_t At) { return Data[At] | Data[At + 1] << 8 | Data[At + 2] << 16 | uint32_t (Data[At + 3]) << 24; }

// Answers of the file service: the echoed id, then the fields.
inline Reply Answer (const Bytes &Fields = {}) { return Ok (mManufacturerId + Fields); }
inline Reply ReadAnswer (uint16_t Count, const Bytes &Data) { return Answer (Le16 (Count) + Data); }

// A byte of a file as a function of its offset, so misplaced data shows.
inline uint8_t Pattern (uint32_t FileOffset) { return uint8_t (FileOffset * 31 + 7); }

inline Bytes
PatternAt (uint32_t FileOffset, size_t Count)
{
  Bytes  Data (Count);
  for (size_t Index = 0; Index < Count; Index++) {
    Data[Index] = Pattern (uint32_t (FileOffset + Index));
  }

  return Data;
}

}  // namespace OskelTest
