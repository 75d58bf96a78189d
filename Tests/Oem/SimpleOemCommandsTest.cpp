// Single-exchange OEM commands C1h, C2h, 20h, 10h and 62h.
#include "BoardFixture.h"

namespace OskelTest {
namespace {

class SimpleOemTest : public BoardTest {};

TEST_F (SimpleOemTest, C1QueryHandsTheCallersBufferToTheTransport) {
  UINT8  Response[8] = {};
  UINT8  Length      = sizeof (Response);

  Bmc (1).Then (Ok ({ 0x11, 0x22, 0x33 }));
  EXPECT_EQ (Service->OemC1Query (nullptr, Service, Response, &Length, &Bmc1, 0), EFI_SUCCESS);
  EXPECT_THAT (Bytes (Response, Response + Length), ElementsAre (0x11, 0x22, 0x33));
  EXPECT_EQ (Describe (Sends ().at (0)), "ipmi  SendCommand bmc 1 netfn 3Ah cmd C1h req [] cap 8 -> EFI_SUCCESS resp [11 22 33]");

  // No room is still a command.
  Length = 0;
  EXPECT_EQ (Service->OemC1Query (nullptr, Service, Response, &Length, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Sends ().at (1).Capacity, 0);
}

TEST_F (SimpleOemTest, C2BroadcastChainsTheBufferFromBmcToBmc) {
  UINT8  Buffer[2] = { 0x01, 0x02 };

  Bmc (0).Then (Ok ({ 0xA1 })).Then (Fail (0xC0));
  Bmc (1).Then (Ok ({ 0xB1, 0xB2 }));
  EXPECT_EQ (Service->OemC2Exchange (nullptr, Service, Buffer, &AllBmcs, 0), EFI_SUCCESS);
  // BMC 0 answered one byte: the second request byte is still the caller's.
  EXPECT_THAT (Sends ().at (0).Request, ElementsAre (0x01, 0x02));
  EXPECT_THAT (Sends ().at (1).Request, ElementsAre (0xA1, 0x02));
  EXPECT_EQ (Sends ().at (1).Capacity, 2);
  EXPECT_THAT (Buffer, ElementsAre (0xB1, 0xB2));

  EXPECT_EQ (Service->OemC2Exchange (nullptr, Service, Buffer, &AllBmcs, 0), 0xC0u);
  EXPECT_EQ (Sends ().size (), 3u);
  EXPECT_EQ (Service->OemC2Exchange (nullptr, Service, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
}

TEST_F (SimpleOemTest, Oem20CountsWhatCameBackWithinTheBuffer) {
  UINT8  Buffer[2] = { 0x05, 0x06 };
  UINT8  Length    = 2;

  Bmc (0).Then (Ok ({ 0x77 })).Then (Reply{ EFI_SUCCESS, { 0x01, 0x02 }, uint8_t (200) });
  EXPECT_EQ (Service->Oem20Exchange (nullptr, Service, Buffer, &Length, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Length, 1);
  EXPECT_EQ (Describe (Sends ().at (0)), "ipmi  SendCommand bmc 0 netfn 3Ah cmd 20h req [05 06] cap 2 -> EFI_SUCCESS resp [77]");

  // A transport that claims more than the two bytes the buffer holds.
  Length = 2;
  EXPECT_EQ (Service->Oem20Exchange (nullptr, Service, Buffer, &Length, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Length, 2);
}

TEST_F (SimpleOemTest, Oem20RefusesAnyLengthButTwo) {
  UINT8  Buffer[3] = {};
  UINT8  Two       = 2;

  for (UINT8 Length : { 0, 1, 3, 255 }) {
    EXPECT_EQ (Service->Oem20Exchange (nullptr, Service, Buffer, &Length, &Bmc0, 0), EFI_INVALID_PARAMETER);
  }

  EXPECT_EQ (Service->Oem20Exchange (nullptr, Service, Buffer, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->Oem20Exchange (nullptr, Service, nullptr, &Two, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Log ().Of (EventKind::TrackBmcStatus).empty ());
}

struct GetValueRow {
  const char  *Name;
  Reply       Answer;
  EFI_STATUS  Expected;
  UINT8       Value;
};

void
PrintTo (const GetValueRow &Row, std::ostream *Out)
{
  *Out << Row.Name;
}

TEST_F (SimpleOemTest, GetOem10ValueWithoutAValueIsRefusedWithoutASend) {
  EXPECT_EQ (Service->GetOem10Value (nullptr, Service, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Sends ().empty ());
}

class GetOem10ValueTest : public BoardTest, public ::testing::WithParamInterface<GetValueRow> {};

TEST_P (GetOem10ValueTest, ValueOnlyFromAReceivedByte) {
  UINT8  Value = 0x5C;

  Bmc (0).Then (GetParam ().Answer);
  EXPECT_EQ (Service->GetOem10Value (nullptr, Service, &Value, &Bmc0, 0), GetParam ().Expected);
  EXPECT_EQ (Value, GetParam ().Value);
  EXPECT_TRUE (Sends ().at (0).Request.empty ());
  EXPECT_EQ (Sends ().at (0).Command, 0x10);
  EXPECT_EQ (Sends ().at (0).Capacity, 1);
}

INSTANTIATE_TEST_SUITE_P (
  Answers,
  GetOem10ValueTest,
  ::testing::Values (
    GetValueRow{ "OneByte", Ok ({ 0x02 }), EFI_SUCCESS, 0x02 },
    GetValueRow{ "CompletionCode", Fail (0xD5), 0xD5, 0x5C },
    GetValueRow{ "SuccessWithoutTheByte", Ok (), EFI_PROTOCOL_ERROR, 0x5C }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

struct SetValueRow {
  const char  *Name;
  UINT8       Value;
  Reply       Answer;
  EFI_STATUS  Expected;
};

void
PrintTo (const SetValueRow &Row, std::ostream *Out)
{
  *Out << Row.Name;
}

class SetOem10ValueTest : public BoardTest, public ::testing::WithParamInterface<SetValueRow> {};

TEST_P (SetOem10ValueTest, OnlyUnsupportedIsTranslated) {
  UINT8  Value = GetParam ().Value;

  Bmc (0).Then (GetParam ().Answer);
  EXPECT_EQ (Service->SetOem10Value (nullptr, Service, &Value, &Bmc0, 0), GetParam ().Expected);
  EXPECT_THAT (Sends ().at (0).Request, ElementsAre (GetParam ().Value));
  EXPECT_EQ (Sends ().at (0).Capacity, 0);
}

INSTANTIATE_TEST_SUITE_P (
  Answers,
  SetOem10ValueTest,
  ::testing::Values (
    SetValueRow{ "HighestValue", 3, Ok (), EFI_SUCCESS },
    SetValueRow{ "Unsupported", 1, Fail (EFI_UNSUPPORTED), EFI_BMC_MODE_UNSUPPORTED },
    SetValueRow{ "CompletionCode", 1, Fail (0xC1), 0xC1 },
    SetValueRow{ "DeviceError", 0, Fail (EFI_DEVICE_ERROR), EFI_DEVICE_ERROR }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (SimpleOemTest, SetOem10ValueRefusals) {
  UINT8  Four = 4;
  UINT8  One  = 1;

  EXPECT_EQ (Service->SetOem10Value (nullptr, Service, &Four, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->SetOem10Value (nullptr, Service, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  // A BMC that the transport rules out is not a mode refusal.
  Board.Transport.MarkUnusable (0);
  EXPECT_EQ (Service->SetOem10Value (nullptr, Service, &One, &Bmc0, 0), EFI_DEVICE_ERROR);
  EXPECT_TRUE (Sends ().empty ());

  // Under broadcast the first refusal ends the loop.
  Board.Transport.At (0).HealthState = 0;
  Bmc (0).Then (Fail (EFI_UNSUPPORTED));
  EXPECT_EQ (Service->SetOem10Value (nullptr, Service, &One, &AllBmcs, 0), EFI_BMC_MODE_UNSUPPORTED);
  EXPECT_EQ (Sends ().size (), 1u);
}

TEST_F (SimpleOemTest, SetOem62FlagNormalisesEnable) {
  EXPECT_EQ (Service->SetOem62Flag (nullptr, Service, 7, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Service->SetOem62Flag (nullptr, Service, 0, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Describe (Sends ().at (0)), "ipmi  SendCommand bmc 0 netfn 3Ah cmd 62h req [01] cap 0 -> EFI_SUCCESS");
  EXPECT_THAT (Sends ().at (1).Request, ElementsAre (0x00));
}

}  // namespace
}  // namespace OskelTest
