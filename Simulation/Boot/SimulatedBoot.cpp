// Boots the module on a simulated two-BMC board, both passes, and prints
// every PEI service call, port write and transport call it made.
#include <cstdio>

#include "SimulatedBoard.h"

int
main ()
{
  OskelSim::SimulatedBoard  Board (2);

  Board.Pei.Hobs.AddPlatformBmcInfo ({ 0x0000, 0x0200 });
  EFI_STATUS  First = Board.RunEntry (false);
  std::printf ("== first run (in place): %s\n", OskelSim::StatusName (First).c_str ());
  for (const auto &E : Board.Log.Events) {
    std::printf ("  %s\n", OskelSim::Describe (E).c_str ());
  }

  Board.Log.Clear ();
  EFI_STATUS  Second = Board.RunEntry (true);
  std::printf ("== second run (shadowed): %s\n", OskelSim::StatusName (Second).c_str ());
  for (const auto &E : Board.Log.Events) {
    std::printf ("  %s\n", OskelSim::Describe (E).c_str ());
  }

  return (EFI_ERROR (First) || EFI_ERROR (Second)) ? 1 : 0;
}
