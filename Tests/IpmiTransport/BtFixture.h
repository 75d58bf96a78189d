// The fixture of the BT suites: BMC 0 on KCS at base 0, BMC 1 on BT with
// its control register at E4h (QEMU's isa-ipmi-bt port), both named in the
// transport's interfaces HOB; the ACPI PM timer at 608h and the default
// flag wait; a port access costs 10 us of virtual time, so that a
// five-second wait is 250,000 polls. The BT BMC reports buffers of 80h
// bytes. The protocol checker of the BT model must have nothing to say
// at the end of every test.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TransportBoard.h"
#include "IpmiTransport/Pei/IpmiTransportPei.h"

namespace OskelTest {

using OskelSim::BtBmcModel;
using OskelSim::Bytes;
using OskelSim::Ok;
using OskelSim::Reply;

class BtTest : public ::testing::Test {
protected:
  static constexpr uint16_t  mControl = 0x00E4;
  static constexpr uint8_t   mBuffer  = 0x80;

  BtTest () : Board ({ 0x0000, 0x0200 })
  {
    Board.Clock.NanosecondsPerAccess = 10000;
    Board.AddBt (1, mControl);
    Bt ().RequestBuffer  = mBuffer;
    Bt ().ResponseBuffer = mBuffer;
  }

  // The HOBs this suite's board gives; a suite may override.
  virtual void AddHobs ()
  {
    Board.AddSettings (0, 0, mPmTimerPort);
    Board.AddInterfaces ({ { IPMI_INTERFACE_KCS, 0 }, { IPMI_INTERFACE_BT, mControl } });
  }

  void SetUp () override
  {
    AddHobs ();
    ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
    Transport = Board.Transport ();
    ASSERT_NE (Transport, nullptr);
    ASSERT_EQ (Transport->SelectBmc (Board.Services (), Transport, 1), EFI_SUCCESS);
  }

  void TearDown () override
  {
    EXPECT_THAT (Bt ().Violations, ::testing::IsEmpty ());
  }

  BtBmcModel &Bt () { return *Board.Bt.at (0); }
  OskelSim::ScriptedBmc &Bmc (size_t Index) { return *Board.Scripted.at (Index); }

  std::vector<std::string> Accesses ()
  {
    std::vector<std::string>  Lines;
    for (const auto &A : Bt ().Accesses) {
      Lines.push_back (OskelSim::Describe (A));
    }

    return Lines;
  }

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
