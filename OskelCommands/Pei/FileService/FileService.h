/** @file
  The file service, the well-known files and the block upload on network
  function 2Eh: their numbers, the arguments their exchanges read, the
  exchanges, and every operation's row and wire contract (the form is
  OemCommands.h's).

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "../Dispatch/Dispatch.h"

namespace Oskel {

//
// The group's network function and its commands.
//
constexpr UINT8  OEM_NETFN_GROUP       = 0x2E;
constexpr UINT8  OEM_CMD_FILE_SERVICE  = 0x90;
constexpr UINT8  OEM_CMD_BLOCK_UPLOAD  = 0x92;

//
// Sub-commands of the file service, in request byte 3 after the
// manufacturer id; this module has no use for 04h.
//
constexpr UINT8  OEM_FILE_OPEN   = 0x01;
constexpr UINT8  OEM_FILE_READ   = 0x02;
constexpr UINT8  OEM_FILE_WRITE  = 0x03;
constexpr UINT8  OEM_FILE_CLOSE  = 0x05;
constexpr UINT8  OEM_FILE_SIZE   = 0x06;
constexpr UINT8  OEM_FILE_DELETE = 0x07;

//
// Operation byte of a block upload.
//
constexpr UINT8  OEM_UPLOAD_OPERATION_00 = 0x00;
constexpr UINT8  OEM_UPLOAD_OPERATION_01 = 0x01;
constexpr UINT8  OEM_UPLOAD_OPERATION_80 = 0x80;

//
// AccessMode byte of an open.
//
constexpr UINT8  FILE_ACCESS_READ  = 0;
constexpr UINT8  FILE_ACCESS_WRITE = 1;

//
// Arguments of FileOpen, FileRead, FileWrite and FileClose. The handle and
// offset of a transfer (and a close's handle) are read through FileRead's
// names: FileWrite and FileClose declare them alike.
//
constexpr auto  OPEN_NAME        = ArgumentOf<BMC_COMMANDS_FILE_OPEN, 0>;
constexpr auto  OPEN_NAME_LENGTH = ArgumentOf<BMC_COMMANDS_FILE_OPEN, 1>;
constexpr auto  OPEN_FLAG        = ArgumentOf<BMC_COMMANDS_FILE_OPEN, 2>;
constexpr auto  OPEN_MODE        = ArgumentOf<BMC_COMMANDS_FILE_OPEN, 3>;
constexpr auto  OPEN_FILE_SIZE   = ArgumentOf<BMC_COMMANDS_FILE_OPEN, 4>;
constexpr auto  OPEN_ACCESS_MODE = ArgumentOf<BMC_COMMANDS_FILE_OPEN, 5>;
constexpr auto  OPEN_FILE_CLASS  = ArgumentOf<BMC_COMMANDS_FILE_OPEN, 6>;
constexpr auto  OPEN_HANDLE      = ArgumentOf<BMC_COMMANDS_FILE_OPEN, 7>;

constexpr auto  TRANSFER_HANDLE = ArgumentOf<BMC_COMMANDS_FILE_READ, 0>;
constexpr auto  TRANSFER_OFFSET = ArgumentOf<BMC_COMMANDS_FILE_READ, 1>;
constexpr auto  READ_COUNT      = ArgumentOf<BMC_COMMANDS_FILE_READ, 2>;   // the bytes wanted
constexpr auto  READ_BUFFER     = ArgumentOf<BMC_COMMANDS_FILE_READ, 3>;
constexpr auto  READ_BYTES_READ = ArgumentOf<BMC_COMMANDS_FILE_READ, 4>;
constexpr auto  WRITE_BUFFER    = ArgumentOf<BMC_COMMANDS_FILE_WRITE, 2>;
constexpr auto  WRITE_COUNT     = ArgumentOf<BMC_COMMANDS_FILE_WRITE, 3>;  // in, the bytes to write; out, the bytes written

//
// FileDelete and GetFileSize name a file by a well-known id, or by
// KNOWN_FILE_CALLER_NAMED with the caller's own name; GetFileSize has one
// argument more, the size. Both are read through GetFileSize's names.
//
constexpr auto  NAMED_ID          = ArgumentOf<BMC_COMMANDS_GET_FILE_SIZE, 0>;
constexpr auto  NAMED_NAME        = ArgumentOf<BMC_COMMANDS_GET_FILE_SIZE, 1>;
constexpr auto  NAMED_NAME_LENGTH = ArgumentOf<BMC_COMMANDS_GET_FILE_SIZE, 2>;
constexpr auto  NAMED_SIZE        = ArgumentOf<BMC_COMMANDS_GET_FILE_SIZE, 3>;

//
// ReadKnownFile and WriteKnownFile: the id, then from the offset on the
// arguments of FileRead and FileWrite, then the size announced at open.
//
constexpr auto  KNOWN_FILE_ID         = ArgumentOf<BMC_COMMANDS_READ_KNOWN_FILE, 0>;
constexpr auto  READ_KNOWN_FILE_SIZE  = ArgumentOf<BMC_COMMANDS_READ_KNOWN_FILE, 5>;
constexpr auto  WRITE_KNOWN_FILE_SIZE = ArgumentOf<BMC_COMMANDS_WRITE_KNOWN_FILE, 4>;

//
// Arguments of UploadBlocks; UploadBlocksOp1 declares the same without
// UseOp80.
//
constexpr auto  UPLOAD_BLOCK_TAG = ArgumentOf<BMC_COMMANDS_UPLOAD_BLOCKS, 0>;
constexpr auto  UPLOAD_VALUE     = ArgumentOf<BMC_COMMANDS_UPLOAD_BLOCKS, 1>;
constexpr auto  UPLOAD_DATA      = ArgumentOf<BMC_COMMANDS_UPLOAD_BLOCKS, 2>;
constexpr auto  UPLOAD_LENGTH    = ArgumentOf<BMC_COMMANDS_UPLOAD_BLOCKS, 3>;
constexpr auto  UPLOAD_USE_OP80  = ArgumentOf<BMC_COMMANDS_UPLOAD_BLOCKS, 4>;

//
// The checks and exchanges of the file operations' rows. Each takes the
// operation in progress: its arguments (in the slot's order, above), its
// row (Spec.Variant tells the operations of one exchange apart), the BMC
// the dispatch selected and the record whose ScratchBuffer it uses.
//

/**
  FileOpen's checks beyond its Required pointers: the handle, past the
  first five arguments, and the name length.

  @retval EFI_SUCCESS            The open may go on.
  @retval EFI_INVALID_PARAMETER  Handle is NULL, or the name is longer than
                                 MAX_FILE_NAME_LENGTH.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckOpen (IN OUT Operation &Op);

//
// Sets the count or size a read or size query reports through its last
// argument to 0 before the guard, so that a failure, refused or not,
// never leaves the caller's earlier value there. Always EFI_SUCCESS.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ClearReport (IN OUT Operation &Op);

//
// A close of handle 0 is EFI_INVALID_PARAMETER before the guard: 0 is the
// handle a failed open leaves, and the BMC never hands it out.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckClose (IN OUT Operation &Op);

/**
  Open, close, delete or size, by Spec.Variant: one request each. An open
  sends the caller's parameters and name; delete and size resolve the name
  from a well-known id or take the caller's own.

  @retval EFI_SUCCESS              The BMC answered with success; an open's
                                   handle or a size query's size is stored.
  @retval EFI_INVALID_PARAMETER    The id names no file, or the caller's name
                                   is missing or too long; nothing was sent
                                   and the guard makes no phase-1 call.
  @retval EFI_PROTOCOL_ERROR       An open or size answer without its 32-bit
                                   value.
  @retval EFI_NOT_FOUND, ...       A completion code of the file service,
                                   mapped; EFI_BMC_UNEXPECTED_CODE for one
                                   it does not define.
  @retval Other                    The transport's error.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL FileExchange (IN OUT Operation &Op);

/**
  FileRead or FileWrite, by Spec.Variant: the count in chunks, each at
  Offset plus the bytes of the chunks before it.

  @retval EFI_SUCCESS  Every chunk was answered; the count argument holds
                       the bytes the BMC reported moved, never more than
                       asked for nor, for a read, more than it carried.
  @retval Other        The first failed chunk's status, mapped as by
                       FileExchange; the count argument is not written.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL TransferFile (IN OUT Operation &Op);

/**
  ReadKnownFile or WriteKnownFile: FileOpen with the file's name and open
  parameters (the caller's size, or the file's default when it gives none),
  then FileRead or FileWrite, then FileClose, each a step dispatched and
  guarded on its own. The handle never reaches the caller.

  @retval EFI_SUCCESS            The open and the transfer succeeded; the
                                 close's status is not reported.
  @retval EFI_INVALID_PARAMETER  The id names no well-known file; nothing
                                 was sent.
  @retval Other                  The open's status (nothing to close), or
                                 the transfer's.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL KnownFileExchange (IN OUT Operation &Op);

//
// A block upload names both its data and its length, or neither (the bare
// request); one without the other is EFI_INVALID_PARAMETER.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckUpload (IN OUT Operation &Op);

/**
  The bare request, or the whole block in pieces chained by the handle
  each answer hands back, to the BMC selected.

  @retval EFI_SUCCESS            Every piece was answered with success.
  @retval EFI_INVALID_PARAMETER  A block of length 0; nothing was sent.
  @retval EFI_PROTOCOL_ERROR     An answer to a piece that is not the last
                                 without the next handle.
  @retval Other                  The transport's status or the completion
                                 code of the first piece that failed.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL UploadExchange (IN OUT Operation &Op);

//
// A well-known BMC file: the name that the file commands carry and the
// parameters that a whole-file transfer opens it with. The BMC interprets
// the open bytes; this module only carries them. The rows are constants in
// flash, so every field is a byte: the default size is stored little-endian
// and read with GetUint32Le, and the names lie back to back in one string.
//
constexpr UINT8  KNOWN_FILE_READ_OPEN_MODE = 3;

struct KnownFile {
  UINT8    Id;
  UINT8    NameLength;      // sent without terminator
  UINT8    OpenFlag;
  UINT8    WriteOpenMode;   // OpenMode when writing; every file is read with KNOWN_FILE_READ_OPEN_MODE
  UINT8    FileClass;
  UINT8    DefaultSize[4];  // FileSize of the open when the caller gives none
};

/**
  The row of a well-known file.

  @param[in]  Id    A well-known file id.
  @param[out] Name  Where the file's name starts, KnownFile.NameLength bytes
                    without terminator; written only when the id is found.

  @return The file's row, or NULL for an id without one (the caller-named
          id KNOWN_FILE_CALLER_NAMED included).
**/
[[nodiscard]] CONST KnownFile * OSKEL_INTERNAL
FindKnownFile (
  IN UINT8          Id,
  OUT CONST CHAR8   **Name
  );

//
// Every network function 2Eh request opens with the three manufacturer id
// bytes; Request is the start of ScratchBuffer.
//
constexpr UINT8  OEM_GROUP_HEADER_LENGTH = 3;

inline VOID
OemGroupRequest (
  OUT UINT8  *Request
  )
{
  Request[0] = OEM_MANUFACTURER_ID_BYTE0;
  Request[1] = OEM_MANUFACTURER_ID_BYTE1;
  Request[2] = OEM_MANUFACTURER_ID_BYTE2;
}

//
// The operations on network function 2Eh: each slot's row, then its wire
// contract. Every request opens with the manufacturer id 4Dh 4Fh 00h and
// every answer echoes it. The transfers move 230 bytes: a whole chunk,
// then six bytes 224 bytes further on.
//
constexpr OperationSpec  FileOpenRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_GROUP,
  .Command  = OEM_CMD_FILE_SERVICE,
  .Variant  = OEM_FILE_OPEN,
  .Required = ArgumentBit (OPEN_NAME),
  .Check    = CheckOpen,
  .Exchange = FileExchange
};

constexpr CHAR8  FileOpenContract[] =
  "Name        in[NameLength] 'config'\n"
  "NameLength  06\n"
  "OpenFlag    01\n"
  "OpenMode    03\n"
  "FileSize    4000\n"
  "AccessMode  00\n"
  "FileClass   0B\n"
  "Handle      out\n"
  "send 2E/90 [4D 4F 00 01 03 01 00 40 00 00 00 0B 'config'] cap 07 -> [4D 4F 00 44 33 22 11]\n"
  "then Handle 11223344\n";

//
// Read and write: every chunk under one guard.
//
constexpr OperationSpec  FileReadRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_GROUP,
  .Command  = OEM_CMD_FILE_SERVICE,
  .Variant  = OEM_FILE_READ,
  .Required = ArgumentBit (READ_BUFFER) | ArgumentBit (READ_BYTES_READ),
  .Check    = ClearReport,
  .Exchange = TransferFile
};

constexpr CHAR8  FileReadContract[] =
  "Handle     11223344\n"
  "Offset     0100\n"
  "Count      E6\n"
  "Buffer     out[Count]\n"
  "BytesRead  out\n"
  "send 2E/90 [4D 4F 00 02 44 33 22 11 00 01 00 00 E0 00] cap E5 -> [4D 4F 00 E0 00 00+E0]\n"
  "send 2E/90 [4D 4F 00 02 44 33 22 11 E0 01 00 00 06 00] cap 0B -> [4D 4F 00 06 00 E0+06]\n"
  "then Buffer [00+E6]\n"
  "then BytesRead E6\n";

constexpr OperationSpec  FileWriteRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_GROUP,
  .Command  = OEM_CMD_FILE_SERVICE,
  .Variant  = OEM_FILE_WRITE,
  .Required = ArgumentBit (WRITE_BUFFER) | ArgumentBit (WRITE_COUNT),
  .Exchange = TransferFile
};

constexpr CHAR8  FileWriteContract[] =
  "Handle  11223344\n"
  "Offset  0100\n"
  "Buffer  in[Count] [00+E6]\n"
  "Count   inout E6\n"
  "send 2E/90 [4D 4F 00 03 44 33 22 11 00 01 00 00 00+E0] cap 05 -> [4D 4F 00 E0 00]\n"
  "send 2E/90 [4D 4F 00 03 44 33 22 11 E0 01 00 00 E0+06] cap 05 -> [4D 4F 00 06 00]\n"
  "then Count E6\n";

constexpr OperationSpec  FileCloseRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_GROUP,
  .Command  = OEM_CMD_FILE_SERVICE,
  .Variant  = OEM_FILE_CLOSE,
  .Check    = CheckClose,
  .Exchange = FileExchange
};

constexpr CHAR8  FileCloseContract[] =
  "Handle  11223344\n"
  "send 2E/90 [4D 4F 00 05 44 33 22 11] cap 03 -> [4D 4F 00]\n";

//
// Open, transfer and close of a well-known file ("config": open flag 1,
// open mode 3 either way, file class 0Bh, 4000h bytes by default), each a
// step with a guard of its own.
//
constexpr OperationSpec  ReadKnownFileRow = {
  .Kind     = DispatchKind::SingleBmc,
  .Variant  = FILE_ACCESS_READ,
  .Required = ArgumentBit (READ_BUFFER) | ArgumentBit (READ_BYTES_READ),
  .Exchange = KnownFileExchange
};

constexpr CHAR8  ReadKnownFileContract[] =
  "KnownFileId  07\n"
  "Offset       0100\n"
  "Count        10\n"
  "Buffer       out[Count]\n"
  "BytesRead    out\n"
  "Size         null\n"
  "send 2E/90 [4D 4F 00 01 03 01 00 40 00 00 00 0B 'config'] cap 07 -> [4D 4F 00 44 33 22 11]\n"
  "send 2E/90 [4D 4F 00 02 44 33 22 11 00 01 00 00 10 00] cap 15 -> [4D 4F 00 10 00 A0+10]\n"
  "send 2E/90 [4D 4F 00 05 44 33 22 11] cap 03 -> [4D 4F 00]\n"
  "then Buffer [A0+10]\n"
  "then BytesRead 10\n";

constexpr OperationSpec  WriteKnownFileRow = {
  .Kind     = DispatchKind::SingleBmc,
  .Variant  = FILE_ACCESS_WRITE,
  .Required = ArgumentBit (WRITE_BUFFER) | ArgumentBit (WRITE_COUNT),
  .Exchange = KnownFileExchange
};

constexpr CHAR8  WriteKnownFileContract[] =
  "KnownFileId  07\n"
  "Offset       0100\n"
  "Buffer       in[Count] [A0+10]\n"
  "Count        inout 10\n"
  "Size         in 2000\n"
  "send 2E/90 [4D 4F 00 01 03 01 00 20 00 00 01 0B 'config'] cap 07 -> [4D 4F 00 44 33 22 11]\n"
  "send 2E/90 [4D 4F 00 03 44 33 22 11 00 01 00 00 A0+10] cap 05 -> [4D 4F 00 10 00]\n"
  "send 2E/90 [4D 4F 00 05 44 33 22 11] cap 03 -> [4D 4F 00]\n"
  "then Count 10\n";

constexpr OperationSpec  FileDeleteRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_GROUP,
  .Command  = OEM_CMD_FILE_SERVICE,
  .Variant  = OEM_FILE_DELETE,
  .Exchange = FileExchange
};

constexpr CHAR8  FileDeleteContract[] =
  "KnownFileId  FF\n"
  "Name         in[NameLength] 'old.log'\n"
  "NameLength   in 07\n"
  "send 2E/90 [4D 4F 00 07 'old.log'] cap 03 -> [4D 4F 00]\n";

constexpr OperationSpec  GetFileSizeRow = {
  .Kind     = DispatchKind::SingleBmc,
  .NetFn    = OEM_NETFN_GROUP,
  .Command  = OEM_CMD_FILE_SERVICE,
  .Variant  = OEM_FILE_SIZE,
  .Required = ArgumentBit (NAMED_SIZE),
  .Check    = ClearReport,
  .Exchange = FileExchange
};

constexpr CHAR8  GetFileSizeContract[] =
  "KnownFileId  FF\n"
  "Name         in[NameLength] 'config'\n"
  "NameLength   in 06\n"
  "Size         out\n"
  "send 2E/90 [4D 4F 00 06 'config'] cap 07 -> [4D 4F 00 78 56 34 12]\n"
  "then Size 12345678\n";

//
// 40 bytes: the 32-byte first piece, then the rest on the handle (42h)
// its answer hands back.
//
constexpr OperationSpec  UploadBlocksRow = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = OEM_NETFN_GROUP,
  .Command  = OEM_CMD_BLOCK_UPLOAD,
  .Check    = CheckUpload,
  .Exchange = UploadExchange
};

constexpr CHAR8  UploadBlocksContract[] =
  "BlockTag  11223344\n"
  "Value     05\n"
  "Data      in[Length] [00+28]\n"
  "Length    in 28\n"
  "UseOp80   01\n"
  "send 2E/92 [4D 4F 00 11 22 33 44 80 05 00 00 01 00+20] cap 05 -> [4D 4F 00 42 00]\n"
  "send 2E/92 [4D 4F 00 11 22 33 44 80 05 42 00 00 20+08] cap 05 -> [4D 4F 00]\n";

constexpr OperationSpec  UploadBlocksOp1Row = {
  .Kind     = DispatchKind::Broadcast,
  .NetFn    = OEM_NETFN_GROUP,
  .Command  = OEM_CMD_BLOCK_UPLOAD,
  .Variant  = OEM_UPLOAD_OPERATION_01,
  .Check    = CheckUpload,
  .Exchange = UploadExchange
};

constexpr CHAR8  UploadBlocksOp1Contract[] =
  "BlockTag  11223344\n"
  "Value     05\n"
  "Data      in[Length] [00+28]\n"
  "Length    in 28\n"
  "send 2E/92 [4D 4F 00 11 22 33 44 01 05 00 00 01 00+20] cap 05 -> [4D 4F 00 42 00]\n"
  "send 2E/92 [4D 4F 00 11 22 33 44 01 05 42 00 00 20+08] cap 05 -> [4D 4F 00]\n";

}  // namespace Oskel
