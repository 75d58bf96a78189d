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
// -m32 and natively. The slots that exist keep their offsets; a new slot
// goes at the end.
//
#if defined (OSKEL_ARCH_IA32)
static_assert (sizeof (BMC_COMMANDS_PRIVATE) == 8 + 264 + 4 * BMC_OPERATION_COUNT, "the IA32 record is its head and BMC_OPERATION_COUNT slots: add a new slot at the end of BMC_COMMANDS_PPI and count it in BMC_OPERATION_COUNT");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PRIVATE, Interface) == 8, "interface offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ScratchBuffer) == 4, "scratch offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Self) == 252, "self offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Transport) == 256, "transport offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, PeiServices) == 260, "services offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query) == 264, "slot 0 offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 392, "slot 32 offset");
static_assert (sizeof (EFI_PEI_PPI_DESCRIPTOR) == 12, "descriptor size");
#elif defined (OSKEL_ARCH_X64)
static_assert (sizeof (BMC_COMMANDS_PRIVATE) == 8 + 280 + 8 * BMC_OPERATION_COUNT, "the X64 record is its head and BMC_OPERATION_COUNT slots: add a new slot at the end of BMC_COMMANDS_PPI and count it in BMC_OPERATION_COUNT");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PRIVATE, Interface) == 8, "interface offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ScratchBuffer) == 4, "scratch offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Self) == 256, "self offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Transport) == 264, "transport offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, PeiServices) == 272, "services offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query) == 280, "slot 0 offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 536, "slot 32 offset");
static_assert (sizeof (EFI_PEI_PPI_DESCRIPTOR) == 24, "descriptor size");
#endif

namespace {

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

constexpr UINTN  SLOTS_OFFSET = OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query);

//
// The list and the record agree: each slot of the list sits at its own
// place in the record, and the record has no slot the list lacks.
//
#define CHECK_SLOT_PLACE(Name)                                                                  \
  static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Name) == SLOTS_OFFSET + Slot::Name * sizeof (VOID *), \
    "slot " #Name " is not at its place in BMC_COMMANDS_PPI: list the slots in SlotList.h in the order of the record");

BMC_COMMANDS_SLOT_LIST (CHECK_SLOT_PLACE, CHECK_SLOT_PLACE)

#undef CHECK_SLOT_PLACE

static_assert (
  sizeof (BMC_COMMANDS_PPI) == SLOTS_OFFSET + Slot::Count * sizeof (VOID *),
  "BMC_COMMANDS_PPI and SlotList.h differ in their number of slots: add the record's new slot to the list, at its place"
  );
static_assert (
  BMC_OPERATION_COUNT == Slot::Count,
  "BMC_OPERATION_COUNT in Include/Ppi/BmcCommands.h must be the number of slots in SlotList.h"
  );
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
// One row per slot, named for it; mOperations below puts them in the order
// of the slot list. Operations of the same shape share one Exchange and
// tell themselves apart by NetFn, Command or Variant.
//
constexpr OperationSpec  OemC1QueryRow = {
  .Arguments = 2,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_QUERY_C1,
  .Required  = CALLER_BUFFER_REQUIRED,
  .Exchange  = QueryIntoCallerBuffer
};

constexpr OperationSpec  OemC2ExchangeRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::Broadcast,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_EXCHANGE_C2,
  .Required  = ArgumentBit (IN_PLACE_BUFFER),
  .Exchange  = ExchangeInPlace
};

constexpr OperationSpec  Oem20ExchangeRow = {
  .Arguments = 2,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_EXCHANGE_20,
  .Required  = ArgumentBit (IN_PLACE_BUFFER) | ArgumentBit (IN_PLACE_LENGTH),
  .Check     = Check20Length,
  .Exchange  = ExchangeInPlace
};

constexpr OperationSpec  RegionReadRow = {
  .Arguments = 4,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_REGION_READ,
  .Required  = ArgumentBit (REGION_LENGTH) | ArgumentBit (REGION_BUFFER),
  .Check     = CheckRegionLength,
  .Exchange  = TransferRegion
};

constexpr OperationSpec  RegionWriteRow = {
  .Arguments = 4,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_REGION_WRITE,
  .Required  = ArgumentBit (REGION_LENGTH) | ArgumentBit (REGION_BUFFER),
  .Check     = CheckRegionLength,
  .Exchange  = TransferRegion
};

constexpr OperationSpec  SendRawCommandRow = {
  .Arguments = 4,
  .Kind      = DispatchKind::SingleBmc,
  .Required  = ArgumentBit (RAW_DATA) | ArgumentBit (RAW_DATA_LENGTH),
  .Check     = CheckRawCommand,
  .Exchange  = ExchangeRawCommand
};

constexpr OperationSpec  GetDeviceIdRow = {
  .Arguments = 2,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = IPMI_NETFN_APP,
  .Command   = IPMI_CMD_GET_DEVICE_ID,
  .Required  = CALLER_BUFFER_REQUIRED,
  .Exchange  = QueryIntoCallerBuffer
};

constexpr OperationSpec  GetSelfTestResultsRow = {
  .Arguments = 2,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = IPMI_NETFN_APP,
  .Command   = IPMI_CMD_GET_SELF_TEST_RESULTS,
  .Required  = CALLER_BUFFER_REQUIRED,
  .Exchange  = QueryIntoCallerBuffer
};

//
// The index is checked like every operation's, but the report goes to
// every BMC whatever its value, or to BMC 0 alone for the stages that
// concern it alone; the stage command keeps its own guard.
//
constexpr OperationSpec  ReportBootStageRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::BootStage,
  .Guarded   = FALSE,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_BOOT_STAGE,
  .Exchange  = ReportStage
};

constexpr OperationSpec  GetOem10ValueRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_VALUE_10,
  .Required  = ArgumentBit (0),
  .Exchange  = GetValue
};

constexpr OperationSpec  SetOem10ValueRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::Broadcast,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_VALUE_10,
  .Required  = ArgumentBit (0),
  .Check     = CheckNewValue,
  .Exchange  = SetValue
};

constexpr OperationSpec  SetOem62FlagRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::Broadcast,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_FLAG_62,
  .Exchange  = SetFlag
};

constexpr OperationSpec  FileOpenRow = {
  .Arguments = OPEN_ARGUMENTS,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_GROUP,
  .Command   = OEM_CMD_FILE_SERVICE,
  .Variant   = OEM_FILE_OPEN,
  .Required  = ArgumentBit (OPEN_NAME),
  .Check     = CheckOpen,
  .Exchange  = FileExchange
};

//
// Read and write: every chunk under one guard.
//
constexpr OperationSpec  FileReadRow = {
  .Arguments = READ_ARGUMENTS,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_GROUP,
  .Command   = OEM_CMD_FILE_SERVICE,
  .Variant   = OEM_FILE_READ,
  .Required  = ArgumentBit (READ_BUFFER) | ArgumentBit (READ_BYTES_READ),
  .Check     = ClearReport,
  .Exchange  = TransferFile
};

constexpr OperationSpec  FileWriteRow = {
  .Arguments = WRITE_ARGUMENTS,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_GROUP,
  .Command   = OEM_CMD_FILE_SERVICE,
  .Variant   = OEM_FILE_WRITE,
  .Required  = ArgumentBit (WRITE_BUFFER) | ArgumentBit (WRITE_COUNT),
  .Exchange  = TransferFile
};

constexpr OperationSpec  FileCloseRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_GROUP,
  .Command   = OEM_CMD_FILE_SERVICE,
  .Variant   = OEM_FILE_CLOSE,
  .Check     = CheckClose,
  .Exchange  = FileExchange
};

constexpr OperationSpec  ReadKnownFileRow = {
  .Arguments = READ_ARGUMENTS + 1,
  .Kind      = DispatchKind::SingleBmc,
  .Variant   = FILE_ACCESS_READ,
  .Required  = ArgumentBit (READ_BUFFER) | ArgumentBit (READ_BYTES_READ),
  .Exchange  = KnownFileExchange
};

constexpr OperationSpec  WriteKnownFileRow = {
  .Arguments = WRITE_ARGUMENTS + 1,
  .Kind      = DispatchKind::SingleBmc,
  .Variant   = FILE_ACCESS_WRITE,
  .Required  = ArgumentBit (WRITE_BUFFER) | ArgumentBit (WRITE_COUNT),
  .Exchange  = KnownFileExchange
};

constexpr OperationSpec  FileDeleteRow = {
  .Arguments = 3,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_GROUP,
  .Command   = OEM_CMD_FILE_SERVICE,
  .Variant   = OEM_FILE_DELETE,
  .Exchange  = FileExchange
};

constexpr OperationSpec  GetFileSizeRow = {
  .Arguments = NAMED_SIZE + 1,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_GROUP,
  .Command   = OEM_CMD_FILE_SERVICE,
  .Variant   = OEM_FILE_SIZE,
  .Required  = ArgumentBit (NAMED_SIZE),
  .Check     = ClearReport,
  .Exchange  = FileExchange
};

constexpr OperationSpec  UploadBlocksRow = {
  .Arguments = 5,
  .Kind      = DispatchKind::Broadcast,
  .NetFn     = OEM_NETFN_GROUP,
  .Command   = OEM_CMD_BLOCK_UPLOAD,
  .Check     = CheckUpload,
  .Exchange  = UploadExchange
};

constexpr OperationSpec  UploadBlocksOp1Row = {
  .Arguments = 4,
  .Kind      = DispatchKind::Broadcast,
  .NetFn     = OEM_NETFN_GROUP,
  .Command   = OEM_CMD_BLOCK_UPLOAD,
  .Variant   = OEM_UPLOAD_OPERATION_01,
  .Check     = CheckUpload,
  .Exchange  = UploadExchange
};

constexpr OperationSpec  StartPostWatchdogRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::Broadcast,
  .NetFn     = IPMI_NETFN_APP,
  .Command   = IPMI_CMD_SET_WATCHDOG_TIMER,
  .Exchange  = ArmAndStartWatchdog
};

constexpr OperationSpec  Oem1CSetWordRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::BmcZeroOnly,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_1C,
  .Variant   = OEM_1C_SET_WORD_LENGTH,
  .Exchange  = WriteOem1C
};

constexpr OperationSpec  Oem1CClearRow = {
  .Arguments = 0,
  .Kind      = DispatchKind::BmcZeroOnly,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_1C,
  .Variant   = OEM_1C_CLEAR_LENGTH,
  .Exchange  = WriteOem1C
};

//
// Steps that keep their own guards, so each judges the BMC afresh.
//
constexpr OperationSpec  ConfigureSerialConsoleRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::Broadcast,
  .Guarded   = FALSE,
  .Required  = ArgumentBit (0),
  .Exchange  = ConfigureSerialConsoleSteps
};

constexpr OperationSpec  SetSerialMuxRow = {
  .Arguments = 3,
  .Kind      = DispatchKind::Broadcast,
  .NetFn     = IPMI_NETFN_TRANSPORT,
  .Command   = IPMI_CMD_SET_SERIAL_MODEM_MUX,
  .Required  = ArgumentBit (MUX_STATUS),
  .Check     = CheckSetSerialMux,
  .Exchange  = ExchangeSerialMux
};

//
// The read of slot 28 and the write keep their own guards.
//
constexpr OperationSpec  SetOem1CStateRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::BmcZeroOnly,
  .Guarded   = FALSE,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_1C,
  .Variant   = OEM_1C_STATE_WRITE,
  .Check     = CheckState,
  .Exchange  = SetStateUnlessHeld
};

constexpr OperationSpec  GetOem1CStateRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_1C,
  .Required  = ArgumentBit (0),
  .Exchange  = ReadState
};

constexpr OperationSpec  ReadBmcSettingRow = {
  .Arguments = 3,
  .Kind      = DispatchKind::SingleBmc,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_SETTINGS_STORE,
  .Variant   = SETTINGS_OP_READ,
  .Required  = ArgumentBit (READ_SETTING_VALUE),
  .Exchange  = ExchangeSetting
};

constexpr OperationSpec  WriteBmcSettingRow = {
  .Arguments = 4,
  .Kind      = DispatchKind::Broadcast,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_SETTINGS_STORE,
  .Variant   = SETTINGS_OP_WRITE,
  .Required  = ArgumentBit (WRITE_SETTING_VALUE),
  .Exchange  = ExchangeSetting
};

constexpr OperationSpec  Oem1CSetWordExRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::BmcZeroOnly,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_1C,
  .Variant   = OEM_1C_SET_WORD_EX_LENGTH,
  .Exchange  = WriteOem1C
};

//
// Stage 7 to BMC 1, dispatched by ReportBootStageSecondary itself.
//
constexpr OperationSpec  ReportBootStageSecondaryRow = {
  .Arguments = 1,
  .Kind      = DispatchKind::SingleBmc,
  .Guarded   = FALSE,
  .NetFn     = OEM_NETFN_CONTROLLER,
  .Command   = OEM_CMD_BOOT_STAGE,
  .Exchange  = ReportStage
};

//
// The rows in slot order: a slot finds its row by its slot number. A slot of
// the list without a row of its name does not build.
//
#define SLOT_ROW(Name)  Name##Row,

constexpr OperationSpec  mOperations[BMC_COMMANDS_SLOTS] = {
  BMC_COMMANDS_SLOT_LIST (SLOT_ROW, SLOT_ROW)
};

#undef SLOT_ROW

namespace {

//
// What a slot's declaration in the record says of its parameters.
//
template <typename T>
constexpr BOOLEAN  IsPointer = FALSE;

template <typename T>
constexpr BOOLEAN  IsPointer<T *> = TRUE;

template <typename... Parameters>
constexpr UINTN
ParameterCount (
  EFI_STATUS (EFIAPI *)(Parameters...)
  )
{
  return sizeof...(Parameters);
}

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
// Each dispatched slot agrees with its row, as Dispatch reads the words the
// slot hands it: PeiServices, This, .Arguments words, BmcInstance, Force,
// each argument in one word, and .Required naming pointers alone. A slot of
// its own hands Dispatch a block it builds itself.
//
#define CHECK_SLOT_SHAPE(Name)                                                                          \
  static_assert (                                                                                       \
    ParameterCount (decltype (BMC_COMMANDS_PPI::Name) {}) == 2 + Name##Row.Arguments + 2,              \
    "slot " #Name ": .Arguments of its row must count its parameters between This and BmcInstance"     \
    );                                                                                                  \
  static_assert (                                                                                       \
    EachParameterFitsAWord (decltype (BMC_COMMANDS_PPI::Name) {}),                                     \
    "slot " #Name ": a parameter is wider than UINTN; a slot takes each argument in one word, so pass " \
    "a wider value by pointer"                                                                          \
    );                                                                                                  \
  static_assert (                                                                                       \
    ((static_cast<UINT64>(Name##Row.Required) << 2) & ~PointerParameters (decltype (BMC_COMMANDS_PPI::Name) {})) == 0, \
    "slot " #Name ": .Required of its row names an argument that is not a pointer"                    \
    );

#define SKIP_OWN_SLOT(Name)

BMC_COMMANDS_SLOT_LIST (CHECK_SLOT_SHAPE, SKIP_OWN_SLOT)

#undef CHECK_SLOT_SHAPE
#undef SKIP_OWN_SLOT

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
