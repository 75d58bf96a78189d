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
// Set Watchdog Timer request. Timer use 2 (BIOS/POST) with bit 6 clear stops
// a running timer when the request arrives, and bit 7 clear logs the expiry;
// action 1 is a hard reset with no pre-timeout interrupt.
//
constexpr UINT8  IPMI_WATCHDOG_TIMER_USE_BIOS_POST     = 0x02;
constexpr UINT8  IPMI_WATCHDOG_ACTION_HARD_RESET       = 0x01;
constexpr UINT8  IPMI_WATCHDOG_PRE_TIMEOUT_NONE        = 0x00;
constexpr UINT8  IPMI_WATCHDOG_EXPIRATION_FLAGS_KEEP   = 0x00;

//
// Channels. The serial port sits on one of the channels 1 to 7; Get Channel
// Info answers the channel number, then the medium type.
//
constexpr UINT8  IPMI_CHANNEL_NUMBER_MAX            = 0x0F;
constexpr UINT8  IPMI_SERIAL_CHANNEL_SCAN_FIRST     = 0x01;
constexpr UINT8  IPMI_SERIAL_CHANNEL_SCAN_LAST      = 0x07;
constexpr UINT8  IPMI_CHANNEL_NONE                  = 0xFF;
constexpr UINT8  IPMI_CHANNEL_MEDIUM_ASYNC_SERIAL   = 0x05;

//
// Get/Set Channel Access. Bits 7:6 of the selector byte pick the volatile
// (10b) or non-volatile (01b) setting in both commands.
//
constexpr UINT8  IPMI_CHANNEL_ACCESS_VOLATILE         = 0x80;
constexpr UINT8  IPMI_CHANNEL_ACCESS_NON_VOLATILE     = 0x40;
constexpr UINT8  IPMI_CHANNEL_ACCESS_AUTH_BITS        = 0x38;  // PEF alerting, per-message and user-level authentication
constexpr UINT8  IPMI_CHANNEL_ACCESS_PRIVILEGE_BITS   = 0x3F;  // bits 7:6 = 00b: leave the privilege limit alone
constexpr UINT8  IPMI_CHANNEL_ACCESS_MODE_PRE_BOOT    = 0x01;
constexpr UINT8  IPMI_CHANNEL_ACCESS_MODE_ALWAYS      = 0x02;
constexpr UINT8  IPMI_CHANNEL_ACCESS_MODE_SHARED      = 0x03;

//
// Serial/Modem Configuration parameters and their data.
//
constexpr UINT8  IPMI_SERIAL_PARAMETER_MESSAGING_COMM_SETTINGS = 0x07;
constexpr UINT8  IPMI_SERIAL_PARAMETER_MUX_SWITCH_CONTROL      = 0x08;
constexpr UINT8  IPMI_SERIAL_PARAMETER_DATA_LENGTH             = 2;     // both parameters carry two data bytes
constexpr UINT8  IPMI_SERIAL_MUX_SWITCH_OPTION                 = 0x08;  // second Mux Switch Control data byte
constexpr UINT8  IPMI_SERIAL_FLOW_CONTROL_XON_XOFF             = 0x40;  // bits 6:5 = 10b, DTR hang-up off
constexpr UINT8  IPMI_SERIAL_BIT_RATE_9600                     = 0x06;  // each higher code doubles the rate

//
// Set Serial/Modem Mux: a request for the system side, and the status bit
// that is set while the BMC still holds the mux.
//
constexpr UINT8  IPMI_SERIAL_MUX_REQUEST_SYSTEM  = 0x01;
constexpr UINT8  IPMI_SERIAL_MUX_HELD_BY_BMC     = 0x01;

//
// Command-specific completion codes, as the commands above define them.
//
constexpr UINT8  IPMI_CC_PARAMETER_NOT_SUPPORTED   = 0x80;  // Get/Set Serial/Modem Configuration
constexpr UINT8  IPMI_CC_SET_IN_PROGRESS           = 0x81;  // Set Serial/Modem Configuration
constexpr UINT8  IPMI_CC_PARAMETER_READ_ONLY       = 0x82;  // Set Serial/Modem Configuration
constexpr UINT8  IPMI_CC_PARAMETER_WRITE_ONLY      = 0x83;  // Set Serial/Modem Configuration
constexpr UINT8  IPMI_CC_CHANNEL_ACCESS_REFUSED    = 0x82;  // Get/Set Channel Access on this channel
constexpr UINT8  IPMI_CC_ACCESS_MODE_UNSUPPORTED   = 0x83;  // Set Channel Access

//
// OEM group commands (network function 2Eh).
//
constexpr UINT8  OEM_CMD_FILE_SERVICE  = 0x90;
constexpr UINT8  OEM_CMD_BLOCK_UPLOAD  = 0x92;

//
// Sub-commands of the file service, in request byte 3 after the
// manufacturer id; this module has no use for 04h.
//
constexpr UINT8  OEM_FILE_OPEN   = 0x01;
constexpr UINT8  OEM_FILE_READ   = 0x02;
constexpr UINT8  OEM_FILE_WRITE  = 0x03;
constexpr UINT8  OEM_FILE_CLOSE  = 0x05;
constexpr UINT8  OEM_FILE_SIZE   = 0x06;
constexpr UINT8  OEM_FILE_DELETE = 0x07;

//
// Operation byte of a block upload.
//
constexpr UINT8  OEM_UPLOAD_OPERATION_00 = 0x00;
constexpr UINT8  OEM_UPLOAD_OPERATION_01 = 0x01;
constexpr UINT8  OEM_UPLOAD_OPERATION_80 = 0x80;

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
