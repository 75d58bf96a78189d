/** @file
  Construction of the service record.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "BmcCommandsPei.h"
#include "MemoryRoutines.h"

namespace Oskel {

//
// Consumers call through the record by position. These layouts are those
// of the IA32 and the X64 firmware; the host test builds check them under
// -m32 and natively.
//
#if defined (__i386__)
static_assert (sizeof (BMC_COMMANDS_PRIVATE) == 404, "record size");
static_assert (__builtin_offsetof (BMC_COMMANDS_PRIVATE, Interface) == 8, "interface offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, ScratchBuffer) == 4, "scratch offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, Self) == 252, "self offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, Transport) == 256, "transport offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, PeiServices) == 260, "services offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, OemC1Query) == 264, "slot 0 offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 392, "slot 32 offset");
static_assert (sizeof (EFI_PEI_PPI_DESCRIPTOR) == 12, "descriptor size");
#elif defined (__x86_64__)
static_assert (sizeof (BMC_COMMANDS_PRIVATE) == 552, "record size");
static_assert (__builtin_offsetof (BMC_COMMANDS_PRIVATE, Interface) == 8, "interface offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, ScratchBuffer) == 4, "scratch offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, Self) == 256, "self offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, Transport) == 264, "transport offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, PeiServices) == 272, "services offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, OemC1Query) == 280, "slot 0 offset");
static_assert (__builtin_offsetof (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 536, "slot 32 offset");
static_assert (sizeof (EFI_PEI_PPI_DESCRIPTOR) == 24, "descriptor size");
#endif

VOID OSKEL_INTERNAL
BuildBmcCommandsRecord (
  OUT BMC_COMMANDS_PRIVATE       *Private,
  IN IPMI_TRANSPORT_PPI          *Transport,
  IN CONST EFI_PEI_SERVICES      **PeiServices
  )
{
  BMC_COMMANDS_PPI  *Ppi = &Private->Interface;

  ZeroMem (Private, sizeof (*Private));
  Private->Signature = BMC_COMMANDS_PRIVATE_SIGNATURE;
  Ppi->Signature     = BMC_COMMANDS_PPI_SIGNATURE;
  Ppi->Self          = Private;
  Ppi->Transport     = Transport;
  Ppi->PeiServices   = PeiServices;

  Ppi->OemC1Query               = ::OemC1Query;
  Ppi->OemC2Exchange            = ::OemC2Exchange;
  Ppi->Oem20Exchange            = ::Oem20Exchange;
  Ppi->RegionRead               = ::RegionRead;
  Ppi->RegionWrite              = ::RegionWrite;
  Ppi->SendRawCommand           = ::SendRawCommand;
  Ppi->GetDeviceId              = ::GetDeviceId;
  Ppi->GetSelfTestResults       = ::GetSelfTestResults;
  Ppi->ReportBootStage          = ::ReportBootStage;
  Ppi->GetOem10Value            = ::GetOem10Value;
  Ppi->SetOem10Value            = ::SetOem10Value;
  Ppi->SetOem62Flag             = ::SetOem62Flag;
  Ppi->FileOpen                 = ::FileOpen;
  Ppi->FileRead                 = ::FileRead;
  Ppi->FileWrite                = ::FileWrite;
  Ppi->FileClose                = ::FileClose;
  Ppi->ReadKnownFile            = ::ReadKnownFile;
  Ppi->WriteKnownFile           = ::WriteKnownFile;
  Ppi->FileDelete               = ::FileDelete;
  Ppi->GetFileSize              = ::GetFileSize;
  Ppi->UploadBlocks             = ::UploadBlocks;
  Ppi->UploadBlocksOp1          = ::UploadBlocksOp1;
  Ppi->StartPostWatchdog        = ::StartPostWatchdog;
  Ppi->Oem1CSetWord             = ::Oem1CSetWord;
  Ppi->Oem1CClear               = ::Oem1CClear;
  Ppi->ConfigureSerialConsole   = ::ConfigureSerialConsole;
  Ppi->SetSerialMux             = ::SetSerialMux;
  Ppi->SetOem1CState            = ::SetOem1CState;
  Ppi->GetOem1CState            = ::GetOem1CState;
  Ppi->ReadBmcSetting           = ::ReadBmcSetting;
  Ppi->WriteBmcSetting          = ::WriteBmcSetting;
  Ppi->Oem1CSetWordEx           = ::Oem1CSetWordEx;
  Ppi->ReportBootStageSecondary = ::ReportBootStageSecondary;
}

}  // namespace Oskel
