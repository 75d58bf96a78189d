// The BT transaction at register level: the exact port sequence of the
// capabilities question and of a request, the sequence numbers, the late
// answers dropped, the buffer sizes honoured, the state bits another host
// or the BMC left, and the status and stored bytes per fault.

#include "BtFixture.h"

#include <array>
#include <functional>

namespace OskelTest {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class BtTransactionTest : public BtTest {};

TEST_F (BtTransactionTest, FirstRequestAsksTheBufferSizesThenSendsPortSequence) {
  Bmc (1).Then (Ok ({ 0x20, 0x81 }));
  std::array<UINT8, 8>  Response{};
  UINT8                 Length = Response.size ();

  ASSERT_EQ (Send (0x06, 0x01, {}, Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 2);
  EXPECT_EQ (Response[0], 0x20);
  EXPECT_EQ (Response[1], 0x81);
  // Control 84h: B_BUSY with H2B_ATN (the BMC has not taken the request
  // yet), 80h: B_BUSY, 08h: B2H_ATN. Writes to the control register: 01h
  // CLR_WR_PTR, 04h H2B_ATN, 40h H_BUSY (set, then cleared), 08h B2H_ATN
  // cleared, 02h CLR_RD_PTR.
  EXPECT_THAT (
    Accesses (),
    ElementsAreArray ({
      // Get BT Interface Capabilities, sequence number 0.
      "R 0E4=00", "W 0E4=01", "W 0E5=03", "W 0E5=18", "W 0E5=00", "W 0E5=36", "W 0E4=04",
      "R 0E4=84", "R 0E4=80", "R 0E4=08",
      "W 0E4=40", "W 0E4=08", "W 0E4=02",
      "R 0E5=09", "R 0E5=1C", "R 0E5=00", "R 0E5=36", "R 0E5=00", "R 0E5=01", "R 0E5=80", "R 0E5=80", "R 0E5=0A", "R 0E5=00",
      "W 0E4=40",
      // Get Device ID, sequence number 1.
      "R 0E4=00", "W 0E4=01", "W 0E5=03", "W 0E5=18", "W 0E5=01", "W 0E5=01", "W 0E4=04",
      "R 0E4=84", "R 0E4=80", "R 0E4=08",
      "W 0E4=40", "W 0E4=08", "W 0E4=02",
      "R 0E5=06", "R 0E5=1C", "R 0E5=01", "R 0E5=01", "R 0E5=00", "R 0E5=20", "R 0E5=81",
      "W 0E4=40",
    })
    );
  EXPECT_EQ (Bt ().CapabilityRequests, 1u);
  ASSERT_EQ (Bt ().Requests.size (), 1u);
  EXPECT_EQ (Bt ().Requests[0].NetFn, 0x06);
  EXPECT_EQ (Bt ().Requests[0].Command, 0x01);
  EXPECT_TRUE (Board.Kcs[1]->Accesses.empty ());
}

TEST_F (BtTransactionTest, RequestBytesAfterTheHeaderAndTheCapabilitiesAskedOnce) {
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  UINT8  Length = 0;

  ASSERT_EQ (Send (0x3A, 0xC3, { 0x01, 0x07, 0x5A }, nullptr, &Length), EFI_SUCCESS);
  EXPECT_EQ (Bt ().CapabilityRequests, 1u);
  ASSERT_EQ (Bt ().Messages.size (), 3u);
  EXPECT_THAT (Bt ().Messages[2], ElementsAre (0x06, 0xE8, 0x02, 0xC3, 0x01, 0x07, 0x5A));
  ASSERT_EQ (Bt ().Requests.size (), 2u);
  EXPECT_THAT (Bt ().Requests[1].Data, ElementsAre (0x01, 0x07, 0x5A));
}

TEST_F (BtTransactionTest, SequenceNumbersAdvanceAndWrap) {
  for (unsigned Request = 0; Request < 300; Request++) {
    ASSERT_EQ (Ping (), EFI_SUCCESS);
  }

  // The capabilities question took number 0.
  ASSERT_EQ (Bt ().Messages.size (), 301u);
  for (size_t Index = 0; Index < Bt ().Messages.size (); Index++) {
    EXPECT_EQ (Bt ().Messages[Index][2], static_cast<uint8_t>(Index)) << Index;
  }
}

TEST_F (BtTransactionTest, RequestLargerThanTheBmcsBufferRefusedWithoutAPortAccess) {
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  Board.ClearAccesses ();
  UINT8  Length = 0;

  // 4 header bytes and 125 data bytes: one more than the 80h-byte buffer.
  EXPECT_EQ (Send (0x3A, 0x0C, Bytes (mBuffer - 3, 0x5A), nullptr, &Length), EFI_BAD_BUFFER_SIZE);
  EXPECT_TRUE (Bt ().Accesses.empty ());
  // The caller's mistake: the BMC stays usable, its strikes untouched.
  EXPECT_EQ (StateOf (1), 0);
  EXPECT_EQ (Send (0x3A, 0x0C, Bytes (mBuffer - 4, 0x5A), nullptr, &Length), EFI_SUCCESS);
  ASSERT_EQ (Bt ().Messages.size (), 1u);
  EXPECT_EQ (Bt ().Messages[0].size (), mBuffer);
}

//
// A BMC that does not tell its buffer sizes: a completion code, or an
// answer that stops before the response buffer's size.
//
struct CapabilitiesRow {
  const char                          *Name;
  std::function<void (BtBmcModel &)>  Answer;
};

std::ostream &
operator<< (std::ostream &Out, const CapabilitiesRow &Row)
{
  return Out << Row.Name;
}

const CapabilitiesRow  mCapabilitiesRows[] = {
  { "InvalidCommand", [](auto &M) { M.CapabilitiesCode = 0xC1; } },
  { "AnswerWithoutTheResponseBuffer", [](auto &M) { M.CapabilitiesData = Bytes{ 0x01, 0xFF }; } },
};

class BtCapabilitiesTest : public ::testing::TestWithParam<CapabilitiesRow> {};

TEST_P (BtCapabilitiesTest, BmcWithoutTheAnswerHeldToTheMinimumAndAskedAgain) {
  OskelSim::TransportBoard  Board ({ 0x0000 });
  Board.Clock.NanosecondsPerAccess = 10000;
  Board.AddSettings (0, 0, 0x0608);
  Board.AddInterfaces ({ { IPMI_INTERFACE_BT, 0x00E4 } });
  BtBmcModel  &Bt = Board.AddBt (0, 0x00E4);
  GetParam ().Answer (Bt);
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  UINT8               Length     = 0;
  const Bytes         Fits (60, 0x11);
  const Bytes         TooLong (61, 0x11);

  // 4 header bytes and 60 data bytes fill the 64 bytes every BT BMC takes.
  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x3A, 0, 0x0C, Fits.data (), 60, nullptr, &Length), EFI_SUCCESS);
  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x3A, 0, 0x0C, TooLong.data (), 61, nullptr, &Length), EFI_BAD_BUFFER_SIZE);
  EXPECT_EQ (Bt.CapabilityRequests, 2u);
  ASSERT_EQ (Bt.Requests.size (), 1u);
  EXPECT_EQ (Bt.Requests[0].Data.size (), 60u);
  EXPECT_THAT (Bt.Violations, ::testing::IsEmpty ());
}

INSTANTIATE_TEST_SUITE_P (
  Answers,
  BtCapabilitiesTest,
  ::testing::ValuesIn (mCapabilitiesRows),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST (BtCapabilitiesSilenceTest, SilentBmcWrittenOffAtTheQuestionTheRequestNeverSent) {
  OskelSim::TransportBoard  Board ({ 0x0000 });
  Board.Clock.NanosecondsPerAccess = 10000;
  Board.AddSettings (0, 0, 0x0608);
  Board.AddInterfaces ({ { IPMI_INTERFACE_BT, 0x00E4 } });
  BtBmcModel           &Bt = Board.AddBt (0, 0x00E4);
  OskelSim::BtFaults   Faults;
  Faults.NeverAnswers = true;
  Bt.Once             = Faults;
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  UINT8               Length     = 0;
  UINT8               State      = 0xFF;

  const uint64_t  Start = Board.Clock.Nanoseconds;
  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_DEVICE_ERROR);
  EXPECT_GE (Board.Clock.Nanoseconds - Start, 5000000000ull);
  EXPECT_LT (Board.Clock.Nanoseconds - Start, 5100000000ull);
  EXPECT_EQ (Bt.CapabilityRequests, 1u);
  EXPECT_TRUE (Bt.Requests.empty ());
  EXPECT_EQ (Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
  EXPECT_EQ (State, IPMI_BMC_STATE_UNUSABLE);
  EXPECT_THAT (Bt.Violations, ::testing::IsEmpty ());
}

TEST_F (BtTransactionTest, HostBusyLeftSetIsClearedBeforeTheRequest) {
  Bt ().StaleHBusy = true;
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  const auto  Lines = Accesses ();
  ASSERT_GE (Lines.size (), 3u);
  EXPECT_THAT (std::vector<std::string>(Lines.begin (), Lines.begin () + 3), ElementsAre ("R 0E4=40", "W 0E4=40", "W 0E4=01"));
}

TEST_F (BtTransactionTest, AnswerLeftWaitingIsTakenAndDroppedBeforeTheRequest) {
  Bt ().StaleAnswer = true;
  Bmc (1).Then (Ok ({ 0x20 }));
  std::array<UINT8, 4>  Response{};
  UINT8                 Length = Response.size ();

  // The stale answer is an earlier request's: nothing of it reaches the
  // caller, and the capabilities question still gets its own answer.
  ASSERT_EQ (Send (0x06, 0x01, {}, Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 1);
  EXPECT_EQ (Response[0], 0x20);
  const auto  Lines = Accesses ();
  ASSERT_GE (Lines.size (), 9u);
  EXPECT_THAT (
    std::vector<std::string>(Lines.begin (), Lines.begin () + 9),
    ElementsAre ("R 0E4=08", "W 0E4=40", "W 0E4=08", "W 0E4=02", "R 0E5=05", "R 0E5=1C", "R 0E5=FF", "R 0E5=01", "R 0E5=00")
    );
}

TEST_F (BtTransactionTest, SmsAttentionIsLeftForSystemSoftware) {
  Bt ().SmsAtn = true;
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  for (const auto &Access : Bt ().Accesses) {
    if (Access.Write && (Access.Port == mControl)) {
      EXPECT_EQ (Access.Value & 0x10, 0) << OskelSim::Describe (Access);
    }
  }

  EXPECT_EQ (Bt ().StateName (), "SMS_ATN");
}

TEST_F (BtTransactionTest, LateAnswerOfARequestThatTimedOutNeverAnswersTheNext) {
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  // The first request's answer comes after the host's five-second wait
  // (250,000 polls of two accesses at 10 us), while the BMC keeps B_BUSY.
  OskelSim::BtFaults  Slow;
  Slow.AnswerLatency = 260000;
  Bt ().Once         = Slow;
  Bt ().Recording    = false;
  Bmc (1).Then (Ok ({ 0xAA, 0xAA })).Then (Ok ({ 0xBB }));
  std::array<UINT8, 4>  Response{};
  UINT8                 Length = Response.size ();

  EXPECT_EQ (Send (0x06, 0x01, {}, Response.data (), &Length), EFI_DEVICE_ERROR);
  EXPECT_EQ (Length, 0);
  EXPECT_EQ (StateOf (1), IPMI_BMC_STATE_UNUSABLE);

  // The forced command after phase 0: its first wait sees the BMC finish
  // the first request; that answer is dropped, then this one is sent and
  // answered.
  Length = Response.size ();
  EXPECT_EQ (Send (0x06, 0x01, {}, Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 1);
  EXPECT_EQ (Response[0], 0xBB);
  ASSERT_EQ (Bt ().Answers.size (), 4u);
  EXPECT_THAT (Bt ().Answers[2], ElementsAre (0x06, 0x1C, 0x02, 0x01, 0x00, 0xAA, 0xAA));
  EXPECT_THAT (Bt ().Answers[3], ElementsAre (0x05, 0x1C, 0x03, 0x01, 0x00, 0xBB));
  EXPECT_EQ (StateOf (1), 0);
}

//
// One row per fault: what the BMC does, the status, the bytes stored, and
// what it costs the BMC. The capabilities are asked before each row's
// request, so a row's fault meets the request itself.
//
struct BtFaultRow {
  const char                              *Name;
  std::function<void (BtBmcModel &)>      Inject;
  Bytes                                   Answer;     // data after the completion code
  EFI_STATUS                              AnswerStatus;
  UINT8                                   Capacity;
  EFI_STATUS                              Status;
  Bytes                                   Stored;
  bool                                    Waited;     // one flag wait ran out
  UINT8                                   State;      // phase 0 after it
};

std::ostream &
operator<< (std::ostream &Out, const BtFaultRow &Row)
{
  return Out << Row.Name;
}

const Bytes  mAnswer{ 0x11, 0x22, 0x33, 0x44, 0x55, 0x66 };

OskelSim::BtFaults
Once (std::function<void (OskelSim::BtFaults &)> Set)
{
  OskelSim::BtFaults  Faults;
  Set (Faults);
  return Faults;
}

constexpr UINT8  mUsable      = 0;
constexpr UINT8  mWrittenOff  = IPMI_BMC_STATE_UNUSABLE;

const BtFaultRow  mBtFaultRows[] = {
  { "Clean", [](auto &) {}, mAnswer, EFI_SUCCESS, 6, EFI_SUCCESS, mAnswer, false, mUsable },
  { "CapacityZero", [](auto &) {}, mAnswer, EFI_SUCCESS, 0, EFI_SUCCESS, {}, false, mUsable },
  { "LongerThanCapacityByOne", [](auto &) {}, mAnswer, EFI_SUCCESS, 5, EFI_SUCCESS, { 0x11, 0x22, 0x33, 0x44, 0x55 }, false, mUsable },
  { "LongerThanCapacity", [](auto &) {}, mAnswer, EFI_SUCCESS, 2, EFI_SUCCESS, { 0x11, 0x22 }, false, mUsable },
  { "CompletionCodeWithData", [](auto &) {}, { 0x09 }, 0xC1, 6, 0xC1, { 0x09 }, false, mUsable },
  { "CompletionCodeOnly", [](auto &) {}, {}, EFI_SUCCESS, 6, EFI_SUCCESS, {}, false, mUsable },
  { "CompletionCodeNodeBusy", [](auto &) {}, {}, EFI_NOT_READY, 6, 0xC0, {}, false, mUsable },
  { "CompletionCodeTimeout", [](auto &) {}, {}, 0xC3, 6, 0xC3, {}, false, mWrittenOff },
  { "NoDevice", [](auto &M) { M.Absent = true; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, false, mWrittenOff },
  { "BBusyForever", [](auto &M) { M.BusyPolls = ~0u; }, mAnswer, EFI_SUCCESS, 6, EFI_NOT_READY, {}, true, mWrittenOff },
  // A poll is a control read and a PM timer read, 20 us: the wait is
  // 250,000 polls, and some 45 more for the rounding up of its ticks.
  { "BBusyJustUnderTheWait", [](auto &M) { M.BusyPolls = 249990; }, mAnswer, EFI_SUCCESS, 6, EFI_SUCCESS, mAnswer, false, mUsable },
  { "BBusyJustPastTheWait", [](auto &M) { M.BusyPolls = 250100; }, mAnswer, EFI_SUCCESS, 6, EFI_NOT_READY, {}, true, mWrittenOff },
  { "NeverAnswers", [](auto &M) { M.Once = Once ([](auto &F) { F.NeverAnswers = true; }); }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, true, mWrittenOff },
  { "AnswerJustUnderTheWait", [](auto &M) { M.Once = Once ([](auto &F) { F.AnswerLatency = 249990; }); }, mAnswer, EFI_SUCCESS, 6, EFI_SUCCESS, mAnswer, false, mUsable },
  { "WrongSequenceNumber", [](auto &M) { M.Once = Once ([](auto &F) { F.Sequence = 0x77; }); }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, true, mWrittenOff },
  { "WrongNetFn", [](auto &M) { M.Once = Once ([](auto &F) { F.ResponseNetFnLun = 0x18; }); }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, true, mWrittenOff },
  { "WrongLun", [](auto &M) { M.Once = Once ([](auto &F) { F.ResponseNetFnLun = 0x1D; }); }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, true, mWrittenOff },
  { "WrongCommand", [](auto &M) { M.Once = Once ([](auto &F) { F.ResponseCommand = 0x02; }); }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, true, mWrittenOff },
  { "LateAnswerBeforeTheAnswer", [](auto &M) { M.Once = Once ([](auto &F) { F.LateAnswers = 1; }); }, mAnswer, EFI_SUCCESS, 6, EFI_SUCCESS, mAnswer, false, mUsable },
  { "ThreeLateAnswers", [](auto &M) { M.Once = Once ([](auto &F) { F.LateAnswers = 3; }); }, mAnswer, EFI_SUCCESS, 6, EFI_SUCCESS, mAnswer, false, mUsable },
  { "FourLateAnswers", [](auto &M) { M.Once = Once ([](auto &F) { F.LateAnswers = 4; }); }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, false, mUsable },
  { "ShortAnswer", [](auto &M) { M.Once = Once ([](auto &F) { F.Length = 3; }); }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, false, mUsable },
  { "LengthPastTheBuffer", [](auto &M) { M.Once = Once ([](auto &F) { F.Length = 0x81; }); }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, false, mUsable },
  { "LengthAtTheBuffer", [](auto &) {}, Bytes (0x80 - 4, 0x5A), EFI_SUCCESS, 6, EFI_SUCCESS, Bytes (6, 0x5A), false, mUsable },
};

class BtFaultTest : public BtTest, public ::testing::WithParamInterface<BtFaultRow> {};

TEST_P (BtFaultTest, StatusStoredBytesAndHealth) {
  const BtFaultRow      &Row = GetParam ();
  std::array<UINT8, 8>  Buffer;
  UINT8                 Length = Row.Capacity;

  ASSERT_EQ (Ping (), EFI_SUCCESS);
  Row.Inject (Bt ());
  Bt ().Recording = false;
  Bmc (1).Then (Reply{ Row.AnswerStatus, Row.Answer, std::nullopt });
  Buffer.fill (0xA5);

  const size_t    Sent  = Bt ().Messages.size ();
  const uint64_t  Start = Board.Clock.Nanoseconds;
  EXPECT_EQ (Send (0x06, 0x01, { 0xAB, 0xCD }, Buffer.data (), &Length), Row.Status);
  const uint64_t  Spent = Board.Clock.Nanoseconds - Start;
  ASSERT_EQ (Length, Row.Stored.size ());
  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + Length), ElementsAreArray (Row.Stored));
  EXPECT_THAT (Bytes (Buffer.begin () + Length, Buffer.end ()), Each (0xA5));
  if (Row.Status == EFI_NOT_READY) {
    // Busy: nothing was written to the interface.
    EXPECT_EQ (Bt ().Messages.size (), Sent);
  }

  // A wait that runs out costs one flag wait, five seconds and a poll or
  // two, never a second one; a BMC just within the wait no more.
  EXPECT_LT (Spent, 5 * mSecond + mSecond / 10);
  if (Row.Waited) {
    EXPECT_GE (Spent, 5 * mSecond);
  }

  EXPECT_EQ (StateOf (1), Row.State);
}

INSTANTIATE_TEST_SUITE_P (
  Faults,
  BtFaultTest,
  ::testing::ValuesIn (mBtFaultRows),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

}  // namespace
}  // namespace OskelTest
