// The script language: every slot by name, arguments checked before
// anything runs, errors naming the line and what was expected.
#include <fstream>

#include "SimulatorFixture.h"

namespace OskelTest {
namespace {

using OskelSim::ParseScript;
using OskelSim::ScriptStep;

TEST (ScriptTest, EverySlotIsAnOperationInSlotOrder) {
  EXPECT_THAT (
    OskelSim::ScriptOperationNames (),
    ElementsAre (
      "OemC1Query", "OemC2Exchange", "Oem20Exchange", "RegionRead", "RegionWrite", "SendRawCommand", "GetDeviceId", "GetSelfTestResults",
      "ReportBootStage", "GetOem10Value", "SetOem10Value", "SetOem62Flag", "FileOpen", "FileRead", "FileWrite", "FileClose", "ReadKnownFile",
      "WriteKnownFile", "FileDelete", "GetFileSize", "UploadBlocks", "UploadBlocksOp1", "StartPostWatchdog", "Oem1CSetWord", "Oem1CClear",
      "ConfigureSerialConsole", "SetSerialMux", "SetOem1CState", "GetOem1CState", "ReadBmcSetting", "WriteBmcSetting", "Oem1CSetWordEx",
      "ReportBootStageSecondary"
      )
    );
}

TEST (ScriptTest, NumbersInDecimalOrHexDataInHexNamesByName) {
  std::vector<ScriptStep>  Steps;
  std::string              Error;
  ASSERT_TRUE (ParseScript ("ReportBootStage stage=0x1F\nReportBootStage stage=1Fh  # hex\nReportBootStage stage=31 bmc=all\n"
                            "ReadKnownFile id=uefi-err.log count=8\nSendRawCommand netfn=6 cmd=1 data=\"0a 0B\"\n", "", Steps, Error)) << Error;
  ASSERT_EQ (Steps.size (), 5u);
  EXPECT_EQ (Steps[0].Number ("stage"), 31u);
  EXPECT_EQ (Steps[1].Number ("stage"), 31u);
  EXPECT_EQ (Steps[1].Line, 2u);
  EXPECT_EQ (Steps[2].Number ("bmc"), ALL_BMCS);
  EXPECT_EQ (Steps[0].Number ("bmc"), 0u) << "the default BMC";
  EXPECT_EQ (Steps[3].Number ("id"), KNOWN_FILE_UEFI_ERR_LOG);
  EXPECT_THAT (Steps[4].Data ("data"), ElementsAre (0x0A, 0x0B));
}

struct MalformedRow {
  const char *Name;
  const char *Script;
  const char *Message;
};

class MalformedScriptTest : public ::testing::TestWithParam<MalformedRow> {};

TEST_P (MalformedScriptTest, NamesTheLineAndWhatWasExpected) {
  std::vector<ScriptStep>  Steps;
  std::string              Error;
  EXPECT_FALSE (ParseScript (GetParam ().Script, "", Steps, Error));
  EXPECT_THAT (Error, ::testing::HasSubstr (GetParam ().Message));
}

INSTANTIATE_TEST_SUITE_P (
  Lines, MalformedScriptTest,
  ::testing::Values (
    MalformedRow{ "UnknownOperation", "GetDeviceId\n\nFrobnicate\n", "line 3: unknown operation 'Frobnicate'; expected one of OemC1Query," },
    MalformedRow{ "NotANumber", "ReportBootStage stage=seven", "line 1: ReportBootStage: 'stage' expects a number (decimal, or hex as 0x1F or 1Fh) from 0 to 255, got 'seven'" },
    MalformedRow{ "OneTooMany", "StartPostWatchdog countdown=65536", "'countdown' expects a number (decimal, or hex as 0x1F or 1Fh) from 0 to 65535" },
    MalformedRow{ "OddHexDigits", "RegionWrite selector=1 data=123", "'data' expects hex bytes" },
    MalformedRow{ "WrongPairLength", "OemC2Exchange data=010203", "2 to 2 bytes, got '010203'" },
    MalformedRow{ "MissingArgument", "RegionRead selector=1", "line 1: RegionRead: missing 'length'" },
    MalformedRow{ "UnknownKey", "GetOem10Value value=1", "expected key=value with a key among bmc, force, got 'value=1'" },
    MalformedRow{ "NoEquals", "GetDeviceId 0", "got '0'" },
    MalformedRow{ "GivenTwice", "GetDeviceId bmc=0 bmc=1", "'bmc' given twice" },
    MalformedRow{ "BadInstance", "GetDeviceId bmc=every", "'bmc' expects a BMC index from 0 to 255 or 'all'" },
    MalformedRow{ "Secondary takes no instance", "ReportBootStageSecondary bmc=1", "a key among none" },
    MalformedRow{ "UnterminatedQuote", "FileOpen name=\"config", "unterminated quote" },
    MalformedRow{ "MissingDataFile", "RegionWrite selector=1 data=@/nonexistent/file", "cannot read /nonexistent/file" }
    ),
  [](const auto &Info) {
    std::string  Name = Info.param.Name;
    Name.erase (std::remove (Name.begin (), Name.end (), ' '), Name.end ());
    return Name;
  }
  );

class ScriptRunTest : public SimulatorTest {
protected:
  void SetUp () override { Boot (); }
};

// One line per slot, in slot order: each runs against the model and
// succeeds, and each sends at least one request.
TEST_F (ScriptRunTest, EverySlotCanBeDrivenByName) {
  const char *const  Lines[] = {
    "OemC1Query",
    "OemC2Exchange data=0102 bmc=all",
    "Oem20Exchange data=0304",
    "RegionRead selector=1 length=16",
    "RegionWrite selector=1 offset=4 data=A1A2A3",
    "SendRawCommand netfn=6 cmd=4",
    "GetDeviceId bmc=1",
    "GetSelfTestResults",
    "ReportBootStage stage=0x12",
    "GetOem10Value",
    "SetOem10Value value=2 bmc=all",
    "SetOem62Flag enable=1",
    "FileOpen name=oskel.bin access=1 size=64 class=0x14",
    "FileRead handle=last count=4",
    "FileWrite data=C0FFEE",
    "FileClose",
    "ReadKnownFile id=named count=4",
    "WriteKnownFile id=uefi-tcl.in data=746376",
    "FileDelete id=named name=oskel.bin",
    "GetFileSize id=uefi-tcl.in",
    "UploadBlocks tag=1 value=5",
    "UploadBlocksOp1 tag=2 data=0102",
    "StartPostWatchdog countdown=600 bmc=1",
    "Oem1CSetWord value=0x1234",
    "Oem1CClear",
    "ConfigureSerialConsole bmc=1",
    "SetSerialMux channel=2 setting=2",
    "SetOem1CState state=1",
    "GetOem1CState",
    "ReadBmcSetting selector=smbioscrc",
    "WriteBmcSetting selector=1boot value=01",
    "Oem1CSetWordEx value=0xBEEF",
    "ReportBootStageSecondary",
  };

  // ReadKnownFile refuses id FFh: a caller-named file has no open parameters.
  const std::map<std::string, EFI_STATUS>  NotSuccess = {
    { "ReadKnownFile", EFI_INVALID_PARAMETER },
  };

  ASSERT_EQ (std::size (Lines), OskelSim::ScriptOperationNames ().size ());
  for (size_t Slot = 0; Slot < std::size (Lines); Slot++) {
    const std::string  Name = OskelSim::ScriptOperationNames ()[Slot];
    ASSERT_EQ (std::string (Lines[Slot]).rfind (Name, 0), 0u) << "row " << Slot;
    auto  Result = Run (Lines[Slot]);
    auto  Expected = NotSuccess.find (Name);
    EXPECT_EQ (Result.Status, Expected == NotSuccess.end () ? EFI_SUCCESS : Expected->second) << Lines[Slot] << ": " << OskelSim::ResultName (Result.Status);
    EXPECT_EQ (Sim->Sections.back ().Title, "script line 1: " + std::string (Lines[Slot]));
    if (Expected == NotSuccess.end ()) {
      EXPECT_FALSE (Sends ().empty ()) << Lines[Slot];
    }
  }
}

TEST_F (ScriptRunTest, DataOutputGoesToTheFileNamed) {
  const std::string  Path = ::testing::TempDir () + "oskel-sim-device-id.bin";
  auto               Result = Run ("GetDeviceId out=" + Path);
  ASSERT_TRUE (Result.Error.empty ()) << Result.Error;

  std::ifstream  File (Path, std::ios::binary);
  const Bytes    Written ((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
  EXPECT_THAT (Written, ElementsAreArray (Model (0).DeviceId));
  std::remove (Path.c_str ());
}

TEST_F (ScriptRunTest, CompletionCodeResultIsNamed) {
  Sim->Faults[0]->Rules.push_back ({ { 0x06, 0x01 }, 0xC1 });
  auto  Result = Run ("GetDeviceId");
  EXPECT_EQ (Result.Status, EFI_STATUS (0xC1));
  EXPECT_EQ (Sim->Sections.back ().Result, "completion code C1h (invalid command)");
}

}  // namespace
}  // namespace OskelTest
