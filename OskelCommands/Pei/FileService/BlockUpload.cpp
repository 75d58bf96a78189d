/** @file
  Block upload, OEM command 92h.

  A block travels as a 32-byte first piece and then pieces of up to
  BMC_CHUNK_SIZE; each answer hands back the handle that the next piece
  carries, which chains the pieces of one upload.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
#include "../Dispatch/ChunkTransfer.h"
#include "../MemoryRoutines.h"
#include "FileService.h"

using namespace Oskel;

namespace {

constexpr UINT8  UPLOAD_FIRST_PIECE_SIZE  = 32;
constexpr UINT8  UPLOAD_RESPONSE_CAPACITY = 5;
constexpr UINT8  UPLOAD_HANDLE_OFFSET     = 3;  // of the answer, after the echoed manufacturer id
constexpr UINT8  UPLOAD_MORE_DATA         = 0x01;

//
// Request fields after the manufacturer id: the block tag (big-endian),
// the operation code and the value make the bare request; a piece adds the
// chained handle, the more-data flag and its bytes.
//
constexpr UINT8  UPLOAD_TAG_OFFSET       = 3;
constexpr UINT8  UPLOAD_OPERATION_OFFSET = 7;
constexpr UINT8  UPLOAD_VALUE_OFFSET     = 8;
constexpr UINT8  UPLOAD_BARE_LENGTH      = 9;
constexpr UINT8  UPLOAD_CHAIN_OFFSET     = 9;
constexpr UINT8  UPLOAD_FLAGS_OFFSET     = 11;
constexpr UINT8  UPLOAD_PIECE_OFFSET     = 12;

//
// One request of command 92h: the bare request without a piece, or the
// chained handle, the more-data flag and the piece. When another piece is
// to follow, response byte 3 becomes its handle; the BMC's handles fit in
// that one byte, and byte 4 is not part of them.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SendUploadPiece (
  IN Operation     &Op,
  IN OUT Chunk     &Piece
  )
{
  CONST ArgumentWords  Upload   = Op.Arguments ();
  CONST UINT8          *Data    = Upload.Get (UPLOAD_DATA);
  UINT8                *Request = Op.Scratch ();
  UINT8                Length   = UPLOAD_BARE_LENGTH;
  EFI_STATUS           Status;

  //
  // UploadBlocks picks operation 00h or 80h by its last argument; the
  // other slot has no such argument and sends its own code.
  //
  OemGroupRequest (Request);
  PutUint32Be (&Request[UPLOAD_TAG_OFFSET], Upload.Get (UPLOAD_BLOCK_TAG));
  Request[UPLOAD_OPERATION_OFFSET] = Op.Spec->Variant;
  if (Op.Spec->Arguments > UPLOAD_USE_OP80.Index) {
    Request[UPLOAD_OPERATION_OFFSET] = (Upload.Get (UPLOAD_USE_OP80) != 0) ? OEM_UPLOAD_OPERATION_80 : OEM_UPLOAD_OPERATION_00;
  }

  Request[UPLOAD_VALUE_OFFSET] = Upload.Get (UPLOAD_VALUE);
  if (Data != nullptr) {
    PutUint16Le (&Request[UPLOAD_CHAIN_OFFSET], Piece.Handle);
    Request[UPLOAD_FLAGS_OFFSET] = Piece.Last ? 0 : UPLOAD_MORE_DATA;
    CopyMem (&Request[UPLOAD_PIECE_OFFSET], Data + Piece.Done, Piece.Length);
    Length = UPLOAD_PIECE_OFFSET + Piece.Length;
  }

  Status = SpecExchange (Op, { .RequestLength = Length, .Capacity = UPLOAD_RESPONSE_CAPACITY, .Minimum = Piece.Last ? UINT8 (0) : UINT8 (UPLOAD_HANDLE_OFFSET + 1) });
  if ((Status == EFI_SUCCESS) && !Piece.Last) {
    Piece.Handle = Request[UPLOAD_HANDLE_OFFSET];
  }

  return Status;
}

}  // namespace

namespace Oskel {

EFI_STATUS OSKEL_INTERNAL
CheckUpload (
  IN OUT Operation  &Op
  )
{
  //
  // Both for a block, neither for the bare request.
  //
  return ((Op.Get (UPLOAD_DATA) == nullptr) != (Op.Get (UPLOAD_LENGTH) == nullptr)) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
}

//
// The whole block to the BMC selected, under one guard; every BMC of a
// broadcast starts again from the first piece with handle 0000h.
//
EFI_STATUS OSKEL_INTERNAL
UploadExchange (
  IN OUT Operation  &Op
  )
{
  CONST UINT32  *Length = Op.Get (UPLOAD_LENGTH);
  UINT32        Total;

  if (Length == nullptr) {
    Chunk  Bare = { 0, 0, TRUE, 0, 0 };
    return SendUploadPiece (Op, Bare);
  }

  if (*Length == 0) {
    return Refuse (Op, EFI_INVALID_PARAMETER);
  }

  return TransferInChunks (Op, *Length, UPLOAD_FIRST_PIECE_SIZE, SendUploadPiece, &Total);
}

}  // namespace Oskel
