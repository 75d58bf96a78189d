// The BMC's side of a KCS system interface, register by register: the data
// register at base + CA2h and the status/command register at base + CA3h,
// the IDLE/READ/WRITE/ERROR states, IBF and OBF, the Write Start, Write End,
// Read and Get Status/Abort control codes. Requests it assembles go to any
// BMC endpoint (a scripted BMC or the stateful model); the answer goes back
// byte by byte. Faults are scripted per transaction. Host only.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "SimulatedPei.h"
#include "SimulatedTransport.h"
#include "Trace.h"

namespace OskelSim {

struct PortAccess {
  bool     Write;
  uint16_t Port;
  uint8_t  Value;

  bool operator== (const PortAccess &Other) const = default;
};

// "R CA3=42", "W CA2=18": one access as a line.
std::string Describe (const PortAccess &Access);

struct KcsFaults {
  // Status reads that show IBF before a transaction starts (a BMC still
  // busy with something else); ~0u: for good.
  unsigned BusyPolls = 0;
  // The Nth host write of a transaction (1-based) is never taken: IBF
  // stays set from then on. 0: none.
  unsigned IbfStuckAtWrite = 0;
  // The answer is never presented: OBF stays clear in the READ state.
  bool ObfNeverSets = false;
  // ERROR state when the BMC takes this request byte (0: NetFn/LUN).
  std::optional<size_t> ErrorAtRequestByte;
  // ERROR state instead of presenting this response byte (0: NetFn/LUN).
  std::optional<size_t> ErrorAtResponseByte;
  // Header bytes of the answer replaced.
  std::optional<uint8_t> ResponseNetFnLun;
  std::optional<uint8_t> ResponseCommand;
  // Back to IDLE after the request without a single response byte.
  bool EmptyResponse = false;
  // The answer cut after this many bytes (header included), then IDLE.
  std::optional<size_t> TruncateResponse;
  // A byte left over in the output register before the transaction.
  bool StaleOutput = false;
  // The abort gets no status byte: the interface stays in WRITE.
  bool AbortIgnored = false;
};

class KcsBmcModel : public PortDevice {
public:
  KcsBmcModel (uint16_t IoBase, BmcEndpoint &Endpoint, uint8_t Index = 0);

  bool Claims (uint16_t Port) const override { return (Port == DataPort) || (Port == StatusPort); }
  uint8_t Read (uint16_t Port) override;
  void Write (uint16_t Port, uint8_t Value) override;

  const uint16_t DataPort;
  const uint16_t StatusPort;

  // Faults for the next transactions; Once is consumed by the next Write
  // Start, Always applies to every one.
  KcsFaults Always;
  std::optional<KcsFaults> Once;
  // Status reads during which IBF stays set after each host write.
  unsigned IbfLatency = 0;
  // Not fitted: both registers read FFh, as a floating LPC bus does, and
  // writes go nowhere.
  bool     Absent = false;

  // Every access, in order, when Recording.
  bool                    Recording = true;
  std::vector<PortAccess> Accesses;
  std::vector<Request>    Requests;     // as assembled from the write phase
  std::vector<Bytes>      Responses;    // as offered, header included
  unsigned                Aborts = 0;   // Get Status/Abort sequences completed
  std::vector<size_t>     ExchangeStarts;  // index in Accesses of each Write Start
  unsigned                StatusReads = 0;
  // When set, every request the BMC answers is also recorded there as a
  // SendCommand event of this BMC (status: the completion code).
  Trace                   *Log = nullptr;
  uint8_t                 ErrorCode = 0;   // status byte the abort reports

  void SetEndpoint (BmcEndpoint &Endpoint) { mEndpoint = &Endpoint; }

  // Ready for a new transaction: IDLE, nothing pending, faults kept.
  void Reset ();
  std::string StateName () const;

private:
  enum class Phase { Idle, Write, WriteLast, Read, Error, AbortWrite, AbortRead };

  uint8_t StatusByte () const;
  void Arm ();
  void EnterIdle ();
  void Fail (uint8_t Code);
  void Present ();
  void Finish ();
  void Take (uint16_t Port, uint8_t Value);
  void TakeRequestByte (uint8_t Value);

  BmcEndpoint *mEndpoint;
  uint8_t     mIndex;
  Phase       mPhase = Phase::Idle;
  KcsFaults   mFaults;
  bool        mObf = false;
  bool        mCommandLast = false;
  bool        mStuck = false;
  bool        mArmed = false;
  bool        mDummy = false;   // the closing dummy byte not yet read
  unsigned    mBusy = 0;
  uint8_t     mOutput = 0;
  unsigned    mLatency = 0;
  unsigned    mWrites = 0;
  Bytes       mRequest;
  Bytes       mResponse;
  size_t      mNext = 0;
};

}  // namespace OskelSim
