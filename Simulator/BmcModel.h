// A stateful BMC for the virtual board: it answers every request the module
// sends the way a BMC with these commands would, keeps what the requests
// change, and describes its state for the run's summary.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "SimulatedTransport.h"

namespace OskelSim {

// IPMI completion codes the model answers with.
constexpr uint8_t IPMI_CC_INVALID_COMMAND       = 0xC1;
constexpr uint8_t IPMI_CC_REQUEST_LENGTH        = 0xC7;
constexpr uint8_t IPMI_CC_INVALID_DATA_FIELD    = 0xCC;
constexpr uint8_t IPMI_CC_PARAMETER_UNSUPPORTED = 0x80;  // Get/Set Serial/Modem Configuration
constexpr uint8_t IPMI_CC_WATCHDOG_UNINITIALIZED = 0x80; // Reset Watchdog Timer before Set

// Completion codes of the file service on network function 2Eh.
constexpr uint8_t FILE_CC_NOT_FOUND      = 0x0A;
constexpr uint8_t FILE_CC_BAD_SIZE       = 0x0D;
constexpr uint8_t FILE_CC_BAD_HANDLE     = 0x0E;
constexpr uint8_t FILE_CC_ACCESS_DENIED  = 0x0F;

// IPMI channel medium types.
constexpr uint8_t CHANNEL_MEDIUM_LAN    = 0x04;
constexpr uint8_t CHANNEL_MEDIUM_SERIAL = 0x05;

struct Watchdog {
  bool     Initialized = false;  // a Set Watchdog Timer was accepted
  bool     Running     = false;
  uint8_t  TimerUse    = 0;
  uint8_t  Actions     = 0;
  uint8_t  PreTimeout  = 0;
  uint8_t  ExpirationFlags = 0;
  uint16_t InitialCountdown = 0;
  uint16_t PresentCountdown = 0;
  unsigned Resets = 0;
};

struct ChannelAccess {
  uint8_t Access    = 0x02;  // bits 2:0 access mode (always available); bits 5:3 as set
  uint8_t Privilege = 0x04;  // bits 3:0 privilege limit (administrator)
};

struct Channel {
  uint8_t       Medium   = CHANNEL_MEDIUM_SERIAL;
  uint8_t       Protocol = 0x05;  // IPMI-SMBus for LAN, Basic Mode for serial: shown only
  ChannelAccess Volatile;
  ChannelAccess NonVolatile;
  // Serial/Modem configuration parameters by number (data bytes only).
  std::map<uint8_t, Bytes> SerialParameters;
};

struct BmcFile {
  Bytes    Data;
  uint32_t DeclaredSize = 0;
  uint8_t  FileClass    = 0;
};

struct OpenFile {
  std::string Name;
  uint8_t     AccessMode = 0;  // 0 read, 1 write
  uint8_t     OpenMode   = 0;
  uint8_t     OpenFlag   = 0;
};

struct Setting {
  Bytes   Value;
  uint8_t Flags  = 0;  // flag bits of the last write's value byte
  uint8_t Status = 0;  // status byte the store answers with for this path
};

struct Upload {
  uint8_t  Operation = 0;
  uint8_t  Value     = 0;
  Bytes    Data;
  unsigned Pieces    = 0;
  unsigned BareRequests = 0;
  uint8_t  NextHandle = 0;  // handle the next piece must carry; 0: a new upload
  bool     Complete  = false;
};

class BmcModel : public BmcEndpoint {
public:
  explicit BmcModel (uint8_t Index);

  Reply Handle (const Request &R) override;

  // Configuration, then state. Everything is public so that options and
  // tests can set it up and look into it.
  uint8_t                       Index;
  Bytes                         DeviceId;      // Get Device ID answer
  Bytes                         SelfTest;      // Get Self Test Results answer
  std::map<uint8_t, Channel>    Channels;      // by channel number
  Watchdog                      Timer;
  bool                          MuxToBmc = true;
  uint8_t                       MuxBlocks = 0; // bit 3: switch to system blocked, bit 2: to BMC blocked
  uint8_t                       Oem10Value = 0;
  uint8_t                       Oem62Flag  = 0;
  Bytes                         OemC1Answer;
  Bytes                         OemC2Pair;
  Bytes                         Oem20Pair;
  uint16_t                      Oem1CWord = 0;
  bool                          Oem1CWordSet = false;
  uint8_t                       Oem1CState = 0;
  std::vector<uint8_t>          BootStages;
  std::map<std::string, Setting> Settings;
  std::map<uint8_t, Bytes>      Regions;       // 64 KiB each, created on first touch
  std::map<std::string, BmcFile> Files;
  std::map<uint32_t, OpenFile>  Handles;
  uint32_t                      NextFileHandle;
  std::map<uint32_t, Upload>    Uploads;       // by block tag
  unsigned                      Requests = 0;

  // The state as readable lines for the run's summary.
  std::vector<std::string> Summary () const;
  // The same, as a JSON object.
  std::string SummaryJson () const;

private:
  Reply App (const Request &R);
  Reply Transport (const Request &R);
  Reply Controller (const Request &R);
  Reply FileService (const Request &R);
  Reply BlockUpload (const Request &R);
  Reply SettingsStore (const Request &R);
  Bytes &Region (uint8_t Selector);
};

}  // namespace OskelSim
