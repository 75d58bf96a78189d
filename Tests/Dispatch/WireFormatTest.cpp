// The byte-order helpers: every field lands at its offset in the order its
// name says, and nothing around it is touched.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "OskelCommands/Pei/Dispatch/WireFormat.h"

namespace OskelTest {
namespace {

using ::testing::ElementsAreArray;

constexpr uint8_t  kUntouched = 0xA5;

// A field written at offset 1 of an eight-byte buffer; the rest stays
// untouched.
struct PutRow {
  const char              *Name;
  void                    (*Put) (uint8_t *At);
  std::array<uint8_t, 8>  Expected;
};

class WireFormatPutTest : public ::testing::TestWithParam<PutRow> {};

TEST_P (WireFormatPutTest, FieldInTheOrderItsNameSays) {
  std::array<uint8_t, 8>  Bytes;

  Bytes.fill (kUntouched);
  GetParam ().Put (Bytes.data () + 1);
  EXPECT_THAT (Bytes, ElementsAreArray (GetParam ().Expected));
}

INSTANTIATE_TEST_SUITE_P (
  Rows, WireFormatPutTest,
  ::testing::Values (
    PutRow{ "Uint16LittleEndianLowByteFirst", [] (uint8_t *At) { Oskel::PutUint16Le (At, 0x1234); }, { 0xA5, 0x34, 0x12, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5 } },
    PutRow{ "Uint16BigEndianHighByteFirst", [] (uint8_t *At) { Oskel::PutUint16Be (At, 0x1234); }, { 0xA5, 0x12, 0x34, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5 } },
    PutRow{ "Uint32LittleEndianLowByteFirst", [] (uint8_t *At) { Oskel::PutUint32Le (At, 0x12345678u); }, { 0xA5, 0x78, 0x56, 0x34, 0x12, 0xA5, 0xA5, 0xA5 } },
    PutRow{ "Uint32BigEndianHighByteFirst", [] (uint8_t *At) { Oskel::PutUint32Be (At, 0x12345678u); }, { 0xA5, 0x12, 0x34, 0x56, 0x78, 0xA5, 0xA5, 0xA5 } }
    ),
  [] (const ::testing::TestParamInfo<PutRow> &Info) { return Info.param.Name; });

// Reads at an odd offset: fields of an answer or a HOB need not be aligned.
TEST (WireFormatTest, ReadsLittleEndianAtAnyOffset) {
  const uint8_t  Bytes[] = { 0xFF, 0x01, 0x02, 0x03, 0x04, 0xFF };

  EXPECT_EQ (Oskel::GetUint16Le (Bytes + 1), 0x0201);
  EXPECT_EQ (Oskel::GetUint32Le (Bytes + 1), 0x04030201u);
}

// The compile-time form stores the same bytes as the run-time one.
constexpr std::array<uint8_t, 4>
PackedAtCompileTime ()
{
  std::array<uint8_t, 4>  Bytes = {};

  Oskel::PutUint32Le (Bytes.data (), 0x00019000u);
  return Bytes;
}

static_assert (PackedAtCompileTime ()[0] == 0x00 && PackedAtCompileTime ()[1] == 0x90 && PackedAtCompileTime ()[2] == 0x01 && PackedAtCompileTime ()[3] == 0x00);

}  // namespace
}  // namespace OskelTest
