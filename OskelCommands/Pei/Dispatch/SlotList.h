/** @file
  The slots of BMC_COMMANDS_PPI, in the order of the record.

  Everything in the module that follows the slot order is expanded from
  this list alone: the slot numbers and their count, the record's slot
  table and its layout checks, the order of the rows of mOperations, the
  IA32 slots of Ia32/SlotEntry.nasm and the slots of the other
  architectures. A build fails when the list and the record disagree.

  DISPATCHED (Name) is a slot that Dispatch runs from its row alone.
  OWN (Name) is a slot written as a function of its own, which uses its row
  itself; it still has a row, at its place.

  Plain C preprocessor only: the NASM slots include this file too.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#ifndef OSKEL_SLOT_LIST_H_
#define OSKEL_SLOT_LIST_H_

#define BMC_COMMANDS_SLOT_LIST(DISPATCHED, OWN) \
  DISPATCHED (OemC1Query)                       \
  DISPATCHED (OemC2Exchange)                    \
  DISPATCHED (Oem20Exchange)                    \
  DISPATCHED (RegionRead)                       \
  DISPATCHED (RegionWrite)                      \
  DISPATCHED (SendRawCommand)                   \
  DISPATCHED (GetDeviceId)                      \
  DISPATCHED (GetSelfTestResults)               \
  DISPATCHED (ReportBootStage)                  \
  DISPATCHED (GetOem10Value)                    \
  DISPATCHED (SetOem10Value)                    \
  DISPATCHED (SetOem62Flag)                     \
  DISPATCHED (FileOpen)                         \
  DISPATCHED (FileRead)                         \
  DISPATCHED (FileWrite)                        \
  DISPATCHED (FileClose)                        \
  DISPATCHED (ReadKnownFile)                    \
  DISPATCHED (WriteKnownFile)                   \
  DISPATCHED (FileDelete)                       \
  DISPATCHED (GetFileSize)                      \
  DISPATCHED (UploadBlocks)                     \
  DISPATCHED (UploadBlocksOp1)                  \
  DISPATCHED (StartPostWatchdog)                \
  DISPATCHED (Oem1CSetWord)                     \
  DISPATCHED (Oem1CClear)                       \
  DISPATCHED (ConfigureSerialConsole)           \
  DISPATCHED (SetSerialMux)                     \
  DISPATCHED (SetOem1CState)                    \
  DISPATCHED (GetOem1CState)                    \
  DISPATCHED (ReadBmcSetting)                   \
  DISPATCHED (WriteBmcSetting)                  \
  DISPATCHED (Oem1CSetWordEx)                   \
  OWN (ReportBootStageSecondary)

#endif
