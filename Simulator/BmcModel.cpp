#include "BmcModel.h"

#include <algorithm>
#include <cstdio>

#include "Names.h"

namespace OskelSim {

namespace {

constexpr uint8_t  mNetFnApp        = 0x06;
constexpr uint8_t  mNetFnTransport  = 0x0C;
constexpr uint8_t  mNetFnGroup      = 0x2E;
constexpr uint8_t  mNetFnController = 0x3A;
constexpr size_t   mRegionSize      = 0x10000;
constexpr size_t   mChunk           = 224;
constexpr uint8_t  mManufacturer[3] = { 0x4D, 0x4F, 0x00 };

Reply
Code (uint8_t CompletionCode)
{
  return Fail (CompletionCode);
}

uint16_t
Le16 (const Bytes &Data, size_t At)
{
  return static_cast<uint16_t>(Data[At] | (Data[At + 1] << 8));
}

uint32_t
Le32 (const Bytes &Data, size_t At)
{
  return static_cast<uint32_t>(Data[At]) | (static_cast<uint32_t>(Data[At + 1]) << 8)
         | (static_cast<uint32_t>(Data[At + 2]) << 16) | (static_cast<uint32_t>(Data[At + 3]) << 24);
}

void
PutLe (Bytes &Out, uint32_t Value, size_t Width)
{
  for (size_t Byte = 0; Byte < Width; Byte++) {
    Out.push_back (static_cast<uint8_t>(Value >> (8 * Byte)));
  }
}

Bytes
GroupAnswer ()
{
  return Bytes (mManufacturer, mManufacturer + 3);
}

std::string
Text (const Bytes &Data, size_t From, size_t Count)
{
  return std::string (Data.begin () + From, Data.begin () + From + Count);
}

std::string
Format (const char *Pattern, unsigned long long A = 0, unsigned long long B = 0, unsigned long long C = 0)
{
  char  Line[160];
  std::snprintf (Line, sizeof (Line), Pattern, A, B, C);
  return Line;
}

}  // namespace

BmcModel::BmcModel (uint8_t Index) : Index (Index), NextFileHandle (0x1000u * (Index + 1u) + 1u)
{
  // Device ID 20h, revision 1, firmware 2.10, IPMI 2.0, the usual device
  // support bits, the OEM's manufacturer id, product 0001h + index.
  DeviceId    = { 0x20, 0x01, 0x02, 0x10, 0x02, 0xBF, 0x4D, 0x4F, 0x00, static_cast<uint8_t>(0x01 + Index), 0x00, 0x00, 0x00, 0x00, 0x00 };
  SelfTest    = { 0x55, 0x00 };
  OemC1Answer = { 0x01, 0x00, static_cast<uint8_t>(Index), 0x00 };
  OemC2Pair   = { 0x00, 0x00 };
  Oem20Pair   = { 0x00, 0x00 };

  Channel  Lan;
  Lan.Medium   = CHANNEL_MEDIUM_LAN;
  Lan.Protocol = 0x01;
  Channel  Serial;
  Serial.SerialParameters[7] = { 0x00, 0x06 };  // no flow control, 9600 bit/s
  Serial.SerialParameters[8] = { 0x00, 0x00 };  // mux switch control
  Channels[1] = Lan;
  Channels[2] = Serial;

  Settings["/ac/uefi/smbioscrc"] = Setting{ Bytes (4, 0), 0, 0 };
  Settings["/dc/uefi/1boot"]     = Setting{ Bytes (1, 0), 0, 0 };
}

Bytes &
BmcModel::Region (uint8_t Selector)
{
  Bytes  &Stored = Regions[Selector];
  if (Stored.empty ()) {
    Stored.assign (mRegionSize, 0);
  }

  return Stored;
}

Reply
BmcModel::Handle (const Request &R)
{
  Requests++;
  switch (R.NetFn) {
    case mNetFnApp:        return App (R);
    case mNetFnTransport:  return Transport (R);
    case mNetFnGroup:      return R.Command == 0x90 ? FileService (R) : R.Command == 0x92 ? BlockUpload (R) : Code (IPMI_CC_INVALID_COMMAND);
    case mNetFnController: return Controller (R);
    default:               return Code (IPMI_CC_INVALID_COMMAND);
  }
}

Reply
BmcModel::App (const Request &R)
{
  const Bytes  &D = R.Data;

  switch (R.Command) {
    case 0x01:
      return D.empty () ? Ok (DeviceId) : Code (IPMI_CC_REQUEST_LENGTH);
    case 0x04:
      return D.empty () ? Ok (SelfTest) : Code (IPMI_CC_REQUEST_LENGTH);
    case 0x22:
      if (!D.empty ()) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      if (!Timer.Initialized) {
        return Code (IPMI_CC_WATCHDOG_UNINITIALIZED);
      }

      Timer.Running          = true;
      Timer.PresentCountdown = Timer.InitialCountdown;
      Timer.Resets++;
      return Ok ();
    case 0x24: {
      if (D.size () != 6) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      // Timer use 1..5 (FRB2, BIOS/POST, OS load, SMS/OS, OEM); actions 0..3.
      const uint8_t  Use = D[0] & 0x07;
      if ((Use == 0) || (Use > 5) || ((D[1] & 0x07) > 3)) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      const bool  KeepRunning = (D[0] & 0x40) != 0;
      Timer.Initialized      = true;
      Timer.Running          = Timer.Running && KeepRunning;
      Timer.TimerUse         = D[0];
      Timer.Actions          = D[1];
      Timer.PreTimeout       = D[2];
      Timer.ExpirationFlags &= static_cast<uint8_t>(~D[3]);
      Timer.InitialCountdown = Le16 (D, 4);
      Timer.PresentCountdown = Timer.InitialCountdown;
      return Ok ();
    }
    case 0x25: {
      if (!D.empty ()) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      Bytes  Out = { static_cast<uint8_t>((Timer.TimerUse & 0x3F) | (Timer.Running ? 0x40 : 0)), Timer.Actions, Timer.PreTimeout, Timer.ExpirationFlags };
      PutLe (Out, Timer.InitialCountdown, 2);
      PutLe (Out, Timer.PresentCountdown, 2);
      return Ok (Out);
    }
    case 0x40: {
      if (D.size () != 3) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      auto  It = Channels.find (D[0] & 0x0F);
      if (It == Channels.end ()) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      // Bits 7:6 of byte 2 pick the setting: 01b non-volatile, 10b volatile.
      const uint8_t  Which = D[1] >> 6;
      if (Which == 3) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      ChannelAccess  *Target = (Which == 1) ? &It->second.NonVolatile : (Which == 2) ? &It->second.Volatile : nullptr;
      if (Target != nullptr) {
        Target->Access = D[1] & 0x3F;
        if ((D[2] >> 6) == Which) {
          Target->Privilege = D[2] & 0x0F;
        }
      }

      return Ok ();
    }
    case 0x41: {
      if (D.size () != 2) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      auto           It    = Channels.find (D[0] & 0x0F);
      const uint8_t  Which = D[1] >> 6;
      if ((It == Channels.end ()) || (Which == 0) || (Which == 3)) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      const ChannelAccess  &Source = (Which == 1) ? It->second.NonVolatile : It->second.Volatile;
      return Ok ({ Source.Access, Source.Privilege });
    }
    case 0x42: {
      if (D.size () != 1) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      auto  It = Channels.find (D[0] & 0x0F);
      if (It == Channels.end ()) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      // Channel, medium, protocol, session support, IPMI's IANA 7154, no auxiliary info.
      return Ok ({ It->first, It->second.Medium, It->second.Protocol, 0x80, 0xF2, 0x1B, 0x00, 0x00, 0x00 });
    }
    default:
      return Code (IPMI_CC_INVALID_COMMAND);
  }
}

Reply
BmcModel::Transport (const Request &R)
{
  const Bytes  &D = R.Data;

  if (D.empty () || (R.Command < 0x10) || (R.Command > 0x12)) {
    return Code (D.empty () && (R.Command >= 0x10) && (R.Command <= 0x12) ? IPMI_CC_REQUEST_LENGTH : IPMI_CC_INVALID_COMMAND);
  }

  auto  It = Channels.find (D[0] & 0x0F);
  if ((It == Channels.end ()) || (It->second.Medium != CHANNEL_MEDIUM_SERIAL)) {
    return Code (IPMI_CC_INVALID_DATA_FIELD);
  }

  Channel  &Serial = It->second;
  switch (R.Command) {
    case 0x10: {
      if (D.size () < 3) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      auto  Parameter = Serial.SerialParameters.find (D[1]);
      if (Parameter == Serial.SerialParameters.end ()) {
        return Code (IPMI_CC_PARAMETER_UNSUPPORTED);
      }

      if (D.size () - 2 != Parameter->second.size ()) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      Parameter->second.assign (D.begin () + 2, D.end ());
      return Ok ();
    }
    case 0x11: {
      if (D.size () != 4) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      auto  Parameter = Serial.SerialParameters.find (D[1]);
      if (Parameter == Serial.SerialParameters.end ()) {
        return Code (IPMI_CC_PARAMETER_UNSUPPORTED);
      }

      Bytes  Out = { 0x11 };  // parameter revision
      if ((D[0] & 0x80) == 0) {
        Out.insert (Out.end (), Parameter->second.begin (), Parameter->second.end ());
      }

      return Ok (Out);
    }
    default: {
      if (D.size () != 2) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      // Status bit 1: the requested switch was accepted; bit 0: mux at the BMC.
      uint8_t  Accepted = 0;
      switch (D[1] & 0x0F) {
        case 0: break;
        case 1: if ((MuxBlocks & 0x08) == 0) { MuxToBmc = false; Accepted = 0x02; } break;
        case 2: if ((MuxBlocks & 0x04) == 0) { MuxToBmc = true; Accepted = 0x02; } break;
        case 3: MuxToBmc = false; Accepted = 0x02; break;
        case 4: MuxToBmc = true; Accepted = 0x02; break;
        case 5: MuxBlocks |= 0x08; Accepted = 0x02; break;
        case 6: MuxBlocks &= static_cast<uint8_t>(~0x08); Accepted = 0x02; break;
        case 7: MuxBlocks |= 0x04; Accepted = 0x02; break;
        case 8: MuxBlocks &= static_cast<uint8_t>(~0x04); Accepted = 0x02; break;
        default: return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      return Ok ({ static_cast<uint8_t>(MuxBlocks | Accepted | (MuxToBmc ? 0x01 : 0x00)) });
    }
  }
}

Reply
BmcModel::Controller (const Request &R)
{
  const Bytes  &D = R.Data;

  switch (R.Command) {
    case 0x0B: {
      if (D.size () != 4) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      const size_t  Offset = Le16 (D, 0);
      const size_t  Count  = D[3];
      if ((Count == 0) || (Count > mChunk)) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      // Offsets are 16-bit: a transfer that runs past FFFFh wraps to 0000h.
      const Bytes  &Stored = Region (D[2]);
      Bytes        Out;
      for (size_t Index = 0; Index < Count; Index++) {
        Out.push_back (Stored[(Offset + Index) % mRegionSize]);
      }

      return Ok (Out);
    }
    case 0x0C: {
      if ((D.size () < 4) || (D.size () > 3 + mChunk)) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      const size_t  Offset = Le16 (D, 0);
      Bytes         &Stored = Region (D[2]);
      for (size_t Index = 3; Index < D.size (); Index++) {
        Stored[(Offset + Index - 3) % mRegionSize] = D[Index];
      }

      return Ok ();
    }
    case 0x10:
      if (D.empty ()) {
        return Ok ({ Oem10Value });
      }

      if (D.size () != 1) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      if (D[0] > 3) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      Oem10Value = D[0];
      return Ok ();
    case 0x1C:
      if (D.empty ()) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      switch (D[0]) {
        case 0x00:
          if ((D.size () == 2) && (D[1] == 0x00)) {
            Oem1CWord    = 0;
            Oem1CWordSet = false;
            return Ok ();
          }

          if (((D.size () == 4) || ((D.size () == 5) && (D[4] == 0x00))) && (D[1] == 0x01)) {
            Oem1CWord    = static_cast<uint16_t>((D[2] << 8) | D[3]);  // most significant byte first
            Oem1CWordSet = true;
            return Ok ();
          }

          return Code (D.size () > 5 || D.size () < 2 ? IPMI_CC_REQUEST_LENGTH : IPMI_CC_INVALID_DATA_FIELD);
        case 0x01:
          if (D.size () != 5) {
            return Code (IPMI_CC_REQUEST_LENGTH);
          }

          if (D[1] > 1) {
            return Code (IPMI_CC_INVALID_DATA_FIELD);
          }

          Oem1CState = D[1];
          return Ok ();
        case 0x02:
          return D.size () == 1 ? Ok ({ Oem1CState }) : Code (IPMI_CC_REQUEST_LENGTH);
        default:
          return Code (IPMI_CC_INVALID_DATA_FIELD);
      }
    case 0x20:
    case 0xC2: {
      if (D.size () != 2) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      // The pair held so far goes back; the request's pair is kept.
      Bytes  &Pair = (R.Command == 0x20) ? Oem20Pair : OemC2Pair;
      Bytes  Previous = Pair;
      Pair = D;
      return Ok (Previous);
    }
    case 0x62:
      if (D.size () != 1) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      if (D[0] > 1) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      Oem62Flag = D[0];
      return Ok ();
    case 0xC1:
      return D.empty () ? Ok (OemC1Answer) : Code (IPMI_CC_REQUEST_LENGTH);
    case 0xC3:
      if (D.size () != 2) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      if (D[0] != 0x01) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      BootStages.push_back (D[1]);
      return Ok ();
    case 0xC4:
      return SettingsStore (R);
    default:
      return Code (IPMI_CC_INVALID_COMMAND);
  }
}

Reply
BmcModel::SettingsStore (const Request &R)
{
  const Bytes  &D = R.Data;

  // Operation, 00h, L (bytes after this one), then the operation's fields.
  if ((D.size () < 4) || (static_cast<size_t>(D[2]) + 3 != D.size ())) {
    return Code (IPMI_CC_REQUEST_LENGTH);
  }

  if (D[1] != 0x00) {
    return Code (IPMI_CC_INVALID_DATA_FIELD);
  }

  if (D[0] == 0x00) {
    // Read: name byte 80h | N, then the path.
    const size_t  NameLength = D.size () - 4;
    if ((D[3] & 0x80) == 0 || ((D[3] & 0x7F) != (NameLength & 0x7F))) {
      return Code (IPMI_CC_INVALID_DATA_FIELD);
    }

    auto  It = Settings.find (Text (D, 4, NameLength));
    if (It == Settings.end ()) {
      return Ok ({ 0x03, 0x00, 0x00, 0x00 });  // store status 3: no such setting
    }

    Bytes  Out = { It->second.Status, 0x00, 0x00, 0x00 };
    if ((It->second.Status == 0x00) || (It->second.Status == 0x09)) {
      Out.insert (Out.end (), It->second.Value.begin (), It->second.Value.end ());
    }

    return Ok (Out);
  }

  if (D[0] != 0x03) {
    return Code (IPMI_CC_INVALID_DATA_FIELD);
  }

  // Write: flag, name byte, path, value byte (V | type flag), value. A
  // 128-byte path has the name byte 80h, which L tells apart from an empty one.
  if ((D.size () < 6) || ((D[4] & 0x80) == 0)) {
    return Code (IPMI_CC_INVALID_DATA_FIELD);
  }

  const size_t  Following = D.size () - 5;  // path, value byte, value
  size_t        NameLength = D[4] & 0x7F;
  if ((NameLength == 0) && (Following >= 129)) {
    NameLength = 128;
  }

  if (NameLength + 1 > Following) {
    return Code (IPMI_CC_REQUEST_LENGTH);
  }

  const size_t   ValueLength = Following - NameLength - 1;
  const uint8_t  ValueByte   = D[5 + NameLength];
  const uint8_t  TypeFlags   = ValueByte & 0xF0;
  if ((ValueLength < 16) && ((ValueByte & 0x0F) != ValueLength)) {
    return Code (IPMI_CC_INVALID_DATA_FIELD);
  }

  const std::string  Path = Text (D, 5, NameLength);
  Setting            &Target = Settings[Path];
  if ((Target.Status != 0x00) && (Target.Status != 0x09)) {
    return Ok ({ Target.Status, 0x00, 0x00, 0x00 });
  }

  Target.Value.assign (D.begin () + 6 + NameLength, D.end ());
  Target.Flags = TypeFlags;
  return Ok ({ Target.Status, 0x00, 0x00, 0x00 });
}

Reply
BmcModel::FileService (const Request &R)
{
  const Bytes  &D = R.Data;

  if (D.size () < 4) {
    return Code (IPMI_CC_REQUEST_LENGTH);
  }

  if (!std::equal (mManufacturer, mManufacturer + 3, D.begin ())) {
    return Code (IPMI_CC_INVALID_DATA_FIELD);
  }

  Bytes  Out = GroupAnswer ();
  switch (D[3]) {
    case 0x01: {
      if ((D.size () < 12) || (D.size () > 12 + 25)) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      const std::string  Name = Text (D, 12, D.size () - 12);
      const uint8_t      AccessMode = D[10];
      if (AccessMode > 1) {
        return Code (IPMI_CC_INVALID_DATA_FIELD);
      }

      auto  It = Files.find (Name);
      if (It == Files.end ()) {
        if (AccessMode == 0) {
          return Code (FILE_CC_NOT_FOUND);
        }

        It = Files.emplace (Name, BmcFile{}).first;
      }

      It->second.DeclaredSize = Le32 (D, 6);
      It->second.FileClass    = D[11];
      const uint32_t  Handle  = NextFileHandle++;
      Handles[Handle] = OpenFile{ Name, AccessMode, D[4], D[5] };
      PutLe (Out, Handle, 4);
      return Ok (Out);
    }
    case 0x02:
    case 0x03: {
      const bool  Write = (D[3] == 0x03);
      if (Write ? (D.size () < 12) || (D.size () > 12 + mChunk) : (D.size () != 14)) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      auto  Open = Handles.find (Le32 (D, 4));
      if (Open == Handles.end ()) {
        return Code (FILE_CC_BAD_HANDLE);
      }

      auto  It = Files.find (Open->second.Name);
      if (It == Files.end ()) {
        return Code (FILE_CC_NOT_FOUND);  // deleted while open
      }

      const size_t  Offset = Le32 (D, 8);
      Bytes         &Data  = It->second.Data;
      if (!Write) {
        const size_t  Count = Le16 (D, 12);
        if (Count > mChunk) {
          return Code (FILE_CC_BAD_SIZE);
        }

        const size_t  Available = Offset < Data.size () ? std::min (Count, Data.size () - Offset) : 0;
        PutLe (Out, static_cast<uint32_t>(Available), 2);
        Out.insert (Out.end (), Data.begin () + static_cast<std::ptrdiff_t>(Offset), Data.begin () + static_cast<std::ptrdiff_t>(Offset + Available));
        return Ok (Out);
      }

      if (Open->second.AccessMode != 1) {
        return Code (FILE_CC_ACCESS_DENIED);
      }

      const size_t  Count = D.size () - 12;
      if (Offset + Count > 0x1000000) {
        return Code (FILE_CC_BAD_SIZE);
      }

      if (Data.size () < Offset + Count) {
        Data.resize (Offset + Count, 0);
      }

      std::copy (D.begin () + 12, D.end (), Data.begin () + static_cast<std::ptrdiff_t>(Offset));
      PutLe (Out, static_cast<uint32_t>(Count), 2);
      return Ok (Out);
    }
    case 0x05:
      if (D.size () != 8) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      if (Handles.erase (Le32 (D, 4)) == 0) {
        return Code (FILE_CC_BAD_HANDLE);
      }

      return Ok (Out);
    case 0x06:
    case 0x07: {
      if (D.size () > 4 + 25) {
        return Code (IPMI_CC_REQUEST_LENGTH);
      }

      auto  It = Files.find (Text (D, 4, D.size () - 4));
      if (It == Files.end ()) {
        return Code (FILE_CC_NOT_FOUND);
      }

      if (D[3] == 0x06) {
        PutLe (Out, static_cast<uint32_t>(It->second.Data.size ()), 4);
      } else {
        Files.erase (It);
      }

      return Ok (Out);
    }
    default:
      return Code (IPMI_CC_INVALID_DATA_FIELD);
  }
}

Reply
BmcModel::BlockUpload (const Request &R)
{
  const Bytes  &D = R.Data;

  if ((D.size () != 9) && ((D.size () < 13) || (D.size () > 12 + mChunk))) {
    return Code (IPMI_CC_REQUEST_LENGTH);
  }

  if (!std::equal (mManufacturer, mManufacturer + 3, D.begin ())) {
    return Code (IPMI_CC_INVALID_DATA_FIELD);
  }

  // The tag alone of all fields goes most significant byte first.
  const uint32_t  Tag = (static_cast<uint32_t>(D[3]) << 24) | (D[4] << 16) | (D[5] << 8) | D[6];
  Upload          &Block = Uploads[Tag];
  Bytes           Out = GroupAnswer ();

  if (D.size () == 9) {
    Block.Operation = D[7];
    Block.Value     = D[8];
    Block.BareRequests++;
    Out.push_back (Block.NextHandle);
    Out.push_back (0x00);
    return Ok (Out);
  }

  const uint16_t  Handle = Le16 (D, 9);
  if (Handle == 0) {
    Block = Upload{ D[7], D[8], {}, 0, Block.BareRequests, 0, false };
  } else if ((Block.NextHandle == 0) || (Handle != Block.NextHandle) || Block.Complete) {
    return Code (IPMI_CC_INVALID_DATA_FIELD);  // a piece that chains to no upload in progress
  }

  Block.Data.insert (Block.Data.end (), D.begin () + 12, D.end ());
  Block.Pieces++;
  Block.Complete   = (D[11] == 0x00);
  Block.NextHandle = Block.Complete ? 0 : static_cast<uint8_t>(Block.Pieces % 255 + 1);
  Out.push_back (Block.NextHandle);
  Out.push_back (0x00);
  return Ok (Out);
}

std::vector<std::string>
BmcModel::Summary () const
{
  std::vector<std::string>  Lines;

  Lines.push_back (Format ("identity: device id %02llXh, revision %02llXh", DeviceId.size () > 1 ? DeviceId[0] : 0, DeviceId.size () > 1 ? DeviceId[1] : 0)
                   + " [" + Hex (DeviceId) + "], self test [" + Hex (SelfTest) + "]");
  if (!Timer.Initialized) {
    Lines.push_back ("watchdog: never set");
  } else {
    Lines.push_back (
      "watchdog: " + std::string (Timer.Running ? "running" : "stopped") + ", timer use " + WatchdogTimerUseName (Timer.TimerUse)
      + ", action " + WatchdogActionName (Timer.Actions)
      + Format (", countdown %llu (%llu.%llu s)", Timer.InitialCountdown, Timer.InitialCountdown / 10, Timer.InitialCountdown % 10)
      + Format (", reset %llu time(s)", Timer.Resets)
      );
  }

  for (const auto &[Number, C] : Channels) {
    std::string  Line = Format ("channel %llu: ", Number) + ChannelMediumName (C.Medium)
                        + Format (", access volatile %02llXh/%02llXh, non-volatile ", C.Volatile.Access, C.Volatile.Privilege)
                        + Format ("%02llXh/%02llXh", C.NonVolatile.Access, C.NonVolatile.Privilege);
    for (const auto &[Parameter, Data] : C.SerialParameters) {
      Line += Format (", parameter %llu [", Parameter) + Hex (Data) + "]";
    }

    Lines.push_back (Line);
  }

  Lines.push_back (std::string ("mux: at the ") + (MuxToBmc ? "BMC" : "system") + Format (", blocks %02llXh", MuxBlocks));
  Lines.push_back (
    Format ("oem: 10h value %llu, 62h flag %llu, ", Oem10Value, Oem62Flag) + "C2h pair [" + Hex (OemC2Pair) + "], 20h pair [" + Hex (Oem20Pair)
    + "], C1h answer [" + Hex (OemC1Answer) + "]"
    );
  Lines.push_back (
    (Oem1CWordSet ? Format ("command 1Ch: word %04llXh", Oem1CWord) : std::string ("command 1Ch: word clear")) + Format (", state %llu", Oem1CState)
    );
  Lines.push_back ("boot stages: [" + Hex (BootStages) + "]");
  for (const auto &[Path, S] : Settings) {
    Lines.push_back ("setting " + Path + ": [" + Hex (S.Value) + "]" + Format (" flags %02llXh status %llu", S.Flags, S.Status));
  }

  for (const auto &[Selector, Data] : Regions) {
    const auto  First = std::find_if (Data.begin (), Data.end (), [](uint8_t B) { return B != 0; });
    const auto  Last  = std::find_if (Data.rbegin (), Data.rend (), [](uint8_t B) { return B != 0; });
    if (First == Data.end ()) {
      Lines.push_back (Format ("region %02llXh: all zero", Selector));
    } else {
      Lines.push_back (Format ("region %02llXh: non-zero bytes from %04llXh to %04llXh", Selector, First - Data.begin (), Data.rend () - Last - 1));
    }
  }

  for (const auto &[Name, F] : Files) {
    Lines.push_back ("file \"" + Name + Format ("\": %llu bytes, declared %llu, class %02llXh", F.Data.size (), F.DeclaredSize, F.FileClass));
  }

  for (const auto &[Handle, Open] : Handles) {
    Lines.push_back (Format ("open handle %08llXh: \"", Handle) + Open.Name + "\"" + (Open.AccessMode == 1 ? " for writing" : " for reading"));
  }

  for (const auto &[Tag, U] : Uploads) {
    Lines.push_back (
      Format ("upload tag %08llXh: operation %02llXh value %02llXh, ", Tag, U.Operation, U.Value)
      + Format ("%llu bytes in %llu piece(s), ", U.Data.size (), U.Pieces) + (U.Complete ? "complete" : "in progress")
      + Format (", %llu bare request(s)", U.BareRequests)
      );
  }

  Lines.push_back (Format ("requests answered: %llu", Requests));
  return Lines;
}

std::string
BmcModel::SummaryJson () const
{
  std::string  Out = "{";

  Out += Format ("\"bmc\":%llu,\"deviceId\":", Index) + JsonString (Hex (DeviceId));
  Out += std::string (",\"watchdog\":{\"initialized\":") + (Timer.Initialized ? "true" : "false") + ",\"running\":" + (Timer.Running ? "true" : "false");
  Out += Format (",\"timerUse\":%llu,\"actions\":%llu,\"countdown\":%llu", Timer.TimerUse, Timer.Actions, Timer.InitialCountdown) + "}";
  Out += ",\"channels\":[";
  bool  First = true;
  for (const auto &[Number, C] : Channels) {
    Out += (First ? "" : ",") + Format ("{\"channel\":%llu,\"medium\":%llu,", Number, C.Medium);
    Out += Format ("\"volatileAccess\":%llu,\"nonVolatileAccess\":%llu,\"parameters\":{", C.Volatile.Access, C.NonVolatile.Access);
    bool  FirstParameter = true;
    for (const auto &[Parameter, Data] : C.SerialParameters) {
      Out += (FirstParameter ? "" : ",") + Format ("\"%llu\":", Parameter) + JsonString (Hex (Data));
      FirstParameter = false;
    }

    Out += "}}";
    First = false;
  }

  Out += std::string ("],\"muxAtBmc\":") + (MuxToBmc ? "true" : "false");
  Out += Format (",\"oem10\":%llu,\"oem62\":%llu,\"oem1CWord\":%llu", Oem10Value, Oem62Flag, Oem1CWord);
  Out += Format (",\"oem1CState\":%llu,\"bootStages\":[", Oem1CState);
  for (size_t At = 0; At < BootStages.size (); At++) {
    Out += (At == 0 ? "" : ",") + std::to_string (BootStages[At]);
  }

  Out += "],\"settings\":{";
  First = true;
  for (const auto &[Path, S] : Settings) {
    Out += (First ? "" : ",") + JsonString (Path) + ":" + JsonString (Hex (S.Value));
    First = false;
  }

  Out += "},\"files\":{";
  First = true;
  for (const auto &[Name, F] : Files) {
    Out += (First ? "" : ",") + JsonString (Name) + Format (":{\"size\":%llu,\"declared\":%llu,\"class\":%llu}", F.Data.size (), F.DeclaredSize, F.FileClass);
    First = false;
  }

  Out += "},\"uploads\":[";
  First = true;
  for (const auto &[Tag, U] : Uploads) {
    Out += (First ? "" : ",") + Format ("{\"tag\":%llu,\"bytes\":%llu,\"pieces\":%llu,", Tag, U.Data.size (), U.Pieces);
    Out += std::string ("\"complete\":") + (U.Complete ? "true" : "false") + "}";
    First = false;
  }

  return Out + Format ("],\"requests\":%llu}", Requests);
}

}  // namespace OskelSim
