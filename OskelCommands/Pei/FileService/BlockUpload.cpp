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
constexpr UINT8  UPLOAD_HANDLE_OFFSET     = 3;  // after the echoed manufacturer id
constexpr UINT8  UPLOAD_MORE_DATA         = 0x01;

//
// Arguments of both slots, in slot order; UploadBlocksOp1 ends before
// UseOp80.
//
constexpr UINT8  UPLOAD_BLOCK_TAG = 0;
constexpr UINT8  UPLOAD_VALUE     = 1;
constexpr UINT8  UPLOAD_DATA      = 2;
constexpr UINT8  UPLOAD_LENGTH    = 3;
constexpr UINT8  UPLOAD_USE_OP80  = 4;

//
// One request of command 92h: the bare 9 bytes without a piece, or the
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
  CONST UINT8  *Data   = Op.Pointer<CONST UINT8>(UPLOAD_DATA);
  UINT8       *Request = Op.Scratch ();
  UINT8       Length   = 9;
  EFI_STATUS  Status;

  //
  // UploadBlocks picks operation 00h or 80h by its last argument; the
  // other slot has no such argument and sends its own code.
  //
  OemGroupRequest (Request);
  PutUint32Be (&Request[3], Op.Uint32 (UPLOAD_BLOCK_TAG));
  Request[7] = Op.Spec->Variant;
  if (Op.Spec->Arguments > UPLOAD_USE_OP80) {
    Request[7] = (Op.Uint8 (UPLOAD_USE_OP80) != 0) ? OEM_UPLOAD_OPERATION_80 : OEM_UPLOAD_OPERATION_00;
  }

  Request[8] = Op.Uint8 (UPLOAD_VALUE);
  if (Data != nullptr) {
    PutUint16Le (&Request[9], Piece.Handle);
    Request[11] = Piece.Last ? 0 : UPLOAD_MORE_DATA;
    CopyMem (&Request[12], Data + Piece.Done, Piece.Length);
    Length = 12 + Piece.Length;
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
  return ((Op.Argument (UPLOAD_DATA) == 0) != (Op.Argument (UPLOAD_LENGTH) == 0)) ? EFI_INVALID_PARAMETER : EFI_SUCCESS;
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
  CONST UINT32  *Length = Op.Pointer<CONST UINT32>(UPLOAD_LENGTH);
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
