// What the transport's fuzzers share, whatever the interface: one call of
// the transport's operations as an input's call header chooses it, and the
// checks that hold for every interface. Each harness defines Finding and
// judges an answer against what its registers delivered.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include "IpmiTransport/Pei/IpmiTransportPei.h"
#include "SimulatedPei.h"

namespace OskelFuzz {

// Reports what the harness found and stops the run.
[[noreturn]] void
Finding (const char *What);

// A settings HOB naming a PM timer at 608h, where no device answers: every
// 32-bit read of it fails, a timer that never advances, so the first long
// wait hands over to the 8254.
inline void
AddStillPmTimer (
  OskelSim::SimulatedPei  &Pei
  )
{
  OskelSim::Bytes  Settings (IPMI_CONFIG_DATA_SIZE, 0);
  Settings[IPMI_CONFIG_PM_TIMER_OFFSET]     = 0x08;
  Settings[IPMI_CONFIG_PM_TIMER_OFFSET + 1] = 0x06;
  Pei.Hobs.AddGuidHob (IPMI_TRANSPORT_CONFIG_HOB_GUID, Settings);
}

// The transport's first run on the platform set up so far, and the PPI it
// installed.
inline IPMI_TRANSPORT_PPI *
StartTransport (
  OskelSim::SimulatedPei  &Pei
  )
{
  Pei.RegisterForShadowResult = EFI_SUCCESS;
  if (IpmiTransportPeiEntryPoint (Pei.FileHandle (), Pei.Services ()) != EFI_SUCCESS) {
    Finding ("entry failed");
  }

  auto  *Transport = static_cast<IPMI_TRANSPORT_PPI *>(Pei.Locate (IPMI_TRANSPORT_PPI_GUID));
  if (Transport == nullptr) {
    Finding ("transport not installed");
  }

  return Transport;
}

// A call's 5-byte header from the input (operation, NetFn, command,
// request length, capacity) and the request bytes after it; the length
// taken modulo LengthModulo when it is not 0.
struct FuzzedCall {
  uint8_t          Operation;
  uint8_t          NetFn;
  uint8_t          Command;
  uint8_t          Capacity;
  OskelSim::Bytes  Request;
};

template <typename Input>
FuzzedCall
ReadCall (
  Input     &From,
  unsigned  LengthModulo = 0
  )
{
  FuzzedCall  C;
  C.Operation = From.Next ();
  C.NetFn     = From.Next () & 0x3F;
  C.Command   = From.Next ();
  uint8_t  Length = From.Next ();
  if (LengthModulo != 0) {
    Length = static_cast<uint8_t>(Length % LengthModulo);
  }

  C.Capacity = From.Next ();
  C.Request.resize (Length);
  for (uint8_t &B : C.Request) {
    B = From.Next ();
  }

  return C;
}

// Operation % 8 chooses the call: SendCommand (0 to 3) of Request with a
// response buffer of exactly Capacity bytes on the heap (one byte more is
// an ASan report), PrepareSecondaryBmc, SelectBmc (Command % 4),
// TrackBmcStatus phase 0, phase 1. When the BMC answered (success or a
// completion code), JudgeAnswer (Status, Response, Stored) compares what
// the transport stored with what the interface delivered.
template <typename Judge>
void
CallTransport (
  CONST EFI_PEI_SERVICES   **Services,
  IPMI_TRANSPORT_PPI       *Transport,
  uint8_t                  Operation,
  uint8_t                  NetFn,
  uint8_t                  Command,
  const OskelSim::Bytes    &Request,
  uint8_t                  Capacity,
  Judge                    JudgeAnswer
  )
{
  switch (Operation % 8) {
    case 0:
    case 1:
    case 2:
    case 3: {
      const uint8_t               Length = static_cast<uint8_t>(Request.size ());
      std::unique_ptr<uint8_t[]>  Response (Capacity != 0 ? new uint8_t[Capacity] : nullptr);
      UINT8                       Stored = Capacity;
      EFI_STATUS                  Status = Transport->SendCommand (
                                             Services, Transport, NetFn, 0, Command,
                                             Length != 0 ? Request.data () : nullptr, Length,
                                             Response.get (), &Stored);
      if (Stored > Capacity) {
        Finding ("stored count above the capacity");
      }

      const bool  Answered = (Status == EFI_SUCCESS) || ((Status >= 1) && (Status <= 0xFF));
      if (!Answered && (Status != EFI_DEVICE_ERROR) && (Status != EFI_NOT_READY) && (Status != EFI_INVALID_PARAMETER) &&
          (Status != EFI_BAD_BUFFER_SIZE))
      {
        Finding ("status outside the transport's set");
      }

      if (Answered) {
        JudgeAnswer (Status, Response.get (), Stored);
      }

      break;
    }
    case 4:
      (void)Transport->PrepareSecondaryBmc (Services, Transport);
      break;
    case 5:
      (void)Transport->SelectBmc (Services, Transport, Command % 4);
      break;
    case 6: {
      UINT8  State = 0xFF;
      (void)Transport->TrackBmcStatus (Services, Transport, &State, 0, FALSE);
      if ((State != 0) && (State != IPMI_BMC_STATE_UNUSABLE)) {
        Finding ("phase 0 state neither usable nor unusable");
      }

      break;
    }
    default: {
      UINT8  State = 0xFF;
      (void)Transport->TrackBmcStatus (Services, Transport, &State, 1, static_cast<BOOLEAN>(Command & 1));
      break;
    }
  }
}

// The stored count and bytes against the answer the interface delivered,
// whose data starts at Taken[First]: as many as it carried, at most
// Capacity, each as delivered.
inline void
StoredAsDelivered (
  const OskelSim::Bytes  &Taken,
  size_t                 First,
  const uint8_t          *Response,
  UINT8                  Stored,
  uint8_t                Capacity
  )
{
  const size_t  Expected = std::min<size_t>(Taken.size () - First, Capacity);
  if (Stored != Expected) {
    Finding ("stored count differs from the bytes delivered");
  }

  for (size_t At = 0; At < Stored; At++) {
    if (Response[At] != Taken[First + At]) {
      Finding ("stored byte differs from the byte delivered");
    }
  }
}

}  // namespace OskelFuzz
