// An IPMI transport PPI over N simulated BMCs. Each BMC is an endpoint that
// answers a request with a status and data; tests script the answers, the
// simulator plugs in a stateful BMC model. The transport honours the
// response capacity like a real one and records every call in the Trace.
#pragma once

#include <Ppi/IpmiTransport.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "Trace.h"

namespace OskelSim {

struct Request {
  uint8_t Bmc;
  uint8_t NetFn;
  uint8_t Lun;
  uint8_t Command;
  Bytes   Data;
  uint8_t Capacity;
};

struct Reply {
  EFI_STATUS Status = EFI_SUCCESS;  // a positive value is a completion code
  Bytes      Data;                  // response data, completion code removed
  // When set, the count reported back instead of the bytes actually
  // delivered (a transport that misreports, for robustness tests).
  std::optional<uint8_t> ReportedCount;
};

inline Reply Ok (Bytes Data = {}) { return Reply{ EFI_SUCCESS, std::move (Data), std::nullopt }; }
inline Reply Fail (EFI_STATUS Status) { return Reply{ Status, {}, std::nullopt }; }

class BmcEndpoint {
public:
  virtual ~BmcEndpoint () = default;
  virtual Reply Handle (const Request &R) = 0;
};

// Answers from a queue, then from a handler, then with Default.
class ScriptedBmc : public BmcEndpoint {
public:
  std::deque<Reply>                           Queue;
  std::function<Reply (const Request &)>      Handler;
  Reply                                       Default = Ok ();

  ScriptedBmc &Then (Reply R) { Queue.push_back (std::move (R)); return *this; }
  Reply Handle (const Request &R) override;
};

class SimulatedTransport {
public:
  SimulatedTransport (Trace &Log, size_t BmcCount);
  SimulatedTransport (const SimulatedTransport &) = delete;
  SimulatedTransport &operator= (const SimulatedTransport &) = delete;

  IPMI_TRANSPORT_PPI *Ppi () { return &mHolder.Ppi; }

  struct Bmc {
    ScriptedBmc            Scripted;
    BmcEndpoint            *Endpoint = nullptr;  // NULL: Scripted answers
    // Phase 0 of TrackBmcStatus: the status returned and the state written.
    EFI_STATUS             HealthStatus = EFI_SUCCESS;
    std::optional<uint8_t> HealthState = uint8_t (0);  // nullopt: state left as given
    EFI_STATUS             SelectStatus = EFI_SUCCESS;
  };

  Bmc &At (size_t Index) { return mBmcs.at (Index); }
  ScriptedBmc &Script (size_t Index) { return mBmcs.at (Index).Scripted; }
  void Attach (size_t Index, BmcEndpoint *Endpoint) { mBmcs.at (Index).Endpoint = Endpoint; }
  void MarkUnusable (size_t Index) { mBmcs.at (Index).HealthState = IPMI_BMC_STATE_UNUSABLE; }
  size_t Size () const { return mBmcs.size (); }

  // Fault injection and fuzzing: SendHook sees every request with the
  // endpoint's reply and returns the reply to deliver; HealthHook may change
  // the status and state byte of any phase-0 answer.
  std::function<Reply (const Request &, Reply)>                    SendHook;
  std::function<void (uint8_t Bmc, EFI_STATUS &, std::optional<uint8_t> &)> HealthHook;
  size_t SendCount = 0;                   // SendCommand calls so far

  std::optional<uint8_t> ReportedCount;   // GetBmcCount answer when set
  EFI_STATUS PrepareSecondaryStatus = EFI_SUCCESS;
  uint8_t Selected = 0;

  Trace &Log;

private:
  struct Holder {
    IPMI_TRANSPORT_PPI Ppi;
    SimulatedTransport *Owner;
  };

  static SimulatedTransport &From (IPMI_TRANSPORT_PPI *This);
  static EFI_STATUS EFIAPI SendCommandThunk (CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *, UINT8, UINT8, UINT8, CONST UINT8 *, UINT8, UINT8 *, UINT8 *);
  static EFI_STATUS EFIAPI TrackBmcStatusThunk (CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *, UINT8 *, UINT8, BOOLEAN);
  static EFI_STATUS EFIAPI SelectBmcThunk (CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *, UINT8);
  static EFI_STATUS EFIAPI GetBmcCountThunk (CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *, UINT8 *);
  static EFI_STATUS EFIAPI PrepareSecondaryBmcThunk (CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *);

  Holder           mHolder{};
  std::vector<Bmc> mBmcs;
};

}  // namespace OskelSim
