// Serial channel and console redirection: the channel scan, the step
// sequence with its retries, gates and status mappings, and the mux slot.
#include <functional>

#include "BoardFixture.h"
#include "Ipmi/SerialConsoleBmc.h"

namespace OskelTest {
namespace {

using OskelSim::Request;
using ::testing::Each;
using ::testing::StartsWith;

constexpr SERIAL_CONSOLE_CONFIG  mShared  = { 1, 1, 3, 4, 0, 0, 1 };  // every step runs
constexpr SERIAL_CONSOLE_CONFIG  mConsoleOff = { 0, 0, 3, 4, 0, 0, 1 };  // ends after the access mode

class SerialConsoleTest : public BoardTest {
protected:
  void
  SetUp () override
  {
    BoardTest::SetUp ();
    Bmc (0).Handler = std::ref (Model[0]);
    Bmc (1).Handler = std::ref (Model[1]);
  }

  EFI_STATUS
  Configure (const SERIAL_CONSOLE_CONFIG &Config, UINT8 *Instance = nullptr, UINT8 Force = 0)
  {
    return Service->ConfigureSerialConsole (nullptr, Service, &Config, Instance != nullptr ? Instance : &Bmc0, Force);
  }

  size_t
  SendsOf (uint8_t NetFn, uint8_t Command)
  {
    size_t  Count = 0;

    for (const auto &E : Sends ()) {
      Count += (E.NetFn == NetFn) && (E.Command == Command);
    }

    return Count;
  }

  // Makes every Get Channel Info from FirstChannel on answer Answer.
  void
  AnswerChannelsFrom (uint8_t FirstChannel, Reply Answer)
  {
    Board.Transport.SendHook = [=](const Request &R, Reply Given) {
      return ((R.Command == 0x42) && (R.Data.at (0) >= FirstChannel)) ? Answer : Given;
    };
  }

  SerialConsoleBmc  Model[2];
};

TEST_F (SerialConsoleTest, SharedConsoleRunsEveryStepOnTheChannelFound) {
  EXPECT_EQ (Configure (mShared), EFI_SUCCESS);
  EXPECT_THAT (
    Wire (Sends ()),
    ElementsAre (
      "06/42 [01] cap 9",             // LAN
      "06/42 [02] cap 9",             // serial
      "0C/11 [02 08 00 00] cap 224",
      "0C/10 [02 08 A5 0B] cap 0",    // bit 3 set, first data byte as read
      "06/41 [02 80] cap 2",
      "06/40 [02 BB 04] cap 0",
      "06/41 [02 40] cap 2",
      "06/40 [02 7B 04] cap 0",
      "0C/12 [02 01] cap 1",
      "0C/10 [02 07 40 0A] cap 0"     // XON/XOFF, 115200 bit/s
      )
    );
  // Each step judges the BMC afresh; the mux request dispatches again.
  EXPECT_THAT (
    Calls (),
    ElementsAre (
      "count", "select 0",
      "phase0", "send 06/42", "send 06/42", "phase1 flag=0",
      "phase0", "send 0C/11", "phase1 flag=0",
      "phase0", "send 0C/10", "phase1 flag=0",
      "phase0", "send 06/41", "send 06/40", "phase1 flag=0",
      "phase0", "send 06/41", "send 06/40", "phase1 flag=0",
      "count", "select 0", "phase0", "send 0C/12", "phase1 flag=0",
      "phase0", "send 0C/10", "phase1 flag=0"
      )
    );
}

TEST_F (SerialConsoleTest, AllZeroConfigClearsSharingAndDisablesAccess) {
  Model[0].MuxControl = { 0x11, 0xA5, 0x0B };
  Model[0].Then (0x06, 0x40, Ok ()).Then (0x06, 0x40, Fail (0xD5));
  EXPECT_EQ (Configure (SERIAL_CONSOLE_CONFIG{}), 0xD5u);
  EXPECT_THAT (
    Wire (Sends ()),
    ElementsAre (
      "06/42 [01] cap 9", "06/42 [02] cap 9", "0C/11 [02 08 00 00] cap 224",
      "0C/10 [02 08 A5 03] cap 0",
      "06/41 [02 80] cap 2", "06/40 [02 B8 04] cap 0",
      "06/41 [02 40] cap 2", "06/40 [02 78 04] cap 0"
      )
    );
}

struct MediumRow {
  const char  *Name;
  uint8_t     Medium;
  bool        Serial;
};

class MediumTypeTest : public SerialConsoleTest, public ::testing::WithParamInterface<MediumRow> {};

TEST_P (MediumTypeTest, OnlyAsyncSerialMatchesIgnoringBitFour) {
  Model[0].SerialChannel = 0;
  Model[0].Then (0x06, 0x42, Ok ({ 0x03, GetParam ().Medium, 1, 0, 0, 0, 0, 0, 0 }));
  EXPECT_EQ (Configure (mConsoleOff), GetParam ().Serial ? EFI_SUCCESS : EFI_NOT_FOUND);
  if (GetParam ().Serial) {
    // The channel number is the answer's, not the one asked for.
    EXPECT_EQ (Wire (Sends ())[1], "0C/11 [03 08 00 00] cap 224");
  } else {
    EXPECT_EQ (Sends ().size (), 7u);
  }
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  MediumTypeTest,
  ::testing::Values (
    MediumRow{ "AsyncSerial", 0x05, true },
    MediumRow{ "AsyncSerialWithBitFour", 0x15, true },
    MediumRow{ "Lan", 0x04, false },
    MediumRow{ "SystemInterface", 0x0C, false },
    MediumRow{ "BitSevenIsCompared", 0x85, false }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

struct ScanRow {
  const char  *Name;
  uint8_t     FirstChannel;  // channels from here on answer Answer; none is serial
  Reply       Answer;
  EFI_STATUS  Expected;
  uint8_t     Flag;
};

class ScanResultTest : public SerialConsoleTest, public ::testing::WithParamInterface<ScanRow> {};

TEST_P (ScanResultTest, WithoutSerialChannelTheLastQueryDecides) {
  Model[0].SerialChannel = 0;
  AnswerChannelsFrom (GetParam ().FirstChannel, GetParam ().Answer);
  EXPECT_EQ (Configure (mShared), GetParam ().Expected);
  EXPECT_THAT (
    Wire (Sends ()),
    ElementsAre (
      "06/42 [01] cap 9", "06/42 [02] cap 9", "06/42 [03] cap 9", "06/42 [04] cap 9",
      "06/42 [05] cap 9", "06/42 [06] cap 9", "06/42 [07] cap 9"
      )
    );
  EXPECT_EQ (Calls ().back (), "phase1 flag=" + std::to_string (GetParam ().Flag));
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  ScanResultTest,
  ::testing::Values (
    ScanRow{ "AllLan", 8, Ok (), EFI_NOT_FOUND, 0 },
    ScanRow{ "EveryChannelCompletionCode", 1, Fail (0xCC), 0xCC, 0 },
    ScanRow{ "LastChannelDeviceError", 7, Fail (EFI_DEVICE_ERROR), EFI_DEVICE_ERROR, 1 },
    ScanRow{ "LastChannelAnswersNoMediumByte", 7, Ok ({ 0x07 }), EFI_PROTOCOL_ERROR, 0 }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (SerialConsoleTest, ScanGoesPastFailingChannels) {
  Model[0].SerialChannel = 4;
  Model[0].Then (0x06, 0x42, Fail (0xC0)).Then (0x06, 0x42, Fail (EFI_DEVICE_ERROR)).Then (0x06, 0x42, Ok ({ 0x05 }));
  EXPECT_EQ (Configure (mConsoleOff), EFI_SUCCESS);
  EXPECT_EQ (SendsOf (0x06, 0x42), 4u);
  EXPECT_EQ (Wire (Sends ())[4], "0C/11 [04 08 00 00] cap 224");
  EXPECT_EQ (Calls ()[7], "phase1 flag=0");
}

TEST_F (SerialConsoleTest, ScanRetriedOutLeavesNoChannelForTheNextStep) {
  Model[0].SerialChannel = 0;
  AnswerChannelsFrom (7, Fail (EFI_BMC_RETRY));
  EXPECT_EQ (Configure (mShared), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Sends ().size (), 21u);
  EXPECT_THAT (Wire (Sends ()), Each (StartsWith ("06/42")));
}

std::vector<Reply>
Retries (size_t Count, std::vector<Reply> Then = {})
{
  std::vector<Reply>  Answers (Count, Fail (EFI_BMC_RETRY));

  Answers.insert (Answers.begin (), Then.begin (), Then.end ());
  return Answers;
}

struct RetryRow {
  const char          *Name;
  uint8_t             NetFn;
  uint8_t             Command;
  std::vector<Reply>  Answers;   // before the BMC's own
  size_t              Sent;      // requests of that command in all
  EFI_STATUS          Expected;
};

class RetryTest : public SerialConsoleTest, public ::testing::WithParamInterface<RetryRow> {};

TEST_P (RetryTest, StepIsCalledAtMostThreeTimes) {
  for (const Reply &Answer : GetParam ().Answers) {
    Model[0].Then (GetParam ().NetFn, GetParam ().Command, Answer);
  }

  EXPECT_EQ (Configure (mShared), GetParam ().Expected);
  EXPECT_EQ (SendsOf (GetParam ().NetFn, GetParam ().Command), GetParam ().Sent);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  RetryTest,
  ::testing::Values (
    RetryRow{ "MuxControlReadSucceedsOnThirdCall", 0x0C, 0x11, Retries (2), 3, EFI_SUCCESS },
    RetryRow{ "MuxControlReadRetriedOutEnds", 0x0C, 0x11, Retries (3), 3, EFI_BMC_RETRY },
    RetryRow{ "MuxControlWriteRetriedOutIsIgnored", 0x0C, 0x10, Retries (3), 4, EFI_SUCCESS },
    RetryRow{ "VolatileAccessRetriedOutIsIgnored", 0x06, 0x41, Retries (3), 4, EFI_SUCCESS },
    RetryRow{ "CommSettingsRetriedOut", 0x0C, 0x10, Retries (3, { Ok () }), 4, EFI_BMC_RETRY }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

struct GateRow {
  const char             *Name;
  SERIAL_CONSOLE_CONFIG  Config;
  size_t                 MuxRequests;
  size_t                 AccessRequests;
  bool                   CommSettings;
};

class GateTest : public SerialConsoleTest, public ::testing::WithParamInterface<GateRow> {};

TEST_P (GateTest, GatesDecideWhatFollowsAndWhichStatusReturns) {
  const GateRow  &Row = GetParam ();

  // The non-volatile access write answers D5h, the comm settings write D6h.
  Model[0].Then (0x06, 0x40, Ok ()).Then (0x06, 0x40, Fail (0xD5));
  Model[0].Then (0x0C, 0x10, Ok ()).Then (0x0C, 0x10, Fail (0xD6));
  EXPECT_EQ (Configure (Row.Config), Row.CommSettings ? 0xD6u : 0xD5u);
  EXPECT_EQ (SendsOf (0x0C, 0x12), Row.MuxRequests);
  EXPECT_EQ (SendsOf (0x06, 0x41) + SendsOf (0x06, 0x40), Row.AccessRequests);
  EXPECT_EQ (SendsOf (0x0C, 0x10), Row.CommSettings ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  GateTest,
  ::testing::Values (
    GateRow{ "AllZero", { 0, 0, 0, 0, 0, 0, 0 }, 0, 4, false },
    GateRow{ "ConsoleDisabled", { 0, 1, 3, 4, 0, 0, 1 }, 0, 4, false },
    GateRow{ "MuxSwitchOptionOff", { 1, 0, 3, 4, 0, 0, 1 }, 0, 4, false },
    GateRow{ "AccessDisabled", { 1, 1, 0, 4, 0, 0, 1 }, 0, 4, false },
    GateRow{ "PreBootOnly", { 1, 1, 1, 4, 0, 0, 1 }, 0, 4, true },
    GateRow{ "AlwaysAvailable", { 1, 1, 2, 4, 0, 0, 1 }, 0, 4, true },
    GateRow{ "Shared", { 1, 1, 3, 4, 0, 0, 1 }, 1, 4, true },
    // Not an access mode: both access writes refuse it unsent, the rest runs.
    GateRow{ "ModeAboveShared", { 1, 1, 4, 4, 0, 0, 1 }, 1, 0, true },
    GateRow{ "ModeSpillingIntoSelector", { 1, 1, 0xC3, 4, 0, 0, 1 }, 1, 0, true }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (SerialConsoleTest, BitRateCodeIsAnEightBitSum) {
  EXPECT_EQ (Configure ({ 1, 1, 2, 0xFB, 0x77, 0x77, 0 }), EFI_SUCCESS);
  EXPECT_EQ (Wire (Sends ()).back (), "0C/10 [02 07 00 01] cap 0");
}

struct MuxRow {
  const char          *Name;
  std::vector<Reply>  Answers;  // then status 00h: mux at the system
  size_t              Sent;
};

class MuxHandOverTest : public SerialConsoleTest, public ::testing::WithParamInterface<MuxRow> {};

TEST_P (MuxHandOverTest, RequestsUntilTheSystemHoldsTheMuxAtMostFiveTimes) {
  for (const Reply &Answer : GetParam ().Answers) {
    Model[0].Then (0x0C, 0x12, Answer);
  }

  EXPECT_EQ (Configure (mShared), EFI_SUCCESS);
  EXPECT_EQ (SendsOf (0x0C, 0x12), GetParam ().Sent);
  EXPECT_EQ (Wire (Sends ()).back (), "0C/10 [02 07 40 0A] cap 0");
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  MuxHandOverTest,
  ::testing::Values (
    MuxRow{ "SecondAnswerReleases", { Ok ({ 0x01 }) }, 2 },
    MuxRow{ "BmcKeepsTheMux", std::vector<Reply>(5, Ok ({ 0x01 })), 5 },
    MuxRow{ "EveryRequestFails", std::vector<Reply>(5, Fail (0xC0)), 5 }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

struct AccessRow {
  const char  *Name;
  Bytes       Answer;
  uint8_t     Mode;
  const char  *Volatile;
  const char  *NonVolatile;
};

class AccessByteTest : public SerialConsoleTest, public ::testing::WithParamInterface<AccessRow> {};

TEST_P (AccessByteTest, KeepsAuthenticationBitsReplacesModeLeavesPrivilegeLimit) {
  Model[0].Access = GetParam ().Answer;
  EXPECT_EQ (Configure ({ 0, 0, GetParam ().Mode, 0, 0, 0, 0 }), EFI_SUCCESS);
  EXPECT_EQ (Wire (Sends ())[5], GetParam ().Volatile);
  EXPECT_EQ (Wire (Sends ())[7], GetParam ().NonVolatile);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  AccessByteTest,
  ::testing::Values (
    AccessRow{ "Shared", { 0x3B, 0xC4 }, 3, "06/40 [02 BB 04] cap 0", "06/40 [02 7B 04] cap 0" },
    AccessRow{ "EveryBitSetRead", { 0xFF, 0xFF }, 0, "06/40 [02 B8 3F] cap 0", "06/40 [02 78 3F] cap 0" }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

struct MappingRow {
  const char              *Name;
  uint8_t                 NetFn;
  uint8_t                 Command;
  std::vector<Reply>      Answers;
  SERIAL_CONSOLE_CONFIG   Config;
  EFI_STATUS              Expected;
};

class StatusMappingTest : public SerialConsoleTest, public ::testing::WithParamInterface<MappingRow> {};

TEST_P (StatusMappingTest, CompletionCodesMapPerExchange) {
  for (const Reply &Answer : GetParam ().Answers) {
    Model[0].Then (GetParam ().NetFn, GetParam ().Command, Answer);
  }

  EXPECT_EQ (Configure (GetParam ().Config), GetParam ().Expected);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  StatusMappingTest,
  ::testing::Values (
    MappingRow{ "MuxControlNotSupported", 0x0C, 0x11, { Fail (0x80) }, mShared, EFI_UNSUPPORTED },
    MappingRow{ "MuxControlOtherCode", 0x0C, 0x11, { Fail (0x81) }, mShared, 0x81 },
    MappingRow{ "CommSettingsNotSupported", 0x0C, 0x10, { Ok (), Fail (0x80) }, mShared, EFI_UNSUPPORTED },
    MappingRow{ "CommSettingsSetInProgress", 0x0C, 0x10, { Ok (), Fail (0x81) }, mShared, EFI_ALREADY_STARTED },
    MappingRow{ "CommSettingsReadOnly", 0x0C, 0x10, { Ok (), Fail (0x82) }, mShared, EFI_ACCESS_DENIED },
    MappingRow{ "CommSettingsOtherCode", 0x0C, 0x10, { Ok (), Fail (0xC0) }, mShared, 0xC0 },
    MappingRow{ "GetAccessModeCode", 0x06, 0x41, { Ok ({ 0, 0 }), Fail (0x83) }, mConsoleOff, EFI_UNSUPPORTED },
    MappingRow{ "GetAccessOtherCode", 0x06, 0x41, { Ok ({ 0, 0 }), Fail (0x80) }, mConsoleOff, 0x80 },
    MappingRow{ "SetAccessRefused", 0x06, 0x40, { Ok (), Fail (0x82) }, mConsoleOff, EFI_UNSUPPORTED }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

struct ShortRow {
  const char  *Name;
  Bytes       Answer;
};

class ShortMuxControlTest : public SerialConsoleTest, public ::testing::WithParamInterface<ShortRow> {};

TEST_P (ShortMuxControlTest, IsNeverWrittenBack) {
  Model[0].MuxControl = GetParam ().Answer;
  EXPECT_EQ (Configure (mShared), EFI_PROTOCOL_ERROR);
  EXPECT_EQ (SendsOf (0x0C, 0x10), 0u);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  ShortMuxControlTest,
  ::testing::Values (ShortRow{ "Empty", {} }, ShortRow{ "RevisionOnly", { 0x11 } }, ShortRow{ "OneDataByte", { 0x11, 0xA5 } }),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (SerialConsoleTest, LongMuxControlAnswerUsesItsFirstTwoDataBytes) {
  Model[0].MuxControl = Bytes (224, 0x77);
  EXPECT_EQ (Configure (mShared), EFI_SUCCESS);
  EXPECT_EQ (Wire (Sends ())[3], "0C/10 [02 08 77 7F] cap 0");
}

TEST_F (SerialConsoleTest, ShortChannelAccessAnswerIsNotWrittenBack) {
  Model[0].Then (0x06, 0x41, Ok ({ 0x3B, 0xC4 })).Then (0x06, 0x41, Ok ({ 0x3B }));
  EXPECT_EQ (Configure (mConsoleOff), EFI_PROTOCOL_ERROR);
  EXPECT_EQ (SendsOf (0x06, 0x40), 1u);
}

TEST_F (SerialConsoleTest, RefusedBeforeTheFirstGuard) {
  EXPECT_EQ (Service->ConfigureSerialConsole (nullptr, Service, nullptr, &Bmc0, FALSE), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Configure (mShared, &Bmc0, 2), EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Log ().Of (EventKind::TrackBmcStatus).empty ());
}

TEST_F (SerialConsoleTest, UnusableBmcIsConfiguredOnlyWhenForced) {
  Board.Transport.MarkUnusable (0);
  EXPECT_EQ (Configure (mShared), EFI_DEVICE_ERROR);
  EXPECT_TRUE (Sends ().empty ());
  EXPECT_EQ (Configure (mShared, &Bmc0, 1), EFI_SUCCESS);
  EXPECT_EQ (Sends ().size (), 10u);
}

TEST_F (SerialConsoleTest, BroadcastConfiguresEachBmcAndStopsAtFirstFailure) {
  EXPECT_EQ (Configure (mShared, &AllBmcs), EFI_SUCCESS);
  auto  Served = Sends ();
  ASSERT_EQ (Served.size (), 20u);
  // Each BMC's mux request reaches that BMC.
  EXPECT_EQ (Served[8].Bmc, 0);
  EXPECT_EQ (Served[18].Bmc, 1);
  EXPECT_EQ (Wire (Served)[18], "0C/12 [02 01] cap 1");

  Log ().Clear ();
  Model[0].SerialChannel = 0;
  EXPECT_EQ (Configure (mShared, &AllBmcs), EFI_NOT_FOUND);
  EXPECT_EQ (Log ().Of (EventKind::SelectBmc).size (), 1u);
}

class SetSerialMuxTest : public SerialConsoleTest {
protected:
  EFI_STATUS
  Mux (UINT8 Channel, UINT8 *Status, UINT8 *Instance)
  {
    return Service->SetSerialMux (nullptr, Service, Channel, 0x03, Status, Instance, FALSE);
  }

  UINT8  MuxStatus = 0xEE;
};

TEST_F (SetSerialMuxTest, SendsChannelAndSettingAndReturnsStatusByte) {
  Model[0].MuxStatus = 0x42;
  EXPECT_EQ (Mux (15, &MuxStatus, &Bmc0), EFI_SUCCESS);
  EXPECT_THAT (Wire (Sends ()), ElementsAre ("0C/12 [0F 03] cap 1"));
  EXPECT_EQ (MuxStatus, 0x42);
}

TEST_F (SetSerialMuxTest, RefusalsAndFailuresLeaveStatusByte) {
  Model[0].Then (0x0C, 0x12, Fail (0xC0)).Then (0x0C, 0x12, Ok ());
  EXPECT_EQ (Mux (16, &MuxStatus, &Bmc0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Mux (1, nullptr, &Bmc0), EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Sends ().empty ());
  EXPECT_EQ (Mux (1, &MuxStatus, &Bmc0), 0xC0u);
  EXPECT_EQ (Mux (1, &MuxStatus, &Bmc0), EFI_PROTOCOL_ERROR);
  EXPECT_EQ (MuxStatus, 0xEE);
}

TEST_F (SetSerialMuxTest, BroadcastLeavesTheLastBmcsStatus) {
  Model[0].MuxStatus = 0x01;
  Model[1].MuxStatus = 0x02;
  EXPECT_EQ (Mux (1, &MuxStatus, &AllBmcs), EFI_SUCCESS);
  EXPECT_EQ (MuxStatus, 0x02);
  EXPECT_EQ (Sends ().size (), 2u);
}

}  // namespace
}  // namespace OskelTest
