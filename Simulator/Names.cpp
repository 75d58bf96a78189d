#include "Names.h"

#include <cstdio>

namespace OskelSim {

namespace {

struct CommandRow {
  uint8_t    NetFn;
  uint8_t    Command;
  const char *Name;
};

constexpr CommandRow  mCommands[] = {
  { 0x06, 0x01, "Get Device ID"                     },
  { 0x06, 0x04, "Get Self Test Results"             },
  { 0x06, 0x22, "Reset Watchdog Timer"              },
  { 0x06, 0x24, "Set Watchdog Timer"                },
  { 0x06, 0x25, "Get Watchdog Timer"                },
  { 0x06, 0x40, "Set Channel Access"                },
  { 0x06, 0x41, "Get Channel Access"                },
  { 0x06, 0x42, "Get Channel Info"                  },
  { 0x0C, 0x10, "Set Serial/Modem Configuration"    },
  { 0x0C, 0x11, "Get Serial/Modem Configuration"    },
  { 0x0C, 0x12, "Set Serial/Modem Mux"              },
  { 0x2E, 0x90, "File Service"                      },
  { 0x2E, 0x92, "Block Upload"                      },
  { 0x3A, 0x0B, "Region Read"                       },
  { 0x3A, 0x0C, "Region Write"                      },
  { 0x3A, 0x10, "OEM Value 10h"                     },
  { 0x3A, 0x1C, "OEM Command 1Ch"                   },
  { 0x3A, 0x20, "OEM Exchange 20h"                  },
  { 0x3A, 0x62, "OEM Flag 62h"                      },
  { 0x3A, 0xC1, "OEM Query C1h"                     },
  { 0x3A, 0xC2, "OEM Exchange C2h"                  },
  { 0x3A, 0xC3, "Boot Stage"                        },
  { 0x3A, 0xC4, "Settings Store"                    },
};

struct CodeRow {
  uint8_t    Code;
  const char *Name;
};

// Generic IPMI codes, and the file service's own below 20h.
constexpr CodeRow  mCodes[] = {
  { 0x00, "success"                                  },
  { 0x0A, "file not found"                           },
  { 0x0B, "file corrupted"                           },
  { 0x0C, "file system corrupted"                    },
  { 0x0D, "bad size"                                 },
  { 0x0E, "bad handle or argument"                   },
  { 0x0F, "access denied"                            },
  { 0x10, "invalid argument"                         },
  { 0x80, "command-specific 80h"                     },
  { 0x81, "command-specific 81h"                     },
  { 0x82, "command-specific 82h"                     },
  { 0x83, "command-specific 83h"                     },
  { 0xC0, "node busy"                                },
  { 0xC1, "invalid command"                          },
  { 0xC2, "command invalid for LUN"                  },
  { 0xC3, "timeout"                                  },
  { 0xC4, "out of space"                             },
  { 0xC5, "reservation cancelled"                    },
  { 0xC6, "request data truncated"                   },
  { 0xC7, "request data length invalid"              },
  { 0xC8, "request data field length limit exceeded" },
  { 0xC9, "parameter out of range"                   },
  { 0xCA, "cannot return number of requested bytes"  },
  { 0xCB, "requested data not present"               },
  { 0xCC, "invalid data field in request"            },
  { 0xCD, "illegal command for sensor or record"     },
  { 0xCE, "response could not be provided"           },
  { 0xCF, "duplicated request"                       },
  { 0xD0, "SDR repository in update mode"            },
  { 0xD1, "device in firmware update mode"           },
  { 0xD2, "BMC initialization in progress"           },
  { 0xD3, "destination unavailable"                  },
  { 0xD4, "insufficient privilege level"             },
  { 0xD5, "not supported in present state"           },
  { 0xD6, "parameter is illegal"                     },
  { 0xFF, "unspecified error"                        },
};

std::string
Hex2 (unsigned Value)
{
  char  Text[8];
  std::snprintf (Text, sizeof (Text), "%02Xh", Value & 0xFF);
  return Text;
}

}  // namespace

std::string
NetFnName (uint8_t NetFn)
{
  switch (NetFn & 0xFE) {
    case 0x00: return "Chassis";
    case 0x04: return "Sensor/Event";
    case 0x06: return "App";
    case 0x0A: return "Storage";
    case 0x0C: return "Transport";
    case 0x2C: return "Group Extension";
    case 0x2E: return "OEM/Group";
    case 0x3A: return "OEM Controller";
    default:   return "NetFn " + Hex2 (NetFn);
  }
}

std::string
CommandName (uint8_t NetFn, uint8_t Command, const Bytes &Request)
{
  for (const CommandRow &Row : mCommands) {
    if ((Row.NetFn == (NetFn & 0xFE)) && (Row.Command == Command)) {
      std::string  Name = Row.Name;
      if ((Row.Command == 0x90) && (Request.size () >= 4)) {
        static const char *const  SubCommands[] = { "?", "open", "read", "write", "?", "close", "size", "delete" };
        Name += std::string (" ") + (Request[3] < 8 ? SubCommands[Request[3]] : "?");
      }

      return Name;
    }
  }

  return "command " + Hex2 (Command);
}

std::string
CompletionCodeName (uint8_t Code)
{
  for (const CodeRow &Row : mCodes) {
    if (Row.Code == Code) {
      return Hex2 (Code) + " (" + Row.Name + ")";
    }
  }

  return Hex2 (Code);
}

std::string
ResultName (EFI_STATUS Status)
{
  if ((Status != EFI_SUCCESS) && !EFI_ERROR (Status) && (Status <= 0xFF)) {
    return "completion code " + CompletionCodeName (static_cast<uint8_t>(Status));
  }

  return StatusName (Status);
}

std::string
WatchdogTimerUseName (uint8_t TimerUse)
{
  static const char *const  Names[] = { "reserved", "BIOS FRB2", "BIOS/POST", "OS load", "SMS/OS", "OEM", "reserved", "reserved" };
  return Names[TimerUse & 0x07];
}

std::string
WatchdogActionName (uint8_t Actions)
{
  static const char *const  Names[] = { "no action", "hard reset", "power down", "power cycle", "reserved", "reserved", "reserved", "reserved" };
  return Names[Actions & 0x07];
}

std::string
ChannelMediumName (uint8_t Medium)
{
  switch (Medium & 0x7F) {
    case 0x01: return "IPMB";
    case 0x04: return "802.3 LAN";
    case 0x05: return "asynchronous serial/modem";
    case 0x0C: return "system interface";
    default:   return "medium " + Hex2 (Medium);
  }
}

std::string
JsonString (const std::string &Value)
{
  std::string  Out = "\"";
  char         Escape[8];

  for (unsigned char C : Value) {
    if ((C == '"') || (C == '\\')) {
      Out += '\\';
      Out += static_cast<char>(C);
    } else if ((C < 0x20) || (C >= 0x7F)) {
      std::snprintf (Escape, sizeof (Escape), "\\u%04x", C);
      Out += Escape;
    } else {
      Out += static_cast<char>(C);
    }
  }

  return Out + "\"";
}

}  // namespace OskelSim
