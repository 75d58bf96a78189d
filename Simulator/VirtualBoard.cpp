#include "VirtualBoard.h"

#include <fstream>
#include <iterator>
#include <sstream>

#include "TransportBoard.h"
#include "Names.h"

namespace OskelSim {

namespace {

const EFI_GUID  mSetupGuid = BMC_SETUP_VARIABLE_GUID;

bool
Number (const std::string &Text, uint64_t Max, uint64_t &Value)
{
  try {
    size_t  Used = 0;
    if (Text.empty () || (Text[0] == '-')) {
      return false;
    }

    Value = std::stoull (Text, &Used, 0);
    return (Used == Text.size ()) && (Value <= Max);
  } catch (...) {
    return false;
  }
}

bool
HexBytes (const std::string &Text, Bytes &Data)
{
  if (Text.size () % 2 != 0) {
    return false;
  }

  Data.clear ();
  for (size_t At = 0; At < Text.size (); At += 2) {
    uint64_t  Byte = 0;
    if (!Number ("0x" + Text.substr (At, 2), 0xFF, Byte) || !std::isxdigit (static_cast<unsigned char>(Text[At]))) {
      return false;
    }

    Data.push_back (static_cast<uint8_t>(Byte));
  }

  return true;
}

bool
ReadFile (const std::string &Path, Bytes &Data)
{
  std::ifstream  File (Path, std::ios::binary);
  if (!File) {
    return false;
  }

  Data.assign (std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
  return true;
}

std::vector<std::string>
Split (const std::string &Text, char Separator)
{
  std::vector<std::string>  Parts;
  std::string               Part;
  std::istringstream        Input (Text);
  while (std::getline (Input, Part, Separator)) {
    Parts.push_back (Part);
  }

  if (!Text.empty () && (Text.back () == Separator)) {
    Parts.push_back ("");
  }

  return Parts;
}

bool
Match (const std::string &NetFn, const std::string &Command, CommandMatch &Out)
{
  uint64_t  Value = 0;
  if (NetFn != "*") {
    if (!Number (NetFn, 0x3F, Value)) {
      return false;
    }

    Out.NetFn = static_cast<uint8_t>(Value);
  }

  if (Command != "*") {
    if (!Number (Command, 0xFF, Value)) {
      return false;
    }

    Out.Command = static_cast<uint8_t>(Value);
  }

  return true;
}

struct SetupFieldName {
  const char *Name;
  uint16_t   SetupFields::*Wide;
  uint8_t    SetupFields::*Narrow;
};

constexpr SetupFieldName  mSetupFields[] = {
  { "watchdog-enable",  &SetupFields::WatchdogEnable, nullptr                         },
  { "watchdog-timeout", nullptr,                      &SetupFields::WatchdogTimeout   },
  { "console-enable",   nullptr,                      &SetupFields::ConsoleEnable     },
  { "mux-switch",       nullptr,                      &SetupFields::MuxSwitchOption   },
  { "access-mode",      nullptr,                      &SetupFields::ChannelAccessMode },
  { "bit-rate",         nullptr,                      &SetupFields::BitRateIndex      },
  { "spare4",           nullptr,                      &SetupFields::Spare4            },
  { "spare5",           nullptr,                      &SetupFields::Spare5            },
  { "flow-control",     nullptr,                      &SetupFields::FlowControl       },
  { "spare7",           nullptr,                      &SetupFields::Spare7            },
};

}  // namespace

Bytes
SetupImage (const SetupFields &Fields)
{
  Bytes  Image (SETUP_IMAGE_SIZE, 0);

  Image[2610] = Fields.ConsoleEnable;
  Image[2612] = Fields.MuxSwitchOption;
  Image[2613] = Fields.ChannelAccessMode;
  Image[2616] = Fields.BitRateIndex;
  Image[2619] = Fields.Spare4;
  Image[2618] = Fields.Spare5;
  Image[2622] = Fields.FlowControl;
  Image[2327] = Fields.Spare7;
  Image[2323] = static_cast<uint8_t>(Fields.WatchdogEnable);
  Image[2324] = static_cast<uint8_t>(Fields.WatchdogEnable >> 8);
  Image[2325] = Fields.WatchdogTimeout;
  return Image;
}

std::string
OptionsHelp ()
{
  return
    "usage: oskel-sim [OPTIONS] [SCRIPT]\n"
    "\n"
    "Boots the BMC command PEIM on a virtual board (the in-place run, then the\n"
    "shadowed run), runs SCRIPT if given, and prints every PEI service call,\n"
    "port write and transport call with a summary of every BMC's state.\n"
    "Defaults: two BMCs, I/O base 200h x index, Setup with the watchdog on\n"
    "(5 minutes) and serial console sharing on (shared access, 115200 bit/s,\n"
    "XON/XOFF), each BMC a LAN channel 1 and a serial channel 2.\n"
    "\n"
    "Numbers are decimal or 0x-hex; I is a BMC index; NETFN and CMD may be *.\n"
    "\n"
    "Board:\n"
    "  --bmcs N                  number of BMCs (0 to 8)\n"
    "  --io-base I=BASE          I/O base of BMC I in the platform HOB\n"
    "  --no-platform-hob         leave the platform BMC information HOB out\n"
    "  --transport KIND          scripted (default): the simulated transport; kcs: each BMC\n"
    "                            behind a KCS interface at BASE+CA2h/CA3h, reached through\n"
    "                            the KCS transport PEIM (--unusable has no effect there)\n"
    "  --kcs-ports N             with kcs: show the port traffic of the Nth exchange\n"
    "  --setup FIELD=VALUE       a Setup field: watchdog-enable (16-bit), watchdog-timeout\n"
    "                            (minutes), console-enable, mux-switch, access-mode,\n"
    "                            bit-rate (index 0..4), flow-control, spare4, spare5, spare7\n"
    "  --setup-file FILE         the raw Setup variable image instead of the fields\n"
    "  --no-setup                no Setup variable at all\n"
    "BMC model:\n"
    "  --device-id I=HEX         Get Device ID answer of BMC I\n"
    "  --self-test I=HEX         Get Self Test Results answer of BMC I\n"
    "  --channel I=CH/MEDIUM     medium of channel CH: lan, serial, none or a number\n"
    "  --file I=NAME/@PATH       a file on BMC I, from PATH (or NAME/HEX)\n"
    "  --ipmi-sim I=[HOST:]PORT  BMC I is OpenIPMI's ipmi_sim, serial VM codec over TCP;\n"
    "                            with oskel-ipmi-sim-oem.so loaded it serves the OEM commands\n"
    "Faults:\n"
    "  --unusable I              the transport marks BMC I unusable\n"
    "  --not-ready I=K           the next K sends to BMC I answer EFI_NOT_READY\n"
    "  --device-error I=NETFN/CMD          those commands fail with EFI_DEVICE_ERROR\n"
    "  --completion-code I=NETFN/CMD/CODE  those commands answer completion code CODE\n"
    "  --short I=NETFN/CMD[/N]   answers of those commands lose their last N bytes (1)\n"
    "Output:\n"
    "  --script FILE             the script (also the first plain argument)\n"
    "  --json FILE               the trace and summary as JSON\n"
    "  --pcap FILE               every exchange as IPMB frames (pcap link type 209);\n"
    "                            tshark -d i2c.message,ipmi -o ipmi.dissect_bus_commands:TRUE\n"
    "  --quiet                   print the results and the summary, not every event\n"
    "  --help                    this text, then the script language\n"
    "\n"
    "Script: one operation per line, key=value arguments, '#' comments; data is hex\n"
    "or @FILE, text may be quoted; bmc= takes an index or all (default 0), force= 0 or 1.\n"
    "out=FILE writes a data output to FILE; handle=last is the last FileOpen's handle.\n";
}

bool
ParseOptions (const std::vector<std::string> &Arguments, SimulatorOptions &Options, std::string &Error, bool &Help)
{
  std::vector<std::pair<std::string, std::string>>  PerBmc;  // applied once the count is known
  Help = false;

  for (size_t At = 0; At < Arguments.size (); At++) {
    const std::string  &Option = Arguments[At];
    auto               Value = [&](std::string &Out) {
      if (At + 1 >= Arguments.size ()) {
        Error = Option + " expects a value";
        return false;
      }

      Out = Arguments[++At];
      return true;
    };
    std::string  Text;
    uint64_t     N = 0;

    if ((Option == "--help") || (Option == "-h")) {
      Help = true;
      return true;
    } else if (Option == "--bmcs") {
      if (!Value (Text)) {
        return false;
      }

      if (!Number (Text, 8, N)) {
        Error = "--bmcs expects a number from 0 to 8, got '" + Text + "'";
        return false;
      }

      Options.BmcCount = N;
    } else if (Option == "--transport") {
      if (!Value (Text)) {
        return false;
      }

      if ((Text != "kcs") && (Text != "scripted")) {
        Error = "--transport expects kcs or scripted, got '" + Text + "'";
        return false;
      }

      Options.Kcs = (Text == "kcs");
    } else if (Option == "--kcs-ports") {
      if (!Value (Text)) {
        return false;
      }

      if (!Number (Text, 0xFFFFFFFF, N) || (N == 0)) {
        Error = "--kcs-ports expects an exchange number from 1, got '" + Text + "'";
        return false;
      }

      Options.KcsPortsOf = static_cast<unsigned>(N);
    } else if (Option == "--no-platform-hob") {
      Options.PlatformHob = false;
    } else if (Option == "--no-setup") {
      Options.SetupPresent = false;
    } else if (Option == "--quiet") {
      Options.Quiet = true;
    } else if (Option == "--setup") {
      if (!Value (Text)) {
        return false;
      }

      const size_t  Equals = Text.find ('=');
      bool          Known  = false;
      for (const SetupFieldName &F : mSetupFields) {
        if ((Equals != std::string::npos) && (Text.substr (0, Equals) == F.Name)) {
          Known = true;
          if (!Number (Text.substr (Equals + 1), F.Wide != nullptr ? 0xFFFF : 0xFF, N)) {
            Error = std::string ("--setup ") + F.Name + " expects a number from 0 to " + (F.Wide != nullptr ? "65535" : "255") + ", got '" + Text.substr (Equals + 1) + "'";
            return false;
          }

          if (F.Wide != nullptr) {
            Options.Setup.*F.Wide = static_cast<uint16_t>(N);
          } else {
            Options.Setup.*F.Narrow = static_cast<uint8_t>(N);
          }
        }
      }

      if (!Known) {
        Error = "--setup expects FIELD=VALUE with FIELD among watchdog-enable, watchdog-timeout, console-enable, mux-switch, access-mode, bit-rate, spare4, spare5, flow-control, spare7; got '" + Text + "'";
        return false;
      }
    } else if (Option == "--setup-file") {
      Bytes  Image;
      if (!Value (Text)) {
        return false;
      }

      if (!ReadFile (Text, Image)) {
        Error = "--setup-file: cannot read " + Text;
        return false;
      }

      Options.SetupImageFile = Image;
    } else if ((Option == "--script") || (Option == "--json") || (Option == "--pcap")) {
      if (!Value (Text)) {
        return false;
      }

      (Option == "--script" ? Options.ScriptPath : Option == "--json" ? Options.JsonPath : Options.PcapPath) = Text;
    } else if (
      (Option == "--io-base") || (Option == "--device-id") || (Option == "--self-test") || (Option == "--channel") || (Option == "--file") || (Option == "--ipmi-sim")
      || (Option == "--unusable") || (Option == "--not-ready") || (Option == "--device-error") || (Option == "--completion-code") || (Option == "--short"))
    {
      if (!Value (Text)) {
        return false;
      }

      PerBmc.emplace_back (Option, Text);
    } else if (!Option.empty () && (Option[0] != '-') && Options.ScriptPath.empty ()) {
      Options.ScriptPath = Option;
    } else {
      Error = "unknown option '" + Option + "'";
      return false;
    }
  }

  Options.Bmcs.assign (Options.BmcCount, BmcOptions{});
  for (const auto &[Option, Text] : PerBmc) {
    const size_t  Equals = Text.find ('=');
    const std::string  Index = Option == "--unusable" ? Text : Text.substr (0, Equals);
    const std::string  Rest  = (Equals == std::string::npos) ? std::string () : Text.substr (Equals + 1);
    uint64_t           Bmc   = 0;

    if (!Number (Index, 0xFF, Bmc) || (Bmc >= Options.BmcCount) || ((Option != "--unusable") && (Equals == std::string::npos))) {
      Error = Option + " expects " + (Option == "--unusable" ? "I" : "I=...") + " with I a BMC index below " + std::to_string (Options.BmcCount) + ", got '" + Text + "'";
      return false;
    }

    BmcOptions                      &B     = Options.Bmcs[Bmc];
    const std::vector<std::string>  Parts  = Split (Rest, '/');
    uint64_t                        N      = 0;
    const std::string               Prefix = Option + " " + Text + ": ";

    if (Option == "--unusable") {
      B.Unusable = true;
    } else if (Option == "--io-base") {
      if (!Number (Rest, 0xFFFF, N)) {
        Error = Prefix + "expects a 16-bit I/O base";
        return false;
      }

      B.IoBase = static_cast<uint16_t>(N);
    } else if ((Option == "--device-id") || (Option == "--self-test")) {
      Bytes  Data;
      if (!HexBytes (Rest, Data) || Data.empty ()) {
        Error = Prefix + "expects hex bytes such as 20010210";
        return false;
      }

      (Option == "--device-id" ? B.DeviceId : B.SelfTest) = Data;
    } else if (Option == "--channel") {
      uint64_t  Channel = 0;
      if ((Parts.size () != 2) || !Number (Parts[0], 15, Channel)) {
        Error = Prefix + "expects CH/MEDIUM with CH from 0 to 15";
        return false;
      }

      if (Parts[1] == "lan") {
        N = CHANNEL_MEDIUM_LAN;
      } else if (Parts[1] == "serial") {
        N = CHANNEL_MEDIUM_SERIAL;
      } else if (Parts[1] == "none") {
        N = 0;
      } else if (!Number (Parts[1], 0xFF, N)) {
        Error = Prefix + "expects MEDIUM lan, serial, none or a number";
        return false;
      }

      B.ChannelMedium[static_cast<uint8_t>(Channel)] = static_cast<uint8_t>(N);
    } else if (Option == "--file") {
      const size_t  Slash = Rest.find ('/');
      Bytes         Data;
      if ((Slash == std::string::npos) || (Slash == 0) || (Slash > 25)) {
        Error = Prefix + "expects NAME/@PATH or NAME/HEX with a name of 1 to 25 characters";
        return false;
      }

      const std::string  Source = Rest.substr (Slash + 1);
      if (!Source.empty () && (Source[0] == '@') ? !ReadFile (Source.substr (1), Data) : !HexBytes (Source, Data)) {
        Error = Prefix + "cannot read the contents '" + Source + "'";
        return false;
      }

      B.Files[Rest.substr (0, Slash)] = Data;
    } else if (Option == "--ipmi-sim") {
      const size_t  Colon = Rest.rfind (':');
      if (!Number (Colon == std::string::npos ? Rest : Rest.substr (Colon + 1), 0xFFFF, N) || (N == 0)) {
        Error = Prefix + "expects [HOST:]PORT";
        return false;
      }

      B.IpmiSimPort = static_cast<uint16_t>(N);
      if (Colon != std::string::npos) {
        B.IpmiSimHost = Rest.substr (0, Colon);
      }
    } else if (Option == "--not-ready") {
      if (!Number (Rest, 1000000, N)) {
        Error = Prefix + "expects a count K";
        return false;
      }

      B.NotReady = static_cast<unsigned>(N);
    } else if (Option == "--device-error") {
      FaultRule  Rule;
      if ((Parts.size () != 2) || !Match (Parts[0], Parts[1], Rule.Match)) {
        Error = Prefix + "expects NETFN/CMD";
        return false;
      }

      Rule.Status = EFI_DEVICE_ERROR;
      B.Rules.push_back (Rule);
    } else if (Option == "--completion-code") {
      FaultRule  Rule;
      if ((Parts.size () != 3) || !Match (Parts[0], Parts[1], Rule.Match) || !Number (Parts[2], 0xFF, N) || (N == 0)) {
        Error = Prefix + "expects NETFN/CMD/CODE with CODE from 1 to 255";
        return false;
      }

      Rule.Status = N;
      B.Rules.push_back (Rule);
    } else {
      ShortRule  Rule;
      if ((Parts.size () < 2) || (Parts.size () > 3) || !Match (Parts[0], Parts[1], Rule.Match) || ((Parts.size () == 3) && (!Number (Parts[2], 255, N) || (N == 0)))) {
        Error = Prefix + "expects NETFN/CMD or NETFN/CMD/N with N from 1 to 255";
        return false;
      }

      Rule.Drop = (Parts.size () == 3) ? N : 1;
      B.Shorts.push_back (Rule);
    }
  }

  return true;
}

VirtualBoard::VirtualBoard (const SimulatorOptions &Options) : Options (Options), Board (Options.BmcCount)
{
  std::vector<uint16_t>  IoBases;

  for (size_t Index = 0; Index < Options.BmcCount; Index++) {
    const BmcOptions  B = Index < Options.Bmcs.size () ? Options.Bmcs[Index] : BmcOptions{};
    BmcEndpoint       *Inner = nullptr;

    if (B.IpmiSimPort) {
      Bridges.push_back (std::make_unique<IpmiSimBridge>(B.IpmiSimHost, *B.IpmiSimPort));
      Models.push_back (nullptr);
      Inner = Bridges.back ().get ();
    } else {
      auto  Model = std::make_unique<BmcModel>(static_cast<uint8_t>(Index));
      if (B.DeviceId) {
        Model->DeviceId = *B.DeviceId;
      }

      if (B.SelfTest) {
        Model->SelfTest = *B.SelfTest;
      }

      for (const auto &[Channel, Medium] : B.ChannelMedium) {
        if (Medium == 0) {
          Model->Channels.erase (Channel);
        } else {
          Model->Channels[Channel].Medium = Medium;
          if (Medium == CHANNEL_MEDIUM_SERIAL) {
            Model->Channels[Channel].SerialParameters.emplace (7, Bytes{ 0x00, 0x06 });
            Model->Channels[Channel].SerialParameters.emplace (8, Bytes{ 0x00, 0x00 });
          } else {
            Model->Channels[Channel].SerialParameters.clear ();
          }
        }
      }

      for (const auto &[Name, Data] : B.Files) {
        Model->Files[Name].Data = Data;
      }

      Bridges.push_back (nullptr);
      Models.push_back (std::move (Model));
      Inner = Models.back ().get ();
    }

    Faults.push_back (std::make_unique<FaultyBmc>(*Inner));
    Faults.back ()->NotReady = B.NotReady;
    Faults.back ()->Rules    = B.Rules;
    Faults.back ()->Shorts   = B.Shorts;
    Board.Transport.Attach (Index, Faults.back ().get ());
    if (B.Unusable) {
      Board.Transport.MarkUnusable (Index);
    }

    IoBases.push_back (B.IoBase.value_or (static_cast<uint16_t>(0x200 * Index)));
    if (Options.Kcs) {
      Kcs.push_back (std::make_unique<KcsBmcModel>(IoBases.back (), *Faults.back (), static_cast<uint8_t>(Index)));
      Kcs.back ()->Log = &Board.Log;
      Board.Pei.AttachPortDevice (Kcs.back ().get ());
    }
  }

  if (Options.Kcs) {
    // The KCS transport PEIM takes the simulated transport's place.
    Board.Pei.Uninstall (IPMI_TRANSPORT_PPI_GUID);
  }

  if (Options.PlatformHob) {
    Board.Pei.Hobs.AddPlatformBmcInfo (IoBases);
  }

  if (Options.SetupImageFile) {
    Board.Pei.SetVariable (u"Setup", mSetupGuid, *Options.SetupImageFile);
  } else if (Options.SetupPresent) {
    Board.Pei.SetVariable (u"Setup", mSetupGuid, SetupImage (Options.Setup));
  }
}

bool
VirtualBoard::Connect (std::string &Error)
{
  for (size_t Index = 0; Index < Bridges.size (); Index++) {
    if ((Bridges[Index] != nullptr) && !Bridges[Index]->Connect ()) {
      Error = "BMC " + std::to_string (Index) + ": " + Bridges[Index]->Error;
      return false;
    }
  }

  return true;
}

EFI_STATUS
VirtualBoard::Boot ()
{
  EFI_STATUS  Worst = EFI_SUCCESS;

  for (bool Shadowed : { false, true }) {
    if (Options.Kcs) {
      Section  T;
      T.Title = Shadowed ? "KCS transport, second run (shadowed, from memory)" : "KCS transport, first run (in place, from flash)";
      T.Begin = Board.Log.Events.size ();
      Board.Pei.RegisterForShadowResult = Shadowed ? EFI_ALREADY_STARTED : EFI_SUCCESS;
      const EFI_STATUS  Status = IpmiTransportPeiEntryPoint (Board.Pei.FileHandle (), Board.Services ());
      T.End    = Board.Log.Events.size ();
      T.Result = ResultName (Status);
      Sections.push_back (T);
      if (EFI_ERROR (Status)) {
        Worst = Status;
      }
    }

    Section  S;
    S.Title = Shadowed ? "entry, second run (shadowed, from memory)" : "entry, first run (in place, from flash)";
    S.Begin = Board.Log.Events.size ();
    const EFI_STATUS  Status = Board.RunEntry (Shadowed);
    S.End    = Board.Log.Events.size ();
    S.Result = ResultName (Status);
    Sections.push_back (S);
    if (EFI_ERROR (Status)) {
      Worst = Status;
    }
  }

  Context.PeiServices = Board.Services ();
  Context.Service     = Board.Service ();
  return Worst;
}

StepResult
VirtualBoard::Run (const ScriptStep &Step)
{
  Section  S;
  S.Title = "script line " + std::to_string (Step.Line) + ": " + Step.Source;
  S.Begin = Board.Log.Events.size ();

  StepResult  Result;
  if (Context.Service == nullptr) {
    Result.Status = EFI_NOT_FOUND;
    Result.Error  = "the service is not installed";
  } else {
    Result = RunStep (Context, Step);
  }

  S.End     = Board.Log.Events.size ();
  S.Result  = ResultName (Result.Status);
  S.Outputs = Result.Outputs;
  if (!Result.Error.empty ()) {
    S.Outputs.push_back ("error " + Result.Error);
  }

  Sections.push_back (S);
  return Result;
}

void
VirtualBoard::Run (const std::vector<ScriptStep> &Steps)
{
  for (const ScriptStep &Step : Steps) {
    (void)Run (Step);
  }
}

void
VirtualBoard::AddKcsPortSection ()
{
  if (!Options.Kcs || (Options.KcsPortsOf == 0)) {
    return;
  }

  Section  S;
  S.Title = "KCS port traffic of exchange " + std::to_string (Options.KcsPortsOf);
  S.Begin = S.End = Board.Log.Events.size ();
  {
    // Exchanges are numbered BMC by BMC: all of BMC 0's, then BMC 1's.
    size_t  Left = Options.KcsPortsOf;
    for (size_t Bmc = 0; Bmc < Kcs.size () && S.Outputs.empty (); Bmc++) {
      const KcsBmcModel  &M = *Kcs[Bmc];
      if (Left > M.ExchangeStarts.size ()) {
        Left -= M.ExchangeStarts.size ();
        continue;
      }

      S.Title += " (BMC " + std::to_string (Bmc) + ", its exchange " + std::to_string (Left) + ")";
      const size_t  From = M.ExchangeStarts[Left - 1];
      // The status read just before a Write Start belongs to that exchange.
      const size_t  To   = Left < M.ExchangeStarts.size () ? M.ExchangeStarts[Left] - 1 : M.Accesses.size ();
      for (size_t At = (From > 0) ? From - 1 : From; At < To; At++) {
        S.Outputs.push_back (Describe (M.Accesses[At]));
      }
    }
  }

  S.Result = S.Outputs.empty () ? "no such exchange" : std::to_string (S.Outputs.size ()) + " port accesses";
  Sections.push_back (S);
}

std::vector<BmcSummary>
VirtualBoard::Summary () const
{
  std::vector<BmcSummary>  Out;

  for (size_t Index = 0; Index < Models.size (); Index++) {
    BmcSummary  S;
    S.Title = "BMC " + std::to_string (Index);
    if ((Index < Options.Bmcs.size ()) && Options.Bmcs[Index].Unusable) {
      S.Title += " (marked unusable by the transport)";
    }

    if (Models[Index] != nullptr) {
      S.Lines = Models[Index]->Summary ();
      S.Json  = Models[Index]->SummaryJson ();
    } else {
      S.Title += " (ipmi_sim at " + Bridges[Index]->Host + ":" + std::to_string (Bridges[Index]->Port) + ")";
      S.Lines = { "state is kept by ipmi_sim" };
      S.Json  = "{\"bmc\":" + std::to_string (Index) + ",\"ipmiSim\":" + JsonString (Bridges[Index]->Host + ":" + std::to_string (Bridges[Index]->Port)) + "}";
    }

    if (Faults[Index]->NotReady != 0) {
      S.Lines.push_back ("not-ready answers left: " + std::to_string (Faults[Index]->NotReady));
    }

    Out.push_back (S);
  }

  return Out;
}

}  // namespace OskelSim
