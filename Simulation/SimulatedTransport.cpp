#include "SimulatedTransport.h"

#include <algorithm>
#include <cstring>

namespace OskelSim {

Reply
ScriptedBmc::Handle (const Request &R)
{
  if (!Queue.empty ()) {
    Reply  Next = Queue.front ();
    Queue.pop_front ();
    return Next;
  }

  return Handler ? Handler (R) : Default;
}

SimulatedTransport::SimulatedTransport (Trace &Log, size_t BmcCount) : Log (Log), mBmcs (BmcCount)
{
  mHolder.Ppi.Reserved[0]         = 0x49504D49;  // "IMPI", never read by the module
  mHolder.Ppi.SendCommand         = SendCommandThunk;
  mHolder.Ppi.TrackBmcStatus      = TrackBmcStatusThunk;
  mHolder.Ppi.SelectBmc           = SelectBmcThunk;
  mHolder.Ppi.GetBmcCount         = GetBmcCountThunk;
  mHolder.Ppi.PrepareSecondaryBmc = PrepareSecondaryBmcThunk;
  mHolder.Owner                   = this;
}

SimulatedTransport &
SimulatedTransport::From (IPMI_TRANSPORT_PPI *This)
{
  return *reinterpret_cast<Holder *>(This)->Owner;
}

EFI_STATUS EFIAPI
SimulatedTransport::SendCommandThunk (
  CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *This, UINT8 NetFn, UINT8 Lun, UINT8 Command,
  CONST UINT8 *RequestData, UINT8 RequestDataSize, UINT8 *ResponseData, UINT8 *ResponseDataSize
  )
{
  SimulatedTransport  &Self = From (This);
  Event               &E    = Self.Log.Add (EventKind::SendCommand);
  Request             R{ Self.Selected, NetFn, Lun, Command, {}, *ResponseDataSize };

  E.Bmc      = Self.Selected;
  E.NetFn    = NetFn;
  E.Lun      = Lun;
  E.Command  = Command;
  E.Capacity = *ResponseDataSize;
  if ((RequestData == nullptr) && (RequestDataSize != 0)) {
    E.RequestPointerNull = true;
  } else if (RequestDataSize != 0) {
    R.Data.assign (RequestData, RequestData + RequestDataSize);
  }

  E.Request = R.Data;

  Reply  Answer;
  if (Self.Selected < Self.mBmcs.size ()) {
    Bmc  &Target = Self.mBmcs[Self.Selected];
    Answer = (Target.Endpoint != nullptr) ? Target.Endpoint->Handle (R) : Target.Scripted.Handle (R);
  } else {
    Answer = Fail (EFI_DEVICE_ERROR);
  }

  Self.SendCount++;
  if (Self.SendHook) {
    Answer = Self.SendHook (R, std::move (Answer));
  }

  if (Answer.Status == EFI_SUCCESS) {
    size_t  Count = std::min<size_t>(Answer.Data.size (), *ResponseDataSize);
    if ((Count != 0) && (ResponseData != nullptr)) {
      std::memcpy (ResponseData, Answer.Data.data (), Count);
      E.Response.assign (Answer.Data.begin (), Answer.Data.begin () + Count);
    } else {
      Count = 0;
    }

    *ResponseDataSize = Answer.ReportedCount.value_or (static_cast<uint8_t>(Count));
    E.Received        = *ResponseDataSize;
  }

  E.Status = Answer.Status;
  return Answer.Status;
}

EFI_STATUS EFIAPI
SimulatedTransport::TrackBmcStatusThunk (CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *This, UINT8 *State, UINT8 Phase, BOOLEAN DeviceError)
{
  SimulatedTransport  &Self  = From (This);
  Event               &E     = Self.Log.Add (EventKind::TrackBmcStatus);
  EFI_STATUS          Status = EFI_SUCCESS;

  E.Bmc   = Self.Selected;
  E.Index = Phase;
  E.Flag  = DeviceError;
  if ((Phase == 0) && (Self.Selected < Self.mBmcs.size ())) {
    Bmc                     &Target = Self.mBmcs[Self.Selected];
    std::optional<uint8_t>  NewState = Target.HealthState;

    Status = Target.HealthStatus;
    if (Self.HealthHook) {
      Self.HealthHook (Self.Selected, Status, NewState);
    }

    if (NewState.has_value ()) {
      *State = *NewState;
    }
  }

  E.Value  = *State;
  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedTransport::SelectBmcThunk (CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *This, UINT8 Index)
{
  SimulatedTransport  &Self  = From (This);
  Event               &E     = Self.Log.Add (EventKind::SelectBmc);
  EFI_STATUS          Status = (Index < Self.mBmcs.size ()) ? Self.mBmcs[Index].SelectStatus : EFI_INVALID_PARAMETER;

  E.Bmc   = Self.Selected;
  E.Index = Index;
  if (Status == EFI_SUCCESS) {
    Self.Selected = Index;
  }

  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedTransport::GetBmcCountThunk (CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *This, UINT8 *Count)
{
  SimulatedTransport  &Self = From (This);
  Event               &E    = Self.Log.Add (EventKind::GetBmcCount);

  *Count   = Self.ReportedCount.value_or (static_cast<uint8_t>(Self.mBmcs.size ()));
  E.Bmc    = Self.Selected;
  E.Value  = *Count;
  E.Status = EFI_SUCCESS;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI
SimulatedTransport::PrepareSecondaryBmcThunk (CONST EFI_PEI_SERVICES **, IPMI_TRANSPORT_PPI *This)
{
  SimulatedTransport  &Self = From (This);
  Event               &E    = Self.Log.Add (EventKind::PrepareSecondaryBmc);

  E.Bmc    = Self.Selected;
  E.Status = Self.PrepareSecondaryStatus;
  return Self.PrepareSecondaryStatus;
}

}  // namespace OskelSim
