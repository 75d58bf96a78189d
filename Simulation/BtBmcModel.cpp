#include "BtBmcModel.h"

namespace OskelSim {

namespace {

constexpr uint8_t BT_CLR_WR_PTR = 0x01;
constexpr uint8_t BT_CLR_RD_PTR = 0x02;
constexpr uint8_t BT_H2B_ATN    = 0x04;
constexpr uint8_t BT_B2H_ATN    = 0x08;
constexpr uint8_t BT_SMS_ATN    = 0x10;
constexpr uint8_t BT_H_BUSY     = 0x40;
constexpr uint8_t BT_B_BUSY     = 0x80;

constexpr uint8_t NETFN_APP                  = 0x06;
constexpr uint8_t CMD_GET_BT_CAPABILITIES    = 0x36;

// The answer to a request: length, NetFn + 1 with the request's LUN,
// sequence number, command, completion code, data.
Bytes
Answer (uint8_t NetFnLun, uint8_t Sequence, uint8_t Command, uint8_t Code, const Bytes &Data)
{
  Bytes  Out{ 0, static_cast<uint8_t>(NetFnLun + 4), Sequence, Command, Code };

  Out.insert (Out.end (), Data.begin (), Data.end ());
  Out[0] = static_cast<uint8_t>(Out.size () - 1);
  return Out;
}

}  // namespace

BtBmcModel::BtBmcModel (uint16_t ControlPort, BmcEndpoint &Endpoint, uint8_t Index)
  : ControlPort (ControlPort), BufferPort (static_cast<uint16_t>(ControlPort + 1)), MaskPort (static_cast<uint16_t>(ControlPort + 2)),
    mEndpoint (&Endpoint), mIndex (Index)
{
}

std::string
BtBmcModel::StateName () const
{
  std::string  Name;

  Name += mBBusy ? "B_BUSY " : "";
  Name += mHBusy ? "H_BUSY " : "";
  Name += mH2bAtn ? "H2B_ATN " : "";
  Name += mB2hAtn ? "B2H_ATN " : "";
  Name += mSmsAtn ? "SMS_ATN " : "";
  return Name.empty () ? "idle" : Name.substr (0, Name.size () - 1);
}

void
BtBmcModel::Violation (const std::string &What)
{
  Violations.push_back (What + " (" + StateName () + ")");
}

uint8_t
BtBmcModel::Control () const
{
  return static_cast<uint8_t>(
    ((mBBusy || (BusyPolls != 0)) ? BT_B_BUSY : 0) | (mHBusy ? BT_H_BUSY : 0) | (mSmsAtn ? BT_SMS_ATN : 0) |
    (mB2hAtn ? BT_B2H_ATN : 0) | (mH2bAtn ? BT_H2B_ATN : 0)
    );
}

void
BtBmcModel::Start ()
{
  if (mStarted) {
    return;
  }

  mStarted = true;
  mSmsAtn  = SmsAtn;
  mHBusy   = StaleHBusy;
  if (StaleAnswer) {
    mQueue.push_back (Answer (0x18, 0xFF, 0x01, 0x00, { 0xEE }));
    mOutput = mQueue.front ();
    mRead   = 0;
    mB2hAtn = true;
  }

  mFaults = Always;
}

uint8_t
BtBmcModel::Read (uint16_t Port)
{
  uint8_t  Value = 0xFF;

  if (Absent) {
    ControlReads += (Port == ControlPort) ? 1 : 0;
    return 0xFF;
  }

  Start ();
  if (Port == ControlPort) {
    ControlReads++;
    Value = Control ();
    if (!mServing && (BusyPolls != 0) && (BusyPolls != ~0u)) {
      BusyPolls--;
    }

    Serve ();
  } else if (Port == BufferPort) {
    if (!mHBusy || mB2hAtn) {
      Violation ("read the B2H buffer without H_BUSY set and B2H_ATN cleared");
    }

    if (mRead < mOutput.size ()) {
      Value = mOutput[mRead++];
    } else {
      Violation ("read past the answer");
    }
  } else {
    Value = 0;
  }

  if (Recording) {
    Accesses.push_back ({ false, Port, Value });
  }

  return Value;
}

void
BtBmcModel::Write (uint16_t Port, uint8_t Value)
{
  if (Absent) {
    return;
  }

  Start ();
  if (Recording) {
    Accesses.push_back ({ true, Port, Value });
  }

  if (Port == MaskPort) {
    Violation ("wrote the interrupt mask register");
    return;
  }

  if (Port == BufferPort) {
    if (mBBusy || mH2bAtn || (BusyPolls != 0)) {
      Violation ("wrote the H2B buffer while the BMC owns it");
    }

    if (!mWriteCleared) {
      Violation ("wrote the H2B buffer without clearing the write pointer first");
    }

    mInput.push_back (Value);
    if (mInput.size () == static_cast<size_t>(RequestBuffer) + 1) {
      Violation ("wrote past the BMC's request buffer");
    }

    return;
  }

  if ((Value & BT_CLR_WR_PTR) != 0) {
    if (mBBusy || mH2bAtn) {
      Violation ("cleared the write pointer while the BMC owns the H2B buffer");
    }

    mInput.clear ();
    mWriteCleared = true;
  }

  if ((Value & BT_CLR_RD_PTR) != 0) {
    mRead = 0;
  }

  if ((Value & BT_H2B_ATN) != 0) {
    if (mBBusy || mH2bAtn || (BusyPolls != 0)) {
      Violation ("set H2B_ATN while the BMC is busy or has not taken the last request");
    } else if (mHBusy) {
      Violation ("set H2B_ATN with H_BUSY set");
    } else if (!mWriteCleared || (mInput.size () < 4) || (mInput[0] != mInput.size () - 1)) {
      Violation ("set H2B_ATN without a whole message whose length byte counts what follows");
    } else {
      TakeRequest ();
    }
  }

  if ((Value & BT_B2H_ATN) != 0) {
    if (mB2hAtn && !mHBusy) {
      Violation ("cleared B2H_ATN before setting H_BUSY");
    }

    if (mB2hAtn) {
      mReading = true;
    }

    mB2hAtn = false;
  }

  if ((Value & BT_SMS_ATN) != 0) {
    Violation ("cleared SMS_ATN, which is system software's");
    mSmsAtn = false;
  }

  if ((Value & BT_H_BUSY) != 0) {
    mHBusy = !mHBusy;
    if (!mHBusy && mReading) {
      // The host is done with the answer: the next one may follow.
      mReading = false;
      if (!mQueue.empty ()) {
        mQueue.erase (mQueue.begin ());
      }
    }
  }
}

void
BtBmcModel::TakeRequest ()
{
  const Bytes  Message = mInput;
  const uint8_t NetFnLun = Message[1];
  const uint8_t Sequence = Message[2];
  const uint8_t Command  = Message[3];
  Bytes        Out;

  Messages.push_back (Message);
  mWriteCleared = false;
  mH2bAtn       = true;
  mBBusy        = true;
  if (Once) {
    mFaults = *Once;
    Once.reset ();
  } else {
    mFaults = Always;
  }

  if (((NetFnLun >> 2) == NETFN_APP) && (Command == CMD_GET_BT_CAPABILITIES)) {
    CapabilityRequests++;
    Out = CapabilitiesCode ? Answer (NetFnLun, Sequence, Command, *CapabilitiesCode, {})
          : CapabilitiesData ? Answer (NetFnLun, Sequence, Command, 0x00, *CapabilitiesData)
                             : Answer (NetFnLun, Sequence, Command, 0x00, { 0x01, RequestBuffer, ResponseBuffer, 0x0A, 0x00 });
  } else {
    Request  R{ mIndex, static_cast<uint8_t>(NetFnLun >> 2), static_cast<uint8_t>(NetFnLun & 3), Command,
                Bytes (Message.begin () + 4, Message.end ()), 0xFF };
    Requests.push_back (R);
    const Reply  Got = mEndpoint->Handle (R);
    uint8_t      Code;
    if (Got.Status == EFI_SUCCESS) {
      Code = 0x00;
    } else if (Got.Status <= 0xFF) {
      Code = static_cast<uint8_t>(Got.Status);
    } else if (Got.Status == EFI_NOT_READY) {
      Code = 0xC0;  // node busy
    } else {
      Code = 0xFF;
    }

    Out = Answer (NetFnLun, Sequence, Command, Code, Got.Data);
  }

  if (mFaults.Sequence) {
    Out[2] = *mFaults.Sequence;
  }

  if (mFaults.ResponseNetFnLun) {
    Out[1] = *mFaults.ResponseNetFnLun;
  }

  if (mFaults.ResponseCommand) {
    Out[3] = *mFaults.ResponseCommand;
  }

  if (mFaults.Length) {
    Out[0] = *mFaults.Length;
  }

  for (unsigned Late = 0; Late < mFaults.LateAnswers; Late++) {
    mQueue.push_back (Answer (NetFnLun, static_cast<uint8_t>(Sequence - 1 - Late), Command, 0x00, { 0xEE }));
  }

  if (!mFaults.NeverAnswers) {
    mQueue.push_back (Out);
  }

  mServing = true;
  mLatency = mFaults.AnswerLatency;
}

void
BtBmcModel::Serve ()
{
  // The BMC takes the request from its buffer at the first look after
  // H2B_ATN, then presents the answers queued, one at a time, each once
  // the host is done with the one before.
  if (mH2bAtn) {
    mH2bAtn = false;
    return;
  }

  if (!mServing || mB2hAtn || mHBusy || mReading) {
    return;
  }

  if (mLatency != 0) {
    mLatency--;
    return;
  }

  if (mQueue.empty ()) {
    // Nothing (more) to present: a BMC that never answers stays busy.
    mServing = mFaults.NeverAnswers;
    mBBusy   = mFaults.NeverAnswers;
    return;
  }

  Present (mQueue.front ());
}

void
BtBmcModel::Present (const Bytes &Out)
{
  Answers.push_back (Out);
  mOutput = Out;
  mRead   = 0;
  mB2hAtn = true;
  mBBusy  = false;
}

}  // namespace OskelSim
