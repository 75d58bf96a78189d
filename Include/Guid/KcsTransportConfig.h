/** @file
  Platform settings of the KCS transport PEIM: a GUID-extension HOB that a
  board PEIM builds before the transport runs. Without it the transport
  takes the defaults below.

  Data after the HOB's name, byte by byte, multi-byte fields little-endian;
  a HOB with fewer than KCS_CONFIG_DATA_SIZE bytes of data is ignored:

    0..3   flag wait, microseconds per wait on IBF or OBF (0: default)
    4..7   ready wait at entry, microseconds in all, one wait shared by
           all BMCs (0: off)
    8..9   I/O port of the ACPI PM timer (0: none, the 8254 is used)

  Both waits are counted in whole steps of 256 microseconds, rounded up: a
  flag wait of 1 waits 256 microseconds, one of 257 waits 512.

  The ready wait runs at the first run's entry: Get Device ID to each BMC
  in turn, again every 100 ms until it answers with the device available,
  while the ready wait lasts, counted from the first BMC's first question.
  Each BMC gets one question at least, however much of the wait the BMCs
  before it took; a BMC not ready when its turn ends is written off.

  A PM timer port that does not count (a power-management base the
  chipset does not decode reads all ones) is noticed after 32 polls of a
  wait that see no change, and the 8254 times the rest of that wait and
  of the PEIM's run (the run from memory tries the PM timer again); with
  the 8254 stopped too, such a wait ends there and counts as run out.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#define KCS_TRANSPORT_CONFIG_HOB_GUID \
  { 0x6da78d91, 0x327b, 0x43c8, { 0x89, 0x24, 0x28, 0x59, 0x82, 0x4c, 0x9b, 0x09 } }

#define KCS_CONFIG_FLAG_WAIT_OFFSET   0
#define KCS_CONFIG_READY_WAIT_OFFSET  4
#define KCS_CONFIG_PM_TIMER_OFFSET    8
#define KCS_CONFIG_DATA_SIZE          10

//
// Five seconds per flag: a KCS BMC may take seconds over its slowest
// command, and host timeouts of that order are the usual choice; longer
// settings are taken as one minute.
//
#define KCS_CONFIG_DEFAULT_FLAG_WAIT_US  5000000
#define KCS_CONFIG_MAX_WAIT_US           60000000
