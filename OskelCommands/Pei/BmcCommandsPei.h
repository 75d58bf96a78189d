/** @file
  Internal interface of the BMC command PEIM: the slot functions, the
  record construction and the first-run duties.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>
#include <Ppi/BmcCommands.h>
#include <Ppi/IpmiTransport.h>

#include <OskelCompiler.h>
#include "Dispatch/SlotList.h"

namespace Oskel {

inline constexpr EFI_GUID  mBmcCommandsPpiGuid       = BMC_COMMANDS_PPI_GUID;
inline constexpr EFI_GUID  mIpmiTransportPpiGuid     = IPMI_TRANSPORT_PPI_GUID;
inline constexpr EFI_GUID  mBmcSetupVariableGuid     = BMC_SETUP_VARIABLE_GUID;
inline constexpr EFI_GUID  mPlatformBmcInfoHobGuid   = PLATFORM_BMC_INFO_HOB_GUID;

constexpr UINT8  POST_CODE_PORT                = 0x80;
constexpr UINT8  POST_CODE_BMC_COMMANDS_ENTRY  = 0x14;
constexpr UINT8  BOOT_STAGE_PEI_BMC_COMMANDS   = 0x07;

//
// The function type a slot's field in the record points at.
//
template <typename T>
struct PointeeOf;

template <typename T>
struct PointeeOf<T *> {
  typedef T  Type;
};

/**
  Zeroes Private and fills it: signatures, Self, Transport, PeiServices and
  every slot of the slot list.

  @param[out] Private      The pool block of the record.
  @param[in]  Transport    The IPMI transport the record talks through.
  @param[in]  PeiServices  The services pointer the record keeps for callers
                           that pass none.
**/
VOID OSKEL_INTERNAL
BuildBmcCommandsRecord (
  OUT BMC_COMMANDS_PRIVATE       *Private,
  IN IPMI_TRANSPORT_PPI          *Transport,
  IN CONST EFI_PEI_SERVICES      **PeiServices
  );

/**
  First run only: applies the BMC choices of the Setup variable to BMC 0
  through the installed service.

  @param[in] PeiServices  The PEI services.

  @return The failure of locating the service; else the status of starting
          the watchdog, EFI_SUCCESS when Setup leaves it off. The serial
          console's own status is not reported: the boot goes on either way.
**/
EFI_STATUS OSKEL_INTERNAL
ApplySetupConfiguration (
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

}  // namespace Oskel

extern "C" {

EFI_STATUS EFIAPI OskelCommandsPeiEntryPoint (IN EFI_PEI_FILE_HANDLE FileHandle, IN CONST EFI_PEI_SERVICES **PeiServices);

#if defined (OSKEL_ARCH_IA32)
//
// The slots of Ia32/SlotEntry.nasm, each declared with the type of its
// field in the record.
//
#define DECLARE_NASM_SLOT(Name)  Oskel::PointeeOf<decltype (BMC_COMMANDS_PPI::Name)>::Type Name;
#define NO_NASM_SLOT(Name)

BMC_COMMANDS_SLOT_LIST (DECLARE_NASM_SLOT, NO_NASM_SLOT)

#undef DECLARE_NASM_SLOT
#undef NO_NASM_SLOT
#endif

//
// The slot of its own (Oem/BootStage.cpp).
//
EFI_STATUS EFIAPI ReportBootStageSecondary (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This);

}  // extern "C"
