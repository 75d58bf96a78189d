// The SSIF transaction at SMBus level: the exact block transactions of the
// capabilities question and of a request, single blocks and multi-part
// writes and reads, the BMC's limits and PEC honoured, a missing SMBus
// driver, and the status and stored bytes per fault.

#include "SsifFixture.h"

#include <array>
#include <functional>

namespace OskelTest {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class SsifTransactionTest : public SsifTest {};

// Count bytes from First up, as many as Count.
Bytes
Counting (size_t Count, uint8_t First = 0)
{
  Bytes  Out;
  for (size_t Index = 0; Index < Count; Index++) {
    Out.push_back (static_cast<uint8_t>(First + Index));
  }

  return Out;
}

TEST_F (SsifTransactionTest, FirstRequestAsksTheCapabilitiesThenOneBlockEachWay) {
  Bmc (1).Then (Ok ({ 0x20, 0x81 }));
  std::array<UINT8, 8>  Response{};
  UINT8                 Length = Response.size ();

  ASSERT_EQ (Send (0x06, 0x01, {}, Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 2);
  EXPECT_EQ (Response[0], 0x20);
  EXPECT_EQ (Response[1], 0x81);
  // Get System Interface Capabilities for SSIF (00h): answered with
  // start, middle and end support (80h), no PEC, 255 bytes each way.
  EXPECT_THAT (
    Calls (),
    ElementsAreArray ({
      "W 10 02 [18 57 00] ok",
      "R 10 03 [1C 57 00 00 80 FF FF] ok",
      "W 10 02 [18 01] ok",
      "R 10 03 [1C 01 00 20 81] ok",
    })
    );
  EXPECT_EQ (Ssif ().CapabilityRequests, 1u);
  ASSERT_EQ (Ssif ().Requests.size (), 1u);
  EXPECT_EQ (Ssif ().Requests[0].NetFn, 0x06);
  EXPECT_EQ (Ssif ().Requests[0].Command, 0x01);
  EXPECT_TRUE (Board.Kcs[1]->Accesses.empty ());
}

TEST_F (SsifTransactionTest, CapabilitiesAskedOnceAndKeptForTheRunFromMemory) {
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  EXPECT_EQ (Ssif ().CapabilityRequests, 1u);

  ASSERT_EQ (Board.RunTransportEntry (true), EFI_SUCCESS);
  Transport = Board.Transport ();
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  EXPECT_EQ (Ssif ().CapabilityRequests, 1u);
  EXPECT_EQ (Ssif ().Requests.size (), 3u);
}

//
// Requests of each size class: the write commands and the bytes of each.
//
struct WriteRow {
  const char                 *Name;
  size_t                     DataSize;
  std::vector<std::string>   Parts;   // command and length of each block write
};

std::ostream &
operator<< (std::ostream &Out, const WriteRow &Row)
{
  return Out << Row.Name;
}

const WriteRow  mWriteRows[] = {
  { "NoData", 0, { "02:2" } },
  { "OneBlockExactly", 30, { "02:32" } },
  { "OneByteMoreThanABlock", 31, { "06:32", "08:1" } },
  { "TwoBlocksExactly", 62, { "06:32", "08:32" } },
  { "OneMiddle", 63, { "06:32", "07:32", "08:1" } },
  { "Largest", 253, { "06:32", "07:32", "07:32", "07:32", "07:32", "07:32", "07:32", "08:31" } },
};

class SsifWriteTest : public SsifTest, public ::testing::WithParamInterface<WriteRow> {};

TEST_P (SsifWriteTest, PartsAndTheirBytes) {
  const WriteRow  &Row    = GetParam ();
  const Bytes     Data    = Counting (Row.DataSize, 0x40);
  UINT8           Length  = 0;

  ASSERT_EQ (Ping (), EFI_SUCCESS);
  const size_t  Before = Board.Smbus.Calls.size ();
  ASSERT_EQ (Send (0x2E, 0x11, Data, nullptr, &Length), EFI_SUCCESS);

  std::vector<std::string>  Parts;
  Bytes                     Written;
  for (size_t Index = Before; Index < Board.Smbus.Calls.size (); Index++) {
    const auto  &Call = Board.Smbus.Calls[Index];
    if (Call.Operation == EfiSmbusWriteBlock) {
      char  Part[16];
      std::snprintf (Part, sizeof (Part), "%02X:%zu", Call.Command, Call.Data.size ());
      Parts.push_back (Part);
      Written.insert (Written.end (), Call.Data.begin (), Call.Data.end ());
    }
  }

  EXPECT_THAT (Parts, ElementsAreArray (Row.Parts));
  Bytes  Expected{ 0xB8, 0x11 };
  Expected.insert (Expected.end (), Data.begin (), Data.end ());
  EXPECT_THAT (Written, ElementsAreArray (Expected));
  ASSERT_EQ (Ssif ().Requests.size (), 2u);
  EXPECT_THAT (Ssif ().Requests[1].Data, ElementsAreArray (Data));
}

INSTANTIATE_TEST_SUITE_P (Sizes, SsifWriteTest, ::testing::ValuesIn (mWriteRows), [](const auto &Info) { return std::string (Info.param.Name); });

//
// Answers of each size class: the read commands, the block each brings,
// and the data stored.
//
struct ReadRow {
  const char                 *Name;
  size_t                     DataSize;
  std::vector<std::string>   Blocks;  // command and length of each block read
};

std::ostream &
operator<< (std::ostream &Out, const ReadRow &Row)
{
  return Out << Row.Name;
}

const ReadRow  mReadRows[] = {
  { "CompletionCodeOnly", 0, { "03:3" } },
  { "OneBlockExactly", 29, { "03:32" } },
  { "OneByteMoreThanABlock", 30, { "03:32", "09:4" } },
  { "StartAndAFullLast", 58, { "03:32", "09:32" } },
  { "OneMiddle", 59, { "03:32", "09:32", "09:2" } },
  { "Largest", 252, { "03:32", "09:32", "09:32", "09:32", "09:32", "09:32", "09:32", "09:32", "09:9" } },
};

class SsifReadTest : public SsifTest, public ::testing::WithParamInterface<ReadRow> {};

TEST_P (SsifReadTest, BlocksNumberedAndTheDataStored) {
  const ReadRow            &Row  = GetParam ();
  const Bytes              Data  = Counting (Row.DataSize, 0x80);
  std::array<UINT8, 255>   Response{};
  UINT8                    Length = Response.size ();

  ASSERT_EQ (Ping (), EFI_SUCCESS);
  Bmc (1).Then (Ok (Data));
  const size_t  Before = Board.Smbus.Calls.size ();
  ASSERT_EQ (Send (0x2E, 0x12, {}, Response.data (), &Length), EFI_SUCCESS);
  ASSERT_EQ (Length, Data.size ());
  EXPECT_THAT (Bytes (Response.begin (), Response.begin () + Length), ElementsAreArray (Data));

  std::vector<std::string>  Blocks;
  for (size_t Index = Before; Index < Board.Smbus.Calls.size (); Index++) {
    const auto  &Call = Board.Smbus.Calls[Index];
    if (Call.Operation == EfiSmbusReadBlock) {
      char  Block[16];
      std::snprintf (Block, sizeof (Block), "%02X:%zu", Call.Command, Call.Data.size ());
      Blocks.push_back (Block);
      // A start is marked 00h 01h; the middles are numbered from 0, the
      // last FFh.
      if (Blocks.size () == 1 && Row.Blocks.size () > 1) {
        EXPECT_THAT (Bytes (Call.Data.begin (), Call.Data.begin () + 2), ElementsAre (0x00, 0x01));
      } else if (Blocks.size () > 1) {
        EXPECT_EQ (Call.Data[0], (Blocks.size () == Row.Blocks.size ()) ? 0xFF : Blocks.size () - 2);
      }
    }
  }

  EXPECT_THAT (Blocks, ElementsAreArray (Row.Blocks));
}

INSTANTIATE_TEST_SUITE_P (Sizes, SsifReadTest, ::testing::ValuesIn (mReadRows), [](const auto &Info) { return std::string (Info.param.Name); });

//
// What the BMC reports bounds the requests: larger ones fail at once,
// nothing sent; the largest it takes goes through.
//
struct LimitRow {
  const char  *Name;
  uint8_t     Transactions;
  uint8_t     InputSize;
  size_t      Largest;        // request data bytes that still go
};

std::ostream &
operator<< (std::ostream &Out, const LimitRow &Row)
{
  return Out << Row.Name;
}

const LimitRow  mLimitRows[] = {
  { "SingleBlocksOnly", 0, 0xFF, 30 },
  { "SingleBlocksOnlySmallerInput", 0, 20, 18 },
  { "StartAndEndOnly", 1, 0xFF, 62 },
  { "StartMiddleEndInputSize40", 2, 40, 38 },
  { "InputSizeZeroTakenAsNone", 2, 0, 253 },
  { "ReservedTransactionsTakenAsSingleBlocks", 3, 0xFF, 30 },
};

class SsifLimitTest : public SsifTest, public ::testing::WithParamInterface<LimitRow> {};

TEST_P (SsifLimitTest, LargerRequestRefusedAtOnceNothingSent) {
  const LimitRow  &Row   = GetParam ();
  UINT8           Length = 0;

  Ssif ().Transactions = Row.Transactions;
  Ssif ().InputSize    = Row.InputSize;
  ASSERT_EQ (Ping (), EFI_SUCCESS);

  EXPECT_EQ (Send (0x2E, 0x11, Counting (Row.Largest), nullptr, &Length), EFI_SUCCESS);
  if (Row.Largest < 253) {
    const size_t    Before = Board.Smbus.Calls.size ();
    const uint64_t  Start  = Board.Clock.Nanoseconds;
    EXPECT_EQ (Send (0x2E, 0x11, Counting (Row.Largest + 1), nullptr, &Length), EFI_BAD_BUFFER_SIZE);
    EXPECT_EQ (Board.Smbus.Calls.size (), Before);
    EXPECT_EQ (Board.Clock.Nanoseconds, Start);
  }

  // The caller's mistake, not the BMC's health.
  EXPECT_EQ (StateOf (1), 0);
}

INSTANTIATE_TEST_SUITE_P (Capabilities, SsifLimitTest, ::testing::ValuesIn (mLimitRows), [](const auto &Info) { return std::string (Info.param.Name); });

TEST_F (SsifTransactionTest, BmcThatDoesNotKnowTheCapabilitiesIsHeldToSingleBlocksAndAskedOnce) {
  Ssif ().CapabilitiesCode = 0xC1;
  UINT8  Length = 0;

  ASSERT_EQ (Ping (), EFI_SUCCESS);
  EXPECT_EQ (Send (0x2E, 0x11, Counting (30), nullptr, &Length), EFI_SUCCESS);
  EXPECT_EQ (Send (0x2E, 0x11, Counting (31), nullptr, &Length), EFI_BAD_BUFFER_SIZE);
  EXPECT_EQ (Ssif ().CapabilityRequests, 1u);
  EXPECT_THAT (Calls ()[1], "R 10 03 [1C 57 C1] ok");
}

// A completion code with data after it: the data are not capabilities.
TEST_F (SsifTransactionTest, CapabilitiesAfterACompletionCodeAreNotBelieved) {
  Ssif ().CapabilitiesCode         = 0xD5;
  Ssif ().CapabilitiesDataWithCode = true;
  Ssif ().Pec                      = true;
  UINT8  Length = 0;

  ASSERT_EQ (Ping (), EFI_SUCCESS);
  EXPECT_THAT (Calls ()[1], "R 10 03 [1C 57 D5 00 88 FF FF] ok");
  EXPECT_EQ (Send (0x2E, 0x11, Counting (31), nullptr, &Length), EFI_BAD_BUFFER_SIZE);
  for (const std::string &Line : Calls ()) {
    EXPECT_EQ (Line.find (" pec "), std::string::npos) << Line;
  }
}

TEST_F (SsifTransactionTest, PecOnEveryTransactionOnceTheBmcSaysItTakesIt) {
  Ssif ().Pec = true;
  Bmc (1).Then (Ok (Counting (40)));
  std::array<UINT8, 64>  Response{};
  UINT8                  Length = Response.size ();

  ASSERT_EQ (Send (0x2E, 0x12, Counting (40), Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 40);
  const auto  Lines = Calls ();
  ASSERT_EQ (Lines.size (), 6u);
  EXPECT_EQ (Lines[0].substr (0, 9), "W 10 02 [");
  EXPECT_EQ (Lines[1].substr (0, 9), "R 10 03 [");
  for (size_t Index = 2; Index < Lines.size (); Index++) {
    EXPECT_NE (Lines[Index].find (" pec "), std::string::npos) << Lines[Index];
  }
}

TEST_F (SsifTransactionTest, AnswerLargerThanTheCapacityStoresTheCapacityAndReadsTheRest) {
  Bmc (1).Then (Ok (Counting (100, 1)));
  std::array<UINT8, 8>  Response;
  UINT8                 Length = 5;

  Response.fill (0xA5);
  ASSERT_EQ (Send (0x2E, 0x12, {}, Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 5);
  EXPECT_THAT (Response, ElementsAre (1, 2, 3, 4, 5, 0xA5, 0xA5, 0xA5));
  // Every block was read: the BMC ends the read idle.
  EXPECT_EQ (Board.Smbus.Calls.back ().Data[0], 0xFF);
}

TEST_F (SsifTransactionTest, DriverReportingMoreThanTheRoomIsNotBelieved) {
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  Board.Smbus.ReportLength = 40;
  std::array<UINT8, 8>  Response;
  UINT8                 Length = Response.size ();

  Response.fill (0xA5);
  EXPECT_EQ (Send (0x06, 0x01, {}, Response.data (), &Length), EFI_DEVICE_ERROR);
  EXPECT_EQ (Length, 0);
  EXPECT_THAT (Response, Each (0xA5));
  // A garbled exchange is a strike, not silence.
  EXPECT_EQ (StateOf (1), 0);
  Board.Smbus.ReportLength.reset ();
  EXPECT_EQ (Ping (), EFI_SUCCESS);
}

}  // namespace
}  // namespace OskelTest
