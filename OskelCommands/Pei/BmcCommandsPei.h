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

namespace Oskel {

inline constexpr EFI_GUID  mBmcCommandsPpiGuid       = BMC_COMMANDS_PPI_GUID;
inline constexpr EFI_GUID  mIpmiTransportPpiGuid     = IPMI_TRANSPORT_PPI_GUID;
inline constexpr EFI_GUID  mBmcSetupVariableGuid     = BMC_SETUP_VARIABLE_GUID;
inline constexpr EFI_GUID  mPlatformBmcInfoHobGuid   = PLATFORM_BMC_INFO_HOB_GUID;

constexpr UINT8  POST_CODE_PORT                = 0x80;
constexpr UINT8  POST_CODE_BMC_COMMANDS_ENTRY  = 0x14;
constexpr UINT8  BOOT_STAGE_PEI_BMC_COMMANDS   = 0x07;

//
// Zeroes Private and fills it: signatures, Self, Transport, PeiServices and
// the 33 slots.
//
VOID OSKEL_INTERNAL
BuildBmcCommandsRecord (
  OUT BMC_COMMANDS_PRIVATE       *Private,
  IN IPMI_TRANSPORT_PPI          *Transport,
  IN CONST EFI_PEI_SERVICES      **PeiServices
  );

//
// First run only: applies the BMC choices of the Setup variable to BMC 0
// through the installed service.
//
EFI_STATUS OSKEL_INTERNAL
ApplySetupConfiguration (
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

//
// One byte to an I/O port through the CPU I/O PPI of the services table.
//
EFI_STATUS OSKEL_INTERNAL
WriteIoPort8 (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT16                  Port,
  IN UINT8                   Value
  );

}  // namespace Oskel

extern "C" {

EFI_STATUS EFIAPI OskelCommandsPeiEntryPoint (IN EFI_PEI_FILE_HANDLE FileHandle, IN CONST EFI_PEI_SERVICES **PeiServices);

//
// The slots, each a dispatcher in front of its worker.
//
EFI_STATUS EFIAPI OemC1Query (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 *Response, UINT8 *ResponseLength, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI OemC2Exchange (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 *Buffer, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI Oem20Exchange (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 *Buffer, UINT8 *Length, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI RegionRead (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT16 Offset, UINT8 Selector, UINT16 *Length, UINT8 *Buffer, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI RegionWrite (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT16 Offset, UINT8 Selector, UINT16 *Length, CONST UINT8 *Data, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI SendRawCommand (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 NetFn, UINT8 Command, UINT8 *Data, UINT8 *DataLength, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI GetDeviceId (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 *Response, UINT8 *ResponseLength, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI GetSelfTestResults (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 *Response, UINT8 *ResponseLength, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI ReportBootStage (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 Stage, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI GetOem10Value (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 *Value, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI SetOem10Value (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 *Value, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI SetOem62Flag (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, BOOLEAN Enable, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI FileOpen (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, CONST CHAR8 *Name, UINT8 NameLength, UINT8 OpenFlag, UINT8 OpenMode, UINT32 FileSize, UINT8 AccessMode, UINT8 FileClass, UINT32 *Handle, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI FileRead (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT32 Handle, UINT32 Offset, UINT32 Count, VOID *Buffer, UINT32 *BytesRead, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI FileWrite (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT32 Handle, UINT32 Offset, CONST VOID *Buffer, UINT32 *Count, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI FileClose (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT32 Handle, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI ReadKnownFile (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 KnownFileId, UINT32 Offset, UINT32 Count, VOID *Buffer, UINT32 *BytesRead, CONST UINT32 *Size, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI WriteKnownFile (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 KnownFileId, UINT32 Offset, CONST VOID *Buffer, UINT32 *Count, CONST UINT32 *Size, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI FileDelete (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 KnownFileId, CONST CHAR8 *Name, CONST UINT8 *NameLength, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI GetFileSize (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 KnownFileId, CONST CHAR8 *Name, CONST UINT8 *NameLength, UINT32 *Size, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI UploadBlocks (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT32 BlockTag, UINT8 Value, CONST UINT8 *Data, CONST UINT32 *Length, BOOLEAN UseOp80, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI UploadBlocksOp1 (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT32 BlockTag, UINT8 Value, CONST UINT8 *Data, CONST UINT32 *Length, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI StartPostWatchdog (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT16 Countdown, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI Oem1CSetWord (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT16 Value, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI Oem1CClear (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI ConfigureSerialConsole (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, CONST SERIAL_CONSOLE_CONFIG *Config, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI SetSerialMux (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 Channel, UINT8 MuxSetting, UINT8 *MuxStatus, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI SetOem1CState (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT32 State, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI GetOem1CState (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT32 *State, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI ReadBmcSetting (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 Selector, VOID *Value, CONST BMC_SETTING_DESCRIPTOR *Descriptor, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI WriteBmcSetting (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT8 Selector, BOOLEAN WriteFlag, CONST VOID *Value, CONST BMC_SETTING_DESCRIPTOR *Descriptor, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI Oem1CSetWordEx (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT16 Value, UINT8 *BmcInstance, BOOLEAN Force);
EFI_STATUS EFIAPI ReportBootStageSecondary (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This);

}  // extern "C"
