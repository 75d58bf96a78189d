// Names of what crosses the wire, for the readable trace, the JSON trace
// and the summary: network functions, commands, completion codes, fields.
#pragma once

#include <PiPei.h>

#include <cstdint>
#include <string>

#include "Trace.h"

namespace OskelSim {

std::string NetFnName (uint8_t NetFn);
// The command's name; for the file service, the sub-command from the request.
std::string CommandName (uint8_t NetFn, uint8_t Command, const Bytes &Request = {});
std::string CompletionCodeName (uint8_t Code);
// EFI status by name; a positive value as its completion code with name.
std::string ResultName (EFI_STATUS Status);
std::string WatchdogTimerUseName (uint8_t TimerUse);
std::string WatchdogActionName (uint8_t Actions);
std::string ChannelMediumName (uint8_t Medium);
std::string JsonString (const std::string &Value);

}  // namespace OskelSim
