// The fixture of the KCS transport suites: a board whose BMCs sit behind
// register-level KCS models, the transport installed by its first run.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KcsBoard.h"
#include "KcsTransport/Pei/KcsTransportPei.h"

namespace OskelTest {

using OskelSim::Bytes;
using OskelSim::KcsBmcModel;
using OskelSim::Ok;
using OskelSim::Reply;

class KcsTest : public ::testing::Test {
protected:
  explicit KcsTest (std::vector<uint16_t> Bases = { 0x0000, 0x0200 }, bool PlatformHob = true) : Board (Bases, PlatformHob) {}

  void SetUp () override
  {
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

  OskelSim::KcsBoard  Board;
  IPMI_TRANSPORT_PPI  *Transport = nullptr;
};

}  // namespace OskelTest
