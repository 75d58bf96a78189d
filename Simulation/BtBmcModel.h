// The BMC's side of a BT (block transfer) system interface, register by
// register: the control register (BT_CTRL) at its port, the H2B/B2H
// buffer at the next port, the interrupt mask at the one after. Requests
// the host writes go to any BMC endpoint (a scripted BMC or the stateful
// model) and the answer goes back through the B2H buffer, with the
// request's sequence number. The model answers Get BT Interface
// Capabilities itself, as BT hardware in front of a BMC does. Faults are
// scripted per request.
//
// A protocol checker judges every host access against the BT flow: no
// write to the H2B buffer while the BMC owns it (B_BUSY or H2B_ATN set)
// or before the write pointer is cleared, H2B_ATN only for a whole
// message whose length byte counts what was written, no message past the
// BMC's request buffer, no read of the B2H buffer unless the host has set
// H_BUSY and cleared B2H_ATN, nothing read past the answer, H_BUSY clear
// again before the next request, SMS_ATN never cleared (it belongs to the
// operating system's driver), the interrupt mask register never written
// (its bit 7 resets the BMC). Each breach is recorded in Violations.
// Host only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "KcsBmcModel.h"

namespace OskelSim {

struct BtFaults {
  // The request is taken (H2B_ATN cleared) but never answered.
  bool NeverAnswers = false;
  // The answer carries this sequence number instead of the request's.
  std::optional<uint8_t> Sequence;
  // Header bytes of the answer replaced.
  std::optional<uint8_t> ResponseNetFnLun;
  std::optional<uint8_t> ResponseCommand;
  // The answer's length byte replaced (the bytes after it stay as built).
  std::optional<uint8_t> Length;
  // Before the answer, another request's answer (sequence number one
  // below, same NetFn and command, completion code 00h, data EEh):
  // LateAnswers of them, each presented as an answer is.
  unsigned LateAnswers = 0;
  // Control reads between the request and the answer.
  unsigned AnswerLatency = 0;
};

class BtBmcModel : public PortDevice {
public:
  BtBmcModel (uint16_t ControlPort, BmcEndpoint &Endpoint, uint8_t Index = 0);

  bool Claims (uint16_t Port) const override { return (Port >= ControlPort) && (Port <= MaskPort); }
  uint8_t Read (uint16_t Port) override;
  void Write (uint16_t Port, uint8_t Value) override;

  const uint16_t ControlPort;
  const uint16_t BufferPort;
  const uint16_t MaskPort;

  // Faults for the next requests; Once is consumed by the next request
  // (Get BT Interface Capabilities included), Always applies to every one.
  BtFaults                Always;
  std::optional<BtFaults> Once;
  // Not fitted: every register reads FFh, writes go nowhere.
  bool     Absent = false;
  // Control reads that show B_BUSY while no request is served (the BMC
  // busy with something else); ~0u: for good.
  unsigned BusyPolls = 0;

  // The buffer sizes Get BT Interface Capabilities reports, and what the
  // H2B buffer holds (a longer message is a violation). When
  // CapabilitiesCode is set, the capabilities request is answered with
  // that completion code and no data instead.
  uint8_t                RequestBuffer  = 0xFF;
  uint8_t                ResponseBuffer = 0xFF;
  std::optional<uint8_t> CapabilitiesCode;
  // When set, the capabilities answer carries these data bytes after
  // completion code 00h instead.
  std::optional<Bytes>   CapabilitiesData;

  // State bits the BMC sets on its own at start: SMS_ATN (a message for
  // system software), H_BUSY left set by a host whose read was cut short,
  // B2H_ATN with a stale answer of sequence number FFh in the buffer.
  bool SmsAtn     = false;
  bool StaleHBusy = false;
  bool StaleAnswer = false;

  void SetEndpoint (BmcEndpoint &Endpoint) { mEndpoint = &Endpoint; }

  // Every access, in order, when Recording.
  bool                     Recording = true;
  std::vector<PortAccess>  Accesses;
  std::vector<Request>     Requests;        // the endpoint's requests
  std::vector<Bytes>       Messages;        // every request message as written, length byte included
  std::vector<Bytes>       Answers;         // every answer presented, length byte included
  unsigned                 ControlReads = 0;
  unsigned                 CapabilityRequests = 0;
  std::vector<std::string> Violations;

  // A description of the state bits, for messages.
  std::string StateName () const;

private:
  uint8_t Control () const;
  void Start ();
  void TakeRequest ();
  void Present (const Bytes &Answer);
  void Violation (const std::string &What);
  void Serve ();

  BmcEndpoint *mEndpoint;
  uint8_t     mIndex;
  bool        mStarted = false;
  bool        mBBusy = false;
  bool        mHBusy = false;
  bool        mH2bAtn = false;
  bool        mB2hAtn = false;
  bool        mSmsAtn = false;
  bool        mWriteCleared = false;
  bool        mReading = false;
  BtFaults    mFaults;
  unsigned    mLatency = 0;
  bool        mServing = false;
  Bytes       mInput;
  Bytes       mOutput;
  size_t      mRead = 0;
  std::vector<Bytes> mQueue;   // answers to present, in order
};

}  // namespace OskelSim
