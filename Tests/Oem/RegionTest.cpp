// Region read and write: the chunk plan, where each chunk lands, and what
// a short or failing chunk leaves behind.
#include "BoardFixture.h"

namespace OskelTest {
namespace {

using OskelSim::Request;

constexpr uint8_t  kSelector = 0x5A;

// A 64 KiB BMC region behind commands 0Bh and 0Ch, addressed modulo 65536.
struct RegionModel {
  std::vector<uint8_t>  Memory = std::vector<uint8_t>(0x10000);

  RegionModel ()
  {
    for (size_t Address = 0; Address < Memory.size (); Address++) {
      Memory[Address] = uint8_t (Address * 7 + (Address >> 8));
    }
  }

  uint8_t &At (size_t Address) { return Memory[Address & 0xFFFF]; }

  Reply Handle (const Request &R)
  {
    const uint16_t  Offset = uint16_t (R.Data.at (0) | (R.Data.at (1) << 8));
    if (R.Command == 0x0B) {
      Bytes  Out;
      for (uint8_t Index = 0; Index < R.Data.at (3); Index++) {
        Out.push_back (At (Offset + Index));
      }

      return Ok (Out);
    }

    for (size_t Index = 3; Index < R.Data.size (); Index++) {
      At (Offset + Index - 3) = R.Data[Index];
    }

    return Ok ();
  }
};

class RegionTest : public BoardTest {
protected:
  void SetUp () override
  {
    BoardTest::SetUp ();
    Bmc (0).Handler = [this](const Request &R) { return Model.Handle (R); };
  }

  EFI_STATUS Read (uint16_t Offset, UINT16 *Length, UINT8 *Buffer)
  {
    return Service->RegionRead (nullptr, Service, Offset, kSelector, Length, Buffer, &Bmc0, 0);
  }

  EFI_STATUS Write (uint16_t Offset, UINT16 *Length, const UINT8 *Data)
  {
    return Service->RegionWrite (nullptr, Service, Offset, kSelector, Length, Data, &Bmc0, 0);
  }

  static std::vector<std::string> Guarded (size_t Sends, const char *Send, unsigned Flag = 0)
  {
    std::vector<std::string>  Out{ "count", "select 0", "phase0" };
    Out.insert (Out.end (), Sends, Send);
    Out.push_back ("phase1 flag=" + std::to_string (Flag));
    return Out;
  }

  RegionModel  Model;
};

struct Chunk {
  uint16_t  Offset;
  uint8_t   Count;
};

struct ChunkPlanRow {
  const char  *Name;
  uint16_t    Offset;
  uint16_t    Length;
  size_t      ChunkCount;
  Chunk       Last;     // every earlier chunk carries E0h bytes
};

class RegionChunkPlanTest : public RegionTest, public ::testing::WithParamInterface<ChunkPlanRow> {};

TEST_P (RegionChunkPlanTest, ReadAsksChunkByChunkUnderOneGuard) {
  const ChunkPlanRow    &Row = GetParam ();
  std::vector<UINT8>    Buffer (Row.Length, 0xEE);
  UINT16                Length = Row.Length;

  ASSERT_EQ (Read (Row.Offset, &Length, Buffer.data ()), EFI_SUCCESS);
  EXPECT_EQ (Length, Row.Length);
  EXPECT_EQ (Calls (), Guarded (Row.ChunkCount, "send 3A/0B"));

  const auto  Sent = Sends ();
  ASSERT_EQ (Sent.size (), Row.ChunkCount);
  for (size_t Index = 0; Index < Sent.size (); Index++) {
    const uint16_t  Offset = uint16_t (Row.Offset + 0xE0 * Index);
    const uint8_t   Count  = (Index + 1 == Sent.size ()) ? Row.Last.Count : 0xE0;
    ASSERT_THAT (Sent[Index].Request, ElementsAre (uint8_t (Offset), uint8_t (Offset >> 8), kSelector, Count)) << "chunk " << Index;
    ASSERT_EQ (Sent[Index].Capacity, Count) << "chunk " << Index;
  }

  EXPECT_EQ (Sent.back ().Request[0] | (Sent.back ().Request[1] << 8), Row.Last.Offset);
  for (size_t Index = 0; Index < Row.Length; Index++) {
    ASSERT_EQ (Buffer[Index], Model.At (Row.Offset + Index)) << "byte " << Index;
  }
}

TEST_P (RegionChunkPlanTest, WriteCarriesEachChunkAfterItsAddress) {
  const ChunkPlanRow    &Row = GetParam ();
  std::vector<UINT8>    Data (Row.Length);
  UINT16                Length = Row.Length;

  for (size_t Index = 0; Index < Data.size (); Index++) {
    Data[Index] = uint8_t (Index * 13 + 5);
  }

  ASSERT_EQ (Write (Row.Offset, &Length, Data.data ()), EFI_SUCCESS);
  EXPECT_EQ (Length, Row.Length);
  EXPECT_EQ (Calls (), Guarded (Row.ChunkCount, "send 3A/0C"));

  const auto  Sent = Sends ();
  ASSERT_EQ (Sent.size (), Row.ChunkCount);
  for (size_t Index = 0; Index < Sent.size (); Index++) {
    const uint16_t  Offset = uint16_t (Row.Offset + 0xE0 * Index);
    const uint8_t   Count  = (Index + 1 == Sent.size ()) ? Row.Last.Count : 0xE0;
    ASSERT_EQ (Sent[Index].Request.size (), 3u + Count) << "chunk " << Index;
    ASSERT_THAT (Bytes (Sent[Index].Request.begin (), Sent[Index].Request.begin () + 3), ElementsAre (uint8_t (Offset), uint8_t (Offset >> 8), kSelector));
    ASSERT_EQ (Sent[Index].Capacity, 0) << "chunk " << Index;
  }

  for (size_t Index = 0; Index < Row.Length; Index++) {
    ASSERT_EQ (Model.At (Row.Offset + Index), Data[Index]) << "byte " << Index;
  }
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  RegionChunkPlanTest,
  ::testing::Values (
    ChunkPlanRow{ "OneByte", 0x0000, 1, 1, { 0x0000, 0x01 } },
    ChunkPlanRow{ "OneShortOfAChunk", 0x0010, 223, 1, { 0x0010, 0xDF } },
    ChunkPlanRow{ "ExactlyOneChunk", 0x0000, 224, 1, { 0x0000, 0xE0 } },
    ChunkPlanRow{ "TwoFullChunksNoThird", 0x0000, 448, 2, { 0x00E0, 0xE0 } },
    ChunkPlanRow{ "FiveHundredFrom0100", 0x0100, 500, 3, { 0x02C0, 0x34 } },
    ChunkPlanRow{ "OffsetWrapsPastFFFF", 0xFFF0, 300, 2, { 0x00D0, 0x4C } },
    ChunkPlanRow{ "LargestTransfer", 0x0000, 65535, 293, { 0xFF80, 0x7F } }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (RegionTest, ShortChunkLeavesItsTailAndLaterChunksKeepTheirPlace) {
  std::vector<UINT8>  Buffer (500, 0xEE);
  UINT16              Length = 500;

  Bmc (0).Handler = [this](const Request &R) {
    Reply  Answer = Model.Handle (R);
    if (R.Data.at (0) == 0x00) {
      Answer.Data.resize (200);
    }

    return Answer;
  };

  ASSERT_EQ (Read (0x0000, &Length, Buffer.data ()), EFI_SUCCESS);
  EXPECT_EQ (Length, 476);
  EXPECT_EQ (Sends ().size (), 3u);
  for (size_t Index = 0; Index < 500; Index++) {
    const bool  Tail = (Index >= 200) && (Index < 224);
    ASSERT_EQ (Buffer[Index], Tail ? 0xEE : Model.At (Index)) << "byte " << Index;
  }
}

TEST_F (RegionTest, ReadChunkCopiesNoMoreThanItAskedForWhateverTheTransportReports) {
  std::vector<UINT8>  Buffer (16, 0xEE);
  UINT16              Length = 10;

  Bmc (0).Then (Reply{ EFI_SUCCESS, Bytes (10, 0x42), uint8_t (255) });
  ASSERT_EQ (Read (0x0000, &Length, Buffer.data ()), EFI_SUCCESS);
  EXPECT_EQ (Length, 10);
  EXPECT_THAT (Buffer, ElementsAre (0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE));
}

TEST_F (RegionTest, FailingReadChunkEndsTransferAndKeepsLength) {
  std::vector<UINT8>  Buffer (500, 0xEE);
  UINT16              Length = 500;

  Bmc (0).Handler = [this](const Request &R) { return (R.Data.at (0) == 0xE0) ? Fail (0xC0) : Model.Handle (R); };
  EXPECT_EQ (Read (0x0000, &Length, Buffer.data ()), 0xC0u);
  EXPECT_EQ (Length, 500);
  EXPECT_EQ (Calls (), Guarded (2, "send 3A/0B"));
  // The chunk already read stays in place; nothing after it is touched.
  EXPECT_EQ (Buffer[223], Model.At (223));
  EXPECT_EQ (Buffer[224], 0xEE);
}

TEST_F (RegionTest, FailingWriteChunkKeepsEarlierChunksWritten) {
  std::vector<UINT8>  Data (500, 0x77);
  UINT16              Length = 500;

  Bmc (0).Handler = [this](const Request &R) { return (R.Data.at (0) == 0xE0) ? Fail (0x81) : Model.Handle (R); };
  EXPECT_EQ (Write (0x0000, &Length, Data.data ()), 0x81u);
  EXPECT_EQ (Length, 500);
  EXPECT_EQ (Calls (), Guarded (2, "send 3A/0C"));
  EXPECT_EQ (Model.At (223), 0x77);
  EXPECT_NE (Model.At (224), 0x77);
}

TEST_F (RegionTest, DeviceErrorOnAChunkIsFlaggedToPhaseOne) {
  std::vector<UINT8>  Buffer (300);
  UINT16              Length = 300;

  Bmc (0).Handler = [](const Request &) { return Fail (EFI_DEVICE_ERROR); };
  EXPECT_EQ (Read (0x0000, &Length, Buffer.data ()), EFI_DEVICE_ERROR);
  EXPECT_EQ (Length, 300);
  EXPECT_EQ (Calls (), Guarded (1, "send 3A/0B", 1));
}

TEST_F (RegionTest, ZeroLengthIsRefusedBeforeTheBmcsHealthIsAsked) {
  UINT8   Byte = 0;
  UINT16  Length = 0;

  Board.Transport.MarkUnusable (0);
  EXPECT_EQ (Read (0x0000, &Length, &Byte), EFI_BAD_BUFFER_SIZE);
  EXPECT_EQ (Write (0x0000, &Length, &Byte), EFI_BAD_BUFFER_SIZE);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "count", "select 0"));

  Log ().Clear ();
  Length = 1;
  EXPECT_EQ (Read (0x0000, &Length, &Byte), EFI_DEVICE_ERROR);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0"));
}

TEST_F (RegionTest, ArgumentsRefusedBeforeAnyTransportCallOfTheWorker) {
  UINT8   Byte = 0;
  UINT16  Length = 1;

  EXPECT_EQ (Read (0x0000, nullptr, &Byte), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Read (0x0000, &Length, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Write (0x0000, &Length, nullptr), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->RegionRead (nullptr, Service, 0, kSelector, &Length, &Byte, &Bmc0, 2), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Log ().Of (EventKind::TrackBmcStatus).size (), 0u);
  EXPECT_EQ (Service->RegionWrite (nullptr, Service, 0, kSelector, &Length, &Byte, &AllBmcs, 0), EFI_UNSUPPORTED);
  EXPECT_TRUE (Sends ().empty ());
}

}  // namespace
}  // namespace OskelTest
