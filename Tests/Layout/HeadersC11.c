/*
  Every public header compiled as C11. On IA32 the layouts that consumers
  and the PEI core rely on are asserted member by member, on X64 the
  natural ones. Built by the host compiler, and by clang-cl in Microsoft
  mode for IA32 and X64 (the HeadersC11ClangCl test).
*/
#include <PiPei.h>
#include <Ppi/ReadOnlyVariable2.h>
#include <Ppi/Smbus2.h>
#include <Ppi/IpmiTransport.h>
#include <Ppi/BmcCommands.h>
#include <Guid/IpmiTransportConfig.h>
#include <OskelCompiler.h>

#include <stddef.h>

#define ASSERT_OFFSET(Type, Member, Offset) \
  _Static_assert (offsetof (Type, Member) == (Offset), #Type "." #Member " offset")

//
// Every status is exactly one kind, whatever the width of UINTN: done,
// a completion code (which one), or not through.
//
#define ONE_KIND(Status) \
  (BMC_STATUS_DONE (Status) + BMC_STATUS_IS_COMPLETION_CODE (Status) + BMC_STATUS_NOT_THROUGH (Status) == 1)
_Static_assert (ONE_KIND (EFI_SUCCESS) && BMC_STATUS_DONE (EFI_SUCCESS), "done");
_Static_assert (ONE_KIND ((EFI_STATUS)0x01) && (BMC_STATUS_COMPLETION_CODE ((EFI_STATUS)0x01) == 0x01), "lowest completion code");
_Static_assert (ONE_KIND ((EFI_STATUS)0xC1) && (BMC_STATUS_COMPLETION_CODE ((EFI_STATUS)0xC1) == 0xC1), "invalid command");
_Static_assert (ONE_KIND ((EFI_STATUS)0xFF) && (BMC_STATUS_COMPLETION_CODE ((EFI_STATUS)0xFF) == 0xFF), "highest completion code");
_Static_assert (!EFI_ERROR ((EFI_STATUS)0xC1), "a completion code is no EFI error: the trap the macros close");
_Static_assert (ONE_KIND (EFI_DEVICE_ERROR) && BMC_STATUS_NOT_THROUGH (EFI_DEVICE_ERROR), "transport failure");
_Static_assert (ONE_KIND (EFI_BMC_RETRY) && (BMC_STATUS_COMPLETION_CODE (EFI_BMC_RETRY) == 0), "the module's own error");
_Static_assert (ONE_KIND (EFI_INVALID_PARAMETER) && BMC_STATUS_NOT_THROUGH (EFI_INVALID_PARAMETER), "refused arguments");
_Static_assert (ONE_KIND (MAX_BIT - 1) && ONE_KIND (MAX_BIT) && ONE_KIND (~(EFI_STATUS)0), "the extremes of UINTN");

#if defined (OSKEL_ARCH_IA32)
_Static_assert (sizeof (UINTN) == 4, "UINTN");
_Static_assert (sizeof (BOOLEAN) == 1, "BOOLEAN");
_Static_assert (sizeof (CHAR16) == 2, "CHAR16");
_Static_assert (EFI_INVALID_PARAMETER == 0x80000002u, "status");
_Static_assert (EFI_BMC_RETRY == 0x800000C1u, "status");
_Static_assert (EFI_BMC_UNEXPECTED_CODE == 0x800000C6u, "status");
_Static_assert (EFI_BMC_MODE_UNSUPPORTED == 0x800000C7u, "status");

_Static_assert (sizeof (BMC_COMMANDS_PRIVATE) == 8 + 264 + 4 * BMC_OPERATION_COUNT, "record: its head, then BMC_OPERATION_COUNT slots");
_Static_assert (sizeof (BMC_COMMANDS_PPI) == 264 + 4 * BMC_OPERATION_COUNT, "interface");
ASSERT_OFFSET (BMC_COMMANDS_PRIVATE, Interface, 8);
ASSERT_OFFSET (BMC_COMMANDS_PPI, ScratchBuffer, 4);
ASSERT_OFFSET (BMC_COMMANDS_PPI, Self, 252);
ASSERT_OFFSET (BMC_COMMANDS_PPI, Transport, 256);
ASSERT_OFFSET (BMC_COMMANDS_PPI, PeiServices, 260);
ASSERT_OFFSET (BMC_COMMANDS_PPI, OemC1Query, 264);
ASSERT_OFFSET (BMC_COMMANDS_PPI, ReportBootStage, 264 + 4 * 8);
ASSERT_OFFSET (BMC_COMMANDS_PPI, FileOpen, 264 + 4 * 12);
ASSERT_OFFSET (BMC_COMMANDS_PPI, StartPostWatchdog, 264 + 4 * 22);
ASSERT_OFFSET (BMC_COMMANDS_PPI, ReportBootStageSecondary, 392);

_Static_assert (sizeof (EFI_PEI_PPI_DESCRIPTOR) == 12, "descriptor");
_Static_assert (sizeof (EFI_HOB_GENERIC_HEADER) == 8, "HOB header");
_Static_assert (sizeof (EFI_HOB_GUID_TYPE) == 24, "GUID HOB");
_Static_assert (sizeof (SERIAL_CONSOLE_CONFIG) == 7, "console config");
ASSERT_OFFSET (BMC_SETTING_DESCRIPTOR, ValueLength, 129);
ASSERT_OFFSET (BMC_SETTING_DESCRIPTOR, Type, 132);

ASSERT_OFFSET (IPMI_TRANSPORT_PPI, SendCommand, 8);
ASSERT_OFFSET (IPMI_TRANSPORT_PPI, PrepareSecondaryBmc, 24);

ASSERT_OFFSET (EFI_PEI_SERVICES, InstallPpi, 24);
ASSERT_OFFSET (EFI_PEI_SERVICES, LocatePpi, 32);
ASSERT_OFFSET (EFI_PEI_SERVICES, GetHobList, 48);
ASSERT_OFFSET (EFI_PEI_SERVICES, AllocatePool, 76);
ASSERT_OFFSET (EFI_PEI_SERVICES, CpuIo, 96);
ASSERT_OFFSET (EFI_PEI_SERVICES, RegisterForShadow, 116);
ASSERT_OFFSET (EFI_PEI_SERVICES, FreePages, 132);
ASSERT_OFFSET (EFI_PEI_CPU_IO_PPI, Io, 8);
ASSERT_OFFSET (EFI_PEI_CPU_IO_PPI, IoRead8, 16);
ASSERT_OFFSET (EFI_PEI_CPU_IO_PPI, MemWrite64, 76);
#endif

#if defined (OSKEL_ARCH_X64)
_Static_assert (EFI_INVALID_PARAMETER == 0x8000000000000002ull, "status");
_Static_assert (EFI_BMC_RETRY == 0x80000000000000C1ull, "status");

//
// X64 (PEI in 64-bit mode): the natural layout, pointers and UINTN of 8.
//
_Static_assert (sizeof (BMC_COMMANDS_PRIVATE) == 8 + 280 + 8 * BMC_OPERATION_COUNT, "record: its head, then BMC_OPERATION_COUNT slots");
_Static_assert (sizeof (BMC_COMMANDS_PPI) == 280 + 8 * BMC_OPERATION_COUNT, "interface");
ASSERT_OFFSET (BMC_COMMANDS_PRIVATE, Interface, 8);
ASSERT_OFFSET (BMC_COMMANDS_PPI, ScratchBuffer, 4);
ASSERT_OFFSET (BMC_COMMANDS_PPI, Self, 256);
ASSERT_OFFSET (BMC_COMMANDS_PPI, Transport, 264);
ASSERT_OFFSET (BMC_COMMANDS_PPI, PeiServices, 272);
ASSERT_OFFSET (BMC_COMMANDS_PPI, OemC1Query, 280);
ASSERT_OFFSET (BMC_COMMANDS_PPI, ReportBootStage, 280 + 8 * 8);
ASSERT_OFFSET (BMC_COMMANDS_PPI, FileOpen, 280 + 8 * 12);
ASSERT_OFFSET (BMC_COMMANDS_PPI, StartPostWatchdog, 280 + 8 * 22);
ASSERT_OFFSET (BMC_COMMANDS_PPI, ReportBootStageSecondary, 536);
_Static_assert (sizeof (IPMI_TRANSPORT_PPI) == 48, "transport");
ASSERT_OFFSET (IPMI_TRANSPORT_PPI, SendCommand, 8);
_Static_assert (sizeof (BMC_SETTING_DESCRIPTOR) == 136, "setting descriptor");
_Static_assert (sizeof (SERIAL_CONSOLE_CONFIG) == 7, "console config");
ASSERT_OFFSET (EFI_PEI_SERVICES, InstallPpi, 24);
ASSERT_OFFSET (EFI_PEI_SERVICES, FreePages, 24 + 8 * 27);
#endif

//
// The IPMI transport's HOBs, as a board written in C builds them.
//
_Static_assert (IPMI_CONFIG_DATA_SIZE == IPMI_CONFIG_PM_TIMER_OFFSET + 2, "settings: the PM timer port ends the data");
_Static_assert (IPMI_CONFIG_READY_WAIT_OFFSET == IPMI_CONFIG_FLAG_WAIT_OFFSET + 4, "settings: the waits are 32-bit");
_Static_assert (IPMI_INTERFACES_FIRST_OFFSET == 4 && IPMI_INTERFACE_ENTRY_SIZE == 4, "interfaces: a 4-byte head, 4-byte entries");
_Static_assert (IPMI_INTERFACE_ADDRESS_OFFSET + 2 == IPMI_INTERFACE_ENTRY_SIZE, "interfaces: the address ends an entry");
_Static_assert (IPMI_INTERFACES_FIRST_OFFSET + IPMI_INTERFACE_ENTRY_SIZE * IPMI_INTERFACES_MAX == 36, "interfaces: eight entries in 36 bytes");
_Static_assert (IPMI_INTERFACE_KCS == 0, "an entry of zeros is KCS, as no entry is");
_Static_assert (IPMI_INTERFACE_BT == 1 && IPMI_INTERFACE_SSIF == 2, "interface values");

//
// The SMBus2 PPI as PI lays it out, on either architecture: four function
// pointers, then the controller's GUID; an address is one UINTN.
//
_Static_assert (sizeof (EFI_SMBUS_DEVICE_ADDRESS) == sizeof (UINTN), "SMBus address: one UINTN");
_Static_assert (sizeof (EFI_SMBUS_DEVICE_COMMAND) == sizeof (UINTN), "SMBus command: one UINTN");
_Static_assert (sizeof (EFI_SMBUS_OPERATION) == 4, "SMBus operation: an enum");
_Static_assert (EfiSmbusReadBlock == 8 && EfiSmbusWriteBlock == 9 && EfiSmbusBWBRProcessCall == 11, "SMBus operations in PI's order");
_Static_assert (sizeof (EFI_SMBUS_UDID) == 16, "UDID");
_Static_assert (sizeof (EFI_SMBUS_DEVICE_MAP) == sizeof (UINTN) + 16, "device map");
ASSERT_OFFSET (EFI_SMBUS_UDID, VendorRevision, 14);
ASSERT_OFFSET (EFI_SMBUS_DEVICE_MAP, SmbusDeviceUdid, sizeof (UINTN));
ASSERT_OFFSET (EFI_PEI_SMBUS2_PPI, Execute, 0);
ASSERT_OFFSET (EFI_PEI_SMBUS2_PPI, ArpDevice, sizeof (void *));
ASSERT_OFFSET (EFI_PEI_SMBUS2_PPI, GetArpMap, 2 * sizeof (void *));
ASSERT_OFFSET (EFI_PEI_SMBUS2_PPI, Notify, 3 * sizeof (void *));
ASSERT_OFFSET (EFI_PEI_SMBUS2_PPI, Identifier, 4 * sizeof (void *));
_Static_assert (sizeof (EFI_PEI_SMBUS2_PPI) == 4 * sizeof (void *) + 16, "SMBus2 PPI");

int OskelHeadersC11Anchor;
