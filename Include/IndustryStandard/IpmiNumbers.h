/** @file
  The standard IPMI numbers both PEIMs send or judge: network functions,
  commands, completion codes and the fields of the requests the module
  builds. OEM numbers belong to the module's subsystems, beside the
  operations that send them.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

//
// Network functions (requests; the BMC answers on NetFn + 1).
//
#define IPMI_NETFN_APP        0x06
#define IPMI_NETFN_TRANSPORT  0x0C

//
// Application commands.
//
#define IPMI_CMD_GET_DEVICE_ID          0x01
#define IPMI_CMD_GET_SELF_TEST_RESULTS  0x04
#define IPMI_CMD_RESET_WATCHDOG_TIMER   0x22
#define IPMI_CMD_SET_WATCHDOG_TIMER     0x24
#define IPMI_CMD_SET_CHANNEL_ACCESS     0x40
#define IPMI_CMD_GET_CHANNEL_ACCESS     0x41
#define IPMI_CMD_GET_CHANNEL_INFO       0x42

//
// Transport commands.
//
#define IPMI_CMD_SET_SERIAL_MODEM_CONFIG  0x10
#define IPMI_CMD_GET_SERIAL_MODEM_CONFIG  0x11
#define IPMI_CMD_SET_SERIAL_MODEM_MUX     0x12

//
// Generic completion codes a transport judges a BMC's health by.
//
#define IPMI_CC_NODE_BUSY         0xC0
#define IPMI_CC_TIMEOUT           0xC3
#define IPMI_CC_INIT_IN_PROGRESS  0xD2

//
// Get Device ID: byte 2 of the data is the firmware revision, bit 7 set
// while the device is updating or still initialising.
//
#define IPMI_DEVICE_ID_FIRMWARE_BYTE  2
#define IPMI_DEVICE_ID_UNAVAILABLE    0x80

//
// Set Watchdog Timer request. Timer use 2 (BIOS/POST) with bit 6 clear stops
// a running timer when the request arrives, and bit 7 clear logs the expiry;
// action 1 is a hard reset with no pre-timeout interrupt.
//
#define IPMI_WATCHDOG_TIMER_USE_BIOS_POST    0x02
#define IPMI_WATCHDOG_ACTION_HARD_RESET      0x01
#define IPMI_WATCHDOG_PRE_TIMEOUT_NONE       0x00
#define IPMI_WATCHDOG_EXPIRATION_FLAGS_KEEP  0x00

//
// Channels. The serial port sits on one of the channels 1 to 7; Get Channel
// Info answers the channel number, then the medium type.
//
#define IPMI_CHANNEL_NUMBER_MAX           0x0F
#define IPMI_SERIAL_CHANNEL_SCAN_FIRST    0x01
#define IPMI_SERIAL_CHANNEL_SCAN_LAST     0x07
#define IPMI_CHANNEL_NONE                 0xFF
#define IPMI_CHANNEL_MEDIUM_ASYNC_SERIAL  0x05

//
// Get/Set Channel Access. Bits 7:6 of the selector byte pick the volatile
// (10b) or non-volatile (01b) setting in both commands.
//
#define IPMI_CHANNEL_ACCESS_VOLATILE        0x80
#define IPMI_CHANNEL_ACCESS_NON_VOLATILE    0x40
#define IPMI_CHANNEL_ACCESS_AUTH_BITS       0x38  // PEF alerting, per-message and user-level authentication
#define IPMI_CHANNEL_ACCESS_PRIVILEGE_BITS  0x3F  // bits 7:6 = 00b: leave the privilege limit alone
#define IPMI_CHANNEL_ACCESS_MODE_PRE_BOOT   0x01
#define IPMI_CHANNEL_ACCESS_MODE_ALWAYS     0x02
#define IPMI_CHANNEL_ACCESS_MODE_SHARED     0x03

//
// Serial/Modem Configuration parameters and their data.
//
#define IPMI_SERIAL_PARAMETER_MESSAGING_COMM_SETTINGS  0x07
#define IPMI_SERIAL_PARAMETER_MUX_SWITCH_CONTROL       0x08
#define IPMI_SERIAL_PARAMETER_DATA_LENGTH              2     // both parameters carry two data bytes
#define IPMI_SERIAL_MUX_SWITCH_OPTION                  0x08  // second Mux Switch Control data byte
#define IPMI_SERIAL_FLOW_CONTROL_XON_XOFF              0x40  // bits 6:5 = 10b, DTR hang-up off
#define IPMI_SERIAL_BIT_RATE_9600                      0x06  // each higher code doubles the rate

//
// Set Serial/Modem Mux: a request for the system side, and the status bit
// that is set while the BMC still holds the mux.
//
#define IPMI_SERIAL_MUX_REQUEST_SYSTEM  0x01
#define IPMI_SERIAL_MUX_HELD_BY_BMC     0x01

//
// Command-specific completion codes, as the commands above define them.
//
#define IPMI_CC_PARAMETER_NOT_SUPPORTED  0x80  // Get/Set Serial/Modem Configuration
#define IPMI_CC_SET_IN_PROGRESS          0x81  // Set Serial/Modem Configuration
#define IPMI_CC_PARAMETER_READ_ONLY      0x82  // Set Serial/Modem Configuration
#define IPMI_CC_PARAMETER_WRITE_ONLY     0x83  // Set Serial/Modem Configuration
#define IPMI_CC_CHANNEL_ACCESS_REFUSED   0x82  // Get/Set Channel Access on this channel
#define IPMI_CC_ACCESS_MODE_UNSUPPORTED  0x83  // Set Channel Access
