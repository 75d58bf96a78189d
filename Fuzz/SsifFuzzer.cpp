// libFuzzer harness of the IPMI transport's SSIF interface: the board's
// SMBus driver and the clock come from the input. Every SMBus transaction
// takes the next input byte for its outcome (taken, NACK, PEC mismatch,
// controller timeout), and a read that goes through takes a length byte
// (any value: a driver that reports more than the room it was given too)
// and the bytes it delivers; every read of the 8254's counter takes the
// next input byte. So the fuzzer chooses every block of every answer, its
// start mark, block numbers and header included, every NACK and bus error,
// and how far the clock moves between two attempts.
//
// Input: byte 0 the BMC count of the platform HOB (bits 1:0, 0 to 3),
// every BMC on SSIF (addresses 10h, 11h, 12h), in bit 2 a settings HOB
// naming a PM timer at 608h whose reads fail (so the first long wait hands
// over to the 8254), in bit 3 no SMBus driver at all; then per call a
// 5-byte header (operation, NetFn, command, request length, capacity), the
// request bytes, then the bytes the call consumes; the remaining input
// feeds the next call.
//
// Stops on an ASan/UBSan report (the response buffer is an exact heap
// block), a stored count above the capacity or above the bytes the reads
// delivered, a status outside the transport's set, an accepted answer
// with no block read after the request that carries its NetFn + 1 and
// command, or whose first such block has another completion code than the
// one returned, a transaction other than a block write or read with the
// SSIF command bytes, a block write of more than 32 bytes or none, a read
// given room for less than a block, a middle or end write without a start
// before it, a PEC flag on a BMC that never said it takes PEC, a phase-0
// state other than 0 or 1, and a call that keeps retrying failed
// transactions while the clock does not move.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <Ppi/Smbus2.h>

#include "IpmiTransport/Pei/IpmiTransportPei.h"
#include "SimulatedPei.h"
#include "TransportFuzz.h"

void
OskelFuzz::Finding (const char *What)
{
  std::fprintf (stderr, "SSIF fuzzer finding: %s\n", What);
  std::abort ();
}

namespace {

using OskelFuzz::Finding;
using OskelSim::Bytes;

constexpr uint8_t  mAddresses[] = { 0x10, 0x11, 0x12 };

struct Transaction {
  bool     Write;
  uint8_t  Command;
  bool     Taken;
  Bytes    Data;
};

// The input as the 8254 and the SMBus driver deliver it.
class FuzzedBoard : public OskelSim::PortDevice {
public:
  FuzzedBoard (const uint8_t *Input, size_t Size) : mInput (Input), mSize (Size)
  {
    mHolder.Ppi.Execute = ExecuteThunk;
    mHolder.Owner       = this;
  }

  bool Claims (uint16_t Port) const override { return (Port == 0x40) || (Port == 0x43); }

  uint8_t Read (uint16_t Port) override
  {
    const uint8_t  Value = Next ();

    (void)Port;
    mCount = (mClockBytes == 0) ? Value : static_cast<uint16_t>(mCount | (Value << 8));
    if (++mClockBytes == 2) {
      if (mCount != mLastCount) {
        StillFailures = 0;
      }

      mLastCount = mCount;
    }

    return Value;
  }

  void Write (uint16_t Port, uint8_t Value) override
  {
    (void)Port;
    (void)Value;
    mClockBytes = 0;
  }

  EFI_PEI_SMBUS2_PPI *Ppi () { return &mHolder.Ppi; }

  uint8_t Next () { return (mAt < mSize) ? mInput[mAt++] : 0; }
  bool Exhausted () const { return mAt >= mSize; }

  std::vector<Transaction> Log;
  size_t                   StillFailures    = 0;
  size_t                   MostStillFailures = 0;

private:
  struct Holder {
    EFI_PEI_SMBUS2_PPI Ppi;
    FuzzedBoard        *Owner;
  };

  static EFI_STATUS EFIAPI
  ExecuteThunk (
    CONST EFI_PEI_SMBUS2_PPI *This, EFI_SMBUS_DEVICE_ADDRESS Target, EFI_SMBUS_DEVICE_COMMAND Command,
    EFI_SMBUS_OPERATION Operation, BOOLEAN Pec, UINTN *Length, VOID *Buffer
    )
  {
    return reinterpret_cast<const Holder *>(This)->Owner->Execute (Target.SmbusDeviceAddress, Command, Operation, Pec, Length, Buffer);
  }

  EFI_STATUS Execute (UINTN Target, UINTN Command, EFI_SMBUS_OPERATION Operation, BOOLEAN Pec, UINTN *Length, VOID *Buffer)
  {
    auto  *Bytes_ = static_cast<uint8_t *>(Buffer);

    if (std::find (std::begin (mAddresses), std::end (mAddresses), Target) == std::end (mAddresses)) {
      Finding ("transaction to an address no BMC has");
    }

    if ((Operation != EfiSmbusWriteBlock) && (Operation != EfiSmbusReadBlock)) {
      Finding ("SMBus operation other than a block write or read");
    }

    const bool  Write = (Operation == EfiSmbusWriteBlock);
    if (Write ? ((Command != 0x02) && (Command != 0x06) && (Command != 0x07) && (Command != 0x08))
              : ((Command != 0x03) && (Command != 0x09) && (Command != 0x0A)))
    {
      Finding ("SSIF transaction with a command byte of the other direction or none");
    }

    if (Write && ((*Length == 0) || (*Length > 32))) {
      Finding ("block write of more than 32 bytes or none");
    }

    if (!Write && (*Length < 32)) {
      Finding ("block read with room for less than a block");
    }

    if (Write && ((Command == 0x07) || (Command == 0x08))) {
      const auto  Last = std::find_if (Log.rbegin (), Log.rend (), [](const Transaction &T) { return T.Write; });
      if ((Last == Log.rend ()) || !Last->Taken || ((Last->Command != 0x06) && (Last->Command != 0x07))) {
        Finding ("multi-part write middle or end without a start taken before it");
      }
    }

    // No BMC here reports PEC unless its capabilities answer said so, and
    // the transport must not assume it.
    if ((Pec != 0) && !PecTold) {
      Finding ("PEC on a BMC that never said it takes it");
    }

    Transaction  T{ Write, static_cast<uint8_t>(Command), false, {} };
    const uint8_t  Outcome = Next ();
    EFI_STATUS     Status  = EFI_SUCCESS;
    switch (Outcome % 8) {
      case 5:
        Status = EFI_DEVICE_ERROR;
        break;
      case 6:
        Status = EFI_CRC_ERROR;
        break;
      case 7:
        Status = EFI_TIMEOUT;
        break;
      default:
        break;
    }

    if (Write) {
      T.Data.assign (Bytes_, Bytes_ + *Length);
    } else if (Status == EFI_SUCCESS) {
      const uint8_t  Said   = Next ();
      const size_t   Copied = std::min<size_t>(Said, *Length);
      for (size_t At = 0; At < Copied; At++) {
        Bytes_[At] = Next ();
      }

      T.Data.assign (Bytes_, Bytes_ + Copied);
      *Length = Said;
      // A capabilities answer (completion code 00h; in one block, or the
      // start of a multi-part read) that says PEC lets PEC follow.
      const size_t  Mark = ((Copied == 32) && (T.Data[0] == 0x00) && (T.Data[1] == 0x01)) ? 2 : 0;
      if ((Copied >= Mark + 5) && (T.Data[Mark] == 0x1C) && (T.Data[Mark + 1] == 0x57) && (T.Data[Mark + 2] == 0x00) &&
          ((T.Data[Mark + 4] & 0x08) != 0))
      {
        PecTold = true;
      }
    }

    T.Taken = (Status == EFI_SUCCESS);
    // Blocks taken are progress, bounded by the message; only retries
    // are paced by the clock.
    if (!T.Taken) {
      MostStillFailures = std::max (MostStillFailures, ++StillFailures);
    }

    Log.push_back (T);
    return Status;
  }

public:
  bool PecTold = false;

private:
  const uint8_t  *mInput;
  size_t         mSize;
  size_t         mAt = 0;
  unsigned       mClockBytes = 0;
  uint16_t       mCount = 0;
  uint16_t       mLastCount = 0;
  Holder         mHolder{};
};

}  // namespace

extern "C" int
LLVMFuzzerTestOneInput (const uint8_t *Data, size_t Size)
{
  if (Size < 1) {
    return 0;
  }

  OskelSim::Trace         Log;
  OskelSim::SimulatedPei  Pei (Log);
  FuzzedBoard             Board (Data + 1, Size - 1);
  const uint8_t           Bmcs     = Data[0] % 4;
  const bool              PmTimer  = (Data[0] & 4) != 0;
  const bool              NoDriver = (Data[0] & 8) != 0;

  Pei.AttachPortDevice (&Board);
  Pei.Hobs.AddPlatformBmcInfo (std::vector<uint16_t>(Bmcs, 0x0000));
  Bytes  Entries{ Bmcs, 0, 0, 0 };
  for (uint8_t Index = 0; Index < Bmcs; Index++) {
    Entries.insert (Entries.end (), { IPMI_INTERFACE_SSIF, 0, mAddresses[Index], 0 });
  }

  Pei.Hobs.AddGuidHob (IPMI_TRANSPORT_INTERFACES_HOB_GUID, Entries);
  if (PmTimer) {
    OskelFuzz::AddStillPmTimer (Pei);
  }

  if (!NoDriver) {
    Pei.Install (EFI_PEI_SMBUS2_PPI_GUID, Board.Ppi ());
  }

  IPMI_TRANSPORT_PPI  *Transport = OskelFuzz::StartTransport (Pei);

  for (unsigned Call = 0; (Call < 16) && !Board.Exhausted (); Call++) {
    const OskelFuzz::FuzzedCall  C        = OskelFuzz::ReadCall (Board);
    const uint8_t                NetFn    = C.NetFn;
    const uint8_t                Command  = C.Command;
    const uint8_t                Capacity = C.Capacity;

    Board.Log.clear ();
    Board.StillFailures     = 0;
    Board.MostStillFailures = 0;
    OskelFuzz::CallTransport (
      Pei.Services (), Transport, C.Operation, NetFn, Command, C.Request, Capacity,
      [&](EFI_STATUS Status, const uint8_t *Response, UINT8 Stored) {
        (void)Response;
        // The answer's first block: the first read taken after the last
        // write taken that carries the request's NetFn + 1 and command,
        // after its start mark when it has one; the transport drops the
        // blocks before it as not its answer.
        const auto  LastWrite = std::find_if (Board.Log.rbegin (), Board.Log.rend (), [](const Transaction &T) { return T.Write && T.Taken; });
        if (LastWrite == Board.Log.rend ()) {
          Finding ("answer accepted without a request written");
        }

        size_t  Delivered = 0;
        Bytes   First;
        size_t  Mark = 0;
        for (auto At = LastWrite.base (); At != Board.Log.end (); ++At) {
          if (At->Write || !At->Taken) {
            continue;
          }

          if (First.empty ()) {
            const Bytes  &B = At->Data;
            Mark = ((B.size () == 32) && (B[0] == 0x00) && (B[1] == 0x01)) ? 2 : 0;
            if ((B.size () < Mark + 3) || (B[Mark] != static_cast<uint8_t>((NetFn + 1) << 2)) || (B[Mark + 1] != Command)) {
              continue;
            }

            First = B;
          }

          Delivered += At->Data.size ();
        }

        if (First.empty ()) {
          Finding ("answer accepted without a block carrying the request's header");
        }

        if (First[Mark + 2] != static_cast<uint8_t>(Status)) {
          Finding ("answer accepted with a completion code other than the one returned");
        }

        if (Stored > Delivered) {
          Finding ("stored more bytes than the reads delivered");
        }
      });

    // A clock that does not move ends a wait after the transport's still
    // polls: a call fails one transaction per wait it starts, and no more,
    // before a pause finds the clock still. The run in which the PM timer
    // is found still goes on on the 8254, as still.
    if (Board.MostStillFailures > 4) {
      Finding ("kept retrying on the bus while the clock does not move");
    }
  }

  return 0;
}
