// The BMC model on its own: requests in, answers and state out.
#include "SimulatorFixture.h"

namespace OskelTest {
namespace {

using OskelSim::BmcModel;
using OskelSim::Request;

Request
Make (uint8_t NetFn, uint8_t Command, Bytes Data = {})
{
  return Request{ 0, NetFn, 0, Command, std::move (Data), 255 };
}

Bytes
FileRequest (uint8_t SubCommand, Bytes Rest)
{
  Bytes  Out = { 0x4D, 0x4F, 0x00, SubCommand };
  Out.insert (Out.end (), Rest.begin (), Rest.end ());
  return Out;
}

Bytes
WithName (Bytes Head, const std::string &Name)
{
  Head.insert (Head.end (), Name.begin (), Name.end ());
  return Head;
}

struct RefusalRow {
  const char *Name;
  Request    Asked;
  uint8_t    Code;
};

class ModelRefusalTest : public ::testing::TestWithParam<RefusalRow> {};

TEST_P (ModelRefusalTest, AnswersAsABmcWould) {
  BmcModel  Model (0);
  EXPECT_EQ (Model.Handle (GetParam ().Asked).Status, EFI_STATUS (GetParam ().Code));
}

INSTANTIATE_TEST_SUITE_P (
  Refusals, ModelRefusalTest,
  ::testing::Values (
    RefusalRow{ "UnknownNetFn", Make (0x30, 0x01), 0xC1 },
    RefusalRow{ "UnknownOemCommand", Make (0x3A, 0x99), 0xC1 },
    RefusalRow{ "UnknownGroupCommand", Make (0x2E, 0x91), 0xC1 },
    RefusalRow{ "DeviceIdWithData", Make (0x06, 0x01, { 0x00 }), 0xC7 },
    RefusalRow{ "WatchdogOneByteShort", Make (0x06, 0x24, { 0x02, 0x01, 0x00, 0x00, 0xB8 }), 0xC7 },
    RefusalRow{ "WatchdogTimerUseZero", Make (0x06, 0x24, { 0x00, 0x01, 0x00, 0x00, 0xB8, 0x0B }), 0xCC },
    RefusalRow{ "WatchdogResetBeforeSet", Make (0x06, 0x22), 0x80 },
    RefusalRow{ "ChannelInfoNoSuchChannel", Make (0x06, 0x42, { 0x09 }), 0xCC },
    RefusalRow{ "SerialParameterUnsupported", Make (0x0C, 0x11, { 0x02, 0x63, 0x00, 0x00 }), 0x80 },
    RefusalRow{ "SerialConfigOnLanChannel", Make (0x0C, 0x11, { 0x01, 0x07, 0x00, 0x00 }), 0xCC },
    RefusalRow{ "BootStageWrongFirstByte", Make (0x3A, 0xC3, { 0x02, 0x07 }), 0xCC },
    RefusalRow{ "Oem10ValueAboveThree", Make (0x3A, 0x10, { 0x04 }), 0xCC },
    RefusalRow{ "RegionReadOverAChunk", Make (0x3A, 0x0B, { 0x00, 0x00, 0x01, 0xE1 }), 0xCC },
    RefusalRow{ "FileServiceOtherManufacturer", Make (0x2E, 0x90, { 0x4D, 0x4F, 0x01, 0x06 }), 0xCC },
    RefusalRow{ "FileOpenForReadingMissing", Make (0x2E, 0x90, WithName (FileRequest (0x01, { 3, 0, 0, 0, 0, 0, 0, 0 }), "nothing")), 0x0A },
    RefusalRow{ "FileReadUnknownHandle", Make (0x2E, 0x90, FileRequest (0x02, { 9, 9, 0, 0, 0, 0, 0, 0, 16, 0 })), 0x0E },
    RefusalRow{ "UploadPieceChainedToNothing", Make (0x2E, 0x92, { 0x4D, 0x4F, 0x00, 0, 0, 0, 1, 0, 0, 0x07, 0x00, 0x00, 0xAA }), 0xCC },
    RefusalRow{ "SettingsLengthByteWrong", Make (0x3A, 0xC4, { 0x00, 0x00, 0x09, 0x83, 'a', 'b', 'c' }), 0xC7 }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST (BmcModelTest, WatchdogArmedBySetStartedByReset) {
  BmcModel  Model (0);

  ASSERT_EQ (Model.Handle (Make (0x06, 0x24, { 0x02, 0x01, 0x00, 0x00, 0x58, 0x02 })).Status, EFI_SUCCESS);
  EXPECT_TRUE (Model.Timer.Initialized);
  EXPECT_FALSE (Model.Timer.Running);
  ASSERT_EQ (Model.Handle (Make (0x06, 0x22)).Status, EFI_SUCCESS);
  EXPECT_TRUE (Model.Timer.Running);

  auto  Get = Model.Handle (Make (0x06, 0x25));
  EXPECT_THAT (Get.Data, ElementsAre (0x42, 0x01, 0x00, 0x00, 0x58, 0x02, 0x58, 0x02));

  // A new Set without "don't stop" stops the running timer.
  ASSERT_EQ (Model.Handle (Make (0x06, 0x24, { 0x02, 0x01, 0x00, 0x00, 0x10, 0x00 })).Status, EFI_SUCCESS);
  EXPECT_FALSE (Model.Timer.Running);
}

TEST (BmcModelTest, ChannelAccessKeepsVolatileAndNonVolatileApart) {
  BmcModel  Model (0);

  ASSERT_EQ (Model.Handle (Make (0x06, 0x40, { 0x02, 0x80 | 0x18 | 0x03, 0x84 })).Status, EFI_SUCCESS);
  EXPECT_THAT (Model.Handle (Make (0x06, 0x41, { 0x02, 0x80 })).Data, ElementsAre (0x1B, 0x04));
  EXPECT_THAT (Model.Handle (Make (0x06, 0x41, { 0x02, 0x40 })).Data, ElementsAre (0x02, 0x04));
  EXPECT_THAT (Model.Handle (Make (0x06, 0x42, { 0x02 })).Data, ElementsAre (0x02, 0x05, 0x05, 0x80, 0xF2, 0x1B, 0x00, 0x00, 0x00));
}

TEST (BmcModelTest, MuxRequestsFollowTheBlocks) {
  BmcModel  Model (0);

  EXPECT_THAT (Model.Handle (Make (0x0C, 0x12, { 0x02, 0x01 })).Data, ElementsAre (0x02));
  EXPECT_FALSE (Model.MuxToBmc);
  ASSERT_EQ (Model.Handle (Make (0x0C, 0x12, { 0x02, 0x07 })).Status, EFI_SUCCESS);
  EXPECT_THAT (Model.Handle (Make (0x0C, 0x12, { 0x02, 0x02 })).Data, ElementsAre (0x04)) << "switch to the BMC blocked: rejected";
  EXPECT_FALSE (Model.MuxToBmc);
}

TEST (BmcModelTest, FilesOpenWriteReadSizeDelete) {
  BmcModel  Model (0);

  auto  Open = Model.Handle (Make (0x2E, 0x90, WithName (FileRequest (0x01, { 3, 1, 0x00, 0x40, 0, 0, 1, 0x0B }), "config")));
  ASSERT_EQ (Open.Status, EFI_SUCCESS);
  ASSERT_EQ (Open.Data.size (), 7u);
  const Bytes  Handle (Open.Data.begin () + 3, Open.Data.end ());

  Bytes  Write = FileRequest (0x03, Handle);
  Write.insert (Write.end (), { 0x02, 0x00, 0x00, 0x00, 0xAA, 0xBB, 0xCC });
  EXPECT_THAT (Model.Handle (Make (0x2E, 0x90, Write)).Data, ElementsAre (0x4D, 0x4F, 0x00, 0x03, 0x00));
  EXPECT_THAT (Model.Files.at ("config").Data, ElementsAre (0x00, 0x00, 0xAA, 0xBB, 0xCC));
  EXPECT_EQ (Model.Files.at ("config").DeclaredSize, 0x4000u);

  Bytes  Read = FileRequest (0x02, Handle);
  Read.insert (Read.end (), { 0x01, 0x00, 0x00, 0x00, 0x10, 0x00 });
  EXPECT_THAT (Model.Handle (Make (0x2E, 0x90, Read)).Data, ElementsAre (0x4D, 0x4F, 0x00, 0x04, 0x00, 0x00, 0xAA, 0xBB, 0xCC)) << "clamped to the file's end";

  EXPECT_THAT (Model.Handle (Make (0x2E, 0x90, WithName (FileRequest (0x06, {}), "config"))).Data, ElementsAre (0x4D, 0x4F, 0x00, 0x05, 0x00, 0x00, 0x00));
  EXPECT_EQ (Model.Handle (Make (0x2E, 0x90, FileRequest (0x05, Handle))).Status, EFI_SUCCESS);
  EXPECT_EQ (Model.Handle (Make (0x2E, 0x90, FileRequest (0x05, Handle))).Status, EFI_STATUS (0x0E)) << "closed twice";
  EXPECT_EQ (Model.Handle (Make (0x2E, 0x90, WithName (FileRequest (0x07, {}), "config"))).Status, EFI_SUCCESS);
  EXPECT_EQ (Model.Files.count ("config"), 0u);
}

TEST (BmcModelTest, FileOpenedForReadingRefusesWrites) {
  BmcModel  Model (0);
  Model.Files["uefi-err.log"].Data = { 1, 2, 3 };

  auto   Open = Model.Handle (Make (0x2E, 0x90, WithName (FileRequest (0x01, { 3, 0, 0, 0, 0, 0, 0, 0x14 }), "uefi-err.log")));
  Bytes  Write = FileRequest (0x03, Bytes (Open.Data.begin () + 3, Open.Data.end ()));
  Write.insert (Write.end (), { 0, 0, 0, 0, 0xEE });
  EXPECT_EQ (Model.Handle (Make (0x2E, 0x90, Write)).Status, EFI_STATUS (0x0F));
}

TEST (BmcModelTest, UploadPiecesChainByHandle) {
  BmcModel  Model (0);
  auto      Piece = [&](uint8_t Handle, uint8_t More, Bytes Data) {
    Bytes  Out = { 0x4D, 0x4F, 0x00, 0x00, 0x00, 0x00, 0x09, 0x80, 0x05, Handle, 0x00, More };
    Out.insert (Out.end (), Data.begin (), Data.end ());
    return Model.Handle (Make (0x2E, 0x92, Out));
  };

  auto  First = Piece (0, 1, { 1, 2 });
  ASSERT_EQ (First.Status, EFI_SUCCESS);
  ASSERT_EQ (First.Data.size (), 5u);
  auto  Last = Piece (First.Data[3], 0, { 3 });
  ASSERT_EQ (Last.Status, EFI_SUCCESS);

  const OskelSim::Upload  &Block = Model.Uploads.at (9);
  EXPECT_THAT (Block.Data, ElementsAre (1, 2, 3));
  EXPECT_TRUE (Block.Complete);
  EXPECT_EQ (Block.Operation, 0x80);
  EXPECT_EQ (Piece (First.Data[3], 0, { 4 }).Status, EFI_STATUS (0xCC)) << "the upload is complete";
}

TEST (BmcModelTest, SettingsStoreTellsA128BytePathFromAnEmptyOne) {
  BmcModel     Model (0);
  std::string  Path (128, 'p');
  Bytes        Write = { 0x03, 0x00, static_cast<uint8_t>(128 + 1 + 3), 0x01, 0x80 };
  Write.insert (Write.end (), Path.begin (), Path.end ());
  Write.insert (Write.end (), { 0x41, 0x7E });

  EXPECT_THAT (Model.Handle (Make (0x3A, 0xC4, Write)).Data, ElementsAre (0x00, 0x00, 0x00, 0x00));
  EXPECT_THAT (Model.Settings.at (Path).Value, ElementsAre (0x7E));
}

TEST (BmcModelTest, Command1CWordIsMostSignificantByteFirst) {
  BmcModel  Model (0);

  ASSERT_EQ (Model.Handle (Make (0x3A, 0x1C, { 0x00, 0x01, 0x12, 0x34, 0x00 })).Status, EFI_SUCCESS);
  EXPECT_EQ (Model.Oem1CWord, 0x1234);
  ASSERT_EQ (Model.Handle (Make (0x3A, 0x1C, { 0x01, 0x01, 0x00, 0x00, 0x01 })).Status, EFI_SUCCESS);
  EXPECT_THAT (Model.Handle (Make (0x3A, 0x1C, { 0x02 })).Data, ElementsAre (0x01));
  ASSERT_EQ (Model.Handle (Make (0x3A, 0x1C, { 0x00, 0x00 })).Status, EFI_SUCCESS);
  EXPECT_FALSE (Model.Oem1CWordSet);
}

}  // namespace
}  // namespace OskelTest
