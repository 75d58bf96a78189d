// A BMC of the virtual board that is OpenIPMI's ipmi_sim, reached over TCP
// on loopback with the serial "VM" codec (the one QEMU's external BMC
// device speaks). A message is seq, NetFn << 2 | LUN, command, data,
// two's-complement checksum, then A0h; A1h ends a control command; AAh
// escapes A0h, A1h and AAh, sent as the byte OR 10h.
#pragma once

#include <string>

#include "SimulatedTransport.h"

namespace OskelSim {

constexpr uint8_t VM_MESSAGE_END = 0xA0;
constexpr uint8_t VM_COMMAND_END = 0xA1;
constexpr uint8_t VM_ESCAPE      = 0xAA;

// One frame, checksummed, escaped and terminated.
Bytes VmEncodeRequest (uint8_t Sequence, uint8_t NetFn, uint8_t Lun, uint8_t Command, const Bytes &Data);

// Unescapes a byte stream and splits it into messages and control commands.
class VmDecoder {
public:
  // Feeds one received byte; true when it completed a message, which is
  // then in Message (unescaped, checksum included).
  bool Feed (uint8_t Byte);
  Bytes    Message;
  unsigned ControlCommands = 0;

private:
  Bytes mPending;
  bool  mEscaped = false;
};

// Sum of the bytes modulo 256; a well-formed frame sums to 0.
uint8_t VmChecksum (const Bytes &Data, size_t Count);

class IpmiSimBridge : public BmcEndpoint {
public:
  IpmiSimBridge (std::string Host, uint16_t Port, unsigned TimeoutMs = 3000);
  ~IpmiSimBridge () override;
  IpmiSimBridge (const IpmiSimBridge &) = delete;
  IpmiSimBridge &operator= (const IpmiSimBridge &) = delete;

  // Connects, retrying until the timeout; false with Error set on failure.
  bool Connect ();
  Reply Handle (const Request &R) override;

  std::string Error;
  std::string Host;
  uint16_t    Port;

private:
  unsigned  mTimeoutMs;
  int       mSocket = -1;
  uint8_t   mSequence = 0;
  VmDecoder mDecoder;
};

}  // namespace OskelSim
