// A virtual board of the simulator, booted with the options a test gives,
// with helpers to run script lines and look at what each one sent.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Names.h"
#include "VirtualBoard.h"

namespace OskelTest {

using OskelSim::Bytes;
using OskelSim::Event;
using OskelSim::EventKind;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

inline std::string
HexText (const Bytes &Data)
{
  std::string  Out;
  char         Byte[3];
  for (uint8_t B : Data) {
    std::snprintf (Byte, sizeof (Byte), "%02X", B);
    Out += Byte;
  }

  return Out;
}

inline Bytes
Pattern (size_t Count, uint8_t Seed)
{
  Bytes  Out (Count);
  for (size_t Index = 0; Index < Count; Index++) {
    Out[Index] = static_cast<uint8_t>(Seed + Index * 13 + (Index >> 8));
  }

  return Out;
}

class SimulatorTest : public ::testing::Test {
protected:
  // Builds and boots the board; options as on the command line.
  void
  Boot (const std::vector<std::string> &Arguments = {})
  {
    std::string  Error;
    bool         Help = false;
    ASSERT_TRUE (OskelSim::ParseOptions (Arguments, Options, Error, Help)) << Error;
    Sim = std::make_unique<OskelSim::VirtualBoard>(Options);
    BootStatus = Sim->Boot ();
  }

  // Runs one script line; Since marks where its events start.
  OskelSim::StepResult
  Run (const std::string &Line)
  {
    std::vector<OskelSim::ScriptStep>  Steps;
    std::string                        Error;
    EXPECT_TRUE (OskelSim::ParseScript (Line, "", Steps, Error)) << Error;
    EXPECT_EQ (Steps.size (), 1u);
    Since = Sim->Board.Log.Events.size ();
    return Steps.empty () ? OskelSim::StepResult{} : Sim->Run (Steps[0]);
  }

  std::vector<Event>
  SendsSince (size_t From) const
  {
    std::vector<Event>  Out;
    for (size_t At = From; At < Sim->Board.Log.Events.size (); At++) {
      if (Sim->Board.Log.Events[At].Kind == EventKind::SendCommand) {
        Out.push_back (Sim->Board.Log.Events[At]);
      }
    }

    return Out;
  }

  std::vector<Event> Sends () const { return SendsSince (Since); }

  static std::vector<Event>
  Only (const std::vector<Event> &Events, uint8_t NetFn, uint8_t Command)
  {
    std::vector<Event>  Out;
    for (const Event &E : Events) {
      if ((E.NetFn == NetFn) && (E.Command == Command)) {
        Out.push_back (E);
      }
    }

    return Out;
  }

  OskelSim::BmcModel &Model (size_t Index) { return *Sim->Models.at (Index); }

  OskelSim::SimulatorOptions                Options;
  std::unique_ptr<OskelSim::VirtualBoard>   Sim;
  EFI_STATUS                                BootStatus = EFI_SUCCESS;
  size_t                                    Since = 0;
};

}  // namespace OskelTest
