// The transport as a build that carries one interface makes it. A build
// with BT alone serves the BMCs the interfaces HOB puts on BT; a BMC on
// KCS has no interface and fails without a port access. A build with KCS
// alone does not read the interfaces HOB: every BMC is on KCS at its
// platform base, as before the transport had a second interface. Built
// once per choice (OskelTransportKcsOnlyTests, OskelTransportBtOnlyTests),
// each with the transport's host library of that build.

#include <gtest/gtest.h>

#include "TransportBoard.h"
#include "IpmiTransport/Pei/IpmiTransportPei.h"

namespace OskelTest {
namespace {

static_assert (OSKEL_TRANSPORT_KCS + OSKEL_TRANSPORT_BT == 1, "built for the builds that carry one interface");

constexpr uint16_t  mBtControl = 0x00E4;

class BuildChoiceTest : public ::testing::Test {
protected:
  // BMC 0 on KCS at base 0, BMC 1 on BT at E4h.
  BuildChoiceTest () : Board ({ 0x0000, 0x0200 })
  {
    Board.Clock.NanosecondsPerAccess = 10000;
    Board.AddSettings (0, 0, 0x0608);
    Board.AddInterfaces ({ { IPMI_INTERFACE_KCS, 0 }, { IPMI_INTERFACE_BT, mBtControl } });
    Board.AddBt (1, mBtControl);
  }

  void SetUp () override
  {
    ASSERT_EQ (Board.RunTransportEntry (), EFI_SUCCESS);
    Transport = Board.Transport ();
    ASSERT_NE (Transport, nullptr);
  }

  EFI_STATUS Ping (UINT8 Index)
  {
    UINT8  Length = 0;
    EXPECT_EQ (Transport->SelectBmc (Board.Services (), Transport, Index), EFI_SUCCESS);
    return Transport->SendCommand (Board.Services (), Transport, 0x06, 0, 0x01, nullptr, 0, nullptr, &Length);
  }

  UINT8 Phase0 ()
  {
    UINT8  State = 0xFF;
    EXPECT_EQ (Transport->TrackBmcStatus (Board.Services (), Transport, &State, IPMI_TRACK_PHASE_BEFORE_COMMAND, FALSE), EFI_SUCCESS);
    return State;
  }

  size_t Accesses () { return Board.Kcs[0]->Accesses.size () + Board.Kcs[1]->Accesses.size () + Board.Bt[0]->Accesses.size (); }

  OskelSim::TransportBoard  Board;
  IPMI_TRANSPORT_PPI        *Transport = nullptr;
};

#if OSKEL_TRANSPORT_BT

TEST_F (BuildChoiceTest, BtBmcServedKcsBmcWrittenOffWithoutAPortAccess) {
  EXPECT_EQ (Ping (1), EFI_SUCCESS);
  EXPECT_EQ (Board.Bt[0]->Requests.size (), 1u);
  EXPECT_TRUE (Board.Bt[0]->Violations.empty ());

  Board.ClearAccesses ();
  EXPECT_EQ (Ping (0), EFI_DEVICE_ERROR);
  EXPECT_EQ (Accesses (), 0u);
  EXPECT_EQ (Phase0 (), IPMI_BMC_STATE_UNUSABLE);

  // The forced command after phase 0 fails the same way: there is no
  // interface to send it on.
  EXPECT_EQ (Ping (0), EFI_DEVICE_ERROR);
  EXPECT_EQ (Accesses (), 0u);
  EXPECT_EQ (Phase0 (), IPMI_BMC_STATE_UNUSABLE);

  // The served BMC is untouched by it.
  EXPECT_EQ (Ping (1), EFI_SUCCESS);
}

#else

TEST_F (BuildChoiceTest, EveryBmcOnKcsTheInterfacesHobNotRead) {
  EXPECT_EQ (Ping (0), EFI_SUCCESS);
  EXPECT_EQ (Ping (1), EFI_SUCCESS);
  EXPECT_EQ (Board.Kcs[0]->Requests.size (), 1u);
  EXPECT_EQ (Board.Kcs[1]->Requests.size (), 1u);
  EXPECT_TRUE (Board.Bt[0]->Accesses.empty ());
}

#endif

}  // namespace
}  // namespace OskelTest
