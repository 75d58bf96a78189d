// A board whose BMCs sit behind system interfaces: the simulated PEI
// foundation, one register-level KCS model per BMC at its platform I/O
// base, a register-level BT model for each BMC the test puts on BT (and
// names in the transport's interfaces HOB), the IPMI transport PEIM and,
// on request, the module over it. Time
// on the board is virtual: every port access costs NanosecondsPerAccess,
// and the board's clocks (the 8254 at 40h/43h, an ACPI PM timer at the
// port the settings HOB names) show it, unless one is made to stand still.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include <Ppi/BmcCommands.h>

#include "BtBmcModel.h"
#include "KcsBmcModel.h"
#include "SimulatedPei.h"
#include "SimulatedTransport.h"
#include "Trace.h"

extern "C" EFI_STATUS EFIAPI IpmiTransportPeiEntryPoint (EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES **PeiServices);
extern "C" EFI_STATUS EFIAPI OskelCommandsPeiEntryPoint (EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES **PeiServices);

namespace OskelSim {

struct SimClock {
  uint64_t Nanoseconds          = 0;
  uint64_t NanosecondsPerAccess = 1000;  // about an LPC I/O cycle
  unsigned Accesses             = 0;
  // A PM timer port that reads this value whatever the time: FFFFFFFFh
  // for a PM base the chipset does not decode, any value for a timer the
  // chipset has disabled.
  std::optional<uint32_t> PmTimerStuckAt;
  // An 8254 counter that holds this count: its gate low, or never started.
  std::optional<uint16_t> PitStuckAt;

  // One port access: it costs NanosecondsPerAccess.
  void Access () {
    Accesses++;
    Nanoseconds += NanosecondsPerAccess;
  }

  // The counters as the hardware shows them at this moment.
  uint32_t PmTimer () const;
  uint16_t Pit () const;
};

// The 8254's counter 0 in the square-wave mode the reset leaves it in:
// counts down from 65536 by two per 1.193182 MHz clock; a latch command
// (00h to 43h) holds the count for two reads of 40h, low byte first.
class Pit8254Model : public PortDevice {
public:
  explicit Pit8254Model (const SimClock &Clock) : mClock (Clock) {}

  bool Claims (uint16_t Port) const override { return (Port == 0x40) || (Port == 0x43); }
  uint8_t Read (uint16_t Port) override;
  void Write (uint16_t Port, uint8_t Value) override;

  unsigned Latches = 0;

private:
  const SimClock &mClock;
  uint16_t       mLatched = 0;
  bool           mHigh    = false;
};

class TransportBoard {
public:
  // BMC i at Bases[i] + CA2h/CA3h, listed in the platform HOB (count byte
  // and bases) unless PlatformHob is false. Each answers through a
  // scripted BMC until another endpoint is attached.
  explicit TransportBoard (std::vector<uint16_t> Bases = { 0x0000 }, bool PlatformHob = true);
  TransportBoard (const TransportBoard &) = delete;
  TransportBoard &operator= (const TransportBoard &) = delete;

  Trace                                      Log;
  SimulatedPei                               Pei;
  SimClock                                   Clock;
  Pit8254Model                               Pit{ Clock };
  std::vector<std::unique_ptr<ScriptedBmc>>  Scripted;
  std::vector<std::unique_ptr<KcsBmcModel>>  Kcs;

  std::vector<std::unique_ptr<BtBmcModel>>   Bt;

  void Attach (size_t Index, BmcEndpoint &Endpoint) { Kcs.at (Index)->SetEndpoint (Endpoint); }

  // BMC Index behind a BT interface whose control register is at
  // ControlPort, answering through its scripted BMC. The interfaces HOB
  // is the test's to add (AddInterfaces).
  BtBmcModel &AddBt (size_t Index, uint16_t ControlPort);

  // The transport's interfaces HOB: one entry per element (interface,
  // address), the count byte Count (the number of entries unless given)
  // and Size bytes of data (all of it unless given).
  struct InterfaceEntry {
    uint8_t  Interface;
    uint16_t Address;
  };
  void AddInterfaces (const std::vector<InterfaceEntry> &Entries, std::optional<uint8_t> Count = std::nullopt,
                      std::optional<size_t> Size = std::nullopt);

  // The transport's settings HOB: flag wait and ready wait in
  // microseconds, PM timer port (0: none); Size bytes of its data.
  void AddSettings (uint32_t FlagWaitUs, uint32_t ReadyWaitUs, uint16_t PmTimerPort, size_t Size = 10);
  uint16_t PmTimerPort  = 0;
  unsigned PmTimerReads = 0;   // 32-bit reads of that port

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

private:
  // The services table's CPU I/O goes through this front: it moves the
  // clock on for every access and answers 32-bit reads of the PM timer.
  struct Front {
    EFI_PEI_CPU_IO_PPI Ppi;
    TransportBoard           *Owner;
    EFI_PEI_CPU_IO_PPI *Real;
  };

  static EFI_STATUS EFIAPI FrontRead (CONST EFI_PEI_SERVICES **, CONST EFI_PEI_CPU_IO_PPI *, EFI_PEI_CPU_IO_PPI_WIDTH, UINT64, UINTN, VOID *);
  static EFI_STATUS EFIAPI FrontWrite (CONST EFI_PEI_SERVICES **, CONST EFI_PEI_CPU_IO_PPI *, EFI_PEI_CPU_IO_PPI_WIDTH, UINT64, UINTN, VOID *);

  Front mFront{};
};

}  // namespace OskelSim
