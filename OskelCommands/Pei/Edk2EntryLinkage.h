/** @file
  Forced into every file of the EDK II source build, after AutoGen.h.

  That build compiles the generated AutoGen.c as C++ along with the module.
  AutoGen.h declares its own symbols inside extern "C", but AutoGen.c also
  includes the entry point and debug library headers, which have no such
  guard: without this, the entry glue it defines would get C++ linkage and
  PeimEntryPoint's _ModuleEntryPoint, a C object, would not find it. Their
  include guards make AutoGen.c's own includes no-ops afterwards.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#include <Library/DebugLib.h>
#include <Library/PeimEntryPoint.h>

#ifdef __cplusplus
}
#endif
