// libFuzzer harness of the IPMI transport's BT interface: the BMC side of
// the registers and the clock come from the input. Every control register
// read, every B2H buffer read and every read of the 8254's counter takes
// the next input byte, so the fuzzer chooses B_BUSY, H2B_ATN, B2H_ATN and
// every other state bit at every poll, every byte of every answer (its
// length, sequence number and header included, so late and foreign
// answers too) and how far the clock moves between two polls.
//
// Input: byte 0 the BMC count of the platform HOB (bits 1:0, 0 to 3), every
// BMC on BT (control registers at E4h, E8h, ECh), and in bit 2 a settings
// HOB naming a PM timer at 608h whose reads fail (so the first long wait
// hands over to the 8254); then per call a 5-byte header (operation,
// NetFn, command, request length, capacity), the request bytes, then the
// register bytes the call consumes; the remaining input feeds the next
// call.
//
// Stops on an ASan/UBSan report (the response buffer is an exact heap
// block), a stored count above the capacity, a status outside the
// transport's set, an accepted answer whose length, NetFn, sequence number
// or command is not the request's or whose stored bytes differ from what
// the buffer delivered, a request message whose length byte does not count
// what follows, a write of the interrupt mask register or of SMS_ATN, a
// phase-0 state other than 0 or 1, and a call that polls on past the
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
  std::fprintf (stderr, "BT fuzzer finding: %s\n", What);
  std::abort ();
}

namespace {

using OskelFuzz::Finding;
using OskelSim::Bytes;

constexpr uint16_t  mControls[] = { 0x00E4, 0x00E8, 0x00EC };

struct Access {
  bool     Write;
  bool     Buffer;
  uint8_t  Value;
};


class FuzzedInterfaces : public OskelSim::PortDevice {
public:
  FuzzedInterfaces (const uint8_t *Input, size_t Size) : mInput (Input), mSize (Size) {}

  bool Claims (uint16_t Port) const override
  {
    for (uint16_t Control : mControls) {
      if ((Port >= Control) && (Port <= Control + 2)) {
        return true;
      }
    }

    return (Port == 0x40) || (Port == 0x43);
  }

  uint8_t Read (uint16_t Port) override
  {
    // An exhausted input reads as a floating bus.
    uint8_t  Value = (mAt < mSize) ? mInput[mAt++] : 0xFF;
    if (Port == 0x40) {
      TakeClockByte (Value);
      return Value;
    }

    const bool  Buffer = (Port & 3) != 0;
    Log.push_back ({ false, Buffer, Value });
    if (Buffer) {
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

    for (uint16_t Control : mControls) {
      if (Port == Control + 2) {
        Finding ("wrote the interrupt mask register");
      }
    }

    const bool  Buffer = (Port & 3) != 0;
    if (!Buffer && ((Value & 0x10) != 0)) {
      Finding ("cleared SMS_ATN");
    }

    Log.push_back ({ true, Buffer, Value });
    StillPolls = 0;
  }

  size_t StillPolls     = 0;
  size_t MostStillPolls = 0;

  uint8_t Next () { return (mAt < mSize) ? mInput[mAt++] : 0; }
  bool Exhausted () const { return mAt >= mSize; }

  std::vector<Access> Log;

private:
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

// The last request message: the buffer writes after the last CLR_WR_PTR.
// Each message written must have a length byte that counts what follows.
Bytes
LastMessage (const std::vector<Access> &Log)
{
  Bytes  Message;
  bool   Open = false;

  for (const Access &A : Log) {
    if (A.Write && !A.Buffer && ((A.Value & 0x01) != 0)) {
      Message.clear ();
      Open = true;
    } else if (A.Write && A.Buffer && Open) {
      Message.push_back (A.Value);
    } else if (A.Write && !A.Buffer && ((A.Value & 0x04) != 0)) {
      if (Message.empty () || (Message[0] != Message.size () - 1)) {
        Finding ("request message whose length byte does not count what follows");
      }

      Open = false;
    }
  }

  return Message;
}

// The last answer taken: the buffer reads after the last CLR_RD_PTR.
Bytes
LastAnswer (const std::vector<Access> &Log)
{
  Bytes  Answer;

  for (const Access &A : Log) {
    if (A.Write && !A.Buffer && ((A.Value & 0x02) != 0)) {
      Answer.clear ();
    } else if (!A.Write && A.Buffer) {
      Answer.push_back (A.Value);
    }
  }

  return Answer;
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
  FuzzedInterfaces        Interfaces (Data + 1, Size - 1);
  const uint8_t           Bmcs    = Data[0] % 4;
  const bool              PmTimer = (Data[0] & 4) != 0;

  Pei.AttachPortDevice (&Interfaces);
  Pei.Hobs.AddPlatformBmcInfo (std::vector<uint16_t>(Bmcs, 0x0000));
  Bytes  Entries{ Bmcs, 0, 0, 0 };
  for (uint8_t Index = 0; Index < Bmcs; Index++) {
    Entries.insert (Entries.end (), { IPMI_INTERFACE_BT, 0, static_cast<uint8_t>(mControls[Index]), 0 });
  }

  Pei.Hobs.AddGuidHob (IPMI_TRANSPORT_INTERFACES_HOB_GUID, Entries);
  if (PmTimer) {
    OskelFuzz::AddStillPmTimer (Pei);
  }

  IPMI_TRANSPORT_PPI  *Transport = OskelFuzz::StartTransport (Pei);

  for (unsigned Call = 0; (Call < 16) && !Interfaces.Exhausted (); Call++) {
    const OskelFuzz::FuzzedCall  C        = OskelFuzz::ReadCall (Interfaces);
    const uint8_t                NetFn    = C.NetFn;
    const uint8_t                Command  = C.Command;
    const uint8_t                Capacity = C.Capacity;

    Interfaces.Log.clear ();
    Interfaces.StillPolls     = 0;
    Interfaces.MostStillPolls = 0;
    OskelFuzz::CallTransport (
      Pei.Services (), Transport, C.Operation, NetFn, Command, C.Request, Capacity,
      [&](EFI_STATUS Status, const uint8_t *Response, UINT8 Stored) {
        // The answer the transport took: its length byte, then NetFn + 1,
        // the request's sequence number, its command, the code, the data.
        const Bytes  Message = LastMessage (Interfaces.Log);
        const Bytes  Taken   = LastAnswer (Interfaces.Log);
        if ((Message.size () < 4) || (Message[1] != static_cast<uint8_t>(NetFn << 2)) || (Message[3] != Command)) {
          Finding ("answer accepted for a request that was not written");
        }

        if ((Taken.size () < 5) || (Taken[0] != Taken.size () - 1) || (Taken[1] != static_cast<uint8_t>((NetFn + 1) << 2)) ||
            (Taken[2] != Message[2]) || (Taken[3] != Command) || (Taken[4] != static_cast<uint8_t>(Status)))
        {
          Finding ("answer accepted with a wrong length, header or sequence number");
        }

        OskelFuzz::StoredAsDelivered (Taken, 5, Response, Stored, Capacity);
      });

    (void)LastMessage (Interfaces.Log);

    // A clock that does not move ends a wait after the transport's still
    // polls. Between two accesses other than control reads a transaction
    // runs one wait, ended by the status it waited for or by its end; the
    // run in which the PM timer is found still adds its still polls once
    // more.
    if (Interfaces.MostStillPolls > (PmTimer ? 3u : 2u) * OskelTransport::CLOCK_STILL_POLLS) {
      Finding ("polled on past the still polls of a clock that does not move");
    }
  }

  return 0;
}
