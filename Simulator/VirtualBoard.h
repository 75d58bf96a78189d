// The simulator's board: the simulated PEI foundation and transport, a
// stateful BMC model (or an ipmi_sim peer) behind each BMC, faults on top,
// the Setup variable and the platform HOB, all chosen by options.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BmcModel.h"
#include "Faults.h"
#include "IpmiSimBridge.h"
#include "KcsBmcModel.h"
#include "Report.h"
#include "Script.h"
#include "SimulatedBoard.h"

namespace OskelSim {

// Setup fields at the byte offsets the module reads.
struct SetupFields {
  uint16_t WatchdogEnable    = 1;
  uint8_t  WatchdogTimeout   = 5;   // minutes
  uint8_t  ConsoleEnable     = 1;
  uint8_t  MuxSwitchOption   = 1;
  uint8_t  ChannelAccessMode = 3;   // shared
  uint8_t  BitRateIndex      = 4;   // 115200 bit/s
  uint8_t  Spare4            = 0;
  uint8_t  Spare5            = 0;
  uint8_t  FlowControl       = 1;
  uint8_t  Spare7            = 0;
};

constexpr size_t SETUP_IMAGE_SIZE = 2778;
Bytes SetupImage (const SetupFields &Fields);

struct BmcOptions {
  bool                           Unusable = false;
  unsigned                       NotReady = 0;
  std::vector<FaultRule>         Rules;
  std::vector<ShortRule>         Shorts;
  std::optional<Bytes>           DeviceId;
  std::optional<Bytes>           SelfTest;
  std::map<uint8_t, uint8_t>     ChannelMedium;  // medium 0: no such channel
  std::optional<uint16_t>        IpmiSimPort;
  std::string                    IpmiSimHost = "127.0.0.1";
  std::map<std::string, Bytes>   Files;
  std::optional<uint16_t>        IoBase;
};

struct SimulatorOptions {
  size_t                  BmcCount = 2;
  bool                    PlatformHob = true;
  bool                    SetupPresent = true;
  SetupFields             Setup;
  std::optional<Bytes>    SetupImageFile;
  std::vector<BmcOptions> Bmcs;  // BmcCount entries once parsed
  std::string             ScriptPath;
  std::string             JsonPath;
  std::string             PcapPath;
  bool                    Quiet = false;
  // --transport kcs: each BMC behind a register-level KCS interface at its
  // I/O base, reached through the KCS transport PEIM.
  bool                    Kcs = false;
  // --kcs-ports N: the port traffic of the Nth KCS exchange of the run.
  unsigned                KcsPortsOf = 0;
};

// Parses the command line; false with Error set on a bad option. Help is
// set for --help.
bool ParseOptions (const std::vector<std::string> &Arguments, SimulatorOptions &Options, std::string &Error, bool &Help);
std::string OptionsHelp ();

class VirtualBoard {
public:
  explicit VirtualBoard (const SimulatorOptions &Options);
  VirtualBoard (const VirtualBoard &) = delete;
  VirtualBoard &operator= (const VirtualBoard &) = delete;

  // Connects the ipmi_sim peers; false with Error set when one cannot be reached.
  bool Connect (std::string &Error);
  // Runs the entry twice: in place, then shadowed. Returns the worse status.
  EFI_STATUS Boot ();
  // Runs the steps in order, one section each.
  void Run (const std::vector<ScriptStep> &Steps);
  // Runs one step; its section is appended.
  StepResult Run (const ScriptStep &Step);

  std::vector<BmcSummary> Summary () const;
  // With --kcs-ports N: a section with the port accesses of that exchange.
  void AddKcsPortSection ();

  SimulatorOptions                             Options;
  SimulatedBoard                               Board;
  std::vector<std::unique_ptr<BmcModel>>       Models;   // NULL where ipmi_sim answers
  std::vector<std::unique_ptr<IpmiSimBridge>>  Bridges;  // NULL where the model answers
  std::vector<std::unique_ptr<FaultyBmc>>      Faults;
  std::vector<std::unique_ptr<KcsBmcModel>>    Kcs;      // with --transport kcs
  std::vector<Section>                         Sections;
  ScriptContext                                Context;
};

}  // namespace OskelSim
