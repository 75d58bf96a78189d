// The request writer at its capacity and the response reader at the end of
// what was received: nothing past either is ever touched.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "OskelCommands/Pei/Dispatch/WireFormat.h"

namespace OskelTest {
namespace {

using ::testing::ElementsAreArray;
using Oskel::ByteOrder;
using Oskel::WireReader;
using Oskel::WireWriter;

constexpr uint8_t  kUntouched = 0xA5;

// Capacity bytes for the writer, then a tail that must stay untouched.
struct Bounded {
  explicit Bounded (size_t Capacity) : Capacity (Capacity), Storage (Capacity + 8, kUntouched) {}
  WireWriter Writer () { return WireWriter (Storage.data (), Capacity); }
  std::vector<uint8_t> Written (size_t Length) const { return { Storage.begin (), Storage.begin () + Length }; }
  std::vector<uint8_t> Tail () const { return { Storage.begin () + Capacity, Storage.end () }; }

  size_t                Capacity;
  std::vector<uint8_t>  Storage;
};

TEST (WireWriterTest, FieldsInTheOrderTheyName) {
  Bounded  B (9);
  WireWriter  W = B.Writer ();

  W.Byte (0x01).Uint16 (0x0302, ByteOrder::LittleEndian).Uint16 (0x0405, ByteOrder::BigEndian).Uint32 (0x09080706, ByteOrder::LittleEndian);
  EXPECT_FALSE (W.Overflowed ());
  EXPECT_EQ (W.Length (), 9);
  EXPECT_THAT (B.Written (9), ElementsAreArray ({ 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09 }));
  EXPECT_THAT (B.Tail (), ElementsAreArray (std::vector<uint8_t>(8, kUntouched)));
}

TEST (WireWriterTest, BigEndianWord) {
  Bounded  B (4);
  WireWriter  W = B.Writer ();

  W.Uint32 (0x11223344, ByteOrder::BigEndian);
  EXPECT_THAT (B.Written (4), ElementsAreArray ({ 0x11, 0x22, 0x33, 0x44 }));
  EXPECT_FALSE (W.Overflowed ());
}

// Rows named for the boundary they probe: what the writer holds before the
// last call, and what that call asks for.
struct OverflowRow {
  const char  *Name;
  size_t      Capacity;
  size_t      Before;     // bytes written first, one by one
  size_t      Count;      // then a Bytes () of this many
  bool        Overflows;
};

class WireWriterBoundTest : public ::testing::TestWithParam<OverflowRow> {};

TEST_P (WireWriterBoundTest, NothingPastCapacity) {
  const OverflowRow     &Row = GetParam ();
  Bounded               B (Row.Capacity);
  WireWriter            W = B.Writer ();
  std::array<uint8_t, 16> Source;

  for (size_t Index = 0; Index < Source.size (); Index++) {
    Source[Index] = uint8_t (0x40 + Index);
  }

  for (size_t Index = 0; Index < Row.Before; Index++) {
    W.Byte (uint8_t (0x10 + Index));
  }

  W.Bytes (Source.data (), Row.Count);
  EXPECT_EQ (W.Overflowed () != 0, Row.Overflows);
  EXPECT_EQ (W.Length (), Row.Overflows ? Row.Before : Row.Before + Row.Count);
  EXPECT_THAT (B.Tail (), ElementsAreArray (std::vector<uint8_t>(8, kUntouched)));
  if (Row.Overflows) {
    // A block that does not fit is dropped whole.
    for (size_t Index = Row.Before; Index < Row.Capacity; Index++) {
      EXPECT_EQ (B.Storage[Index], kUntouched) << "byte " << Index;
    }
  }
}

INSTANTIATE_TEST_SUITE_P (
  Rows, WireWriterBoundTest,
  ::testing::Values (
    OverflowRow{ "exactly_fills", 8, 3, 5, false },
    OverflowRow{ "one_too_many", 8, 3, 6, true },
    OverflowRow{ "empty_block_when_full", 4, 4, 0, false },
    OverflowRow{ "one_byte_when_full", 4, 4, 1, true },
    OverflowRow{ "no_capacity", 0, 0, 1, true }
    ),
  [] (const ::testing::TestParamInfo<OverflowRow> &Info) { return Info.param.Name; });

TEST (WireWriterTest, ByteWhenFullIsDroppedAndMarked) {
  Bounded  B (2);
  WireWriter  W = B.Writer ();

  W.Byte (0x01).Byte (0x02);
  EXPECT_FALSE (W.Overflowed ());
  W.Byte (0x03);
  EXPECT_TRUE (W.Overflowed ());
  EXPECT_EQ (W.Length (), 2);
  EXPECT_THAT (B.Written (2), ElementsAreArray ({ 0x01, 0x02 }));
  EXPECT_THAT (B.Tail (), ElementsAreArray (std::vector<uint8_t>(8, kUntouched)));
}

TEST (WireWriterTest, WordPastCapacityMarksOverflowAndStopsAtIt) {
  Bounded  B (3);
  WireWriter  W = B.Writer ();

  W.Uint32 (0x44332211, ByteOrder::LittleEndian);
  EXPECT_TRUE (W.Overflowed ());
  EXPECT_EQ (W.Length (), 3);
  EXPECT_THAT (B.Tail (), ElementsAreArray (std::vector<uint8_t>(8, kUntouched)));
}

TEST (WireReaderTest, FieldsOnlyFromReceivedBytes) {
  const uint8_t  Buffer[6] = { 0x01, 0x02, 0x03, 0x04, 0x05, 0x06 };
  WireReader     R (Buffer, 5);

  EXPECT_TRUE (R.Has (0, 5));
  EXPECT_TRUE (R.Has (5, 0));
  EXPECT_FALSE (R.Has (0, 6));
  EXPECT_FALSE (R.Has (4, 2));
  EXPECT_FALSE (R.Has (6, 0));
  EXPECT_FALSE (R.Has (1, SIZE_MAX));
  EXPECT_EQ (R.Byte (4), 0x05);
  EXPECT_EQ (R.Byte (5), 0x00);                 // sixth byte exists but was not received
  EXPECT_EQ (R.Uint16Le (3), 0x0504);
  EXPECT_EQ (R.Uint16Le (4), 0x0005);
  EXPECT_EQ (R.Uint32Le (1), 0x05040302u);
  EXPECT_EQ (R.Available (2), 3u);
  EXPECT_EQ (R.Available (5), 0u);
  EXPECT_EQ (R.Available (9), 0u);
}

}  // namespace
}  // namespace OskelTest
