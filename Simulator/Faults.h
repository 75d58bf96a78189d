// Faults a BMC of the virtual board can be given: a number of sends that
// the transport answers EFI_NOT_READY, chosen commands answered with an
// EFI error or a completion code, and answers cut short. They wrap any
// endpoint, the model or a real BMC peer alike.
#pragma once

#include <optional>
#include <vector>

#include "SimulatedTransport.h"

namespace OskelSim {

struct CommandMatch {
  std::optional<uint8_t> NetFn;    // nullopt: any
  std::optional<uint8_t> Command;  // nullopt: any

  bool Matches (const Request &R) const
  {
    return (!NetFn || (*NetFn == R.NetFn)) && (!Command || (*Command == R.Command));
  }
};

struct FaultRule {
  CommandMatch Match;
  EFI_STATUS   Status = EFI_SUCCESS;  // an EFI error, or a completion code
};

struct ShortRule {
  CommandMatch Match;
  size_t       Drop = 1;              // trailing answer bytes withheld
};

class FaultyBmc : public BmcEndpoint {
public:
  explicit FaultyBmc (BmcEndpoint &Inner) : mInner (Inner) {}

  unsigned               NotReady = 0;  // the next sends answered EFI_NOT_READY
  std::vector<FaultRule> Rules;
  std::vector<ShortRule> Shorts;

  bool Any () const { return (NotReady != 0) || !Rules.empty () || !Shorts.empty (); }

  Reply
  Handle (const Request &R) override
  {
    if (NotReady != 0) {
      NotReady--;
      return Fail (EFI_NOT_READY);
    }

    for (const FaultRule &Rule : Rules) {
      if (Rule.Match.Matches (R)) {
        return Fail (Rule.Status);
      }
    }

    Reply  Answer = mInner.Handle (R);
    for (const ShortRule &Rule : Shorts) {
      if (Rule.Match.Matches (R) && (Answer.Status == EFI_SUCCESS)) {
        Answer.Data.resize (Answer.Data.size () > Rule.Drop ? Answer.Data.size () - Rule.Drop : 0);
      }
    }

    return Answer;
  }

private:
  BmcEndpoint &mInner;
};

}  // namespace OskelSim
