// The BMC's side of an SSIF system interface, byte by byte, behind a fake
// of the board's SMBus2 PPI. The fake hands each SMBus block transaction to
// the device at its target address (none there: a NACK), records every
// call, moves the board's clock on by the transaction's time on a 100 kHz
// bus, and can spoil chosen calls (a bus error, a PEC mismatch) or report
// a length past the room it was given, as a broken driver would.
//
// The model takes a request in one block write (02h) or in parts (06h,
// 07h middles, 08h), hands it to any BMC endpoint (a scripted BMC or the
// stateful model), and gives the answer in one block read (03h) or as a
// multi-part read (03h start marked 00h 01h, 09h middles numbered from 0,
// the last numbered FFh, 0Ah the block just read again). It answers Get
// System Interface Capabilities itself, as an SSIF BMC's interface does.
// Faults are scripted per request.
//
// A protocol checker judges every transaction against the SSIF flows: only
// block writes and reads, with the SSIF command bytes; single blocks of 2
// to 32 bytes; a start and every middle exactly 32 bytes, an end 1 to 32,
// middles and ends only after a start; multi-part writes only to a BMC
// that reported them (middles only with start, middle and end support);
// no request larger than the BMC's input size; no read without a request
// (once an answer is read whole, 03h again is NACKed, not judged: a host
// that dropped the block as not its own asks again);
// 09h only within a multi-part read, 0Ah only after a 09h; room for a
// whole block on every read; PEC on every transaction once the BMC has
// said it takes PEC, never before or otherwise. Each breach is recorded in
// Violations. Host only.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <Ppi/Smbus2.h>

#include "SimulatedPei.h"
#include "SimulatedTransport.h"

namespace OskelSim {

struct SimClock;

struct SsifFaults {
  // The request's write transactions NACKed: the next NackWrites of them
  // (~0u: all).
  unsigned NackWrites = 0;
  // 03h reads NACKed after the request, the BMC still preparing the
  // answer; ~0u: it never has one.
  unsigned NackReads = 0;
  // 03h reads after the request, before the answer is ready, that are not
  // NACKed but bring the block read last once more (the answer before):
  // what QEMU's smbus-ipmi does in place of the NACK.
  unsigned StaleReads = 0;
  // The middle block of this number carries the number plus 10h.
  std::optional<uint8_t> WrongBlockNumber;
  // The middle block of this number is never sent: the read that should
  // bring it brings the next.
  std::optional<uint8_t> SkipBlock;
  // The last block carries this many bytes more than the answer has (past
  // the output size the BMC announced when the answer fills it).
  unsigned LastBlockExtra = 0;
  // After this many middle blocks the BMC ends the read: 09h reads get an
  // empty block.
  std::optional<uint8_t> EndAfterBlocks;
  // Header bytes of the answer replaced.
  std::optional<uint8_t> ResponseNetFnLun;
  std::optional<uint8_t> ResponseCommand;
};

class SsifBmcModel {
public:
  SsifBmcModel (uint8_t Address, BmcEndpoint &Endpoint, uint8_t Index = 0);

  const uint8_t Address;

  // One block transaction addressed to this BMC; EFI_DEVICE_ERROR is a NACK.
  EFI_STATUS Execute (uint8_t Command, EFI_SMBUS_OPERATION Operation, bool Pec, UINTN *Length, uint8_t *Buffer);

  // What Get System Interface Capabilities reports: transaction support
  // (0: single blocks, 1: start and end, 2: start, middle and end), PEC,
  // the largest request and answer. CapabilitiesCode: answered with that
  // completion code and no data instead, or with the data all the same
  // when CapabilitiesDataWithCode (the host must not believe them).
  uint8_t                Transactions = 2;
  bool                   Pec          = false;
  uint8_t                InputSize    = 0xFF;
  uint8_t                OutputSize   = 0xFF;
  std::optional<uint8_t> CapabilitiesCode;
  bool                   CapabilitiesDataWithCode = false;

  // Not fitted, or hung: every transaction is NACKed.
  bool Absent = false;

  // Faults for the next requests; Once is consumed by the next request
  // (Get System Interface Capabilities included), Always applies to every one.
  SsifFaults                Always;
  std::optional<SsifFaults> Once;

  void SetEndpoint (BmcEndpoint &Endpoint) { mEndpoint = &Endpoint; }

  // Back to health: fitted, no faults, nothing under way.
  void Recover ();

  std::vector<Request>     Requests;   // the endpoint's requests
  std::vector<Bytes>       Messages;   // every request message as assembled
  std::vector<Bytes>       Answers;    // every answer message, before it is cut into blocks
  unsigned                 CapabilityRequests = 0;
  std::vector<std::string> Violations;

private:
  enum class Phase { Idle, Writing, Pending, Reading };

  void Violation (const std::string &What);
  void TakeRequest ();
  EFI_STATUS Write (uint8_t Command, const Bytes &Data);
  EFI_STATUS Read (uint8_t Command, UINTN *Length, uint8_t *Buffer);

  BmcEndpoint       *mEndpoint;
  uint8_t           mIndex;
  Phase             mPhase     = Phase::Idle;
  bool              mToldPec   = false;   // the capabilities answer, read, said PEC
  bool              mToldCaps  = false;   // the capabilities answer has been read
  bool              mTelling   = false;   // the answer being read is the capabilities
  bool              mArmed     = false;   // this request's write faults are set
  bool              mMultiRead = false;
  bool              mReadMiddle = false;  // a 09h has been read in this read
  bool              mAnswered  = false;   // the last answer read whole, no write since
  SsifFaults        mFaults;
  unsigned          mNackWrites = 0;
  unsigned          mNackReads  = 0;
  unsigned          mStaleReads = 0;
  Bytes             mInput;
  std::vector<Bytes> mBlocks;             // the answer's blocks, in order
  size_t            mNext = 0;            // the next block to give
  Bytes             mLast;                // the block given last
};

struct SmbusCall {
  uint8_t             Address;
  uint8_t             Command;
  EFI_SMBUS_OPERATION Operation;
  bool                Pec;
  Bytes               Data;     // written, or read as the driver returns it
  EFI_STATUS          Status;

  bool operator== (const SmbusCall &Other) const = default;
};

// "W 10 02 [18 01] ok", "R 10 03 [1c 01 00] nack": one call as a line.
std::string Describe (const SmbusCall &Call);

class FakeSmbus {
public:
  explicit FakeSmbus (SimClock &Clock);
  FakeSmbus (const FakeSmbus &) = delete;
  FakeSmbus &operator= (const FakeSmbus &) = delete;

  EFI_PEI_SMBUS2_PPI *Ppi () { return &mHolder.Ppi; }

  void Attach (SsifBmcModel &Device) { mDevices.push_back (&Device); }

  std::vector<SmbusCall>   Calls;
  std::vector<std::string> Violations;
  // The Nth call (1-based) fails with this status: a collision or a bus
  // error (EFI_DEVICE_ERROR) or a controller timeout (EFI_TIMEOUT) before
  // it reaches a device; a PEC mismatch (EFI_CRC_ERROR) after the device
  // has done its part.
  std::map<size_t, EFI_STATUS> FailCall;
  // Reads report this length whatever was read (a driver that misreports).
  std::optional<UINTN> ReportLength;
  // Bus time per byte on the wire: 9 bit times at 100 kHz.
  uint64_t NanosecondsPerByte = 90000;

  std::vector<std::string> Lines () const;

private:
  struct Holder {
    EFI_PEI_SMBUS2_PPI Ppi;
    FakeSmbus          *Owner;
  };

  static EFI_STATUS EFIAPI ExecuteThunk (CONST EFI_PEI_SMBUS2_PPI *, EFI_SMBUS_DEVICE_ADDRESS, EFI_SMBUS_DEVICE_COMMAND,
                                         EFI_SMBUS_OPERATION, BOOLEAN, UINTN *, VOID *);
  static EFI_STATUS EFIAPI ArpDeviceThunk (CONST EFI_PEI_SMBUS2_PPI *, BOOLEAN, EFI_SMBUS_UDID *, EFI_SMBUS_DEVICE_ADDRESS *);
  static EFI_STATUS EFIAPI GetArpMapThunk (CONST EFI_PEI_SMBUS2_PPI *, UINTN *, EFI_SMBUS_DEVICE_MAP **);
  static EFI_STATUS EFIAPI NotifyThunk (CONST EFI_PEI_SMBUS2_PPI *, EFI_SMBUS_DEVICE_ADDRESS, UINTN, EFI_PEI_SMBUS_NOTIFY2_FUNCTION);

  EFI_STATUS Execute (UINTN Address, UINTN Command, EFI_SMBUS_OPERATION Operation, BOOLEAN Pec, UINTN *Length, VOID *Buffer);

  SimClock                    &mClock;
  Holder                      mHolder{};
  std::vector<SsifBmcModel *> mDevices;
};

}  // namespace OskelSim
