#include "SimulatedBoard.h"

namespace OskelSim {

namespace {
const EFI_GUID  mTransportGuid = IPMI_TRANSPORT_PPI_GUID;
const EFI_GUID  mServiceGuid   = BMC_COMMANDS_PPI_GUID;
}

SimulatedBoard::SimulatedBoard (size_t BmcCount) : Pei (Log), Transport (Log, BmcCount)
{
  Pei.Install (mTransportGuid, Transport.Ppi ());
}

EFI_STATUS
SimulatedBoard::RunEntry (bool Shadowed)
{
  Pei.RegisterForShadowResult = Shadowed ? EFI_ALREADY_STARTED : EFI_SUCCESS;
  return OskelCommandsPeiEntryPoint (Pei.FileHandle (), Pei.Services ());
}

EFI_STATUS
SimulatedBoard::BootBothPasses ()
{
  EFI_STATUS  Status = RunEntry (false);

  if (EFI_ERROR (Status)) {
    return Status;
  }

  return RunEntry (true);
}

BMC_COMMANDS_PPI *
SimulatedBoard::Service ()
{
  return static_cast<BMC_COMMANDS_PPI *>(Pei.Locate (mServiceGuid));
}

BMC_COMMANDS_PPI *
SimulatedBoard::InstallService ()
{
  (void)RunEntry (false);
  Log.Clear ();
  return Service ();
}

}  // namespace OskelSim
