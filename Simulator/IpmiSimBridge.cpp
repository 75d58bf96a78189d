#include "IpmiSimBridge.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace OskelSim {

namespace {

void
PutEscaped (Bytes &Out, uint8_t Byte)
{
  if ((Byte == VM_MESSAGE_END) || (Byte == VM_COMMAND_END) || (Byte == VM_ESCAPE)) {
    Out.push_back (VM_ESCAPE);
    Out.push_back (Byte | 0x10);
  } else {
    Out.push_back (Byte);
  }
}

}  // namespace

uint8_t
VmChecksum (const Bytes &Data, size_t Count)
{
  uint8_t  Sum = 0;
  for (size_t At = 0; At < Count && At < Data.size (); At++) {
    Sum = static_cast<uint8_t>(Sum + Data[At]);
  }

  return Sum;
}

Bytes
VmEncodeRequest (uint8_t Sequence, uint8_t NetFn, uint8_t Lun, uint8_t Command, const Bytes &Data)
{
  Bytes  Plain = { Sequence, static_cast<uint8_t>((NetFn << 2) | (Lun & 0x03)), Command };
  Plain.insert (Plain.end (), Data.begin (), Data.end ());
  Plain.push_back (static_cast<uint8_t>(0x100 - VmChecksum (Plain, Plain.size ())));

  Bytes  Wire;
  for (uint8_t Byte : Plain) {
    PutEscaped (Wire, Byte);
  }

  Wire.push_back (VM_MESSAGE_END);
  return Wire;
}

bool
VmDecoder::Feed (uint8_t Byte)
{
  if (Byte == VM_MESSAGE_END) {
    Message = mPending;
    mPending.clear ();
    mEscaped = false;
    return true;
  }

  if (Byte == VM_COMMAND_END) {
    ControlCommands++;
    mPending.clear ();
    mEscaped = false;
    return false;
  }

  if (Byte == VM_ESCAPE) {
    mEscaped = true;
    return false;
  }

  mPending.push_back (mEscaped ? static_cast<uint8_t>(Byte & ~0x10) : Byte);
  mEscaped = false;
  return false;
}

IpmiSimBridge::IpmiSimBridge (std::string Host, uint16_t Port, unsigned TimeoutMs) : Host (std::move (Host)), Port (Port), mTimeoutMs (TimeoutMs)
{
}

IpmiSimBridge::~IpmiSimBridge ()
{
  if (mSocket >= 0) {
    close (mSocket);
  }
}

bool
IpmiSimBridge::Connect ()
{
  sockaddr_in  Address{};
  Address.sin_family = AF_INET;
  Address.sin_port   = htons (Port);
  if (inet_pton (AF_INET, Host.c_str (), &Address.sin_addr) != 1) {
    Error = "not an IPv4 address: " + Host;
    return false;
  }

  const auto  Deadline = std::chrono::steady_clock::now () + std::chrono::milliseconds (mTimeoutMs);
  for (;;) {
    mSocket = socket (AF_INET, SOCK_STREAM, 0);
    if (mSocket < 0) {
      Error = std::string ("socket: ") + std::strerror (errno);
      return false;
    }

    if (connect (mSocket, reinterpret_cast<sockaddr *>(&Address), sizeof (Address)) == 0) {
      int  One = 1;
      (void)setsockopt (mSocket, IPPROTO_TCP, TCP_NODELAY, &One, sizeof (One));
      return true;
    }

    Error = "connect " + Host + ":" + std::to_string (Port) + ": " + std::strerror (errno);
    close (mSocket);
    mSocket = -1;
    if (std::chrono::steady_clock::now () >= Deadline) {
      return false;
    }

    std::this_thread::sleep_for (std::chrono::milliseconds (100));
  }
}

Reply
IpmiSimBridge::Handle (const Request &R)
{
  if ((mSocket < 0) && !Connect ()) {
    return Fail (EFI_DEVICE_ERROR);
  }

  // Sequence numbers pair an answer with its request; stale answers of an
  // earlier, timed-out request are skipped.
  const uint8_t  Sequence = mSequence++;
  const Bytes    Wire     = VmEncodeRequest (Sequence, R.NetFn, R.Lun, R.Command, R.Data);
  size_t         Sent     = 0;
  while (Sent < Wire.size ()) {
    const ssize_t  Count = send (mSocket, Wire.data () + Sent, Wire.size () - Sent, MSG_NOSIGNAL);
    if (Count <= 0) {
      Error = std::string ("send: ") + std::strerror (errno);
      return Fail (EFI_DEVICE_ERROR);
    }

    Sent += static_cast<size_t>(Count);
  }

  const auto  Deadline = std::chrono::steady_clock::now () + std::chrono::milliseconds (mTimeoutMs);
  for (;;) {
    const auto  Left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - std::chrono::steady_clock::now ()).count ();
    pollfd      Wait = { mSocket, POLLIN, 0 };
    if ((Left <= 0) || (poll (&Wait, 1, static_cast<int>(Left)) <= 0)) {
      Error = "no answer from " + Host + ":" + std::to_string (Port);
      return Fail (EFI_DEVICE_ERROR);
    }

    uint8_t        Buffer[512];
    const ssize_t  Count = recv (mSocket, Buffer, sizeof (Buffer), 0);
    if (Count <= 0) {
      Error = "connection closed by " + Host + ":" + std::to_string (Port);
      close (mSocket);
      mSocket = -1;
      return Fail (EFI_DEVICE_ERROR);
    }

    for (ssize_t At = 0; At < Count; At++) {
      if (!mDecoder.Feed (Buffer[At])) {
        continue;
      }

      // seq, NetFn << 2 | LUN, command, completion code, data, checksum.
      const Bytes  &M = mDecoder.Message;
      if ((M.size () < 5) || (M[0] != Sequence) || (M[2] != R.Command)) {
        continue;
      }

      if (VmChecksum (M, M.size ()) != 0) {
        Error = "bad checksum from " + Host + ":" + std::to_string (Port);
        return Fail (EFI_DEVICE_ERROR);
      }

      if (M[3] != 0) {
        return Fail (M[3]);
      }

      return Ok (Bytes (M.begin () + 4, M.end () - 1));
    }
  }
}

}  // namespace OskelSim
