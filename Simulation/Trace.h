// Ordered record of everything the module did on the simulated board:
// PEI service calls, port writes and every call of the IPMI transport.
#pragma once

#include <PiPei.h>

#include <cstdint>
#include <string>
#include <vector>

namespace OskelSim {

using Bytes = std::vector<uint8_t>;

enum class EventKind : uint8_t {
  PeiCall,
  PortWrite,
  GetBmcCount,
  SelectBmc,
  TrackBmcStatus,
  SendCommand,
  PrepareSecondaryBmc,
};

struct Event {
  EventKind   Kind;
  std::string Service;   // PeiCall: the service's name
  std::string Detail;    // PeiCall: what it was asked for
  uint8_t     Bmc = 0;   // transport calls: the BMC selected when the call came
  uint8_t     Index = 0; // SelectBmc: the index; TrackBmcStatus: the phase
  uint8_t     Flag = 0;  // TrackBmcStatus: the device-error flag of phase 1
  uint8_t     NetFn = 0;
  uint8_t     Lun = 0;
  uint8_t     Command = 0;
  Bytes       Request;
  bool        RequestPointerNull = false;
  uint8_t     Capacity = 0;
  Bytes       Response;  // what the transport wrote into the response buffer
  uint8_t     Received = 0;
  uint16_t    Port = 0;  // PortWrite
  uint8_t     Value = 0; // PortWrite
  EFI_STATUS  Status = 0;
};

class Trace {
public:
  std::vector<Event> Events;

  void Clear () { Events.clear (); }
  Event &Add (EventKind Kind) { Events.push_back (Event{ Kind }); return Events.back (); }

  std::vector<Event> Of (EventKind Kind) const;
  std::vector<Event> Sends () const { return Of (EventKind::SendCommand); }
  std::vector<Event> PortWrites () const { return Of (EventKind::PortWrite); }
  // Transport calls only, in order.
  std::vector<Event> TransportCalls () const;
  // One short line per transport call, e.g. "count", "select 1", "phase0",
  // "phase1 flag=1", "send 06/01", "prepare": handy for asserting call order.
  std::vector<std::string> TransportSequence () const;
  std::vector<std::string> PeiSequence () const;
};

std::string StatusName (EFI_STATUS Status);
std::string Hex (const Bytes &Data);
std::string Describe (const Event &E);

}  // namespace OskelSim
