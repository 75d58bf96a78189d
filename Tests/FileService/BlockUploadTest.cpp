// Block upload: the bare request, the split into pieces, the chained
// handle, one guard per BMC and the broadcast.
#include "OemGroupBytes.h"

namespace OskelTest {
namespace {

using OskelSim::Request;

constexpr uint32_t  mTag = 0x01020304;

class BlockUploadTest : public BoardTest {
protected:
  EFI_STATUS
  Upload (uint32_t Length, UINT8 *Instance = nullptr)
  {
    Data       = PatternAt (0, Length + 1);
    DataLength = Length;
    return Service->UploadBlocks (nullptr, Service, mTag, 0x05, Data.data (), &DataLength, FALSE, (Instance != nullptr) ? Instance : &Bmc0, 0);
  }

  // Bytes 0..8 of every request: id, big-endian tag, operation, value.
  static Bytes
  Head (uint8_t Operation)
  {
    return mManufacturerId + Bytes{ 0x01, 0x02, 0x03, 0x04, Operation, 0x05 };
  }

  Bytes   Data;
  UINT32  DataLength = 0;
};

TEST_F (BlockUploadTest, BareRequestsCarryOnlyTheHead) {
  ASSERT_EQ (Service->UploadBlocks (nullptr, Service, mTag, 0x05, nullptr, nullptr, FALSE, &Bmc0, 0), EFI_SUCCESS);
  ASSERT_EQ (Service->UploadBlocks (nullptr, Service, mTag, 0x05, nullptr, nullptr, TRUE, &Bmc0, 0), EFI_SUCCESS);
  ASSERT_EQ (Service->UploadBlocksOp1 (nullptr, Service, mTag, 0x05, nullptr, nullptr, &Bmc0, 0), EFI_SUCCESS);
  const auto  S = Sends ();
  ASSERT_EQ (S.size (), 3u);
  EXPECT_THAT (S[0].Request, ElementsAreArray (Head (0x00)));
  EXPECT_THAT (S[1].Request, ElementsAreArray (Head (0x80)));
  EXPECT_THAT (S[2].Request, ElementsAreArray (Head (0x01)));
  EXPECT_EQ (S[0].NetFn, 0x2E);
  EXPECT_EQ (S[0].Command, 0x92);
  EXPECT_EQ (S[0].Capacity, 5);
}

struct PieceRow {
  const char             *Name;
  uint32_t               Length;
  std::vector<uint32_t>  Pieces;
};

class PieceTest : public BlockUploadTest, public ::testing::WithParamInterface<PieceRow> {};

TEST_P (PieceTest, SplitsAndChainsUnderOneGuard) {
  const PieceRow  &Row = GetParam ();
  uint8_t         Handle = 0;
  uint8_t         Next = 0x40;
  uint32_t        Position = 0;

  // A fresh handle in byte 3 of every answer; byte 4 must never travel.
  Bmc (0).Handler = [&](const Request &) { return Answer (Bytes{ Next++, 0xEE }); };
  ASSERT_EQ (Upload (Row.Length), EFI_SUCCESS);

  const auto  S = Sends ();
  ASSERT_EQ (S.size (), Row.Pieces.size ());
  for (size_t Piece = 0; Piece < S.size (); Piece++) {
    SCOPED_TRACE (Piece);
    const bool  Last = (Piece + 1 == S.size ());
    EXPECT_THAT (
      S[Piece].Request,
      ElementsAreArray (Head (0x00) + Bytes{ Handle, 0x00, uint8_t (Last ? 0 : 1) } + PatternAt (Position, Row.Pieces[Piece]))
      );
    Handle    = S[Piece].Response[3];
    Position += Row.Pieces[Piece];
  }

  EXPECT_EQ (Position, Row.Length);
  EXPECT_EQ (Log ().Of (EventKind::TrackBmcStatus).size (), 2u);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  PieceTest,
  ::testing::Values (
    PieceRow{ "OneByte", 1, { 1 } },
    PieceRow{ "OneShortOfTheFirstPiece", 31, { 31 } },
    PieceRow{ "ExactlyTheFirstPiece", 32, { 32 } },
    PieceRow{ "FirstPieceAndRest", 100, { 32, 68 } },
    PieceRow{ "FirstPieceAndOneChunk", 256, { 32, 224 } },
    PieceRow{ "FirstPieceChunkAndRest", 300, { 32, 224, 44 } },
    PieceRow{ "FirstPieceTwoChunksAndRest", 500, { 32, 224, 224, 20 } }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (BlockUploadTest, RefusedArguments) {
  UINT8   Block[4] = {};
  UINT32  Length   = 4;

  EXPECT_EQ (Service->UploadBlocks (nullptr, Service, mTag, 0, Block, nullptr, FALSE, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->UploadBlocksOp1 (nullptr, Service, mTag, 0, nullptr, &Length, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Log ().Of (EventKind::TrackBmcStatus).size (), 0u);

  // An empty block is refused after phase 0.
  Log ().Clear ();
  EXPECT_EQ (Upload (0), EFI_INVALID_PARAMETER);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0"));
}

struct PieceFailRow {
  const char  *Name;
  Reply       Second;
  EFI_STATUS  Expected;
  uint8_t     Flag;
};

class PieceFailTest : public BlockUploadTest, public ::testing::WithParamInterface<PieceFailRow> {};

TEST_P (PieceFailTest, FirstFailingPieceEndsTheUpload) {
  const PieceFailRow  &Row = GetParam ();

  Bmc (0).Then (Answer (Bytes{ 0x41, 0x00 })).Then (Row.Second);
  EXPECT_EQ (Upload (300), Row.Expected);
  EXPECT_THAT (
    Calls (),
    ElementsAre ("count", "select 0", "phase0", "send 2E/92", "send 2E/92", "phase1 flag=" + std::to_string (Row.Flag))
    );
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  PieceFailTest,
  ::testing::Values (
    PieceFailRow{ "CompletionCodePassesUnchanged", Fail (0xC0), 0xC0, 0 },
    PieceFailRow{ "DeviceError", Fail (EFI_DEVICE_ERROR), EFI_DEVICE_ERROR, 1 },
    PieceFailRow{ "AnswerWithoutHandleWhileMoreFollows", Answer (), EFI_PROTOCOL_ERROR, 0 }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (BlockUploadTest, LastPieceNeedsNoHandle) {
  Bmc (0).Then (Answer (Bytes{ 0x41 })).Then (Ok ());
  EXPECT_EQ (Upload (100), EFI_SUCCESS);
  EXPECT_EQ (Sends ().size (), 2u);
}

TEST_F (BlockUploadTest, BroadcastSendsTheWholeBlockToEachBmc) {
  Bmc (0).Default = Answer (Bytes{ 0x41, 0x00 });
  Bmc (1).Default = Answer (Bytes{ 0x51, 0x00 });
  ASSERT_EQ (Upload (300, &AllBmcs), EFI_SUCCESS);
  EXPECT_THAT (
    Calls (),
    ElementsAre (
      "count",
      "select 0", "phase0", "send 2E/92", "send 2E/92", "send 2E/92", "phase1 flag=0",
      "select 1", "phase0", "send 2E/92", "send 2E/92", "send 2E/92", "phase1 flag=0"
      )
    );
  const auto  S = Sends ();
  ASSERT_EQ (S.size (), 6u);
  for (size_t Bmc : { 0u, 1u }) {
    SCOPED_TRACE (Bmc);
    const auto  &First = S[3 * Bmc];
    EXPECT_EQ (First.Bmc, Bmc);
    EXPECT_THAT (Bytes (First.Request.begin () + 9, First.Request.begin () + 11), ElementsAre (0x00, 0x00));
    EXPECT_THAT (Bytes (First.Request.begin () + 12, First.Request.end ()), ElementsAreArray (PatternAt (0, 32)));
    EXPECT_EQ (S[3 * Bmc + 1].Request[9], Bmc == 0 ? 0x41 : 0x51);
  }
}

}  // namespace
}  // namespace OskelTest
