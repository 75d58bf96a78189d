// Command 1Ch: the retried writers, the state read and the read-before-write.
#include "BoardFixture.h"

namespace OskelTest {
namespace {

class Oem1CTest : public BoardTest {
protected:
  // BMC 0 answers the state read (request 02h) with Read, anything else with Write.
  void
  Answer (Reply Read, Reply Write = Ok ())
  {
    Bmc (0).Handler = [Read, Write](const OskelSim::Request &R) {
        return (R.Data == Bytes{ 0x02 }) ? Read : Write;
      };
  }

  std::vector<Bytes>
  Requests () const
  {
    std::vector<Bytes>  Out;

    for (const Event &E : Sends ()) {
      Out.push_back (E.Request);
    }

    return Out;
  }
};

TEST_F (Oem1CTest, WritersSendTheirBytesToBmcZero) {
  EXPECT_EQ (Service->Oem1CSetWord (nullptr, Service, 0x1234, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Service->Oem1CSetWordEx (nullptr, Service, 0x1234, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Service->Oem1CClear (nullptr, Service, &Bmc0, 0), EFI_SUCCESS);

  EXPECT_THAT (
    Requests (),
    ElementsAre (ElementsAre (0x00, 0x01, 0x12, 0x34), ElementsAre (0x00, 0x01, 0x12, 0x34, 0x00), ElementsAre (0x00, 0x00))
    );
  for (const Event &Send : Sends ()) {
    EXPECT_EQ (Send.Bmc, 0);
    EXPECT_EQ (Send.NetFn, 0x3A);
    EXPECT_EQ (Send.Command, 0x1C);
    EXPECT_EQ (Send.Capacity, 0);
  }
}

struct RetryRow {
  const char               *Name;
  std::vector<EFI_STATUS>  Answers;   // then EFI_NOT_READY for ever
  size_t                   Sends;
  EFI_STATUS               Expected;
};

void
PrintTo (const RetryRow &Row, std::ostream *Out)
{
  *Out << Row.Name;
}

std::vector<EFI_STATUS>
NotReadyThen (size_t Count, EFI_STATUS Last)
{
  std::vector<EFI_STATUS>  Answers (Count, EFI_NOT_READY);

  Answers.push_back (Last);
  return Answers;
}

class Oem1CRetryTest : public Oem1CTest, public ::testing::WithParamInterface<RetryRow> {};

TEST_P (Oem1CRetryTest, SendsUntilTheTransportSettles) {
  const RetryRow  &Row = GetParam ();

  for (EFI_STATUS Status : Row.Answers) {
    Bmc (0).Then (Fail (Status));
  }

  Bmc (0).Default = Fail (EFI_NOT_READY);
  EXPECT_EQ (Service->Oem1CSetWord (nullptr, Service, 0xBEEF, &Bmc0, 0), Row.Expected);
  EXPECT_THAT (Requests (), ElementsAreArray (std::vector<Bytes>(Row.Sends, Bytes{ 0x00, 0x01, 0xBE, 0xEF })));

  // One guard around every attempt.
  std::vector<std::string>  Expected{ "count", "select 0", "phase0" };
  Expected.insert (Expected.end (), Row.Sends, "send 3A/1C");
  Expected.push_back (Row.Expected == EFI_DEVICE_ERROR ? "phase1 flag=1" : "phase1 flag=0");
  EXPECT_THAT (Calls (), ElementsAreArray (Expected));
}

INSTANTIATE_TEST_SUITE_P (
  Answers,
  Oem1CRetryTest,
  ::testing::Values (
    RetryRow{ "SuccessAtOnce", { EFI_SUCCESS }, 1, EFI_SUCCESS },
    RetryRow{ "NotReadyTwiceThenSuccess", NotReadyThen (2, EFI_SUCCESS), 3, EFI_SUCCESS },
    RetryRow{ "SuccessOnTheFifteenth", NotReadyThen (14, EFI_SUCCESS), 15, EFI_SUCCESS },
    RetryRow{ "NotReadyForEver", {}, 15, EFI_BMC_RETRY },
    RetryRow{ "DeviceErrorStops", { EFI_DEVICE_ERROR }, 1, EFI_DEVICE_ERROR },
    RetryRow{ "CompletionCodeStops", NotReadyThen (1, 0xC1), 2, 0xC1 },
    RetryRow{ "TransportRetryBoundByThree", { EFI_BMC_RETRY, EFI_BMC_RETRY, EFI_BMC_RETRY, EFI_SUCCESS }, 3, EFI_BMC_RETRY },
    RetryRow{ "NotReadyWidensTransportRetry", { EFI_BMC_RETRY, EFI_BMC_RETRY, EFI_NOT_READY, EFI_SUCCESS }, 4, EFI_SUCCESS }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

TEST_F (Oem1CTest, UnusableBmcIsNotRetried) {
  Board.Transport.MarkUnusable (0);
  EXPECT_EQ (Service->Oem1CClear (nullptr, Service, &Bmc0, 0), EFI_DEVICE_ERROR);
  Board.Transport.At (0).HealthState  = 0;
  Board.Transport.At (0).HealthStatus = EFI_INVALID_PARAMETER;
  EXPECT_EQ (Service->Oem1CClear (nullptr, Service, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0", "count", "select 0", "phase0"));

  EXPECT_EQ (Service->Oem1CClear (nullptr, Service, &Bmc0, 1), EFI_SUCCESS);
  EXPECT_EQ (Sends ().size (), 1u);
}

TEST_F (Oem1CTest, SetStateSkipsTheWriteWhenTheBmcHoldsIt) {
  Answer (Ok ({ 0x01 }));
  EXPECT_EQ (Service->SetOem1CState (nullptr, Service, 1, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_THAT (Requests (), ElementsAre (ElementsAre (0x02)));
  // The read runs as GetOem1CState does: its own dispatch, its own guard.
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "count", "select 0", "phase0", "send 3A/1C", "phase1 flag=0"));

  Log ().Clear ();
  Answer (Ok ({ 0x00 }));
  EXPECT_EQ (Service->SetOem1CState (nullptr, Service, 1, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_THAT (Requests (), ElementsAre (ElementsAre (0x02), ElementsAre (0x01, 0x01, 0x00, 0x00, 0x01)));
  EXPECT_THAT (
    Calls (),
    ElementsAre ("count", "select 0", "count", "select 0", "phase0", "send 3A/1C", "phase1 flag=0", "phase0", "send 3A/1C", "phase1 flag=0")
    );
}

TEST_F (Oem1CTest, SetStateWritesAnywayWhenTheReadFails) {
  // A completion code, a busy transport, and an answer without the state byte.
  for (const Reply &Read : { Fail (0xC1), Fail (EFI_NOT_READY), Ok () }) {
    Log ().Clear ();
    Answer (Read);
    EXPECT_EQ (Service->SetOem1CState (nullptr, Service, 0, &Bmc0, 0), EFI_SUCCESS);
    EXPECT_THAT (Requests (), ElementsAre (ElementsAre (0x02), ElementsAre (0x01, 0x00, 0x00, 0x00, 0x01)));
  }

  Log ().Clear ();
  Answer (Ok ({ 0x00 }), Fail (EFI_NOT_READY));
  EXPECT_EQ (Service->SetOem1CState (nullptr, Service, 1, &Bmc0, 0), EFI_BMC_RETRY);
  EXPECT_EQ (Sends ().size (), 1u + 15u);
}

TEST_F (Oem1CTest, SetStateRefusals) {
  EXPECT_EQ (Service->SetOem1CState (nullptr, Service, 2, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->SetOem1CState (nullptr, Service, 0x101, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->SetOem1CState (nullptr, Service, 1, &Bmc0, 2), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->SetOem1CState (nullptr, nullptr, 1, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_TRUE (Log ().Of (EventKind::TrackBmcStatus).empty ());

  Board.Transport.MarkUnusable (0);
  EXPECT_EQ (Service->SetOem1CState (nullptr, Service, 1, &Bmc0, 0), EFI_DEVICE_ERROR);
  EXPECT_TRUE (Sends ().empty ());
}

TEST_F (Oem1CTest, GetStateWidensTheByteAndInventsNothing) {
  UINT32  State = 0xFFFFFFFF;

  Bmc (1).Then (Ok ({ 0x01 })).Then (Fail (EFI_NOT_READY)).Then (Ok ());
  EXPECT_EQ (Service->GetOem1CState (nullptr, Service, &State, &Bmc1, 0), EFI_SUCCESS);
  EXPECT_EQ (State, 1u);
  EXPECT_EQ (Describe (Sends ().at (0)), "ipmi  SendCommand bmc 1 netfn 3Ah cmd 1Ch req [02] cap 1 -> EFI_SUCCESS resp [01]");

  State = 0x55;
  EXPECT_EQ (Service->GetOem1CState (nullptr, Service, &State, &Bmc1, 0), EFI_NOT_READY);
  EXPECT_EQ (Sends ().size (), 2u);
  EXPECT_EQ (Service->GetOem1CState (nullptr, Service, &State, &Bmc1, 0), EFI_PROTOCOL_ERROR);
  EXPECT_EQ (State, 0x55u);
  EXPECT_EQ (Service->GetOem1CState (nullptr, Service, nullptr, &Bmc1, 0), EFI_INVALID_PARAMETER);
}

}  // namespace
}  // namespace OskelTest
