// Boot-time configuration: the entry's first run reads the Setup variable and
// applies the watchdog and serial console choices to BMC 0.
#include <functional>
#include <map>

#include "BoardFixture.h"
#include "Ipmi/SerialConsoleBmc.h"
#include "OskelCommands/Pei/BmcCommandsPei.h"

namespace OskelTest {
namespace {

const EFI_GUID  mSetupGuid   = BMC_SETUP_VARIABLE_GUID;
const EFI_GUID  mServiceGuid = BMC_COMMANDS_PPI_GUID;

// A Setup variable of Size bytes, zero but for Values (offset to byte).
Bytes
SetupVariable (std::map<size_t, uint8_t> Values, size_t Size = 2778)
{
  Bytes  Variable (Size, 0);

  for (const auto &[Offset, Value] : Values) {
    Variable.at (Offset) = Value;
  }

  return Variable;
}

const std::map<size_t, uint8_t>  mSharedConsole = { { 2610, 1 }, { 2612, 1 }, { 2613, 3 }, { 2616, 4 }, { 2622, 1 } };

class SetupConfigurationTest : public ::testing::Test {
protected:
  void
  SetUp () override
  {
    Board.Transport.Script (0).Handler = std::ref (Model);
  }

  // The first run with this Setup variable.
  void
  Boot (const Bytes &Variable)
  {
    Board.Pei.SetVariable (u"Setup", mSetupGuid, Variable);
    ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
  }

  // The standard IPMI requests; boot stage reports are another suite's.
  std::vector<Event>
  Requests () const
  {
    std::vector<Event>  Out;

    for (const auto &E : Board.Log.Sends ()) {
      if (E.NetFn != 0x3A) {
        Out.push_back (E);
      }
    }

    return Out;
  }

  OskelSim::SimulatedBoard  Board{ 2 };
  SerialConsoleBmc          Model;
};

TEST_F (SetupConfigurationTest, FirstRunStartsWatchdogThenConfiguresConsoleOfBmcZero) {
  auto  Values = mSharedConsole;

  Values[2323] = 1;
  Values[2325] = 5;
  Boot (SetupVariable (Values));
  // The console sequence itself is the serial console suite's.
  ASSERT_EQ (Requests ().size (), 12u);
  EXPECT_EQ (Wire (Requests ())[0], "06/24 [02 01 00 00 B8 0B] cap 0");
  EXPECT_EQ (Wire (Requests ())[1], "06/22 [] cap 0");
  EXPECT_EQ (Wire (Requests ())[2], "06/42 [01] cap 9");
  EXPECT_EQ (Wire (Requests ())[11], "0C/10 [02 07 40 0A] cap 0");
  for (const auto &E : Requests ()) {
    EXPECT_EQ (E.Bmc, 0);
  }
}

struct CountdownRow {
  const char  *Name;
  uint8_t     Minutes;
  Bytes       Countdown;
};

class CountdownTest : public SetupConfigurationTest, public ::testing::WithParamInterface<CountdownRow> {};

TEST_P (CountdownTest, MinutesBecomeTicksSaturatingAt16Bits) {
  Boot (SetupVariable ({ { 2323, 1 }, { 2325, GetParam ().Minutes } }));
  ASSERT_FALSE (Requests ().empty ());
  const Bytes  Set = Requests ()[0].Request;
  EXPECT_EQ (Bytes (Set.begin () + 4, Set.end ()), GetParam ().Countdown);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  CountdownTest,
  ::testing::Values (
    CountdownRow{ "Zero", 0, { 0x00, 0x00 } },
    CountdownRow{ "LongestThatFits", 109, { 0x78, 0xFF } },
    CountdownRow{ "OneMinuteTooLong", 110, { 0xFF, 0xFF } },
    CountdownRow{ "Largest", 255, { 0xFF, 0xFF } }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

struct EnableRow {
  const char                 *Name;
  std::map<size_t, uint8_t>  Values;
  bool                       Started;
};

class WatchdogEnableTest : public SetupConfigurationTest, public ::testing::WithParamInterface<EnableRow> {};

TEST_P (WatchdogEnableTest, EitherByteOfTheWordEnables) {
  Boot (SetupVariable (GetParam ().Values));
  EXPECT_EQ (Wire (Requests ())[0].substr (0, 5), GetParam ().Started ? "06/24" : "06/42");
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  WatchdogEnableTest,
  ::testing::Values (
    EnableRow{ "LowByte", { { 2323, 1 }, { 2325, 5 } }, true },
    EnableRow{ "HighByteOnly", { { 2324, 1 }, { 2325, 5 } }, true },
    EnableRow{ "NeitherByte", { { 2325, 5 }, { 2326, 1 } }, false }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (SetupConfigurationTest, ShortVariableReadsZeroPastItsEnd) {
  Boot (SetupVariable ({ { 2323, 1 } }, 2324));
  EXPECT_EQ (Wire (Requests ())[0], "06/24 [02 01 00 00 00 00] cap 0");
}

struct AbsentRow {
  const char                                    *Name;
  std::function<void (OskelSim::SimulatedPei &)>  Arrange;
};

class AbsentSetupTest : public SetupConfigurationTest, public ::testing::WithParamInterface<AbsentRow> {};

TEST_P (AbsentSetupTest, EverySettingReadsZero) {
  GetParam ().Arrange (Board.Pei);
  ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
  // No watchdog; sharing cleared and the channel disabled, nothing more.
  ASSERT_EQ (Requests ().size (), 8u);
  EXPECT_EQ (Wire (Requests ())[0], "06/42 [01] cap 9");
  EXPECT_EQ (Wire (Requests ())[3], "0C/10 [02 08 A5 03] cap 0");
  EXPECT_EQ (Wire (Requests ())[7], "06/40 [02 78 04] cap 0");
}

const Bytes  mWatchdogOn = SetupVariable ({ { 2323, 1 }, { 2325, 5 }, { 2610, 1 }, { 2612, 1 }, { 2613, 3 } });

INSTANTIATE_TEST_SUITE_P (
  Rows,
  AbsentSetupTest,
  ::testing::Values (
    AbsentRow{ "Missing", [](OskelSim::SimulatedPei &Pei) { Pei.SetVariable (u"Setup", mServiceGuid, mWatchdogOn); } },
    AbsentRow{ "LargerThanTheBuffer", [](OskelSim::SimulatedPei &Pei) {
      Bytes  Large = mWatchdogOn;
      Large.push_back (0);
      Pei.SetVariable (u"Setup", mSetupGuid, Large);
    } },
    AbsentRow{ "NoVariableService", [](OskelSim::SimulatedPei &Pei) {
      Pei.SetVariable (u"Setup", mSetupGuid, mWatchdogOn);
      Pei.RemoveVariableService ();
    } }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

// What ApplySetupConfiguration hands to the two slots, caught in place of
// the real ones.
struct Handed {
  const EFI_PEI_SERVICES  **PeiServices;
  BMC_COMMANDS_PPI        *This;
  UINT16                  Countdown;
  Bytes                   Config;
  UINT8                   Instance;
  BOOLEAN                 Force;
  int                     Calls;
} mHanded;

EFI_STATUS EFIAPI
CatchWatchdog (CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, UINT16 Countdown, UINT8 *BmcInstance, BOOLEAN Force)
{
  mHanded = { PeiServices, This, Countdown, {}, *BmcInstance, Force, mHanded.Calls + 1 };
  return 0xC0;
}

EFI_STATUS EFIAPI
CatchConsole (CONST EFI_PEI_SERVICES **, BMC_COMMANDS_PPI *, CONST SERIAL_CONSOLE_CONFIG *Config, UINT8 *, BOOLEAN)
{
  const UINT8  *Raw = reinterpret_cast<const UINT8 *>(Config);

  mHanded.Config.assign (Raw, Raw + sizeof (*Config));
  mHanded.Calls++;
  return EFI_DEVICE_ERROR;
}

class ApplySetupTest : public SetupConfigurationTest {
protected:
  void
  SetUp () override
  {
    SetupConfigurationTest::SetUp ();
    ASSERT_EQ (Board.RunEntry (false), EFI_SUCCESS);
    Service = Board.Service ();
    ASSERT_NE (Service, nullptr);
    for (const auto &Call : Board.Log.PeiSequence ()) {
      Locates += Call.rfind ("LocatePpi", 0) == 0;
    }

    Board.Log.Clear ();
  }

  EFI_STATUS
  Apply (std::map<size_t, uint8_t> Values)
  {
    Board.Pei.SetVariable (u"Setup", mSetupGuid, SetupVariable (Values));
    return Oskel::ApplySetupConfiguration (Board.Services ());
  }

  BMC_COMMANDS_PPI  *Service = nullptr;
  size_t            Locates = 0;  // LocatePpi calls of the first run
};

TEST_F (ApplySetupTest, SlotsReceiveTheSetupBytesForBmcZero) {
  Service->StartPostWatchdog      = CatchWatchdog;
  Service->ConfigureSerialConsole = CatchConsole;
  mHanded                         = {};
  EXPECT_EQ (
    Apply ({ { 2610, 0xA1 }, { 2612, 0xA2 }, { 2613, 0xA3 }, { 2616, 0xA4 }, { 2618, 0x11 }, { 2619, 0x22 }, { 2622, 0xA7 },
             { 2611, 0xEE }, { 2614, 0xEE }, { 2615, 0xEE }, { 2617, 0xEE }, { 2620, 0xEE }, { 2621, 0xEE },
             { 2323, 0x01 }, { 2325, 2 } }),
    0xC0u
    );
  EXPECT_EQ (mHanded.Calls, 2);
  EXPECT_EQ (mHanded.PeiServices, nullptr);
  EXPECT_EQ (mHanded.This, Service);
  EXPECT_EQ (mHanded.Countdown, 1200);
  EXPECT_EQ (mHanded.Instance, 0);
  EXPECT_EQ (mHanded.Force, 0);
  // Spare4 comes from 2619 and Spare5 from 2618.
  EXPECT_THAT (mHanded.Config, ElementsAre (0xA1, 0xA2, 0xA3, 0xA4, 0x22, 0x11, 0xA7));
}

TEST_F (ApplySetupTest, ReadsSetupBeforeLookingForTheService) {
  Board.Log.Clear ();
  (void)Apply ({});
  EXPECT_THAT (
    Board.Log.PeiSequence (),
    ElementsAre ("LocatePpi ReadOnlyVariable2Ppi", "GetVariable Setup BmcSetupVariable", "LocatePpi BmcCommandsPpi")
    );
}

struct ResultRow {
  const char                                                     *Name;
  bool                                                           Watchdog;
  std::function<void (OskelSim::SimulatedBoard &, SerialConsoleBmc &, size_t Locates)>  Arrange;
  EFI_STATUS                                                     Expected;
  size_t                                                         Requests;
};

class ApplyResultTest : public ApplySetupTest, public ::testing::WithParamInterface<ResultRow> {};

TEST_P (ApplyResultTest, WatchdogStatusIsTheResult) {
  auto  Values = mSharedConsole;

  if (GetParam ().Watchdog) {
    Values[2323] = 1;
  }

  GetParam ().Arrange (Board, Model, Locates);
  EXPECT_EQ (Apply (Values), GetParam ().Expected);
  EXPECT_EQ (Requests ().size (), GetParam ().Requests);
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  ApplyResultTest,
  ::testing::Values (
    ResultRow{ "WatchdogFailsConsoleStillRuns", true, [](auto &, auto &Bmc, size_t) { Bmc.Then (0x06, 0x24, Fail (0xC0)); }, 0xC0, 11 },
    ResultRow{ "ConsoleFailureIgnored", false, [](auto &, auto &Bmc, size_t) { Bmc.SerialChannel = 0; }, EFI_SUCCESS, 7 },
    ResultRow{ "UnusableWithWatchdog", true, [](auto &B, auto &, size_t) { B.Transport.MarkUnusable (0); }, EFI_DEVICE_ERROR, 0 },
    ResultRow{ "UnusableWithoutWatchdog", false, [](auto &B, auto &, size_t) { B.Transport.MarkUnusable (0); }, EFI_SUCCESS, 0 },
    ResultRow{ "NoBmcWithWatchdog", true, [](auto &B, auto &, size_t) { B.Transport.ReportedCount = 0; }, EFI_INVALID_PARAMETER, 0 },
    ResultRow{ "ServiceMissing", true, [](auto &B, auto &, size_t) { B.Pei.Uninstall (mServiceGuid); }, EFI_NOT_FOUND, 0 },
    // The variable service is located first, then the service, which
    // answers success without an interface.
    ResultRow{ "ServiceFoundWithoutInterface", true, [](auto &B, auto &, size_t Locates) { B.Pei.FailService ("LocatePpi", Locates + 2, EFI_SUCCESS); }, EFI_SUCCESS, 0 }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

}  // namespace
}  // namespace OskelTest
