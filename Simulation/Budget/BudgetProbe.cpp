// One representative call of every slot on a simulated board whose BMCs
// answer in full, each between callgrind markers: the budget report counts
// the module's own instructions per operation from the dumps.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "SimulatedBoard.h"

namespace {

using OskelSim::Bytes;
using OskelSim::Ok;
using OskelSim::Reply;
using OskelSim::Request;

Reply
FullAnswer (const Request &R)
{
  const Bytes  Id{ OEM_MANUFACTURER_ID_BYTE0, OEM_MANUFACTURER_ID_BYTE1, OEM_MANUFACTURER_ID_BYTE2 };
  Bytes        Out;

  switch ((R.NetFn << 8) | R.Command) {
    case 0x2E90:
      Out = Id;
      if ((R.Data.at (3) == 0x01) || (R.Data.at (3) == 0x06)) {
        Out.insert (Out.end (), { 0x44, 0x33, 0x22, 0x11 });
      } else if (R.Data.at (3) == 0x02) {
        size_t  Asked = R.Data.at (12);
        Out.insert (Out.end (), { uint8_t (Asked), 0 });
        Out.resize (Out.size () + Asked, 0x5A);
      } else if (R.Data.at (3) == 0x03) {
        Out.insert (Out.end (), { uint8_t (R.Data.size () - 12), 0 });
      }

      return Ok (Out);
    case 0x2E92:
      Out = Id;
      Out.insert (Out.end (), { 0x42, 0 });
      return Ok (Out);
    case 0x3A0B:
      return Ok (Bytes (R.Data.at (3), 0x5A));
    case 0x3A1C:
      return (R.Data.at (0) == 0x02) ? Ok ({ 0 }) : Ok ();
    case 0x3AC4:
      return Ok (Bytes (R.Capacity, 0));
    case 0x0642:
      return Ok ({ R.Data.at (0), uint8_t ((R.Data.at (0) == 2) ? 0x05 : 0x04), 0, 0, 0, 0, 0, 0, 0 });
    case 0x0C11:
      return Ok ({ 0x11, 0x00, 0x00 });
    case 0x0641:
      return Ok ({ 0x3B, 0xC4 });
    default:
      return Ok (Bytes (R.Capacity, 0x01));
  }
}

}  // namespace

int
main ()
{
  OskelSim::SimulatedBoard  Board (2);
  Board.Pei.Hobs.AddPlatformBmcInfo ({ 0x0A00, 0x0B00 });
  BMC_COMMANDS_PPI  *S = Board.InstallService ();
  if (S == nullptr) {
    return 1;
  }

  Board.Transport.Script (0).Handler = FullAnswer;
  Board.Transport.Script (1).Handler = FullAnswer;

  UINT8                   B0 = 0;
  UINT8                   Buffer[600] = {};
  UINT8                   Raw[243] = { 0x01 };
  UINT8                   Length8;
  UINT16                  Length16;
  UINT32                  Handle, Count, Size = 0;
  UINT8                   NameLength = 6;
  const SERIAL_CONSOLE_CONFIG  Config = { 1, 1, 3, 4, 0, 0, 1 };
  BMC_SETTING_DESCRIPTOR  Descriptor = {};
  Descriptor.NameLength  = 10;
  Descriptor.ValueLength = 4;

  // The representative calls: chunked transfers move 500 bytes.
  const std::vector<std::pair<const char *, std::function<void ()>>>  Calls = {
    { "OemC1Query", [&] { Length8 = 16; (void)S->OemC1Query (nullptr, S, Buffer, &Length8, &B0, 0); } },
    { "OemC2Exchange", [&] { (void)S->OemC2Exchange (nullptr, S, Buffer, &B0, 0); } },
    { "Oem20Exchange", [&] { Length8 = 2; (void)S->Oem20Exchange (nullptr, S, Buffer, &Length8, &B0, 0); } },
    { "RegionRead", [&] { Length16 = 500; (void)S->RegionRead (nullptr, S, 0x100, 1, &Length16, Buffer, &B0, 0); } },
    { "RegionWrite", [&] { Length16 = 500; (void)S->RegionWrite (nullptr, S, 0x100, 1, &Length16, Buffer, &B0, 0); } },
    { "SendRawCommand", [&] { Length8 = 1; (void)S->SendRawCommand (nullptr, S, 0x06, 0x01, Raw, &Length8, &B0, 0); } },
    { "GetDeviceId", [&] { Length8 = 15; (void)S->GetDeviceId (nullptr, S, Buffer, &Length8, &B0, 0); } },
    { "GetSelfTestResults", [&] { Length8 = 2; (void)S->GetSelfTestResults (nullptr, S, Buffer, &Length8, &B0, 0); } },
    { "ReportBootStage", [&] { (void)S->ReportBootStage (nullptr, S, 7, &B0, 0); } },
    { "GetOem10Value", [&] { (void)S->GetOem10Value (nullptr, S, Buffer, &B0, 0); } },
    { "SetOem10Value", [&] { Buffer[0] = 1; (void)S->SetOem10Value (nullptr, S, Buffer, &B0, 0); } },
    { "SetOem62Flag", [&] { (void)S->SetOem62Flag (nullptr, S, 1, &B0, 0); } },
    { "FileOpen", [&] { (void)S->FileOpen (nullptr, S, "config", 6, 1, 3, 16384, 0, 0x0B, &Handle, &B0, 0); } },
    { "FileRead", [&] { (void)S->FileRead (nullptr, S, 0x11223344, 0, 500, Buffer, &Count, &B0, 0); } },
    { "FileWrite", [&] { Count = 500; (void)S->FileWrite (nullptr, S, 0x11223344, 0, Buffer, &Count, &B0, 0); } },
    { "FileClose", [&] { (void)S->FileClose (nullptr, S, 0x11223344, &B0, 0); } },
    { "ReadKnownFile", [&] { (void)S->ReadKnownFile (nullptr, S, KNOWN_FILE_CONFIG, 0, 500, Buffer, &Count, nullptr, &B0, 0); } },
    { "WriteKnownFile", [&] { Count = 500; (void)S->WriteKnownFile (nullptr, S, KNOWN_FILE_CONFIG, 0, Buffer, &Count, nullptr, &B0, 0); } },
    { "FileDelete", [&] { (void)S->FileDelete (nullptr, S, KNOWN_FILE_CONFIG, nullptr, nullptr, &B0, 0); } },
    { "GetFileSize", [&] { (void)S->GetFileSize (nullptr, S, KNOWN_FILE_CALLER_NAMED, "config", &NameLength, &Size, &B0, 0); } },
    { "UploadBlocks", [&] { Count = 500; (void)S->UploadBlocks (nullptr, S, 1, 5, Buffer, &Count, FALSE, &B0, 0); } },
    { "UploadBlocksOp1", [&] { Count = 500; (void)S->UploadBlocksOp1 (nullptr, S, 1, 5, Buffer, &Count, &B0, 0); } },
    { "StartPostWatchdog", [&] { (void)S->StartPostWatchdog (nullptr, S, 600, &B0, 0); } },
    { "Oem1CSetWord", [&] { (void)S->Oem1CSetWord (nullptr, S, 0x1234, &B0, 0); } },
    { "Oem1CClear", [&] { (void)S->Oem1CClear (nullptr, S, &B0, 0); } },
    { "ConfigureSerialConsole", [&] { (void)S->ConfigureSerialConsole (nullptr, S, &Config, &B0, 0); } },
    { "SetSerialMux", [&] { (void)S->SetSerialMux (nullptr, S, 2, 1, Buffer, &B0, 0); } },
    { "SetOem1CState", [&] { (void)S->SetOem1CState (nullptr, S, 1, &B0, 0); } },
    { "GetOem1CState", [&] { (void)S->GetOem1CState (nullptr, S, &Count, &B0, 0); } },
    { "ReadBmcSetting", [&] { (void)S->ReadBmcSetting (nullptr, S, BMC_SETTING_SMBIOS_CRC, &Count, nullptr, &B0, 0); } },
    { "WriteBmcSetting", [&] { Count = 0x12345678; (void)S->WriteBmcSetting (nullptr, S, BMC_SETTING_SMBIOS_CRC, 1, &Count, nullptr, &B0, 0); } },
    { "Oem1CSetWordEx", [&] { (void)S->Oem1CSetWordEx (nullptr, S, 0x1234, &B0, 0); } },
    { "ReportBootStageSecondary", [&] { (void)S->ReportBootStageSecondary (nullptr, S); } },
  };

  (void)Descriptor;
  for (const auto &[Name, Run] : Calls) {
    CALLGRIND_ZERO_STATS;
    Run ();
    CALLGRIND_DUMP_STATS_AT (Name);
  }

  std::printf ("%zu slots called\n", Calls.size ());
  return 0;
}
