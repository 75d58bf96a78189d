// Every slot's wire contract, run on the simulated board: the call with
// the contract's arguments, under the public header's names, sends exactly
// the contract's requests with their capacities, writes its ports, and
// leaves every output byte where the contract says, every other byte as it
// was. A slot without a contract does not build (BmcCommandsRecord.cpp).
#include <fstream>
#include <regex>
#include <sstream>

#include "BoardFixture.h"
#include "SlotContract.h"

namespace OskelTest {
namespace {

using OskelContract::Contract;
using OskelContract::Slot;

std::string
PublicHeader ()
{
  std::ifstream      In (OSKEL_SOURCE_DIR "/Include/Ppi/BmcCommands.h");
  std::stringstream  Text;

  Text << In.rdbuf ();
  return Text.str ();
}

std::string
Lines (const std::vector<std::string> &Messages)
{
  std::string  Out;

  for (const std::string &Message : Messages) {
    Out += "\n  " + Message;
  }

  return Out;
}

// The board every contract is written for: two BMCs, their mailboxes at
// I/O bases 0000h and 0200h, the service installed.
class ContractBoard : public BoardTest {
protected:
  void SetUp () override
  {
    Board.Pei.Hobs.AddPlatformBmcInfo ({ 0x0000, 0x0200 });
    BoardTest::SetUp ();
  }

  // Runs S with the arguments laid out from C (Swap exchanges two words,
  // as a caller that follows a header with two parameters swapped would);
  // every difference from the contract, one message each.
  std::vector<std::string>
  Run (const Slot &S, const Contract &C, size_t First = 0, size_t Second = 0)
  {
    OskelContract::Arguments  Args (S, C);
    UINT8                     Instance = 0;

    if (First != Second) {
      std::swap (Args.Words.at (First), Args.Words.at (Second));
    }

    OskelContract::Script (Board, C);
    EFI_STATUS  Status = S.Through (Service, Args.Words, &Instance, FALSE);
    std::vector<std::string>  Out = OskelContract::CheckWire (C, Log ());
    if (Status != C.Status) {
      Out.push_back ("the call returned " + OskelSim::StatusName (Status) + ", the contract says " + OskelSim::StatusName (C.Status));
    }

    std::vector<std::string>  Outputs = Args.Check (C);
    Out.insert (Out.end (), Outputs.begin (), Outputs.end ());
    return Out;
  }
};

class SlotContractTest : public ContractBoard, public ::testing::WithParamInterface<Slot> {};

TEST_P (SlotContractTest, CallMatchesItsWireContract) {
  const Slot  &S = GetParam ();
  Contract    C;

  ASSERT_NO_THROW (C = OskelContract::Parse (S.Contract)) << "slot " << S.Name << ": its contract cannot be read";
  try {
    C = OskelContract::Parse (S.Contract);
  } catch (const OskelContract::ContractError &Error) {
    FAIL () << "slot " << S.Name << ": its contract, " << Error.what ();
  }

  EXPECT_EQ (Lines (OskelContract::CheckNames (C, OskelContract::HeaderParameterNames (PublicHeader (), S.Name, S.Own))), "")
    << "slot " << S.Name << ": the contract's arguments against the header's";
  EXPECT_EQ (Lines (OskelContract::CheckDistinct (C)), "") << "slot " << S.Name;
  EXPECT_FALSE (C.Sends.empty ()) << "slot " << S.Name << ": a contract says what the slot sends";
  try {
    EXPECT_EQ (Lines (Run (S, C)), "") << "slot " << S.Name << ": the call against its wire contract";
  } catch (const OskelContract::ContractError &Error) {
    FAIL () << "slot " << S.Name << ": its contract does not fit the slot's type: " << Error.what ();
  }
}

INSTANTIATE_TEST_SUITE_P (
  EverySlot,
  SlotContractTest,
  ::testing::ValuesIn (OskelContract::Slots ()),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

const Slot &
Named (const char *Name)
{
  for (const Slot &S : OskelContract::Slots ()) {
    if (std::string (S.Name) == Name) {
      return S;
    }
  }

  throw std::runtime_error (Name);
}

// The failures the contracts exist for, made on purpose: each must be seen.
TEST_F (ContractBoard, HeaderWithTwoParametersSwappedFailsTheNameCheck) {
  std::string  Header = PublicHeader ();
  std::regex   Mux ("(\\*BMC_COMMANDS_SET_SERIAL_MUX\\)[^;]*?)Channel([^;]*?)MuxSetting");

  ASSERT_TRUE (std::regex_search (Header, Mux));
  Header = std::regex_replace (Header, Mux, "$1MuxSetting$2Channel");
  Contract  C = OskelContract::Parse (Named ("SetSerialMux").Contract);

  EXPECT_THAT (
    OskelContract::CheckNames (C, OskelContract::HeaderParameterNames (Header, "SetSerialMux", false)),
    ElementsAre (
      "argument 0 is MuxSetting in Include/Ppi/BmcCommands.h and Channel in the contract: write the contract's arguments in the order and under the names of the slot's declaration",
      "argument 1 is Channel in Include/Ppi/BmcCommands.h and MuxSetting in the contract: write the contract's arguments in the order and under the names of the slot's declaration"
      )
    );
}

TEST_F (ContractBoard, CallerFollowingASwappedHeaderFailsTheWireCheck) {
  const Slot  &S = Named ("SetSerialMux");

  EXPECT_THAT (
    Run (S, OskelContract::Parse (S.Contract), 0, 1),
    ElementsAre ("send 1: the slot sent 0C/12 [03 02] cap 01 to BMC 0, the contract says 0C/12 [02 03] cap 01 to BMC 0")
    );
}

TEST_F (ContractBoard, OutputLandingElsewhereFailsTheOutputCheck) {
  const Slot  &S = Named ("GetDeviceId");
  Contract    C  = OskelContract::Parse (S.Contract);

  C.Outputs.at (0).Content = { 0x81, 0x20, 0x05, 0x02 };
  EXPECT_THAT (
    Run (S, C),
    ElementsAre (
      "Response byte 0 is 20 after the call, the contract says 81",
      "Response byte 1 is 81 after the call, the contract says 20"
      )
    );
}

TEST_F (ContractBoard, ByteWrittenPastABufferFailsTheOutputCheck) {
  const Slot                &S = Named ("GetDeviceId");
  Contract                  C  = OskelContract::Parse (S.Contract);
  OskelContract::Arguments  Args (S, C);
  size_t                    Response = 0;

  while ((Response < C.Parameters.size ()) && (C.Parameters[Response].Name != "Response")) {
    Response++;
  }

  ASSERT_LT (Response, C.Parameters.size ());
  const size_t  Size = Args.BufferSize (Response);
  Args.Buffer (Response)[Size] = 0x00;
  EXPECT_THAT (Args.Check (C), ::testing::Contains ("Response byte " + std::to_string (Size) + " was written, past the end of its " + std::to_string (Size) + " bytes"));
}

TEST_F (ContractBoard, ArgumentsHoldingTheSameValueAreRefused) {
  Contract  C = OskelContract::Parse ("Channel  02\nMuxSetting  02\nMuxStatus  out\n");

  EXPECT_THAT (
    OskelContract::CheckDistinct (C),
    ElementsAre ("Channel and MuxSetting both hold 02: give every argument a value of its own, so that a swap of the two shows on the wire")
    );
}

TEST_F (ContractBoard, UnreadableLineIsNamed) {
  try {
    OskelContract::Parse ("Response  out\nsend 06/01 [] 10 -> []\n");
    FAIL () << "the line was read";
  } catch (const OskelContract::ContractError &Error) {
    EXPECT_STREQ (Error.what (), "line 2 \"send 06/01 [] 10 -> []\": cap NN -> [answer] or -> cc NN must follow the request");
  }
}

TEST_F (ContractBoard, ArgumentOfAnotherShapeThanTheSlotsIsRefused) {
  const Slot  &S = Named ("SetSerialMux");

  EXPECT_THROW (OskelContract::Arguments (S, OskelContract::Parse ("Channel  02\nMuxSetting  out\nMuxStatus  out\n")), OskelContract::ContractError);
  EXPECT_THROW (OskelContract::Arguments (S, OskelContract::Parse ("Channel  0102\nMuxSetting  03\nMuxStatus  out\n")), OskelContract::ContractError);
}

}  // namespace
}  // namespace OskelTest
