/** @file
  Network functions and commands the module sends.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>

namespace Oskel {

//
// Network functions (requests; the BMC answers on NetFn + 1).
//
constexpr UINT8  IPMI_NETFN_APP       = 0x06;
constexpr UINT8  IPMI_NETFN_TRANSPORT = 0x0C;
constexpr UINT8  OEM_NETFN_GROUP      = 0x2E;  // file service and block upload
constexpr UINT8  OEM_NETFN_CONTROLLER = 0x3A;  // the controller's own OEM commands

//
// Application commands.
//
constexpr UINT8  IPMI_CMD_GET_DEVICE_ID         = 0x01;
constexpr UINT8  IPMI_CMD_GET_SELF_TEST_RESULTS = 0x04;
constexpr UINT8  IPMI_CMD_RESET_WATCHDOG_TIMER  = 0x22;
constexpr UINT8  IPMI_CMD_SET_WATCHDOG_TIMER    = 0x24;
constexpr UINT8  IPMI_CMD_SET_CHANNEL_ACCESS    = 0x40;
constexpr UINT8  IPMI_CMD_GET_CHANNEL_ACCESS    = 0x41;
constexpr UINT8  IPMI_CMD_GET_CHANNEL_INFO      = 0x42;

//
// Transport commands.
//
constexpr UINT8  IPMI_CMD_SET_SERIAL_MODEM_CONFIG = 0x10;
constexpr UINT8  IPMI_CMD_GET_SERIAL_MODEM_CONFIG = 0x11;
constexpr UINT8  IPMI_CMD_SET_SERIAL_MODEM_MUX    = 0x12;

//
// OEM group commands (network function 2Eh).
//
constexpr UINT8  OEM_CMD_FILE_SERVICE  = 0x90;
constexpr UINT8  OEM_CMD_BLOCK_UPLOAD  = 0x92;

//
// OEM controller commands (network function 3Ah).
//
constexpr UINT8  OEM_CMD_REGION_READ     = 0x0B;
constexpr UINT8  OEM_CMD_REGION_WRITE    = 0x0C;
constexpr UINT8  OEM_CMD_VALUE_10        = 0x10;
constexpr UINT8  OEM_CMD_1C              = 0x1C;
constexpr UINT8  OEM_CMD_EXCHANGE_20     = 0x20;
constexpr UINT8  OEM_CMD_FLAG_62         = 0x62;
constexpr UINT8  OEM_CMD_QUERY_C1        = 0xC1;
constexpr UINT8  OEM_CMD_EXCHANGE_C2     = 0xC2;
constexpr UINT8  OEM_CMD_BOOT_STAGE      = 0xC3;
constexpr UINT8  OEM_CMD_SETTINGS_STORE  = 0xC4;

//
// Sub-functions of command 1Ch, chosen by request byte 0.
//
constexpr UINT8  OEM_1C_WRITE_VALUE  = 0x00;  // byte 1: 00h clears, 01h sets the 16-bit value
constexpr UINT8  OEM_1C_SET_STATE    = 0x01;
constexpr UINT8  OEM_1C_GET_STATE    = 0x02;

//
// Request byte 0 of command C3h: a boot stage report follows in byte 1.
//
constexpr UINT8  OEM_BOOT_STAGE_REPORT = 0x01;

}  // namespace Oskel
