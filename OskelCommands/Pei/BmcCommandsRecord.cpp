/** @file
  The service record: its construction, and the operation table that says
  what each of its slots does.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "BmcCommandsPei.h"
#include "Dispatch/CommonExchanges.h"
#include "FileService/FileService.h"
#include "Ipmi/IpmiCommands.h"
#include "MemoryRoutines.h"
#include "Oem/OemCommands.h"

namespace Oskel {

//
// Consumers call through the record by position. These layouts are those
// of the IA32 and the X64 firmware; the host test builds check them under
// -m32 and natively. The head keeps its offsets, and so does every slot
// that exists; a new slot goes at the end.
//
#if defined (OSKEL_ARCH_IA32)
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PRIVATE, Interface) == 8, "interface offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ScratchBuffer) == 4, "scratch offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Self) == 252, "self offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Transport) == 256, "transport offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, PeiServices) == 260, "services offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query) == 264, "the first slot's offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 392, "ReportBootStageSecondary keeps its offset: a new slot goes after it");
static_assert (sizeof (EFI_PEI_PPI_DESCRIPTOR) == 12, "descriptor size");
#elif defined (OSKEL_ARCH_X64)
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PRIVATE, Interface) == 8, "interface offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ScratchBuffer) == 4, "scratch offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Self) == 256, "self offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Transport) == 264, "transport offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, PeiServices) == 272, "services offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query) == 280, "the first slot's offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 536, "ReportBootStageSecondary keeps its offset: a new slot goes after it");
static_assert (sizeof (EFI_PEI_PPI_DESCRIPTOR) == 24, "descriptor size");
#endif
static_assert (sizeof (BMC_COMMANDS_PRIVATE) == OSKEL_OFFSET_OF (BMC_COMMANDS_PRIVATE, Interface) + sizeof (BMC_COMMANDS_PPI), "the record ends with its interface");

namespace {

//
// Where a slot list puts each slot against where a record has it, in slots
// from the record's first: the first listed slot out of place, and whether
// the record's slot at that place is listed anywhere. The checks below
// name that one slot: the list lacks the record's slot just before it, or
// lists it out of the record's order. CheckedRecord, CheckedFirst and
// CheckedIndex name the record, its first slot's offset and the list's slot
// numbers in the namespace the checks are expanded in.
//
template <UINTN Count>
struct SlotPlaces {
  UINTN    Place[Count];

  [[nodiscard]] constexpr UINTN
  FirstMisplaced () const
  {
    for (UINTN Index = 0; Index < Count; Index++) {
      if (Place[Index] != Index) {
        return Index;
      }
    }

    return Count;
  }

  [[nodiscard]] constexpr BOOLEAN
  Listed (
    IN UINTN  Wanted
    ) const
  {
    for (UINTN Index = 0; Index < Count; Index++) {
      if (Place[Index] == Wanted) {
        return TRUE;
      }
    }

    return FALSE;
  }
};

#define SLOT_PLACE(Name)  ((OSKEL_OFFSET_OF (CheckedRecord, Name) - CheckedFirst) / sizeof (VOID *)),

#define CHECK_SLOT_PLACE(Name)                                                                                   \
  static_assert (                                                                                                \
    (CheckedIndex::Name != mPlaces.FirstMisplaced ()) || mPlaces.Listed (CheckedIndex::Name),                   \
    "SlotList.h lacks the slot of BMC_COMMANDS_PPI that comes just before " #Name ": list it there, in the order of the record" \
    );                                                                                                           \
  static_assert (                                                                                                \
    (CheckedIndex::Name != mPlaces.FirstMisplaced ()) || !mPlaces.Listed (CheckedIndex::Name),                  \
    "slot " #Name " is not at its place in BMC_COMMANDS_PPI: list the slots in SlotList.h in the order of the record" \
    );

namespace RecordAndList {

using CheckedRecord = BMC_COMMANDS_PPI;
namespace CheckedIndex = Slot;

constexpr UINTN  CheckedFirst = OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query);

constexpr SlotPlaces<Slot::Count>  mPlaces = { { BMC_COMMANDS_SLOT_LIST (SLOT_PLACE, SLOT_PLACE) } };

BMC_COMMANDS_SLOT_LIST (CHECK_SLOT_PLACE, CHECK_SLOT_PLACE)

//
// The counts: the record's slots, the list's and BMC_OPERATION_COUNT. A
// failed comparison shows the two numbers.
//
constexpr UINTN  RECORD_SLOTS = (sizeof (BMC_COMMANDS_PPI) - CheckedFirst) / sizeof (VOID *);

static_assert (
  RECORD_SLOTS == Slot::Count,
  "BMC_COMMANDS_PPI and SlotList.h differ in their number of slots: add the record's new slot to the list, at its place"
  );
static_assert (
  BMC_OPERATION_COUNT == RECORD_SLOTS,
  "BMC_OPERATION_COUNT in Include/Ppi/BmcCommands.h is not the number of slots of BMC_COMMANDS_PPI: count every slot of the record there"
  );

}  // namespace RecordAndList

#if OSKEL_NC_TEST (SlotMissingFromList)
OSKEL_NC_EXPECT ("SlotList.h lacks the slot of BMC_COMMANDS_PPI that comes just before Third");
//
// A list that skips a slot of its record: only the slot after the gap is
// named, not every slot after it.
//
namespace NcMissing {
struct CheckedRecord {
  VOID    *Head;
  VOID    *First;
  VOID    *Second;
  VOID    *Third;
  VOID    *Fourth;
};
#define NC_LIST(DISPATCHED, OWN)  DISPATCHED (First) DISPATCHED (Third) DISPATCHED (Fourth)
#define NC_NUMBER(Name)  Name,
namespace CheckedIndex {
enum Number : UINT8 { NC_LIST (NC_NUMBER, NC_NUMBER) Count };
}
constexpr UINTN  CheckedFirst = OSKEL_OFFSET_OF (CheckedRecord, First);
constexpr SlotPlaces<CheckedIndex::Count>  mPlaces = { { NC_LIST (SLOT_PLACE, SLOT_PLACE) } };
NC_LIST (CHECK_SLOT_PLACE, CHECK_SLOT_PLACE)
}  // namespace NcMissing
#endif

#if OSKEL_NC_TEST (SlotOutOfOrder)
OSKEL_NC_EXPECT ("slot Third is not at its place in BMC_COMMANDS_PPI: list the slots in SlotList.h in the order of the record");
//
// Two slots listed the other way round: the first of them is named.
//
namespace NcSwapped {
struct CheckedRecord {
  VOID    *Head;
  VOID    *First;
  VOID    *Second;
  VOID    *Third;
};
#define NC_LIST(DISPATCHED, OWN)  DISPATCHED (First) DISPATCHED (Third) DISPATCHED (Second)
#define NC_NUMBER(Name)  Name,
namespace CheckedIndex {
enum Number : UINT8 { NC_LIST (NC_NUMBER, NC_NUMBER) Count };
}
constexpr UINTN  CheckedFirst = OSKEL_OFFSET_OF (CheckedRecord, First);
constexpr SlotPlaces<CheckedIndex::Count>  mPlaces = { { NC_LIST (SLOT_PLACE, SLOT_PLACE) } };
NC_LIST (CHECK_SLOT_PLACE, CHECK_SLOT_PLACE)
}  // namespace NcSwapped
#endif

#if OSKEL_NC_TEST (OperationCountDisagrees)
OSKEL_NC_EXPECT ("BMC_OPERATION_COUNT in Include/Ppi/BmcCommands.h is not the number of slots of BMC_COMMANDS_PPI");
//
// A count one above the record's: the message names the count that is
// wrong and where it is written.
//
namespace NcCount {
#undef BMC_OPERATION_COUNT
#define BMC_OPERATION_COUNT  (RecordAndList::RECORD_SLOTS + 1)
static_assert (
  BMC_OPERATION_COUNT == RecordAndList::RECORD_SLOTS,
  "BMC_OPERATION_COUNT in Include/Ppi/BmcCommands.h is not the number of slots of BMC_COMMANDS_PPI: count every slot of the record there"
  );
}  // namespace NcCount
#endif

#undef SLOT_PLACE
#undef CHECK_SLOT_PLACE

//
// The slots, laid out as they follow PeiServices in the record, so that the
// record takes them in one copy. Every member carries the record's own name
// and type.
//
#define SLOT_MEMBER(Name)  decltype (BMC_COMMANDS_PPI::Name) Name;  // NOLINT(bugprone-macro-parentheses): Name is a member name, not an expression

struct SlotTable {
  BMC_COMMANDS_SLOT_LIST (SLOT_MEMBER, SLOT_MEMBER)
};

#undef SLOT_MEMBER

static_assert (sizeof (SlotTable) == Slot::Count * sizeof (VOID *), "the slot table is the record's slots alone");

#if defined (OSKEL_ARCH_IA32)
#define DISPATCHED_SLOT(Name)  .Name = ::Name,
#else
#define DISPATCHED_SLOT(Name)  .Name = &SlotFunction<Slot::Name, decltype (BMC_COMMANDS_PPI::Name)>::Entry,
#endif
#define OWN_SLOT(Name)  .Name = ::Name,

constexpr SlotTable  mSlots = {
  BMC_COMMANDS_SLOT_LIST (DISPATCHED_SLOT, OWN_SLOT)
};

#undef DISPATCHED_SLOT
#undef OWN_SLOT

}  // namespace

//
// The rows in slot order: a slot finds its row by its slot number. Each row
// is written beside its exchange, named for its slot (NameRow, in the
// subsystem headers); a slot of the list without a row of its name does not
// build. A dispatched slot's row takes its argument count from the slot's
// type; a slot of its own hands Dispatch a block it builds itself.
//
#define DISPATCHED_ROW(Name)  WithArguments<decltype (BMC_COMMANDS_PPI::Name)>(Name##Row),
#define OWN_ROW(Name)         Name##Row,

constexpr OperationSpec  mOperations[BMC_COMMANDS_SLOTS] = {
  BMC_COMMANDS_SLOT_LIST (DISPATCHED_ROW, OWN_ROW)
};

#undef DISPATCHED_ROW
#undef OWN_ROW

namespace {

template <typename... Parameters>
constexpr BOOLEAN
EachParameterFitsAWord (
  EFI_STATUS (EFIAPI *)(Parameters...)
  )
{
  return ((sizeof (Parameters) <= sizeof (UINTN)) && ...);  // NOLINT(bugprone-sizeof-expression): the width of each parameter, pointers included, is what is checked
}

//
// Bit N set: parameter N is a pointer.
//
template <typename... Parameters>
constexpr UINT64
PointerParameters (
  EFI_STATUS (EFIAPI *)(Parameters...)
  )
{
  UINT64  Mask = 0;
  UINT64  Bit  = 1;

  ((Mask |= (IsPointer<Parameters> ? Bit : 0), Bit <<= 1), ...);
  return Mask;
}

//
// Each slot has its wire contract (NameContract, beside its row: the host
// tests, the fuzzer and the budget probe are made from it; the firmware
// never references it). Each dispatched slot agrees with its row, as
// Dispatch reads the words the slot hands it: each argument in one word,
// and .Required naming pointers alone. CheckedRecord names the record in
// the namespace the checks are expanded in.
//
#define CHECK_SLOT_CONTRACT(Name)                                                                        \
  static_assert (sizeof (Name##Contract) > 1, "slot " #Name ": its wire contract, beside its row, is empty");

#define CHECK_SLOT_SHAPE(Name)                                                                          \
  CHECK_SLOT_CONTRACT (Name)                                                                            \
  static_assert (                                                                                       \
    EachParameterFitsAWord (decltype (CheckedRecord::Name) {}),                                        \
    "slot " #Name ": a parameter is wider than UINTN; a slot takes each argument in one word, so pass " \
    "a wider value by pointer"                                                                          \
    );                                                                                                  \
  static_assert (                                                                                       \
    ((static_cast<UINT64>(Name##Row.Required) << 2) & ~PointerParameters (decltype (CheckedRecord::Name) {})) == 0, \
    "slot " #Name ": .Required of its row names an argument that is not a pointer"                    \
    );

namespace RowsAndSlots {

using CheckedRecord = BMC_COMMANDS_PPI;

BMC_COMMANDS_SLOT_LIST (CHECK_SLOT_SHAPE, CHECK_SLOT_CONTRACT)

}  // namespace RowsAndSlots

#if OSKEL_NC_TEST (SlotWithoutRow)
OSKEL_NC_EXPECT ("Oem45QueryRow.*(not declared|undeclared)");
//
// A slot listed with no row of its name.
//
constexpr OperationSpec  NcRows[] = { WithArguments<BMC_COMMANDS_GET_DEVICE_ID>(Oem45QueryRow) };
#endif

#if OSKEL_NC_TEST (SlotWithoutContract)
OSKEL_NC_EXPECT ("Oem45QueryContract.*(not declared|undeclared)");
//
// A slot with a row and no wire contract: no test would call it.
//
constexpr OperationSpec  Oem45QueryRow = GetDeviceIdRow;
CHECK_SLOT_CONTRACT (Oem45Query)
#endif

#if OSKEL_NC_TEST (RowRequiresANonPointer)
OSKEL_NC_EXPECT ("slot SetSerialMux: .Required of its row names an argument that is not a pointer");
//
// A row that requires its slot's first argument, a byte.
//
namespace NcRequired {
using CheckedRecord = BMC_COMMANDS_PPI;
constexpr OperationSpec  SetSerialMuxRow = { .Required = ArgumentBit (UINT8 (0)), .Exchange = ExchangeSerialMux };
CHECK_SLOT_SHAPE (SetSerialMux)
}  // namespace NcRequired
#endif

#if OSKEL_NC_TEST (ParameterWiderThanWord)
OSKEL_NC_EXPECT ("slot Wide: a parameter is wider than UINTN");
//
// A slot that takes a record by value: it would not lie in one word of the
// caller's frame.
//
namespace NcWide {
struct TwoWords {
  UINTN    Low;
  UINTN    High;
};
struct CheckedRecord {
  EFI_STATUS (EFIAPI *Wide)(CONST EFI_PEI_SERVICES **, BMC_COMMANDS_PPI *, TwoWords, UINT8 *, BOOLEAN);
};
constexpr OperationSpec  WideRow     = { .Exchange = QueryIntoCallerBuffer };
constexpr CHAR8          WideContract[] = "Value 01\n";
CHECK_SLOT_SHAPE (Wide)
}  // namespace NcWide
#endif

#undef CHECK_SLOT_SHAPE
#undef CHECK_SLOT_CONTRACT

}  // namespace

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
  CopyMem (&Ppi->OemC1Query, &mSlots, sizeof (mSlots));
}

}  // namespace Oskel
