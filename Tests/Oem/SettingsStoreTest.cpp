// BMC settings store: the request bytes, the checks made after phase 0 and
// their order, the store's status byte, short answers and the broadcast.
#include <cstring>

#include "BoardFixture.h"

namespace OskelTest {
namespace {

Bytes
Concat (std::initializer_list<Bytes> Parts)
{
  Bytes  Out;
  for (const Bytes &Part : Parts) {
    Out.insert (Out.end (), Part.begin (), Part.end ());
  }

  return Out;
}

Bytes
Ascii (const char *Text)
{
  return Bytes (Text, Text + std::strlen (Text));
}

class SettingsStoreTest : public BoardTest {
protected:
  SettingsStoreTest ()
  {
    for (size_t Index = 0; Index < sizeof (Descriptor.Name); Index++) {
      Descriptor.Name[Index] = uint8_t ('a' + Index % 26);
    }

    for (size_t Index = 0; Index < sizeof (Value); Index++) {
      Value[Index] = uint8_t (0xA0 + Index);
    }
  }

  void SetUp () override
  {
    BoardTest::SetUp ();
    // Status 0 and a zero value of any length the request asks for.
    Bmc (0).Default = Ok (Bytes (132, 0x00));
    Bmc (1).Default = Bmc (0).Default;
  }

  BMC_SETTING_DESCRIPTOR *Describe (uint8_t NameLength, uint8_t ValueLength, uint32_t Type)
  {
    Descriptor.NameLength  = NameLength;
    Descriptor.ValueLength = ValueLength;
    Descriptor.Type        = Type;
    return &Descriptor;
  }

  EFI_STATUS Read (uint8_t Selector, const BMC_SETTING_DESCRIPTOR *Setting, UINT8 *Instance = nullptr)
  {
    return Service->ReadBmcSetting (nullptr, Service, Selector, Out, Setting, (Instance != nullptr) ? Instance : &Bmc0, 0);
  }

  EFI_STATUS Write (uint8_t Selector, const BMC_SETTING_DESCRIPTOR *Setting, UINT8 *Instance = nullptr, BOOLEAN WriteFlag = 1)
  {
    return Service->WriteBmcSetting (nullptr, Service, Selector, WriteFlag, Value, Setting, (Instance != nullptr) ? Instance : &Bmc0, 0);
  }

  Bytes Name (size_t Length) const { return Bytes (Descriptor.Name, Descriptor.Name + Length); }
  Bytes ValueBytes (size_t Length) const { return Bytes (Value, Value + Length); }

  BMC_SETTING_DESCRIPTOR  Descriptor{};
  UINT8                   Value[128];
  UINT8                   Out[132];
};

TEST_F (SettingsStoreTest, BuiltInRequestsInFull) {
  const UINT8  Crc[] = { 0x44, 0x33, 0x22, 0x11 };
  std::memcpy (Value, Crc, sizeof (Crc));

  ASSERT_EQ (Read (BMC_SETTING_SMBIOS_CRC, nullptr), EFI_SUCCESS);
  ASSERT_EQ (Write (BMC_SETTING_SMBIOS_CRC, nullptr), EFI_SUCCESS);
  ASSERT_EQ (Write (BMC_SETTING_SMBIOS_CRC, nullptr, &Bmc0, 0), EFI_SUCCESS);
  ASSERT_EQ (Write (BMC_SETTING_1BOOT, nullptr, &Bmc0, 0x80), EFI_SUCCESS);

  const auto  Sent = Sends ();
  ASSERT_EQ (Sent.size (), 4u);
  EXPECT_THAT (Sent[0].Request, ElementsAreArray (Concat ({ { 0x00, 0x00, 0x13, 0x92 }, Ascii ("/ac/uefi/smbioscrc") })));
  EXPECT_THAT (Sent[1].Request, ElementsAreArray (Concat ({ { 0x03, 0x00, 0x19, 0x01, 0x92 }, Ascii ("/ac/uefi/smbioscrc"), { 0x44, 0x44, 0x33, 0x22, 0x11 } })));
  EXPECT_THAT (Sent[2].Request, ElementsAreArray (Concat ({ { 0x03, 0x00, 0x19, 0x00, 0x92 }, Ascii ("/ac/uefi/smbioscrc"), { 0x44, 0x44, 0x33, 0x22, 0x11 } })));
  EXPECT_THAT (Sent[3].Request, ElementsAreArray (Concat ({ { 0x03, 0x00, 0x12, 0x01, 0x8E }, Ascii ("/dc/uefi/1boot"), { 0x41, 0x44 } })));
  EXPECT_EQ (Sent[0].Request.size (), 22u);
  EXPECT_EQ (Sent[1].Request.size (), 28u);
  EXPECT_EQ (Sent[3].Request.size (), 21u);
  for (const auto &E : Sent) {
    EXPECT_EQ (E.NetFn, 0x3A);
    EXPECT_EQ (E.Command, 0xC4);
  }

  EXPECT_EQ (Sent[0].Capacity, 8);
  EXPECT_EQ (Sent[1].Capacity, 4);
  EXPECT_EQ (Sent[3].Capacity, 4);
}

TEST_F (SettingsStoreTest, ReadCopiesValueFromResponseByteFour) {
  std::memset (Out, 0xEE, sizeof (Out));
  Bmc (0).Then (Ok ({ 0x00, 0x01, 0x02, 0x03, 0x78, 0x56, 0x34, 0x12 }));

  ASSERT_EQ (Read (BMC_SETTING_SMBIOS_CRC, nullptr), EFI_SUCCESS);
  EXPECT_THAT (Bytes (Out, Out + 6), ElementsAre (0x78, 0x56, 0x34, 0x12, 0xEE, 0xEE));
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0", "send 3A/C4", "phase1 flag=0"));
}

struct StatusRow {
  const char  *Name;
  uint8_t     StatusByte;
  EFI_STATUS  Expected;
};

class SettingStatusTest : public SettingsStoreTest, public ::testing::WithParamInterface<StatusRow> {};

TEST_P (SettingStatusTest, StatusByteDecidesAndOnlySuccessCopies) {
  const StatusRow  &Row = GetParam ();

  std::memset (Out, 0xEE, sizeof (Out));
  Bmc (0).Default = Ok ({ Row.StatusByte, 0x00, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44 });
  EXPECT_EQ (Read (BMC_SETTING_SMBIOS_CRC, nullptr), Row.Expected);
  EXPECT_EQ (Out[0], (Row.Expected == EFI_SUCCESS) ? 0x11 : 0xEE);
  EXPECT_EQ (Write (BMC_SETTING_1BOOT, nullptr), Row.Expected);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  SettingStatusTest,
  ::testing::Values (
    StatusRow{ "Zero", 0, EFI_SUCCESS },
    StatusRow{ "NotReady", 1, EFI_NOT_READY },
    StatusRow{ "ProtocolError", 2, EFI_PROTOCOL_ERROR },
    StatusRow{ "NotFoundThree", 3, EFI_NOT_FOUND },
    StatusRow{ "InvalidFour", 4, EFI_INVALID_PARAMETER },
    StatusRow{ "InvalidFive", 5, EFI_INVALID_PARAMETER },
    StatusRow{ "AccessDenied", 6, EFI_ACCESS_DENIED },
    StatusRow{ "OutOfResources", 7, EFI_OUT_OF_RESOURCES },
    StatusRow{ "NotFoundEight", 8, EFI_NOT_FOUND },
    StatusRow{ "NineIsSuccess", 9, EFI_SUCCESS },
    StatusRow{ "TenIsFirstUnknown", 10, EFI_BMC_UNEXPECTED_CODE },
    StatusRow{ "LastUnknown", 255, EFI_BMC_UNEXPECTED_CODE }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

struct LateRefusalRow {
  const char  *Name;
  bool        IsWrite;
  uint8_t     Selector;
  bool        NullDescriptor;
  uint8_t     NameLength;
  uint8_t     ValueLength;
  uint32_t    Type;
  EFI_STATUS  Expected;
};

class LateRefusalTest : public SettingsStoreTest, public ::testing::WithParamInterface<LateRefusalRow> {};

TEST_P (LateRefusalTest, RefusedAfterPhaseZeroWithNothingSentAndNoPhaseOne) {
  const LateRefusalRow          &Row = GetParam ();
  const BMC_SETTING_DESCRIPTOR  *Setting = Row.NullDescriptor ? nullptr : Describe (Row.NameLength, Row.ValueLength, Row.Type);

  std::memset (Out, 0xEE, sizeof (Out));
  EXPECT_EQ (Row.IsWrite ? Write (Row.Selector, Setting) : Read (Row.Selector, Setting), Row.Expected);
  EXPECT_TRUE (Sends ().empty ());
  EXPECT_EQ (Calls ().back (), "phase0");
  EXPECT_EQ (Log ().Of (EventKind::TrackBmcStatus).size (), 1u);
  EXPECT_EQ (Out[0], 0xEE);

  // The same call on an unusable BMC is refused by the guard first.
  Log ().Clear ();
  Board.Transport.MarkUnusable (0);
  EXPECT_EQ (Row.IsWrite ? Write (Row.Selector, Setting) : Read (Row.Selector, Setting), EFI_DEVICE_ERROR);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  LateRefusalTest,
  ::testing::Values (
    LateRefusalRow{ "ReadOf1Boot", false, BMC_SETTING_1BOOT, true, 0, 0, 0, EFI_INVALID_PARAMETER },
    LateRefusalRow{ "ReadOfUnknownSelector", false, 0x02, true, 0, 0, 0, EFI_INVALID_PARAMETER },
    LateRefusalRow{ "WriteOfUnknownSelector", true, 0xFE, true, 0, 0, 0, EFI_INVALID_PARAMETER },
    LateRefusalRow{ "ReadWithoutDescriptor", false, BMC_SETTING_DESCRIBED, true, 0, 0, 0, EFI_INVALID_PARAMETER },
    LateRefusalRow{ "WriteWithoutDescriptor", true, BMC_SETTING_DESCRIBED, true, 0, 0, 0, EFI_INVALID_PARAMETER },
    LateRefusalRow{ "NameOneTooLong", true, BMC_SETTING_DESCRIBED, false, 129, 0, 0, EFI_INVALID_PARAMETER },
    LateRefusalRow{ "ValueOneTooLong", false, BMC_SETTING_DESCRIBED, false, 0, 129, 0, EFI_INVALID_PARAMETER },
    LateRefusalRow{ "ReadTypeFour", false, BMC_SETTING_DESCRIBED, false, 1, 1, 4, EFI_INVALID_PARAMETER },
    LateRefusalRow{ "TypeCheckedBeforeLength", true, BMC_SETTING_DESCRIBED, false, 128, 128, 4, EFI_INVALID_PARAMETER },
    LateRefusalRow{ "WriteOneBeyondLimit", true, BMC_SETTING_DESCRIBED, false, 128, 113, 0, EFI_BAD_BUFFER_SIZE }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (SettingsStoreTest, DescribedWriteAtTheLimitSends246Bytes) {
  ASSERT_EQ (Write (BMC_SETTING_DESCRIBED, Describe (128, 112, 0)), EFI_SUCCESS);
  ASSERT_EQ (Sends ().size (), 1u);
  EXPECT_THAT (Sends ()[0].Request, ElementsAreArray (Concat ({ { 0x03, 0x00, 0xF3, 0x01, 0x80 }, Name (128), { 0xF0 }, ValueBytes (112) })));
  EXPECT_EQ (Sends ()[0].Request.size (), 246u);
}

struct WireByteRow {
  const char  *Name;
  uint8_t     NameLength;
  uint8_t     ValueLength;
  uint32_t    Type;
  uint8_t     NameByte;
  uint8_t     ValueByte;
};

class WireByteTest : public SettingsStoreTest, public ::testing::WithParamInterface<WireByteRow> {};

TEST_P (WireByteTest, NameAndValueBytesArePlainOr) {
  const WireByteRow  &Row = GetParam ();

  ASSERT_EQ (Write (BMC_SETTING_DESCRIBED, Describe (Row.NameLength, Row.ValueLength, Row.Type)), EFI_SUCCESS);
  ASSERT_EQ (Read (BMC_SETTING_DESCRIBED, &Descriptor), EFI_SUCCESS);
  const auto  Sent = Sends ();
  ASSERT_EQ (Sent.size (), 2u);
  EXPECT_THAT (
    Sent[0].Request,
    ElementsAreArray (Concat ({ { 0x03, 0x00, uint8_t (Row.NameLength + Row.ValueLength + 3), 0x01, Row.NameByte }, Name (Row.NameLength), { Row.ValueByte }, ValueBytes (Row.ValueLength) }))
    );
  EXPECT_THAT (Sent[1].Request, ElementsAreArray (Concat ({ { 0x00, 0x00, uint8_t (Row.NameLength + 1), Row.NameByte }, Name (Row.NameLength) })));
  EXPECT_EQ (Sent[1].Capacity, 4 + Row.ValueLength);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  WireByteTest,
  ::testing::Values (
    WireByteRow{ "EmptyPathFlagAlone", 0, 0, 1, 0x80, 0x10 },
    WireByteRow{ "TypeZeroFourBytes", 5, 4, 0, 0x85, 0x84 },
    WireByteRow{ "TypeThreeAsBuiltIn", 5, 4, 3, 0x85, 0x44 },
    WireByteRow{ "LongValueRunsIntoFlags", 7, 16, 2, 0x87, 0x30 },
    WireByteRow{ "FullPathNameByte80", 128, 1, 0, 0x80, 0x81 }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (SettingsStoreTest, ShortAnswersNeverPassForTheSetting) {
  std::memset (Out, 0xEE, sizeof (Out));
  Bmc (0)
    .Then (Ok ())                                          // no status byte
    .Then (Ok ({ 0x00, 0x00, 0x00, 0x00, 0x11, 0x22 }))    // value cut short
    .Then (Ok ());                                         // write without status byte
  EXPECT_EQ (Read (BMC_SETTING_SMBIOS_CRC, nullptr), EFI_PROTOCOL_ERROR);
  EXPECT_EQ (Read (BMC_SETTING_SMBIOS_CRC, nullptr), EFI_PROTOCOL_ERROR);
  EXPECT_EQ (Write (BMC_SETTING_SMBIOS_CRC, nullptr), EFI_PROTOCOL_ERROR);
  EXPECT_EQ (Out[0], 0xEE);

  // A described setting with no value needs the status byte alone.
  Bmc (0).Then (Ok ({ 0x09 }));
  EXPECT_EQ (Read (BMC_SETTING_DESCRIBED, Describe (3, 0, 0)), EFI_SUCCESS);
  EXPECT_EQ (Sends ().back ().Capacity, 4);
  EXPECT_EQ (Out[0], 0xEE);
}

TEST_F (SettingsStoreTest, TransportResultsPassUnchanged) {
  std::memset (Out, 0xEE, sizeof (Out));
  Bmc (0).Then (Fail (0xC1)).Then (Fail (EFI_DEVICE_ERROR));
  EXPECT_EQ (Read (BMC_SETTING_SMBIOS_CRC, nullptr), 0xC1u);
  EXPECT_EQ (Write (BMC_SETTING_SMBIOS_CRC, nullptr), EFI_DEVICE_ERROR);
  EXPECT_EQ (Out[0], 0xEE);
  EXPECT_THAT (
    Calls (),
    ElementsAre (
      "count", "select 0", "phase0", "send 3A/C4", "phase1 flag=0",
      "count", "select 0", "phase0", "send 3A/C4", "phase1 flag=1"
      )
    );
}

TEST_F (SettingsStoreTest, BroadcastWriteStopsAtFirstBmcThatRefuses) {
  Bmc (1).Then (Ok ({ 0x06 }));
  EXPECT_EQ (Write (BMC_SETTING_1BOOT, nullptr, &AllBmcs), EFI_ACCESS_DENIED);
  ASSERT_EQ (Sends ().size (), 2u);
  EXPECT_EQ (Sends ()[0].Bmc, 0);
  EXPECT_EQ (Sends ()[1].Bmc, 1);
  EXPECT_EQ (Sends ()[0].Request, Sends ()[1].Request);

  Log ().Clear ();
  Bmc (0).Then (Ok ({ 0x06 }));
  EXPECT_EQ (Write (BMC_SETTING_1BOOT, nullptr, &AllBmcs), EFI_ACCESS_DENIED);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0", "send 3A/C4", "phase1 flag=0"));

  Log ().Clear ();
  EXPECT_EQ (Write (0x02, nullptr, &AllBmcs), EFI_INVALID_PARAMETER);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0"));
}

TEST_F (SettingsStoreTest, ArgumentsRefusedBeforePhaseZero) {
  EXPECT_EQ (Service->ReadBmcSetting (nullptr, Service, BMC_SETTING_SMBIOS_CRC, nullptr, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->WriteBmcSetting (nullptr, Service, BMC_SETTING_SMBIOS_CRC, 1, nullptr, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->WriteBmcSetting (nullptr, Service, BMC_SETTING_SMBIOS_CRC, 1, Value, nullptr, &Bmc0, 2), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Log ().Of (EventKind::TrackBmcStatus).size (), 0u);
  EXPECT_EQ (Read (BMC_SETTING_SMBIOS_CRC, nullptr, &AllBmcs), EFI_UNSUPPORTED);
  EXPECT_TRUE (Sends ().empty ());
}

}  // namespace
}  // namespace OskelTest
