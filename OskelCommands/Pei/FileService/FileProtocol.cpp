/** @file
  BMC file service, OEM command 90h.

  Every request opens with the manufacturer id and a sub-command byte; every
  answer echoes the manufacturer id, and its own fields start at byte 3.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "FileService.h"

using namespace Oskel;

namespace {

constexpr UINT8  FILE_RESULT_OFFSET    = 3;  // handle, size or count, after the echoed id
constexpr UINT8  FILE_READ_DATA_OFFSET = 5;  // read data, after the 16-bit count
constexpr UINT8  FILE_ACK_CAPACITY     = 3;  // close and delete: the echoed id alone
constexpr UINT8  FILE_COUNT_CAPACITY   = 5;  // write: id and count
constexpr UINT8  FILE_VALUE_CAPACITY   = 7;  // open and size: id and a 32-bit value

//
// Completion codes 0Ah..10h of the file service, in order. Any other
// completion code is one this module does not know.
//
constexpr UINT8       FILE_FIRST_MAPPED_CODE = 0x0A;
constexpr EFI_STATUS  mFileCodeStatus[]      = {
  EFI_NOT_FOUND,          // 0Ah
  EFI_VOLUME_CORRUPTED,   // 0Bh
  EFI_VOLUME_CORRUPTED,   // 0Ch
  EFI_BAD_BUFFER_SIZE,    // 0Dh
  EFI_INVALID_PARAMETER,  // 0Eh
  EFI_ACCESS_DENIED,      // 0Fh
  EFI_INVALID_PARAMETER   // 10h
};

//
// Success and transport errors pass unchanged; a completion code becomes
// an EFI error, so the result is never a positive value.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
MapFileStatus (
  IN EFI_STATUS  Result
  )
{
  if ((Result == EFI_SUCCESS) || EFI_ERROR (Result)) {
    return Result;
  }

  if ((Result >= FILE_FIRST_MAPPED_CODE) && (Result - FILE_FIRST_MAPPED_CODE < sizeof (mFileCodeStatus) / sizeof (mFileCodeStatus[0]))) {
    return mFileCodeStatus[Result - FILE_FIRST_MAPPED_CODE];
  }

  return EFI_BMC_UNEXPECTED_CODE;
}

[[nodiscard]] WireWriter
FileRequest (
  IN Operation  &Op,
  IN UINT8      SubCommand
  )
{
  WireWriter  Request = OemGroupRequest (Op);

  Request.Byte (SubCommand);
  return Request;
}

//
// One exchange of the file service over ScratchBuffer, its result mapped:
// EFI_SUCCESS exactly when the BMC answered with success. Inlined: it sits
// on the deepest stack path of the whole-file transfers.
//
[[nodiscard]] [[gnu::always_inline]] inline EFI_STATUS
SendFileRequest (
  IN Operation  &Op,
  IN UINT8      RequestLength,
  IN UINT8      Capacity,
  OUT UINT8     *Received OPTIONAL
  )
{
  return MapFileStatus (SendScratch (Op, OEM_NETFN_GROUP, OEM_CMD_FILE_SERVICE, RequestLength, Capacity, Received));
}

//
// Sends a request that ends with a file name. Value, when given, receives
// the 32-bit handle or size of a successful answer; an answer too short to
// hold it is a protocol error and leaves *Value as it was.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SendNamedRequest (
  IN Operation       &Op,
  IN OUT WireWriter  &Request,
  IN CONST CHAR8     *Name,
  IN UINT8           NameLength,
  OUT UINT32         *Value OPTIONAL
  )
{
  EFI_STATUS  Status;
  UINT8       Received;

  Request.Bytes (Name, NameLength);
  Status = SendFileRequest (Op, Request.Length (), (Value != nullptr) ? FILE_VALUE_CAPACITY : FILE_ACK_CAPACITY, &Received);
  if ((Status != EFI_SUCCESS) || (Value == nullptr)) {
    return Status;
  }

  WireReader  Response (Op.Scratch (), Received);
  if (!Response.Has (FILE_RESULT_OFFSET, sizeof (UINT32))) {
    return EFI_PROTOCOL_ERROR;
  }

  *Value = Response.Uint32Le (FILE_RESULT_OFFSET);
  return EFI_SUCCESS;
}

struct FileOpenArgs {
  CONST CHAR8  *Name;
  UINT8        NameLength;
  UINT8        OpenFlag;
  UINT8        OpenMode;
  UINT32       FileSize;
  UINT8        AccessMode;
  UINT8        FileClass;
  UINT32       *Handle;
};

EFI_STATUS OSKEL_INTERNAL
CheckOpen (
  IN OUT Operation  &Op
  )
{
  CONST FileOpenArgs  &Args = Op.ArgsAs<FileOpenArgs>();

  if (AnyNull (Args.Name, Args.Handle) || (Args.NameLength > MAX_FILE_NAME_LENGTH)) {
    return EFI_INVALID_PARAMETER;
  }

  return EFI_SUCCESS;
}

EFI_STATUS OSKEL_INTERNAL
OpenExchange (
  IN OUT Operation  &Op
  )
{
  CONST FileOpenArgs  &Args = Op.ArgsAs<FileOpenArgs>();

  //
  // Nothing stops the request from here on, and once it is out the caller
  // holds no handle until the BMC has handed one back.
  //
  *Args.Handle = 0;

  //
  // OpenMode goes out ahead of OpenFlag, the reverse of the argument order.
  //
  WireWriter  Request = FileRequest (Op, OEM_FILE_OPEN);
  Request.Byte (Args.OpenMode)
    .Byte (Args.OpenFlag)
    .Uint32 (Args.FileSize, ByteOrder::LittleEndian)
    .Byte (Args.AccessMode)
    .Byte (Args.FileClass);
  return SendNamedRequest (Op, Request, Args.Name, Args.NameLength, Args.Handle);
}

//
// A chunked read or write. Data is the caller's buffer; Destination is the
// same buffer, writable, for a read and NULL for a write. Count points at
// the bytes to move; *Total receives the bytes the BMC reported, and only
// when every chunk succeeded.
//
struct FileTransferArgs {
  UINT8         SubCommand;   // OEM_FILE_READ or OEM_FILE_WRITE
  UINT32        Handle;
  UINT32        Offset;
  CONST UINT32  *Count;
  CONST UINT8   *Data;
  UINT8         *Destination;
  UINT32        *Total;
};

EFI_STATUS OSKEL_INTERNAL
CheckTransfer (
  IN OUT Operation  &Op
  )
{
  CONST FileTransferArgs  &Args = Op.ArgsAs<FileTransferArgs>();

  if (AnyNull (Args.Data, Args.Total)) {
    return EFI_INVALID_PARAMETER;
  }

  //
  // A read reports 0 bytes unless it succeeds, even when the guard keeps
  // it back; a write's count is the caller's until the write succeeds.
  //
  if (Args.SubCommand == OEM_FILE_READ) {
    *Args.Total = 0;
  }

  return EFI_SUCCESS;
}

EFI_STATUS OSKEL_INTERNAL
TransferChunks (
  IN OUT Operation  &Op
  )
{
  CONST FileTransferArgs  &Args   = Op.ArgsAs<FileTransferArgs>();
  BOOLEAN                 Reading = (Args.SubCommand == OEM_FILE_READ);
  UINT32                  Count   = *Args.Count;
  UINT32                  Total   = 0;
  UINT32                  Done;
  UINTN                   Moved;
  UINT8                   Asked;
  UINT8                   Received;
  EFI_STATUS              Status;

  //
  // Chunk i always covers file offset Offset + 224 i and buffer bytes from
  // 224 i on, whatever earlier chunks returned: a short chunk leaves the
  // rest of its stretch of the buffer untouched.
  //
  for (Done = 0; Done < Count; Done += Asked) {
    Asked = (Count - Done < BMC_CHUNK_SIZE) ? static_cast<UINT8>(Count - Done) : BMC_CHUNK_SIZE;

    WireWriter  Request = FileRequest (Op, Args.SubCommand);
    Request.Uint32 (Args.Handle, ByteOrder::LittleEndian).Uint32 (Args.Offset + Done, ByteOrder::LittleEndian);
    if (Reading) {
      Request.Uint16 (Asked, ByteOrder::LittleEndian);
    } else {
      Request.Bytes (Args.Data + Done, Asked);
    }

    Status = SendFileRequest (
               Op,
               Request.Length (),
               Reading ? static_cast<UINT8>(FILE_READ_DATA_OFFSET + Asked) : FILE_COUNT_CAPACITY,
               &Received
               );
    if (Status != EFI_SUCCESS) {
      return Status;
    }

    WireReader  Response (Op.Scratch (), Received);
    if (!Response.Has (FILE_RESULT_OFFSET, sizeof (UINT16))) {
      return EFI_PROTOCOL_ERROR;
    }

    //
    // A chunk counts no more than it asked for, and a read takes no more
    // than the answer actually carries after its count.
    //
    Moved = Response.Uint16Le (FILE_RESULT_OFFSET);
    Moved = (Moved < Asked) ? Moved : Asked;
    if (Reading) {
      Moved = (Moved < Response.Available (FILE_READ_DATA_OFFSET)) ? Moved : Response.Available (FILE_READ_DATA_OFFSET);
      CopyMem (Args.Destination + Done, Response.At (FILE_READ_DATA_OFFSET), Moved);
    }

    Total += static_cast<UINT32>(Moved);
  }

  *Args.Total = Total;
  return EFI_SUCCESS;
}

struct FileCloseArgs {
  UINT32  Handle;
};

EFI_STATUS OSKEL_INTERNAL
CheckClose (
  IN OUT Operation  &Op
  )
{
  return (Op.ArgsAs<FileCloseArgs>().Handle == 0) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

EFI_STATUS OSKEL_INTERNAL
CloseExchange (
  IN OUT Operation  &Op
  )
{
  WireWriter  Request = FileRequest (Op, OEM_FILE_CLOSE);

  Request.Uint32 (Op.ArgsAs<FileCloseArgs>().Handle, ByteOrder::LittleEndian);
  return SendFileRequest (Op, Request.Length (), FILE_ACK_CAPACITY, nullptr);
}

//
// A request that names a file: a well-known id, or KNOWN_FILE_CALLER_NAMED
// with the caller's own name.
//
struct FileNameArgs {
  UINT8        SubCommand;   // OEM_FILE_SIZE or OEM_FILE_DELETE
  UINT8        KnownFileId;
  CONST CHAR8  *Name;
  CONST UINT8  *NameLength;
  UINT32       *Size;        // OEM_FILE_SIZE only
};

EFI_STATUS OSKEL_INTERNAL
CheckSize (
  IN OUT Operation  &Op
  )
{
  UINT32  *Size = Op.ArgsAs<FileNameArgs>().Size;

  if (Size == nullptr) {
    return EFI_INVALID_PARAMETER;
  }

  *Size = 0;
  return EFI_SUCCESS;
}

EFI_STATUS OSKEL_INTERNAL
NamedExchange (
  IN OUT Operation  &Op
  )
{
  CONST FileNameArgs  &Args = Op.ArgsAs<FileNameArgs>();
  CONST KnownFile     *File;
  CONST CHAR8         *Name;
  UINT8               NameLength;

  //
  // The name is resolved only once the guard has let the operation go on;
  // a refused name sends nothing and skips phase 1.
  //
  if (Args.KnownFileId == KNOWN_FILE_CALLER_NAMED) {
    if (AnyNull (Args.Name, Args.NameLength) || (*Args.NameLength > MAX_FILE_NAME_LENGTH)) {
      return Refuse (Op, EFI_INVALID_PARAMETER);
    }

    Name       = Args.Name;
    NameLength = *Args.NameLength;
  } else {
    File = FindKnownFile (Args.KnownFileId);
    if (File == nullptr) {
      return Refuse (Op, EFI_INVALID_PARAMETER);
    }

    Name       = File->Name;
    NameLength = File->NameLength;
  }

  WireWriter  Request = FileRequest (Op, Args.SubCommand);
  return SendNamedRequest (Op, Request, Name, NameLength, Args.Size);
}

constexpr OperationSpec  mFileOpenSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .Check    = CheckOpen,
  .Exchange = OpenExchange
};

//
// Read and write: every chunk under one guard.
//
constexpr OperationSpec  mFileTransferSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .Check    = CheckTransfer,
  .Exchange = TransferChunks
};

constexpr OperationSpec  mFileCloseSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .Check    = CheckClose,
  .Exchange = CloseExchange
};

constexpr OperationSpec  mFileDeleteSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .Exchange = NamedExchange
};

constexpr OperationSpec  mGetFileSizeSpec = {
  .Kind     = DispatchKind::SingleBmc,
  .Check    = CheckSize,
  .Exchange = NamedExchange
};

}  // namespace

WireWriter OSKEL_INTERNAL
Oskel::OemGroupRequest (
  IN Operation  &Op
  )
{
  WireWriter  Request (Op.Scratch (), BMC_SCRATCH_BUFFER_SIZE);

  Request.Byte (OEM_MANUFACTURER_ID_BYTE0).Byte (OEM_MANUFACTURER_ID_BYTE1).Byte (OEM_MANUFACTURER_ID_BYTE2);
  return Request;
}

extern "C" EFI_STATUS EFIAPI
FileOpen (
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
  )
{
  CONST FileOpenArgs  Args = { Name, NameLength, OpenFlag, OpenMode, FileSize, AccessMode, FileClass, Handle };

  return Dispatch (mFileOpenSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
FileRead (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  Handle,
  IN UINT32                  Offset,
  IN UINT32                  Count,
  OUT VOID                   *Buffer,
  OUT UINT32                 *BytesRead,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileTransferArgs  Args = {
    OEM_FILE_READ,
    Handle,
    Offset,
    &Count,
    static_cast<CONST UINT8 *>(Buffer),
    static_cast<UINT8 *>(Buffer),
    BytesRead
  };

  return Dispatch (mFileTransferSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
FileWrite (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  Handle,
  IN UINT32                  Offset,
  IN CONST VOID              *Buffer,
  IN OUT UINT32              *Count,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileTransferArgs  Args = {
    OEM_FILE_WRITE,
    Handle,
    Offset,
    Count,
    static_cast<CONST UINT8 *>(Buffer),
    nullptr,
    Count
  };

  return Dispatch (mFileTransferSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
FileClose (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  Handle,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileCloseArgs  Args = { Handle };

  return Dispatch (mFileCloseSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
FileDelete (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN CONST CHAR8             *Name,
  IN CONST UINT8             *NameLength,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileNameArgs  Args = { OEM_FILE_DELETE, KnownFileId, Name, NameLength, nullptr };

  return Dispatch (mFileDeleteSpec, PeiServices, This, BmcInstance, Force, &Args);
}

extern "C" EFI_STATUS EFIAPI
GetFileSize (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT8                   KnownFileId,
  IN CONST CHAR8             *Name,
  IN CONST UINT8             *NameLength,
  OUT UINT32                 *Size,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  CONST FileNameArgs  Args = { OEM_FILE_SIZE, KnownFileId, Name, NameLength, Size };

  return Dispatch (mGetFileSizeSpec, PeiServices, This, BmcInstance, Force, &Args);
}
