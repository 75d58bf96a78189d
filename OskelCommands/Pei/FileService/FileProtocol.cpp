/** @file
  BMC file service, OEM command 90h.

  Every request opens with the manufacturer id and a sub-command byte; every
  answer echoes the manufacturer id, and its own fields start at byte 3.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/ChunkTransfer.h"
#include "../MemoryRoutines.h"
#include "FileService.h"

using namespace Oskel;

namespace {

//
// Request fields after the manufacturer id. A read or a write names the
// handle and the file offset, then the count to read or the data itself;
// an open carries its parameters ahead of the name; a close carries the
// handle alone.
//
constexpr UINT8  FILE_SUB_COMMAND_OFFSET  = 3;
constexpr UINT8  FILE_FIELDS_OFFSET       = 4;   // request fields, after the sub-command
constexpr UINT8  FILE_HANDLE_OFFSET       = 4;
constexpr UINT8  FILE_POSITION_OFFSET     = 8;   // read and write: the offset in the file
constexpr UINT8  FILE_COUNT_OFFSET        = 12;  // read: the 16-bit count wanted
constexpr UINT8  FILE_READ_LENGTH         = 14;
constexpr UINT8  FILE_WRITE_DATA_OFFSET   = 12;
constexpr UINT8  FILE_OPEN_MODE_OFFSET    = 4;
constexpr UINT8  FILE_OPEN_FLAG_OFFSET    = 5;
constexpr UINT8  FILE_OPEN_SIZE_OFFSET    = 6;
constexpr UINT8  FILE_OPEN_ACCESS_OFFSET  = 10;
constexpr UINT8  FILE_OPEN_CLASS_OFFSET   = 11;
constexpr UINT8  FILE_OPEN_NAME_OFFSET    = 12;  // the longest fields before a name: an open's
constexpr UINT8  FILE_CLOSE_LENGTH        = 8;   // sub-command and handle

//
// Answer fields: the echoed manufacturer id, then a handle, size or count.
//
constexpr UINT8  FILE_RESULT_OFFSET    = 3;
constexpr UINT8  FILE_READ_DATA_OFFSET = 5;  // read data, after the 16-bit count
constexpr UINT8  FILE_ACK_CAPACITY     = 3;  // close and delete: the echoed id alone
constexpr UINT8  FILE_COUNT_CAPACITY   = 5;  // write: id and count
constexpr UINT8  FILE_VALUE_CAPACITY   = 7;  // open and size: id and a 32-bit value

static_assert (FILE_OPEN_NAME_OFFSET + MAX_FILE_NAME_LENGTH <= BMC_SCRATCH_BUFFER_SIZE, "a file name fits in one request");

//
// Completion codes 0Ah..10h of the file service, in order. Any other
// completion code is one this module does not know.
//
constexpr UINT8  FILE_FIRST_MAPPED_CODE = 0x0A;
constexpr UINT8  mFileCodeStatus[]      = {
  StatusCode (EFI_NOT_FOUND),          // 0Ah
  StatusCode (EFI_VOLUME_CORRUPTED),   // 0Bh
  StatusCode (EFI_VOLUME_CORRUPTED),   // 0Ch
  StatusCode (EFI_BAD_BUFFER_SIZE),    // 0Dh
  StatusCode (EFI_INVALID_PARAMETER),  // 0Eh
  StatusCode (EFI_ACCESS_DENIED),      // 0Fh
  StatusCode (EFI_INVALID_PARAMETER)   // 10h
};

//
// Writes the manufacturer id and the sub-command; the fields follow at
// FILE_FIELDS_OFFSET.
//
[[nodiscard]] UINT8 * OSKEL_INTERNAL
FileRequest (
  IN Operation  &Op,
  IN UINT8      SubCommand
  )
{
  UINT8  *Request = Op.Scratch ();

  OemGroupRequest (Request);
  Request[FILE_SUB_COMMAND_OFFSET] = SubCommand;
  return Request;
}

//
// The status of one exchange of the file service over ScratchBuffer.
// Success and transport errors pass unchanged; a completion code becomes an
// EFI error, so the result is EFI_SUCCESS exactly when the BMC answered
// with success and at least the bytes the exchange required.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
FileStatus (
  IN EFI_STATUS  Result
  )
{
  if ((Result == EFI_SUCCESS) || EFI_ERROR (Result)) {
    return Result;
  }

  if ((Result >= FILE_FIRST_MAPPED_CODE) && (Result - FILE_FIRST_MAPPED_CODE < sizeof (mFileCodeStatus))) {
    return StatusFromCode (mFileCodeStatus[Result - FILE_FIRST_MAPPED_CODE]);
  }

  return EFI_BMC_UNEXPECTED_CODE;
}

//
// One chunk of a read or a write, Spec.Variant telling which. A chunk
// counts no more than it asked for, and a read takes no more than the
// answer actually carries after its count.
//
EFI_STATUS OSKEL_INTERNAL
TransferFileChunk (
  IN OUT Operation  &Op,
  IN OUT Chunk      &Piece
  )
{
  CONST ArgumentWords  Transfer = Op.Arguments ();
  CONST BOOLEAN        Reading  = (Op.Spec->Variant == OEM_FILE_READ);
  UINT8                *Request = FileRequest (Op, Op.Spec->Variant);
  ExchangeShape        Shape;
  UINTN                Taken;
  EFI_STATUS           Status;

  PutUint32Le (&Request[FILE_HANDLE_OFFSET], Transfer.Get (TRANSFER_HANDLE));
  PutUint32Le (&Request[FILE_POSITION_OFFSET], Transfer.Get (TRANSFER_OFFSET) + Piece.Done);
  if (Reading) {
    PutUint16Le (&Request[FILE_COUNT_OFFSET], Piece.Length);
    Shape = { .RequestLength = FILE_READ_LENGTH, .Capacity = static_cast<UINT8>(FILE_READ_DATA_OFFSET + Piece.Length), .Minimum = FILE_READ_DATA_OFFSET };
  } else {
    CopyMem (&Request[FILE_WRITE_DATA_OFFSET], static_cast<CONST UINT8 *>(Transfer.Get (WRITE_BUFFER)) + Piece.Done, Piece.Length);
    Shape = { .RequestLength = static_cast<UINT8>(FILE_WRITE_DATA_OFFSET + Piece.Length), .Capacity = FILE_COUNT_CAPACITY, .Minimum = FILE_COUNT_CAPACITY };
  }

  Status = FileStatus (SpecExchange (Op, Shape));
  if (Status != EFI_SUCCESS) {
    return Status;
  }

  Taken = GetUint16Le (&Request[FILE_RESULT_OFFSET]);
  Taken = (Taken < Piece.Length) ? Taken : Piece.Length;
  if (Reading) {
    UINTN  Carried = Op.Received - FILE_READ_DATA_OFFSET;

    Taken = (Taken < Carried) ? Taken : Carried;
    CopyMem (static_cast<UINT8 *>(Transfer.Get (READ_BUFFER)) + Piece.Done, &Request[FILE_READ_DATA_OFFSET], Taken);
  }

  Piece.Moved = static_cast<UINT8>(Taken);
  return EFI_SUCCESS;
}

}  // namespace

namespace Oskel {

//
// *Total receives the bytes the BMC reported, and only when every chunk
// succeeded; a write's count is read before the first chunk.
//
EFI_STATUS OSKEL_INTERNAL
TransferFile (
  IN OUT Operation  &Op
  )
{
  CONST BOOLEAN  Reading = (Op.Spec->Variant == OEM_FILE_READ);
  UINT32         *Total  = Reading ? Op.Get (READ_BYTES_READ) : Op.Get (WRITE_COUNT);

  return TransferInChunks (Op, Reading ? Op.Get (READ_COUNT) : *Total, BMC_CHUNK_SIZE, TransferFileChunk, Total);
}

//
// The handle is the open's eighth argument, past the five that Required
// covers.
//
EFI_STATUS OSKEL_INTERNAL
CheckOpen (
  IN OUT Operation  &Op
  )
{
  if ((Op.Get (OPEN_HANDLE) == nullptr) || (Op.Get (OPEN_NAME_LENGTH) > MAX_FILE_NAME_LENGTH)) {
    return EFI_INVALID_PARAMETER;
  }

  return EFI_SUCCESS;
}

EFI_STATUS OSKEL_INTERNAL
CheckClose (
  IN OUT Operation  &Op
  )
{
  return (Op.Get (TRANSFER_HANDLE) == 0) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

//
// A read reports 0 bytes and a size query size 0 unless they succeed, even
// when the guard keeps them back: both report through their last argument.
// A write's count is the caller's until the write succeeds.
//
EFI_STATUS OSKEL_INTERNAL
ClearReport (
  IN OUT Operation  &Op
  )
{
  *((Op.Spec->Variant == OEM_FILE_READ) ? Op.Get (READ_BYTES_READ) : Op.Get (NAMED_SIZE)) = 0;
  return EFI_SUCCESS;
}

//
// Open, close, delete and size: one request each, by Spec.Variant. Open,
// delete and size end in a file name, which an open takes from its
// arguments and the other two resolve from a well-known id or the caller's
// own name; open and size answer with a 32-bit value, the handle or the
// size, which an answer must carry to succeed.
//
EFI_STATUS OSKEL_INTERNAL
FileExchange (
  IN OUT Operation  &Op
  )
{
  CONST UINT8      SubCommand = Op.Spec->Variant;
  UINT8            *Request   = FileRequest (Op, SubCommand);
  UINT8            Length     = FILE_FIELDS_OFFSET;
  CONST CHAR8      *Name      = nullptr;
  UINT8            NameLength = 0;
  UINT32           *Value     = nullptr;
  CONST KnownFile  *File;
  EFI_STATUS       Status;

  if (SubCommand == OEM_FILE_OPEN) {
    //
    // Nothing stops the request from here on, and once it is out the caller
    // holds no handle until the BMC has handed one back. OpenMode goes out
    // ahead of OpenFlag, the reverse of the argument order.
    //
    CONST ArgumentWords  Open = Op.Arguments ();

    Value                            = Open.Get (OPEN_HANDLE);
    *Value                           = 0;
    Request[FILE_OPEN_MODE_OFFSET]   = Open.Get (OPEN_MODE);
    Request[FILE_OPEN_FLAG_OFFSET]   = Open.Get (OPEN_FLAG);
    PutUint32Le (&Request[FILE_OPEN_SIZE_OFFSET], Open.Get (OPEN_FILE_SIZE));
    Request[FILE_OPEN_ACCESS_OFFSET] = Open.Get (OPEN_ACCESS_MODE);
    Request[FILE_OPEN_CLASS_OFFSET]  = Open.Get (OPEN_FILE_CLASS);
    Length                           = FILE_OPEN_NAME_OFFSET;
    Name                             = Open.Get (OPEN_NAME);
    NameLength                       = Open.Get (OPEN_NAME_LENGTH);
  } else if (SubCommand == OEM_FILE_CLOSE) {
    PutUint32Le (&Request[FILE_HANDLE_OFFSET], Op.Get (TRANSFER_HANDLE));
    Length = FILE_CLOSE_LENGTH;
  } else {
    //
    // The name is resolved only once the guard has let the operation go
    // on; a refused name sends nothing and skips phase 1.
    //
    CONST UINT8  *NameBytes = Op.Get (NAMED_NAME_LENGTH);

    Name = Op.Get (NAMED_NAME);
    if (Op.Get (NAMED_ID) == KNOWN_FILE_CALLER_NAMED) {
      if (AnyNull (Name, NameBytes) || (*NameBytes > MAX_FILE_NAME_LENGTH)) {
        return Refuse (Op, EFI_INVALID_PARAMETER);
      }

      NameLength = *NameBytes;
    } else {
      File = FindKnownFile (Op.Get (NAMED_ID), &Name);
      if (File == nullptr) {
        return Refuse (Op, EFI_INVALID_PARAMETER);
      }

      NameLength = File->NameLength;
    }

    if (SubCommand == OEM_FILE_SIZE) {
      Value = Op.Get (NAMED_SIZE);
    }
  }

  //
  // Every name has been held to MAX_FILE_NAME_LENGTH, so it fits behind the
  // longest fields.
  //
  CopyMem (Request + Length, Name, NameLength);
  Length += NameLength;
  Status  = FileStatus (
              SpecExchange (
                Op,
                {
                  .RequestLength = Length,
                  .Capacity      = (Value != nullptr) ? FILE_VALUE_CAPACITY : FILE_ACK_CAPACITY,
                  .Minimum       = (Value != nullptr) ? FILE_VALUE_CAPACITY : UINT8 (0)
                }
                )
              );
  if ((Status == EFI_SUCCESS) && (Value != nullptr)) {
    *Value = GetUint32Le (Request + FILE_RESULT_OFFSET);
  }

  return Status;
}

}  // namespace Oskel
