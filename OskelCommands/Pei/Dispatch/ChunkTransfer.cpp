/** @file
  The chunk loop shared by the region, file and block-upload transfers.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#include "ChunkTransfer.h"

namespace Oskel {

EFI_STATUS OSKEL_INTERNAL
TransferInChunks (
  IN OUT Operation  &Op,
  IN UINT32         Count,
  IN UINT8          FirstLength,
  IN CHUNK_STEP     Step,
  OUT UINT32        *Total
  )
{
  Chunk       Piece = { 0, 0, FALSE, 0, 0 };
  UINT8       Limit = FirstLength;
  UINT32      Moved = 0;
  EFI_STATUS  Status;

  while (Piece.Done < Count) {
    Piece.Length = (Count - Piece.Done < Limit) ? static_cast<UINT8>(Count - Piece.Done) : Limit;
    Piece.Last   = (Count - Piece.Done == Piece.Length) ? TRUE : FALSE;
    Piece.Moved  = 0;
    Status       = Step (Op, Piece);
    if (Status != EFI_SUCCESS) {
      return Status;
    }

    Moved      += Piece.Moved;
    Piece.Done += Piece.Length;
    Limit       = BMC_CHUNK_SIZE;
  }

  *Total = Moved;
  return EFI_SUCCESS;
}

}  // namespace Oskel
