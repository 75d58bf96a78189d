#include "Report.h"

#include <ctime>
#include <fstream>

#include "Names.h"

namespace OskelSim {

namespace {

std::string
Printf (const char *Pattern, unsigned A = 0, unsigned B = 0, unsigned C = 0)
{
  char  Line[128];
  std::snprintf (Line, sizeof (Line), Pattern, A, B, C);
  return Line;
}

const char *
KindName (EventKind Kind)
{
  switch (Kind) {
    case EventKind::PeiCall:             return "PeiCall";
    case EventKind::PortWrite:           return "PortWrite";
    case EventKind::GetBmcCount:         return "GetBmcCount";
    case EventKind::SelectBmc:           return "SelectBmc";
    case EventKind::TrackBmcStatus:      return "TrackBmcStatus";
    case EventKind::SendCommand:         return "SendCommand";
    case EventKind::PrepareSecondaryBmc: return "PrepareSecondaryBmc";
  }

  return "?";
}

bool
Answered (const Event &E)
{
  return !EFI_ERROR (E.Status) && (E.Status <= 0xFF);
}

void
PutLe32 (Bytes &Out, uint32_t Value)
{
  for (int Byte = 0; Byte < 4; Byte++) {
    Out.push_back (static_cast<uint8_t>(Value >> (8 * Byte)));
  }
}

}  // namespace

std::string
DescribeEvent (const Event &E)
{
  switch (E.Kind) {
    case EventKind::PeiCall:
      return "pei   " + E.Service + (E.Detail.empty () ? "" : " " + E.Detail) + " -> " + StatusName (E.Status);
    case EventKind::PortWrite:
      return Printf ("port  %04Xh <- %02Xh", E.Port, E.Value) + (E.Port == 0x80 ? " (POST code)" : "")
             + (E.Status == EFI_SUCCESS ? "" : " -> " + StatusName (E.Status));
    case EventKind::GetBmcCount:
      return Printf ("ipmi  GetBmcCount -> %u", E.Value);
    case EventKind::SelectBmc:
      return Printf ("ipmi  SelectBmc %u -> ", E.Index) + StatusName (E.Status);
    case EventKind::TrackBmcStatus:
      if (E.Index == 0) {
        return Printf ("ipmi  TrackBmcStatus phase 0, bmc %u -> state %u", E.Bmc, E.Value) + (E.Value == 1 ? " (unusable), " : ", ") + StatusName (E.Status);
      }

      return Printf ("ipmi  TrackBmcStatus phase 1, bmc %u, device error %u", E.Bmc, E.Flag);
    case EventKind::SendCommand: {
      std::string  Line = Printf ("ipmi  SendCommand bmc %u ", E.Bmc) + NetFnName (E.NetFn) + " / " + CommandName (E.NetFn, E.Command, E.Request)
                          + Printf (" (%02Xh/%02Xh) req [", E.NetFn, E.Command) + Hex (E.Request) + Printf ("] cap %u -> ", E.Capacity);
      if (E.Status == EFI_SUCCESS) {
        Line += "cc " + CompletionCodeName (0) + (E.Received == 0 ? std::string () : Printf (", %u byte(s) [", E.Received) + Hex (E.Response) + "]");
      } else if (Answered (E)) {
        Line += "cc " + CompletionCodeName (static_cast<uint8_t>(E.Status));
      } else {
        Line += StatusName (E.Status);
      }

      return Line;
    }
    case EventKind::PrepareSecondaryBmc:
      return "ipmi  PrepareSecondaryBmc -> " + StatusName (E.Status);
  }

  return "?";
}

void
WriteText (std::FILE *Out, const Trace &Log, const std::vector<Section> &Sections, const std::vector<BmcSummary> &Summary)
{
  for (const Section &S : Sections) {
    std::fprintf (Out, "== %s\n", S.Title.c_str ());
    for (size_t At = S.Begin; At < S.End && At < Log.Events.size (); At++) {
      std::fprintf (Out, "  %s\n", DescribeEvent (Log.Events[At]).c_str ());
    }

    std::fprintf (Out, "  => %s\n", S.Result.c_str ());
    for (const std::string &Line : S.Outputs) {
      std::fprintf (Out, "     %s\n", Line.c_str ());
    }
  }

  std::fprintf (Out, "== summary\n");
  for (const BmcSummary &B : Summary) {
    std::fprintf (Out, "  %s\n", B.Title.c_str ());
    for (const std::string &Line : B.Lines) {
      std::fprintf (Out, "    %s\n", Line.c_str ());
    }
  }
}

bool
WriteJson (const std::string &Path, const Trace &Log, const std::vector<Section> &Sections, const std::vector<BmcSummary> &Summary, std::string &Error)
{
  std::string  Out = "{\"sections\":[";

  for (size_t Index = 0; Index < Sections.size (); Index++) {
    const Section  &S = Sections[Index];
    Out += (Index == 0 ? "" : ",") + std::string ("\n{\"title\":") + JsonString (S.Title) + ",\"result\":" + JsonString (S.Result) + ",\"outputs\":[";
    for (size_t Line = 0; Line < S.Outputs.size (); Line++) {
      Out += (Line == 0 ? "" : ",") + JsonString (S.Outputs[Line]);
    }

    Out += "],\"events\":[";
    for (size_t At = S.Begin; At < S.End && At < Log.Events.size (); At++) {
      const Event  &E = Log.Events[At];
      Out += (At == S.Begin ? "\n" : ",\n") + std::string ("{\"kind\":\"") + KindName (E.Kind) + "\"";
      switch (E.Kind) {
        case EventKind::PeiCall:
          Out += ",\"service\":" + JsonString (E.Service) + ",\"detail\":" + JsonString (E.Detail);
          break;
        case EventKind::PortWrite:
          Out += Printf (",\"port\":%u,\"value\":%u", E.Port, E.Value);
          break;
        case EventKind::GetBmcCount:
          Out += Printf (",\"count\":%u", E.Value);
          break;
        case EventKind::SelectBmc:
          Out += Printf (",\"index\":%u", E.Index);
          break;
        case EventKind::TrackBmcStatus:
          Out += Printf (",\"bmc\":%u,\"phase\":%u,\"state\":%u", E.Bmc, E.Index, E.Value) + Printf (",\"deviceError\":%u", E.Flag);
          break;
        case EventKind::SendCommand:
          Out += Printf (",\"bmc\":%u,\"netFn\":%u,\"command\":%u", E.Bmc, E.NetFn, E.Command) + ",\"netFnName\":" + JsonString (NetFnName (E.NetFn))
                 + ",\"commandName\":" + JsonString (CommandName (E.NetFn, E.Command, E.Request)) + ",\"request\":" + JsonString (Hex (E.Request))
                 + Printf (",\"capacity\":%u", E.Capacity);
          if (Answered (E)) {
            Out += Printf (",\"completionCode\":%u", static_cast<unsigned>(E.Status)) + ",\"completionCodeName\":" + JsonString (CompletionCodeName (static_cast<uint8_t>(E.Status)));
          }

          if (E.Status == EFI_SUCCESS) {
            Out += ",\"response\":" + JsonString (Hex (E.Response)) + Printf (",\"received\":%u", E.Received);
          }

          break;
        case EventKind::PrepareSecondaryBmc:
          break;
      }

      Out += ",\"status\":" + JsonString (StatusName (E.Status)) + "}";
    }

    Out += "]}";
  }

  Out += "],\n\"summary\":[";
  for (size_t Index = 0; Index < Summary.size (); Index++) {
    Out += (Index == 0 ? "\n" : ",\n") + Summary[Index].Json;
  }

  Out += "]}\n";
  std::ofstream  File (Path, std::ios::binary);
  File << Out;
  if (!File) {
    Error = "cannot write " + Path;
    return false;
  }

  return true;
}

Bytes
IpmbFrame (uint8_t Responder, uint8_t NetFn, uint8_t Requester, uint8_t Sequence, uint8_t Command, const Bytes &Data)
{
  Bytes  Frame = { Responder, static_cast<uint8_t>(NetFn << 2) };
  Frame.push_back (static_cast<uint8_t>(-(Frame[0] + Frame[1])));

  uint8_t  Sum = 0;
  for (uint8_t Byte : { Requester, static_cast<uint8_t>(Sequence << 2), Command }) {
    Frame.push_back (Byte);
    Sum = static_cast<uint8_t>(Sum + Byte);
  }

  for (uint8_t Byte : Data) {
    Frame.push_back (Byte);
    Sum = static_cast<uint8_t>(Sum + Byte);
  }

  Frame.push_back (static_cast<uint8_t>(-Sum));
  return Frame;
}

Bytes
PcapImage (const Trace &Log, uint32_t StartSeconds)
{
  Bytes     Image;
  uint8_t   Sequence = 0;
  uint32_t  Microseconds = 0;

  // Classic pcap header: magic, version 2.4, GMT offset, accuracy, snap length, link type.
  PutLe32 (Image, 0xA1B2C3D4);
  Image.insert (Image.end (), { 2, 0, 4, 0 });
  PutLe32 (Image, 0);
  PutLe32 (Image, 0);
  PutLe32 (Image, 65535);
  PutLe32 (Image, PCAP_LINKTYPE_IPMB_LINUX);

  auto  Record = [&](uint8_t Bus, const Bytes &Frame) {
    // Linux I2C pseudo-header: bus number, then four flag bytes (a plain write).
    const uint32_t  Length = static_cast<uint32_t>(5 + Frame.size ());
    PutLe32 (Image, StartSeconds + Microseconds / 1000000);
    PutLe32 (Image, Microseconds % 1000000);
    PutLe32 (Image, Length);
    PutLe32 (Image, Length);
    Image.insert (Image.end (), { Bus, 0, 0, 0, 0 });
    Image.insert (Image.end (), Frame.begin (), Frame.end ());
    Microseconds += 1000;
  };

  for (const Event &E : Log.Events) {
    if (E.Kind != EventKind::SendCommand) {
      continue;
    }

    const uint8_t  Bus = E.Bmc & 0x7F;
    Record (Bus, IpmbFrame (IPMB_BMC_ADDRESS, E.NetFn, IPMB_HOST_SOFTWARE, Sequence, E.Command, E.Request));
    if (Answered (E)) {
      Bytes  Data = { static_cast<uint8_t>(E.Status) };
      Data.insert (Data.end (), E.Response.begin (), E.Response.end ());
      Record (Bus, IpmbFrame (IPMB_HOST_SOFTWARE, static_cast<uint8_t>(E.NetFn + 1), IPMB_BMC_ADDRESS, Sequence, E.Command, Data));
    }

    Sequence = static_cast<uint8_t>((Sequence + 1) & 0x3F);
  }

  return Image;
}

bool
WritePcap (const std::string &Path, const Trace &Log, std::string &Error)
{
  const Bytes    Image = PcapImage (Log, static_cast<uint32_t>(std::time (nullptr)));
  std::ofstream  File (Path, std::ios::binary);

  File.write (reinterpret_cast<const char *>(Image.data ()), static_cast<std::streamsize>(Image.size ()));
  if (!File) {
    Error = "cannot write " + Path;
    return false;
  }

  return true;
}

}  // namespace OskelSim
