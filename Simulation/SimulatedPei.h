// A PEI foundation for host tests: a real EFI_PEI_SERVICES table backed by a
// PPI database, a pool that can be told to fail, a HOB list, a CPU I/O PPI
// that records port writes and a read-only variable PPI. Every service call
// is recorded in the shared Trace.
#pragma once

#include <PiPei.h>
#include <Ppi/ReadOnlyVariable2.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Trace.h"

namespace OskelSim {

std::string GuidName (const EFI_GUID &Guid);
bool operator== (const EFI_GUID &Left, const EFI_GUID &Right);

// Builds a HOB list: GUID-extension HOBs (or any raw HOB) followed by the
// end-of-list HOB. Storage is 8-byte aligned as PEI requires.
class HobListBuilder {
public:
  void AddGuidHob (const EFI_GUID &Name, const Bytes &Data);
  // A HOB whose header says Length bytes; Body follows the 8-byte header.
  void AddRawHob (uint16_t Type, uint16_t Length, const Bytes &Body);
  // The platform BMC information HOB with the I/O base of BMC i at byte
  // 590 + 21 * i of the HOB.
  void AddPlatformBmcInfo (const std::vector<uint16_t> &IoBases);
  void Clear () { mBytes.clear (); }
  // The list with its terminator; stable until the next change.
  void *List ();

private:
  Bytes                 mBytes;
  std::vector<uint64_t> mStorage;
};

// A device behind I/O ports, such as a BMC's KCS interface: the CPU I/O PPI
// hands it every 8-bit access to a port it claims, and such accesses stay
// out of the trace (the device keeps its own).
class PortDevice {
public:
  virtual ~PortDevice () = default;
  virtual bool Claims (uint16_t Port) const = 0;
  virtual uint8_t Read (uint16_t Port) = 0;
  virtual void Write (uint16_t Port, uint8_t Value) = 0;
};

class SimulatedPei {
public:
  explicit SimulatedPei (Trace &Log);
  SimulatedPei (const SimulatedPei &) = delete;
  SimulatedPei &operator= (const SimulatedPei &) = delete;

  CONST EFI_PEI_SERVICES **Services () { return &mHolder.Table; }
  // The file handle to give the entry: RegisterForShadow finds us through it.
  EFI_PEI_FILE_HANDLE FileHandle () { return this; }

  // PPI database.
  void Install (const EFI_GUID &Guid, void *Ppi);  // without a trace entry
  void Uninstall (const EFI_GUID &Guid);
  void *Locate (const EFI_GUID &Guid, size_t Instance = 0, const EFI_PEI_PPI_DESCRIPTOR **Descriptor = nullptr) const;
  size_t InstallCount = 0;
  size_t ReinstallCount = 0;

  // Pool.
  size_t AllocationCount = 0;
  size_t FailAllocation = 0;          // 1-based number of the allocation to fail; 0: none
  bool   AllocationReturnsNull = false; // the failing allocation reports success but yields NULL
  std::vector<std::pair<void *, size_t>> Allocations;

  // Any service by name: its Nth call (1-based) returns Status instead.
  void FailService (const std::string &Service, size_t Nth, EFI_STATUS Status);

  // Port devices, asked in the order attached.
  void AttachPortDevice (PortDevice *Device) { mPortDevices.push_back (Device); }
  PortDevice *DeviceAt (uint16_t Port) const;

  // Shadowing.
  EFI_STATUS RegisterForShadowResult = EFI_SUCCESS;

  // HOBs.
  HobListBuilder Hobs;

  // Variables for the read-only variable PPI.
  void SetVariable (const std::u16string &Name, const EFI_GUID &Guid, const Bytes &Data);
  void RemoveVariableService ();

  Trace &Log;

private:
  struct Holder {
    CONST EFI_PEI_SERVICES *Table;
    SimulatedPei           *Owner;
  };
  struct CpuIoHolder {
    EFI_PEI_CPU_IO_PPI Ppi;
    SimulatedPei       *Owner;
  };
  struct VariableHolder {
    EFI_PEI_READ_ONLY_VARIABLE2_PPI Ppi;
    SimulatedPei                    *Owner;
  };
  struct Variable {
    std::u16string Name;
    EFI_GUID       Guid;
    Bytes          Data;
  };

  static SimulatedPei &From (CONST EFI_PEI_SERVICES **PeiServices);
  bool Injected (const std::string &Service, EFI_STATUS *Status);
  Event &Record (const std::string &Service, const std::string &Detail);

  static EFI_STATUS EFIAPI InstallPpiThunk (CONST EFI_PEI_SERVICES **, CONST EFI_PEI_PPI_DESCRIPTOR *);
  static EFI_STATUS EFIAPI ReInstallPpiThunk (CONST EFI_PEI_SERVICES **, CONST EFI_PEI_PPI_DESCRIPTOR *, CONST EFI_PEI_PPI_DESCRIPTOR *);
  static EFI_STATUS EFIAPI LocatePpiThunk (CONST EFI_PEI_SERVICES **, CONST EFI_GUID *, UINTN, EFI_PEI_PPI_DESCRIPTOR **, VOID **);
  static EFI_STATUS EFIAPI GetHobListThunk (CONST EFI_PEI_SERVICES **, VOID **);
  static EFI_STATUS EFIAPI AllocatePoolThunk (CONST EFI_PEI_SERVICES **, UINTN, VOID **);
  static EFI_STATUS EFIAPI RegisterForShadowThunk (EFI_PEI_FILE_HANDLE);
  static EFI_STATUS EFIAPI IoWriteThunk (CONST EFI_PEI_SERVICES **, CONST EFI_PEI_CPU_IO_PPI *, EFI_PEI_CPU_IO_PPI_WIDTH, UINT64, UINTN, VOID *);
  static EFI_STATUS EFIAPI IoReadThunk (CONST EFI_PEI_SERVICES **, CONST EFI_PEI_CPU_IO_PPI *, EFI_PEI_CPU_IO_PPI_WIDTH, UINT64, UINTN, VOID *);
  static EFI_STATUS EFIAPI GetVariableThunk (CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI *, CONST CHAR16 *, CONST EFI_GUID *, UINT32 *, UINTN *, VOID *);
  static EFI_STATUS EFIAPI NextVariableNameThunk (CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI *, UINTN *, CHAR16 *, EFI_GUID *);

  EFI_PEI_SERVICES                                  mTable{};
  Holder                                            mHolder{};
  CpuIoHolder                                       mCpuIo{};
  VariableHolder                                    mVariables{};
  EFI_GUID                                          mVariableGuid;
  struct OwnDescriptor {
    EFI_PEI_PPI_DESCRIPTOR Descriptor;
    EFI_GUID               Guid;        // a copy: callers may pass a temporary
  };
  std::vector<std::unique_ptr<OwnDescriptor>> mOwnDescriptors;
  std::vector<const EFI_PEI_PPI_DESCRIPTOR *>       mPpis;
  std::vector<std::unique_ptr<uint8_t[]>>           mPool;
  std::vector<Variable>                             mVariableStore;
  std::map<std::string, std::pair<size_t, EFI_STATUS>> mFailures;
  std::map<std::string, size_t>                     mCallCounts;
  std::vector<PortDevice *>                         mPortDevices;
};

}  // namespace OskelSim
