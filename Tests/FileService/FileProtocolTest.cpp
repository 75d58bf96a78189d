// The six file service slots through the published record: request bytes,
// the chunk loop shared by read and write, the outputs on every path and
// the mapping of completion codes.
#include "OemGroupBytes.h"

namespace OskelTest {
namespace {

using OskelSim::Request;
using ::testing::Each;

constexpr uint32_t  mHandle = 0x11223344;
constexpr uint32_t  mOffset = 0x00010000;

std::vector<std::string>
GuardedSends (size_t Count)
{
  std::vector<std::string>  Calls{ "count", "select 0", "phase0" };
  Calls.insert (Calls.end (), Count, "send 2E/90");
  Calls.push_back ("phase1 flag=0");
  return Calls;
}

// Answers a read with exactly the bytes asked for, taken from the file.
Reply
ServeRead (const Request &R)
{
  uint16_t  Asked = uint16_t (R.Data[12] | R.Data[13] << 8);
  return ReadAnswer (Asked, PatternAt (Le32At (R.Data, 8), Asked));
}

// Reports every byte that a write carried as written.
Reply
ServeWrite (const Request &R)
{
  return Answer (Le16 (uint32_t (R.Data.size () - 12)));
}

class FileProtocolTest : public BoardTest {
protected:
  EFI_STATUS
  Read (uint32_t Count, UINT8 Force = 0)
  {
    Buffer.assign (Count + 16, 0xEE);
    return Service->FileRead (nullptr, Service, mHandle, mOffset, Count, Buffer.data (), &BytesRead, &Bmc0, Force);
  }

  EFI_STATUS
  Write (uint32_t Count)
  {
    Buffer     = PatternAt (0, Count + 1);  // never empty: a write of 0 bytes still names a buffer
    WriteCount = Count;
    return Service->FileWrite (nullptr, Service, mHandle, mOffset, Buffer.data (), &WriteCount, &Bmc0, 0);
  }

  EFI_STATUS
  Size (UINT8 Id, const char *Name = nullptr, UINT8 NameLength = 0)
  {
    FileSize = 0xDEADBEEF;
    return Service->GetFileSize (nullptr, Service, Id, Name, &NameLength, &FileSize, &Bmc0, 0);
  }

  EFI_STATUS
  Delete (UINT8 Id, const char *Name = nullptr, UINT8 NameLength = 0)
  {
    return Service->FileDelete (nullptr, Service, Id, Name, &NameLength, &Bmc0, 0);
  }

  Bytes   Buffer;
  UINT32  BytesRead  = 0xDEADBEEF;
  UINT32  WriteCount = 0;
  UINT32  FileSize   = 0;
  UINT32  Handle     = 0xDEADBEEF;
};

TEST_F (FileProtocolTest, OpenPutsModeBeforeFlagAndTakesTheHandle) {
  Bmc (0).Then (Answer (Le32 (0xA1B2C3D4)));
  // OpenFlag 1 comes before OpenMode 3 among the arguments.
  ASSERT_EQ (Service->FileOpen (nullptr, Service, "config", 6, 1, 3, 0x12345, 1, 0x0B, &Handle, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Handle, 0xA1B2C3D4u);
  EXPECT_EQ (Calls (), GuardedSends (1));
  ASSERT_EQ (Sends ().size (), 1u);
  EXPECT_THAT (Sends ()[0].Request, ElementsAreArray (FileHeader (0x01) + Bytes{ 0x03, 0x01 } + Le32 (0x12345) + Bytes{ 0x01, 0x0B } + Text ("config")));
  EXPECT_EQ (Sends ()[0].Capacity, 7);
}

TEST_F (FileProtocolTest, OpenNameLengthBounds) {
  const char  Name[] = "abcdefghijklmnopqrstuvwxyz";

  Bmc (0).Default = Answer (Le32 (1));
  EXPECT_EQ (Service->FileOpen (nullptr, Service, Name, 25, 0, 3, 0, 0, 0x14, &Handle, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Service->FileOpen (nullptr, Service, Name, 0, 0, 3, 0, 0, 0x14, &Handle, &Bmc0, 0), EFI_SUCCESS);
  ASSERT_EQ (Sends ().size (), 2u);
  EXPECT_EQ (Sends ()[0].Request.size (), 37u);
  EXPECT_THAT (Sends ()[1].Request, ElementsAreArray (FileHeader (0x01) + Bytes{ 0x03, 0x00, 0, 0, 0, 0, 0x00, 0x14 }));

  Log ().Clear ();
  EXPECT_EQ (Service->FileOpen (nullptr, Service, Name, 26, 0, 3, 0, 0, 0x14, &Handle, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->FileOpen (nullptr, Service, nullptr, 0, 0, 3, 0, 0, 0x14, &Handle, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->FileOpen (nullptr, Service, Name, 1, 0, 3, 0, 0, 0x14, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "count", "select 0", "count", "select 0"));
}

struct OpenRow {
  const char  *Name;
  Reply       Answer;
  bool        Unusable;
  EFI_STATUS  Expected;
  UINT32      Handle;
};

class OpenOutcomeTest : public FileProtocolTest, public ::testing::WithParamInterface<OpenRow> {};

TEST_P (OpenOutcomeTest, HandleOnEveryPath) {
  const OpenRow  &Row = GetParam ();

  Bmc (0).Then (Row.Answer);
  if (Row.Unusable) {
    Board.Transport.MarkUnusable (0);
  }

  EXPECT_EQ (Service->FileOpen (nullptr, Service, "config", 6, 1, 3, 0x4000, 0, 0x0B, &Handle, &Bmc0, 0), Row.Expected);
  EXPECT_EQ (Handle, Row.Handle);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  OpenOutcomeTest,
  ::testing::Values (
    OpenRow{ "Opened", Answer (Le32 (0x0102)), false, EFI_SUCCESS, 0x0102 },
    OpenRow{ "AccessDenied", Fail (0x0F), false, EFI_ACCESS_DENIED, 0 },
    OpenRow{ "TransportFailed", Fail (EFI_DEVICE_ERROR), false, EFI_DEVICE_ERROR, 0 },
    OpenRow{ "AnswerWithoutHandle", Answer (Bytes{ 0x01, 0x02, 0x03 }), false, EFI_PROTOCOL_ERROR, 0 },
    OpenRow{ "GuardKeepsItBack", Answer (Le32 (0x0102)), true, EFI_DEVICE_ERROR, 0xDEADBEEF }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

struct ChunkRow {
  const char             *Name;
  uint32_t               Count;
  std::vector<uint32_t>  Asked;  // per chunk, in order
};

class ChunkTest : public FileProtocolTest, public ::testing::WithParamInterface<ChunkRow> {};

TEST_P (ChunkTest, ReadPlacesEveryChunkByItsIndex) {
  const ChunkRow  &Row = GetParam ();

  Bmc (0).Handler = ServeRead;
  ASSERT_EQ (Read (Row.Count), EFI_SUCCESS);
  EXPECT_EQ (BytesRead, Row.Count);
  EXPECT_EQ (Calls (), GuardedSends (Row.Asked.size ()));
  for (size_t Chunk = 0; Chunk < Row.Asked.size (); Chunk++) {
    SCOPED_TRACE (Chunk);
    EXPECT_THAT (
      Sends ()[Chunk].Request,
      ElementsAreArray (FileHeader (0x02) + Le32 (mHandle) + Le32 (mOffset + 224 * Chunk) + Le16 (Row.Asked[Chunk]))
      );
    EXPECT_EQ (Sends ()[Chunk].Capacity, Row.Asked[Chunk] + 5);
  }

  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + Row.Count), ElementsAreArray (PatternAt (mOffset, Row.Count)));
  EXPECT_THAT (Bytes (Buffer.begin () + Row.Count, Buffer.end ()), Each (0xEE));
}

TEST_P (ChunkTest, WriteCarriesEveryChunkFromItsIndex) {
  const ChunkRow  &Row = GetParam ();

  Bmc (0).Handler = ServeWrite;
  ASSERT_EQ (Write (Row.Count), EFI_SUCCESS);
  EXPECT_EQ (WriteCount, Row.Count);
  EXPECT_EQ (Calls (), GuardedSends (Row.Asked.size ()));
  for (size_t Chunk = 0; Chunk < Row.Asked.size (); Chunk++) {
    SCOPED_TRACE (Chunk);
    EXPECT_THAT (
      Sends ()[Chunk].Request,
      ElementsAreArray (FileHeader (0x03) + Le32 (mHandle) + Le32 (mOffset + 224 * Chunk) + PatternAt (224 * Chunk, Row.Asked[Chunk]))
      );
    EXPECT_EQ (Sends ()[Chunk].Capacity, 5);
  }
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  ChunkTest,
  ::testing::Values (
    ChunkRow{ "Nothing", 0, {} },
    ChunkRow{ "OneByte", 1, { 1 } },
    ChunkRow{ "OneShortOfAChunk", 223, { 223 } },
    ChunkRow{ "ExactlyOneChunk", 224, { 224 } },
    ChunkRow{ "OneByteOver", 225, { 224, 1 } },
    ChunkRow{ "TwoChunksNoRemainder", 448, { 224, 224 } },
    ChunkRow{ "TwoChunksAndRemainder", 500, { 224, 224, 52 } }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (FileProtocolTest, ShortChunkLeavesTheRestOfItsStretch) {
  Bmc (0).Then (ReadAnswer (200, PatternAt (mOffset, 200))).Handler = ServeRead;
  ASSERT_EQ (Read (448), EFI_SUCCESS);
  EXPECT_EQ (BytesRead, 424u);
  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + 200), ElementsAreArray (PatternAt (mOffset, 200)));
  EXPECT_THAT (Bytes (Buffer.begin () + 200, Buffer.begin () + 224), Each (0xEE));
  EXPECT_THAT (Bytes (Buffer.begin () + 224, Buffer.begin () + 448), ElementsAreArray (PatternAt (mOffset + 224, 224)));
}

struct BoundRow {
  const char  *Name;
  uint32_t    Count;
  Reply       Answer;
  EFI_STATUS  Expected;
  UINT32      BytesRead;
};

class ReadBoundTest : public FileProtocolTest, public ::testing::WithParamInterface<BoundRow> {};

// Whatever the answer claims, a chunk copies only bytes that it asked for
// and that arrived, and nothing past them.
TEST_P (ReadBoundTest, CopiesOnlyWhatWasAskedAndReceived) {
  const BoundRow  &Row = GetParam ();

  Bmc (0).Then (Row.Answer);
  EXPECT_EQ (Read (Row.Count), Row.Expected);
  EXPECT_EQ (BytesRead, Row.BytesRead);
  EXPECT_EQ (Sends ().size (), 1u);
  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + Row.BytesRead), ElementsAreArray (PatternAt (mOffset, Row.BytesRead)));
  EXPECT_THAT (Bytes (Buffer.begin () + Row.BytesRead, Buffer.end ()), Each (0xEE));
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  ReadBoundTest,
  ::testing::Values (
    BoundRow{ "CountAboveAsked", 100, ReadAnswer (0xFFFF, PatternAt (mOffset, 100)), EFI_SUCCESS, 100 },
    BoundRow{ "CountAboveReceived", 224, ReadAnswer (224, PatternAt (mOffset, 20)), EFI_SUCCESS, 20 },
    BoundRow{ "CountBelowReceived", 100, ReadAnswer (10, PatternAt (mOffset, 100)), EFI_SUCCESS, 10 },
    BoundRow{ "AnswerWithoutCount", 100, Answer (Bytes{ 0x64 }), EFI_PROTOCOL_ERROR, 0 }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (FileProtocolTest, WriteCountsNoMoreThanEachChunkCarried) {
  Bmc (0).Default = Answer (Le16 (0xFFFF));
  ASSERT_EQ (Write (230), EFI_SUCCESS);
  EXPECT_EQ (WriteCount, 230u);
}

TEST_F (FileProtocolTest, PartlyWrittenChunkKeepsLaterOffsets) {
  Bmc (0).Then (Answer (Le16 (100))).Handler = ServeWrite;
  ASSERT_EQ (Write (448), EFI_SUCCESS);
  EXPECT_EQ (WriteCount, 324u);
  ASSERT_EQ (Sends ().size (), 2u);
  EXPECT_EQ (Le32At (Sends ()[1].Request, 8), mOffset + 224);
}

struct FailRow {
  const char  *Name;
  Reply       Second;  // answer to the second of three chunks
  EFI_STATUS  Expected;
  uint8_t     Flag;    // phase-1 flag
};

class FailedChunkTest : public FileProtocolTest, public ::testing::WithParamInterface<FailRow> {};

TEST_P (FailedChunkTest, ReadStopsAndReportsNothing) {
  const FailRow  &Row = GetParam ();

  Bmc (0).Then (ReadAnswer (224, PatternAt (mOffset, 224))).Then (Row.Second);
  EXPECT_EQ (Read (500), Row.Expected);
  EXPECT_EQ (BytesRead, 0u);
  EXPECT_EQ (Sends ().size (), 2u);
  EXPECT_EQ (Calls ().back (), "phase1 flag=" + std::to_string (Row.Flag));
  // What the first chunk delivered stays.
  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + 224), ElementsAreArray (PatternAt (mOffset, 224)));
}

TEST_P (FailedChunkTest, WriteStopsAndKeepsTheCallersCount) {
  const FailRow  &Row = GetParam ();

  Bmc (0).Then (Answer (Le16 (224))).Then (Row.Second);
  EXPECT_EQ (Write (500), Row.Expected);
  EXPECT_EQ (WriteCount, 500u);
  EXPECT_EQ (Sends ().size (), 2u);
  EXPECT_EQ (Calls ().back (), "phase1 flag=" + std::to_string (Row.Flag));
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  FailedChunkTest,
  ::testing::Values (
    FailRow{ "NotFound", Fail (0x0A), EFI_NOT_FOUND, 0 },
    FailRow{ "DeviceError", Fail (EFI_DEVICE_ERROR), EFI_DEVICE_ERROR, 1 },
    FailRow{ "AnswerWithoutCount", Answer (), EFI_PROTOCOL_ERROR, 0 }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (FileProtocolTest, GuardKeepsBackEveryOperation) {
  Board.Transport.MarkUnusable (0);
  Bmc (0).Handler = ServeRead;

  EXPECT_EQ (Read (500), EFI_DEVICE_ERROR);
  EXPECT_EQ (BytesRead, 0u);
  EXPECT_EQ (Write (500), EFI_DEVICE_ERROR);
  EXPECT_EQ (WriteCount, 500u);
  EXPECT_EQ (Size (KNOWN_FILE_CONFIG), EFI_DEVICE_ERROR);
  EXPECT_EQ (FileSize, 0u);
  EXPECT_EQ (Service->FileClose (nullptr, Service, mHandle, &Bmc0, 0), EFI_DEVICE_ERROR);
  EXPECT_EQ (Delete (KNOWN_FILE_CONFIG), EFI_DEVICE_ERROR);
  EXPECT_TRUE (Sends ().empty ());

  // Force sends every chunk under the one guard.
  Log ().Clear ();
  ASSERT_EQ (Read (500, 1), EFI_SUCCESS);
  EXPECT_EQ (BytesRead, 500u);
  EXPECT_EQ (Calls (), GuardedSends (3));
}

TEST_F (FileProtocolTest, CloseSendsTheHandleAndRefusesZero) {
  ASSERT_EQ (Service->FileClose (nullptr, Service, mHandle, &Bmc0, 0), EFI_SUCCESS);
  ASSERT_EQ (Sends ().size (), 1u);
  EXPECT_THAT (Sends ()[0].Request, ElementsAreArray (FileHeader (0x05) + Le32 (mHandle)));
  EXPECT_EQ (Sends ()[0].Capacity, 3);

  Log ().Clear ();
  EXPECT_EQ (Service->FileClose (nullptr, Service, 0, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0"));
}

TEST_F (FileProtocolTest, SizeOfAWellKnownFile) {
  Bmc (0).Then (Answer (Le32 (0x00012345)));
  ASSERT_EQ (Size (KNOWN_FILE_UEFI_THERMAL_TABLE), EFI_SUCCESS);
  EXPECT_EQ (FileSize, 0x12345u);
  ASSERT_EQ (Sends ().size (), 1u);
  EXPECT_THAT (Sends ()[0].Request, ElementsAreArray (FileHeader (0x06) + Text ("uefi-thermal-table")));
  EXPECT_EQ (Sends ()[0].Capacity, 7);

  Bmc (0).Then (Answer (Bytes{ 0x45, 0x23 }));
  EXPECT_EQ (Size (KNOWN_FILE_UEFI_THERMAL_TABLE), EFI_PROTOCOL_ERROR);
  EXPECT_EQ (FileSize, 0u);

  UINT8  Length = 0;
  EXPECT_EQ (Service->GetFileSize (nullptr, Service, KNOWN_FILE_CONFIG, nullptr, &Length, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
}

TEST_F (FileProtocolTest, OnlyWellKnownIdsResolve) {
  std::vector<int>  Resolved;

  for (int Id = 0; Id < KNOWN_FILE_CALLER_NAMED; Id++) {
    Log ().Clear ();
    if (Delete (UINT8 (Id)) == EFI_SUCCESS) {
      Resolved.push_back (Id);
      continue;
    }

    // Refused after phase 0: nothing sent, no phase 1.
    EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0")) << Id;
  }

  EXPECT_THAT (Resolved, ElementsAre (0, 1, 2, 3, 5, 6, 7, 8, 9, 18, 19, 20));

  Log ().Clear ();
  ASSERT_EQ (Delete (KNOWN_FILE_UEFI_CHIPSET_REGISTERS), EFI_SUCCESS);
  EXPECT_THAT (Sends ()[0].Request, ElementsAreArray (FileHeader (0x07) + Text ("uefi-chipset-registers")));
  EXPECT_EQ (Sends ()[0].Capacity, 3);

  EXPECT_EQ (Size (4), EFI_INVALID_PARAMETER);
  EXPECT_EQ (FileSize, 0u);
}

TEST_F (FileProtocolTest, CallerNamedFiles) {
  const char  Name[] = "abcdefghijklmnopqrstuvwxyz";

  ASSERT_EQ (Delete (KNOWN_FILE_CALLER_NAMED, Name, 0), EFI_SUCCESS);
  ASSERT_EQ (Delete (KNOWN_FILE_CALLER_NAMED, Name, 25), EFI_SUCCESS);
  Bmc (0).Then (Answer (Le32 (77)));
  ASSERT_EQ (Size (KNOWN_FILE_CALLER_NAMED, Name, 7), EFI_SUCCESS);
  EXPECT_EQ (FileSize, 77u);
  ASSERT_EQ (Sends ().size (), 3u);
  EXPECT_THAT (Sends ()[0].Request, ElementsAreArray (FileHeader (0x07)));
  EXPECT_THAT (Sends ()[1].Request, ElementsAreArray (FileHeader (0x07) + Text ("abcdefghijklmnopqrstuvwxy")));
  EXPECT_THAT (Sends ()[2].Request, ElementsAreArray (FileHeader (0x06) + Text ("abcdefg")));

  Log ().Clear ();
  UINT8  Length = 1;
  EXPECT_EQ (Delete (KNOWN_FILE_CALLER_NAMED, Name, 26), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Delete (KNOWN_FILE_CALLER_NAMED, nullptr, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->FileDelete (nullptr, Service, KNOWN_FILE_CALLER_NAMED, Name, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->GetFileSize (nullptr, Service, KNOWN_FILE_CALLER_NAMED, nullptr, &Length, &FileSize, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Sends ().empty ());
  EXPECT_EQ (Log ().Of (EventKind::TrackBmcStatus).size (), 4u);  // phase 0 of each, no phase 1
}

struct MapRow {
  const char  *Name;
  EFI_STATUS  Result;
  EFI_STATUS  Expected;
};

class MapFileStatusTest : public FileProtocolTest, public ::testing::WithParamInterface<MapRow> {};

TEST_P (MapFileStatusTest, EveryFileOperationMapsItsResult) {
  const MapRow  &Row   = GetParam ();
  const Reply   Result = (Row.Result == EFI_SUCCESS) ? Answer (Le32 (1)) : Fail (Row.Result);

  Bmc (0).Default = Result;
  EXPECT_EQ (Service->FileClose (nullptr, Service, mHandle, &Bmc0, 0), Row.Expected);
  EXPECT_EQ (Service->FileOpen (nullptr, Service, "config", 6, 1, 3, 0, 0, 0x0B, &Handle, &Bmc0, 0), Row.Expected);
  EXPECT_EQ (Size (KNOWN_FILE_CONFIG), Row.Expected);
  EXPECT_EQ (Delete (KNOWN_FILE_CONFIG), Row.Expected);
  Bmc (0).Default = (Row.Result == EFI_SUCCESS) ? ReadAnswer (1, { 0 }) : Result;
  EXPECT_EQ (Read (1), Row.Expected);
  EXPECT_EQ (Write (1), Row.Expected);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  MapFileStatusTest,
  ::testing::Values (
    MapRow{ "Success", EFI_SUCCESS, EFI_SUCCESS },
    MapRow{ "TransportDeviceError", EFI_DEVICE_ERROR, EFI_DEVICE_ERROR },
    MapRow{ "TransportNotReady", EFI_NOT_READY, EFI_NOT_READY },
    MapRow{ "Code0A", 0x0A, EFI_NOT_FOUND },
    MapRow{ "Code0B", 0x0B, EFI_VOLUME_CORRUPTED },
    MapRow{ "Code0C", 0x0C, EFI_VOLUME_CORRUPTED },
    MapRow{ "Code0D", 0x0D, EFI_BAD_BUFFER_SIZE },
    MapRow{ "Code0E", 0x0E, EFI_INVALID_PARAMETER },
    MapRow{ "Code0F", 0x0F, EFI_ACCESS_DENIED },
    MapRow{ "Code10", 0x10, EFI_INVALID_PARAMETER },
    MapRow{ "Code01", 0x01, EFI_BMC_UNEXPECTED_CODE },
    MapRow{ "Code09BelowTheMappedRange", 0x09, EFI_BMC_UNEXPECTED_CODE },
    MapRow{ "Code11AboveTheMappedRange", 0x11, EFI_BMC_UNEXPECTED_CODE },
    MapRow{ "Code80", 0x80, EFI_BMC_UNEXPECTED_CODE },
    MapRow{ "CodeFF", 0xFF, EFI_BMC_UNEXPECTED_CODE }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (FileProtocolTest, AllBmcsIsRefusedBeforeAnyArgument) {
  EXPECT_EQ (Service->FileOpen (nullptr, Service, nullptr, 99, 0, 0, 0, 0, 0, nullptr, &AllBmcs, 2), EFI_UNSUPPORTED);
  EXPECT_EQ (Service->FileRead (nullptr, Service, 0, 0, 1, nullptr, nullptr, &AllBmcs, 2), EFI_UNSUPPORTED);
  EXPECT_EQ (Service->FileWrite (nullptr, Service, 0, 0, nullptr, nullptr, &AllBmcs, 2), EFI_UNSUPPORTED);
  EXPECT_EQ (Service->FileClose (nullptr, Service, 0, &AllBmcs, 2), EFI_UNSUPPORTED);
  EXPECT_EQ (Service->FileDelete (nullptr, Service, 4, nullptr, nullptr, &AllBmcs, 2), EFI_UNSUPPORTED);
  EXPECT_EQ (Service->GetFileSize (nullptr, Service, 4, nullptr, nullptr, nullptr, &AllBmcs, 2), EFI_UNSUPPORTED);
  EXPECT_EQ (Log ().Of (EventKind::SelectBmc).size (), 0u);
}

}  // namespace
}  // namespace OskelTest

namespace OskelTest {
namespace {

// A transfer missing its buffer or its count is refused before any
// command goes out, whatever else is right about the call.
struct NullTransferRow {
  const char  *Name;
  bool        Write;
  bool        NullData;
  bool        NullCount;
};

class FileTransferNullTest : public BoardTest, public ::testing::WithParamInterface<NullTransferRow> {};

TEST_P (FileTransferNullTest, RefusedWithoutASend) {
  const NullTransferRow  &Row = GetParam ();
  std::vector<UINT8>     Data (32, 0x3C);
  UINT32                 Count = 16;
  VOID                   *DataArgument  = Row.NullData ? nullptr : Data.data ();
  UINT32                 *CountArgument = Row.NullCount ? nullptr : &Count;

  EFI_STATUS  Status = Row.Write
                       ? Service->FileWrite (nullptr, Service, mHandle, mOffset, DataArgument, CountArgument, &Bmc0, 0)
                       : Service->FileRead (nullptr, Service, mHandle, mOffset, 16, DataArgument, CountArgument, &Bmc0, 0);

  EXPECT_EQ (Status, EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Sends ().empty ());
  EXPECT_EQ (Count, 16u);
  EXPECT_THAT (Data, ElementsAreArray (std::vector<UINT8>(32, 0x3C)));
}

INSTANTIATE_TEST_SUITE_P (
  Rows, FileTransferNullTest,
  ::testing::Values (
    NullTransferRow{ "read_without_buffer", false, true, false },
    NullTransferRow{ "read_without_count", false, false, true },
    NullTransferRow{ "write_without_data", true, true, false },
    NullTransferRow{ "write_without_count", true, false, true }
    ),
  [] (const ::testing::TestParamInfo<NullTransferRow> &Info) { return Info.param.Name; });

}  // namespace
}  // namespace OskelTest
