/** @file
  The platform's BMC information HOB: a GUID-extension HOB that another
  platform module builds, one 21-byte entry per BMC. Both PEIMs read it:
  the transport for the number of BMCs and their I/O bases, the module for
  the base of each BMC's progress mailbox.

  Offsets from the start of the HOB, its 8-byte generic header and 16-byte
  name included; multi-byte fields little-endian and not aligned:

    589            the number of BMCs the platform has
    590 + 21 * i   BMC i's I/O base, 16 bits

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#define PLATFORM_BMC_INFO_HOB_GUID \
  { 0x1e2acc41, 0xe26a, 0x483d, { 0xaf, 0xc7, 0xa0, 0x56, 0xc3, 0x4e, 0x08, 0x7b } }

#define PLATFORM_BMC_INFO_BMC_COUNT_OFFSET  589
#define PLATFORM_BMC_INFO_IO_BASE_OFFSET    590
#define PLATFORM_BMC_INFO_ENTRY_SIZE        21
