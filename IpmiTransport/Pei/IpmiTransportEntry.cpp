/** @file
  Entry of the IPMI transport PEIM.

  The PEI foundation runs the entry in place from flash and again from the
  memory copy after shadowing. Each run builds its own pool record; the
  second re-installs the transport so its operations point into memory,
  carrying the selection, the health counters and what the BT BMCs told
  over from the first.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "IpmiTransportPei.h"

using namespace OskelTransport;

namespace {

//
// Bounded number of transport instances searched for our own first-run
// record; a platform has one or two transports at most.
//
constexpr UINTN  MAX_TRANSPORT_INSTANCES = 8;

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
  return (Microseconds == 0) ? Default : (Microseconds > IPMI_CONFIG_MAX_WAIT_US) ? IPMI_CONFIG_MAX_WAIT_US : Microseconds;
}

//
// Each wait length when the platform gives none (or no settings).
//
constexpr UINT32  mWaitDefaults[WAIT_COUNT] = {
  IPMI_CONFIG_DEFAULT_FLAG_WAIT_US,  // WAIT_FLAG
  0                                  // WAIT_READY: off
};

//
// A wait as set, in ticks; one copy for both waits.
//
OSKEL_NOINLINE UINT32 TRANSPORT_INTERNAL
WaitTicksOf (
  IN UINT32  Microseconds,
  IN UINT32  Default
  )
{
  return TicksFor (WaitSetting (Microseconds, Default));
}

[[nodiscard]] BOOLEAN TRANSPORT_INTERNAL
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

namespace OskelTransport {

VOID TRANSPORT_INTERNAL
BuildTransportRecord (
  OUT TRANSPORT_PRIVATE      *Private,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  VOID            *List;
  CONST UINT8     *Hob;
  CONST UINT8     *Found[3];
  CONST UINT8     *Settings;
  CONST UINT8     *Interfaces;
  CONST UINT8     *BmcTable;
  UINT16          Type;
  UINTN           Length;
  UINT8           Count;
  UINT8           Index;
  UINTN           Offset;
  UINT32          Given[WAIT_COUNT];
  volatile UINT8  *Bytes;

  //
  // Volatile keeps any compiler, whatever its options, from turning the
  // loop into a call of the C library's memset, which does not exist here.
  //
  Bytes = reinterpret_cast<UINT8 *>(Private);
  for (UINTN Index = 0; Index < sizeof (*Private); Index++) {
    Bytes[Index] = 0;
  }

  Private->Ppi.Reserved[0]         = TRANSPORT_SIGNATURE;
  Private->Ppi.Reserved[1]         = static_cast<UINT32>(reinterpret_cast<UINTN>(Private));
  Private->Ppi.SendCommand         = TransportSendCommand;
  Private->Ppi.TrackBmcStatus      = TransportTrackBmcStatus;
  Private->Ppi.SelectBmc           = TransportSelectBmc;
  Private->Ppi.GetBmcCount         = TransportGetBmcCount;
  Private->Ppi.PrepareSecondaryBmc = TransportPrepareSecondaryBmc;
  Private->Descriptor.Flags        = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
  Private->Descriptor.Guid         = const_cast<EFI_GUID *>(&mIpmiTransportPpiGuid);
  Private->Descriptor.Ppi          = &Private->Ppi;
  Private->PeiServices             = PeiServices;

  //
  // One walk finds the first HOB of each name. A HOB shorter than its own
  // header ends the walk, and so does one whose length is not the multiple
  // of 8 that PI requires (after it is looked at): neither length leads to
  // the next HOB.
  //
  for (UINTN Name = 0; Name < sizeof (Found) / sizeof (Found[0]); Name++) {
    Found[Name] = nullptr;
  }

  List = nullptr;
  if (!EFI_ERROR ((*PeiServices)->GetHobList (PeiServices, &List)) && (List != nullptr)) {
    for (Hob = static_cast<CONST UINT8 *>(List); ; Hob += Length) {
      Type   = ReadUint16Le (Hob);
      Length = ReadUint16Le (Hob + 2);
      if ((Type == EFI_HOB_TYPE_END_OF_HOB_LIST) || (Length < sizeof (EFI_HOB_GENERIC_HEADER))) {
        break;
      }

      if ((Type == EFI_HOB_TYPE_GUID_EXTENSION) && (Length >= HOB_DATA_OFFSET)) {
        for (UINT8 Name = 0; Name < HOB_COUNT; Name++) {
          if ((Found[Name] == nullptr) && HasName (Hob, &mHobNames[Name])) {
            Found[Name] = Hob;
          }
        }
      }

      if ((Length % 8) != 0) {
        break;
      }
    }
  }

  Settings   = Found[HOB_SETTINGS];
  Interfaces = Found[HOB_INTERFACES];
  BmcTable   = Found[HOB_BMC_TABLE];

  //
  // The platform's settings, taken only from a HOB that holds them all;
  // each wait in ticks, converted here once.
  //
  Given[WAIT_FLAG]  = 0;
  Given[WAIT_READY] = 0;
  if ((Settings != nullptr) && (ReadUint16Le (Settings + 2) >= HOB_DATA_OFFSET + IPMI_CONFIG_DATA_SIZE)) {
    Given[WAIT_FLAG]   = ReadUint32Le (Settings + HOB_DATA_OFFSET + IPMI_CONFIG_FLAG_WAIT_OFFSET);
    Given[WAIT_READY]  = ReadUint32Le (Settings + HOB_DATA_OFFSET + IPMI_CONFIG_READY_WAIT_OFFSET);
    Private->TimerPort = ReadUint16Le (Settings + HOB_DATA_OFFSET + IPMI_CONFIG_PM_TIMER_OFFSET);
  }

  for (UINT8 Wait = 0; Wait < WAIT_COUNT; Wait++) {
    Private->WaitTicks[Wait] = WaitTicksOf (Given[Wait], mWaitDefaults[Wait]);
  }

  //
  // Without the platform HOB the board has the one BMC at the standard
  // CA2h/CA3h. With it, the count byte says how many entries follow, and
  // only entries whose base lies inside the HOB are taken.
  //
  Count = 1;
  if (BmcTable != nullptr) {
    Length = ReadUint16Le (BmcTable + 2);
    Count  = (Length > HOB_BMC_COUNT_OFFSET) ? BmcTable[HOB_BMC_COUNT_OFFSET] : 0;
    Index  = 0;
    for (Offset = HOB_IO_BASE_OFFSET; (Index < Count) && (Index < MAX_BMCS) && (Offset + sizeof (UINT16) <= Length); Offset += HOB_ENTRY_STRIDE) {
      Private->Address[Index++] = ReadUint16Le (BmcTable + Offset);
    }

    Count = Index;
  }

  Private->BmcCount = Count;

  //
  // Each BMC's interface: KCS at its platform base unless the interfaces
  // HOB has an entry for it, whole, within the count it gives. Any other
  // interface takes the address of its entry.
  //
  if (mReadsInterfaces && (Interfaces != nullptr)) {
    Length = ReadUint16Le (Interfaces + 2);
    Count  = (Length > HOB_DATA_OFFSET + IPMI_INTERFACES_COUNT_OFFSET) ? Interfaces[HOB_DATA_OFFSET + IPMI_INTERFACES_COUNT_OFFSET] : 0;
    Offset = HOB_DATA_OFFSET + IPMI_INTERFACES_FIRST_OFFSET;
    for (Index = 0; (Index < Count) && (Index < MAX_BMCS) && (Offset + IPMI_INTERFACE_ENTRY_SIZE <= Length); Index++) {
      Private->Interface[Index] = Interfaces[Offset + IPMI_INTERFACE_TYPE_OFFSET];
      if (Private->Interface[Index] != IPMI_INTERFACE_KCS) {
        Private->Address[Index] = ReadUint16Le (Interfaces + Offset + IPMI_INTERFACE_ADDRESS_OFFSET);
      }

      Offset += IPMI_INTERFACE_ENTRY_SIZE;
    }
  }
}

}  // namespace OskelTransport

extern "C" EFI_STATUS EFIAPI
IpmiTransportPeiEntryPoint (
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  )
{
  EFI_STATUS              Status;
  BOOLEAN                 Shadowed;
  TRANSPORT_PRIVATE       *Private;
  TRANSPORT_PRIVATE       *Previous;
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

  BuildTransportRecord (Private, PeiServices);

  if (Shadowed) {
    for (UINTN Instance = 0; Instance < MAX_TRANSPORT_INSTANCES; Instance++) {
      OldDescriptor = nullptr;
      Found         = nullptr;
      Status        = (*PeiServices)->LocatePpi (PeiServices, &mIpmiTransportPpiGuid, Instance, &OldDescriptor, &Found);
      if (EFI_ERROR (Status)) {
        break;
      }

      Previous = static_cast<TRANSPORT_PRIVATE *>(Found);
      if ((OldDescriptor == nullptr) || (Previous == nullptr) || (Previous->Ppi.Reserved[0] != TRANSPORT_SIGNATURE)) {
        continue;
      }

      if (Previous->BmcCount == Private->BmcCount) {
        for (UINTN Index = 0; Index < sizeof (TRANSPORT_STATE); Index++) {
          reinterpret_cast<UINT8 *>(&Private->State)[Index] = reinterpret_cast<CONST UINT8 *>(&Previous->State)[Index];
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
  if (!Shadowed && (Private->WaitTicks[WAIT_READY] != 0)) {
    WaitForReadyBmcs (Private);
  }

  Status = (*PeiServices)->InstallPpi (PeiServices, &Private->Descriptor);
  return EFI_ERROR (Status) ? Status : EFI_SUCCESS;
}
