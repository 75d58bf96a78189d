/** @file
  IPMI transport PPI: the service of another platform module that owns the
  path to the board's BMCs and judges whether each may be used. Every IPMI
  exchange of the BMC command service goes through it.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>

#ifdef __cplusplus
extern "C" {
#endif

#define IPMI_TRANSPORT_PPI_GUID \
  { 0xe50b6e5d, 0x359b, 0x4be0, { 0xa0, 0xc0, 0x07, 0x15, 0xa4, 0x01, 0xc6, 0x08 } }

typedef struct IpmiTransportPpi IPMI_TRANSPORT_PPI;

//
// Phases of TrackBmcStatus.
//
#define IPMI_TRACK_PHASE_BEFORE_COMMAND  0
#define IPMI_TRACK_PHASE_AFTER_COMMAND   1

//
// State byte of TrackBmcStatus phase 0: the BMC must not be used.
//
#define IPMI_BMC_STATE_UNUSABLE  1

/**
  Sends one IPMI request to the selected BMC and receives its answer.

  @param[in]      PeiServices       PEI services table.
  @param[in]      This              The transport.
  @param[in]      NetFn             Network function.
  @param[in]      Lun               Logical unit; always 0.
  @param[in]      Command           Command.
  @param[in]      RequestData       Request bytes; may be NULL when the length is 0.
  @param[in]      RequestDataSize   Number of request bytes.
  @param[out]     ResponseData      Response data, completion code removed;
                                    may be NULL when the capacity is 0.
  @param[in, out] ResponseDataSize  In: capacity of ResponseData. Out: bytes received.

  @retval EFI_SUCCESS          The BMC answered with completion code 00h.
  @retval EFI_DEVICE_ERROR     The interface failed.
  @retval EFI_NOT_READY        The BMC is busy.
  @retval EFI_BAD_BUFFER_SIZE  The request is larger than the selected BMC's
                               interface takes (a BT BMC's request buffer);
                               nothing was sent.
  @retval other                A positive value is the BMC's non-zero completion code.
**/
typedef EFI_STATUS (EFIAPI *IPMI_TRANSPORT_SEND_COMMAND)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  IN UINT8                   NetFn,
  IN UINT8                   Lun,
  IN UINT8                   Command,
  IN CONST UINT8             *RequestData OPTIONAL,
  IN UINT8                   RequestDataSize,
  OUT UINT8                  *ResponseData OPTIONAL,
  IN OUT UINT8               *ResponseDataSize
  );

/**
  Health bookkeeping around a command.

  @param[in]      PeiServices  PEI services table.
  @param[in]      This         The transport.
  @param[in, out] State        Phase 0: set to FFh by the caller; 1 on return
                               means the BMC is not to be used.
  @param[in]      Phase        0 before a command, 1 after it.
  @param[in]      DeviceError  Phase 1: 1 when the command failed with
                               EFI_DEVICE_ERROR, else 0.

  @retval EFI_INVALID_PARAMETER  Phase 0: the BMC is not to be used.
  @retval other                  Phase 0: the command may be sent; phase 1: ignored.
**/
typedef EFI_STATUS (EFIAPI *IPMI_TRANSPORT_TRACK_BMC_STATUS)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  IN OUT UINT8               *State,
  IN UINT8                   Phase,
  IN BOOLEAN                 DeviceError
  );

/**
  Makes the BMC with the given index the target of later calls.

  @param[in] PeiServices  PEI services table.
  @param[in] This         The transport.
  @param[in] Index        BMC index, from 0 in the transport's order.

  @retval EFI_SUCCESS  The BMC is selected.
  @retval other        The BMC cannot be selected.
**/
typedef EFI_STATUS (EFIAPI *IPMI_TRANSPORT_SELECT_BMC)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  IN UINT8                   Index
  );

/**
  Reports the number of BMCs present.

  @param[in]  PeiServices  PEI services table.
  @param[in]  This         The transport.
  @param[out] Count        Number of BMCs.

  @retval EFI_SUCCESS  Count was written.
**/
typedef EFI_STATUS (EFIAPI *IPMI_TRANSPORT_GET_BMC_COUNT)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This,
  OUT UINT8                  *Count
  );

/**
  Prepares the path to BMC 1 before a boot stage is reported to it.

  @param[in] PeiServices  PEI services table.
  @param[in] This         The transport.

  @retval EFI_SUCCESS  BMC 1 can be reached.
  @retval other        A negative status: BMC 1 cannot be reached.
**/
typedef EFI_STATUS (EFIAPI *IPMI_TRANSPORT_PREPARE_SECONDARY_BMC)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN IPMI_TRANSPORT_PPI      *This
  );

struct IpmiTransportPpi {
  UINT32                                  Reserved[2];
  IPMI_TRANSPORT_SEND_COMMAND             SendCommand;
  IPMI_TRANSPORT_TRACK_BMC_STATUS         TrackBmcStatus;
  IPMI_TRANSPORT_SELECT_BMC               SelectBmc;
  IPMI_TRANSPORT_GET_BMC_COUNT            GetBmcCount;
  IPMI_TRANSPORT_PREPARE_SECONDARY_BMC    PrepareSecondaryBmc;
};

#ifdef __cplusplus
}
#endif
