// A board whose BMCs sit behind KCS interfaces: the simulated PEI
// foundation, one register-level KCS model per BMC at its platform I/O
// base, the KCS transport PEIM and, on request, the module over it.
#pragma once

#include <memory>
#include <vector>

#include <Ppi/BmcCommands.h>

#include "KcsBmcModel.h"
#include "SimulatedPei.h"
#include "SimulatedTransport.h"
#include "Trace.h"

extern "C" EFI_STATUS EFIAPI KcsTransportPeiEntryPoint (EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES **PeiServices);
extern "C" EFI_STATUS EFIAPI OskelCommandsPeiEntryPoint (EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES **PeiServices);

namespace OskelSim {

class KcsBoard {
public:
  // BMC i at Bases[i] + CA2h/CA3h, listed in the platform HOB (count byte
  // and bases) unless PlatformHob is false. Each answers through a
  // scripted BMC until another endpoint is attached.
  explicit KcsBoard (std::vector<uint16_t> Bases = { 0x0000 }, bool PlatformHob = true);
  KcsBoard (const KcsBoard &) = delete;
  KcsBoard &operator= (const KcsBoard &) = delete;

  Trace                                      Log;
  SimulatedPei                               Pei;
  std::vector<std::unique_ptr<ScriptedBmc>>  Scripted;
  std::vector<std::unique_ptr<KcsBmcModel>>  Kcs;

  void Attach (size_t Index, BmcEndpoint &Endpoint) { Kcs.at (Index)->SetEndpoint (Endpoint); }

  // The transport's entry, as the in-place or the shadowed run.
  EFI_STATUS RunTransportEntry (bool Shadowed = false);
  // The transport as a consumer finds it (instance 0); NULL when absent.
  IPMI_TRANSPORT_PPI *Transport ();

  // The boot order of a real board: transport and module in place, then
  // both again from memory. Returns the first failing status.
  EFI_STATUS Boot ();
  BMC_COMMANDS_PPI *Service ();

  CONST EFI_PEI_SERVICES **Services () { return Pei.Services (); }
  // Every KCS model's access log and request list emptied.
  void ClearAccesses ();
};

}  // namespace OskelSim
