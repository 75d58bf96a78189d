// libFuzzer harness of the KCS transport: the BMC side of the registers
// and the clock come from the input. Every status register read, every
// data register read and every read of the 8254's counter takes the next
// input byte, so the fuzzer chooses the state bits, when IBF and OBF
// change, every byte of the answer and how far the clock moves between two
// polls, backwards and not at all included.
//
// Input: byte 0 the BMC count of the platform HOB (bits 1:0, 0 to 3) and,
// in bit 2, a settings HOB naming a PM timer at 608h whose reads fail (a
// timer that never advances, so the first long wait hands over to the
// 8254); then per call a 5-byte header (operation, NetFn, command, request
// length, capacity), the request bytes, then the register bytes the call
// consumes; the remaining input feeds the next call.
//
// Stops on an ASan/UBSan report (the response buffer is an exact heap
// block), a stored count above the capacity, a status outside the
// transport's set, a successful answer whose stored bytes or header differ
// from what the registers delivered, or a call that polls on past the
// transport's still polls with a clock that does not move.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "IpmiTransport/Pei/IpmiTransportPei.h"
#include "SimulatedPei.h"
#include "TransportFuzz.h"

void
OskelFuzz::Finding (const char *What)
{
  std::fprintf (stderr, "KCS fuzzer finding: %s\n", What);
  std::abort ();
}

namespace {

using OskelFuzz::Finding;
using OskelSim::Bytes;

struct Access {
  bool     Write;
  bool     Data;
  uint8_t  Value;
};

class FuzzedInterface : public OskelSim::PortDevice {
public:
  FuzzedInterface (const uint8_t *Input, size_t Size) : mInput (Input), mSize (Size) {}

  bool Claims (uint16_t Port) const override
  {
    // Base 0 and base 200h: CA2h/CA3h and EA2h/EA3h; the 8254 at 40h/43h.
    return (Port == 0x0CA2) || (Port == 0x0CA3) || (Port == 0x0EA2) || (Port == 0x0EA3) || (Port == 0x40) || (Port == 0x43);
  }

  uint8_t Read (uint16_t Port) override
  {
    // An exhausted input reads as a floating bus.
    uint8_t  Value = (mAt < mSize) ? mInput[mAt++] : 0xFF;
    if (Port == 0x40) {
      TakeClockByte (Value);
      return Value;
    }

    const bool  Data = (Port & 1) == 0;
    Log.push_back ({ false, Data, Value });
    if (Data) {
      StillPolls = 0;
    } else {
      MostStillPolls = std::max (MostStillPolls, ++StillPolls);
    }

    return Value;
  }

  void Write (uint16_t Port, uint8_t Value) override
  {
    if (Port == 0x43) {
      mClockBytes = 0;
      return;
    }

    Log.push_back ({ true, (Port & 1) == 0, Value });
    StillPolls = 0;
  }

  // Status reads since the 8254 last moved or the transaction last did
  // anything but read the status, and the most of them in this call.
  size_t StillPolls     = 0;
  size_t MostStillPolls = 0;

  uint8_t Next () { return (mAt < mSize) ? mInput[mAt++] : 0; }
  bool Exhausted () const { return mAt >= mSize; }

  std::vector<Access> Log;

private:
  // The latched count, low byte first; a count unlike the last one is a
  // clock that moved.
  void TakeClockByte (uint8_t Value)
  {
    mCount = (mClockBytes == 0) ? Value : static_cast<uint16_t>(mCount | (Value << 8));
    if (++mClockBytes == 2) {
      if (mCount != mLastCount) {
        StillPolls = 0;
      }

      mLastCount = mCount;
    }
  }

  const uint8_t  *mInput;
  size_t         mSize;
  size_t         mAt = 0;
  unsigned       mClockBytes = 0;
  uint16_t       mCount = 0;
  uint16_t       mLastCount = 0;
};


// Response bytes as the host took them: after the last request byte (the
// data write that follows Write End), each data register read that the
// host acknowledged with READ (68h) on the data register.
Bytes
Acknowledged (const std::vector<Access> &Log)
{
  Bytes   Out;
  size_t  Start = Log.size ();
  for (size_t At = Log.size (); At-- > 0; ) {
    if (Log[At].Write && !Log[At].Data && (Log[At].Value == 0x62)) {
      Start = At;
      break;
    }
  }

  while ((Start < Log.size ()) && !(Log[Start].Write && Log[Start].Data)) {
    Start++;
  }

  for (size_t At = Start + 1; At + 1 < Log.size (); At++) {
    if (!Log[At].Write && Log[At].Data && Log[At + 1].Write && Log[At + 1].Data && (Log[At + 1].Value == 0x68)) {
      Out.push_back (Log[At].Value);
    }
  }

  return Out;
}

}  // namespace

extern "C" int
LLVMFuzzerTestOneInput (const uint8_t *Data, size_t Size)
{
  if (Size < 1) {
    return 0;
  }

  OskelSim::Trace         Log;
  OskelSim::SimulatedPei  Pei (Log);
  FuzzedInterface         Interface (Data + 1, Size - 1);
  const uint8_t           Bmcs = Data[0] % 4;
  const bool              PmTimer = (Data[0] & 4) != 0;

  Pei.AttachPortDevice (&Interface);
  Pei.Hobs.AddPlatformBmcInfo (std::vector<uint16_t>({ 0x0000, 0x0200, 0x0200 }));
  if (Bmcs != 3) {
    // Count byte rewritten: the HOB lists three bases, the platform says Bmcs.
    Pei.Hobs.Clear ();
    std::vector<uint16_t>  Bases (Bmcs, 0x0200);
    if (Bmcs != 0) {
      Bases[0] = 0x0000;
    }

    Pei.Hobs.AddPlatformBmcInfo (Bases);
  }

  if (PmTimer) {
    OskelFuzz::AddStillPmTimer (Pei);
  }

  IPMI_TRANSPORT_PPI  *Transport = OskelFuzz::StartTransport (Pei);

  for (unsigned Call = 0; (Call < 16) && !Interface.Exhausted (); Call++) {
    const OskelFuzz::FuzzedCall  C        = OskelFuzz::ReadCall (Interface, 40);
    const uint8_t                NetFn    = C.NetFn;
    const uint8_t                Command  = C.Command;
    const uint8_t                Capacity = C.Capacity;

    Interface.Log.clear ();
    Interface.StillPolls     = 0;
    Interface.MostStillPolls = 0;
    OskelFuzz::CallTransport (
      Pei.Services (), Transport, C.Operation, NetFn, Command, C.Request, Capacity,
      [&](EFI_STATUS Status, const uint8_t *Response, UINT8 Stored) {
        const Bytes  Taken = Acknowledged (Interface.Log);
        if ((Taken.size () < 3) || (Taken[0] != static_cast<uint8_t>(((NetFn + 1) << 2) & 0xFF)) || (Taken[1] != Command) ||
            (Taken[2] != static_cast<uint8_t>(Status)))
        {
          Finding ("answer accepted with a wrong header");
        }

        OskelFuzz::StoredAsDelivered (Taken, 3, Response, Stored, Capacity);
      });

    // A clock that does not move ends a wait after the transport's still
    // polls. Between two accesses other than status reads a transaction
    // runs two waits at most (an IBF wait and the OBF wait after it), the
    // first ended by the status it waited for; the run in which the PM
    // timer is found still adds its still polls once more.
    if (Interface.MostStillPolls > (PmTimer ? 3u : 2u) * OskelTransport::CLOCK_STILL_POLLS) {
      Finding ("polled on past the still polls of a clock that does not move");
    }
  }

  return 0;
}
