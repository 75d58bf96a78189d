// The script language of the simulator: one operation of the service per
// line, named after its slot, with key=value arguments. Numbers are decimal
// or hex (0x1F or 1Fh), data is a hex string or @FILE, names are text.
// '#' starts a comment. The whole script is checked before anything runs,
// so a malformed line stops the run with a message naming the line.
#pragma once

#include <Ppi/BmcCommands.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Trace.h"

namespace OskelSim {

struct ScriptValue {
  uint64_t    Number = 0;
  Bytes       Data;
  std::string Text;
};

struct ScriptStep {
  size_t                             Line = 0;
  std::string                        Source;     // the line as written, without comment
  std::string                        Operation;
  size_t                             OperationIndex = 0;
  std::map<std::string, ScriptValue> Arguments;  // every parameter, defaults filled in

  bool Has (const std::string &Key) const { return Arguments.count (Key) != 0; }
  uint64_t Number (const std::string &Key) const { return Arguments.at (Key).Number; }
  const Bytes &Data (const std::string &Key) const { return Arguments.at (Key).Data; }
  const std::string &Text (const std::string &Key) const { return Arguments.at (Key).Text; }
};

// Parses Text; on a malformed line returns false and sets Error to
// "line N: ..." saying what was expected. BaseDirectory resolves @FILE.
bool ParseScript (const std::string &Text, const std::string &BaseDirectory, std::vector<ScriptStep> &Steps, std::string &Error);

struct ScriptContext {
  CONST EFI_PEI_SERVICES **PeiServices = nullptr;
  BMC_COMMANDS_PPI       *Service = nullptr;
  uint32_t               LastHandle = 0;  // the handle of the last FileOpen, for handle=last
};

struct StepResult {
  EFI_STATUS               Status = EFI_SUCCESS;
  std::vector<std::string> Outputs;       // "name value" lines
  std::string              Error;         // an output file that could not be written
};

StepResult RunStep (ScriptContext &Context, const ScriptStep &Step);

// Operation names in slot order, and a usage line per operation.
std::vector<std::string> ScriptOperationNames ();
std::string ScriptUsage ();

}  // namespace OskelSim
