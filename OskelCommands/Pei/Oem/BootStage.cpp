/** @file
  Boot stage report: OEM command C3h and the BMC's progress mailbox.

  A stage reaches each BMC twice: as command C3h through the transport, and
  as byte writes to a set of I/O ports relative to the BMC's I/O base, which
  another platform module publishes in a GUID-extension HOB. The ports are
  written even when the transport advises against commands, so a BMC that
  cannot take them still sees boot progress.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/Dispatch.h"
#include "../MemoryRoutines.h"
#include "../PeiServices.h"
#include "OemCommands.h"

using namespace Oskel;

namespace {

constexpr UINT8  SECONDARY_BMC_INDEX = 1;

//
// Boot stages that concern BMC 0 alone, whatever the BMC count.
//
constexpr UINT8  mBmcZeroOnlyStages[] = { 0x12, 0x19 };

//
// Fields of EFI_HOB_GENERIC_HEADER, read byte by byte: a HobLength that is
// not a multiple of 8 leaves the next header unaligned.
//
constexpr UINTN  HOB_TYPE_OFFSET   = 0;
constexpr UINTN  HOB_LENGTH_OFFSET = 2;

//
// Progress mailbox, in the order the BMC expects the writes. Ports are
// relative to the BMC's I/O base; 4Eh/4Fh are an index/data pair through
// which the stage lands in register 3Eh.
//
struct MailboxWrite {
  UINT16     Offset;
  UINT8      Value;
  BOOLEAN    IsStage;    // the stage goes out instead of Value
};

constexpr MailboxWrite  mMailbox[] = {
  { 0x0CB5, 0x00, FALSE },
  { 0x0CB6, 0x00, FALSE },
  { 0x0CB7, 0x00, FALSE },
  { 0x0CB8, 0x00, TRUE  },
  { 0x0CBF, 0xA5, FALSE },
  { 0x004E, 0x3E, FALSE },
  { 0x004F, 0x00, TRUE  }
};

[[nodiscard]] constexpr UINT16
MailboxSpan (
  VOID
  )
{
  UINT16  Span = 0;

  for (CONST MailboxWrite &Write : mMailbox) {
    Span = (Write.Offset > Span) ? Write.Offset : Span;
  }

  return Span;
}

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SendStage (
  IN OUT Operation  &Op
  )
{
  UINT8  *Request = Op.Scratch ();

  Request[0] = OEM_BOOT_STAGE_REPORT;
  Request[1] = Op.Get (BOOT_STAGE);
  return SpecExchange (Op, { .RequestLength = 2 });
}

//
// The I/O base of BMC BmcIndex from the first platform BMC information HOB.
// Only bytes inside that HOB are read: an index whose entry lies beyond its
// HobLength has no base. A HOB shorter than its own header would stall or
// derail the walk, so it ends the search. A base whose mailbox would run past
// the top of the 64 KiB I/O space is no base either: the writes would wrap
// onto unrelated low ports.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
GetBmcIoBase (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT8                   BmcIndex,
  OUT UINT16                 *IoBase
  )
{
  VOID         *HobList = nullptr;
  CONST UINT8  *Hob;
  UINT16       Type;
  UINT16       Length;
  UINT16       Base;
  UINTN        Offset = PLATFORM_BMC_INFO_IO_BASE_OFFSET + PLATFORM_BMC_INFO_ENTRY_SIZE * BmcIndex;

  if (EFI_ERROR ((*PeiServices)->GetHobList (PeiServices, &HobList)) || (HobList == nullptr)) {
    return EFI_NOT_FOUND;
  }

  for (Hob = static_cast<CONST UINT8 *>(HobList); ; Hob += Length) {
    Type   = GetUint16Le (Hob + HOB_TYPE_OFFSET);
    Length = GetUint16Le (Hob + HOB_LENGTH_OFFSET);
    if ((Type == EFI_HOB_TYPE_END_OF_HOB_LIST) || (Length < sizeof (EFI_HOB_GENERIC_HEADER))) {
      return EFI_NOT_FOUND;
    }

    if ((Type == EFI_HOB_TYPE_GUID_EXTENSION) &&
        (Length >= sizeof (EFI_HOB_GUID_TYPE)) &&
        SameGuid (reinterpret_cast<CONST EFI_GUID *>(Hob + sizeof (EFI_HOB_GENERIC_HEADER)), &mPlatformBmcInfoHobGuid))
    {
      break;
    }
  }

  if (Offset + sizeof (UINT16) > Length) {
    return EFI_NOT_FOUND;
  }

  Base = GetUint16Le (Hob + Offset);
  if (Base > 0xFFFF - MailboxSpan ()) {
    return EFI_NOT_FOUND;
  }

  *IoBase = Base;
  return EFI_SUCCESS;
}

}  // namespace

namespace Oskel {

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ConcernsEveryBmc (
  IN OUT Operation  &Op
  )
{
  for (UINT8 Stage : mBmcZeroOnlyStages) {
    if (Op.Get (BOOT_STAGE) == Stage) {
      return EFI_UNSUPPORTED;
    }
  }

  return EFI_SUCCESS;
}

//
// Reports the stage, argument 0, to the BMC already selected, whose index
// *BmcInstance holds. The command's outcome reaches only the transport's
// health bookkeeping; the result is that of the last mailbox write.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ReportStage (
  IN OUT Operation  &Op
  )
{
  CONST UINT8  Stage = Op.Get (BOOT_STAGE);
  EFI_STATUS   Status;
  UINT16       IoBase;

  (VOID)RunGuarded (Op, SendStage);

  //
  // BMC 0 has a fixed mailbox at base 0 on boards without the HOB.
  //
  Status = GetBmcIoBase (Op.PeiServices, *Op.BmcInstance, &IoBase);
  if (EFI_ERROR (Status)) {
    if (*Op.BmcInstance != 0) {
      return Status;
    }

    IoBase = 0;
  }

  for (CONST MailboxWrite &Write : mMailbox) {
    Status = WriteIoPort8 (Op.PeiServices, static_cast<UINT16>(IoBase + Write.Offset), Write.IsStage ? Stage : Write.Value);
  }

  return Status;
}

}  // namespace Oskel

//
// The located service only proves that the module is installed; the report
// goes through This.
//
extern "C" EFI_STATUS EFIAPI
ReportBootStageSecondary (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This
  )
{
  EFI_STATUS   Status;
  VOID         *Installed;
  UINT8        Secondary   = SECONDARY_BMC_INDEX;
  CONST UINTN  Arguments[] = { BOOT_STAGE_PEI_BMC_COMMANDS };

  if (This == nullptr) {
    return EFI_INVALID_PARAMETER;
  }

  if (PeiServices == nullptr) {
    PeiServices = This->PeiServices;
  }

  Status = LocateFirstPpi (PeiServices, &mBmcCommandsPpiGuid, &Installed);
  if (EFI_ERROR (Status) || (Installed == nullptr)) {
    return EFI_NOT_FOUND;
  }

  if (EFI_ERROR (This->Transport->PrepareSecondaryBmc (PeiServices, This->Transport))) {
    return EFI_NOT_FOUND;
  }

  return Dispatch (OPERATION (ReportBootStageSecondary), PeiServices, This, &Secondary, FALSE, Arguments);
}
