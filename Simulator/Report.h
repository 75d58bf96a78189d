// What the simulator shows of a run: the readable trace, the same trace as
// JSON for tools, and every exchange as IPMB frames in a pcap file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Trace.h"

namespace OskelSim {

// A stretch of the trace: one run of the entry or one script line.
struct Section {
  std::string              Title;
  size_t                   Begin = 0;  // first event
  size_t                   End   = 0;  // one past the last event
  std::string              Result;     // the status by name
  std::vector<std::string> Outputs;
};

struct BmcSummary {
  std::string              Title;
  std::vector<std::string> Lines;
  std::string              Json;       // a JSON object
};

// One readable line per event, with network functions, commands and
// completion codes by name.
std::string DescribeEvent (const Event &E);

void WriteText (std::FILE *Out, const Trace &Log, const std::vector<Section> &Sections, const std::vector<BmcSummary> &Summary);
bool WriteJson (const std::string &Path, const Trace &Log, const std::vector<Section> &Sections, const std::vector<BmcSummary> &Summary, std::string &Error);

// IPMB addresses of the capture: the BMC's slave address and the software
// ID the host's requests come from.
constexpr uint8_t IPMB_BMC_ADDRESS   = 0x20;
constexpr uint8_t IPMB_HOST_SOFTWARE = 0x81;
constexpr uint32_t PCAP_LINKTYPE_IPMB_LINUX = 209;

// An IPMB frame: rsSA, NetFn << 2 | rsLUN, checksum, rqSA, rqSeq << 2 | rqLUN,
// command, data, checksum. For a response the caller passes the swapped
// addresses, NetFn + 1 and the completion code as the first data byte.
Bytes IpmbFrame (uint8_t Responder, uint8_t NetFn, uint8_t Requester, uint8_t Sequence, uint8_t Command, const Bytes &Data);

// Every SendCommand as a request frame and, when the BMC answered, a
// response frame; BMC i on I2C bus i.
Bytes PcapImage (const Trace &Log, uint32_t StartSeconds);
bool WritePcap (const std::string &Path, const Trace &Log, std::string &Error);

}  // namespace OskelSim
