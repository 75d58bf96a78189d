/** @file
  The five operations of IpmiTransportPpi over one system interface per
  BMC: the transaction, the selection, the count and the health
  bookkeeping.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "IpmiTransportPei.h"

using namespace OskelTransport;

namespace {

//
// Our record holds its own address in the PPI's second word; the first
// word alone would pass any copy of the PPI, and a copy's neighbours are
// not a BMC table. Nothing past the PPI is read to decide. A record of ours
// takes the caller's services, when given, for the transactions to come.
//
TRANSPORT_PRIVATE *
RecordOf (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This
  )
{
  TRANSPORT_PRIVATE  *Private = reinterpret_cast<TRANSPORT_PRIVATE *>(This);

  if ((This == nullptr) || (This->Reserved[0] != TRANSPORT_SIGNATURE) ||
      (This->Reserved[1] != static_cast<UINT32>(reinterpret_cast<UINTN>(This))))
  {
    return nullptr;
  }

  if (PeiServices != nullptr) {
    Private->PeiServices = PeiServices;
  }

  return Private;
}

}  // namespace

extern "C" EFI_STATUS EFIAPI
TransportSendCommand (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  IN UINT8                   NetFn,
  IN UINT8                   Lun,
  IN UINT8                   Command,
  IN CONST UINT8             *RequestData OPTIONAL,
  IN UINT8                   RequestDataSize,
  OUT UINT8                  *ResponseData OPTIONAL,
  IN OUT UINT8               *ResponseDataSize
  )
{
  TRANSPORT_PRIVATE  *Private;
  UINT8                  Capacity;
  EFI_STATUS             Status;

  //
  // From here on the size says what was stored: nothing yet.
  //
  if (ResponseDataSize == nullptr) {
    return EFI_INVALID_PARAMETER;
  }

  Capacity          = *ResponseDataSize;
  *ResponseDataSize = 0;
  Private           = RecordOf (PeiServices, This);
  if ((Private == nullptr) || (NetFn > MAX_NETFN) || (Lun > MAX_LUN) ||
      ((RequestData == nullptr) && (RequestDataSize != 0)) ||
      ((ResponseData == nullptr) && (Capacity != 0)))
  {
    return EFI_INVALID_PARAMETER;
  }

  //
  // A platform that declares no BMC has no interface to talk to; a BMC
  // written off is not asked (IpmiTransportPei.h, PROBE).
  //
  if ((Private->State.Selected >= Private->BmcCount) || (Private->State.Health[Private->State.Selected] == WRITTEN_OFF)) {
    return EFI_DEVICE_ERROR;
  }

  Private->Sink.Data     = ResponseData;
  Private->Sink.Capacity = Capacity;
  Status                 = Transact (
                             Private,
                             Private->State.Selected,
                             NetFnLun (NetFn, Lun),
                             Command,
                             RequestData,
                             RequestDataSize
                             );
  *ResponseDataSize = Private->Sink.Stored;
  return Status;
}

extern "C" EFI_STATUS EFIAPI
TransportTrackBmcStatus (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  IN OUT UINT8               *State,
  IN UINT8                   Phase,
  IN BOOLEAN                 DeviceError
  )
{
  TRANSPORT_PRIVATE  *Private;
  UINT8                  *Health;

  (VOID)PeiServices;
  (VOID)DeviceError;
  Private = RecordOf (nullptr, This);
  if (Private == nullptr) {
    return EFI_INVALID_PARAMETER;
  }

  //
  // The health is kept by each transaction itself, which knows silence
  // from an answer; phase 1 has nothing to add.
  //
  if (Phase == IPMI_TRACK_PHASE_BEFORE_COMMAND) {
    if (State == nullptr) {
      return EFI_INVALID_PARAMETER;
    }

    Health = &Private->State.Health[Private->State.Selected];
    *State = 0;
    if (*Health >= WRITTEN_OFF) {
      *Health = PROBE;
      *State  = IPMI_BMC_STATE_UNUSABLE;
    }

    return EFI_SUCCESS;
  }

  return (Phase == IPMI_TRACK_PHASE_AFTER_COMMAND) ? EFI_SUCCESS : EFI_INVALID_PARAMETER;
}

extern "C" EFI_STATUS EFIAPI
TransportSelectBmc (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  IN UINT8                   Index
  )
{
  TRANSPORT_PRIVATE  *Private;

  (VOID)PeiServices;
  Private = RecordOf (nullptr, This);
  if ((Private == nullptr) || (Index >= Private->BmcCount)) {
    return EFI_INVALID_PARAMETER;
  }

  Private->State.Selected = Index;
  return EFI_SUCCESS;
}

extern "C" EFI_STATUS EFIAPI
TransportGetBmcCount (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  OUT UINT8                  *Count
  )
{
  TRANSPORT_PRIVATE  *Private;

  (VOID)PeiServices;
  Private = RecordOf (nullptr, This);
  if ((Private == nullptr) || (Count == nullptr)) {
    return EFI_INVALID_PARAMETER;
  }

  *Count = Private->BmcCount;
  return EFI_SUCCESS;
}

//
// BMC 1 must answer Get Device ID with completion code 00h; one written
// off is refused without a port access. The selection is left as it is:
// the caller selects BMC 1 and runs its own phase 0 afterwards.
//
extern "C" EFI_STATUS EFIAPI
TransportPrepareSecondaryBmc (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This
  )
{
  TRANSPORT_PRIVATE  *Private;
  EFI_STATUS             Status;

  Private = RecordOf (PeiServices, This);
  if (Private == nullptr) {
    return EFI_INVALID_PARAMETER;
  }

  if (Private->BmcCount < 2) {
    return EFI_NOT_FOUND;
  }

  if (Private->State.Health[1] >= WRITTEN_OFF) {
    return EFI_DEVICE_ERROR;
  }

  Private->Sink.Data     = nullptr;
  Private->Sink.Capacity = 0;
  Status                 = Transact (Private, 1, NetFnLun (IPMI_NETFN_APP, 0), IPMI_CMD_GET_DEVICE_ID, nullptr, 0);
  return (Status == EFI_SUCCESS) ? EFI_SUCCESS : EFI_DEVICE_ERROR;
}
