// The fixture every suite shares: a simulated board with two BMCs, the
// service installed by a first run of the entry, and the trace cleared.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SimulatedBoard.h"

namespace OskelTest {

using OskelSim::Bytes;
using OskelSim::Event;
using OskelSim::EventKind;
using OskelSim::Fail;
using OskelSim::Ok;
using OskelSim::Reply;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class BoardTest : public ::testing::Test {
protected:
  explicit BoardTest (size_t BmcCount = 2) : Board (BmcCount) {}

  void SetUp () override
  {
    Service = Board.InstallService ();
    ASSERT_NE (Service, nullptr);
  }

  OskelSim::Trace &Log () { return Board.Log; }
  OskelSim::ScriptedBmc &Bmc (size_t Index) { return Board.Transport.Script (Index); }
  std::vector<Event> Sends () const { return Board.Log.Sends (); }
  std::vector<std::string> Calls () const { return Board.Log.TransportSequence (); }

  OskelSim::SimulatedBoard  Board;
  BMC_COMMANDS_PPI          *Service = nullptr;
  UINT8                     Bmc0 = 0;
  UINT8                     Bmc1 = 1;
  UINT8                     AllBmcs = ALL_BMCS;
};

}  // namespace OskelTest
