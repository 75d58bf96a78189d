// Whole-file transfers of the well-known files: each step through its own
// slot, dispatcher and guard inside the operation's guard, and a round trip
// through a BMC that keeps files.
#include <map>

#include "OemGroupBytes.h"

namespace OskelTest {
namespace {

using OskelSim::Request;

// A BMC that keeps files in memory and speaks the file service.
class FileKeepingBmc : public OskelSim::BmcEndpoint {
public:
  std::map<std::string, Bytes>     Files;
  std::map<uint32_t, std::string>  Open;
  uint32_t                         LastHandle = 0x100;

  Reply
  Handle (const Request &R) override
  {
    const Bytes  &D = R.Data;
    if ((R.NetFn != 0x2E) || (R.Command != 0x90) || (D.size () < 4)) {
      return Fail (0xC1);
    }

    switch (D[3]) {
      case 0x01: {
        std::string  Name (D.begin () + 12, D.end ());
        if ((D[10] == 0) && (Files.count (Name) == 0)) {
          return Fail (0x0A);
        }

        Files[Name];
        Open[++LastHandle] = Name;
        return Answer (Le32 (LastHandle));
      }
      case 0x02:
      case 0x03: {
        auto  File = Open.find (Le32At (D, 4));
        if (File == Open.end ()) {
          return Fail (0x0E);
        }

        Bytes     &Data  = Files[File->second];
        uint32_t  Offset = Le32At (D, 8);
        if (D[3] == 0x03) {
          Bytes  Carried (D.begin () + 12, D.end ());
          Data.resize (std::max<size_t>(Data.size (), Offset + Carried.size ()));
          std::copy (Carried.begin (), Carried.end (), Data.begin () + Offset);
          return Answer (Le16 (uint32_t (Carried.size ())));
        }

        size_t  Asked = D[12] | D[13] << 8;
        Bytes   Out (Data.begin () + std::min<size_t>(Offset, Data.size ()), Data.begin () + std::min<size_t>(Offset + Asked, Data.size ()));
        return ReadAnswer (uint16_t (Out.size ()), Out);
      }
      case 0x05:
        return Open.erase (Le32At (D, 4)) ? Answer () : Fail (0x0E);
      case 0x06:
      case 0x07: {
        auto  File = Files.find (std::string (D.begin () + 4, D.end ()));
        if (File == Files.end ()) {
          return Fail (0x0A);
        }

        uint32_t  Size = uint32_t (File->second.size ());
        if (D[3] == 0x07) {
          Files.erase (File);
          return Answer ();
        }

        return Answer (Le32 (Size));
      }
      default:
        return Fail (0xC1);
    }
  }
};

class KnownFilesTest : public BoardTest {
protected:
  EFI_STATUS
  ReadFile (UINT8 Id, uint32_t Count, const UINT32 *Size = nullptr, UINT8 Force = 0)
  {
    Buffer.assign (Count + 1, 0xEE);
    return Service->ReadKnownFile (nullptr, Service, Id, 0, Count, Buffer.data (), &BytesRead, Size, &Bmc0, Force);
  }

  EFI_STATUS
  WriteFile (UINT8 Id, uint32_t Offset, const Bytes &Data, const UINT32 *Size = nullptr)
  {
    WriteCount = uint32_t (Data.size ());
    return Service->WriteKnownFile (nullptr, Service, Id, Offset, Data.data (), &WriteCount, Size, &Bmc0, 0);
  }

  Bytes   Buffer;
  UINT32  BytesRead  = 0xDEADBEEF;
  UINT32  WriteCount = 0;
};

TEST_F (KnownFilesTest, WholeReadStepsThroughTheirOwnGuards) {
  Bmc (0).Then (Answer (Le32 (0xBEEF))).Then (ReadAnswer (224, PatternAt (0, 224))).Then (ReadAnswer (76, PatternAt (224, 76))).Then (Answer ());
  ASSERT_EQ (ReadFile (KNOWN_FILE_SMBIOS_TABLE, 300), EFI_SUCCESS);
  EXPECT_EQ (BytesRead, 300u);
  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + 300), ElementsAreArray (PatternAt (0, 300)));

  EXPECT_THAT (
    Calls (),
    ElementsAre (
      "count", "select 0", "phase0",
      "count", "select 0", "phase0", "send 2E/90", "phase1 flag=0",                // open
      "count", "select 0", "phase0", "send 2E/90", "send 2E/90", "phase1 flag=0",  // read
      "count", "select 0", "phase0", "send 2E/90", "phase1 flag=0",                // close
      "phase1 flag=0"
      )
    );
  const auto  S = Sends ();
  ASSERT_EQ (S.size (), 4u);
  EXPECT_THAT (S[0].Request, ElementsAreArray (FileHeader (0x01) + Bytes{ 0x03, 0x00, 0x00, 0x90, 0x01, 0x00, 0x00, 0x14 } + Text ("smbios-table")));
  EXPECT_THAT (S[1].Request, ElementsAreArray (FileHeader (0x02) + Le32 (0xBEEF) + Le32 (0) + Le16 (224)));
  EXPECT_THAT (S[2].Request, ElementsAreArray (FileHeader (0x02) + Le32 (0xBEEF) + Le32 (224) + Le16 (76)));
  EXPECT_THAT (S[3].Request, ElementsAreArray (FileHeader (0x05) + Le32 (0xBEEF)));
}

struct OpenRow {
  const char      *Name;
  UINT8           Id;
  bool            Write;
  const UINT32    *Size;
  Bytes           OpenBytes;  // request bytes 4..11
  const char      *FileName;
};

constexpr UINT32  mThousand = 1000;

class OpenParameterTest : public KnownFilesTest, public ::testing::WithParamInterface<OpenRow> {};

TEST_P (OpenParameterTest, OpensWithTheFilesParameters) {
  const OpenRow  &Row = GetParam ();

  Bmc (0).Then (Answer (Le32 (7))).Default = ReadAnswer (8, PatternAt (0, 8));
  ASSERT_EQ (Row.Write ? WriteFile (Row.Id, 0, PatternAt (0, 8), Row.Size) : ReadFile (Row.Id, 8, Row.Size), EFI_SUCCESS);
  ASSERT_EQ (Sends ().size (), 3u);
  EXPECT_THAT (Sends ()[0].Request, ElementsAreArray (FileHeader (0x01) + Row.OpenBytes + Text (Row.FileName)));
  EXPECT_EQ (Sends ()[1].Request[3], Row.Write ? 0x03 : 0x02);
  EXPECT_EQ (Le32At (Sends ()[1].Request, 4), 7u);
  EXPECT_THAT (Sends ()[2].Request, ElementsAreArray (FileHeader (0x05) + Le32 (7)));
}

INSTANTIATE_TEST_SUITE_P (
  Rows,
  OpenParameterTest,
  ::testing::Values (
    OpenRow{ "BiosConfigRawWrite", KNOWN_FILE_BIOS_CONFIG_RAW, true, nullptr, { 0x01, 0x00, 0x32, 0x00, 0x00, 0x00, 0x01, 0x0B }, "bios-config-raw" },
    OpenRow{ "BiosConfigRawRead", KNOWN_FILE_BIOS_CONFIG_RAW, false, nullptr, { 0x03, 0x00, 0x32, 0x00, 0x00, 0x00, 0x00, 0x0B }, "bios-config-raw" },
    OpenRow{ "CaterrWrite", KNOWN_FILE_CATERR_MSR_DUMP, true, nullptr, { 0x03, 0x01, 0x80, 0x00, 0x00, 0x00, 0x01, 0x14 }, "caterr-msr-dump" },
    OpenRow{ "CallerSizeWins", KNOWN_FILE_CONFIG, false, &mThousand, { 0x03, 0x01, 0xE8, 0x03, 0x00, 0x00, 0x00, 0x0B }, "config" },
    OpenRow{ "LongestName", KNOWN_FILE_UEFI_CHIPSET_REGISTERS, true, nullptr, { 0x03, 0x00, 0x00, 0x30, 0x00, 0x00, 0x01, 0x14 }, "uefi-chipset-registers" }
    ),
  [](const auto &Info) { return std::string (Info.param.Name); }
  );

// Every row of the well-known file table as the BMC sees it: the name a
// size query carries, and the open bytes 4..11 of a whole-file read and
// write with the default size.
struct TableRow {
  UINT8       Id;
  const char  *FileName;
  uint32_t    DefaultSize;
  UINT8       OpenFlag;
  UINT8       WriteOpenMode;
  UINT8       FileClass;
};

class KnownFileTableTest : public KnownFilesTest, public ::testing::WithParamInterface<TableRow> {};

TEST_P (KnownFileTableTest, EveryRowOpensAndNamesItsFile) {
  const TableRow  &Row = GetParam ();
  UINT32          Size = 0;

  Bmc (0).Default = Answer (Le32 (7));
  ASSERT_EQ (Service->GetFileSize (nullptr, Service, Row.Id, nullptr, nullptr, &Size, &Bmc0, 0), EFI_SUCCESS);
  ASSERT_EQ (Sends ().size (), 1u);
  EXPECT_THAT (Sends ()[0].Request, ElementsAreArray (FileHeader (0x06) + Text (Row.FileName)));

  for (bool Write : { false, true }) {
    Log ().Clear ();
    Bmc (0).Then (Answer (Le32 (7))).Default = ReadAnswer (4, PatternAt (0, 4));
    ASSERT_EQ (Write ? WriteFile (Row.Id, 0, PatternAt (0, 4)) : ReadFile (Row.Id, 4), EFI_SUCCESS);
    ASSERT_FALSE (Sends ().empty ());
    const Bytes  Mode = { Write ? Row.WriteOpenMode : UINT8 (0x03), Row.OpenFlag };
    EXPECT_THAT (
      Sends ()[0].Request,
      ElementsAreArray (FileHeader (0x01) + Mode + Le32 (Row.DefaultSize) + Bytes{ UINT8 (Write), Row.FileClass } + Text (Row.FileName))
      ) << (Write ? "write" : "read");
  }
}

INSTANTIATE_TEST_SUITE_P (
  Table,
  KnownFileTableTest,
  ::testing::Values (
    TableRow{ KNOWN_FILE_SMBIOS_TABLE, "smbios-table", 0x19000, 0, 3, 0x14 },
    TableRow{ KNOWN_FILE_PAP_PASSWORD, "pap-password", 0x40, 0, 3, 0x14 },
    TableRow{ KNOWN_FILE_WHEA_DATA, "whea-data", 0x2000, 0, 3, 0x14 },
    TableRow{ KNOWN_FILE_SLP2_DATA, "slp2-data", 0x400, 0, 3, 0x14 },
    TableRow{ KNOWN_FILE_BIOS_CONFIG_RAW, "bios-config-raw", 0x32, 0, 1, 0x0B },
    TableRow{ KNOWN_FILE_CONFIG_LOG, "config_log", 0x2000, 1, 3, 0x0B },
    TableRow{ KNOWN_FILE_CONFIG, "config", 0x4000, 1, 3, 0x0B },
    TableRow{ KNOWN_FILE_CATERR_MSR_DUMP, "caterr-msr-dump", 0x80, 1, 3, 0x14 },
    TableRow{ KNOWN_FILE_UEFI_THERMAL_TABLE, "uefi-thermal-table", 0x320, 0, 3, 0x14 },
    TableRow{ KNOWN_FILE_UEFI_CHIPSET_REGISTERS, "uefi-chipset-registers", 0x3000, 0, 3, 0x14 },
    TableRow{ KNOWN_FILE_UEFI_TCL_IN, "uefi-tcl.in", 0x1000, 0, 3, 0x14 },
    TableRow{ KNOWN_FILE_UEFI_ERR_LOG, "uefi-err.log", 0x3000, 0, 3, 0x14 }
    ),
  [](const auto &Info) { return "Id" + std::to_string (Info.param.Id); }
  );

TEST_F (KnownFilesTest, RefusalsSendNothing) {
  for (UINT8 Id : { 4, 10, KNOWN_FILE_CALLER_NAMED }) {
    Log ().Clear ();
    EXPECT_EQ (ReadFile (Id, 8), EFI_INVALID_PARAMETER);
    EXPECT_EQ (WriteFile (Id, 0, PatternAt (0, 8)), EFI_INVALID_PARAMETER);
    EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0", "count", "select 0", "phase0")) << int (Id);
  }

  EXPECT_EQ (BytesRead, 0xDEADBEEFu);

  Log ().Clear ();
  EXPECT_EQ (Service->ReadKnownFile (nullptr, Service, 0, 0, 8, nullptr, &BytesRead, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->ReadKnownFile (nullptr, Service, 0, 0, 8, Buffer.data (), nullptr, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->WriteKnownFile (nullptr, Service, 0, 0, nullptr, &WriteCount, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Service->WriteKnownFile (nullptr, Service, 0, 0, Buffer.data (), nullptr, nullptr, &Bmc0, 0), EFI_INVALID_PARAMETER);
  EXPECT_EQ (Log ().Of (EventKind::TrackBmcStatus).size (), 0u);

  // The guard answers before the id is looked at.
  Board.Transport.MarkUnusable (0);
  EXPECT_EQ (ReadFile (4, 8), EFI_DEVICE_ERROR);
  EXPECT_TRUE (Sends ().empty ());
}

TEST_F (KnownFilesTest, FailedOpenEndsWithoutTransferOrClose) {
  Bmc (0).Then (Fail (0x0A));
  EXPECT_EQ (ReadFile (KNOWN_FILE_CONFIG, 8), EFI_NOT_FOUND);
  EXPECT_EQ (BytesRead, 0xDEADBEEFu);
  EXPECT_THAT (Calls (), ElementsAre ("count", "select 0", "phase0", "count", "select 0", "phase0", "send 2E/90", "phase1 flag=0"));
}

TEST_F (KnownFilesTest, FailedTransferIsStillClosed) {
  Bmc (0).Then (Answer (Le32 (9))).Then (Fail (EFI_DEVICE_ERROR)).Then (Answer ());
  EXPECT_EQ (ReadFile (KNOWN_FILE_CONFIG, 8), EFI_DEVICE_ERROR);
  EXPECT_EQ (BytesRead, 0u);
  ASSERT_EQ (Sends ().size (), 3u);
  EXPECT_THAT (Sends ()[2].Request, ElementsAreArray (FileHeader (0x05) + Le32 (9)));
  EXPECT_EQ (Calls ().back (), "phase1 flag=1");

  Log ().Clear ();
  Bmc (0).Then (Answer (Le32 (9))).Then (Fail (0x0D)).Then (Answer ());
  EXPECT_EQ (WriteFile (KNOWN_FILE_CONFIG, 0, PatternAt (0, 8)), EFI_BAD_BUFFER_SIZE);
  EXPECT_EQ (WriteCount, 8u);
  EXPECT_EQ (Sends ().size (), 3u);
  EXPECT_EQ (Calls ().back (), "phase1 flag=0");
}

TEST_F (KnownFilesTest, FailedCloseKeepsTheTransferStatus) {
  Bmc (0).Then (Answer (Le32 (9))).Then (ReadAnswer (8, PatternAt (0, 8))).Then (Fail (EFI_DEVICE_ERROR));
  EXPECT_EQ (ReadFile (KNOWN_FILE_CONFIG, 8), EFI_SUCCESS);
  EXPECT_EQ (BytesRead, 8u);
  EXPECT_EQ (Calls ().back (), "phase1 flag=0");
}

TEST_F (KnownFilesTest, ForceCarriesIntoEveryStep) {
  Board.Transport.MarkUnusable (0);
  Bmc (0).Then (Answer (Le32 (9))).Then (ReadAnswer (8, PatternAt (0, 8))).Then (Answer ());
  EXPECT_EQ (ReadFile (KNOWN_FILE_CONFIG, 8, nullptr, 1), EFI_SUCCESS);
  EXPECT_EQ (Sends ().size (), 3u);
}

TEST_F (KnownFilesTest, WrittenFileReadsBack) {
  FileKeepingBmc  Keeper;
  const Bytes     First  = PatternAt (0, 500);
  const Bytes     Second = PatternAt (1000, 30);
  Board.Transport.Attach (0, &Keeper);

  ASSERT_EQ (WriteFile (KNOWN_FILE_CONFIG, 0, First), EFI_SUCCESS);
  EXPECT_EQ (WriteCount, 500u);
  ASSERT_EQ (WriteFile (KNOWN_FILE_CONFIG, 490, Second), EFI_SUCCESS);

  Bytes  Expected = First;
  Expected.resize (520);
  std::copy (Second.begin (), Second.end (), Expected.begin () + 490);

  ASSERT_EQ (ReadFile (KNOWN_FILE_CONFIG, 520), EFI_SUCCESS);
  EXPECT_EQ (BytesRead, 520u);
  EXPECT_THAT (Bytes (Buffer.begin (), Buffer.begin () + 520), ElementsAreArray (Expected));
  EXPECT_TRUE (Keeper.Open.empty ());

  UINT32  Size = 0;
  UINT8   Length = 0;
  EXPECT_EQ (Service->GetFileSize (nullptr, Service, KNOWN_FILE_CONFIG, nullptr, &Length, &Size, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Size, 520u);
  EXPECT_EQ (Service->FileDelete (nullptr, Service, KNOWN_FILE_CONFIG, nullptr, &Length, &Bmc0, 0), EFI_SUCCESS);
  EXPECT_EQ (Service->GetFileSize (nullptr, Service, KNOWN_FILE_CONFIG, nullptr, &Length, &Size, &Bmc0, 0), EFI_NOT_FOUND);
  EXPECT_EQ (ReadFile (KNOWN_FILE_CONFIG, 8), EFI_NOT_FOUND);
}

}  // namespace
}  // namespace OskelTest
