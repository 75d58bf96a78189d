/** @file
  Entry of the KCS transport PEIM.

  The PEI foundation runs the entry in place from flash and again from the
  memory copy after shadowing. Each run builds its own pool record; the
  second re-installs the transport so its operations point into memory,
  carrying the selection and the health counters over from the first.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "KcsTransportPei.h"

using namespace OskelKcs;

namespace {

//
// Bounded number of transport instances searched for our own first-run
// record; a platform has one or two transports at most.
//
constexpr UINTN  KCS_MAX_TRANSPORT_INSTANCES = 8;

constexpr UINT16
ReadUint16Le (
  IN CONST UINT8  *Bytes
  )
{
  return static_cast<UINT16>(Bytes[0] | (Bytes[1] << 8));
}

constexpr UINT32
ReadUint32Le (
  IN CONST UINT8  *Bytes
  )
{
  return static_cast<UINT32>(ReadUint16Le (Bytes)) | (static_cast<UINT32>(ReadUint16Le (Bytes + 2)) << 16);
}

//
// A wait setting in microseconds: 0 takes Default, more than a minute is
// taken as a minute.
//
constexpr UINT32
WaitSetting (
  IN UINT32  Microseconds,
  IN UINT32  Default
  )
{
  return (Microseconds == 0) ? Default : (Microseconds > KCS_CONFIG_MAX_WAIT_US) ? KCS_CONFIG_MAX_WAIT_US : Microseconds;
}

//
// Each wait length when the platform gives none (or no settings).
//
constexpr UINT32  mWaitDefaults[KCS_WAIT_COUNT] = {
  KCS_CONFIG_DEFAULT_FLAG_WAIT_US,  // KCS_WAIT_FLAG
  0                                 // KCS_WAIT_READY: off
};

[[nodiscard]] BOOLEAN KCS_INTERNAL
HasName (
  IN CONST UINT8     *Hob,
  IN CONST EFI_GUID  *Name
  )
{
  CONST UINT8  *Expected = reinterpret_cast<CONST UINT8 *>(Name);

  for (UINTN Index = 0; Index < sizeof (EFI_GUID); Index++) {
    if (Hob[sizeof (EFI_HOB_GENERIC_HEADER) + Index] != Expected[Index]) {
      return FALSE;
    }
  }

  return TRUE;
}

}  // namespace

namespace OskelKcs {

VOID KCS_INTERNAL
BuildKcsTransportRecord (
  OUT KCS_TRANSPORT_PRIVATE   *Private,
  IN CONST EFI_PEI_SERVICES   **PeiServices
  )
{
  VOID            *List;
  CONST UINT8     *Hob;
  CONST UINT8     *Found[KCS_HOB_COUNT];
  CONST UINT8     *Settings;
  CONST UINT8     *BmcTable;
  UINT16          Type;
  UINTN           Length;
  UINT8           Count;
  UINT8           Index;
  UINTN           Offset;
  UINT32          Given[KCS_WAIT_COUNT];
  volatile UINT8  *Bytes;

  //
  // Volatile keeps any compiler, whatever its options, from turning the
  // loop into a call of the C library's memset, which does not exist here.
  //
  Bytes = reinterpret_cast<UINT8 *>(Private);
  for (UINTN Index = 0; Index < sizeof (*Private); Index++) {
    Bytes[Index] = 0;
  }

  Private->Ppi.Reserved[0]         = KCS_TRANSPORT_SIGNATURE;
  Private->Ppi.Reserved[1]         = static_cast<UINT32>(reinterpret_cast<UINTN>(Private));
  Private->Ppi.SendCommand         = KcsSendCommand;
  Private->Ppi.TrackBmcStatus      = KcsTrackBmcStatus;
  Private->Ppi.SelectBmc           = KcsSelectBmc;
  Private->Ppi.GetBmcCount         = KcsGetBmcCount;
  Private->Ppi.PrepareSecondaryBmc = KcsPrepareSecondaryBmc;
  Private->Descriptor.Flags        = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
  Private->Descriptor.Guid         = const_cast<EFI_GUID *>(&mIpmiTransportPpiGuid);
  Private->Descriptor.Ppi          = &Private->Ppi;
  Private->PeiServices             = PeiServices;

  //
  // One walk finds the first settings HOB and the first platform BMC HOB.
  // A HOB shorter than its own header ends the walk, and so does one whose
  // length is not the multiple of 8 that PI requires (after it is looked
  // at): neither length leads to the next HOB.
  //
  Found[KCS_HOB_SETTINGS]  = nullptr;
  Found[KCS_HOB_BMC_TABLE] = nullptr;
  List                     = nullptr;
  if (!EFI_ERROR ((*PeiServices)->GetHobList (PeiServices, &List)) && (List != nullptr)) {
    for (Hob = static_cast<CONST UINT8 *>(List); ; Hob += Length) {
      Type   = ReadUint16Le (Hob);
      Length = ReadUint16Le (Hob + 2);
      if ((Type == EFI_HOB_TYPE_END_OF_HOB_LIST) || (Length < sizeof (EFI_HOB_GENERIC_HEADER))) {
        break;
      }

      if ((Type == EFI_HOB_TYPE_GUID_EXTENSION) && (Length >= KCS_HOB_DATA_OFFSET)) {
        for (UINT8 Name = 0; Name < KCS_HOB_COUNT; Name++) {
          if ((Found[Name] == nullptr) && HasName (Hob, &mKcsHobNames[Name])) {
            Found[Name] = Hob;
          }
        }
      }

      if ((Length % 8) != 0) {
        break;
      }
    }
  }

  Settings = Found[KCS_HOB_SETTINGS];
  BmcTable = Found[KCS_HOB_BMC_TABLE];

  //
  // The platform's settings, taken only from a HOB that holds them all;
  // each wait in ticks, converted here once.
  //
  Given[KCS_WAIT_FLAG]  = 0;
  Given[KCS_WAIT_READY] = 0;
  if ((Settings != nullptr) && (ReadUint16Le (Settings + 2) >= KCS_HOB_DATA_OFFSET + KCS_CONFIG_DATA_SIZE)) {
    Given[KCS_WAIT_FLAG]  = ReadUint32Le (Settings + KCS_HOB_DATA_OFFSET + KCS_CONFIG_FLAG_WAIT_OFFSET);
    Given[KCS_WAIT_READY] = ReadUint32Le (Settings + KCS_HOB_DATA_OFFSET + KCS_CONFIG_READY_WAIT_OFFSET);
    Private->TimerPort    = ReadUint16Le (Settings + KCS_HOB_DATA_OFFSET + KCS_CONFIG_PM_TIMER_OFFSET);
  }

  for (UINT8 Wait = 0; Wait < KCS_WAIT_COUNT; Wait++) {
    Private->WaitTicks[Wait] = KcsTicksFor (WaitSetting (Given[Wait], mWaitDefaults[Wait]));
  }

  //
  // Without the platform HOB the board has the one BMC at the standard
  // CA2h/CA3h. With it, the count byte says how many entries follow, and
  // only entries whose base lies inside the HOB are taken.
  //
  if (BmcTable == nullptr) {
    Private->BmcCount = 1;
    return;
  }

  Length = ReadUint16Le (BmcTable + 2);
  Count  = (Length > KCS_HOB_BMC_COUNT_OFFSET) ? BmcTable[KCS_HOB_BMC_COUNT_OFFSET] : 0;
  Index  = 0;
  for (Offset = KCS_HOB_IO_BASE_OFFSET; (Index < Count) && (Index < KCS_MAX_BMCS) && (Offset + sizeof (UINT16) <= Length); Offset += KCS_HOB_ENTRY_STRIDE) {
    Private->IoBase[Index++] = ReadUint16Le (BmcTable + Offset);
  }

  Private->BmcCount = Index;
}

}  // namespace OskelKcs

extern "C" EFI_STATUS EFIAPI
KcsTransportPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  EFI_STATUS              Status;
  BOOLEAN                 Shadowed;
  KCS_TRANSPORT_PRIVATE   *Private;
  KCS_TRANSPORT_PRIVATE   *Previous;
  EFI_PEI_PPI_DESCRIPTOR  *OldDescriptor;
  VOID                    *Found;

  //
  // EFI_ALREADY_STARTED: this is the memory copy. Any other answer is the
  // first run; if registration failed the PEIM simply stays in flash.
  //
  Shadowed = ((*PeiServices)->RegisterForShadow (FileHandle) == EFI_ALREADY_STARTED) ? TRUE : FALSE;

  Private = nullptr;
  Status  = (*PeiServices)->AllocatePool (PeiServices, sizeof (*Private), reinterpret_cast<VOID **>(&Private));
  if (EFI_ERROR (Status) || (Private == nullptr)) {
    return EFI_OUT_OF_RESOURCES;
  }

  BuildKcsTransportRecord (Private, PeiServices);

  if (Shadowed) {
    for (UINTN Instance = 0; Instance < KCS_MAX_TRANSPORT_INSTANCES; Instance++) {
      OldDescriptor = nullptr;
      Found         = nullptr;
      Status        = (*PeiServices)->LocatePpi (PeiServices, &mIpmiTransportPpiGuid, Instance, &OldDescriptor, &Found);
      if (EFI_ERROR (Status)) {
        break;
      }

      Previous = static_cast<KCS_TRANSPORT_PRIVATE *>(Found);
      if ((OldDescriptor == nullptr) || (Previous == nullptr) || (Previous->Ppi.Reserved[0] != KCS_TRANSPORT_SIGNATURE)) {
        continue;
      }

      if (Previous->BmcCount == Private->BmcCount) {
        Private->Selected = Previous->Selected;
        for (UINTN Index = 0; Index < KCS_MAX_BMCS; Index++) {
          Private->Health[Index] = Previous->Health[Index];
        }
      }

      Status = (*PeiServices)->ReInstallPpi (PeiServices, OldDescriptor, &Private->Descriptor);
      return EFI_ERROR (Status) ? Status : EFI_SUCCESS;
    }
  }

  //
  // First run, or a memory copy that finds no first-run record to replace.
  // Only the first run waits for BMCs still starting.
  //
  if (!Shadowed && (Private->WaitTicks[KCS_WAIT_READY] != 0)) {
    KcsWaitForReadyBmcs (Private);
  }

  Status = (*PeiServices)->InstallPpi (PeiServices, &Private->Descriptor);
  return EFI_ERROR (Status) ? Status : EFI_SUCCESS;
}
