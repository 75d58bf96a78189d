// The SSIF fault table: what the BMC or the bus does, the status, the
// bytes stored, the time it costs and what it costs the BMC's health; the
// board without an SMBus driver; the ready wait on a BMC that starts late.

#include "SsifFixture.h"

#include <array>
#include <functional>

namespace OskelTest {
namespace {

using ::testing::Each;
using ::testing::ElementsAreArray;
using OskelSim::SsifFaults;
using OskelSim::TransportBoard;

struct SsifFaultRow {
  const char                               *Name;
  std::function<void (TransportBoard &)>   Inject;
  Bytes                                    Answer;     // data after the completion code
  EFI_STATUS                               AnswerStatus;
  UINT8                                    Capacity;
  EFI_STATUS                               Status;
  size_t                                   Stored;     // a prefix of Answer
  bool                                     Waited;     // one flag wait ran out
  UINT8                                    State;      // phase 0 after it
};

std::ostream &
operator<< (std::ostream &Out, const SsifFaultRow &Row)
{
  return Out << Row.Name;
}

Bytes
Answer (size_t Size)
{
  Bytes  Out;
  for (size_t Index = 0; Index < Size; Index++) {
    Out.push_back (static_cast<uint8_t>(0x11 * (Index % 15 + 1)));
  }

  return Out;
}

const Bytes  mShort = Answer (6);
const Bytes  mLong  = Answer (100);   // a start, two middles and the last
const Bytes  mFull  = Answer (252);   // the largest answer: 255 bytes with its header

// Faults of the next request alone.
std::function<void (TransportBoard &)>
Once (std::function<void (SsifFaults &)> Set)
{
  return [Set](TransportBoard &B) {
           SsifFaults  Faults;
           Set (Faults);
           B.Ssif.at (0)->Once = Faults;
         };
}

// The request's Nth SMBus transaction (1-based) fails on the bus.
std::function<void (TransportBoard &)>
BusFails (size_t Nth, EFI_STATUS Status)
{
  return [Nth, Status](TransportBoard &B) { B.Smbus.FailCall[B.Smbus.Calls.size () + Nth] = Status; };
}

constexpr UINT8  mUsable     = 0;
constexpr UINT8  mWrittenOff = IPMI_BMC_STATE_UNUSABLE;

const SsifFaultRow  mSsifFaultRows[] = {
  { "Clean", [](auto &) {}, mShort, EFI_SUCCESS, 6, EFI_SUCCESS, 6, false, mUsable },
  { "CleanMultiPart", [](auto &) {}, mLong, EFI_SUCCESS, 200, EFI_SUCCESS, 100, false, mUsable },
  { "LongerThanCapacity", [](auto &) {}, mShort, EFI_SUCCESS, 2, EFI_SUCCESS, 2, false, mUsable },
  { "MultiPartLongerThanCapacity", [](auto &) {}, mLong, EFI_SUCCESS, 40, EFI_SUCCESS, 40, false, mUsable },
  { "CapacityZero", [](auto &) {}, mLong, EFI_SUCCESS, 0, EFI_SUCCESS, 0, false, mUsable },
  { "CompletionCodeWithData", [](auto &) {}, { 0x09 }, 0xC1, 6, 0xC1, 1, false, mUsable },
  { "CompletionCodeNodeBusy", [](auto &) {}, {}, EFI_NOT_READY, 6, 0xC0, 0, false, mUsable },
  { "CompletionCodeTimeout", [](auto &) {}, {}, 0xC3, 6, 0xC3, 0, false, mWrittenOff },
  { "NoDevice", [](auto &B) { B.Ssif.at (0)->Absent = true; }, mShort, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, 0, true, mWrittenOff },
  { "WritesNackedForever", Once ([](auto &F) { F.NackWrites = ~0u; }), mShort, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, 0, true, mWrittenOff },
  { "WritesNackedThenTaken", Once ([](auto &F) { F.NackWrites = 100; }), mShort, EFI_SUCCESS, 6, EFI_SUCCESS, 6, false, mUsable },
  { "NeverAnswers", Once ([](auto &F) { F.NackReads = ~0u; }), mShort, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, 0, true, mWrittenOff },
  { "AnswersAfter3000Nacks", Once ([](auto &F) { F.NackReads = 3000; }), mShort, EFI_SUCCESS, 6, EFI_SUCCESS, 6, false, mUsable },
  { "BusErrorOnTheWrite", BusFails (1, EFI_DEVICE_ERROR), mShort, EFI_SUCCESS, 6, EFI_SUCCESS, 6, false, mUsable },
  { "BusErrorOnAMiddleWrite", BusFails (2, EFI_DEVICE_ERROR), mShort, EFI_SUCCESS, 6, EFI_SUCCESS, 6, false, mUsable },
  { "ControllerTimeoutOnTheRead", BusFails (2, EFI_TIMEOUT), mShort, EFI_SUCCESS, 6, EFI_SUCCESS, 6, false, mUsable },
  { "PecMismatchOnAMiddleRead", BusFails (4, EFI_CRC_ERROR), mLong, EFI_SUCCESS, 200, EFI_SUCCESS, 100, false, mUsable },
  { "BusErrorOnTheLastRead", BusFails (5, EFI_DEVICE_ERROR), mLong, EFI_SUCCESS, 200, EFI_SUCCESS, 100, false, mUsable },
  { "WrongBlockNumber", Once ([](auto &F) { F.WrongBlockNumber = 1; }), mLong, EFI_SUCCESS, 200, EFI_DEVICE_ERROR, 58, false, mUsable },
  { "MiddleBlockMissing", Once ([](auto &F) { F.SkipBlock = 0; }), mLong, EFI_SUCCESS, 200, EFI_DEVICE_ERROR, 27, false, mUsable },
  { "LastBlockLongerThanAnnounced", Once ([](auto &F) { F.LastBlockExtra = 3; }), mFull, EFI_SUCCESS, 40, EFI_DEVICE_ERROR, 40, false, mUsable },
  { "ReadEndedEarly", Once ([](auto &F) { F.EndAfterBlocks = 1; }), mLong, EFI_SUCCESS, 200, EFI_DEVICE_ERROR, 58, false, mUsable },
  { "WrongNetFn", Once ([](auto &F) { F.ResponseNetFnLun = 0x18; }), mShort, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, 0, true, mWrittenOff },
  { "WrongLun", Once ([](auto &F) { F.ResponseNetFnLun = 0x1D; }), mShort, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, 0, true, mWrittenOff },
  { "WrongCommand", Once ([](auto &F) { F.ResponseCommand = 0x02; }), mShort, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, 0, true, mWrittenOff },
  { "LargestAnswer", [](auto &) {}, mFull, EFI_SUCCESS, 255, EFI_SUCCESS, 252, false, mUsable },
};

class SsifFaultTest : public SsifTest, public ::testing::WithParamInterface<SsifFaultRow> {};

TEST_P (SsifFaultTest, StatusStoredBytesTimeAndHealth) {
  const SsifFaultRow      &Row = GetParam ();
  std::array<UINT8, 256>  Buffer;
  UINT8                   Length = Row.Capacity;

  // The capabilities first, so that the row's fault meets the request.
  ASSERT_EQ (Ping (), EFI_SUCCESS);
  Row.Inject (Board);
  Bmc (1).Then (Reply{ Row.AnswerStatus, Row.Answer, std::nullopt });
  Buffer.fill (0xA5);

  const uint64_t  Start = Board.Clock.Nanoseconds;
  EXPECT_EQ (Send (0x06, 0x01, { 0xAB, 0xCD }, Buffer.data (), &Length), Row.Status);
  const uint64_t  Spent = Board.Clock.Nanoseconds - Start;
  ASSERT_EQ (Length, Row.Stored);
  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + Length), ElementsAreArray (Row.Answer.begin (), Row.Answer.begin () + Length));
  EXPECT_THAT (Bytes (Buffer.begin () + Length, Buffer.end ()), Each (0xA5));

  // A wait that runs out costs one flag wait, five seconds and an attempt
  // or two, never a second one; a BMC just within the wait no more.
  EXPECT_LT (Spent, 5 * mSecond + mSecond / 100);
  if (Row.Waited) {
    EXPECT_GE (Spent, 5 * mSecond);
  }

  EXPECT_EQ (StateOf (1), Row.State);

  // A BMC written off costs nothing more until phase 0 lets one through;
  // one that is not answers the next request.
  Ssif ().Recover ();
  Board.Smbus.FailCall.clear ();
  EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, 1), EFI_SUCCESS);
  EXPECT_EQ (Ping (), EFI_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P (
  Faults,
  SsifFaultTest,
  ::testing::ValuesIn (mSsifFaultRows),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

//
// The same request after each bus failure: the block is tried again with
// the command the chapter gives for it.
//
TEST_F (SsifTest, FailedMiddleReadIsReadAgainWith0Ah) {
  std::array<UINT8, 128>  Buffer;
  UINT8                   Length = Buffer.size ();

  ASSERT_EQ (Ping (), EFI_SUCCESS);
  Bmc (1).Then (Ok (mLong));
  const size_t  Before = Board.Smbus.Calls.size ();
  BusFails (4, EFI_CRC_ERROR)(Board);
  ASSERT_EQ (Send (0x06, 0x01, {}, Buffer.data (), &Length), EFI_SUCCESS);
  std::vector<std::string>  Commands;
  for (size_t Index = Before; Index < Board.Smbus.Calls.size (); Index++) {
    Commands.push_back (Calls ()[Index].substr (0, 7) + " " + ((Board.Smbus.Calls[Index].Status == EFI_SUCCESS) ? "ok" : "failed"));
  }

  EXPECT_THAT (Commands, ElementsAreArray ({ "W 10 02 ok", "R 10 03 ok", "R 10 09 ok", "R 10 09 failed", "R 10 0A ok", "R 10 09 ok" }));
  EXPECT_EQ (Length, 100);
}

TEST_F (SsifTest, FailedWriteOfAPartWritesTheRequestAgainFromItsStart) {
  std::array<UINT8, 8>  Buffer;
  UINT8                 Length = Buffer.size ();

  ASSERT_EQ (Ping (), EFI_SUCCESS);
  const size_t  Before = Board.Smbus.Calls.size ();
  BusFails (3, EFI_DEVICE_ERROR)(Board);
  ASSERT_EQ (Send (0x2E, 0x11, Bytes (70, 0x5A), Buffer.data (), &Length), EFI_SUCCESS);
  std::vector<std::string>  Commands;
  for (size_t Index = Before; Index < Board.Smbus.Calls.size (); Index++) {
    Commands.push_back (Calls ()[Index].substr (0, 7) + " " + ((Board.Smbus.Calls[Index].Status == EFI_SUCCESS) ? "ok" : "failed"));
  }

  EXPECT_THAT (Commands, ElementsAreArray ({ "W 10 06 ok", "W 10 07 ok", "W 10 08 failed", "W 10 06 ok", "W 10 07 ok", "W 10 08 ok", "R 10 03 ok" }));
  ASSERT_EQ (Ssif ().Requests.size (), 2u);
  EXPECT_EQ (Ssif ().Requests[1].Data, Bytes (70, 0x5A));
}

//
// A BMC that does not NACK before its answer is ready but gives the block
// read last once more (QEMU's smbus-ipmi does): the first read waits the
// answer pause, the blocks of the answer before, another command's, are
// dropped and the answer read when it comes.
//
TEST_F (SsifTest, StaleBlockBeforeTheAnswerIsDropped) {
  std::array<UINT8, 8>  Buffer;
  UINT8                 Length = Buffer.size ();
  SsifFaults            Faults;

  ASSERT_EQ (Ping (), EFI_SUCCESS);
  Faults.StaleReads = 2;
  Ssif ().Once      = Faults;
  Bmc (1).Then (Ok (mShort));
  const size_t    Before = Board.Smbus.Calls.size ();
  const uint64_t  Start  = Board.Clock.Nanoseconds;
  ASSERT_EQ (Send (0x2E, 0x11, { 0x01 }, Buffer.data (), &Length), EFI_SUCCESS);
  // The answer pause, 5 ms, before the first read; 1 ms before each next.
  EXPECT_GE (Board.Clock.Nanoseconds - Start, 7 * mSecond / 1000);
  ASSERT_EQ (Board.Smbus.Calls.size (), Before + 4);
  EXPECT_EQ (Board.Smbus.Calls[Before + 1].Data, Board.Smbus.Calls[Before - 1].Data);
  EXPECT_EQ (Board.Smbus.Calls[Before + 2].Data, Board.Smbus.Calls[Before - 1].Data);
  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + Length), ElementsAreArray (mShort));
  EXPECT_EQ (StateOf (1), 0);
}

//
// A board whose SMBus driver is not there: the SSIF BMC fails at once and
// is written off; the KCS BMC beside it is untouched; once the driver is
// there, the forced command of the next phase 0 finds it.
//
class SsifWithoutDriverTest : public SsifTest {
protected:
  void Prepare () override
  {
    Board.AddSettings (0, 0, mPmTimerPort);
    Board.AddInterfaces ({ { IPMI_INTERFACE_KCS, 0 }, { IPMI_INTERFACE_SSIF, mAddress } });
  }
};

TEST_F (SsifWithoutDriverTest, BmcWrittenOffAtOnceOthersServed) {
  const uint64_t  Start = Board.Clock.Nanoseconds;

  EXPECT_EQ (Ping (), EFI_DEVICE_ERROR);
  EXPECT_LT (Board.Clock.Nanoseconds - Start, mSecond / 1000);
  EXPECT_TRUE (Board.Smbus.Calls.empty ());
  EXPECT_EQ (StateOf (1), IPMI_BMC_STATE_UNUSABLE);

  EXPECT_EQ (StateOf (0), 0);
  EXPECT_EQ (Ping (), EFI_SUCCESS);

  Board.InstallSmbus ();
  EXPECT_EQ (StateOf (1), IPMI_BMC_STATE_UNUSABLE);
  EXPECT_EQ (Ping (), EFI_SUCCESS);
  EXPECT_EQ (StateOf (1), 0);
}

class SsifAddressPast7BitsTest : public SsifTest {
protected:
  void Prepare () override
  {
    Board.AddSettings (0, 0, mPmTimerPort);
    Board.AddInterfaces ({ { IPMI_INTERFACE_KCS, 0 }, { IPMI_INTERFACE_SSIF, 0x0090 } });
    Board.InstallSmbus ();
  }
};

TEST_F (SsifAddressPast7BitsTest, BmcHasNoInterface) {
  EXPECT_EQ (Ping (), EFI_DEVICE_ERROR);
  EXPECT_TRUE (Board.Smbus.Calls.empty ());
  EXPECT_EQ (StateOf (1), IPMI_BMC_STATE_UNUSABLE);
}

//
// The ready wait at entry asks the SSIF BMC as it asks any other: one that
// NACKs its first 150 writes (a write tried every millisecond or so: a
// flag wait of 100 ms runs out, the ready wait's pause of 100 ms, then
// some 50 more) is ready within a ready wait of
// a second, with flag waits of 100 ms.
//
class SsifReadyWaitTest : public SsifTest {
protected:
  void Prepare () override
  {
    SsifFaults  Faults;
    Faults.NackWrites = 150;
    Ssif ().Once      = Faults;
    // Both BMCs answer Get Device ID with the device available.
    Bmc (0).Default = Ok ({ 0x20, 0x01, 0x00 });
    Bmc (1).Default = Ok ({ 0x20, 0x01, 0x00 });
    Board.AddSettings (100000, 1000000, mPmTimerPort);
    Board.AddInterfaces ({ { IPMI_INTERFACE_KCS, 0 }, { IPMI_INTERFACE_SSIF, mAddress } });
    Board.InstallSmbus ();
  }
};

TEST_F (SsifReadyWaitTest, LateBmcFoundReady) {
  EXPECT_GT (Board.Clock.Nanoseconds, 2 * mSecond / 10);
  EXPECT_LT (Board.Clock.Nanoseconds, mSecond);
  EXPECT_EQ (StateOf (1), 0);
  EXPECT_EQ (Ssif ().CapabilityRequests, 1u);
}

}  // namespace
}  // namespace OskelTest
