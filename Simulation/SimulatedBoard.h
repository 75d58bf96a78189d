// A board for host tests and the simulator: the PEI foundation, the IPMI
// transport over N BMCs and the module's entry, wired together.
#pragma once

#include <Ppi/BmcCommands.h>

#include "SimulatedPei.h"
#include "SimulatedTransport.h"
#include "Trace.h"

extern "C" EFI_STATUS EFIAPI OskelCommandsPeiEntryPoint (EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES **PeiServices);

namespace OskelSim {

class SimulatedBoard {
public:
  explicit SimulatedBoard (size_t BmcCount = 1);

  Trace              Log;
  SimulatedPei       Pei;
  SimulatedTransport Transport;

  // Runs the entry once, as the first (in place) or the second (shadowed) run.
  EFI_STATUS RunEntry (bool Shadowed = false);
  // First run, then the shadowed run; returns the second run's status.
  EFI_STATUS BootBothPasses ();
  // The service as a consumer finds it; NULL when not installed.
  BMC_COMMANDS_PPI *Service ();
  // Installs the service (first run), then clears the trace so a test
  // sees only what its own calls do.
  BMC_COMMANDS_PPI *InstallService ();

  CONST EFI_PEI_SERVICES **Services () { return Pei.Services (); }
};

}  // namespace OskelSim
