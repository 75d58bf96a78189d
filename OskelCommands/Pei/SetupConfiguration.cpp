/** @file
  Boot-time configuration from the Setup variable.

  The platform's Setup stores the BMC choices at fixed offsets of its
  variable; this module reads them there and applies them to BMC 0 through
  its own published service, like any other client.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include <Ppi/ReadOnlyVariable2.h>

#include "BmcCommandsPei.h"
#include "Dispatch/WireFormat.h"
#include "MemoryRoutines.h"
#include "PeiServices.h"

namespace Oskel {

namespace {

constexpr EFI_GUID  mReadOnlyVariablePpiGuid = EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID;
constexpr CHAR16    mSetupVariableName[]     = { 'S', 'e', 't', 'u', 'p', 0 };

//
// The part of the Setup variable this module reads lies within its first
// 2778 bytes; a larger variable does not fit and reads as absent.
//
constexpr UINTN  mSetupVariableSize = 2778;

struct BmcSetupSettings {
  SERIAL_CONSOLE_CONFIG    SerialConsoleConfig;
  UINT16                   WatchdogEnable;
  UINT8                    WatchdogTimeout;     // minutes
};

//
// Where Setup keeps each byte of SERIAL_CONSOLE_CONFIG, in field order, as
// offsets from the first of them: the serial console bytes lie within 13
// bytes of the variable. Spare4 and Spare5 sit there in the opposite order.
//
constexpr UINT16  mSerialConsoleSetupBase      = 2610;
constexpr UINT8   mSerialConsoleSetupOffsets[] = { 0, 2, 3, 6, 9, 8, 12 };

static_assert (sizeof (SERIAL_CONSOLE_CONFIG) == sizeof (mSerialConsoleSetupOffsets), "one Setup byte per field");

constexpr UINT16  mWatchdogEnableOffset  = 2323;  // two bytes, little-endian
constexpr UINT16  mWatchdogTimeoutOffset = 2325;

[[nodiscard]] constexpr BOOLEAN
SetupOffsetsInBuffer (
  VOID
  )
{
  for (UINT8 Offset : mSerialConsoleSetupOffsets) {
    if (UINTN (mSerialConsoleSetupBase) + Offset >= mSetupVariableSize) {
      return FALSE;
    }
  }

  return (mWatchdogEnableOffset + 1 < mSetupVariableSize) && (mWatchdogTimeoutOffset < mSetupVariableSize);
}

static_assert (SetupOffsetsInBuffer (), "every byte read lies in the Setup buffer");

//
// The watchdog counts 100 ms ticks in 16 bits, so 109 minutes is the
// longest timeout that fits; a longer one runs for the longest countdown
// rather than wrapping to a short one that would reset the board in POST.
//
constexpr UINT32  mWatchdogTicksPerMinute = 600;
constexpr UINT16  mWatchdogCountdownMax   = 0xFFFF;

//
// Kept out of line so the Setup buffer, the largest stack object of the
// module, is released before the service calls stack up on top of it.
//
OSKEL_NOINLINE VOID
ReadBmcSetupSettings (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  OUT BmcSetupSettings       *Settings
  )
{
  UINT8                            Buffer[mSetupVariableSize];
  VOID                             *Interface;
  EFI_PEI_READ_ONLY_VARIABLE2_PPI  *Variables;
  UINTN                            DataSize;
  EFI_STATUS                       Status;

  //
  // Whatever the read does not fill reads 0: a missing variable, one too
  // large for the buffer, one shorter than an offset, and a platform
  // without the variable service alike.
  //
  ZeroMem (Buffer, sizeof (Buffer));
  Status = LocateFirstPpi (PeiServices, &mReadOnlyVariablePpiGuid, &Interface);
  if (!EFI_ERROR (Status) && (Interface != nullptr)) {
    Variables = static_cast<EFI_PEI_READ_ONLY_VARIABLE2_PPI *>(Interface);
    DataSize  = sizeof (Buffer);
    (VOID)Variables->GetVariable (Variables, mSetupVariableName, &mBmcSetupVariableGuid, nullptr, &DataSize, Buffer);
  }

  UINT8  *Config = reinterpret_cast<UINT8 *>(&Settings->SerialConsoleConfig);
  for (UINTN Index = 0; Index < sizeof (SERIAL_CONSOLE_CONFIG); Index++) {
    Config[Index] = Buffer[mSerialConsoleSetupBase + mSerialConsoleSetupOffsets[Index]];
  }

  Settings->WatchdogEnable  = GetUint16Le (&Buffer[mWatchdogEnableOffset]);
  Settings->WatchdogTimeout = Buffer[mWatchdogTimeoutOffset];
}

[[nodiscard]] UINT16 OSKEL_INTERNAL
WatchdogCountdown (
  IN UINT8  Minutes
  )
{
  UINT32  Ticks = Minutes * mWatchdogTicksPerMinute;

  return (Ticks > mWatchdogCountdownMax) ? mWatchdogCountdownMax : static_cast<UINT16>(Ticks);
}

}  // namespace

EFI_STATUS OSKEL_INTERNAL
ApplySetupConfiguration (
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  BmcSetupSettings  Settings;
  UINT8             BmcInstance;
  VOID              *Interface;
  BMC_COMMANDS_PPI  *Service;
  EFI_STATUS        Status;

  ReadBmcSetupSettings (PeiServices, &Settings);

  Status = LocateFirstPpi (PeiServices, &mBmcCommandsPpiGuid, &Interface);
  if (EFI_ERROR (Status) || (Interface == nullptr)) {
    return Status;
  }

  //
  // Both operations broadcast, but the choices belong to BMC 0 alone; a
  // NULL PeiServices makes them use the record's own.
  //
  Service     = static_cast<BMC_COMMANDS_PPI *>(Interface);
  BmcInstance = 0;
  if (Settings.WatchdogEnable != 0) {
    Status = Service->StartPostWatchdog (nullptr, Service, WatchdogCountdown (Settings.WatchdogTimeout), &BmcInstance, FALSE);
  }

  (VOID)Service->ConfigureSerialConsole (nullptr, Service, &Settings.SerialConsoleConfig, &BmcInstance, FALSE);
  return Status;
}

}  // namespace Oskel
