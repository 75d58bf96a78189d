// Device queries, raw pass-through and the POST watchdog, through the
// published record on the simulated board.
#include <array>

#include "BoardFixture.h"
#include "Ipmi/SerialConsoleBmc.h"

namespace OskelTest {
namespace {

// GetDeviceId and GetSelfTestResults share one exchange; each row is one of them.
struct QueryRow {
  const char                    *Name;
  BMC_COMMANDS_GET_DEVICE_ID    BMC_COMMANDS_PPI::*Slot;
  const char                    *Send;
};

class DeviceQueryTest : public BoardTest, public ::testing::WithParamInterface<QueryRow> {
protected:
  EFI_STATUS
  Query (UINT8 *Response, UINT8 *Length, UINT8 *Instance)
  {
    return (Service->*GetParam ().Slot)(nullptr, Service, Response, Length, Instance, FALSE);
  }
};

TEST_P (DeviceQueryTest, AnswerLandsInCallerBufferWithCallerCapacity) {
  UINT8  Response[20] = {};
  UINT8  Length = 15;

  Bmc (1).Then (Ok ({ 0x20, 0x81, 0x03, 0x02 }));
  EXPECT_EQ (Query (Response, &Length, &Bmc1), EFI_SUCCESS);
  EXPECT_EQ (Length, 4);
  EXPECT_THAT (std::vector<uint8_t>(Response, Response + 5), ElementsAre (0x20, 0x81, 0x03, 0x02, 0x00));
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 1", "phase0", GetParam ().Send, "phase1 flag=0"));
  EXPECT_EQ (Sends ()[0].Capacity, 15);
  EXPECT_TRUE (Sends ()[0].Request.empty ());
}

TEST_P (DeviceQueryTest, RefusalsSendNothing) {
  UINT8  Response[4];
  UINT8  Length = sizeof (Response);

  EXPECT_EQ (Query (Response, &Length, &AllBmcs), EFI_UNSUPPORTED);
  EXPECT_EQ (Query (nullptr, &Length, &Bmc0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Query (Response, nullptr, &Bmc0), EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Log ().Of (EventKind::TrackBmcStatus).empty ());
}

TEST_P (DeviceQueryTest, CompletionCodeReachesCaller) {
  UINT8  Response[4];
  UINT8  Length = sizeof (Response);

  Bmc (0).Then (Fail (0xC1));
  EXPECT_EQ (Query (Response, &Length, &Bmc0), 0xC1u);
}

INSTANTIATE_TEST_SUITE_P (
  Slots,
  DeviceQueryTest,
  ::testing::Values (
    QueryRow{ "GetDeviceId", &BMC_COMMANDS_PPI::GetDeviceId, "send 06/01" },
    QueryRow{ "GetSelfTestResults", &BMC_COMMANDS_PPI::GetSelfTestResults, "send 06/04" }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

class SendRawCommandTest : public BoardTest {
protected:
  EFI_STATUS
  Raw (UINT8 *Data, UINT8 *Length)
  {
    return Service->SendRawCommand (nullptr, Service, 0x0A, 0x10, Data, Length, &Bmc0, FALSE);
  }

  std::array<UINT8, 250>  Data{};
};

TEST_F (SendRawCommandTest, LongestRequestGoesOutAndAnswerComesBack) {
  UINT8  Length = 243;

  for (size_t Index = 0; Index < Data.size (); Index++) {
    Data[Index] = UINT8 (Index);
  }

  const Bytes  Request (Data.begin (), Data.begin () + 243);
  Bmc (0).Then (Ok ({ 0xAA, 0xBB, 0xCC }));
  EXPECT_EQ (Raw (Data.data (), &Length), EFI_SUCCESS);
  ASSERT_EQ (Sends ().size (), 1u);
  EXPECT_EQ (Sends ()[0].NetFn, 0x0A);
  EXPECT_EQ (Sends ()[0].Command, 0x10);
  EXPECT_EQ (Sends ()[0].Request, Request);
  EXPECT_EQ (Sends ()[0].Capacity, 243);
  EXPECT_EQ (Length, 3);
  EXPECT_THAT (std::vector<uint8_t>(Data.begin (), Data.begin () + 4), ElementsAre (0xAA, 0xBB, 0xCC, 0x03));
}

TEST_F (SendRawCommandTest, OneByteTooLongIsRefusedBeforeTheGuard) {
  UINT8  Length = 244;

  EXPECT_EQ (Raw (Data.data (), &Length), EFI_BAD_BUFFER_SIZE);
  EXPECT_EQ (Raw (nullptr, &Length), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Raw (Data.data (), nullptr), EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Log ().Of (EventKind::TrackBmcStatus).empty ());
  EXPECT_EQ (Length, 244);
}

TEST_F (SendRawCommandTest, FailureOrEmptyAnswerLeavesData) {
  UINT8  Length = 2;

  Data[0] = 0x55;
  Bmc (0).Then (Fail (0xC1)).Then (Ok ());
  EXPECT_EQ (Raw (Data.data (), &Length), 0xC1u);
  EXPECT_EQ (Length, 2);
  EXPECT_EQ (Raw (Data.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 0);
  EXPECT_EQ (Data[0], 0x55);
}

TEST_F (SendRawCommandTest, OverreportedCountCopiesNoMoreThanTheLargestAnswer) {
  UINT8  Length = 1;

  Data.fill (0xEE);
  Bmc (0).Then (Reply{ EFI_SUCCESS, Bytes (243, 0x11), uint8_t (250) });
  EXPECT_EQ (Raw (Data.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 243);
  EXPECT_EQ (Data[242], 0x11);
  EXPECT_EQ (Data[243], 0xEE);
}

class StartPostWatchdogTest : public BoardTest {
protected:
  EFI_STATUS
  Start (UINT16 Countdown, UINT8 *Instance)
  {
    return Service->StartPostWatchdog (nullptr, Service, Countdown, Instance, FALSE);
  }
};

TEST_F (StartPostWatchdogTest, SetThenResetUnderOneGuard) {
  EXPECT_EQ (Start (600, &Bmc0), EFI_SUCCESS);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0", "send 06/24", "send 06/22", "phase1 flag=0"));
  EXPECT_THAT (Wire (Sends ()), ElementsAre ("06/24 [02 01 00 00 58 02] cap 0", "06/22 [] cap 0"));
}

TEST_F (StartPostWatchdogTest, CountdownGoesOutUnchecked) {
  EXPECT_EQ (Start (0, &Bmc0), EFI_SUCCESS);
  EXPECT_EQ (Start (0xFFFF, &Bmc0), EFI_SUCCESS);
  EXPECT_THAT (Sends ()[0].Request, ElementsAre (0x02, 0x01, 0x00, 0x00, 0x00, 0x00));
  EXPECT_THAT (Sends ()[2].Request, ElementsAre (0x02, 0x01, 0x00, 0x00, 0xFF, 0xFF));
}

TEST_F (StartPostWatchdogTest, FailedSetSkipsReset) {
  Bmc (0).Then (Fail (EFI_DEVICE_ERROR));
  EXPECT_EQ (Start (600, &Bmc0), EFI_DEVICE_ERROR);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0", "send 06/24", "phase1 flag=1"));
}

TEST_F (StartPostWatchdogTest, ResetStatusIsTheResult) {
  Bmc (0).Then (Ok ()).Then (Fail (0xD5));
  EXPECT_EQ (Start (600, &Bmc0), 0xD5u);
  EXPECT_EQ (Log ().Of (EventKind::TrackBmcStatus).back ().Flag, 0);
}

TEST_F (StartPostWatchdogTest, BroadcastServesEachBmcInTurnAndStopsAtFirstFailure) {
  EXPECT_EQ (Start (600, &AllBmcs), EFI_SUCCESS);
  auto  Served = Sends ();
  ASSERT_EQ (Served.size (), 4u);
  EXPECT_THAT (std::vector<uint8_t>({ Served[0].Bmc, Served[1].Bmc, Served[2].Bmc, Served[3].Bmc }), ElementsAre (0, 0, 1, 1));
  EXPECT_THAT (Wire (Served), ElementsAre ("06/24 [02 01 00 00 58 02] cap 0", "06/22 [] cap 0", "06/24 [02 01 00 00 58 02] cap 0", "06/22 [] cap 0"));

  Log ().Clear ();
  Bmc (0).Then (Fail (0xC0));
  EXPECT_EQ (Start (600, &AllBmcs), 0xC0u);
  EXPECT_EQ (Sends ().size (), 1u);
  EXPECT_EQ (Log ().Of (EventKind::SelectBmc).size (), 1u);
}

TEST_F (StartPostWatchdogTest, UnusableBmcGetsNothing) {
  Board.Transport.MarkUnusable (0);
  EXPECT_EQ (Start (600, &Bmc0), EFI_DEVICE_ERROR);
  EXPECT_TRUE (Sends ().empty ());
}

}  // namespace
}  // namespace OskelTest
