// Stack depth of one call into the module on the simulated board (IA32 only),
// the platform's frames kept apart.
//
// The call runs on a stack painted with a known pattern. Every platform entry
// point the module can reach (PEI services, CPU I/O, variables, transport) is
// rerouted through a thunk that notes the module's stack pointer at the call
// and runs the platform function on a stack of its own, so the painted stack
// ends up holding the module's frames and nothing else. Two figures follow:
//  - at platform calls: stack pointer at the module's entry minus the lowest
//    stack pointer seen at a platform call (the return address of the
//    platform call excluded, as the static figures exclude it);
//  - painted: from the module's return address down to the deepest word the
//    call overwrote, which also catches module leaves that call nothing.
// The word a platform call's return address overwrote is painted again by the
// thunk before the platform runs.
#pragma once

#include <Ppi/BmcCommands.h>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "SimulatedBoard.h"

namespace OskelBudget {

struct StackDepths {
  uint32_t AtPlatformCalls = 0;   // bytes; 0 when the call reached no platform code
  uint32_t Painted         = 0;   // bytes
  uint32_t Platform        = 0;   // bytes of the platform's own stack
};

struct Measurement {
  StackDepths Whole;
  StackDepths FirstPhase;         // up to the return of the call given to SplitAtReturn
  bool        Split   = false;
  bool        Entered = false;    // the module was entered through an outer thunk
};

// A thunk that runs the platform function Function on the platform stack.
void *RoutePlatform (void *Function);

// Reroutes every platform function of the board: the PEI services table, the
// CPU I/O PPI, the read-only variable PPI and the transport.
void RouteBoard (OskelSim::SimulatedBoard &Board);

// A thunk through which the measured call enters the module: the outermost
// pass notes the entry stack pointer; a pass from inside the module (a slot
// calling another slot through the record) goes straight through.
void *RouteOuter (void *Function);

// Every slot of the record through RouteOuter.
void RouteSlots (BMC_COMMANDS_PPI *Service);

// The function pointer at Field is replaced so that the first phase of the
// measurement ends when a call through it returns.
void SplitAtReturn (void **Field);

// Runs Call on the painted stack and measures what the module used.
Measurement Measure (const std::function<void ()> &Call);

}  // namespace OskelBudget
