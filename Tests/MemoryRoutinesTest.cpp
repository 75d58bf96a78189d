// The module's own memory routines against the C library's, on overlapping
// and disjoint ranges of every length around the 32-bit word.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "OskelCommands/Pei/MemoryRoutines.h"

namespace OskelTest {
namespace {

using ::testing::ElementsAreArray;

std::vector<uint8_t>
Pattern (size_t Size)
{
  std::vector<uint8_t>  Bytes (Size);

  for (size_t Index = 0; Index < Size; Index++) {
    Bytes[Index] = uint8_t (Index * 37 + 11);
  }

  return Bytes;
}

// Source and destination as offsets into one buffer; rows named for how
// the two ranges meet.
struct CopyRow {
  const char  *Name;
  size_t      From;
  size_t      To;
  size_t      Length;
};

class CopyMemTest : public ::testing::TestWithParam<CopyRow> {};

TEST_P (CopyMemTest, SameBytesAsMemmove) {
  const CopyRow         &Row     = GetParam ();
  std::vector<uint8_t>  Actual   = Pattern (48);
  std::vector<uint8_t>  Expected = Actual;

  std::memmove (Expected.data () + Row.To, Expected.data () + Row.From, Row.Length);
  Oskel::CopyMem (Actual.data () + Row.To, Actual.data () + Row.From, Row.Length);
  EXPECT_THAT (Actual, ElementsAreArray (Expected));
}

INSTANTIATE_TEST_SUITE_P (
  Rows, CopyMemTest,
  ::testing::Values (
    CopyRow{ "disjoint_words_and_tail", 0, 24, 11 },
    CopyRow{ "disjoint_below_one_word", 0, 24, 3 },
    CopyRow{ "disjoint_exact_words", 24, 0, 8 },
    CopyRow{ "source_below_overlapping_destination", 2, 5, 13 },
    CopyRow{ "source_below_by_one_byte", 10, 11, 9 },
    CopyRow{ "source_above_overlapping_destination", 7, 3, 13 },
    CopyRow{ "source_ends_where_destination_starts", 4, 12, 8 },
    CopyRow{ "onto_itself", 6, 6, 20 },
    CopyRow{ "nothing", 3, 20, 0 }
    ),
  [] (const ::testing::TestParamInfo<CopyRow> &Info) { return Info.param.Name; });

TEST (ZeroMemTest, ExactlyTheRange) {
  std::vector<uint8_t>  Bytes (16, 0x11);

  Oskel::ZeroMem (Bytes.data () + 3, 9);
  EXPECT_THAT (Bytes, ElementsAreArray ({ 0x11, 0x11, 0x11, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x11, 0x11, 0x11, 0x11 }));
}

}  // namespace
}  // namespace OskelTest
