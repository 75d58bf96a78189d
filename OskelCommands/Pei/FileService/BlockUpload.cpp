/** @file
  Block upload, OEM command 92h.

  A block travels as a 32-byte first piece and then pieces of up to
  BMC_CHUNK_SIZE; each answer hands back the handle that the next piece
  carries, which chains the pieces of one upload.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "../BmcCommandsPei.h"
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
// One request of command 92h: the bare 9 bytes without a piece, or the
// chained handle, the more-data flag and the piece. When another piece is
// to follow, response byte 3 becomes its handle; the BMC's handles fit in
// that one byte, and byte 4 is not part of them.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SendUploadPiece (
  IN Operation     &Op,
  IN CONST UINT8   *Piece OPTIONAL,
  IN UINT8         PieceLength,
  IN OUT UINT16    *Handle,
  IN BOOLEAN       MoreData
  )
{
  UINT8       *Request = Op.Scratch ();
  UINT8       Length   = 9;
  EFI_STATUS  Status;
  UINT8       Received;

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
  if (Piece != nullptr) {
    PutUint16Le (&Request[9], *Handle);
    Request[11] = MoreData ? UPLOAD_MORE_DATA : 0;
    CopyMem (&Request[12], Piece, PieceLength);
    Length = 12 + PieceLength;
  }

  Status = SendScratch (Op, OEM_NETFN_GROUP, OEM_CMD_BLOCK_UPLOAD, Length, UPLOAD_RESPONSE_CAPACITY, &Received);
  if ((Status != EFI_SUCCESS) || !MoreData) {
    return Status;
  }

  WireReader  Response (Op.Scratch (), Received);
  if (!Response.Has (UPLOAD_HANDLE_OFFSET, 1)) {
    return EFI_PROTOCOL_ERROR;
  }

  *Handle = Response.Byte (UPLOAD_HANDLE_OFFSET);
  return EFI_SUCCESS;
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
  CONST UINT8       *Piece     = Op.Pointer<CONST UINT8>(UPLOAD_DATA);
  UINT32            Remaining;
  UINT32            PieceLength;
  UINT16            Handle = 0;
  EFI_STATUS        Status;

  if (Piece == nullptr) {
    return SendUploadPiece (Op, nullptr, 0, &Handle, FALSE);
  }

  Remaining = *Op.Pointer<CONST UINT32>(UPLOAD_LENGTH);
  if (Remaining == 0) {
    return Refuse (Op, EFI_INVALID_PARAMETER);
  }

  PieceLength = (Remaining < UPLOAD_FIRST_PIECE_SIZE) ? Remaining : UPLOAD_FIRST_PIECE_SIZE;
  do {
    Remaining -= PieceLength;
    Status     = SendUploadPiece (Op, Piece, static_cast<UINT8>(PieceLength), &Handle, Remaining != 0);
    if (Status != EFI_SUCCESS) {
      return Status;
    }

    Piece      += PieceLength;
    PieceLength = (Remaining < BMC_CHUNK_SIZE) ? Remaining : BMC_CHUNK_SIZE;
  } while (Remaining != 0);

  return EFI_SUCCESS;
}

constexpr OperationSpec  mUploadBlocksSpec = {
  .Kind      = DispatchKind::Broadcast,
  .Check     = CheckUpload,
  .Exchange  = UploadExchange,
  .Arguments = 5
};

constexpr OperationSpec  mUploadBlocksOp1Spec = {
  .Kind      = DispatchKind::Broadcast,
  .Check     = CheckUpload,
  .Exchange  = UploadExchange,
  .Arguments = 4,
  .Variant   = OEM_UPLOAD_OPERATION_01
};

}  // namespace

extern "C" EFI_STATUS EFIAPI
UploadBlocks (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  BlockTag,
  IN UINT8                   Value,
  IN CONST UINT8             *Data OPTIONAL,
  IN CONST UINT32            *Length OPTIONAL,
  IN BOOLEAN                 UseOp80,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  return DispatchSlot (mUploadBlocksSpec, SLOT_ARGUMENTS (PeiServices, This, BlockTag, Value, Data, Length, UseOp80, BmcInstance, Force));
}

extern "C" EFI_STATUS EFIAPI
UploadBlocksOp1 (
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN BMC_COMMANDS_PPI        *This,
  IN UINT32                  BlockTag,
  IN UINT8                   Value,
  IN CONST UINT8             *Data OPTIONAL,
  IN CONST UINT32            *Length OPTIONAL,
  IN UINT8                   *BmcInstance,
  IN BOOLEAN                 Force
  )
{
  return DispatchSlot (mUploadBlocksOp1Spec, SLOT_ARGUMENTS (PeiServices, This, BlockTag, Value, Data, Length, BmcInstance, Force));
}
