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

[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckOpen (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL ClearReport (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckClose (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL FileExchange (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL TransferFile (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL KnownFileExchange (IN OUT Operation &Op);
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL CheckUpload (IN OUT Operation &Op);
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

//
// The row of a well-known file id and, in *Name, where its name starts;
// NULL for an id without one (the caller-named id KNOWN_FILE_CALLER_NAMED
// included).
//
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
