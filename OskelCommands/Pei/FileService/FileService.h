/** @file
  Pieces shared by the file service, the well-known files and the block
  upload on network function 2Eh.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include "../Dispatch/Dispatch.h"

namespace Oskel {

//
// AccessMode byte of an open.
//
constexpr UINT8  FILE_ACCESS_READ  = 0;
constexpr UINT8  FILE_ACCESS_WRITE = 1;

//
// Arguments of FileOpen, FileRead, FileWrite and FileClose, in slot order.
//
constexpr UINT8  OPEN_NAME        = 0;
constexpr UINT8  OPEN_NAME_LENGTH = 1;
constexpr UINT8  OPEN_FLAG        = 2;
constexpr UINT8  OPEN_MODE        = 3;
constexpr UINT8  OPEN_FILE_SIZE   = 4;
constexpr UINT8  OPEN_ACCESS_MODE = 5;
constexpr UINT8  OPEN_FILE_CLASS  = 6;
constexpr UINT8  OPEN_HANDLE      = 7;
constexpr UINT8  OPEN_ARGUMENTS   = 8;

constexpr UINT8  TRANSFER_HANDLE    = 0;
constexpr UINT8  TRANSFER_OFFSET    = 1;
constexpr UINT8  READ_COUNT         = 2;  // FileRead: the bytes wanted
constexpr UINT8  READ_BUFFER        = 3;
constexpr UINT8  READ_BYTES_READ    = 4;
constexpr UINT8  READ_ARGUMENTS     = 5;
constexpr UINT8  WRITE_BUFFER       = 2;
constexpr UINT8  WRITE_COUNT        = 3;  // FileWrite: in, the bytes to write; out, the bytes written
constexpr UINT8  WRITE_ARGUMENTS    = 4;

//
// FileDelete and GetFileSize name a file by a well-known id, or by
// KNOWN_FILE_CALLER_NAMED with the caller's own name; GetFileSize has one
// argument more, the size.
//
constexpr UINT8  NAMED_ID          = 0;
constexpr UINT8  NAMED_NAME        = 1;
constexpr UINT8  NAMED_NAME_LENGTH = 2;
constexpr UINT8  NAMED_SIZE        = 3;

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

}  // namespace Oskel
