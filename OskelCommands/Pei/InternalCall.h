/** @file
  Calling convention of the module's own functions.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

//
// Register arguments between the module's own functions on IA32, so nested operations fit their stack; never on EFIAPI or PI interfaces.
//
#if defined (__i386__)
#define OSKEL_INTERNAL  __attribute__ ((regparm (3)))
#else
#define OSKEL_INTERNAL
#endif
