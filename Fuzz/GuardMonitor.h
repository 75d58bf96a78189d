// A transport in front of the simulated one that watches every call from
// the module's side, for the fuzzer and the fault-injection tests:
//  - each phase 1 must name the state byte of a phase 0 still open, once;
//  - every SendCommand must run under an open guard, and a guard that sent
//    must end with its phase 1; a guard that ends without one (refused, or
//    refused late) must have sent nothing;
//  - the phase-1 flag of a guard with no guard inside it must say whether
//    its last send failed with EFI_DEVICE_ERROR;
//  - the bytes of a ScratchBuffer response past what the transport reported
//    are overwritten with POISON, so a copy from beyond the received answer
//    shows up in the caller's outputs.
// A guard is known by the address of its state byte, a local of the
// guard's frame: once the stack has come back above that address, the
// guard is over.
#pragma once

#include <Ppi/BmcCommands.h>

#include <cstdint>
#include <string>
#include <vector>

#include "SimulatedTransport.h"

namespace OskelCheck {

constexpr uint8_t  POISON = 0xD7;
constexpr uint8_t  FILLER = 0x5A;   // reported but not delivered: the module may take these

class GuardMonitor {
public:
  GuardMonitor (OskelSim::SimulatedTransport &Inner, BMC_COMMANDS_PPI *Service)
    : mInner (Inner), mService (Service), mSaved (Service->Transport)
  {
    mHolder.Ppi                     = *Inner.Ppi ();
    mHolder.Ppi.SendCommand         = SendCommandThunk;
    mHolder.Ppi.TrackBmcStatus      = TrackBmcStatusThunk;
    mHolder.Ppi.SelectBmc           = SelectBmcThunk;
    mHolder.Ppi.GetBmcCount         = GetBmcCountThunk;
    mHolder.Ppi.PrepareSecondaryBmc = PrepareSecondaryBmcThunk;
    mHolder.Owner                   = this;
    Service->Transport              = &mHolder.Ppi;
    mOpen.reserve (8);
  }

  ~GuardMonitor () { mService->Transport = mSaved; }

  GuardMonitor (const GuardMonitor &) = delete;
  GuardMonitor &operator= (const GuardMonitor &) = delete;

  // Ends the operation: the guards still open never had their phase 1, so
  // they must have sent nothing. Returns the faults seen since the last
  // Finish.
  std::vector<std::string> Finish ()
  {
    while (!mOpen.empty ()) {
      EndWithoutPhase1 ();
    }

    std::vector<std::string> Seen;
    Seen.swap (mFaults);
    return Seen;
  }

  size_t Sends = 0;
  size_t Phase0 = 0;
  size_t Phase1 = 0;
  bool   Poison = true;

private:
  struct Guard {
    UINT8       *State;
    size_t      Sends;
    bool        Inner;
    EFI_STATUS  LastSend;
  };

  struct Holder {
    IPMI_TRANSPORT_PPI Ppi;
    GuardMonitor       *Owner;
  };

  static GuardMonitor &From (IPMI_TRANSPORT_PPI *This) { return *reinterpret_cast<Holder *>(This)->Owner; }
  IPMI_TRANSPORT_PPI *Inner () { return mInner.Ppi (); }

  void Fault (const std::string &What) { mFaults.push_back (What); }

  // Drops the innermost guard, which ended without phase 1. A refused
  // guard sends nothing; sends counted against it were made after it had
  // returned, by the guard around it (the monitor cannot always tell a
  // returned frame from a live one), so they go to that guard. With no
  // guard around it they were made without a phase 1 to follow.
  void EndWithoutPhase1 ()
  {
    Guard  G = mOpen.back ();

    mOpen.pop_back ();
    if (G.Sends == 0) {
      return;
    }

    if (mOpen.empty ()) {
      Fault ("a guard sent " + std::to_string (G.Sends) + " command(s) and ended without phase 1");
      return;
    }

    mOpen.back ().Sends   += G.Sends;
    mOpen.back ().LastSend = G.LastSend;
    mOpen.back ().Inner    = true;
  }

  // Guards whose state byte lies below the caller's frame belong to
  // frames that have returned.
  void Prune (const void *Frame)
  {
    while (!mOpen.empty () && (reinterpret_cast<uintptr_t>(mOpen.back ().State) < reinterpret_cast<uintptr_t>(Frame))) {
      EndWithoutPhase1 ();
    }
  }

  static EFI_STATUS EFIAPI
  TrackBmcStatusThunk (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *State, UINT8 Phase, BOOLEAN DeviceError)
  {
    GuardMonitor  &Self = From (This);

    Self.Prune (__builtin_frame_address (0));
    if (Phase == IPMI_TRACK_PHASE_BEFORE_COMMAND) {
      Self.Phase0++;
      if (!Self.mOpen.empty ()) {
        Self.mOpen.back ().Inner = true;
      }

      Self.mOpen.push_back (Guard{ State, 0, false, EFI_SUCCESS });
    } else {
      Self.Phase1++;
      size_t  Index = Self.mOpen.size ();
      while ((Index > 0) && (Self.mOpen[Index - 1].State != State)) {
        Index--;
      }

      if (Index == 0) {
        Self.Fault ("phase 1 without an open phase 0 (or a second phase 1 in one guard)");
      } else {
        while (Self.mOpen.size () > Index) {
          Self.EndWithoutPhase1 ();
        }

        const Guard  &G       = Self.mOpen.back ();
        bool         Expected = (G.Sends != 0) && (G.LastSend == EFI_DEVICE_ERROR);
        if (!G.Inner && ((DeviceError != 0) != Expected)) {
          Self.Fault (std::string ("phase 1 flag ") + (DeviceError ? "1" : "0") + " after a last send that " +
                      (Expected ? "failed with EFI_DEVICE_ERROR" : "did not fail with EFI_DEVICE_ERROR"));
        }

        Self.mOpen.pop_back ();
      }
    }

    return Self.Inner ()->TrackBmcStatus (PeiServices, Self.Inner (), State, Phase, DeviceError);
  }

  static EFI_STATUS EFIAPI
  SendCommandThunk (
    CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 NetFn, UINT8 Lun, UINT8 Command,
    CONST UINT8 *Request, UINT8 RequestSize, UINT8 *Response, UINT8 *ResponseSize
    )
  {
    GuardMonitor  &Self = From (This);

    Self.Prune (__builtin_frame_address (0));
    Self.Sends++;
    if (Self.mOpen.empty ()) {
      Self.Fault ("SendCommand outside any guard");
    }

    UINT8       Capacity = (ResponseSize != nullptr) ? *ResponseSize : 0;
    EFI_STATUS  Status   = Self.Inner ()->SendCommand (PeiServices, Self.Inner (), NetFn, Lun, Command, Request, RequestSize, Response, ResponseSize);

    if (!Self.mOpen.empty ()) {
      Self.mOpen.back ().Sends++;
      Self.mOpen.back ().LastSend = Status;
    }

    UINT8  *Scratch = Self.mService->ScratchBuffer;
    if (Self.Poison && (Response >= Scratch) && (Response < Scratch + BMC_SCRATCH_BUFFER_SIZE)) {
      size_t  Delivered = Self.mInner.Log.Events.back ().Response.size ();
      size_t  Reported  = (Status == EFI_SUCCESS) ? *ResponseSize : 0;
      size_t  Room      = static_cast<size_t>(Scratch + BMC_SCRATCH_BUFFER_SIZE - Response);
      for (size_t Index = 0; Index < Capacity && Index < Room; Index++) {
        if (Index >= Reported) {
          Response[Index] = POISON;
        } else if (Index >= Delivered) {
          Response[Index] = FILLER;
        }
      }
    }

    return Status;
  }

  static EFI_STATUS EFIAPI
  SelectBmcThunk (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 Index)
  {
    GuardMonitor  &Self = From (This);

    Self.Prune (__builtin_frame_address (0));
    return Self.Inner ()->SelectBmc (PeiServices, Self.Inner (), Index);
  }

  static EFI_STATUS EFIAPI
  GetBmcCountThunk (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *Count)
  {
    GuardMonitor  &Self = From (This);

    Self.Prune (__builtin_frame_address (0));
    return Self.Inner ()->GetBmcCount (PeiServices, Self.Inner (), Count);
  }

  static EFI_STATUS EFIAPI
  PrepareSecondaryBmcThunk (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This)
  {
    GuardMonitor  &Self = From (This);

    Self.Prune (__builtin_frame_address (0));
    return Self.Inner ()->PrepareSecondaryBmc (PeiServices, Self.Inner ());
  }

  OskelSim::SimulatedTransport  &mInner;
  BMC_COMMANDS_PPI              *mService;
  IPMI_TRANSPORT_PPI            *mSaved;
  Holder                        mHolder{};
  std::vector<Guard>            mOpen;
  std::vector<std::string>      mFaults;
};

}  // namespace OskelCheck
