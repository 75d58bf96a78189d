// A BMC with a serial channel, answering the exchanges of the serial console
// sequence from a few fields; queued replies per command come first. Shared
// by the serial console and the Setup suites.
#pragma once

#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "SimulatedTransport.h"

namespace OskelTest {

struct SerialConsoleBmc {
  uint8_t                                   SerialChannel = 2;  // the one channel whose medium is 05h
  OskelSim::Bytes                           MuxControl = { 0x11, 0xA5, 0x03 };  // revision, two data bytes
  OskelSim::Bytes                           Access = { 0x3B, 0xC4 };            // access byte, privilege byte
  uint8_t                                   MuxStatus = 0x00;
  std::map<uint16_t, std::deque<OskelSim::Reply>> Queued;

  SerialConsoleBmc &
  Then (uint8_t NetFn, uint8_t Command, OskelSim::Reply R)
  {
    Queued[uint16_t (NetFn << 8 | Command)].push_back (std::move (R));
    return *this;
  }

  OskelSim::Reply
  operator() (const OskelSim::Request &R)
  {
    auto  It = Queued.find (uint16_t (R.NetFn << 8 | R.Command));
    if ((It != Queued.end ()) && !It->second.empty ()) {
      OskelSim::Reply  Next = It->second.front ();
      It->second.pop_front ();
      return Next;
    }

    switch (R.NetFn << 8 | R.Command) {
      case 0x0642:  // Get Channel Info: other channels are LAN (04h)
        return OskelSim::Ok ({ R.Data.at (0), uint8_t (R.Data.at (0) == SerialChannel ? 0x05 : 0x04), 1, 0, 0xF2, 0x1B, 0, 0, 0 });
      case 0x0C11:
        return OskelSim::Ok (MuxControl);
      case 0x0641:
        return OskelSim::Ok (Access);
      case 0x0C12:
        return OskelSim::Ok ({ MuxStatus });
      default:
        return OskelSim::Ok ();
    }
  }
};

// "NN/CC [request] cap N" per send, for asserting whole exchanges in order.
inline std::vector<std::string>
Wire (const std::vector<OskelSim::Event> &Sends)
{
  std::vector<std::string>  Out;
  char                      Head[16];

  for (const auto &E : Sends) {
    std::snprintf (Head, sizeof (Head), "%02X/%02X [", E.NetFn, E.Command);
    Out.push_back (Head + OskelSim::Hex (E.Request) + "] cap " + std::to_string (E.Capacity));
  }

  return Out;
}

}  // namespace OskelTest
