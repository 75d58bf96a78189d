#include "SimulatedPei.h"

#include <Ppi/BmcCommands.h>

#include <cstdio>
#include <cstring>

namespace OskelSim {

bool
operator== (const EFI_GUID &Left, const EFI_GUID &Right)
{
  return std::memcmp (&Left, &Right, sizeof (EFI_GUID)) == 0;
}

std::string
GuidName (const EFI_GUID &Guid)
{
  static const struct { EFI_GUID Guid; const char *Name; } Known[] = {
    { BMC_COMMANDS_PPI_GUID,                "BmcCommandsPpi"            },
    { IPMI_TRANSPORT_PPI_GUID,              "IpmiTransportPpi"          },
    { EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID, "ReadOnlyVariable2Ppi"      },
    { BMC_SETUP_VARIABLE_GUID,              "BmcSetupVariable"          },
    { PLATFORM_BMC_INFO_HOB_GUID,           "PlatformBmcInfoHob"        },
  };
  char  Text[40];

  for (const auto &K : Known) {
    if (K.Guid == Guid) {
      return K.Name;
    }
  }

  std::snprintf (
    Text, sizeof (Text), "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
    Guid.Data1, Guid.Data2, Guid.Data3, Guid.Data4[0], Guid.Data4[1], Guid.Data4[2],
    Guid.Data4[3], Guid.Data4[4], Guid.Data4[5], Guid.Data4[6], Guid.Data4[7]
    );
  return Text;
}

void
HobListBuilder::AddRawHob (uint16_t Type, uint16_t Length, const Bytes &Body)
{
  mBytes.push_back (static_cast<uint8_t>(Type));
  mBytes.push_back (static_cast<uint8_t>(Type >> 8));
  mBytes.push_back (static_cast<uint8_t>(Length));
  mBytes.push_back (static_cast<uint8_t>(Length >> 8));
  mBytes.insert (mBytes.end (), 4, 0);
  mBytes.insert (mBytes.end (), Body.begin (), Body.end ());
  while (mBytes.size () % 8 != 0) {
    mBytes.push_back (0);
  }
}

void
HobListBuilder::AddGuidHob (const EFI_GUID &Name, const Bytes &Data)
{
  Bytes     Body (sizeof (EFI_GUID));
  uint16_t  Length = static_cast<uint16_t>((8 + sizeof (EFI_GUID) + Data.size () + 7) & ~size_t (7));

  std::memcpy (Body.data (), &Name, sizeof (EFI_GUID));
  Body.insert (Body.end (), Data.begin (), Data.end ());
  AddRawHob (EFI_HOB_TYPE_GUID_EXTENSION, Length, Body);
}

void
HobListBuilder::AddPlatformBmcInfo (const std::vector<uint16_t> &IoBases)
{
  // Offsets count from the start of the HOB: 8-byte header, 16-byte name.
  Bytes  Data (566 + 21 * IoBases.size () + 19, 0);

  // The producer-owned byte before BMC 0's base: the number of BMCs.
  Data[565] = static_cast<uint8_t>(IoBases.size ());

  for (size_t Index = 0; Index < IoBases.size (); Index++) {
    Data[566 + 21 * Index]     = static_cast<uint8_t>(IoBases[Index]);
    Data[566 + 21 * Index + 1] = static_cast<uint8_t>(IoBases[Index] >> 8);
  }

  AddGuidHob (PLATFORM_BMC_INFO_HOB_GUID, Data);
}

void *
HobListBuilder::List ()
{
  Bytes  All = mBytes;

  All.insert (All.end (), { 0xFF, 0xFF, 8, 0, 0, 0, 0, 0 });
  mStorage.assign ((All.size () + 7) / 8, 0);
  std::memcpy (mStorage.data (), All.data (), All.size ());
  return mStorage.data ();
}

SimulatedPei::SimulatedPei (Trace &Log) : Log (Log), mVariableGuid (EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID)
{
  mTable.Hdr.Signature  = 0x5652455320494550ULL;  // "PEI SERV"
  mTable.Hdr.HeaderSize = sizeof (mTable);
  mTable.InstallPpi        = InstallPpiThunk;
  mTable.ReInstallPpi      = ReInstallPpiThunk;
  mTable.LocatePpi         = LocatePpiThunk;
  mTable.GetHobList        = GetHobListThunk;
  mTable.AllocatePool      = AllocatePoolThunk;
  mTable.RegisterForShadow = RegisterForShadowThunk;
  mTable.CpuIo             = &mCpuIo.Ppi;
  mHolder.Table            = &mTable;
  mHolder.Owner            = this;
  mCpuIo.Ppi.Io.Write      = IoWriteThunk;
  mCpuIo.Ppi.Io.Read       = IoReadThunk;
  mCpuIo.Owner             = this;
  mVariables.Ppi.GetVariable      = GetVariableThunk;
  mVariables.Ppi.NextVariableName = NextVariableNameThunk;
  mVariables.Owner                = this;
  Install (mVariableGuid, &mVariables.Ppi);
}

SimulatedPei &
SimulatedPei::From (CONST EFI_PEI_SERVICES **PeiServices)
{
  return *reinterpret_cast<Holder *>(PeiServices)->Owner;
}

void
SimulatedPei::FailService (const std::string &Service, size_t Nth, EFI_STATUS Status)
{
  mFailures[Service] = { Nth, Status };
}

bool
SimulatedPei::Injected (const std::string &Service, EFI_STATUS *Status)
{
  size_t  Count = ++mCallCounts[Service];
  auto    It    = mFailures.find (Service);

  if ((It != mFailures.end ()) && (It->second.first == Count)) {
    *Status = It->second.second;
    return true;
  }

  return false;
}

Event &
SimulatedPei::Record (const std::string &Service, const std::string &Detail)
{
  Event  &E = Log.Add (EventKind::PeiCall);

  E.Service = Service;
  E.Detail  = Detail;
  return E;
}

void
SimulatedPei::Install (const EFI_GUID &Guid, void *Ppi)
{
  auto  Own = std::make_unique<OwnDescriptor>();

  Own->Guid                  = Guid;
  Own->Descriptor.Flags      = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
  Own->Descriptor.Guid       = &Own->Guid;
  Own->Descriptor.Ppi        = Ppi;
  mPpis.push_back (&Own->Descriptor);
  mOwnDescriptors.push_back (std::move (Own));
}

void
SimulatedPei::Uninstall (const EFI_GUID &Guid)
{
  for (auto It = mPpis.begin (); It != mPpis.end (); ) {
    It = (*(*It)->Guid == Guid) ? mPpis.erase (It) : It + 1;
  }
}

void *
SimulatedPei::Locate (const EFI_GUID &Guid, size_t Instance, const EFI_PEI_PPI_DESCRIPTOR **Descriptor) const
{
  for (const EFI_PEI_PPI_DESCRIPTOR *D : mPpis) {
    if ((*D->Guid == Guid) && (Instance-- == 0)) {
      if (Descriptor != nullptr) {
        *Descriptor = D;
      }

      return D->Ppi;
    }
  }

  return nullptr;
}

void
SimulatedPei::SetVariable (const std::u16string &Name, const EFI_GUID &Guid, const Bytes &Data)
{
  for (Variable &V : mVariableStore) {
    if ((V.Name == Name) && (V.Guid == Guid)) {
      V.Data = Data;
      return;
    }
  }

  mVariableStore.push_back ({ Name, Guid, Data });
}

void
SimulatedPei::RemoveVariableService ()
{
  Uninstall (mVariableGuid);
}

EFI_STATUS EFIAPI
SimulatedPei::InstallPpiThunk (CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_PEI_PPI_DESCRIPTOR *PpiList)
{
  SimulatedPei  &Self   = From (PeiServices);
  EFI_STATUS    Status  = EFI_SUCCESS;
  Event         &E      = Self.Record ("InstallPpi", PpiList == nullptr ? "NULL" : GuidName (*PpiList->Guid));

  if (!Self.Injected ("InstallPpi", &Status)) {
    for (CONST EFI_PEI_PPI_DESCRIPTOR *D = PpiList; ; D++) {
      if ((D->Flags & EFI_PEI_PPI_DESCRIPTOR_PPI) == 0) {
        Status = EFI_INVALID_PARAMETER;
        break;
      }

      Self.mPpis.push_back (D);
      Self.InstallCount++;
      if ((D->Flags & EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST) != 0) {
        break;
      }
    }
  }

  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedPei::ReInstallPpiThunk (CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_PEI_PPI_DESCRIPTOR *OldPpi, CONST EFI_PEI_PPI_DESCRIPTOR *NewPpi)
{
  SimulatedPei  &Self  = From (PeiServices);
  EFI_STATUS    Status = EFI_NOT_FOUND;
  Event         &E     = Self.Record ("ReInstallPpi", NewPpi == nullptr ? "NULL" : GuidName (*NewPpi->Guid));

  if (!Self.Injected ("ReInstallPpi", &Status)) {
    Status = EFI_NOT_FOUND;
    for (auto &D : Self.mPpis) {
      if (D == OldPpi) {
        D      = NewPpi;
        Status = EFI_SUCCESS;
        Self.ReinstallCount++;
        break;
      }
    }
  }

  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedPei::LocatePpiThunk (
  CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_GUID *Guid, UINTN Instance,
  EFI_PEI_PPI_DESCRIPTOR **PpiDescriptor, VOID **Ppi
  )
{
  SimulatedPei                  &Self      = From (PeiServices);
  EFI_STATUS                    Status     = EFI_SUCCESS;
  const EFI_PEI_PPI_DESCRIPTOR  *Descriptor = nullptr;
  Event                         &E         = Self.Record ("LocatePpi", GuidName (*Guid));

  if (!Self.Injected ("LocatePpi", &Status)) {
    void  *Found = Self.Locate (*Guid, Instance, &Descriptor);
    if (Found == nullptr) {
      Status = EFI_NOT_FOUND;
    } else {
      *Ppi = Found;
      if (PpiDescriptor != nullptr) {
        *PpiDescriptor = const_cast<EFI_PEI_PPI_DESCRIPTOR *>(Descriptor);
      }
    }
  }

  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedPei::GetHobListThunk (CONST EFI_PEI_SERVICES **PeiServices, VOID **HobList)
{
  SimulatedPei  &Self  = From (PeiServices);
  EFI_STATUS    Status = EFI_SUCCESS;
  Event         &E     = Self.Record ("GetHobList", "");

  if (!Self.Injected ("GetHobList", &Status)) {
    *HobList = Self.Hobs.List ();
  }

  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedPei::AllocatePoolThunk (CONST EFI_PEI_SERVICES **PeiServices, UINTN Size, VOID **Buffer)
{
  SimulatedPei  &Self  = From (PeiServices);
  EFI_STATUS    Status = EFI_SUCCESS;
  Event         &E     = Self.Record ("AllocatePool", std::to_string (Size));

  Self.AllocationCount++;
  if (Self.FailAllocation == Self.AllocationCount) {
    if (Self.AllocationReturnsNull) {
      *Buffer = nullptr;
    } else {
      Status = EFI_OUT_OF_RESOURCES;
    }
  } else if (!Self.Injected ("AllocatePool", &Status)) {
    // Filled with a pattern so that a field the module forgets to set shows.
    auto  Block = std::make_unique<uint8_t[]>(Size);
    std::memset (Block.get (), 0xA5, Size);
    *Buffer = Block.get ();
    Self.Allocations.emplace_back (Block.get (), Size);
    Self.mPool.push_back (std::move (Block));
  }

  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedPei::RegisterForShadowThunk (EFI_PEI_FILE_HANDLE FileHandle)
{
  SimulatedPei  &Self  = *static_cast<SimulatedPei *>(FileHandle);
  EFI_STATUS    Status = Self.RegisterForShadowResult;
  Event         &E     = Self.Record ("RegisterForShadow", "");

  (void)Self.Injected ("RegisterForShadow", &Status);
  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedPei::IoWriteThunk (
  CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_PEI_CPU_IO_PPI *This,
  EFI_PEI_CPU_IO_PPI_WIDTH Width, UINT64 Address, UINTN Count, VOID *Buffer
  )
{
  SimulatedPei  &Self  = *reinterpret_cast<const CpuIoHolder *>(This)->Owner;
  EFI_STATUS    Status = EFI_SUCCESS;
  PortDevice    *Device = ((Width == EfiPeiCpuIoWidthUint8) && (Count == 1) && (Address <= 0xFFFF))
                          ? Self.DeviceAt (static_cast<uint16_t>(Address)) : nullptr;

  (void)PeiServices;
  if (Device != nullptr) {
    Device->Write (static_cast<uint16_t>(Address), *static_cast<uint8_t *>(Buffer));
    return EFI_SUCCESS;
  }

  if ((Width != EfiPeiCpuIoWidthUint8) || (Count != 1) || (Address > 0xFFFF)) {
    Status = EFI_INVALID_PARAMETER;
  } else {
    (void)Self.Injected ("Io.Write", &Status);
  }

  Event  &E = Self.Log.Add (EventKind::PortWrite);
  E.Port   = static_cast<uint16_t>(Address);
  E.Value  = *static_cast<uint8_t *>(Buffer);
  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedPei::IoReadThunk (
  CONST EFI_PEI_SERVICES **, CONST EFI_PEI_CPU_IO_PPI *This, EFI_PEI_CPU_IO_PPI_WIDTH Width, UINT64 Address, UINTN Count, VOID *Buffer
  )
{
  SimulatedPei  &Self   = *reinterpret_cast<const CpuIoHolder *>(This)->Owner;
  PortDevice    *Device = ((Width == EfiPeiCpuIoWidthUint8) && (Count == 1) && (Address <= 0xFFFF))
                          ? Self.DeviceAt (static_cast<uint16_t>(Address)) : nullptr;

  if (Device == nullptr) {
    return EFI_UNSUPPORTED;
  }

  *static_cast<uint8_t *>(Buffer) = Device->Read (static_cast<uint16_t>(Address));
  return EFI_SUCCESS;
}

PortDevice *
SimulatedPei::DeviceAt (uint16_t Port) const
{
  for (PortDevice *Device : mPortDevices) {
    if (Device->Claims (Port)) {
      return Device;
    }
  }

  return nullptr;
}

EFI_STATUS EFIAPI
SimulatedPei::GetVariableThunk (
  CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI *This, CONST CHAR16 *VariableName, CONST EFI_GUID *VariableGuid,
  UINT32 *Attributes, UINTN *DataSize, VOID *Data
  )
{
  SimulatedPei    &Self = *reinterpret_cast<const VariableHolder *>(This)->Owner;
  std::u16string  Name;
  EFI_STATUS      Status = EFI_NOT_FOUND;

  for (const CHAR16 *C = VariableName; *C != 0; C++) {
    Name.push_back (static_cast<char16_t>(*C));
  }

  Event  &E = Self.Record ("GetVariable", std::string (Name.begin (), Name.end ()) + " " + GuidName (*VariableGuid));
  if (!Self.Injected ("GetVariable", &Status)) {
    Status = EFI_NOT_FOUND;
    for (const Variable &V : Self.mVariableStore) {
      if ((V.Name == Name) && (V.Guid == *VariableGuid)) {
        if (*DataSize < V.Data.size ()) {
          Status = EFI_BUFFER_TOO_SMALL;
        } else {
          std::memcpy (Data, V.Data.data (), V.Data.size ());
          Status = EFI_SUCCESS;
        }

        *DataSize = V.Data.size ();
        if (Attributes != nullptr) {
          *Attributes = 7;
        }

        break;
      }
    }
  }

  E.Status = Status;
  return Status;
}

EFI_STATUS EFIAPI
SimulatedPei::NextVariableNameThunk (CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI *, UINTN *, CHAR16 *, EFI_GUID *)
{
  return EFI_NOT_FOUND;
}

}  // namespace OskelSim
