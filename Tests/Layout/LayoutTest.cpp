// The record as consumers see it: layout under -m32, slots reached by offset.
#include <cstddef>
#include <cstring>

#include "BoardFixture.h"

#include <Guid/IpmiTransportConfig.h>
#include <Ppi/Smbus2.h>

namespace OskelTest {
namespace {

#if defined (__i386__)
static_assert (sizeof (BMC_COMMANDS_PRIVATE) == 8 + 264 + 4 * BMC_OPERATION_COUNT);
static_assert (offsetof (BMC_COMMANDS_PPI, ScratchBuffer) == 4);
static_assert (offsetof (BMC_COMMANDS_PPI, Self) == 252);
static_assert (offsetof (BMC_COMMANDS_PPI, Transport) == 256);
static_assert (offsetof (BMC_COMMANDS_PPI, PeiServices) == 260);
static_assert (offsetof (BMC_COMMANDS_PPI, OemC1Query) == 264);
static_assert (offsetof (BMC_COMMANDS_PPI, ReportBootStageSecondary) == 392);
static_assert (sizeof (EFI_PEI_PPI_DESCRIPTOR) == 12);
#endif

// The IPMI transport's HOBs as C++ sees them: the C11 check's asserts,
// repeated.
static_assert (IPMI_CONFIG_DATA_SIZE == IPMI_CONFIG_PM_TIMER_OFFSET + 2);
static_assert (IPMI_CONFIG_READY_WAIT_OFFSET == IPMI_CONFIG_FLAG_WAIT_OFFSET + 4);
static_assert (IPMI_INTERFACES_FIRST_OFFSET == 4 && IPMI_INTERFACE_ENTRY_SIZE == 4);
static_assert (IPMI_INTERFACE_ADDRESS_OFFSET + 2 == IPMI_INTERFACE_ENTRY_SIZE);
static_assert (IPMI_INTERFACES_FIRST_OFFSET + IPMI_INTERFACE_ENTRY_SIZE * IPMI_INTERFACES_MAX == 36);
static_assert (IPMI_INTERFACE_KCS == 0);
static_assert (IPMI_INTERFACE_BT == 1 && IPMI_INTERFACE_SSIF == 2);

// The SMBus2 PPI, as the C11 check asserts it.
static_assert (sizeof (EFI_SMBUS_DEVICE_ADDRESS) == sizeof (UINTN));
static_assert (sizeof (EFI_SMBUS_DEVICE_COMMAND) == sizeof (UINTN));
static_assert (sizeof (EFI_SMBUS_OPERATION) == 4);
static_assert (EfiSmbusReadBlock == 8 && EfiSmbusWriteBlock == 9 && EfiSmbusBWBRProcessCall == 11);
static_assert (sizeof (EFI_SMBUS_UDID) == 16 && offsetof (EFI_SMBUS_UDID, VendorRevision) == 14);
static_assert (sizeof (EFI_SMBUS_DEVICE_MAP) == sizeof (UINTN) + 16);
static_assert (offsetof (EFI_PEI_SMBUS2_PPI, Notify) == 3 * sizeof (void *));
static_assert (offsetof (EFI_PEI_SMBUS2_PPI, Identifier) == 4 * sizeof (void *));
static_assert (sizeof (EFI_PEI_SMBUS2_PPI) == 4 * sizeof (void *) + 16);

class LayoutTest : public BoardTest {};

TEST_F (LayoutTest, SlotsAreReachedByPosition) {
  const size_t  First = offsetof (BMC_COMMANDS_PPI, OemC1Query);
  const size_t  Last  = offsetof (BMC_COMMANDS_PPI, ReportBootStageSecondary);

  EXPECT_EQ (Last - First, 32 * sizeof (void *));
  EXPECT_EQ (sizeof (BMC_COMMANDS_PPI) - First, BMC_OPERATION_COUNT * sizeof (void *));

  // The seventh slot by offset is GetDeviceId: call it the way a consumer that
  // indexes the table would.
  BMC_COMMANDS_GET_DEVICE_ID  Slot6;
  std::memcpy (&Slot6, reinterpret_cast<uint8_t *>(Service) + First + 6 * sizeof (void *), sizeof (Slot6));
  Bmc (0).Default = Ok ({ 0x20, 0x81 });
  UINT8  Response[4];
  UINT8  Length = sizeof (Response);
  EXPECT_EQ (Slot6 (nullptr, Service, Response, &Length, &Bmc0, FALSE), EFI_SUCCESS);
  ASSERT_EQ (Sends ().size (), 1u);
  EXPECT_EQ (Sends ()[0].NetFn, 0x06);
  EXPECT_EQ (Sends ()[0].Command, 0x01);
  EXPECT_EQ (Length, 2);
}

}  // namespace
}  // namespace OskelTest
