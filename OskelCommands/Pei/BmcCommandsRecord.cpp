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
// -m32 and natively.
//
#if defined (OSKEL_ARCH_IA32)
static_assert (sizeof (BMC_COMMANDS_PRIVATE) == 404, "record size");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PRIVATE, Interface) == 8, "interface offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ScratchBuffer) == 4, "scratch offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Self) == 252, "self offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Transport) == 256, "transport offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, PeiServices) == 260, "services offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query) == 264, "slot 0 offset");
static_assert (OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 392, "slot 32 offset");
static_assert (sizeof (EFI_PEI_PPI_DESCRIPTOR) == 12, "descriptor size");
#elif defined (OSKEL_ARCH_X64)
static_assert (sizeof (BMC_COMMANDS_PRIVATE) == 552, "record size");
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
// and type, and sits at the record's own offset.
//
struct SlotTable {
  BMC_COMMANDS_OEM_C1_QUERY                OemC1Query;
  BMC_COMMANDS_OEM_C2_EXCHANGE             OemC2Exchange;
  BMC_COMMANDS_OEM_20_EXCHANGE             Oem20Exchange;
  BMC_COMMANDS_REGION_READ                 RegionRead;
  BMC_COMMANDS_REGION_WRITE                RegionWrite;
  BMC_COMMANDS_SEND_RAW_COMMAND            SendRawCommand;
  BMC_COMMANDS_GET_DEVICE_ID               GetDeviceId;
  BMC_COMMANDS_GET_SELF_TEST_RESULTS       GetSelfTestResults;
  BMC_COMMANDS_REPORT_BOOT_STAGE           ReportBootStage;
  BMC_COMMANDS_GET_OEM_10_VALUE            GetOem10Value;
  BMC_COMMANDS_SET_OEM_10_VALUE            SetOem10Value;
  BMC_COMMANDS_SET_OEM_62_FLAG             SetOem62Flag;
  BMC_COMMANDS_FILE_OPEN                   FileOpen;
  BMC_COMMANDS_FILE_READ                   FileRead;
  BMC_COMMANDS_FILE_WRITE                  FileWrite;
  BMC_COMMANDS_FILE_CLOSE                  FileClose;
  BMC_COMMANDS_READ_KNOWN_FILE             ReadKnownFile;
  BMC_COMMANDS_WRITE_KNOWN_FILE            WriteKnownFile;
  BMC_COMMANDS_FILE_DELETE                 FileDelete;
  BMC_COMMANDS_GET_FILE_SIZE               GetFileSize;
  BMC_COMMANDS_UPLOAD_BLOCKS               UploadBlocks;
  BMC_COMMANDS_UPLOAD_BLOCKS_OP1           UploadBlocksOp1;
  BMC_COMMANDS_START_POST_WATCHDOG         StartPostWatchdog;
  BMC_COMMANDS_OEM_1C_SET_WORD             Oem1CSetWord;
  BMC_COMMANDS_OEM_1C_CLEAR                Oem1CClear;
  BMC_COMMANDS_CONFIGURE_SERIAL_CONSOLE    ConfigureSerialConsole;
  BMC_COMMANDS_SET_SERIAL_MUX              SetSerialMux;
  BMC_COMMANDS_SET_OEM_1C_STATE            SetOem1CState;
  BMC_COMMANDS_GET_OEM_1C_STATE            GetOem1CState;
  BMC_COMMANDS_READ_BMC_SETTING            ReadBmcSetting;
  BMC_COMMANDS_WRITE_BMC_SETTING           WriteBmcSetting;
  BMC_COMMANDS_OEM_1C_SET_WORD_EX          Oem1CSetWordEx;
  BMC_COMMANDS_REPORT_BOOT_STAGE_SECONDARY ReportBootStageSecondary;
};

constexpr UINTN  SLOTS_OFFSET = OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query);

static_assert (sizeof (SlotTable) == sizeof (BMC_COMMANDS_PPI) - SLOTS_OFFSET, "every slot, and nothing after them");
static_assert (OSKEL_OFFSET_OF (SlotTable, OemC1Query) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC1Query) - SLOTS_OFFSET, "slot 0");
static_assert (OSKEL_OFFSET_OF (SlotTable, OemC2Exchange) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, OemC2Exchange) - SLOTS_OFFSET, "slot 1");
static_assert (OSKEL_OFFSET_OF (SlotTable, Oem20Exchange) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Oem20Exchange) - SLOTS_OFFSET, "slot 2");
static_assert (OSKEL_OFFSET_OF (SlotTable, RegionRead) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, RegionRead) - SLOTS_OFFSET, "slot 3");
static_assert (OSKEL_OFFSET_OF (SlotTable, RegionWrite) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, RegionWrite) - SLOTS_OFFSET, "slot 4");
static_assert (OSKEL_OFFSET_OF (SlotTable, SendRawCommand) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, SendRawCommand) - SLOTS_OFFSET, "slot 5");
static_assert (OSKEL_OFFSET_OF (SlotTable, GetDeviceId) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, GetDeviceId) - SLOTS_OFFSET, "slot 6");
static_assert (OSKEL_OFFSET_OF (SlotTable, GetSelfTestResults) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, GetSelfTestResults) - SLOTS_OFFSET, "slot 7");
static_assert (OSKEL_OFFSET_OF (SlotTable, ReportBootStage) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ReportBootStage) - SLOTS_OFFSET, "slot 8");
static_assert (OSKEL_OFFSET_OF (SlotTable, GetOem10Value) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, GetOem10Value) - SLOTS_OFFSET, "slot 9");
static_assert (OSKEL_OFFSET_OF (SlotTable, SetOem10Value) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, SetOem10Value) - SLOTS_OFFSET, "slot 10");
static_assert (OSKEL_OFFSET_OF (SlotTable, SetOem62Flag) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, SetOem62Flag) - SLOTS_OFFSET, "slot 11");
static_assert (OSKEL_OFFSET_OF (SlotTable, FileOpen) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, FileOpen) - SLOTS_OFFSET, "slot 12");
static_assert (OSKEL_OFFSET_OF (SlotTable, FileRead) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, FileRead) - SLOTS_OFFSET, "slot 13");
static_assert (OSKEL_OFFSET_OF (SlotTable, FileWrite) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, FileWrite) - SLOTS_OFFSET, "slot 14");
static_assert (OSKEL_OFFSET_OF (SlotTable, FileClose) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, FileClose) - SLOTS_OFFSET, "slot 15");
static_assert (OSKEL_OFFSET_OF (SlotTable, ReadKnownFile) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ReadKnownFile) - SLOTS_OFFSET, "slot 16");
static_assert (OSKEL_OFFSET_OF (SlotTable, WriteKnownFile) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, WriteKnownFile) - SLOTS_OFFSET, "slot 17");
static_assert (OSKEL_OFFSET_OF (SlotTable, FileDelete) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, FileDelete) - SLOTS_OFFSET, "slot 18");
static_assert (OSKEL_OFFSET_OF (SlotTable, GetFileSize) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, GetFileSize) - SLOTS_OFFSET, "slot 19");
static_assert (OSKEL_OFFSET_OF (SlotTable, UploadBlocks) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, UploadBlocks) - SLOTS_OFFSET, "slot 20");
static_assert (OSKEL_OFFSET_OF (SlotTable, UploadBlocksOp1) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, UploadBlocksOp1) - SLOTS_OFFSET, "slot 21");
static_assert (OSKEL_OFFSET_OF (SlotTable, StartPostWatchdog) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, StartPostWatchdog) - SLOTS_OFFSET, "slot 22");
static_assert (OSKEL_OFFSET_OF (SlotTable, Oem1CSetWord) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Oem1CSetWord) - SLOTS_OFFSET, "slot 23");
static_assert (OSKEL_OFFSET_OF (SlotTable, Oem1CClear) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Oem1CClear) - SLOTS_OFFSET, "slot 24");
static_assert (OSKEL_OFFSET_OF (SlotTable, ConfigureSerialConsole) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ConfigureSerialConsole) - SLOTS_OFFSET, "slot 25");
static_assert (OSKEL_OFFSET_OF (SlotTable, SetSerialMux) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, SetSerialMux) - SLOTS_OFFSET, "slot 26");
static_assert (OSKEL_OFFSET_OF (SlotTable, SetOem1CState) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, SetOem1CState) - SLOTS_OFFSET, "slot 27");
static_assert (OSKEL_OFFSET_OF (SlotTable, GetOem1CState) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, GetOem1CState) - SLOTS_OFFSET, "slot 28");
static_assert (OSKEL_OFFSET_OF (SlotTable, ReadBmcSetting) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ReadBmcSetting) - SLOTS_OFFSET, "slot 29");
static_assert (OSKEL_OFFSET_OF (SlotTable, WriteBmcSetting) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, WriteBmcSetting) - SLOTS_OFFSET, "slot 30");
static_assert (OSKEL_OFFSET_OF (SlotTable, Oem1CSetWordEx) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, Oem1CSetWordEx) - SLOTS_OFFSET, "slot 31");
static_assert (OSKEL_OFFSET_OF (SlotTable, ReportBootStageSecondary) == OSKEL_OFFSET_OF (BMC_COMMANDS_PPI, ReportBootStageSecondary) - SLOTS_OFFSET, "slot 32");

constexpr SlotTable  mSlots = {
  .OemC1Query               = ::OemC1Query,
  .OemC2Exchange            = ::OemC2Exchange,
  .Oem20Exchange            = ::Oem20Exchange,
  .RegionRead               = ::RegionRead,
  .RegionWrite              = ::RegionWrite,
  .SendRawCommand           = ::SendRawCommand,
  .GetDeviceId              = ::GetDeviceId,
  .GetSelfTestResults       = ::GetSelfTestResults,
  .ReportBootStage          = ::ReportBootStage,
  .GetOem10Value            = ::GetOem10Value,
  .SetOem10Value            = ::SetOem10Value,
  .SetOem62Flag             = ::SetOem62Flag,
  .FileOpen                 = ::FileOpen,
  .FileRead                 = ::FileRead,
  .FileWrite                = ::FileWrite,
  .FileClose                = ::FileClose,
  .ReadKnownFile            = ::ReadKnownFile,
  .WriteKnownFile           = ::WriteKnownFile,
  .FileDelete               = ::FileDelete,
  .GetFileSize              = ::GetFileSize,
  .UploadBlocks             = ::UploadBlocks,
  .UploadBlocksOp1          = ::UploadBlocksOp1,
  .StartPostWatchdog        = ::StartPostWatchdog,
  .Oem1CSetWord             = ::Oem1CSetWord,
  .Oem1CClear               = ::Oem1CClear,
  .ConfigureSerialConsole   = ::ConfigureSerialConsole,
  .SetSerialMux             = ::SetSerialMux,
  .SetOem1CState            = ::SetOem1CState,
  .GetOem1CState            = ::GetOem1CState,
  .ReadBmcSetting           = ::ReadBmcSetting,
  .WriteBmcSetting          = ::WriteBmcSetting,
  .Oem1CSetWordEx           = ::Oem1CSetWordEx,
  .ReportBootStageSecondary = ::ReportBootStageSecondary,
};

}  // namespace

//
// One row per slot, in slot order; a slot finds its row by its place in the
// record (BMC_COMMANDS_SLOT). Operations of the same shape share one
// Exchange and tell themselves apart by NetFn, Command or Variant.
//
constexpr OperationSpec  mOperations[BMC_COMMANDS_SLOTS] = {
  {  // 0 OemC1Query
    .Arguments = 2,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_QUERY_C1,
    .Required  = CALLER_BUFFER_REQUIRED,
    .Exchange  = QueryIntoCallerBuffer
  },
  {  // 1 OemC2Exchange
    .Arguments = 1,
    .Kind      = DispatchKind::Broadcast,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_EXCHANGE_C2,
    .Required  = ArgumentBit (IN_PLACE_BUFFER),
    .Exchange  = ExchangeInPlace
  },
  {  // 2 Oem20Exchange
    .Arguments = 2,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_EXCHANGE_20,
    .Required  = ArgumentBit (IN_PLACE_BUFFER) | ArgumentBit (IN_PLACE_LENGTH),
    .Check     = Check20Length,
    .Exchange  = ExchangeInPlace
  },
  {  // 3 RegionRead
    .Arguments = 4,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_REGION_READ,
    .Required  = ArgumentBit (REGION_LENGTH) | ArgumentBit (REGION_BUFFER),
    .Check     = CheckRegionLength,
    .Exchange  = TransferRegion
  },
  {  // 4 RegionWrite
    .Arguments = 4,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_REGION_WRITE,
    .Required  = ArgumentBit (REGION_LENGTH) | ArgumentBit (REGION_BUFFER),
    .Check     = CheckRegionLength,
    .Exchange  = TransferRegion
  },
  {  // 5 SendRawCommand
    .Arguments = 4,
    .Kind      = DispatchKind::SingleBmc,
    .Required  = ArgumentBit (RAW_DATA) | ArgumentBit (RAW_DATA_LENGTH),
    .Check     = CheckRawCommand,
    .Exchange  = ExchangeRawCommand
  },
  {  // 6 GetDeviceId
    .Arguments = 2,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = IPMI_NETFN_APP,
    .Command   = IPMI_CMD_GET_DEVICE_ID,
    .Required  = CALLER_BUFFER_REQUIRED,
    .Exchange  = QueryIntoCallerBuffer
  },
  {  // 7 GetSelfTestResults
    .Arguments = 2,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = IPMI_NETFN_APP,
    .Command   = IPMI_CMD_GET_SELF_TEST_RESULTS,
    .Required  = CALLER_BUFFER_REQUIRED,
    .Exchange  = QueryIntoCallerBuffer
  },
  //
  // The index is checked like every operation's, but the report goes to
  // every BMC whatever its value, or to BMC 0 alone for the stages that
  // concern it alone; the stage command keeps its own guard.
  //
  {  // 8 ReportBootStage
    .Arguments = 1,
    .Kind      = DispatchKind::BootStage,
    .Guarded   = FALSE,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_BOOT_STAGE,
    .Exchange  = ReportStage
  },
  {  // 9 GetOem10Value
    .Arguments = 1,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_VALUE_10,
    .Required  = ArgumentBit (0),
    .Exchange  = GetValue
  },
  {  // 10 SetOem10Value
    .Arguments = 1,
    .Kind      = DispatchKind::Broadcast,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_VALUE_10,
    .Required  = ArgumentBit (0),
    .Check     = CheckNewValue,
    .Exchange  = SetValue
  },
  {  // 11 SetOem62Flag
    .Arguments = 1,
    .Kind      = DispatchKind::Broadcast,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_FLAG_62,
    .Exchange  = SetFlag
  },
  {  // 12 FileOpen
    .Arguments = OPEN_ARGUMENTS,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_GROUP,
    .Command   = OEM_CMD_FILE_SERVICE,
    .Variant   = OEM_FILE_OPEN,
    .Required  = ArgumentBit (OPEN_NAME),
    .Check     = CheckOpen,
    .Exchange  = FileExchange
  },
  //
  // Read and write: every chunk under one guard.
  //
  {  // 13 FileRead
    .Arguments = READ_ARGUMENTS,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_GROUP,
    .Command   = OEM_CMD_FILE_SERVICE,
    .Variant   = OEM_FILE_READ,
    .Required  = ArgumentBit (READ_BUFFER) | ArgumentBit (READ_BYTES_READ),
    .Check     = ClearReport,
    .Exchange  = TransferFile
  },
  {  // 14 FileWrite
    .Arguments = WRITE_ARGUMENTS,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_GROUP,
    .Command   = OEM_CMD_FILE_SERVICE,
    .Variant   = OEM_FILE_WRITE,
    .Required  = ArgumentBit (WRITE_BUFFER) | ArgumentBit (WRITE_COUNT),
    .Exchange  = TransferFile
  },
  {  // 15 FileClose
    .Arguments = 1,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_GROUP,
    .Command   = OEM_CMD_FILE_SERVICE,
    .Variant   = OEM_FILE_CLOSE,
    .Check     = CheckClose,
    .Exchange  = FileExchange
  },
  {  // 16 ReadKnownFile
    .Arguments = READ_ARGUMENTS + 1,
    .Kind      = DispatchKind::SingleBmc,
    .Variant   = FILE_ACCESS_READ,
    .Required  = ArgumentBit (READ_BUFFER) | ArgumentBit (READ_BYTES_READ),
    .Exchange  = KnownFileExchange
  },
  {  // 17 WriteKnownFile
    .Arguments = WRITE_ARGUMENTS + 1,
    .Kind      = DispatchKind::SingleBmc,
    .Variant   = FILE_ACCESS_WRITE,
    .Required  = ArgumentBit (WRITE_BUFFER) | ArgumentBit (WRITE_COUNT),
    .Exchange  = KnownFileExchange
  },
  {  // 18 FileDelete
    .Arguments = 3,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_GROUP,
    .Command   = OEM_CMD_FILE_SERVICE,
    .Variant   = OEM_FILE_DELETE,
    .Exchange  = FileExchange
  },
  {  // 19 GetFileSize
    .Arguments = NAMED_SIZE + 1,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_GROUP,
    .Command   = OEM_CMD_FILE_SERVICE,
    .Variant   = OEM_FILE_SIZE,
    .Required  = ArgumentBit (NAMED_SIZE),
    .Check     = ClearReport,
    .Exchange  = FileExchange
  },
  {  // 20 UploadBlocks
    .Arguments = 5,
    .Kind      = DispatchKind::Broadcast,
    .NetFn     = OEM_NETFN_GROUP,
    .Command   = OEM_CMD_BLOCK_UPLOAD,
    .Check     = CheckUpload,
    .Exchange  = UploadExchange
  },
  {  // 21 UploadBlocksOp1
    .Arguments = 4,
    .Kind      = DispatchKind::Broadcast,
    .NetFn     = OEM_NETFN_GROUP,
    .Command   = OEM_CMD_BLOCK_UPLOAD,
    .Variant   = OEM_UPLOAD_OPERATION_01,
    .Check     = CheckUpload,
    .Exchange  = UploadExchange
  },
  {  // 22 StartPostWatchdog
    .Arguments = 1,
    .Kind      = DispatchKind::Broadcast,
    .NetFn     = IPMI_NETFN_APP,
    .Command   = IPMI_CMD_SET_WATCHDOG_TIMER,
    .Exchange  = ArmAndStartWatchdog
  },
  {  // 23 Oem1CSetWord
    .Arguments = 1,
    .Kind      = DispatchKind::BmcZeroOnly,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_1C,
    .Variant   = OEM_1C_SET_WORD_LENGTH,
    .Exchange  = WriteOem1C
  },
  {  // 24 Oem1CClear
    .Arguments = 0,
    .Kind      = DispatchKind::BmcZeroOnly,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_1C,
    .Variant   = OEM_1C_CLEAR_LENGTH,
    .Exchange  = WriteOem1C
  },
  //
  // Steps that keep their own guards, so each judges the BMC afresh.
  //
  {  // 25 ConfigureSerialConsole
    .Arguments = 1,
    .Kind      = DispatchKind::Broadcast,
    .Guarded   = FALSE,
    .Required  = ArgumentBit (0),
    .Exchange  = ConfigureSerialConsoleSteps
  },
  {  // 26 SetSerialMux
    .Arguments = 3,
    .Kind      = DispatchKind::Broadcast,
    .NetFn     = IPMI_NETFN_TRANSPORT,
    .Command   = IPMI_CMD_SET_SERIAL_MODEM_MUX,
    .Required  = ArgumentBit (MUX_STATUS),
    .Check     = CheckSetSerialMux,
    .Exchange  = ExchangeSerialMux
  },
  //
  // The read of slot 28 and the write keep their own guards.
  //
  {  // 27 SetOem1CState
    .Arguments = 1,
    .Kind      = DispatchKind::BmcZeroOnly,
    .Guarded   = FALSE,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_1C,
    .Variant   = OEM_1C_STATE_WRITE,
    .Check     = CheckState,
    .Exchange  = SetStateUnlessHeld
  },
  {  // 28 GetOem1CState
    .Arguments = 1,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_1C,
    .Required  = ArgumentBit (0),
    .Exchange  = ReadState
  },
  {  // 29 ReadBmcSetting
    .Arguments = 3,
    .Kind      = DispatchKind::SingleBmc,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_SETTINGS_STORE,
    .Variant   = SETTINGS_OP_READ,
    .Required  = ArgumentBit (READ_SETTING_VALUE),
    .Exchange  = ExchangeSetting
  },
  {  // 30 WriteBmcSetting
    .Arguments = 4,
    .Kind      = DispatchKind::Broadcast,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_SETTINGS_STORE,
    .Variant   = SETTINGS_OP_WRITE,
    .Required  = ArgumentBit (WRITE_SETTING_VALUE),
    .Exchange  = ExchangeSetting
  },
  {  // 31 Oem1CSetWordEx
    .Arguments = 1,
    .Kind      = DispatchKind::BmcZeroOnly,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_1C,
    .Variant   = OEM_1C_SET_WORD_EX_LENGTH,
    .Exchange  = WriteOem1C
  },
  //
  // Stage 7 to BMC 1, dispatched by ReportBootStageSecondary itself.
  //
  {  // 32 ReportBootStageSecondary
    .Arguments = 1,
    .Kind      = DispatchKind::SingleBmc,
    .Guarded   = FALSE,
    .NetFn     = OEM_NETFN_CONTROLLER,
    .Command   = OEM_CMD_BOOT_STAGE,
    .Exchange  = ReportStage
  }
};

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
