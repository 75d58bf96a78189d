/** @file
  BMC command PPI: standard and OEM IPMI commands, boot stage reports and
  the BMC file service, sent to one BMC or to every BMC of the board
  through the IPMI transport PPI.

  Every operation takes the PEI services pointer (NULL: the one the record
  holds) and This first. All but ReportBootStageSecondary end with a
  pointer to a BMC index (ALL_BMCS for every BMC, where the operation
  allows it) and Force, 0 or 1: with 1 the command is sent even when the
  transport marks the BMC unusable.

  A positive EFI_STATUS returned by an operation is the BMC's non-zero
  IPMI completion code, passed through unless the operation maps it;
  EFI_ERROR () is FALSE for it. BMC_STATUS_DONE, BMC_STATUS_IS_COMPLETION_CODE
  and BMC_STATUS_NOT_THROUGH below tell the three kinds of outcome apart.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>
#include <Ppi/IpmiTransport.h>
#include <Guid/PlatformBmcInfoHob.h>

#ifdef __cplusplus
extern "C" {
#endif

#define BMC_COMMANDS_PPI_GUID \
  { 0x446289b6, 0xda10, 0x45c2, { 0xb2, 0x72, 0xd0, 0x51, 0xeb, 0xf1, 0x5d, 0xe6 } }

#define BMC_SETUP_VARIABLE_GUID \
  { 0xec87d643, 0xeba4, 0x4bb5, { 0xa1, 0xe5, 0x3f, 0x3e, 0x36, 0xb2, 0x0d, 0xa9 } }

#define BMC_COMMANDS_PRIVATE_SIGNATURE  0x69636469  // "idci" in memory order
#define BMC_COMMANDS_PPI_SIGNATURE      0x70706369  // "icpp" in memory order

#define BMC_SCRATCH_BUFFER_SIZE  248
#define BMC_OPERATION_COUNT      33

//
// BmcInstance value that addresses every BMC of the board.
//
#define ALL_BMCS  0xFF

//
// Data bytes carried by one exchange of a chunked transfer.
//
#define BMC_CHUNK_SIZE  224

//
// First three bytes of every request and response on network function 2Eh.
//
#define OEM_MANUFACTURER_ID_BYTE0  0x4D
#define OEM_MANUFACTURER_ID_BYTE1  0x4F
#define OEM_MANUFACTURER_ID_BYTE2  0x00
#define OEM_MANUFACTURER_ID        0x004F4D  // the three bytes above, least significant first

#define MAX_FILE_NAME_LENGTH  25

//
// Status values of this service.
//
#define EFI_BMC_RETRY             ENCODE_ERROR (0xC1)
#define EFI_BMC_UNEXPECTED_CODE   ENCODE_ERROR (0xC6)
#define EFI_BMC_MODE_UNSUPPORTED  ENCODE_ERROR (0xC7)

//
// What an operation's EFI_STATUS says happened. Every status is exactly one
// of three kinds:
//
//   BMC_STATUS_DONE (Status)             the operation did what it was asked;
//   BMC_STATUS_IS_COMPLETION_CODE (Status)
//                                        the BMC answered, and refused: the
//                                        IPMI completion code (01h..FFh) is
//                                        BMC_STATUS_COMPLETION_CODE (Status);
//   BMC_STATUS_NOT_THROUGH (Status)      the command did not get through: the
//                                        service refused the arguments, the
//                                        transport gave up, or the operation
//                                        mapped the BMC's answer to an error
//                                        (each operation's @retval list).
//
// A completion code is a positive status, so EFI_ERROR () is FALSE for it:
// a caller that tests EFI_ERROR () alone takes a BMC's refusal for success,
// with output buffers and lengths not filled. Test BMC_STATUS_DONE before
// using what the operation returns.
//
#define BMC_STATUS_DONE(Status)                ((Status) == EFI_SUCCESS)
#define BMC_STATUS_IS_COMPLETION_CODE(Status)  (((INTN)(EFI_STATUS)(Status)) > 0)
#define BMC_STATUS_NOT_THROUGH(Status)         EFI_ERROR (Status)
#define BMC_STATUS_COMPLETION_CODE(Status)     ((UINT8)(BMC_STATUS_IS_COMPLETION_CODE (Status) ? (Status) : 0))

//
// Well-known BMC files (KnownFileId).
//
#define KNOWN_FILE_SMBIOS_TABLE            0
#define KNOWN_FILE_PAP_PASSWORD            1
#define KNOWN_FILE_WHEA_DATA               2
#define KNOWN_FILE_SLP2_DATA               3
#define KNOWN_FILE_BIOS_CONFIG_RAW         5
#define KNOWN_FILE_CONFIG_LOG              6
#define KNOWN_FILE_CONFIG                  7
#define KNOWN_FILE_CATERR_MSR_DUMP         8
#define KNOWN_FILE_UEFI_THERMAL_TABLE      9
#define KNOWN_FILE_UEFI_CHIPSET_REGISTERS  18
#define KNOWN_FILE_UEFI_TCL_IN             19
#define KNOWN_FILE_UEFI_ERR_LOG            20
#define KNOWN_FILE_CALLER_NAMED            0xFF

//
// Settings store selectors.
//
#define BMC_SETTING_SMBIOS_CRC  0x00
#define BMC_SETTING_1BOOT       0x01
#define BMC_SETTING_DESCRIBED   0xFF

#define BMC_SETTING_MAX_NAME_LENGTH   128
#define BMC_SETTING_MAX_VALUE_LENGTH  128

//
// Type of a caller-described setting; selects the flag bit of the value byte.
//
typedef UINT32 BMC_SETTING_TYPE;

/// A setting of the BMC's settings store named by its path.
typedef struct BmcSettingDescriptor {
  UINT8               NameLength;                            ///< Path bytes, 0..128.
  UINT8               Name[BMC_SETTING_MAX_NAME_LENGTH];     ///< The path, not terminated.
  UINT8               ValueLength;                           ///< Value bytes, 0..128.
  BMC_SETTING_TYPE    Type;                                  ///< 0..3.
} BMC_SETTING_DESCRIPTOR;

/// Serial console choices, in the order the platform's Setup stores them.
typedef struct SerialConsoleConfig {
  UINT8    ConsoleEnable;
  UINT8    MuxSwitchOption;
  UINT8    ChannelAccessMode;
  UINT8    BitRateIndex;
  UINT8    Spare4;
  UINT8    Spare5;
  UINT8    FlowControl;
} SERIAL_CONSOLE_CONFIG;

typedef struct BmcCommandsPpi      BMC_COMMANDS_PPI;
typedef struct BmcCommandsPrivate  BMC_COMMANDS_PRIVATE;

/**
  OEM command C1h; the whole answer goes to the caller. Single BMC.

  @param[out]     Response        Receives the answer.
  @param[in, out] ResponseLength  In: capacity of Response. Out: bytes received.

  @retval EFI_SUCCESS            The answer was received.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_OEM_C1_QUERY)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT8                  *Response,
  IN OUT UINT8               *ResponseLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  OEM command C2h, two bytes each way. Broadcast: with ALL_BMCS each BMC
  receives Buffer as the previous BMC's answer left it.

  @param[in, out] Buffer  Two request bytes in, the answer out.

  @retval EFI_SUCCESS            Every addressed BMC answered.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_OEM_C2_EXCHANGE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN OUT UINT8               *Buffer,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  OEM command 20h, two request bytes. Single BMC.

  @param[in, out] Buffer  Two request bytes in, the answer out.
  @param[in, out] Length  In: 2. Out: bytes received.

  @retval EFI_SUCCESS            The answer was received.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL, *Length is not 2 or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_OEM_20_EXCHANGE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN OUT UINT8               *Buffer,
  IN OUT UINT8               *Length,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Reads bytes of a BMC region in chunks of BMC_CHUNK_SIZE. Single BMC.

  @param[in]      Offset    Region offset of the first byte; later chunks wrap at 64 KiB.
  @param[in]      Selector  Region selector.
  @param[in, out] Length    In: bytes to read. Out, on success: bytes received.
  @param[out]     Buffer    Receives the data; chunk i lands at Buffer + 224 * i.

  @retval EFI_SUCCESS            Every chunk was answered.
  @retval EFI_BAD_BUFFER_SIZE    *Length is 0.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_REGION_READ)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Offset,
  IN UINT8                   Selector,
  IN OUT UINT16              *Length,
  OUT UINT8                  *Buffer,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Writes bytes of a BMC region in chunks of BMC_CHUNK_SIZE. Single BMC.

  @param[in]      Offset    Region offset of the first byte; later chunks wrap at 64 KiB.
  @param[in]      Selector  Region selector.
  @param[in, out] Length    In: bytes to write. Out, on success: bytes written.
  @param[in]      Data      The bytes to write.

  @retval EFI_SUCCESS            Every chunk was accepted.
  @retval EFI_BAD_BUFFER_SIZE    *Length is 0.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_REGION_WRITE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Offset,
  IN UINT8                   Selector,
  IN OUT UINT16              *Length,
  IN CONST UINT8             *Data,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Sends any IPMI command. Single BMC.

  @param[in]      NetFn       Network function.
  @param[in]      Command     Command.
  @param[in, out] Data        Request bytes in; on success the response bytes
                              out. Must hold 243 bytes.
  @param[in, out] DataLength  In: request length, at most 243. Out, on
                              success: response length.

  @retval EFI_SUCCESS            The response is in Data.
  @retval EFI_BAD_BUFFER_SIZE    *DataLength is above 243.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_SEND_RAW_COMMAND)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   NetFn,
  IN UINT8                   Command,
  IN OUT UINT8               *Data,
  IN OUT UINT8               *DataLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  IPMI Get Device ID (GetDeviceId) or Get Self Test Results (GetSelfTestResults). Single BMC.

  @param[out]     Response        Receives the answer.
  @param[in, out] ResponseLength  In: capacity of Response. Out: bytes received.

  @retval EFI_SUCCESS            The answer was received.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_GET_DEVICE_ID)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT8                  *Response,
  IN OUT UINT8               *ResponseLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

typedef BMC_COMMANDS_GET_DEVICE_ID BMC_COMMANDS_GET_SELF_TEST_RESULTS;

/**
  Reports a boot stage to every BMC through OEM command C3h and the BMC's
  progress mailbox ports. Stages 12h and 19h go to BMC 0 alone.

  @param[in] Stage        Boot stage number.
  @param[in] BmcInstance  Validated only: the report goes to every BMC.

  @retval EFI_SUCCESS            Every BMC was reported to.
  @retval EFI_INVALID_PARAMETER  BmcInstance is NULL or out of range, or Force is above 1.
  @retval EFI_NOT_FOUND          The I/O base of a BMC other than BMC 0 is unknown.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_REPORT_BOOT_STAGE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   Stage,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  OEM command 10h without data: reads its one-byte value. Single BMC.

  @param[out] Value  Receives the value on success.

  @retval EFI_SUCCESS            Value was read.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_GET_OEM_10_VALUE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT8                  *Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  OEM command 10h with one byte: writes the value. Broadcast.

  @param[in] Value  The value, 0 to 3.

  @retval EFI_SUCCESS               Every addressed BMC took the value.
  @retval EFI_BMC_MODE_UNSUPPORTED  The transport answered EFI_UNSUPPORTED.
  @retval EFI_INVALID_PARAMETER     A pointer is NULL, *Value is above 3 or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_SET_OEM_10_VALUE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   *Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  OEM command 62h: sets an on/off flag. Broadcast.

  @param[in] Enable  Non-zero sends 01h, 0 sends 00h.

  @retval EFI_SUCCESS            Every addressed BMC took the flag.
  @retval EFI_INVALID_PARAMETER  BmcInstance is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_SET_OEM_62_FLAG)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN BOOLEAN                 Enable,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Opens a file on the BMC by name. Single BMC.

  @param[in]  Name        Name bytes, not terminated.
  @param[in]  NameLength  0 to MAX_FILE_NAME_LENGTH.
  @param[in]  OpenFlag    Carried to the BMC (wire byte 5).
  @param[in]  OpenMode    Carried to the BMC (wire byte 4).
  @param[in]  FileSize    Size announced for the file.
  @param[in]  AccessMode  0 to read, 1 to write.
  @param[in]  FileClass   Carried to the BMC.
  @param[out] Handle      0 once the request is sent; the handle on success.

  @retval EFI_SUCCESS            The file is open.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL, the name is too long or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_FILE_OPEN)(
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
  );

/**
  Reads from an open BMC file in chunks of BMC_CHUNK_SIZE. Single BMC.

  @param[in]  Handle     Handle from FileOpen.
  @param[in]  Offset     File offset of the first byte.
  @param[in]  Count      Bytes wanted.
  @param[out] Buffer     Receives the data; chunk i lands at Buffer + 224 * i.
  @param[out] BytesRead  Bytes the BMC returned; 0 unless every chunk succeeded.

  @retval EFI_SUCCESS            Every chunk was answered.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_FILE_READ)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  Handle,
  IN UINT32                  Offset,
  IN UINT32                  Count,
  OUT VOID                   *Buffer,
  OUT UINT32                 *BytesRead,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Writes to an open BMC file in chunks of BMC_CHUNK_SIZE. Single BMC.

  @param[in]      Handle  Handle from FileOpen.
  @param[in]      Offset  File offset of the first byte.
  @param[in]      Buffer  The data.
  @param[in, out] Count   In: bytes to write. Out, on success: bytes the BMC reports written.

  @retval EFI_SUCCESS            Every chunk was accepted.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_FILE_WRITE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  Handle,
  IN UINT32                  Offset,
  IN CONST VOID              *Buffer,
  IN OUT UINT32              *Count,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Closes a BMC file. Single BMC.

  @param[in] Handle  Handle from FileOpen; 0 is refused.

  @retval EFI_SUCCESS            The file is closed.
  @retval EFI_INVALID_PARAMETER  Handle is 0, a pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_FILE_CLOSE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  Handle,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Reads a stretch of a well-known file: open, read, close. Single BMC.

  @param[in]  KnownFileId  Well-known file.
  @param[in]  Offset       File offset of the first byte.
  @param[in]  Count        Bytes wanted.
  @param[out] Buffer       Receives the data.
  @param[out] BytesRead    Bytes the BMC returned.
  @param[in]  Size         Optional size announced at open instead of the file's default.

  @retval EFI_SUCCESS            The data was read.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL, the id is unknown or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_READ_KNOWN_FILE)(
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
  );

/**
  Writes a stretch of a well-known file: open, write, close. Single BMC.

  @param[in]      KnownFileId  Well-known file.
  @param[in]      Offset       File offset of the first byte.
  @param[in]      Buffer       The data.
  @param[in, out] Count        In: bytes to write. Out, on success: bytes written.
  @param[in]      Size         Optional size announced at open instead of the file's default.

  @retval EFI_SUCCESS            The data was written.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL, the id is unknown or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_WRITE_KNOWN_FILE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN UINT32                  Offset,
  IN CONST VOID              *Buffer,
  IN OUT UINT32              *Count,
  IN CONST UINT32            *Size OPTIONAL,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Deletes a BMC file. Single BMC.

  @param[in] KnownFileId  Well-known file, or KNOWN_FILE_CALLER_NAMED.
  @param[in] Name         The caller's name, for KNOWN_FILE_CALLER_NAMED only.
  @param[in] NameLength   Its length, 0 to MAX_FILE_NAME_LENGTH.

  @retval EFI_SUCCESS            The file is deleted.
  @retval EFI_INVALID_PARAMETER  The id or name is refused, a pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_FILE_DELETE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN CONST CHAR8             *Name OPTIONAL,
  IN CONST UINT8             *NameLength OPTIONAL,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Reads the size of a BMC file. Single BMC.

  @param[in]  KnownFileId  Well-known file, or KNOWN_FILE_CALLER_NAMED.
  @param[in]  Name         The caller's name, for KNOWN_FILE_CALLER_NAMED only.
  @param[in]  NameLength   Its length, 0 to MAX_FILE_NAME_LENGTH.
  @param[out] Size         The size; 0 unless the call succeeds.

  @retval EFI_SUCCESS            Size was read.
  @retval EFI_INVALID_PARAMETER  The id or name is refused, a pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_GET_FILE_SIZE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN CONST CHAR8             *Name OPTIONAL,
  IN CONST UINT8             *NameLength OPTIONAL,
  OUT UINT32                 *Size,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Uploads a block with OEM command 92h: a 32-byte first piece, then pieces
  of BMC_CHUNK_SIZE, chained by the handle each answer returns. Broadcast.

  @param[in] BlockTag  Tag of the block, sent most significant byte first.
  @param[in] Value     Carried to the BMC.
  @param[in] Data      The block; NULL together with Length for a bare request.
  @param[in] Length    Bytes in Data; only read.
  @param[in] UseOp80   Non-zero: operation byte 80h, else 00h (UploadBlocks only).

  @retval EFI_SUCCESS            Every piece was accepted.
  @retval EFI_INVALID_PARAMETER  *Length is 0, exactly one of Data and Length is NULL,
                                 a pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_UPLOAD_BLOCKS)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  BlockTag,
  IN UINT8                   Value,
  IN CONST UINT8             *Data OPTIONAL,
  IN CONST UINT32            *Length OPTIONAL,
  IN BOOLEAN                 UseOp80,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  As BMC_COMMANDS_UPLOAD_BLOCKS, with operation byte 01h. Broadcast.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_UPLOAD_BLOCKS_OP1)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  BlockTag,
  IN UINT8                   Value,
  IN CONST UINT8             *Data OPTIONAL,
  IN CONST UINT32            *Length OPTIONAL,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Arms the BMC watchdog as the BIOS/POST timer with a hard reset on expiry,
  and starts it. Broadcast.

  @param[in] Countdown  Timeout in 100 ms ticks.

  @retval EFI_SUCCESS            The watchdog runs.
  @retval EFI_INVALID_PARAMETER  BmcInstance is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_START_POST_WATCHDOG)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Countdown,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  OEM command 1Ch: writes a 16-bit value (Oem1CSetWord), the same with a
  trailing 00h (Oem1CSetWordEx). Repeated while the transport is not ready. BMC 0 only.

  @param[in] Value  Sent most significant byte first.

  @retval EFI_SUCCESS            The value was written.
  @retval EFI_BMC_RETRY          The transport stayed not ready.
  @retval EFI_UNSUPPORTED        BmcInstance is not 0.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_OEM_1C_SET_WORD)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT16                  Value,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

typedef BMC_COMMANDS_OEM_1C_SET_WORD BMC_COMMANDS_OEM_1C_SET_WORD_EX;

/**
  OEM command 1Ch: clears the 16-bit value. Repeated while the transport is
  not ready. BMC 0 only.

  @retval EFI_SUCCESS            The value was cleared.
  @retval EFI_BMC_RETRY          The transport stayed not ready.
  @retval EFI_UNSUPPORTED        BmcInstance is not 0.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_OEM_1C_CLEAR)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Finds the BMC's serial channel and sets console sharing, access mode, mux
  and bit rate from Config. Broadcast.

  @param[in] Config  The choices.

  @retval EFI_SUCCESS            The channel is configured.
  @retval EFI_NOT_FOUND          The BMC has no serial channel.
  @retval EFI_PROTOCOL_ERROR     The BMC answered Mux Switch Control without
                                 its two data bytes; nothing was written.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_CONFIGURE_SERIAL_CONSOLE)(
  IN CONST EFI_PEI_SERVICES     **PeiServices,
  IN BMC_COMMANDS_PPI           *This,
  IN CONST SERIAL_CONSOLE_CONFIG *Config,
  IN UINT8                      *BmcInstance,
  IN BOOLEAN                    Force
  );

/**
  IPMI Set Serial/Modem Mux. Broadcast.

  @param[in]  Channel     Channel number, 0 to 15.
  @param[in]  MuxSetting  IPMI mux setting code, sent unchanged.
  @param[out] MuxStatus   Receives the mux status byte on success.

  @retval EFI_SUCCESS            The mux answered.
  @retval EFI_PROTOCOL_ERROR     The answer lacked the status byte; MuxStatus is unchanged.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL, Channel is above 15 or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_SET_SERIAL_MUX)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   Channel,
  IN UINT8                   MuxSetting,
  OUT UINT8                  *MuxStatus,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  OEM command 1Ch: sets the on/off state unless the BMC already holds it.
  Repeated while the transport is not ready. BMC 0 only.

  @param[in] State  0 or 1.

  @retval EFI_SUCCESS            The BMC holds State.
  @retval EFI_INVALID_PARAMETER  State is above 1, a pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_SET_OEM_1C_STATE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  State,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  OEM command 1Ch: reads the on/off state. Single BMC.

  @param[out] State  Receives the state byte, widened, on success.

  @retval EFI_SUCCESS            State was read.
  @retval EFI_INVALID_PARAMETER  A pointer is NULL or Force is above 1.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_GET_OEM_1C_STATE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  OUT UINT32                 *State,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  );

/**
  Reads a setting of the BMC's settings store. Single BMC.

  @param[in]  Selector    BMC_SETTING_SMBIOS_CRC or BMC_SETTING_DESCRIBED.
  @param[out] Value       Receives the value on success.
  @param[in]  Descriptor  The setting, for BMC_SETTING_DESCRIBED only.

  @retval EFI_SUCCESS              Value was read.
  @retval EFI_INVALID_PARAMETER    Selector or descriptor refused, a pointer is NULL or Force is above 1.
  @retval EFI_BMC_UNEXPECTED_CODE  The store answered with an unknown status.
  @retval EFI_PROTOCOL_ERROR       The answer lacked the status byte or the value; Value is unchanged.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_READ_BMC_SETTING)(
  IN CONST EFI_PEI_SERVICES      **PeiServices,
  IN BMC_COMMANDS_PPI            *This,
  IN UINT8                       Selector,
  OUT VOID                       *Value,
  IN CONST BMC_SETTING_DESCRIPTOR *Descriptor OPTIONAL,
  IN UINT8                       *BmcInstance,
  IN BOOLEAN                     Force
  );

/**
  Writes a setting of the BMC's settings store. Broadcast.

  @param[in] Selector    BMC_SETTING_SMBIOS_CRC, BMC_SETTING_1BOOT or BMC_SETTING_DESCRIBED.
  @param[in] WriteFlag   Carried to the BMC as 01h or 00h.
  @param[in] Value       The value.
  @param[in] Descriptor  The setting, for BMC_SETTING_DESCRIBED only.

  @retval EFI_SUCCESS              The setting was written.
  @retval EFI_BAD_BUFFER_SIZE      A described request would pass 246 bytes.
  @retval EFI_INVALID_PARAMETER    Selector or descriptor refused, a pointer is NULL or Force is above 1.
  @retval EFI_BMC_UNEXPECTED_CODE  The store answered with an unknown status.
  @retval EFI_PROTOCOL_ERROR       The answer lacked the status byte.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_WRITE_BMC_SETTING)(
  IN CONST EFI_PEI_SERVICES      **PeiServices,
  IN BMC_COMMANDS_PPI            *This,
  IN UINT8                       Selector,
  IN BOOLEAN                     WriteFlag,
  IN CONST VOID                  *Value,
  IN CONST BMC_SETTING_DESCRIPTOR *Descriptor OPTIONAL,
  IN UINT8                       *BmcInstance,
  IN BOOLEAN                     Force
  );

/**
  Reports boot stage 7 to BMC 1 alone.

  @retval EFI_SUCCESS            The stage was reported.
  @retval EFI_NOT_FOUND          The service is not installed or BMC 1 cannot be reached.
  @retval EFI_INVALID_PARAMETER  The board has fewer than two BMCs.
**/
typedef EFI_STATUS (EFIAPI *BMC_COMMANDS_REPORT_BOOT_STAGE_SECONDARY)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This
  );

///
/// The published interface. Consumers call through it by position, so the
/// field order, widths and slot order are fixed.
///
struct BmcCommandsPpi {
  UINT32                                      Signature;
  UINT8                                       ScratchBuffer[BMC_SCRATCH_BUFFER_SIZE];
  BMC_COMMANDS_PRIVATE                        *Self;
  IPMI_TRANSPORT_PPI                          *Transport;
  CONST EFI_PEI_SERVICES                      **PeiServices;
  BMC_COMMANDS_OEM_C1_QUERY                   OemC1Query;                 // slot 0
  BMC_COMMANDS_OEM_C2_EXCHANGE                OemC2Exchange;              // slot 1
  BMC_COMMANDS_OEM_20_EXCHANGE                Oem20Exchange;              // slot 2
  BMC_COMMANDS_REGION_READ                    RegionRead;                 // slot 3
  BMC_COMMANDS_REGION_WRITE                   RegionWrite;                // slot 4
  BMC_COMMANDS_SEND_RAW_COMMAND               SendRawCommand;             // slot 5
  BMC_COMMANDS_GET_DEVICE_ID                  GetDeviceId;                // slot 6
  BMC_COMMANDS_GET_SELF_TEST_RESULTS          GetSelfTestResults;         // slot 7
  BMC_COMMANDS_REPORT_BOOT_STAGE              ReportBootStage;            // slot 8
  BMC_COMMANDS_GET_OEM_10_VALUE               GetOem10Value;              // slot 9
  BMC_COMMANDS_SET_OEM_10_VALUE               SetOem10Value;              // slot 10
  BMC_COMMANDS_SET_OEM_62_FLAG                SetOem62Flag;               // slot 11
  BMC_COMMANDS_FILE_OPEN                      FileOpen;                   // slot 12
  BMC_COMMANDS_FILE_READ                      FileRead;                   // slot 13
  BMC_COMMANDS_FILE_WRITE                     FileWrite;                  // slot 14
  BMC_COMMANDS_FILE_CLOSE                     FileClose;                  // slot 15
  BMC_COMMANDS_READ_KNOWN_FILE                ReadKnownFile;              // slot 16
  BMC_COMMANDS_WRITE_KNOWN_FILE               WriteKnownFile;             // slot 17
  BMC_COMMANDS_FILE_DELETE                    FileDelete;                 // slot 18
  BMC_COMMANDS_GET_FILE_SIZE                  GetFileSize;                // slot 19
  BMC_COMMANDS_UPLOAD_BLOCKS                  UploadBlocks;               // slot 20
  BMC_COMMANDS_UPLOAD_BLOCKS_OP1              UploadBlocksOp1;            // slot 21
  BMC_COMMANDS_START_POST_WATCHDOG            StartPostWatchdog;          // slot 22
  BMC_COMMANDS_OEM_1C_SET_WORD                Oem1CSetWord;               // slot 23
  BMC_COMMANDS_OEM_1C_CLEAR                   Oem1CClear;                 // slot 24
  BMC_COMMANDS_CONFIGURE_SERIAL_CONSOLE       ConfigureSerialConsole;     // slot 25
  BMC_COMMANDS_SET_SERIAL_MUX                 SetSerialMux;               // slot 26
  BMC_COMMANDS_SET_OEM_1C_STATE               SetOem1CState;              // slot 27
  BMC_COMMANDS_GET_OEM_1C_STATE               GetOem1CState;              // slot 28
  BMC_COMMANDS_READ_BMC_SETTING               ReadBmcSetting;             // slot 29
  BMC_COMMANDS_WRITE_BMC_SETTING              WriteBmcSetting;            // slot 30
  BMC_COMMANDS_OEM_1C_SET_WORD_EX             Oem1CSetWordEx;             // slot 31
  BMC_COMMANDS_REPORT_BOOT_STAGE_SECONDARY    ReportBootStageSecondary;   // slot 32
};

///
/// The pool block behind the interface; This points at Interface.
///
struct BmcCommandsPrivate {
  UINT32              Signature;
  UINT32              Reserved;
  BMC_COMMANDS_PPI    Interface;
};

#ifdef __cplusplus
}
#endif
