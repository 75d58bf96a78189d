#include "Script.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#include "Names.h"

namespace OskelSim {

namespace {

enum class Kind : uint8_t {
  Number,           // decimal or hex, at most Max
  Data,             // hex string or @FILE, Min..Max bytes
  Text,             // raw characters, Min..Max of them
  Instance,         // a BMC index or "all"
  KnownFile,        // a well-known file id or its name
  SettingSelector,  // smbioscrc, 1boot, described, or a number
  Handle,           // a file handle or "last"
  OutputFile        // where data outputs are written
};

struct Parameter {
  const char *Name;
  Kind       Type;
  uint64_t   Max;
  const char *Default;  // nullptr: required; "": optional, absent when not given
  uint64_t   Min = 0;
};

using Runner = std::function<EFI_STATUS (ScriptContext &, const ScriptStep &, StepResult &)>;

struct OperationRow {
  const char             *Name;
  std::vector<Parameter> Parameters;  // besides bmc and force, which every slot but 32 takes
  Runner                 Run;
  bool                   TakesInstance = true;
};

struct KnownFileName {
  const char *Name;
  uint8_t    Id;
};

constexpr KnownFileName  mKnownFiles[] = {
  { "smbios-table",           KNOWN_FILE_SMBIOS_TABLE           },
  { "pap-password",           KNOWN_FILE_PAP_PASSWORD           },
  { "whea-data",              KNOWN_FILE_WHEA_DATA              },
  { "slp2-data",              KNOWN_FILE_SLP2_DATA              },
  { "bios-config-raw",        KNOWN_FILE_BIOS_CONFIG_RAW        },
  { "config_log",             KNOWN_FILE_CONFIG_LOG             },
  { "config",                 KNOWN_FILE_CONFIG                 },
  { "caterr-msr-dump",        KNOWN_FILE_CATERR_MSR_DUMP        },
  { "uefi-thermal-table",     KNOWN_FILE_UEFI_THERMAL_TABLE     },
  { "uefi-chipset-registers", KNOWN_FILE_UEFI_CHIPSET_REGISTERS },
  { "uefi-tcl.in",            KNOWN_FILE_UEFI_TCL_IN            },
  { "uefi-err.log",           KNOWN_FILE_UEFI_ERR_LOG           },
  { "named",                  KNOWN_FILE_CALLER_NAMED           },
};

constexpr uint64_t  mU8  = 0xFF;
constexpr uint64_t  mU16 = 0xFFFF;
constexpr uint64_t  mU32 = 0xFFFFFFFF;
constexpr uint64_t  mMaxTransfer = 0x100000;  // a script asks for at most 1 MiB at once

std::string
HexNumber (uint64_t Value, int Digits)
{
  char  Text[24];
  std::snprintf (Text, sizeof (Text), "%0*llXh", Digits, static_cast<unsigned long long>(Value));
  return Text;
}

void
Output (StepResult &R, const std::string &Name, const std::string &Value)
{
  R.Outputs.push_back (Name + " " + Value);
}

// Data outputs: shown in hex (the first 64 bytes of longer data) and, with
// out=FILE, written whole to the file.
void
DataOutput (StepResult &R, const ScriptStep &Step, const std::string &Name, const uint8_t *Data, size_t Count)
{
  Bytes        Shown (Data, Data + std::min<size_t>(Count, 64));
  std::string  Text = "[" + Hex (Shown) + (Count > 64 ? " ...]" : "]") + " (" + std::to_string (Count) + " bytes)";

  if (Step.Has ("out")) {
    std::ofstream  File (Step.Text ("out"), std::ios::binary);
    File.write (reinterpret_cast<const char *>(Data), static_cast<std::streamsize>(Count));
    if (!File) {
      R.Error = "cannot write " + Step.Text ("out");
    } else {
      Text += " written to " + Step.Text ("out");
    }
  }

  Output (R, Name, Text);
}

UINT8
Instance (const ScriptStep &Step)
{
  return static_cast<UINT8>(Step.Number ("bmc"));
}

BOOLEAN
Force (const ScriptStep &Step)
{
  return static_cast<BOOLEAN>(Step.Number ("force"));
}

uint32_t
HandleOf (ScriptContext &C, const ScriptStep &Step)
{
  return Step.Text ("handle") == "last" ? C.LastHandle : static_cast<uint32_t>(Step.Number ("handle"));
}

const std::vector<OperationRow> &
Operations ()
{
  static const std::vector<OperationRow>  Rows = {
    { "OemC1Query", { { "capacity", Kind::Number, mU8, "64" }, { "out", Kind::OutputFile, 0, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes  Response (256, 0);
        UINT8  Length = static_cast<UINT8>(S.Number ("capacity")), Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->OemC1Query (C.PeiServices, C.Service, Response.data (), &Length, &Bmc, Force (S));
        if (Status == EFI_SUCCESS) {
          DataOutput (R, S, "response", Response.data (), Length);
        }

        return Status;
      } },
    { "OemC2Exchange", { { "data", Kind::Data, 2, nullptr, 2 } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes  Buffer = S.Data ("data");
        UINT8  Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->OemC2Exchange (C.PeiServices, C.Service, Buffer.data (), &Bmc, Force (S));
        DataOutput (R, S, "buffer", Buffer.data (), Buffer.size ());
        return Status;
      } },
    { "Oem20Exchange", { { "data", Kind::Data, 2, nullptr, 2 }, { "length", Kind::Number, mU8, "2" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes  Buffer (256, 0);
        std::copy (S.Data ("data").begin (), S.Data ("data").end (), Buffer.begin ());
        UINT8  Length = static_cast<UINT8>(S.Number ("length")), Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->Oem20Exchange (C.PeiServices, C.Service, Buffer.data (), &Length, &Bmc, Force (S));
        Output (R, "length", std::to_string (Length));
        DataOutput (R, S, "buffer", Buffer.data (), std::max<size_t>(Length, 2));
        return Status;
      } },
    { "RegionRead", { { "offset", Kind::Number, mU16, "0" }, { "selector", Kind::Number, mU8, nullptr }, { "length", Kind::Number, mU16, nullptr }, { "out", Kind::OutputFile, 0, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes   Buffer (S.Number ("length") + 1, 0);
        UINT16  Length = static_cast<UINT16>(S.Number ("length"));
        UINT8   Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->RegionRead (C.PeiServices, C.Service, static_cast<UINT16>(S.Number ("offset")), static_cast<UINT8>(S.Number ("selector")), &Length, Buffer.data (), &Bmc, Force (S));
        Output (R, "length", std::to_string (Length));
        if (Status == EFI_SUCCESS) {
          DataOutput (R, S, "data", Buffer.data (), S.Number ("length"));
        }

        return Status;
      } },
    { "RegionWrite", { { "offset", Kind::Number, mU16, "0" }, { "selector", Kind::Number, mU8, nullptr }, { "data", Kind::Data, mU16, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes   Data = S.Data ("data");
        UINT16  Length = static_cast<UINT16>(Data.size ());
        UINT8   Bmc = Instance (S);
        Data.push_back (0);
        EFI_STATUS  Status = C.Service->RegionWrite (C.PeiServices, C.Service, static_cast<UINT16>(S.Number ("offset")), static_cast<UINT8>(S.Number ("selector")), &Length, Data.data (), &Bmc, Force (S));
        Output (R, "length", std::to_string (Length));
        return Status;
      } },
    { "SendRawCommand", { { "netfn", Kind::Number, 0x3F, nullptr }, { "cmd", Kind::Number, mU8, nullptr }, { "data", Kind::Data, mU8, "" }, { "out", Kind::OutputFile, 0, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes  Data (256, 0);
        const Bytes  Request = S.Has ("data") ? S.Data ("data") : Bytes{};
        std::copy (Request.begin (), Request.end (), Data.begin ());
        UINT8  Length = static_cast<UINT8>(Request.size ()), Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->SendRawCommand (C.PeiServices, C.Service, static_cast<UINT8>(S.Number ("netfn")), static_cast<UINT8>(S.Number ("cmd")), Data.data (), &Length, &Bmc, Force (S));
        if (Status == EFI_SUCCESS) {
          DataOutput (R, S, "response", Data.data (), Length);
        }

        return Status;
      } },
    { "GetDeviceId", { { "capacity", Kind::Number, mU8, "15" }, { "out", Kind::OutputFile, 0, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes  Response (256, 0);
        UINT8  Length = static_cast<UINT8>(S.Number ("capacity")), Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->GetDeviceId (C.PeiServices, C.Service, Response.data (), &Length, &Bmc, Force (S));
        if (Status == EFI_SUCCESS) {
          DataOutput (R, S, "response", Response.data (), Length);
        }

        return Status;
      } },
    { "GetSelfTestResults", { { "capacity", Kind::Number, mU8, "2" }, { "out", Kind::OutputFile, 0, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes  Response (256, 0);
        UINT8  Length = static_cast<UINT8>(S.Number ("capacity")), Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->GetSelfTestResults (C.PeiServices, C.Service, Response.data (), &Length, &Bmc, Force (S));
        if (Status == EFI_SUCCESS) {
          DataOutput (R, S, "response", Response.data (), Length);
        }

        return Status;
      } },
    { "ReportBootStage", { { "stage", Kind::Number, mU8, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        UINT8  Bmc = Instance (S);
        return C.Service->ReportBootStage (C.PeiServices, C.Service, static_cast<UINT8>(S.Number ("stage")), &Bmc, Force (S));
      } },
    { "GetOem10Value", {},
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        UINT8  Value = 0, Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->GetOem10Value (C.PeiServices, C.Service, &Value, &Bmc, Force (S));
        if (Status == EFI_SUCCESS) {
          Output (R, "value", std::to_string (Value));
        }

        return Status;
      } },
    { "SetOem10Value", { { "value", Kind::Number, mU8, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        UINT8  Value = static_cast<UINT8>(S.Number ("value")), Bmc = Instance (S);
        return C.Service->SetOem10Value (C.PeiServices, C.Service, &Value, &Bmc, Force (S));
      } },
    { "SetOem62Flag", { { "enable", Kind::Number, mU8, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        UINT8  Bmc = Instance (S);
        return C.Service->SetOem62Flag (C.PeiServices, C.Service, static_cast<BOOLEAN>(S.Number ("enable")), &Bmc, Force (S));
      } },
    { "FileOpen", { { "name", Kind::Text, mU8, nullptr }, { "flag", Kind::Number, mU8, "0" }, { "mode", Kind::Number, mU8, "3" }, { "size", Kind::Number, mU32, "0" }, { "access", Kind::Number, mU8, "0" }, { "class", Kind::Number, mU8, "0" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        const std::string  &Name = S.Text ("name");
        UINT32  Handle = 0;
        UINT8   Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->FileOpen (
          C.PeiServices, C.Service, Name.c_str (), static_cast<UINT8>(Name.size ()), static_cast<UINT8>(S.Number ("flag")), static_cast<UINT8>(S.Number ("mode")),
          static_cast<UINT32>(S.Number ("size")), static_cast<UINT8>(S.Number ("access")), static_cast<UINT8>(S.Number ("class")), &Handle, &Bmc, Force (S));
        if (Status == EFI_SUCCESS) {
          C.LastHandle = Handle;
        }

        Output (R, "handle", HexNumber (Handle, 8));
        return Status;
      } },
    { "FileRead", { { "handle", Kind::Handle, mU32, "last" }, { "offset", Kind::Number, mU32, "0" }, { "count", Kind::Number, mMaxTransfer, nullptr }, { "out", Kind::OutputFile, 0, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes   Buffer (S.Number ("count") + 1, 0);
        UINT32  BytesRead = 0;
        UINT8   Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->FileRead (C.PeiServices, C.Service, HandleOf (C, S), static_cast<UINT32>(S.Number ("offset")), static_cast<UINT32>(S.Number ("count")), Buffer.data (), &BytesRead, &Bmc, Force (S));
        Output (R, "bytes-read", std::to_string (BytesRead));
        if (Status == EFI_SUCCESS) {
          DataOutput (R, S, "data", Buffer.data (), std::min<size_t>(BytesRead, S.Number ("count")));
        }

        return Status;
      } },
    { "FileWrite", { { "handle", Kind::Handle, mU32, "last" }, { "offset", Kind::Number, mU32, "0" }, { "data", Kind::Data, mMaxTransfer, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes   Data = S.Data ("data");
        UINT32  Count = static_cast<UINT32>(Data.size ());
        UINT8   Bmc = Instance (S);
        Data.push_back (0);
        EFI_STATUS  Status = C.Service->FileWrite (C.PeiServices, C.Service, HandleOf (C, S), static_cast<UINT32>(S.Number ("offset")), Data.data (), &Count, &Bmc, Force (S));
        Output (R, "count", std::to_string (Count));
        return Status;
      } },
    { "FileClose", { { "handle", Kind::Handle, mU32, "last" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        UINT8  Bmc = Instance (S);
        return C.Service->FileClose (C.PeiServices, C.Service, HandleOf (C, S), &Bmc, Force (S));
      } },
    { "ReadKnownFile", { { "id", Kind::KnownFile, mU8, nullptr }, { "offset", Kind::Number, mU32, "0" }, { "count", Kind::Number, mMaxTransfer, nullptr }, { "size", Kind::Number, mU32, "" }, { "out", Kind::OutputFile, 0, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes   Buffer (S.Number ("count") + 1, 0);
        UINT32  BytesRead = 0;
        UINT32  Size = S.Has ("size") ? static_cast<UINT32>(S.Number ("size")) : 0;
        UINT8   Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->ReadKnownFile (
          C.PeiServices, C.Service, static_cast<UINT8>(S.Number ("id")), static_cast<UINT32>(S.Number ("offset")), static_cast<UINT32>(S.Number ("count")), Buffer.data (), &BytesRead,
          S.Has ("size") ? &Size : nullptr, &Bmc, Force (S));
        Output (R, "bytes-read", std::to_string (BytesRead));
        if (Status == EFI_SUCCESS) {
          DataOutput (R, S, "data", Buffer.data (), std::min<size_t>(BytesRead, S.Number ("count")));
        }

        return Status;
      } },
    { "WriteKnownFile", { { "id", Kind::KnownFile, mU8, nullptr }, { "offset", Kind::Number, mU32, "0" }, { "data", Kind::Data, mMaxTransfer, nullptr }, { "size", Kind::Number, mU32, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        Bytes   Data = S.Data ("data");
        UINT32  Count = static_cast<UINT32>(Data.size ());
        UINT32  Size = S.Has ("size") ? static_cast<UINT32>(S.Number ("size")) : 0;
        UINT8   Bmc = Instance (S);
        Data.push_back (0);
        EFI_STATUS  Status = C.Service->WriteKnownFile (
          C.PeiServices, C.Service, static_cast<UINT8>(S.Number ("id")), static_cast<UINT32>(S.Number ("offset")), Data.data (), &Count, S.Has ("size") ? &Size : nullptr, &Bmc, Force (S));
        Output (R, "count", std::to_string (Count));
        return Status;
      } },
    { "FileDelete", { { "id", Kind::KnownFile, mU8, nullptr }, { "name", Kind::Text, mU8, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        const std::string  Name = S.Has ("name") ? S.Text ("name") : std::string ();
        UINT8  NameLength = static_cast<UINT8>(Name.size ()), Bmc = Instance (S);
        return C.Service->FileDelete (C.PeiServices, C.Service, static_cast<UINT8>(S.Number ("id")), S.Has ("name") ? Name.c_str () : nullptr, S.Has ("name") ? &NameLength : nullptr, &Bmc, Force (S));
      } },
    { "GetFileSize", { { "id", Kind::KnownFile, mU8, nullptr }, { "name", Kind::Text, mU8, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        const std::string  Name = S.Has ("name") ? S.Text ("name") : std::string ();
        UINT8   NameLength = static_cast<UINT8>(Name.size ()), Bmc = Instance (S);
        UINT32  Size = 0;
        EFI_STATUS  Status = C.Service->GetFileSize (C.PeiServices, C.Service, static_cast<UINT8>(S.Number ("id")), S.Has ("name") ? Name.c_str () : nullptr, S.Has ("name") ? &NameLength : nullptr, &Size, &Bmc, Force (S));
        Output (R, "size", std::to_string (Size));
        return Status;
      } },
    { "UploadBlocks", { { "tag", Kind::Number, mU32, nullptr }, { "value", Kind::Number, mU8, "0" }, { "data", Kind::Data, mMaxTransfer, "" }, { "op80", Kind::Number, mU8, "0" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        Bytes   Data = S.Has ("data") ? S.Data ("data") : Bytes{};
        UINT32  Length = static_cast<UINT32>(Data.size ());
        UINT8   Bmc = Instance (S);
        Data.push_back (0);
        return C.Service->UploadBlocks (
          C.PeiServices, C.Service, static_cast<UINT32>(S.Number ("tag")), static_cast<UINT8>(S.Number ("value")), S.Has ("data") ? Data.data () : nullptr, S.Has ("data") ? &Length : nullptr,
          static_cast<BOOLEAN>(S.Number ("op80")), &Bmc, Force (S));
      } },
    { "UploadBlocksOp1", { { "tag", Kind::Number, mU32, nullptr }, { "value", Kind::Number, mU8, "0" }, { "data", Kind::Data, mMaxTransfer, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        Bytes   Data = S.Has ("data") ? S.Data ("data") : Bytes{};
        UINT32  Length = static_cast<UINT32>(Data.size ());
        UINT8   Bmc = Instance (S);
        Data.push_back (0);
        return C.Service->UploadBlocksOp1 (
          C.PeiServices, C.Service, static_cast<UINT32>(S.Number ("tag")), static_cast<UINT8>(S.Number ("value")), S.Has ("data") ? Data.data () : nullptr, S.Has ("data") ? &Length : nullptr,
          &Bmc, Force (S));
      } },
    { "StartPostWatchdog", { { "countdown", Kind::Number, mU16, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        UINT8  Bmc = Instance (S);
        return C.Service->StartPostWatchdog (C.PeiServices, C.Service, static_cast<UINT16>(S.Number ("countdown")), &Bmc, Force (S));
      } },
    { "Oem1CSetWord", { { "value", Kind::Number, mU16, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        UINT8  Bmc = Instance (S);
        return C.Service->Oem1CSetWord (C.PeiServices, C.Service, static_cast<UINT16>(S.Number ("value")), &Bmc, Force (S));
      } },
    { "Oem1CClear", {},
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        UINT8  Bmc = Instance (S);
        return C.Service->Oem1CClear (C.PeiServices, C.Service, &Bmc, Force (S));
      } },
    { "ConfigureSerialConsole",
      { { "console", Kind::Number, mU8, "1" }, { "mux", Kind::Number, mU8, "1" }, { "access", Kind::Number, mU8, "3" }, { "bitrate", Kind::Number, mU8, "4" },
        { "spare4", Kind::Number, mU8, "0" }, { "spare5", Kind::Number, mU8, "0" }, { "flow", Kind::Number, mU8, "1" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        SERIAL_CONSOLE_CONFIG  Config = {
          static_cast<UINT8>(S.Number ("console")), static_cast<UINT8>(S.Number ("mux")), static_cast<UINT8>(S.Number ("access")), static_cast<UINT8>(S.Number ("bitrate")),
          static_cast<UINT8>(S.Number ("spare4")), static_cast<UINT8>(S.Number ("spare5")), static_cast<UINT8>(S.Number ("flow"))
        };
        UINT8  Bmc = Instance (S);
        return C.Service->ConfigureSerialConsole (C.PeiServices, C.Service, &Config, &Bmc, Force (S));
      } },
    { "SetSerialMux", { { "channel", Kind::Number, mU8, nullptr }, { "setting", Kind::Number, mU8, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        UINT8  MuxStatus = 0, Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->SetSerialMux (C.PeiServices, C.Service, static_cast<UINT8>(S.Number ("channel")), static_cast<UINT8>(S.Number ("setting")), &MuxStatus, &Bmc, Force (S));
        if (Status == EFI_SUCCESS) {
          Output (R, "mux-status", HexNumber (MuxStatus, 2));
        }

        return Status;
      } },
    { "SetOem1CState", { { "state", Kind::Number, mU32, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        UINT8  Bmc = Instance (S);
        return C.Service->SetOem1CState (C.PeiServices, C.Service, static_cast<UINT32>(S.Number ("state")), &Bmc, Force (S));
      } },
    { "GetOem1CState", {},
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        UINT32  State = 0;
        UINT8   Bmc = Instance (S);
        EFI_STATUS  Status = C.Service->GetOem1CState (C.PeiServices, C.Service, &State, &Bmc, Force (S));
        if (Status == EFI_SUCCESS) {
          Output (R, "state", std::to_string (State));
        }

        return Status;
      } },
    { "ReadBmcSetting", { { "selector", Kind::SettingSelector, mU8, nullptr }, { "path", Kind::Text, BMC_SETTING_MAX_NAME_LENGTH, "" }, { "length", Kind::Number, mU8, "4" }, { "type", Kind::Number, mU32, "0" }, { "out", Kind::OutputFile, 0, "" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &R) {
        BMC_SETTING_DESCRIPTOR  Descriptor{};
        const std::string       Path = S.Has ("path") ? S.Text ("path") : std::string ();
        Descriptor.NameLength  = static_cast<UINT8>(Path.size ());
        std::copy (Path.begin (), Path.end (), Descriptor.Name);
        Descriptor.ValueLength = static_cast<UINT8>(S.Number ("length"));
        Descriptor.Type        = static_cast<BMC_SETTING_TYPE>(S.Number ("type"));
        Bytes   Value (256, 0);
        UINT8   Bmc = Instance (S);
        const UINT8  Selector = static_cast<UINT8>(S.Number ("selector"));
        EFI_STATUS  Status = C.Service->ReadBmcSetting (C.PeiServices, C.Service, Selector, Value.data (), S.Has ("path") ? &Descriptor : nullptr, &Bmc, Force (S));
        if (Status == EFI_SUCCESS) {
          DataOutput (R, S, "value", Value.data (), Selector == BMC_SETTING_DESCRIBED ? Descriptor.ValueLength : 4);
        }

        return Status;
      } },
    { "WriteBmcSetting", { { "selector", Kind::SettingSelector, mU8, nullptr }, { "writeflag", Kind::Number, mU8, "1" }, { "value", Kind::Data, BMC_SETTING_MAX_VALUE_LENGTH, nullptr }, { "path", Kind::Text, BMC_SETTING_MAX_NAME_LENGTH, "" }, { "type", Kind::Number, mU32, "0" } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        BMC_SETTING_DESCRIPTOR  Descriptor{};
        const std::string       Path = S.Has ("path") ? S.Text ("path") : std::string ();
        Descriptor.NameLength  = static_cast<UINT8>(Path.size ());
        std::copy (Path.begin (), Path.end (), Descriptor.Name);
        Descriptor.ValueLength = static_cast<UINT8>(S.Data ("value").size ());
        Descriptor.Type        = static_cast<BMC_SETTING_TYPE>(S.Number ("type"));
        Bytes  Value (256, 0);
        std::copy (S.Data ("value").begin (), S.Data ("value").end (), Value.begin ());
        UINT8  Bmc = Instance (S);
        return C.Service->WriteBmcSetting (
          C.PeiServices, C.Service, static_cast<UINT8>(S.Number ("selector")), static_cast<BOOLEAN>(S.Number ("writeflag")), Value.data (), S.Has ("path") ? &Descriptor : nullptr, &Bmc, Force (S));
      } },
    { "Oem1CSetWordEx", { { "value", Kind::Number, mU16, nullptr } },
      [](ScriptContext &C, const ScriptStep &S, StepResult &) {
        UINT8  Bmc = Instance (S);
        return C.Service->Oem1CSetWordEx (C.PeiServices, C.Service, static_cast<UINT16>(S.Number ("value")), &Bmc, Force (S));
      } },
    { "ReportBootStageSecondary", {},
      [](ScriptContext &C, const ScriptStep &, StepResult &) {
        return C.Service->ReportBootStageSecondary (C.PeiServices, C.Service);
      }, false },
  };

  return Rows;
}

std::vector<Parameter>
ParametersOf (const OperationRow &Row)
{
  std::vector<Parameter>  All = Row.Parameters;
  if (Row.TakesInstance) {
    All.push_back ({ "bmc", Kind::Instance, mU8, "0" });
    All.push_back ({ "force", Kind::Number, mU8, "0" });
  }

  return All;
}

bool
ParseNumber (const std::string &Text, uint64_t &Value)
{
  std::string  Digits = Text;
  int          Base   = 10;

  if ((Digits.size () > 2) && (Digits[0] == '0') && ((Digits[1] == 'x') || (Digits[1] == 'X'))) {
    Digits = Digits.substr (2);
    Base   = 16;
  } else if ((Digits.size () > 1) && ((Digits.back () == 'h') || (Digits.back () == 'H'))) {
    Digits.pop_back ();
    Base = 16;
  }

  if (Digits.empty () || (Digits.size () > 16)) {
    return false;
  }

  Value = 0;
  for (char C : Digits) {
    int  Digit = std::isdigit (static_cast<unsigned char>(C)) ? C - '0' : (Base == 16) && std::isxdigit (static_cast<unsigned char>(C)) ? std::tolower (C) - 'a' + 10 : -1;
    if (Digit < 0) {
      return false;
    }

    Value = Value * static_cast<uint64_t>(Base) + static_cast<uint64_t>(Digit);
  }

  return true;
}

bool
ParseHex (const std::string &Text, Bytes &Data)
{
  std::string  Digits;
  for (char C : Text) {
    if ((C != '_') && (C != ':') && (C != '-') && (C != ' ')) {
      Digits += C;
    }
  }

  if ((Digits.size () > 2) && (Digits[0] == '0') && ((Digits[1] == 'x') || (Digits[1] == 'X'))) {
    Digits = Digits.substr (2);
  }

  if (Digits.size () % 2 != 0) {
    return false;
  }

  Data.clear ();
  for (size_t At = 0; At < Digits.size (); At += 2) {
    uint64_t  Byte = 0;
    if (!std::isxdigit (static_cast<unsigned char>(Digits[At])) || !std::isxdigit (static_cast<unsigned char>(Digits[At + 1])) || !ParseNumber ("0x" + Digits.substr (At, 2), Byte)) {
      return false;
    }

    Data.push_back (static_cast<uint8_t>(Byte));
  }

  return true;
}

std::string
Expected (const Parameter &P)
{
  switch (P.Type) {
    case Kind::Number:          return "a number (decimal, or hex as 0x1F or 1Fh) from 0 to " + std::to_string (P.Max);
    case Kind::Data:            return "hex bytes (e.g. 0102A0) or @FILE, " + std::to_string (P.Min) + " to " + std::to_string (P.Max) + " bytes";
    case Kind::Text:            return "text of " + std::to_string (P.Min) + " to " + std::to_string (P.Max) + " characters";
    case Kind::Instance:        return "a BMC index from 0 to 255 or 'all'";
    case Kind::KnownFile:       return "a well-known file id from 0 to 255 or a name (smbios-table, config, config_log, uefi-err.log, ..., named)";
    case Kind::SettingSelector: return "smbioscrc, 1boot, described or a number from 0 to 255";
    case Kind::Handle:          return "a file handle (number) or 'last'";
    case Kind::OutputFile:      return "a file name";
  }

  return "";
}

bool
ParseValue (const Parameter &P, const std::string &Text, const std::string &BaseDirectory, ScriptValue &Value, std::string &Why)
{
  Value      = ScriptValue{};
  Value.Text = Text;
  switch (P.Type) {
    case Kind::Instance:
      if (Text == "all") {
        Value.Number = ALL_BMCS;
        return true;
      }

      return ParseNumber (Text, Value.Number) && (Value.Number <= P.Max);
    case Kind::KnownFile:
      for (const KnownFileName &K : mKnownFiles) {
        if (Text == K.Name) {
          Value.Number = K.Id;
          return true;
        }
      }

      return ParseNumber (Text, Value.Number) && (Value.Number <= P.Max);
    case Kind::SettingSelector:
      if ((Text == "smbioscrc") || (Text == "1boot") || (Text == "described")) {
        Value.Number = (Text == "smbioscrc") ? BMC_SETTING_SMBIOS_CRC : (Text == "1boot") ? BMC_SETTING_1BOOT : BMC_SETTING_DESCRIBED;
        return true;
      }

      return ParseNumber (Text, Value.Number) && (Value.Number <= P.Max);
    case Kind::Handle:
      if (Text == "last") {
        return true;
      }

      return ParseNumber (Text, Value.Number) && (Value.Number <= P.Max);
    case Kind::Number:
      return ParseNumber (Text, Value.Number) && (Value.Number <= P.Max);
    case Kind::Text:
      return (Text.size () >= P.Min) && (Text.size () <= P.Max);
    case Kind::OutputFile:
      return !Text.empty ();
    case Kind::Data:
      if (!Text.empty () && (Text[0] == '@')) {
        std::string    Path = Text.substr (1);
        if (!Path.empty () && (Path[0] != '/') && !BaseDirectory.empty ()) {
          Path = BaseDirectory + "/" + Path;
        }

        std::ifstream  File (Path, std::ios::binary);
        if (!File) {
          Why = "cannot read " + Path;
          return false;
        }

        Value.Data.assign (std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>());
      } else if (!ParseHex (Text, Value.Data)) {
        return false;
      }

      return (Value.Data.size () >= P.Min) && (Value.Data.size () <= P.Max);
  }

  return false;
}

std::string
Trim (const std::string &Text)
{
  const size_t  First = Text.find_first_not_of (" \t\r");
  const size_t  Last  = Text.find_last_not_of (" \t\r");
  return First == std::string::npos ? std::string () : Text.substr (First, Last - First + 1);
}

// Splits on blanks; a value in double quotes may hold blanks (key="a b").
bool
Tokens (const std::string &Text, std::vector<std::string> &Out)
{
  std::string  Current;
  bool         Quoted = false;
  bool         Any    = false;

  for (char C : Text) {
    if (C == '"') {
      Quoted = !Quoted;
      Any    = true;
    } else if (!Quoted && ((C == ' ') || (C == '\t'))) {
      if (Any) {
        Out.push_back (Current);
      }

      Current.clear ();
      Any = false;
    } else {
      Current += C;
      Any      = true;
    }
  }

  if (Any) {
    Out.push_back (Current);
  }

  return !Quoted;
}

std::string
NameList (const std::vector<Parameter> &Parameters)
{
  std::string  Out;
  for (const Parameter &P : Parameters) {
    Out += (Out.empty () ? "" : ", ") + std::string (P.Name);
  }

  return Out.empty () ? "none" : Out;
}

}  // namespace

std::vector<std::string>
ScriptOperationNames ()
{
  std::vector<std::string>  Names;
  for (const OperationRow &Row : Operations ()) {
    Names.push_back (Row.Name);
  }

  return Names;
}

std::string
ScriptUsage ()
{
  std::string  Out;
  for (const OperationRow &Row : Operations ()) {
    Out += "  " + std::string (Row.Name);
    for (const Parameter &P : ParametersOf (Row)) {
      Out += " ";
      Out += (P.Default == nullptr) ? std::string (P.Name) + "=" : "[" + std::string (P.Name) + "=" + (*P.Default != '\0' ? P.Default : "") + "]";
    }

    Out += "\n";
  }

  return Out;
}

bool
ParseScript (const std::string &Text, const std::string &BaseDirectory, std::vector<ScriptStep> &Steps, std::string &Error)
{
  std::istringstream  Input (Text);
  std::string         Raw;
  size_t              Number = 0;

  while (std::getline (Input, Raw)) {
    Number++;
    const std::string  Line = Trim (Raw.substr (0, Raw.find ('#')));
    if (Line.empty ()) {
      continue;
    }

    const std::string         Where = "line " + std::to_string (Number) + ": ";
    std::vector<std::string>  Words;
    if (!Tokens (Line, Words)) {
      Error = Where + "unterminated quote in '" + Line + "'";
      return false;
    }

    const auto  &Rows = Operations ();
    auto        Row   = std::find_if (Rows.begin (), Rows.end (), [&](const OperationRow &R) { return Words[0] == R.Name; });
    if (Row == Rows.end ()) {
      std::string  Names;
      for (const OperationRow &R : Rows) {
        Names += (Names.empty () ? "" : ", ") + std::string (R.Name);
      }

      Error = Where + "unknown operation '" + Words[0] + "'; expected one of " + Names;
      return false;
    }

    ScriptStep  Step;
    Step.Line           = Number;
    Step.Source         = Line;
    Step.Operation      = Row->Name;
    Step.OperationIndex = static_cast<size_t>(Row - Rows.begin ());
    const std::vector<Parameter>  Parameters = ParametersOf (*Row);

    for (size_t At = 1; At < Words.size (); At++) {
      const size_t       Equals = Words[At].find ('=');
      const std::string  Key    = Words[At].substr (0, Equals);
      auto               P      = std::find_if (Parameters.begin (), Parameters.end (), [&](const Parameter &Q) { return Key == Q.Name; });
      if ((Equals == std::string::npos) || (P == Parameters.end ())) {
        Error = Where + Row->Name + ": expected key=value with a key among " + NameList (Parameters) + ", got '" + Words[At] + "'";
        return false;
      }

      if (Step.Has (Key)) {
        Error = Where + Row->Name + ": '" + Key + "' given twice";
        return false;
      }

      std::string  Why;
      if (!ParseValue (*P, Words[At].substr (Equals + 1), BaseDirectory, Step.Arguments[Key], Why)) {
        Error = Where + Row->Name + ": '" + Key + "' expects " + Expected (*P) + ", got '" + Words[At].substr (Equals + 1) + "'" + (Why.empty () ? "" : " (" + Why + ")");
        return false;
      }
    }

    for (const Parameter &P : Parameters) {
      if (Step.Has (P.Name)) {
        continue;
      }

      if (P.Default == nullptr) {
        Error = Where + Row->Name + ": missing '" + P.Name + "', which expects " + Expected (P);
        return false;
      }

      std::string  Why;
      if ((*P.Default != '\0') && !ParseValue (P, P.Default, BaseDirectory, Step.Arguments[P.Name], Why)) {
        Error = Where + "bad default for " + P.Name;
        return false;
      }
    }

    Steps.push_back (std::move (Step));
  }

  return true;
}

StepResult
RunStep (ScriptContext &Context, const ScriptStep &Step)
{
  StepResult  Result;
  Result.Status = Operations ().at (Step.OperationIndex).Run (Context, Step, Result);
  return Result;
}

}  // namespace OskelSim
