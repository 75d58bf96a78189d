#include "TransportBoard.h"

#include <cstring>

#include <Guid/IpmiTransportConfig.h>

namespace OskelSim {

namespace {
const EFI_GUID  mTransportGuid = IPMI_TRANSPORT_PPI_GUID;
const EFI_GUID  mServiceGuid   = BMC_COMMANDS_PPI_GUID;
}

uint32_t
SimClock::PmTimer () const
{
  if (PmTimerStuckAt) {
    return *PmTimerStuckAt;
  }

  return static_cast<uint32_t>((Nanoseconds * 3579545ull) / 1000000000ull) & 0xFFFFFF;
}

uint16_t
SimClock::Pit () const
{
  uint64_t  Clocks = (Nanoseconds * 1193182ull) / 1000000000ull;

  if (PitStuckAt) {
    return *PitStuckAt;
  }

  return static_cast<uint16_t>(0x10000 - ((2 * Clocks) & 0xFFFF));
}

uint8_t
Pit8254Model::Read (uint16_t Port)
{
  uint8_t  Value = mHigh ? static_cast<uint8_t>(mLatched >> 8) : static_cast<uint8_t>(mLatched);

  (void)Port;
  mHigh = !mHigh;
  return Value;
}

void
Pit8254Model::Write (uint16_t Port, uint8_t Value)
{
  if ((Port == 0x43) && (Value == 0x00)) {
    Latches++;
    mLatched = mClock.Pit ();
    mHigh    = false;
  }
}

EFI_STATUS EFIAPI
TransportBoard::FrontRead (
  CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_PEI_CPU_IO_PPI *This,
  EFI_PEI_CPU_IO_PPI_WIDTH Width, UINT64 Address, UINTN Count, VOID *Buffer
  )
{
  const Front  &Self  = *reinterpret_cast<const Front *>(This);
  TransportBoard     &Board = *Self.Owner;

  Board.Clock.Access ();

  if ((Width == EfiPeiCpuIoWidthUint32) && (Count == 1) && (Board.PmTimerPort != 0) && (Address == Board.PmTimerPort)) {
    uint32_t  Value = Board.Clock.PmTimer ();
    Board.PmTimerReads++;
    std::memcpy (Buffer, &Value, sizeof (Value));
    return EFI_SUCCESS;
  }

  return Self.Real->Io.Read (PeiServices, Self.Real, Width, Address, Count, Buffer);
}

EFI_STATUS EFIAPI
TransportBoard::FrontWrite (
  CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_PEI_CPU_IO_PPI *This,
  EFI_PEI_CPU_IO_PPI_WIDTH Width, UINT64 Address, UINTN Count, VOID *Buffer
  )
{
  const Front  &Self  = *reinterpret_cast<const Front *>(This);
  TransportBoard     &Board = *Self.Owner;

  Board.Clock.Access ();

  return Self.Real->Io.Write (PeiServices, Self.Real, Width, Address, Count, Buffer);
}

void
TransportBoard::AddSettings (uint32_t FlagWaitUs, uint32_t ReadyWaitUs, uint16_t TimerPort, size_t Size)
{
  const EFI_GUID  Name = IPMI_TRANSPORT_CONFIG_HOB_GUID;
  Bytes           Data (Size, 0);

  for (size_t Index = 0; Index < 4; Index++) {
    if (IPMI_CONFIG_FLAG_WAIT_OFFSET + Index < Size) {
      Data[IPMI_CONFIG_FLAG_WAIT_OFFSET + Index] = static_cast<uint8_t>(FlagWaitUs >> (8 * Index));
    }

    if (IPMI_CONFIG_READY_WAIT_OFFSET + Index < Size) {
      Data[IPMI_CONFIG_READY_WAIT_OFFSET + Index] = static_cast<uint8_t>(ReadyWaitUs >> (8 * Index));
    }
  }

  for (size_t Index = 0; Index < 2; Index++) {
    if (IPMI_CONFIG_PM_TIMER_OFFSET + Index < Size) {
      Data[IPMI_CONFIG_PM_TIMER_OFFSET + Index] = static_cast<uint8_t>(TimerPort >> (8 * Index));
    }
  }

  PmTimerPort = TimerPort;
  Pei.Hobs.AddGuidHob (Name, Data);
}

TransportBoard::TransportBoard (std::vector<uint16_t> Bases, bool PlatformHob) : Pei (Log)
{
  EFI_PEI_SERVICES  *Table = const_cast<EFI_PEI_SERVICES *>(*Pei.Services ());

  mFront.Real         = Table->CpuIo;
  mFront.Ppi          = *Table->CpuIo;
  mFront.Ppi.Io.Read  = FrontRead;
  mFront.Ppi.Io.Write = FrontWrite;
  mFront.Owner        = this;
  Table->CpuIo        = &mFront.Ppi;
  Pei.AttachPortDevice (&Pit);

  for (size_t Index = 0; Index < Bases.size (); Index++) {
    Scripted.push_back (std::make_unique<ScriptedBmc>());
    Kcs.push_back (std::make_unique<KcsBmcModel>(Bases[Index], *Scripted.back (), static_cast<uint8_t>(Index)));
    Pei.AttachPortDevice (Kcs.back ().get ());
  }

  if (PlatformHob) {
    Pei.Hobs.AddPlatformBmcInfo (Bases);
  }
}

BtBmcModel &
TransportBoard::AddBt (size_t Index, uint16_t ControlPort)
{
  Bt.push_back (std::make_unique<BtBmcModel>(ControlPort, *Scripted.at (Index), static_cast<uint8_t>(Index)));
  Pei.AttachPortDevice (Bt.back ().get ());
  return *Bt.back ();
}

void
TransportBoard::AddInterfaces (const std::vector<InterfaceEntry> &Entries, std::optional<uint8_t> Count, std::optional<size_t> Size)
{
  const EFI_GUID  Name = IPMI_TRANSPORT_INTERFACES_HOB_GUID;
  Bytes           Data (IPMI_INTERFACES_FIRST_OFFSET + IPMI_INTERFACE_ENTRY_SIZE * Entries.size (), 0);

  Data[IPMI_INTERFACES_COUNT_OFFSET] = Count.value_or (static_cast<uint8_t>(Entries.size ()));
  for (size_t Index = 0; Index < Entries.size (); Index++) {
    const size_t  At = IPMI_INTERFACES_FIRST_OFFSET + IPMI_INTERFACE_ENTRY_SIZE * Index;
    Data[At + IPMI_INTERFACE_TYPE_OFFSET]        = Entries[Index].Interface;
    Data[At + IPMI_INTERFACE_ADDRESS_OFFSET]     = static_cast<uint8_t>(Entries[Index].Address);
    Data[At + IPMI_INTERFACE_ADDRESS_OFFSET + 1] = static_cast<uint8_t>(Entries[Index].Address >> 8);
  }

  Data.resize (Size.value_or (Data.size ()), 0);
  Pei.Hobs.AddGuidHob (Name, Data);
}

EFI_STATUS
TransportBoard::RunTransportEntry (bool Shadowed)
{
  Pei.RegisterForShadowResult = Shadowed ? EFI_ALREADY_STARTED : EFI_SUCCESS;
  return IpmiTransportPeiEntryPoint (Pei.FileHandle (), Pei.Services ());
}

IPMI_TRANSPORT_PPI *
TransportBoard::Transport ()
{
  return static_cast<IPMI_TRANSPORT_PPI *>(Pei.Locate (mTransportGuid));
}

EFI_STATUS
TransportBoard::Boot ()
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
TransportBoard::Service ()
{
  return static_cast<BMC_COMMANDS_PPI *>(Pei.Locate (mServiceGuid));
}

void
TransportBoard::ClearAccesses ()
{
  for (auto &Model : Kcs) {
    Model->Accesses.clear ();
    Model->Requests.clear ();
    Model->ExchangeStarts.clear ();
    Model->Responses.clear ();
  }

  for (auto &Model : Bt) {
    Model->Accesses.clear ();
    Model->Requests.clear ();
    Model->Messages.clear ();
    Model->Answers.clear ();
  }
}

}  // namespace OskelSim
