#include "KcsBmcModel.h"

#include <cstdio>

namespace OskelSim {

namespace {

constexpr uint8_t KCS_OBF = 0x01;
constexpr uint8_t KCS_IBF = 0x02;
constexpr uint8_t KCS_CD  = 0x08;  // the last host write went to the command register

// Status bytes the BMC reports through Get Status/Abort.
constexpr uint8_t KCS_ERROR_ILLEGAL_CONTROL_CODE = 0x02;
constexpr uint8_t KCS_ERROR_LENGTH               = 0x06;
constexpr uint8_t KCS_ERROR_UNSPECIFIED          = 0xFF;

constexpr size_t KCS_MODEL_MAX_REQUEST = 272;

}  // namespace

std::string
Describe (const PortAccess &Access)
{
  char  Text[16];

  std::snprintf (Text, sizeof (Text), "%c %03X=%02X", Access.Write ? 'W' : 'R', Access.Port, Access.Value);
  return Text;
}

KcsBmcModel::KcsBmcModel (uint16_t IoBase, BmcEndpoint &Endpoint, uint8_t Index)
  : DataPort (static_cast<uint16_t>(IoBase + 0xCA2)), StatusPort (static_cast<uint16_t>(IoBase + 0xCA3)),
    mEndpoint (&Endpoint), mIndex (Index)
{
}

void
KcsBmcModel::Reset ()
{
  mPhase       = Phase::Idle;
  mObf         = false;
  mStuck       = false;
  mLatency     = 0;
  mBusy        = 0;
  mArmed       = false;
  mDummy       = false;
  mCommandLast = false;
}

std::string
KcsBmcModel::StateName () const
{
  switch (mPhase) {
    case Phase::Idle:       return "IDLE";
    case Phase::Read:
    case Phase::AbortRead:  return "READ";
    case Phase::Error:      return "ERROR";
    default:                return "WRITE";
  }
}

uint8_t
KcsBmcModel::StatusByte () const
{
  uint8_t  State = 0;

  switch (mPhase) {
    case Phase::Idle:       State = 0; break;
    case Phase::Read:
    case Phase::AbortRead:  State = 1; break;
    case Phase::Error:      State = 3; break;
    default:                State = 2; break;
  }

  return static_cast<uint8_t>((State << 6) | (mCommandLast ? KCS_CD : 0) | (mObf ? KCS_OBF : 0));
}

void
KcsBmcModel::Arm ()
{
  if (Once) {
    mFaults = *Once;
    Once.reset ();
  } else {
    mFaults = Always;
  }

  mArmed  = true;
  mBusy   = mFaults.BusyPolls;
  mWrites = 0;
  if (mFaults.StaleOutput) {
    mObf    = true;
    mOutput = 0xEE;
  }
}

void
KcsBmcModel::EnterIdle ()
{
  // The dummy byte that closes a response or an abort.
  mPhase  = Phase::Idle;
  mOutput = 0x00;
  mObf    = true;
  mDummy  = true;
  mArmed  = false;
}

uint8_t
KcsBmcModel::Read (uint16_t Port)
{
  uint8_t  Value;

  if (Absent) {
    StatusReads += (Port == StatusPort) ? 1 : 0;
    return 0xFF;
  }

  if ((mPhase == Phase::Idle) && !mArmed && !mDummy) {
    Arm ();
  }

  if (Port == StatusPort) {
    StatusReads++;
    Value = StatusByte ();
    if (mBusy != 0) {
      if (mBusy != ~0u) {
        mBusy--;
      }

      Value |= KCS_IBF;
    } else if (mStuck) {
      Value |= KCS_IBF;
    } else if (mLatency != 0) {
      mLatency--;
      Value |= KCS_IBF;
    }
  } else {
    Value  = mOutput;
    mObf   = false;
    mDummy = false;
  }

  if (Recording) {
    Accesses.push_back ({ false, Port, Value });
  }

  return Value;
}

void
KcsBmcModel::Write (uint16_t Port, uint8_t Value)
{
  if (Absent) {
    return;
  }

  if ((mPhase == Phase::Idle) && !mArmed && !mDummy) {
    Arm ();
  }

  if (Recording) {
    if ((Port == StatusPort) && (Value == 0x61)) {
      ExchangeStarts.push_back (Accesses.size ());
    }

    Accesses.push_back ({ true, Port, Value });
  }

  mWrites++;
  if (mStuck || (mFaults.IbfStuckAtWrite == mWrites)) {
    mStuck = true;
    return;
  }

  mLatency     = IbfLatency;
  mCommandLast = (Port == StatusPort);
  Take (Port, Value);
}

void
KcsBmcModel::Fail (uint8_t Code)
{
  mPhase    = Phase::Error;
  ErrorCode = Code;
}

void
KcsBmcModel::TakeRequestByte (uint8_t Value)
{
  if (mFaults.ErrorAtRequestByte && (*mFaults.ErrorAtRequestByte == mRequest.size ())) {
    Fail (KCS_ERROR_UNSPECIFIED);
    return;
  }

  if (mRequest.size () == KCS_MODEL_MAX_REQUEST) {
    Fail (KCS_ERROR_LENGTH);
    return;
  }

  mRequest.push_back (Value);
}

void
KcsBmcModel::Take (uint16_t Port, uint8_t Value)
{
  if (Port == StatusPort) {
    if (Value == 0x60) {
      // Get Status/Abort is taken in any state.
      mPhase = Phase::AbortWrite;
    } else if ((Value == 0x61) && (mPhase == Phase::Idle)) {
      mPhase = Phase::Write;
      mRequest.clear ();
    } else if ((Value == 0x62) && (mPhase == Phase::Write)) {
      mPhase = Phase::WriteLast;
    } else {
      Fail (KCS_ERROR_ILLEGAL_CONTROL_CODE);
    }

    return;
  }

  switch (mPhase) {
    case Phase::Write:
      TakeRequestByte (Value);
      break;
    case Phase::WriteLast:
      TakeRequestByte (Value);
      if (mPhase == Phase::WriteLast) {
        Finish ();
      }

      break;
    case Phase::Read:
      if (Value != 0x68) {
        Fail (KCS_ERROR_ILLEGAL_CONTROL_CODE);
      } else {
        mNext++;
        Present ();
      }

      break;
    case Phase::AbortWrite:
      if (!mFaults.AbortIgnored) {
        mPhase  = Phase::AbortRead;
        mOutput = ErrorCode;
        mObf    = true;
      }

      break;
    case Phase::AbortRead:
      if (Value == 0x68) {
        Aborts++;
        ErrorCode = 0;
        EnterIdle ();
      } else {
        Fail (KCS_ERROR_ILLEGAL_CONTROL_CODE);
      }

      break;
    case Phase::Idle:
      Fail (KCS_ERROR_ILLEGAL_CONTROL_CODE);
      break;
    case Phase::Error:
      break;
  }
}

void
KcsBmcModel::Finish ()
{
  if (mRequest.size () < 2) {
    Fail (KCS_ERROR_LENGTH);
    return;
  }

  Request  R{ mIndex, static_cast<uint8_t>(mRequest[0] >> 2), static_cast<uint8_t>(mRequest[0] & 3), mRequest[1],
              Bytes (mRequest.begin () + 2, mRequest.end ()), 0xFF };
  Requests.push_back (R);

  Reply    Answer = mEndpoint->Handle (R);
  Bytes    Response{ static_cast<uint8_t>(((R.NetFn + 1) << 2) | R.Lun), R.Command };

  if (Answer.Status == EFI_DEVICE_ERROR) {
    Fail (KCS_ERROR_UNSPECIFIED);
    return;
  }

  if (Answer.Status == EFI_SUCCESS) {
    Response.push_back (0x00);
  } else if (Answer.Status <= 0xFF) {
    Response.push_back (static_cast<uint8_t>(Answer.Status));
  } else if (Answer.Status == EFI_NOT_READY) {
    Response.push_back (0xC0);  // node busy
  } else {
    Response.push_back (0xFF);
  }

  Response.insert (Response.end (), Answer.Data.begin (), Answer.Data.end ());
  if (mFaults.ResponseNetFnLun) {
    Response[0] = *mFaults.ResponseNetFnLun;
  }

  if (mFaults.ResponseCommand) {
    Response[1] = *mFaults.ResponseCommand;
  }

  if (mFaults.TruncateResponse && (*mFaults.TruncateResponse < Response.size ())) {
    Response.resize (*mFaults.TruncateResponse);
  }

  if (mFaults.EmptyResponse) {
    Response.clear ();
  }

  Responses.push_back (Response);
  if ((Log != nullptr) && (Response.size () >= 3)) {
    Event  &E = Log->Add (EventKind::SendCommand);
    E.Bmc      = mIndex;
    E.NetFn    = R.NetFn;
    E.Lun      = R.Lun;
    E.Command  = R.Command;
    E.Request  = R.Data;
    E.Capacity = 0xFF;
    E.Response.assign (Response.begin () + 3, Response.end ());
    E.Received = static_cast<uint8_t>(E.Response.size ());
    E.Status   = Response[2];
  }

  mResponse = Response;
  mNext     = 0;
  mPhase    = Phase::Read;
  Present ();
}

void
KcsBmcModel::Present ()
{
  if (mNext >= mResponse.size ()) {
    EnterIdle ();
    return;
  }

  if (mFaults.ErrorAtResponseByte && (*mFaults.ErrorAtResponseByte == mNext)) {
    Fail (KCS_ERROR_UNSPECIFIED);
    return;
  }

  if (mFaults.ObfNeverSets) {
    return;
  }

  mOutput = mResponse[mNext];
  mObf    = true;
}

}  // namespace OskelSim
