// IPMB frames of the pcap capture and the ipmi_sim VM codec, byte for byte.
#include "IpmiSimBridge.h"
#include "SimulatorFixture.h"

namespace OskelTest {
namespace {

TEST (CaptureTest, RequestFrameHasBothChecksums) {
  // rsSA 20h, App NetFn 06h << 2, checksum; rqSA 81h, seq 5, Get Device ID, checksum.
  EXPECT_THAT (OskelSim::IpmbFrame (0x20, 0x06, 0x81, 5, 0x01, {}), ElementsAre (0x20, 0x18, 0xC8, 0x81, 0x14, 0x01, 0x6A));
}

TEST (CaptureTest, ResponseSwapsAddressesAndCarriesTheCompletionCode) {
  const Bytes  Frame = OskelSim::IpmbFrame (0x81, 0x07, 0x20, 5, 0x01, { 0x00, 0x20, 0x01 });
  EXPECT_THAT (Frame, ElementsAre (0x81, 0x1C, 0x63, 0x20, 0x14, 0x01, 0x00, 0x20, 0x01, 0xAA));
  uint8_t  Sum = 0;
  for (size_t At = 3; At < Frame.size (); At++) {
    Sum = static_cast<uint8_t>(Sum + Frame[At]);
  }

  EXPECT_EQ (Sum, 0);
}

TEST (CaptureTest, PcapHasOneFramePerRequestAndPerAnswer) {
  OskelSim::Trace  Log;
  auto             Add = [&](uint8_t Bmc, EFI_STATUS Status) {
    Event  &E = Log.Add (EventKind::SendCommand);
    E.Bmc     = Bmc;
    E.NetFn   = 0x06;
    E.Command = 0x01;
    E.Status  = Status;
  };
  Add (0, EFI_SUCCESS);
  Add (1, 0xC1);
  Add (1, EFI_DEVICE_ERROR);  // no answer on the wire
  Log.Add (EventKind::PortWrite);

  const Bytes  Image = OskelSim::PcapImage (Log, 1000);
  ASSERT_GE (Image.size (), 24u);
  EXPECT_THAT (Bytes (Image.begin (), Image.begin () + 4), ElementsAre (0xD4, 0xC3, 0xB2, 0xA1));
  EXPECT_THAT (Bytes (Image.begin () + 20, Image.begin () + 24), ElementsAre (209, 0, 0, 0));

  std::vector<Bytes>  Records;
  for (size_t At = 24; At + 16 <= Image.size (); ) {
    const size_t  Length = Image[At + 8] | (Image[At + 9] << 8);
    Records.emplace_back (Image.begin () + static_cast<long>(At) + 16, Image.begin () + static_cast<long>(At + 16 + Length));
    At += 16 + Length;
  }

  ASSERT_EQ (Records.size (), 5u);
  EXPECT_THAT (Bytes (Records[0].begin (), Records[0].begin () + 5), ElementsAre (0, 0, 0, 0, 0)) << "BMC 0 on bus 0";
  EXPECT_EQ (Records[2][0], 1) << "BMC 1 on bus 1";
  EXPECT_EQ (Records[3][5 + 6], 0xC1) << "the completion code opens the answer's data";
  EXPECT_EQ (Records[4][5 + 4], 2 << 2) << "each request its own sequence number";
}

TEST (CaptureTest, VmCodecEscapesItsSpecialBytes) {
  const Bytes  Wire = OskelSim::VmEncodeRequest (0xA0, 0x2E, 0, 0x90, { 0xAA, 0x01, 0xA1 });
  // seq A0h escaped, NetFn 2Eh << 2, command, data with AAh and A1h escaped, checksum, end.
  EXPECT_THAT (Wire, ElementsAre (0xAA, 0xB0, 0xB8, 0x90, 0xAA, 0xBA, 0x01, 0xAA, 0xB1, 0xCC, 0xA0));
}

TEST (CaptureTest, VmDecoderSkipsControlCommandsAndUnescapes) {
  OskelSim::VmDecoder  Decoder;
  const Bytes          Stream = { 0xFF, 0x01, 0xA1, 0x07, 0x1C, 0x01, 0x00, 0xAA, 0xB0, 0x3C, 0xA0 };
  size_t               Messages = 0;
  for (uint8_t Byte : Stream) {
    Messages += Decoder.Feed (Byte) ? 1 : 0;
  }

  EXPECT_EQ (Messages, 1u);
  EXPECT_EQ (Decoder.ControlCommands, 1u);
  EXPECT_THAT (Decoder.Message, ElementsAre (0x07, 0x1C, 0x01, 0x00, 0xA0, 0x3C));
  EXPECT_EQ (OskelSim::VmChecksum (Decoder.Message, Decoder.Message.size ()), 0);
}

}  // namespace
}  // namespace OskelTest
