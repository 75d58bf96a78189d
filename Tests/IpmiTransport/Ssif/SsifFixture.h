// The fixture of the SSIF suites: BMC 0 on KCS at base 0, BMC 1 on SSIF at
// the 7-bit SMBus address 10h (the address byte 20h on the wire, the
// usual BMC address), both named in the transport's interfaces HOB; the
// board's SMBus2 PPI installed; the ACPI PM timer at 608h and the default
// flag wait; a port access costs 10 us of virtual time, a byte on the
// SMBus 90 us. The SSIF BMC reports start, middle and end support and
// messages of up to 255 bytes each way. The protocol checkers of the SSIF
// model and of the fake SMBus driver must have nothing to say at the end
// of every test.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TransportBoard.h"
#include "IpmiTransport/Pei/IpmiTransportPei.h"

namespace OskelTest {

using OskelSim::Bytes;
using OskelSim::Ok;
using OskelSim::Reply;
using OskelSim::SsifBmcModel;

class SsifTest : public ::testing::Test {
protected:
  static constexpr uint8_t  mAddress = 0x10;

  SsifTest () : Board ({ 0x0000, 0x0200 })
  {
    Board.Clock.NanosecondsPerAccess = 10000;
    Board.AddSsif (1, mAddress);
  }

  // The HOBs and PPIs this suite's board gives; a suite may override.
  virtual void Prepare ()
  {
    Board.AddSettings (0, 0, mPmTimerPort);
    Board.AddInterfaces ({ { IPMI_INTERFACE_KCS, 0 }, { IPMI_INTERFACE_SSIF, mAddress } });
    Board.InstallSmbus ();
  }

  void SetUp () override
  {
    Prepare ();
    ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
    Transport = Board.Transport ();
    ASSERT_NE (Transport, nullptr);
    ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, 1), EFI_SUCCESS);
  }

  void TearDown () override
  {
    EXPECT_THAT (Ssif ().Violations, ::testing::IsEmpty ());
    EXPECT_THAT (Board.Smbus.Violations, ::testing::IsEmpty ());
  }

  SsifBmcModel &Ssif () { return *Board.Ssif.at (0); }
  OskelSim::ScriptedBmc &Bmc (size_t Index) { return *Board.Scripted.at (Index); }
  std::vector<std::string> Calls () { return Board.Smbus.Lines (); }

  EFI_STATUS Send (UINT8 NetFn, UINT8 Command, const Bytes &Request, UINT8 *Response, UINT8 *Length)
  {
    return Transport->SendCommand (
             Board.Services (), Transport, NetFn, 0, Command,
             Request.empty () ? nullptr : Request.data (), static_cast<UINT8>(Request.size ()), Response, Length
             );
  }

  // Get Device ID on the selected BMC without a response buffer.
  EFI_STATUS Ping ()
  {
    UINT8  Length = 0;
    return Send (0x06, 0x01, {}, nullptr, &Length);
  }

  UINT8 StateOf (UINT8 Index)
  {
    UINT8  State = 0xFF;
    EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, Index), EFI_SUCCESS);
    EXPECT_EQ (Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
    return State;
  }

  static constexpr uint16_t  mPmTimerPort = 0x0608;
  static constexpr uint64_t  mSecond      = 1000000000ull;

  OskelSim::TransportBoard  Board;
  IPMI_TRANSPORT_PPI        *Transport = nullptr;
};

}  // namespace OskelTest
