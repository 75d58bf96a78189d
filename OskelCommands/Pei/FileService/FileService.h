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
// AccessMode byte of an open; also the index into KnownFile::OpenMode.
//
constexpr UINT8  FILE_ACCESS_READ  = 0;
constexpr UINT8  FILE_ACCESS_WRITE = 1;

//
// A well-known BMC file: the name that the file commands carry and the
// parameters that a whole-file transfer opens it with. The BMC interprets
// the open bytes; this module only carries them.
//
struct KnownFile {
  CONST CHAR8  *Name;         // sent without terminator
  UINT32       DefaultSize;   // FileSize of the open when the caller gives none
  UINT8        Id;
  UINT8        NameLength;
  UINT8        OpenFlag;
  UINT8        OpenMode[2];   // by AccessMode: reading, writing
  UINT8        FileClass;
};

//
// The row of a well-known file id; NULL for an id without one (the
// caller-named id KNOWN_FILE_CALLER_NAMED included).
//
[[nodiscard]] CONST KnownFile * OSKEL_INTERNAL
FindKnownFile (
  IN UINT8  Id
  );

//
// Starts a network function 2Eh request at the first byte of ScratchBuffer
// with the three manufacturer id bytes that every such request opens with.
//
[[nodiscard]] WireWriter OSKEL_INTERNAL
OemGroupRequest (
  IN Operation  &Op
  );

}  // namespace Oskel
