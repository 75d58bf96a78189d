// Round trips through the BMC model: what the module writes comes back
// byte for byte, across chunk boundaries and BMCs.
#include "SimulatorFixture.h"

namespace OskelTest {
namespace {

class RoundTripTest : public SimulatorTest {
protected:
  void SetUp () override { Boot (); }
};

TEST_F (RoundTripTest, KnownFileWrittenThenReadBack) {
  const Bytes  Data = Pattern (300, 0x31);

  auto  Write = Run ("WriteKnownFile id=config data=" + HexText (Data));
  ASSERT_EQ (Write.Status, EFI_SUCCESS);
  EXPECT_THAT (Model (0).Files.at ("config").Data, ElementsAreArray (Data));
  EXPECT_TRUE (Model (0).Handles.empty ()) << "the file was closed";

  auto  Read = Run ("ReadKnownFile id=config count=300");
  ASSERT_EQ (Read.Status, EFI_SUCCESS);
  EXPECT_THAT (Read.Outputs, ::testing::Contains ("bytes-read 300"));
  EXPECT_EQ (Only (Sends (), 0x2E, 0x90).size (), 4u) << "open, two read chunks, close";
}

TEST_F (RoundTripTest, RegionAcrossChunkBoundary) {
  const Bytes  Data = Pattern (500, 0x05);

  auto  Write = Run ("RegionWrite offset=0x00F0 selector=2 data=" + HexText (Data));
  ASSERT_EQ (Write.Status, EFI_SUCCESS);
  EXPECT_EQ (Only (Sends (), 0x3A, 0x0C).size (), 3u);
  const Bytes  &Region = Model (0).Regions.at (2);
  EXPECT_THAT (Bytes (Region.begin () + 0xF0, Region.begin () + 0xF0 + 500), ElementsAreArray (Data));

  auto  Read = Run ("RegionRead offset=0x00F0 selector=2 length=500");
  ASSERT_EQ (Read.Status, EFI_SUCCESS);
  ASSERT_EQ (Only (Sends (), 0x3A, 0x0B).size (), 3u);
  EXPECT_THAT (Sends ()[1].Response, ElementsAreArray (Bytes (Data.begin () + 224, Data.begin () + 448)));
  EXPECT_THAT (Read.Outputs, ::testing::Contains ("length 500"));
}

TEST_F (RoundTripTest, SettingWrittenToBothBmcsReadFromEach) {
  auto  Write = Run ("WriteBmcSetting selector=smbioscrc value=11223344 bmc=all");
  ASSERT_EQ (Write.Status, EFI_SUCCESS);

  for (const char *Bmc : { "0", "1" }) {
    auto  Read = Run (std::string ("ReadBmcSetting selector=smbioscrc bmc=") + Bmc);
    ASSERT_EQ (Read.Status, EFI_SUCCESS) << "BMC " << Bmc;
    ASSERT_FALSE (Read.Outputs.empty ());
    EXPECT_EQ (Read.Outputs[0].rfind ("value [11 22 33 44]", 0), 0u) << Read.Outputs[0];
  }

  EXPECT_EQ (Model (1).Settings.at ("/ac/uefi/smbioscrc").Flags, 0x40);
}

TEST_F (RoundTripTest, DescribedSettingAndItsStoreStatus) {
  auto  Write = Run ("WriteBmcSetting selector=described path=/dc/oskel/mode type=1 value=A5B6");
  ASSERT_EQ (Write.Status, EFI_SUCCESS);
  EXPECT_EQ (Model (0).Settings.at ("/dc/oskel/mode").Flags, 0x10);

  auto  Read = Run ("ReadBmcSetting selector=described path=/dc/oskel/mode length=2");
  ASSERT_EQ (Read.Status, EFI_SUCCESS);
  EXPECT_EQ (Read.Outputs.at (0).rfind ("value [A5 B6]", 0), 0u);

  Model (0).Settings.at ("/dc/oskel/mode").Status = 6;
  EXPECT_EQ (Run ("ReadBmcSetting selector=described path=/dc/oskel/mode length=2").Status, EFI_ACCESS_DENIED);
  EXPECT_EQ (Run ("ReadBmcSetting selector=described path=/no/such length=1").Status, EFI_NOT_FOUND);
}

TEST_F (RoundTripTest, UploadReassembledFromItsPieces) {
  const Bytes  Data = Pattern (500, 0x77);

  auto  Upload = Run ("UploadBlocks tag=0x00C0FFEE value=5 data=" + HexText (Data));
  ASSERT_EQ (Upload.Status, EFI_SUCCESS);
  const OskelSim::Upload  &Block = Model (0).Uploads.at (0x00C0FFEE);
  EXPECT_EQ (Block.Pieces, 4u) << "32 + 224 + 224 + 20";
  EXPECT_TRUE (Block.Complete);
  EXPECT_EQ (Block.Value, 5);
  EXPECT_THAT (Block.Data, ElementsAreArray (Data));
}

}  // namespace
}  // namespace OskelTest
