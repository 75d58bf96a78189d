#include "SsifBmcModel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "TransportBoard.h"

namespace OskelSim {

namespace {

constexpr uint8_t SSIF_WRITE        = 0x02;
constexpr uint8_t SSIF_WRITE_START  = 0x06;
constexpr uint8_t SSIF_WRITE_MIDDLE = 0x07;
constexpr uint8_t SSIF_WRITE_END    = 0x08;
constexpr uint8_t SSIF_READ         = 0x03;
constexpr uint8_t SSIF_READ_MIDDLE  = 0x09;
constexpr uint8_t SSIF_READ_RETRY   = 0x0A;
constexpr size_t  BLOCK             = 32;

constexpr uint8_t NETFN_APP                       = 0x06;
constexpr uint8_t CMD_GET_SYSTEM_INTERFACE_CAPS   = 0x57;

}  // namespace

std::string
Describe (const SmbusCall &Call)
{
  char  Head[32];

  std::snprintf (
    Head, sizeof (Head), "%s %02X %02X%s [",
    (Call.Operation == EfiSmbusWriteBlock) ? "W" : (Call.Operation == EfiSmbusReadBlock) ? "R" : "?",
    Call.Address, Call.Command, Call.Pec ? " pec" : ""
    );
  return std::string (Head) + Hex (Call.Data) + "] " +
         ((Call.Status == EFI_SUCCESS) ? "ok" : (Call.Status == EFI_DEVICE_ERROR) ? "nack" : (Call.Status == EFI_CRC_ERROR) ? "crc" : "error");
}

SsifBmcModel::SsifBmcModel (uint8_t Address, BmcEndpoint &Endpoint, uint8_t Index)
  : Address (Address), mEndpoint (&Endpoint), mIndex (Index)
{
}

void
SsifBmcModel::Violation (const std::string &What)
{
  Violations.push_back (What);
}

//
// The whole request is in: the capabilities question is answered here,
// anything else by the endpoint. The answer is cut into blocks as the
// faults of this request say.
//
void
SsifBmcModel::TakeRequest ()
{
  Bytes  Message = mInput;
  Bytes  Answer;

  mInput.clear ();
  mArmed = false;
  Messages.push_back (Message);
  mFaults = Once ? *Once : Always;
  Once.reset ();
  mNackReads  = mFaults.NackReads;
  mStaleReads = mFaults.StaleReads;

  const uint8_t  NetFn   = Message[0] >> 2;
  const uint8_t  Lun     = Message[0] & 3;
  const uint8_t  Command = Message[1];

  Answer = { static_cast<uint8_t>(Message[0] + 4), Command };
  if ((NetFn == NETFN_APP) && (Command == CMD_GET_SYSTEM_INTERFACE_CAPS)) {
    CapabilityRequests++;
    const Bytes  Told{ 0x00, static_cast<uint8_t>((Transactions << 6) | (Pec ? 0x08 : 0x00)), InputSize, OutputSize };
    if (CapabilitiesCode) {
      Answer.push_back (*CapabilitiesCode);
      if (CapabilitiesDataWithCode) {
        Answer.insert (Answer.end (), Told.begin (), Told.end ());
      }
    } else {
      Answer.push_back (0x00);
      Answer.insert (Answer.end (), Told.begin (), Told.end ());
      mTelling = true;
    }
  } else {
    Request  R{ mIndex, NetFn, Lun, Command, Bytes (Message.begin () + 2, Message.end ()), 0xFF };
    Requests.push_back (R);
    Reply    Rep = mEndpoint->Handle (R);
    Answer.push_back ((Rep.Status == EFI_SUCCESS) ? 0x00 : (Rep.Status <= 0xFF) ? static_cast<uint8_t>(Rep.Status) : (Rep.Status == EFI_NOT_READY) ? 0xC0 : 0xFF);
    Answer.insert (Answer.end (), Rep.Data.begin (), Rep.Data.end ());
  }

  if (mFaults.ResponseNetFnLun) {
    Answer[0] = *mFaults.ResponseNetFnLun;
  }

  if (mFaults.ResponseCommand) {
    Answer[1] = *mFaults.ResponseCommand;
  }

  Answers.push_back (Answer);

  //
  // One block when it fits; else a start block (00h 01h and 30 bytes),
  // middles (their number and 31 bytes) and the last (FFh and the rest).
  //
  mBlocks.clear ();
  mNext = 0;
  Answer.insert (Answer.end (), mFaults.LastBlockExtra, 0xEE);
  if (Answer.size () <= BLOCK) {
    mBlocks.push_back (Answer);
  } else {
    size_t   At     = BLOCK - 2;
    uint8_t  Number = 0;
    Bytes    First{ 0x00, 0x01 };

    First.insert (First.end (), Answer.begin (), Answer.begin () + static_cast<long>(At));
    mBlocks.push_back (First);
    while (Answer.size () - At > BLOCK - 1) {
      Bytes  Middle{ Number };
      Middle.insert (Middle.end (), Answer.begin () + static_cast<long>(At), Answer.begin () + static_cast<long>(At + BLOCK - 1));
      if (mFaults.WrongBlockNumber == Number) {
        Middle[0] = static_cast<uint8_t>(Number + 0x10);
      }

      if (mFaults.SkipBlock != Number) {
        mBlocks.push_back (Middle);
      }

      At += BLOCK - 1;
      Number++;
    }

    Bytes  Last{ 0xFF };
    Last.insert (Last.end (), Answer.begin () + static_cast<long>(At), Answer.end ());
    mBlocks.push_back (Last);
  }

  mPhase = Phase::Pending;
}

EFI_STATUS
SsifBmcModel::Write (uint8_t Command, const Bytes &Data)
{
  const bool  Continues = (mPhase == Phase::Writing);

  mAnswered = false;

  switch (Command) {
    case SSIF_WRITE:
      if ((Data.size () < 2) || (Data.size () > BLOCK)) {
        Violation ("single-part write of " + std::to_string (Data.size ()) + " bytes");
      }

      break;
    case SSIF_WRITE_START:
      if (Data.size () != BLOCK) {
        Violation ("multi-part write start of " + std::to_string (Data.size ()) + " bytes");
      }

      if (Transactions == 0) {
        Violation ("multi-part write to a BMC without multi-part support");
      }

      break;
    case SSIF_WRITE_MIDDLE:
    case SSIF_WRITE_END:
      if (!Continues) {
        Violation ("multi-part write middle or end without a start");
        return EFI_DEVICE_ERROR;
      }

      if ((Command == SSIF_WRITE_MIDDLE) && ((Data.size () != BLOCK) || (Transactions != 2))) {
        Violation ("multi-part write middle of " + std::to_string (Data.size ()) + " bytes, transactions " + std::to_string (Transactions));
      }

      if ((Command == SSIF_WRITE_END) && (Data.empty () || (Data.size () > BLOCK))) {
        Violation ("multi-part write end of " + std::to_string (Data.size ()) + " bytes");
      }

      break;
    default:
      Violation ("block write with command " + std::to_string (Command));
      return EFI_DEVICE_ERROR;
  }

  //
  // A single-part write or a start while a multi-part write is under way
  // abandons it: that is how a host starts over after a failed part.
  //
  if ((Command == SSIF_WRITE) || (Command == SSIF_WRITE_START)) {
    mInput.clear ();
  }

  mInput.insert (mInput.end (), Data.begin (), Data.end ());
  const size_t  Limit = !mToldCaps ? BLOCK : (InputSize == 0) ? 0xFF : InputSize;
  if (mInput.size () > Limit) {
    Violation ("request of " + std::to_string (mInput.size ()) + " bytes past the input size " + std::to_string (Limit));
  }

  if ((Command == SSIF_WRITE) || (Command == SSIF_WRITE_END)) {
    TakeRequest ();
  } else {
    mPhase = Phase::Writing;
  }

  return EFI_SUCCESS;
}

EFI_STATUS
SsifBmcModel::Read (uint8_t Command, UINTN *Length, uint8_t *Buffer)
{
  Bytes  Block;

  if (*Length < BLOCK) {
    Violation ("block read with room for " + std::to_string (*Length) + " bytes");
  }

  switch (Command) {
    case SSIF_READ:
      //
      // Asked again once the answer is read (the host dropped it as not
      // its own): nothing is pending, the address is NACKed.
      //
      if ((mPhase == Phase::Idle) && mAnswered) {
        return EFI_DEVICE_ERROR;
      }

      if ((mPhase != Phase::Pending) && !((mPhase == Phase::Reading) && (mNext == 1) && !mReadMiddle)) {
        Violation ("read without a request");
        return EFI_DEVICE_ERROR;
      }

      if (mNackReads != 0) {
        if (mNackReads != ~0u) {
          mNackReads--;
        }

        return EFI_DEVICE_ERROR;
      }

      //
      // No NACK, the block read last once more; nothing moves on.
      //
      if (mStaleReads != 0) {
        mStaleReads--;
        if (!mLast.empty ()) {
          std::memcpy (Buffer, mLast.data (), std::min<size_t>(mLast.size (), *Length));
        }

        *Length = mLast.size ();
        return EFI_SUCCESS;
      }

      //
      // 03h again after a start block whose read failed: the start again.
      //
      mNext = 0;
      break;
    case SSIF_READ_MIDDLE:
      if ((mPhase != Phase::Reading) || !mMultiRead) {
        Violation ("09h outside a multi-part read");
        return EFI_DEVICE_ERROR;
      }

      mReadMiddle = true;
      break;
    case SSIF_READ_RETRY:
      if ((mPhase != Phase::Reading) || !mReadMiddle) {
        Violation ("0Ah without a middle block read before");
        return EFI_DEVICE_ERROR;
      }

      Block = mLast;
      break;
    default:
      Violation ("block read with command " + std::to_string (Command));
      return EFI_DEVICE_ERROR;
  }

  if (Command != SSIF_READ_RETRY) {
    if ((Command == SSIF_READ_MIDDLE) && mFaults.EndAfterBlocks && (mNext > *mFaults.EndAfterBlocks)) {
      Block.clear ();
    } else if (mNext < mBlocks.size ()) {
      Block = mBlocks[mNext++];
    }
  }

  mLast      = Block;
  mMultiRead = (mBlocks.size () > 1);
  mPhase     = (mNext < mBlocks.size ()) ? Phase::Reading : Phase::Idle;
  mAnswered  = (mPhase == Phase::Idle);

  //
  // The capabilities answer read whole: from the next transaction on,
  // the host knows what the BMC takes.
  //
  if ((mPhase == Phase::Idle) && mTelling) {
    mTelling  = false;
    mToldCaps = true;
    mToldPec  = Pec;
  }
  if (Command == SSIF_READ) {
    mReadMiddle = false;
  }

  //
  // The driver copies what the device sent, up to the room it was given.
  //
  const size_t  Copied = (Block.size () < *Length) ? Block.size () : static_cast<size_t>(*Length);
  if (Copied != 0) {
    std::memcpy (Buffer, Block.data (), Copied);
  }

  *Length = Block.size ();
  return EFI_SUCCESS;
}

void
SsifBmcModel::Recover ()
{
  Absent = false;
  Once.reset ();
  Always      = SsifFaults{};
  mArmed      = false;
  mNackWrites = 0;
  mNackReads  = 0;
  mStaleReads = 0;
  mPhase      = Phase::Idle;
  mInput.clear ();
}

EFI_STATUS
SsifBmcModel::Execute (uint8_t Command, EFI_SMBUS_OPERATION Operation, bool PecCheck, UINTN *Length, uint8_t *Buffer)
{
  if (Absent) {
    return EFI_DEVICE_ERROR;
  }

  if (PecCheck != mToldPec) {
    Violation (std::string ("transaction ") + (PecCheck ? "with" : "without") + " PEC, the BMC " + (mToldPec ? "takes" : "does not take") + " it");
  }

  if (Operation == EfiSmbusWriteBlock) {
    if (!mArmed) {
      const SsifFaults  &Next = Once ? *Once : Always;
      mNackWrites = Next.NackWrites;
      mArmed      = true;
    }

    if (mNackWrites != 0) {
      if (mNackWrites != ~0u) {
        mNackWrites--;
      }

      return EFI_DEVICE_ERROR;
    }

    return Write (Command, Bytes (Buffer, Buffer + *Length));
  }

  if (Operation == EfiSmbusReadBlock) {
    return Read (Command, Length, Buffer);
  }

  Violation ("SMBus operation " + std::to_string (Operation));
  return EFI_UNSUPPORTED;
}

FakeSmbus::FakeSmbus (SimClock &Clock) : mClock (Clock)
{
  const EFI_GUID  Identifier = { 0x5a1b0c2d, 0x3e4f, 0x4a5b, { 0x8c, 0x9d, 0x0e, 0x1f, 0x2a, 0x3b, 0x4c, 0x5d } };

  mHolder.Ppi.Execute    = ExecuteThunk;
  mHolder.Ppi.ArpDevice  = ArpDeviceThunk;
  mHolder.Ppi.GetArpMap  = GetArpMapThunk;
  mHolder.Ppi.Notify     = NotifyThunk;
  mHolder.Ppi.Identifier = Identifier;
  mHolder.Owner          = this;
}

std::vector<std::string>
FakeSmbus::Lines () const
{
  std::vector<std::string>  Out;

  for (const auto &Call : Calls) {
    Out.push_back (Describe (Call));
  }

  return Out;
}

EFI_STATUS
FakeSmbus::Execute (UINTN Address, UINTN Command, EFI_SMBUS_OPERATION Operation, BOOLEAN Pec, UINTN *Length, VOID *Buffer)
{
  SmbusCall     Call{ static_cast<uint8_t>(Address), static_cast<uint8_t>(Command), Operation, Pec != 0, {}, EFI_SUCCESS };
  uint8_t       *Bytes_ = static_cast<uint8_t *>(Buffer);
  SsifBmcModel  *Device = nullptr;

  if ((Length == nullptr) || (Buffer == nullptr) || (Address > 0x7F) || (Command > 0xFF)) {
    Violations.push_back ("Execute with a missing buffer or length, or an address or command out of range");
    return EFI_INVALID_PARAMETER;
  }

  if ((Operation == EfiSmbusWriteBlock) && ((*Length == 0) || (*Length > BLOCK))) {
    Violations.push_back ("block write of " + std::to_string (*Length) + " bytes");
    return EFI_INVALID_PARAMETER;
  }

  if (Operation == EfiSmbusWriteBlock) {
    Call.Data.assign (Bytes_, Bytes_ + *Length);
  }

  for (SsifBmcModel *Candidate : mDevices) {
    if (Candidate->Address == Address) {
      Device = Candidate;
    }
  }

  //
  // A collision, a bus error or a controller timeout spoils the
  // transaction before the device takes it; a PEC mismatch is seen on
  // what the device did send.
  //
  const UINTN  Room = *Length;
  const auto   Fail = FailCall.find (Calls.size () + 1);
  if ((Fail != FailCall.end ()) && (Fail->second == EFI_CRC_ERROR) && (Device != nullptr)) {
    (VOID)Device->Execute (static_cast<uint8_t>(Command), Operation, Pec != 0, Length, Bytes_);
    Call.Status = EFI_CRC_ERROR;
  } else if (Fail != FailCall.end ()) {
    Call.Status = Fail->second;
  } else if (Device == nullptr) {
    Call.Status = EFI_DEVICE_ERROR;
  } else {
    Call.Status = Device->Execute (static_cast<uint8_t>(Command), Operation, Pec != 0, Length, Bytes_);
  }

  if ((Operation == EfiSmbusReadBlock) && (Call.Status == EFI_SUCCESS)) {
    Call.Data.assign (Bytes_, Bytes_ + ((*Length < Room) ? *Length : Room));
    if (ReportLength) {
      *Length = *ReportLength;
    }
  }

  //
  // The address, the command, the count and the bytes on the wire, and a
  // PEC byte when asked for.
  //
  for (size_t Byte = 0; Byte < 3 + Call.Data.size () + (Pec ? 1 : 0); Byte++) {
    mClock.Nanoseconds += NanosecondsPerByte;
  }

  Calls.push_back (Call);
  return Call.Status;
}

EFI_STATUS EFIAPI
FakeSmbus::ExecuteThunk (
  CONST EFI_PEI_SMBUS2_PPI *This, EFI_SMBUS_DEVICE_ADDRESS SlaveAddress, EFI_SMBUS_DEVICE_COMMAND Command,
  EFI_SMBUS_OPERATION Operation, BOOLEAN PecCheck, UINTN *Length, VOID *Buffer
  )
{
  FakeSmbus  *Self = reinterpret_cast<const Holder *>(This)->Owner;

  return Self->Execute (SlaveAddress.SmbusDeviceAddress, Command, Operation, PecCheck, Length, Buffer);
}

EFI_STATUS EFIAPI
FakeSmbus::ArpDeviceThunk (CONST EFI_PEI_SMBUS2_PPI *This, BOOLEAN, EFI_SMBUS_UDID *, EFI_SMBUS_DEVICE_ADDRESS *)
{
  reinterpret_cast<const Holder *>(This)->Owner->Violations.push_back ("ArpDevice called");
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI
FakeSmbus::GetArpMapThunk (CONST EFI_PEI_SMBUS2_PPI *This, UINTN *, EFI_SMBUS_DEVICE_MAP **)
{
  reinterpret_cast<const Holder *>(This)->Owner->Violations.push_back ("GetArpMap called");
  return EFI_UNSUPPORTED;
}

EFI_STATUS EFIAPI
FakeSmbus::NotifyThunk (CONST EFI_PEI_SMBUS2_PPI *This, EFI_SMBUS_DEVICE_ADDRESS, UINTN, EFI_PEI_SMBUS_NOTIFY2_FUNCTION)
{
  reinterpret_cast<const Holder *>(This)->Owner->Violations.push_back ("Notify called");
  return EFI_UNSUPPORTED;
}

}  // namespace OskelSim
