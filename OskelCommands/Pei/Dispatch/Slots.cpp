/** @file
  The slots of the service record outside IA32: each an ordinary function
  that stores its arguments in a block and hands it, with its own row of
  mOperations, to DispatchSlot. On IA32 the slots are those of
  Ia32/SlotEntry.nasm instead, two instructions each.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "Dispatch.h"

//
// The parameters are named as the slot declares them, so that every slot
// reads alike: PeiServices, This, the operation's own arguments,
// BmcInstance, Force.
//
#define SLOT_DISPATCH(Name, ...)  return Oskel::DispatchSlot (OPERATION (Name), Oskel::SlotArguments (__VA_ARGS__).Words)

extern "C" EFI_STATUS EFIAPI
OemC1Query (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT8                  *Response,
  IN OUT UINT8               *ResponseLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (OemC1Query, PeiServices, This, Response, ResponseLength, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
OemC2Exchange (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN OUT UINT8               *Buffer,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (OemC2Exchange, PeiServices, This, Buffer, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
Oem20Exchange (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN OUT UINT8               *Buffer,
  IN OUT UINT8               *Length,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (Oem20Exchange, PeiServices, This, Buffer, Length, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
RegionRead (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Offset,
  IN UINT8                   Selector,
  IN OUT UINT16              *Length,
  OUT UINT8                  *Buffer,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (RegionRead, PeiServices, This, Offset, Selector, Length, Buffer, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
RegionWrite (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Offset,
  IN UINT8                   Selector,
  IN OUT UINT16              *Length,
  IN CONST UINT8             *Data,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (RegionWrite, PeiServices, This, Offset, Selector, Length, Data, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
SendRawCommand (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   NetFn,
  IN UINT8                   Command,
  IN OUT UINT8               *Data,
  IN OUT UINT8               *DataLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (SendRawCommand, PeiServices, This, NetFn, Command, Data, DataLength, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
GetDeviceId (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT8                  *Response,
  IN OUT UINT8               *ResponseLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (GetDeviceId, PeiServices, This, Response, ResponseLength, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
GetSelfTestResults (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT8                  *Response,
  IN OUT UINT8               *ResponseLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (GetSelfTestResults, PeiServices, This, Response, ResponseLength, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
ReportBootStage (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   Stage,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (ReportBootStage, PeiServices, This, Stage, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
GetOem10Value (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT8                  *Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (GetOem10Value, PeiServices, This, Value, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
SetOem10Value (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   *Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (SetOem10Value, PeiServices, This, Value, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
SetOem62Flag (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN BOOLEAN                 Enable,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (SetOem62Flag, PeiServices, This, Enable, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
FileOpen (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN CONST CHAR8             *Name,
  IN UINT8                   NameLength,
  IN UINT8                   OpenFlag,
  IN UINT8                   OpenMode,
  IN UINT32                  FileSize,
  IN UINT8                   AccessMode,
  IN UINT8                   FileClass,
  OUT UINT32                 *Handle,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (FileOpen, PeiServices, This, Name, NameLength, OpenFlag, OpenMode, FileSize, AccessMode, FileClass, Handle, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
FileRead (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  Handle,
  IN UINT32                  Offset,
  IN UINT32                  Count,
  OUT VOID                   *Buffer,
  OUT UINT32                 *BytesRead,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (FileRead, PeiServices, This, Handle, Offset, Count, Buffer, BytesRead, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
FileWrite (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  Handle,
  IN UINT32                  Offset,
  IN CONST VOID              *Buffer,
  IN OUT UINT32              *Count,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (FileWrite, PeiServices, This, Handle, Offset, Buffer, Count, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
FileClose (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  Handle,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (FileClose, PeiServices, This, Handle, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
ReadKnownFile (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN UINT32                  Offset,
  IN UINT32                  Count,
  OUT VOID                   *Buffer,
  OUT UINT32                 *BytesRead,
  IN CONST UINT32            *Size OPTIONAL,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (ReadKnownFile, PeiServices, This, KnownFileId, Offset, Count, Buffer, BytesRead, Size, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
WriteKnownFile (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN UINT32                  Offset,
  IN CONST VOID              *Buffer,
  IN OUT UINT32              *Count,
  IN CONST UINT32            *Size OPTIONAL,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (WriteKnownFile, PeiServices, This, KnownFileId, Offset, Buffer, Count, Size, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
FileDelete (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN CONST CHAR8             *Name,
  IN CONST UINT8             *NameLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (FileDelete, PeiServices, This, KnownFileId, Name, NameLength, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
GetFileSize (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN CONST CHAR8             *Name,
  IN CONST UINT8             *NameLength,
  OUT UINT32                 *Size,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (GetFileSize, PeiServices, This, KnownFileId, Name, NameLength, Size, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
UploadBlocks (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  BlockTag,
  IN UINT8                   Value,
  IN CONST UINT8             *Data OPTIONAL,
  IN CONST UINT32            *Length OPTIONAL,
  IN BOOLEAN                 UseOp80,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (UploadBlocks, PeiServices, This, BlockTag, Value, Data, Length, UseOp80, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
UploadBlocksOp1 (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  BlockTag,
  IN UINT8                   Value,
  IN CONST UINT8             *Data OPTIONAL,
  IN CONST UINT32            *Length OPTIONAL,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (UploadBlocksOp1, PeiServices, This, BlockTag, Value, Data, Length, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
StartPostWatchdog (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Countdown,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (StartPostWatchdog, PeiServices, This, Countdown, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
Oem1CSetWord (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (Oem1CSetWord, PeiServices, This, Value, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
Oem1CClear (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (Oem1CClear, PeiServices, This, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
ConfigureSerialConsole (
  IN CONST EFI_PEI_SERVICES       **PeiServices,
  IN BMC_COMMANDS_PPI             *This,
  IN CONST SERIAL_CONSOLE_CONFIG  *Config,
  IN UINT8                        *BmcInstance,
  IN BOOLEAN                      Force
  )
{
  SLOT_DISPATCH (ConfigureSerialConsole, PeiServices, This, Config, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
SetSerialMux (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   Channel,
  IN UINT8                   MuxSetting,
  OUT UINT8                  *MuxStatus,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (SetSerialMux, PeiServices, This, Channel, MuxSetting, MuxStatus, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
SetOem1CState (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  State,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (SetOem1CState, PeiServices, This, State, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
GetOem1CState (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT32                 *State,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (GetOem1CState, PeiServices, This, State, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
ReadBmcSetting (
  IN CONST EFI_PEI_SERVICES        **PeiServices,
  IN BMC_COMMANDS_PPI              *This,
  IN UINT8                         Selector,
  OUT VOID                         *Value,
  IN CONST BMC_SETTING_DESCRIPTOR  *Descriptor OPTIONAL,
  IN UINT8                         *BmcInstance,
  IN BOOLEAN                       Force
  )
{
  SLOT_DISPATCH (ReadBmcSetting, PeiServices, This, Selector, Value, Descriptor, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
WriteBmcSetting (
  IN CONST EFI_PEI_SERVICES        **PeiServices,
  IN BMC_COMMANDS_PPI              *This,
  IN UINT8                         Selector,
  IN BOOLEAN                       WriteFlag,
  IN CONST VOID                    *Value,
  IN CONST BMC_SETTING_DESCRIPTOR  *Descriptor OPTIONAL,
  IN UINT8                         *BmcInstance,
  IN BOOLEAN                       Force
  )
{
  SLOT_DISPATCH (WriteBmcSetting, PeiServices, This, Selector, WriteFlag, Value, Descriptor, BmcInstance, Force);
}

extern "C" EFI_STATUS EFIAPI
Oem1CSetWordEx (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  SLOT_DISPATCH (Oem1CSetWordEx, PeiServices, This, Value, BmcInstance, Force);
}
