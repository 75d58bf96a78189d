// The fixture of the transport's KCS suites: a board whose BMCs sit behind
// register-level KCS models and whose platform gives the transport the
// ACPI PM timer at 608h (OVMF's q35 port) and the default flag wait, the
// transport installed by its first run. A port access costs 10 us of
// virtual time here, so that a five-second wait is 250,000 polls.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TransportBoard.h"
#include "IpmiTransport/Pei/IpmiTransportPei.h"

namespace OskelTest {

using OskelSim::Bytes;
using OskelSim::KcsBmcModel;
using OskelSim::Ok;
using OskelSim::Reply;

class KcsTest : public ::testing::Test {
protected:
  explicit KcsTest (std::vector<uint16_t> Bases = { 0x0000, 0x0200 }, bool PlatformHob = true) : Board (Bases, PlatformHob)
  {
    Board.Clock.NanosecondsPerAccess = 10000;
  }

  // The settings HOB this suite's board gives; a suite may override.
  virtual void AddSettings () { Board.AddSettings (0, 0, mPmTimerPort); }

  void SetUp () override
  {
    AddSettings ();
    ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
    Transport = Board.Transport ();
    ASSERT_NE (Transport, nullptr);
  }

  KcsBmcModel &Kcs (size_t Index) { return *Board.Kcs.at (Index); }
  OskelSim::ScriptedBmc &Bmc (size_t Index) { return *Board.Scripted.at (Index); }

  std::vector<std::string> Accesses (size_t Index)
  {
    std::vector<std::string>  Lines;
    for (const auto &A : Kcs (Index).Accesses) {
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

  EFI_STATUS Phase0 (UINT8 *State)
  {
    *State = 0xFF;
    return Transport->TrackBmcStatus (Board.Services (), Transport, State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE);
  }

  EFI_STATUS Phase1 (BOOLEAN DeviceError)
  {
    UINT8  State = 0xFF;
    return Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_AFTER_COMMAND, DeviceError);
  }

  UINT8 Count ()
  {
    UINT8  Value = 0;
    EXPECT_EQ (Transport->GetBmcCount (Board.Services (), Transport, &Value), EFI_SUCCESS);
    return Value;
  }

  // Selects BMC Index and sends Get Device ID without a response buffer.
  EFI_STATUS Ping (UINT8 Index)
  {
    UINT8  Length = 0;
    EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, Index), EFI_SUCCESS);
    return Send (0x06, 0x01, {}, nullptr, &Length);
  }

  UINT8 StateOf (UINT8 Index)
  {
    UINT8  State = 0xFF;
    EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, Index), EFI_SUCCESS);
    EXPECT_EQ (Phase0 (&State), EFI_SUCCESS);
    return State;
  }

  static constexpr uint16_t  mPmTimerPort = 0x0608;
  static constexpr uint64_t  mSecond      = 1000000000ull;

  OskelSim::TransportBoard  Board;
  IPMI_TRANSPORT_PPI  *Transport = nullptr;
};

}  // namespace OskelTest
