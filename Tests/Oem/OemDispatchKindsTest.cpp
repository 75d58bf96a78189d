// How each OEM slot spreads over BMCs: one BMC, every BMC, or BMC 0 alone.
#include "BoardFixture.h"

namespace OskelTest {
namespace {

enum class Kind { Single, Broadcast, ZeroOnly };

struct SlotRow {
  const char                                                       *Name;
  Kind                                                             DispatchKind;
  std::function<EFI_STATUS (BMC_COMMANDS_PPI *, UINT8 *, UINT8)>   Call;
};

void
PrintTo (const SlotRow &Row, std::ostream *Out)
{
  *Out << Row.Name;
}

class OemDispatchKindTest : public BoardTest, public ::testing::WithParamInterface<SlotRow> {
protected:
  void
  SetUp () override
  {
    BoardTest::SetUp ();
    // Enough for every query; the state read finds the state already set.
    Bmc (0).Default = Ok ({ 0x01, 0x02 });
    Bmc (1).Default = Ok ({ 0x01, 0x02 });
  }

  // The BMCs selected and the BMCs sent to by one call.
  std::pair<std::vector<uint8_t>, std::vector<uint8_t>>
  Call (UINT8 Instance, EFI_STATUS Expected, UINT8 Force = 0)
  {
    std::pair<std::vector<uint8_t>, std::vector<uint8_t>>  Out;

    Log ().Clear ();
    EXPECT_EQ (GetParam ().Call (Service, &Instance, Force), Expected) << "instance " << int (Instance);
    for (const Event &E : Log ().Of (EventKind::SelectBmc)) {
      Out.first.push_back (E.Index);
    }

    for (const Event &E : Sends ()) {
      Out.second.push_back (E.Bmc);
    }

    return Out;
  }
};

TEST_P (OemDispatchKindTest, BmcsAddressed) {
  const Kind  K       = GetParam ().DispatchKind;
  const auto  Nothing = std::pair<std::vector<uint8_t>, std::vector<uint8_t>>{};

  EXPECT_EQ (Call (0, EFI_SUCCESS).second.at (0), 0);
  if (K == Kind::Broadcast) {
    EXPECT_EQ (Call (ALL_BMCS, EFI_SUCCESS).first, (std::vector<uint8_t>{ 0, 1 }));
  } else {
    EXPECT_EQ (Call (ALL_BMCS, EFI_UNSUPPORTED), Nothing);
  }

  if (K == Kind::ZeroOnly) {
    EXPECT_EQ (Call (1, EFI_UNSUPPORTED), Nothing);
  } else {
    EXPECT_EQ (Call (1, EFI_SUCCESS).first, (std::vector<uint8_t>{ 1 }));
    EXPECT_EQ (Sends ().front ().Bmc, 1);
  }

  EXPECT_EQ (Call (2, EFI_INVALID_PARAMETER), Nothing);
  EXPECT_EQ (GetParam ().Call (Service, nullptr, 0), EFI_INVALID_PARAMETER);
  // Force 2 is refused by the worker, before its guard.
  EXPECT_EQ (Call (0, EFI_INVALID_PARAMETER, 2).first, (std::vector<uint8_t>{ 0 }));
  EXPECT_TRUE (Log ().Of (EventKind::TrackBmcStatus).empty ());
}

INSTANTIATE_TEST_SUITE_P (
  Slots,
  OemDispatchKindTest,
  ::testing::Values (
    SlotRow{ "OemC1Query", Kind::Single, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        UINT8  Buffer[8];
        UINT8  Length = sizeof (Buffer);
        return S->OemC1Query (nullptr, S, Buffer, &Length, I, F);
      } },
    SlotRow{ "OemC2Exchange", Kind::Broadcast, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        UINT8  Buffer[2] = { 0x01, 0x02 };
        return S->OemC2Exchange (nullptr, S, Buffer, I, F);
      } },
    SlotRow{ "Oem20Exchange", Kind::Single, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        UINT8  Buffer[2] = { 0x01, 0x02 };
        UINT8  Length    = 2;
        return S->Oem20Exchange (nullptr, S, Buffer, &Length, I, F);
      } },
    SlotRow{ "GetOem10Value", Kind::Single, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        UINT8  Value;
        return S->GetOem10Value (nullptr, S, &Value, I, F);
      } },
    SlotRow{ "SetOem10Value", Kind::Broadcast, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        UINT8  Value = 1;
        return S->SetOem10Value (nullptr, S, &Value, I, F);
      } },
    SlotRow{ "SetOem62Flag", Kind::Broadcast, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        return S->SetOem62Flag (nullptr, S, 1, I, F);
      } },
    SlotRow{ "Oem1CSetWord", Kind::ZeroOnly, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        return S->Oem1CSetWord (nullptr, S, 0x0102, I, F);
      } },
    SlotRow{ "Oem1CClear", Kind::ZeroOnly, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        return S->Oem1CClear (nullptr, S, I, F);
      } },
    SlotRow{ "SetOem1CState", Kind::ZeroOnly, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        return S->SetOem1CState (nullptr, S, 1, I, F);
      } },
    SlotRow{ "GetOem1CState", Kind::Single, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        UINT32  State;
        return S->GetOem1CState (nullptr, S, &State, I, F);
      } },
    SlotRow{ "Oem1CSetWordEx", Kind::ZeroOnly, [](BMC_COMMANDS_PPI *S, UINT8 *I, UINT8 F) {
        return S->Oem1CSetWordEx (nullptr, S, 0x0102, I, F);
      } }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

}  // namespace
}  // namespace OskelTest
