#include "KcsBoard.h"

namespace OskelSim {

namespace {
const EFI_GUID  mTransportGuid = IPMI_TRANSPORT_PPI_GUID;
const EFI_GUID  mServiceGuid   = BMC_COMMANDS_PPI_GUID;
}

KcsBoard::KcsBoard (std::vector<uint16_t> Bases, bool PlatformHob) : Pei (Log)
{
  for (size_t Index = 0; Index < Bases.size (); Index++) {
    Scripted.push_back (std::make_unique<ScriptedBmc>());
    Kcs.push_back (std::make_unique<KcsBmcModel>(Bases[Index], *Scripted.back (), static_cast<uint8_t>(Index)));
    Pei.AttachPortDevice (Kcs.back ().get ());
  }

  if (PlatformHob) {
    Pei.Hobs.AddPlatformBmcInfo (Bases);
  }
}

EFI_STATUS
KcsBoard::RunTransportEntry (bool Shadowed)
{
  Pei.RegisterForShadowResult = Shadowed ? EFI_ALREADY_STARTED : EFI_SUCCESS;
  return KcsTransportPeiEntryPoint (Pei.FileHandle (), Pei.Services ());
}

IPMI_TRANSPORT_PPI *
KcsBoard::Transport ()
{
  return static_cast<IPMI_TRANSPORT_PPI *>(Pei.Locate (mTransportGuid));
}

EFI_STATUS
KcsBoard::Boot ()
{
  for (bool Shadowed : { false, true }) {
    EFI_STATUS  Status = RunTransportEntry (Shadowed);
    if (EFI_ERROR (Status)) {
      return Status;
    }

    Pei.RegisterForShadowResult = Shadowed ? EFI_ALREADY_STARTED : EFI_SUCCESS;
    Status = OskelCommandsPeiEntryPoint (Pei.FileHandle (), Pei.Services ());
    if (EFI_ERROR (Status)) {
      return Status;
    }
  }

  return EFI_SUCCESS;
}

BMC_COMMANDS_PPI *
KcsBoard::Service ()
{
  return static_cast<BMC_COMMANDS_PPI *>(Pei.Locate (mServiceGuid));
}

void
KcsBoard::ClearAccesses ()
{
  for (auto &Model : Kcs) {
    Model->Accesses.clear ();
    Model->Requests.clear ();
    Model->ExchangeStarts.clear ();
    Model->Responses.clear ();
  }
}

}  // namespace OskelSim
