// The KCS transaction at register level: the exact port sequence of the
// write and read phases, the recovery after each fault, and the status
// and stored bytes per fault.

#include "KcsFixture.h"

#include <array>
#include <functional>

namespace OskelTest {
namespace {

using ::testing::ElementsAreArray;
using ::testing::Each;

class KcsTransactionTest : public KcsTest {};

TEST_F (KcsTransactionTest, GetDeviceIdPortSequence) {
  Bmc (0).Then (Ok ({ 0x20, 0x81 }));
  std::array<UINT8, 8>  Response{};
  UINT8                 Length = Response.size ();

  ASSERT_EQ (Send (0x06, 0x01, {}, Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 2);
  EXPECT_EQ (Response[0], 0x20);
  EXPECT_EQ (Response[1], 0x81);
  // Status 88h: WRITE with C/D set (last write to the command register),
  // 80h: WRITE after a data byte, 41h: READ with OBF, 01h: IDLE with OBF.
  EXPECT_THAT (
    Accesses (0),
    ElementsAreArray ({
      "R CA3=00", "W CA3=61",
      "R CA3=88", "W CA2=18",
      "R CA3=80", "W CA3=62",
      "R CA3=88", "W CA2=01",
      "R CA3=41", "R CA2=1C", "W CA2=68",
      "R CA3=41", "R CA2=01", "W CA2=68",
      "R CA3=41", "R CA2=00", "W CA2=68",
      "R CA3=41", "R CA2=20", "W CA2=68",
      "R CA3=41", "R CA2=81", "W CA2=68",
      "R CA3=01", "R CA2=00",
    })
    );
  EXPECT_EQ (Kcs (0).StateName (), "IDLE");
}

TEST_F (KcsTransactionTest, WriteEndPrecedesTheLastRequestByte) {
  std::array<UINT8, 4>  Response{};
  UINT8                 Length = Response.size ();

  ASSERT_EQ (Send (0x3A, 0xC3, { 0x01, 0x07, 0x5A }, Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 0);
  auto  Lines = Accesses (0);
  ASSERT_GE (Lines.size (), 16u);
  EXPECT_THAT (
    std::vector<std::string>(Lines.begin (), Lines.begin () + 14),
    ElementsAreArray ({
      "R CA3=00", "W CA3=61",
      "R CA3=88", "W CA2=E8",
      "R CA3=80", "W CA2=C3",
      "R CA3=80", "W CA2=01",
      "R CA3=80", "W CA2=07",
      "R CA3=80", "W CA3=62",
      "R CA3=88", "W CA2=5A",
    })
    );
  ASSERT_EQ (Kcs (0).Requests.size (), 1u);
  EXPECT_EQ (Kcs (0).Requests[0].NetFn, 0x3A);
  EXPECT_EQ (Kcs (0).Requests[0].Command, 0xC3);
  EXPECT_THAT (Kcs (0).Requests[0].Data, ElementsAreArray ({ 0x01, 0x07, 0x5A }));
}

TEST_F (KcsTransactionTest, SecondBmcAtItsPlatformBase) {
  ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, 1), EFI_SUCCESS);
  UINT8  Length = 0;

  ASSERT_EQ (Send (0x06, 0x01, {}, nullptr, &Length), EFI_SUCCESS);
  EXPECT_TRUE (Kcs (0).Accesses.empty ());
  ASSERT_FALSE (Kcs (1).Accesses.empty ());
  EXPECT_EQ (Accesses (1)[0], "R EA3=00");
  EXPECT_EQ (Accesses (1)[1], "W EA3=61");
}

TEST_F (KcsTransactionTest, SlowBmcIsWaitedFor) {
  Kcs (0).IbfLatency = 7;
  Bmc (0).Then (Ok ({ 1, 2, 3 }));
  std::array<UINT8, 3>  Response{};
  UINT8                 Length = Response.size ();

  ASSERT_EQ (Send (0x06, 0x01, {}, Response.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 3);
  EXPECT_THAT (Response, ElementsAreArray ({ 1, 2, 3 }));
}

TEST_F (KcsTransactionTest, LeftoverOutputByteIsReadBeforeWriteStart) {
  OskelSim::KcsFaults  Faults;
  Faults.StaleOutput = true;
  Kcs (0).Once       = Faults;
  UINT8  Length      = 0;

  ASSERT_EQ (Send (0x06, 0x01, {}, nullptr, &Length), EFI_SUCCESS);
  auto  Lines = Accesses (0);
  ASSERT_GE (Lines.size (), 3u);
  EXPECT_EQ (Lines[0], "R CA3=01");
  EXPECT_EQ (Lines[1], "R CA2=EE");
  EXPECT_EQ (Lines[2], "W CA3=61");
}

TEST_F (KcsTransactionTest, AbortSequenceAfterErrorInWritePhase) {
  OskelSim::KcsFaults  Faults;
  Faults.ErrorAtRequestByte = 1;
  Kcs (0).Once              = Faults;
  UINT8  Length             = 0;

  EXPECT_EQ (Send (0x06, 0x01, {}, nullptr, &Length), EFI_DEVICE_ERROR);
  // The command byte, the last, meets the ERROR state (C0h); then Get
  // Status/Abort, a 00h data byte, the BMC's status byte FFh, READ and the
  // closing dummy byte.
  EXPECT_THAT (
    Accesses (0),
    ElementsAreArray ({
      "R CA3=00", "W CA3=61",
      "R CA3=88", "W CA2=18",
      "R CA3=80", "W CA3=62",
      "R CA3=88", "W CA2=01",
      "R CA3=C0",
      "R CA3=C0", "W CA3=60",
      "R CA3=88", "W CA2=00",
      "R CA3=41", "R CA2=FF", "W CA2=68",
      "R CA3=01", "R CA2=00",
    })
    );
  EXPECT_EQ (Kcs (0).Aborts, 1u);
  EXPECT_EQ (Kcs (0).StateName (), "IDLE");
}

//
// One row per fault: what the BMC does, the status, the bytes stored, and
// whether the interface was brought back with Get Status/Abort.
//
struct FaultRow {
  const char                                   *Name;
  std::function<void (OskelSim::KcsFaults &)>  Inject;
  Bytes                                        Answer;     // data after completion code 00h
  EFI_STATUS                                   AnswerStatus;
  UINT8                                        Capacity;
  EFI_STATUS                                   Status;
  Bytes                                        Stored;
  unsigned                                     Aborts;
  bool                                         Timeout;    // a flag wait runs out its budget
};

std::ostream &
operator<< (std::ostream &Out, const FaultRow &Row)
{
  return Out << Row.Name;
}

const Bytes  mAnswer{ 0x11, 0x22, 0x33, 0x44, 0x55, 0x66 };

const FaultRow  mFaultRows[] = {
  { "Clean", [](auto &) {}, mAnswer, EFI_SUCCESS, 6, EFI_SUCCESS, mAnswer, 0, false },
  { "CapacityZero", [](auto &) {}, mAnswer, EFI_SUCCESS, 0, EFI_SUCCESS, {}, 0, false },
  { "LongerThanCapacityByOne", [](auto &) {}, mAnswer, EFI_SUCCESS, 5, EFI_SUCCESS, { 0x11, 0x22, 0x33, 0x44, 0x55 }, 0, false },
  { "LongerThanCapacity", [](auto &) {}, mAnswer, EFI_SUCCESS, 2, EFI_SUCCESS, { 0x11, 0x22 }, 0, false },
  { "CompletionCodeWithData", [](auto &) {}, { 0x09 }, 0xC1, 6, 0xC1, { 0x09 }, 0, false },
  { "CompletionCodeNodeBusy", [](auto &) {}, {}, EFI_NOT_READY, 6, 0xC0, {}, 0, false },
  { "EmptyResponse", [](auto &F) { F.EmptyResponse = true; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 0, false },
  { "NoCompletionCode", [](auto &F) { F.TruncateResponse = 2; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 0, false },
  { "CompletionCodeOnly", [](auto &F) { F.TruncateResponse = 3; }, mAnswer, EFI_SUCCESS, 6, EFI_SUCCESS, {}, 0, false },
  { "WrongNetFn", [](auto &F) { F.ResponseNetFnLun = 0x18; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 0, false },
  { "WrongLun", [](auto &F) { F.ResponseNetFnLun = 0x1D; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 0, false },
  { "WrongCommand", [](auto &F) { F.ResponseCommand = 0x02; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 0, false },
  { "ErrorAtFirstRequestByte", [](auto &F) { F.ErrorAtRequestByte = 0; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 1, false },
  { "ErrorAtLastRequestByte", [](auto &F) { F.ErrorAtRequestByte = 3; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 1, false },
  { "ErrorAtFirstResponseByte", [](auto &F) { F.ErrorAtResponseByte = 0; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 1, false },
  { "ErrorAfterTwoDataBytes", [](auto &F) { F.ErrorAtResponseByte = 5; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, { 0x11, 0x22 }, 1, false },
  { "BmcReportsDeviceFault", [](auto &) {}, {}, EFI_DEVICE_ERROR, 6, EFI_DEVICE_ERROR, {}, 1, false },
  { "AbortNotAnswered", [](auto &F) { F.ErrorAtRequestByte = 2; F.AbortIgnored = true; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 0, false },
  { "ObfNeverSets", [](auto &F) { F.ObfNeverSets = true; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 0, true },
  { "IbfNeverClearsAfterWriteStart", [](auto &F) { F.IbfStuckAtWrite = 1; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 0, true },
  { "IbfNeverClearsAfterLastByte", [](auto &F) { F.IbfStuckAtWrite = 6; }, mAnswer, EFI_SUCCESS, 6, EFI_DEVICE_ERROR, {}, 0, true },
  // A poll is a status read and a PM timer read, 20 us: the wait is 250,000
  // polls, and some 45 more for the rounding up of its ticks (0.02 %).
  { "BusyJustUnderTheWait", [](auto &F) { F.BusyPolls = 249990; }, mAnswer, EFI_SUCCESS, 6, EFI_SUCCESS, mAnswer, 0, true },
  { "BusyJustPastTheWait", [](auto &F) { F.BusyPolls = 250100; }, mAnswer, EFI_SUCCESS, 6, EFI_NOT_READY, {}, 0, true },
  { "BusyForGood", [](auto &F) { F.BusyPolls = ~0u; }, mAnswer, EFI_SUCCESS, 6, EFI_NOT_READY, {}, 0, true },
};

class KcsFaultTest : public KcsTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P (KcsFaultTest, StatusAndStoredBytes) {
  const FaultRow        &Row = GetParam ();
  OskelSim::KcsFaults   Faults;
  std::array<UINT8, 8>  Buffer;
  UINT8                 Length = Row.Capacity;

  Row.Inject (Faults);
  Kcs (0).Once      = Faults;
  Kcs (0).Recording = !Row.Timeout;
  Bmc (0).Then (Reply{ Row.AnswerStatus, Row.Answer, std::nullopt });
  Buffer.fill (0xA5);

  // A request with two data bytes: the request is bytes 0 to 3 on the wire.
  const uint64_t  Start = Board.Clock.Nanoseconds;
  EXPECT_EQ (Send (0x06, 0x01, { 0xAB, 0xCD }, Buffer.data (), &Length), Row.Status);
  const uint64_t  Spent = Board.Clock.Nanoseconds - Start;
  ASSERT_EQ (Length, Row.Stored.size ());
  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + Length), ElementsAreArray (Row.Stored));
  // Nothing past what was stored is touched, whatever the BMC sent.
  EXPECT_THAT (Bytes (Buffer.begin () + Length, Buffer.end ()), Each (0xA5));
  EXPECT_EQ (Kcs (0).Aborts, Row.Aborts);
  if (Row.Status == EFI_NOT_READY) {
    // Busy: nothing was written to the interface.
    EXPECT_TRUE (Kcs (0).Requests.empty ());
  }

  // A wait that runs out costs one flag wait, five seconds and a poll or
  // two, never a second wait for an abort, and writes the BMC off; any
  // other outcome of one command leaves it usable.
  const bool  RanOut = Row.Timeout && (Row.Status != EFI_SUCCESS);
  if (RanOut) {
    EXPECT_GE (Spent, 5 * mSecond);
    EXPECT_LT (Spent, 5 * mSecond + mSecond / 10);
  }

  EXPECT_EQ (StateOf (0), RanOut ? IPMI_BMC_STATE_UNUSABLE : 0);

  // The next transaction finds the interface usable again (sent as a
  // forced command is: after a phase 0, which lets one through).
  Kcs (0).Reset ();
  Kcs (0).Recording = true;
  Bmc (0).Queue.clear ();
  Bmc (0).Then (Ok ({ 0x20 }));
  Length = Buffer.size ();
  UINT8  State;
  EXPECT_EQ (Phase0 (&State), EFI_SUCCESS);
  EXPECT_EQ (Send (0x06, 0x01, {}, Buffer.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 1);
}

INSTANTIATE_TEST_SUITE_P (
  Faults,
  KcsFaultTest,
  ::testing::ValuesIn (mFaultRows),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (KcsTransactionTest, ResponseLongerThanAnyCapacityIsRefused) {
  Bmc (0).Then (Ok (Bytes (256, 0x5A)));
  std::array<UINT8, 255>  Buffer{};
  UINT8                   Length = Buffer.size ();

  EXPECT_EQ (Send (0x06, 0x01, {}, Buffer.data (), &Length), EFI_DEVICE_ERROR);
  EXPECT_EQ (Length, 255);
  EXPECT_EQ (Kcs (0).Aborts, 1u);
}

TEST_F (KcsTransactionTest, LargestResponseIsTaken) {
  Bmc (0).Then (Ok (Bytes (255, 0x5A)));
  std::array<UINT8, 255>  Buffer{};
  UINT8                   Length = Buffer.size ();

  EXPECT_EQ (Send (0x06, 0x01, {}, Buffer.data (), &Length), EFI_SUCCESS);
  EXPECT_EQ (Length, 255);
  EXPECT_THAT (Buffer, Each (0x5A));
}

TEST (KcsNoDeviceTest, FloatingBusFailsAtOnce) {
  // No HOB: one BMC at CA2h/CA3h, where nothing answers; a failed port
  // read gives FFh. The first status read ends the command: before it
  // only the clock's own sample (the 8254: latch, low, high).
  OskelSim::TransportBoard  Board ({}, false);
  ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
  IPMI_TRANSPORT_PPI  *Transport = Board.Transport ();
  ASSERT_NE (Transport, nullptr);
  UINT8  Length = 0;

  EXPECT_EQ (Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length), EFI_DEVICE_ERROR);
  EXPECT_EQ (Length, 0);
  EXPECT_EQ (Board.Clock.Accesses, 4u);
  EXPECT_EQ (Board.Pit.Latches, 1u);
  EXPECT_TRUE (Board.Log.PortWrites ().empty ());
}

}  // namespace
}  // namespace OskelTest
