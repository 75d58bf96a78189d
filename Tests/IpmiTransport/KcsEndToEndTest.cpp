// End to end: the module over the KCS transport over the register-level
// KCS interface of the simulator's stateful BMC, so every byte of every
// slot passes through the data and status registers.

#include "KcsFixture.h"

#include <memory>

#include "BmcModel.h"

namespace OskelTest {
namespace {

using ::testing::ElementsAreArray;

Bytes
Pattern (size_t Count, uint8_t Seed)
{
  Bytes  Out (Count);
  for (size_t Index = 0; Index < Count; Index++) {
    Out[Index] = static_cast<uint8_t>(Seed + Index * 13 + (Index >> 8));
  }

  return Out;
}

class KcsEndToEndTest : public ::testing::Test {
protected:
  KcsEndToEndTest () : Board ({ 0x0000, 0x0200 })
  {
    for (uint8_t Index = 0; Index < 2; Index++) {
      Models.push_back (std::make_unique<OskelSim::BmcModel>(Index));
      Board.Attach (Index, *Models.back ());
      // Recording every access of whole-file transfers costs memory, not
      // coverage: requests and responses are kept either way.
      Board.Kcs[Index]->Recording = false;
    }
  }

  void SetUp () override
  {
    ASSERT_EQ (Board.Boot (), EFI_SUCCESS);
    Service = Board.Service ();
    ASSERT_NE (Service, nullptr);
    Board.ClearAccesses ();
  }

  // The requests BMC Index took with this NetFn and command.
  size_t Took (size_t Index, uint8_t NetFn, uint8_t Command)
  {
    size_t  Count = 0;
    for (const auto &R : Board.Kcs[Index]->Requests) {
      Count += ((R.NetFn == NetFn) && (R.Command == Command)) ? 1 : 0;
    }

    return Count;
  }

  OskelSim::TransportBoard                              Board;
  std::vector<std::unique_ptr<OskelSim::BmcModel>> Models;
  BMC_COMMANDS_PPI                                *Service = nullptr;
  UINT8                                           Bmc0 = 0;
  UINT8                                           AllBmcs = ALL_BMCS;
};

TEST_F (KcsEndToEndTest, BootReportedStageSevenToBothBmcsThroughKcs) {
  for (size_t Index = 0; Index < 2; Index++) {
    EXPECT_THAT (Models[Index]->BootStages, ElementsAreArray ({ 0x07 })) << "BMC " << Index;
  }
}

TEST_F (KcsEndToEndTest, GetDeviceIdIsTheModelsIdentity) {
  Bytes  Response (32, 0);
  UINT8  Length = static_cast<UINT8>(Response.size ());

  ASSERT_EQ (Service->GetDeviceId (Board.Services (), Service, Response.data (), &Length, &Bmc0, FALSE), EFI_SUCCESS);
  ASSERT_EQ (Length, Models[0]->DeviceId.size ());
  EXPECT_THAT (Bytes (Response.begin (), Response.begin () + Length), ElementsAreArray (Models[0]->DeviceId));
  ASSERT_EQ (Board.Kcs[0]->Responses.size (), 1u);
  EXPECT_EQ (Board.Kcs[0]->Responses[0].size (), 3 + Models[0]->DeviceId.size ());
}

TEST_F (KcsEndToEndTest, WholeFileWrittenThenReadBack) {
  const Bytes  Data = Pattern (300, 0x31);
  UINT32       Count = static_cast<UINT32>(Data.size ());

  ASSERT_EQ (Service->WriteKnownFile (Board.Services (), Service, KNOWN_FILE_CONFIG, 0, Data.data (), &Count, nullptr, &Bmc0, FALSE), EFI_SUCCESS);
  EXPECT_THAT (Models[0]->Files.at ("config").Data, ElementsAreArray (Data));
  EXPECT_TRUE (Models[0]->Handles.empty ());

  Bytes   Back (300, 0);
  UINT32  BytesRead = 0;
  ASSERT_EQ (Service->ReadKnownFile (Board.Services (), Service, KNOWN_FILE_CONFIG, 0, 300, Back.data (), &BytesRead, nullptr, &Bmc0, FALSE), EFI_SUCCESS);
  EXPECT_EQ (BytesRead, 300u);
  EXPECT_THAT (Back, ElementsAreArray (Data));
  EXPECT_TRUE (Board.Kcs[1]->Requests.empty ());
}

TEST_F (KcsEndToEndTest, RegionAcrossChunkBoundary) {
  const Bytes  Data = Pattern (500, 0x05);
  UINT16       Length = static_cast<UINT16>(Data.size ());

  ASSERT_EQ (Service->RegionWrite (Board.Services (), Service, 0x00F0, 2, &Length, Data.data (), &Bmc0, FALSE), EFI_SUCCESS);
  EXPECT_EQ (Took (0, 0x3A, 0x0C), 3u) << "224 + 224 + 52";
  const Bytes  &Region = Models[0]->Regions.at (2);
  EXPECT_THAT (Bytes (Region.begin () + 0xF0, Region.begin () + 0xF0 + 500), ElementsAreArray (Data));

  Bytes  Back (500, 0);
  Length = 500;
  ASSERT_EQ (Service->RegionRead (Board.Services (), Service, 0x00F0, 2, &Length, Back.data (), &Bmc0, FALSE), EFI_SUCCESS);
  EXPECT_EQ (Length, 500);
  EXPECT_EQ (Took (0, 0x3A, 0x0B), 3u);
  EXPECT_THAT (Back, ElementsAreArray (Data));
}

TEST_F (KcsEndToEndTest, SettingWrittenToBothBmcsReadFromEach) {
  const UINT8  Value[4] = { 0x11, 0x22, 0x33, 0x44 };

  ASSERT_EQ (Service->WriteBmcSetting (Board.Services (), Service, BMC_SETTING_SMBIOS_CRC, TRUE, Value, nullptr, &AllBmcs, FALSE), EFI_SUCCESS);
  for (UINT8 Index = 0; Index < 2; Index++) {
    UINT8  Back[4] = {};
    UINT8  Bmc     = Index;
    ASSERT_EQ (Service->ReadBmcSetting (Board.Services (), Service, BMC_SETTING_SMBIOS_CRC, Back, nullptr, &Bmc, FALSE), EFI_SUCCESS);
    EXPECT_THAT (Back, ElementsAreArray (Value)) << "BMC " << int (Index);
  }
}

TEST_F (KcsEndToEndTest, UploadReassembledFromItsPieces) {
  const Bytes  Data = Pattern (500, 0x77);
  UINT32       Length = static_cast<UINT32>(Data.size ());

  ASSERT_EQ (Service->UploadBlocks (Board.Services (), Service, 0x00C0FFEE, 5, Data.data (), &Length, FALSE, &Bmc0, FALSE), EFI_SUCCESS);
  const OskelSim::Upload  &Block = Models[0]->Uploads.at (0x00C0FFEE);
  EXPECT_EQ (Block.Pieces, 4u) << "32 + 224 + 224 + 20";
  EXPECT_TRUE (Block.Complete);
  EXPECT_THAT (Block.Data, ElementsAreArray (Data));
}

TEST_F (KcsEndToEndTest, FailingInterfaceMakesTheBmcUnusableUntilAForcedSuccess) {
  OskelSim::KcsFaults  Faults;
  Faults.ErrorAtResponseByte = 0;
  Board.Kcs[0]->Always       = Faults;
  Bytes  Response (32, 0);

  for (UINT8 Attempt = 0; Attempt < OskelTransport::WRITTEN_OFF; Attempt++) {
    UINT8  Length = static_cast<UINT8>(Response.size ());
    EXPECT_EQ (Service->GetDeviceId (Board.Services (), Service, Response.data (), &Length, &Bmc0, FALSE), EFI_DEVICE_ERROR);
  }

  size_t  Sent = Board.Kcs[0]->Requests.size ();
  UINT8   Length = static_cast<UINT8>(Response.size ());
  EXPECT_NE (Service->GetDeviceId (Board.Services (), Service, Response.data (), &Length, &Bmc0, FALSE), EFI_SUCCESS);
  EXPECT_EQ (Board.Kcs[0]->Requests.size (), Sent) << "unusable: nothing sent";

  Board.Kcs[0]->Always = OskelSim::KcsFaults{};
  Length               = static_cast<UINT8>(Response.size ());
  EXPECT_EQ (Service->GetDeviceId (Board.Services (), Service, Response.data (), &Length, &Bmc0, TRUE), EFI_SUCCESS);
  Length = static_cast<UINT8>(Response.size ());
  EXPECT_EQ (Service->GetDeviceId (Board.Services (), Service, Response.data (), &Length, &Bmc0, FALSE), EFI_SUCCESS);
}

}  // namespace
}  // namespace OskelTest
