#include "Trace.h"

#include <Ppi/BmcCommands.h>

#include <cstdio>

namespace OskelSim {

std::vector<Event>
Trace::Of (EventKind Kind) const
{
  std::vector<Event>  Out;

  for (const Event &E : Events) {
    if (E.Kind == Kind) {
      Out.push_back (E);
    }
  }

  return Out;
}

std::vector<Event>
Trace::TransportCalls () const
{
  std::vector<Event>  Out;

  for (const Event &E : Events) {
    if ((E.Kind != EventKind::PeiCall) && (E.Kind != EventKind::PortWrite)) {
      Out.push_back (E);
    }
  }

  return Out;
}

std::vector<std::string>
Trace::TransportSequence () const
{
  std::vector<std::string>  Out;
  char                      Line[64];

  for (const Event &E : TransportCalls ()) {
    switch (E.Kind) {
      case EventKind::GetBmcCount:         Out.push_back ("count"); break;
      case EventKind::PrepareSecondaryBmc: Out.push_back ("prepare"); break;
      case EventKind::SelectBmc:
        std::snprintf (Line, sizeof (Line), "select %u", E.Index);
        Out.push_back (Line);
        break;
      case EventKind::TrackBmcStatus:
        if (E.Index == 0) {
          Out.push_back ("phase0");
        } else {
          std::snprintf (Line, sizeof (Line), "phase1 flag=%u", E.Flag);
          Out.push_back (Line);
        }

        break;
      case EventKind::SendCommand:
        std::snprintf (Line, sizeof (Line), "send %02X/%02X", E.NetFn, E.Command);
        Out.push_back (Line);
        break;
      default:
        break;
    }
  }

  return Out;
}

std::vector<std::string>
Trace::PeiSequence () const
{
  std::vector<std::string>  Out;

  for (const Event &E : Of (EventKind::PeiCall)) {
    Out.push_back (E.Detail.empty () ? E.Service : E.Service + " " + E.Detail);
  }

  return Out;
}

std::string
StatusName (EFI_STATUS Status)
{
  struct Name { EFI_STATUS Value; const char *Text; };
  static const Name  Names[] = {
    { EFI_SUCCESS,              "EFI_SUCCESS"              },
    { EFI_INVALID_PARAMETER,    "EFI_INVALID_PARAMETER"    },
    { EFI_UNSUPPORTED,          "EFI_UNSUPPORTED"          },
    { EFI_BAD_BUFFER_SIZE,      "EFI_BAD_BUFFER_SIZE"      },
    { EFI_BUFFER_TOO_SMALL,     "EFI_BUFFER_TOO_SMALL"     },
    { EFI_NOT_READY,            "EFI_NOT_READY"            },
    { EFI_DEVICE_ERROR,         "EFI_DEVICE_ERROR"         },
    { EFI_OUT_OF_RESOURCES,     "EFI_OUT_OF_RESOURCES"     },
    { EFI_VOLUME_CORRUPTED,     "EFI_VOLUME_CORRUPTED"     },
    { EFI_NOT_FOUND,            "EFI_NOT_FOUND"            },
    { EFI_ACCESS_DENIED,        "EFI_ACCESS_DENIED"        },
    { EFI_TIMEOUT,              "EFI_TIMEOUT"              },
    { EFI_ALREADY_STARTED,      "EFI_ALREADY_STARTED"      },
    { EFI_PROTOCOL_ERROR,       "EFI_PROTOCOL_ERROR"       },
    { EFI_BMC_RETRY,            "EFI_BMC_RETRY"            },
    { EFI_BMC_UNEXPECTED_CODE,  "EFI_BMC_UNEXPECTED_CODE"  },
    { EFI_BMC_MODE_UNSUPPORTED, "EFI_BMC_MODE_UNSUPPORTED" },
  };
  char  Text[48];

  for (const Name &N : Names) {
    if (N.Value == Status) {
      return N.Text;
    }
  }

  if (!EFI_ERROR (Status)) {
    std::snprintf (Text, sizeof (Text), "completion code %02llXh", static_cast<unsigned long long>(Status));
  } else {
    std::snprintf (Text, sizeof (Text), "error 0x%llX", static_cast<unsigned long long>(Status));
  }

  return Text;
}

std::string
Hex (const Bytes &Data)
{
  std::string  Out;
  char         Byte[4];

  for (size_t Index = 0; Index < Data.size (); Index++) {
    std::snprintf (Byte, sizeof (Byte), Index == 0 ? "%02X" : " %02X", Data[Index]);
    Out += Byte;
  }

  return Out;
}

std::string
Describe (const Event &E)
{
  char  Line[160];

  switch (E.Kind) {
    case EventKind::PeiCall:
      return "pei   " + E.Service + (E.Detail.empty () ? "" : " " + E.Detail) + " -> " + StatusName (E.Status);
    case EventKind::PortWrite:
      std::snprintf (Line, sizeof (Line), "port  %04Xh <- %02Xh", E.Port, E.Value);
      return Line;
    case EventKind::GetBmcCount:
      std::snprintf (Line, sizeof (Line), "ipmi  GetBmcCount -> %u", E.Value);
      return Line;
    case EventKind::SelectBmc:
      std::snprintf (Line, sizeof (Line), "ipmi  SelectBmc %u", E.Index);
      return Line + std::string (" -> ") + StatusName (E.Status);
    case EventKind::TrackBmcStatus:
      if (E.Index == 0) {
        std::snprintf (Line, sizeof (Line), "ipmi  TrackBmcStatus phase 0 (bmc %u) -> state %u, ", E.Bmc, E.Value);
      } else {
        std::snprintf (Line, sizeof (Line), "ipmi  TrackBmcStatus phase 1 (bmc %u) device-error %u -> ", E.Bmc, E.Flag);
      }

      return Line + StatusName (E.Status);
    case EventKind::SendCommand:
      std::snprintf (Line, sizeof (Line), "ipmi  SendCommand bmc %u netfn %02Xh cmd %02Xh req [", E.Bmc, E.NetFn, E.Command);
      return Line + Hex (E.Request) + "] cap " + std::to_string (E.Capacity) + " -> " + StatusName (E.Status)
             + (E.Response.empty () ? "" : " resp [" + Hex (E.Response) + "]");
    case EventKind::PrepareSecondaryBmc:
      return "ipmi  PrepareSecondaryBmc -> " + StatusName (E.Status);
  }

  return "?";
}

}  // namespace OskelSim
