// Multi-exchange operations with every SendCommand failing in turn, with
// EFI_DEVICE_ERROR, EFI_NOT_READY and a completion code: the status, what
// the caller's outputs hold, how many commands went out, and the guards.
#include <functional>

#include "BoardFixture.h"
#include "Fuzz/GuardMonitor.h"

namespace OskelTest {
namespace {

using OskelSim::Request;

constexpr UINT32   kHandle       = 0x11223344;
constexpr uint8_t  kUploadHandle = 0x42;
constexpr uint8_t  kFill         = 0xAA;
constexpr size_t   kLength       = 500;       // three chunks: 224, 224, 52
constexpr uint8_t  kSerialChannel = 2;

uint8_t
Pattern (size_t Index)
{
  return static_cast<uint8_t>(Index * 13 + 1);
}

// A BMC that answers every command of the module in full.
Reply
WellBehavedBmc (const Request &R)
{
  const Bytes  Id{ OEM_MANUFACTURER_ID_BYTE0, OEM_MANUFACTURER_ID_BYTE1, OEM_MANUFACTURER_ID_BYTE2 };
  Bytes        Out;

  switch ((R.NetFn << 8) | R.Command) {
    case 0x2E90:
      Out = Id;
      switch (R.Data.at (3)) {
        case 0x01:
        case 0x06:
          Out.insert (Out.end (), { uint8_t (kHandle), uint8_t (kHandle >> 8), uint8_t (kHandle >> 16), uint8_t (kHandle >> 24) });
          break;
        case 0x02: {
          size_t  Asked = R.Data.at (12) | (R.Data.at (13) << 8);
          Out.insert (Out.end (), { uint8_t (Asked), uint8_t (Asked >> 8) });
          for (size_t Index = 0; Index < Asked; Index++) {
            Out.push_back (Pattern (Index));
          }

          break;
        }
        case 0x03: {
          size_t  Carried = R.Data.size () - 12;
          Out.insert (Out.end (), { uint8_t (Carried), uint8_t (Carried >> 8) });
          break;
        }
      }

      return Ok (Out);
    case 0x2E92:
      Out = Id;
      Out.insert (Out.end (), { kUploadHandle, 0 });
      return Ok (Out);
    case 0x3A0B:
      for (size_t Index = 0; Index < R.Data.at (3); Index++) {
        Out.push_back (Pattern (Index));
      }

      return Ok (Out);
    case 0x3A1C:
      return (R.Data.at (0) == 0x02) ? Ok ({ 0x00 }) : Ok ();
    case 0x0642:
      return Ok ({ R.Data.at (0), uint8_t ((R.Data.at (0) == kSerialChannel) ? 0x05 : 0x04), 0, 0, 0, 0, 0, 0, 0 });
    case 0x0C11:
      return Ok ({ 0x11, 0x00, 0x00 });
    case 0x0641:
      return Ok ({ 0x3B, 0xC4 });
    case 0x0C12:
      return Ok ({ 0x00 });
    default:
      return Ok ();
  }
}

// Completion code 0Ah..10h would be mapped by the file service; C0h is
// mapped by no table.
constexpr EFI_STATUS  kCompletionCode = 0xC0;

EFI_STATUS
MapFile (EFI_STATUS Status)
{
  return (Status == kCompletionCode) ? EFI_BMC_UNEXPECTED_CODE : Status;
}

// What one run left behind.
struct Outcome {
  EFI_STATUS  Status;
  size_t      Sends;
  Bytes       Buffer;   // the caller's data buffer, where there is one
  uint64_t    Output;   // the caller's length, count or total
};

// What the operation must leave when send Nth of Total fails with Fault.
struct Expectation {
  EFI_STATUS  Status;
  size_t      Sends;
  uint64_t    Output;
  size_t      BufferWritten;  // leading bytes of Buffer that hold BMC data; the rest keeps kFill
};

struct OperationRow {
  const char                                                     *Name;
  std::function<Outcome (BMC_COMMANDS_PPI *, UINT8 *)>           Run;
  std::function<Expectation (size_t Nth, size_t Total, EFI_STATUS Fault)> Expect;
};

Outcome
RunRegionRead (BMC_COMMANDS_PPI *Service, UINT8 *Bmc)
{
  Bytes   Buffer (kLength, kFill);
  UINT16  Length = kLength;
  EFI_STATUS  Status = Service->RegionRead (nullptr, Service, 0x0100, 0x5A, &Length, Buffer.data (), Bmc, 0);
  return Outcome{ Status, 0, Buffer, Length };
}

Outcome
RunRegionWrite (BMC_COMMANDS_PPI *Service, UINT8 *Bmc)
{
  Bytes   Data (kLength, 0x33);
  UINT16  Length = kLength;
  EFI_STATUS  Status = Service->RegionWrite (nullptr, Service, 0x0100, 0x5A, &Length, Data.data (), Bmc, 0);
  return Outcome{ Status, 0, {}, Length };
}

Outcome
RunFileRead (BMC_COMMANDS_PPI *Service, UINT8 *Bmc)
{
  Bytes   Buffer (kLength, kFill);
  UINT32  BytesRead = 0xAAAAAAAA;
  EFI_STATUS  Status = Service->FileRead (nullptr, Service, kHandle, 0, kLength, Buffer.data (), &BytesRead, Bmc, 0);
  return Outcome{ Status, 0, Buffer, BytesRead };
}

Outcome
RunFileWrite (BMC_COMMANDS_PPI *Service, UINT8 *Bmc)
{
  Bytes   Data (kLength, 0x33);
  UINT32  Count = kLength;
  EFI_STATUS  Status = Service->FileWrite (nullptr, Service, kHandle, 0, Data.data (), &Count, Bmc, 0);
  return Outcome{ Status, 0, {}, Count };
}

Outcome
RunReadKnownFile (BMC_COMMANDS_PPI *Service, UINT8 *Bmc)
{
  Bytes   Buffer (kLength, kFill);
  UINT32  BytesRead = 0xAAAAAAAA;
  EFI_STATUS  Status = Service->ReadKnownFile (nullptr, Service, KNOWN_FILE_CONFIG, 0, kLength, Buffer.data (), &BytesRead, nullptr, Bmc, 0);
  return Outcome{ Status, 0, Buffer, BytesRead };
}

Outcome
RunWriteKnownFile (BMC_COMMANDS_PPI *Service, UINT8 *Bmc)
{
  Bytes   Data (kLength, 0x33);
  UINT32  Count = kLength;
  EFI_STATUS  Status = Service->WriteKnownFile (nullptr, Service, KNOWN_FILE_CONFIG, 0, Data.data (), &Count, nullptr, Bmc, 0);
  return Outcome{ Status, 0, {}, Count };
}

Outcome
RunUploadBlocks (BMC_COMMANDS_PPI *Service, UINT8 *Bmc)
{
  Bytes   Data (300, 0x33);   // 32 + 224 + 44
  UINT32  Length = 300;
  return Outcome{ Service->UploadBlocks (nullptr, Service, 1, 5, Data.data (), &Length, FALSE, Bmc, 0), 0, {}, Length };
}

Outcome
RunUploadBlocksOp1 (BMC_COMMANDS_PPI *Service, UINT8 *Bmc)
{
  Bytes   Data (300, 0x33);
  UINT32  Length = 300;
  return Outcome{ Service->UploadBlocksOp1 (nullptr, Service, 1, 5, Data.data (), &Length, Bmc, 0), 0, {}, Length };
}

Outcome
RunConfigureSerialConsole (BMC_COMMANDS_PPI *Service, UINT8 *Bmc)
{
  // Every gate open, shared access: the whole sequence with the mux hand-over.
  const SERIAL_CONSOLE_CONFIG  Config = { 1, 1, 3, 4, 0, 0, 1 };
  return Outcome{ Service->ConfigureSerialConsole (nullptr, Service, &Config, Bmc, 0), 0, {}, 0 };
}

// Chunked transfers: the failing chunk ends the transfer; the chunks before
// it keep their data in the caller's buffer; the total stays unwritten.
Expectation
ChunkFailure (size_t Nth, EFI_STATUS Status, uint64_t OutputAfterFailure)
{
  return Expectation{ Status, Nth, OutputAfterFailure, (Nth - 1) * BMC_CHUNK_SIZE };
}

// The whole-file sequence is open, one send per chunk, close. A failed
// open ends it; a failed chunk still closes; a failed close is ignored.
Expectation
WholeFile (size_t Nth, size_t Total, EFI_STATUS Fault, bool Read)
{
  const uint64_t  Untouched = Read ? 0xAAAAAAAA : kLength;
  if (Nth == 1) {
    return Expectation{ MapFile (Fault), 1, Untouched, 0 };
  }

  if (Nth == Total) {
    return Expectation{ EFI_SUCCESS, Total, kLength, Read ? kLength : 0 };
  }

  return Expectation{ MapFile (Fault), Nth + 1, Read ? 0 : kLength, Read ? (Nth - 2) * BMC_CHUNK_SIZE : 0 };
}

// The serial sequence on a BMC whose channel 2 is the serial one: channel
// info 1 and 2, mux control read and write, volatile then non-volatile
// channel access (read, write), the mux hand-over, the comm settings.
Expectation
SerialConsole (size_t Nth, size_t Total, EFI_STATUS Fault)
{
  switch (Nth) {
    case 1:  // channel 1 fails: the scan goes on and finds channel 2
      return Expectation{ EFI_SUCCESS, Total, 0, 0 };
    case 2:  // channel 2 fails: channels 3 to 7 answer, none serial
      return Expectation{ EFI_NOT_FOUND, 7, 0, 0 };
    case 3:  // reading Mux Switch Control ends the sequence
      return Expectation{ Fault, 3, 0, 0 };
    case 5:
    case 7:  // a failed channel access read skips its write; both are not looked at
      return Expectation{ EFI_SUCCESS, Total - 1, 0, 0 };
    case 9:  // the mux is asked again
      return Expectation{ EFI_SUCCESS, Total + 1, 0, 0 };
    case 10:  // the comm settings write is the result
      return Expectation{ Fault, Total, 0, 0 };
    default:  // mux control write and channel access writes are not looked at
      return Expectation{ EFI_SUCCESS, Total, 0, 0 };
  }
}

const OperationRow  mOperations[] = {
  { "RegionRead", RunRegionRead, [](size_t Nth, size_t, EFI_STATUS Fault) { return ChunkFailure (Nth, Fault, kLength); } },
  { "RegionWrite", RunRegionWrite, [](size_t Nth, size_t, EFI_STATUS Fault) { return ChunkFailure (Nth, Fault, kLength); } },
  { "FileRead", RunFileRead, [](size_t Nth, size_t, EFI_STATUS Fault) { return ChunkFailure (Nth, MapFile (Fault), 0); } },
  { "FileWrite", RunFileWrite, [](size_t Nth, size_t, EFI_STATUS Fault) { return ChunkFailure (Nth, MapFile (Fault), kLength); } },
  { "ReadKnownFile", RunReadKnownFile, [](size_t Nth, size_t Total, EFI_STATUS Fault) { return WholeFile (Nth, Total, Fault, true); } },
  { "WriteKnownFile", RunWriteKnownFile, [](size_t Nth, size_t Total, EFI_STATUS Fault) { return WholeFile (Nth, Total, Fault, false); } },
  { "UploadBlocks", RunUploadBlocks, [](size_t Nth, size_t, EFI_STATUS Fault) { return Expectation{ Fault, Nth, 300, 0 }; } },
  { "UploadBlocksOp1", RunUploadBlocksOp1, [](size_t Nth, size_t, EFI_STATUS Fault) { return Expectation{ Fault, Nth, 300, 0 }; } },
  { "ConfigureSerialConsole", RunConfigureSerialConsole, SerialConsole },
};

struct FaultRow {
  const char  *Name;
  EFI_STATUS  Fault;
};

const FaultRow  mFaults[] = {
  { "DeviceError", EFI_DEVICE_ERROR },
  { "NotReady", EFI_NOT_READY },
  { "CompletionCode", kCompletionCode },
};

void PrintTo (const OperationRow &Row, std::ostream *Out) { *Out << Row.Name; }
void PrintTo (const FaultRow &Row, std::ostream *Out) { *Out << Row.Name; }

class TransferFaultTest : public BoardTest, public ::testing::WithParamInterface<std::tuple<OperationRow, FaultRow>> {
protected:
  // Runs the operation with send Nth (1-based; 0: none) answered by Fault.
  Outcome RunWithFault (const OperationRow &Operation, size_t Nth, EFI_STATUS Fault)
  {
    size_t  Sent = 0;
    Bmc (0).Handler            = WellBehavedBmc;
    Board.Transport.SendHook   = [&](const Request &, Reply Answer) {
      return (++Sent == Nth) ? Fail (Fault) : Answer;
    };
    OskelCheck::GuardMonitor  Monitor (Board.Transport, Service);
    Outcome                   Result = Operation.Run (Service, &Bmc0);
    Result.Sends = Monitor.Sends;
    EXPECT_THAT (Monitor.Finish (), ::testing::IsEmpty ());
    Board.Transport.SendHook = nullptr;
    return Result;
  }
};

TEST_P (TransferFaultTest, EverySendFailingInTurn) {
  const auto &[Operation, Fault] = GetParam ();
  const Outcome  Clean           = RunWithFault (Operation, 0, 0);

  ASSERT_EQ (Clean.Status, EFI_SUCCESS);
  ASSERT_GE (Clean.Sends, 2u);
  for (size_t Nth = 1; Nth <= Clean.Sends; Nth++) {
    SCOPED_TRACE ("send " + std::to_string (Nth) + " of " + std::to_string (Clean.Sends));
    const Expectation  Expected = Operation.Expect (Nth, Clean.Sends, Fault.Fault);
    const Outcome      Result   = RunWithFault (Operation, Nth, Fault.Fault);

    EXPECT_EQ (Result.Status, Expected.Status);
    EXPECT_EQ (Result.Sends, Expected.Sends);
    EXPECT_EQ (Result.Output, Expected.Output);
    for (size_t Index = 0; Index < Result.Buffer.size (); Index++) {
      const uint8_t  Want = (Index < Expected.BufferWritten) ? Pattern (Index % BMC_CHUNK_SIZE) : kFill;
      if (Result.Buffer[Index] != Want) {
        ADD_FAILURE () << "buffer byte " << Index << " holds " << int(Result.Buffer[Index]) << ", expected " << int(Want);
        break;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P (
  Operations,
  TransferFaultTest,
  ::testing::Combine (::testing::ValuesIn (mOperations), ::testing::ValuesIn (mFaults)),
  [](const auto &Info) { return std::string (std::get<0>(Info.param).Name) + "_" + std::get<1>(Info.param).Name; }
  );

// Command 1Ch: EFI_NOT_READY is retried, anything else ends the operation.
struct Oem1CRow {
  const char                                          *Name;
  std::function<EFI_STATUS (BMC_COMMANDS_PPI *, UINT8 *)> Run;
  size_t                                              ReadsFirst;   // SetOem1CState reads the state first
};

const Oem1CRow  mOem1C[] = {
  { "Oem1CSetWord", [](BMC_COMMANDS_PPI *S, UINT8 *B) { return S->Oem1CSetWord (nullptr, S, 0x1234, B, 0); }, 0 },
  { "Oem1CClear", [](BMC_COMMANDS_PPI *S, UINT8 *B) { return S->Oem1CClear (nullptr, S, B, 0); }, 0 },
  { "Oem1CSetWordEx", [](BMC_COMMANDS_PPI *S, UINT8 *B) { return S->Oem1CSetWordEx (nullptr, S, 0x1234, B, 0); }, 0 },
  { "SetOem1CState", [](BMC_COMMANDS_PPI *S, UINT8 *B) { return S->SetOem1CState (nullptr, S, 1, B, 0); }, 1 },
};

void PrintTo (const Oem1CRow &Row, std::ostream *Out) { *Out << Row.Name; }

class Oem1CFaultTest : public BoardTest, public ::testing::WithParamInterface<std::tuple<Oem1CRow, FaultRow>> {};

TEST_P (Oem1CFaultTest, EverySendFailingInTurn) {
  const auto &[Operation, Fault] = GetParam ();
  Bmc (0).Handler = WellBehavedBmc;
  const size_t  Total = Operation.ReadsFirst + 1;

  for (size_t Nth = 0; Nth <= Total; Nth++) {
    SCOPED_TRACE ("send " + std::to_string (Nth));
    size_t  Sent = 0;
    Board.Transport.SendHook = [&](const Request &, Reply Answer) {
      return (++Sent == Nth) ? Fail (Fault.Fault) : Answer;
    };
    OskelCheck::GuardMonitor  Monitor (Board.Transport, Service);
    EFI_STATUS                Status = Operation.Run (Service, &Bmc0);
    EXPECT_THAT (Monitor.Finish (), ::testing::IsEmpty ());
    if ((Nth == 0) || (Nth <= Operation.ReadsFirst)) {
      // A failed read of the state does not stop the set.
      EXPECT_EQ (Status, EFI_SUCCESS);
      EXPECT_EQ (Monitor.Sends, Total);
    } else if (Fault.Fault == EFI_NOT_READY) {
      EXPECT_EQ (Status, EFI_SUCCESS);
      EXPECT_EQ (Monitor.Sends, Total + 1);
    } else {
      EXPECT_EQ (Status, Fault.Fault);
      EXPECT_EQ (Monitor.Sends, Total);
    }
  }
}

INSTANTIATE_TEST_SUITE_P (
  Operations,
  Oem1CFaultTest,
  ::testing::Combine (::testing::ValuesIn (mOem1C), ::testing::ValuesIn (mFaults)),
  [](const auto &Info) { return std::string (std::get<0>(Info.param).Name) + "_" + std::get<1>(Info.param).Name; }
  );

}  // namespace
}  // namespace OskelTest
