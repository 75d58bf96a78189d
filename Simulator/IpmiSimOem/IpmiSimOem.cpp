// An OpenIPMI ipmi_sim plug-in (`loadlib`) that serves the board's OEM
// commands from the simulator's BmcModel: every command of network
// function 3Ah, and the file service and block upload of network function
// 2Eh under the OEM's manufacturer id. Files, regions, settings, boot
// stages and uploads then live in ipmi_sim's process, so a BMC client such
// as ipmitool can read back what firmware wrote.
//
// ipmi_sim strips the three manufacturer id bytes from a group-extension
// request before an IANA handler sees it and puts them back in front of
// the answer; BmcModel speaks the bytes as they are on the wire, so they
// are added to the request and taken off its answer here.
//
// One command exists only here: 2Eh F0h (manufacturer id, no data)
// answers the count of boot stages received so far, then the stages in
// the order they came, so the boot-stage history is visible from the BMC
// side.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <OpenIPMI/mcserv.h>
#include <OpenIPMI/msg.h>
}

#include <Ppi/BmcCommands.h>

#include "BmcModel.h"

namespace {

constexpr unsigned char  mNetFnOem   = 0x3A;
constexpr uint32_t       mOemIana    = OEM_MANUFACTURER_ID;
constexpr unsigned char  mHistoryCmd = 0xF0;
constexpr unsigned       mIanaBytes  = 3;

// One BMC per ipmi_sim process, made by the module's init before ipmi_sim
// serves any message.
OskelSim::BmcModel &
Model ()
{
  static OskelSim::BmcModel  Instance (0);
  return Instance;
}

// ipmi_sim hands a handler an answer buffer whose size is in *Length on
// entry (36 bytes, completion code included, in OpenIPMI 2.0.33: an IPMB
// message), and for an IANA command it adds the three id bytes after the
// handler returns. An answer that does not fit is refused with "cannot
// return number of requested bytes" rather than cut short, so a caller
// never takes a truncated answer for a whole one.
constexpr unsigned char  mCcCannotReturn = 0xCA;

void
Answer (const OskelSim::Reply &Reply, unsigned Skip, unsigned Reserved, unsigned char *Data, unsigned int *Length)
{
  const unsigned  Capacity = *Length > Reserved ? *Length - Reserved : 0;
  if (Capacity == 0) {
    *Length = 0;
    return;
  }

  *Length = 1;
  // A transport status above FFh has no completion code of its own.
  if (Reply.Status != EFI_SUCCESS) {
    Data[0] = Reply.Status > 0xFF ? 0xFF : static_cast<unsigned char>(Reply.Status);
    return;
  }

  const size_t  Count = Reply.Data.size () > Skip ? Reply.Data.size () - Skip : 0;
  if (1 + Count > Capacity) {
    Data[0] = mCcCannotReturn;
    return;
  }

  Data[0] = 0x00;
  // Count is 0 when the answer is shorter than the bytes to skip.
  std::copy_n (Reply.Data.end () - static_cast<std::ptrdiff_t>(Count), Count, Data + 1);
  *Length = static_cast<unsigned int>(1 + Count);
}

OskelSim::Request
ToRequest (const msg_t *Msg, bool WithIana)
{
  OskelSim::Request  R{};
  R.Bmc      = Model ().Index;
  R.NetFn    = Msg->netfn;
  R.Lun      = 0;
  R.Command  = Msg->cmd;
  R.Capacity = 0xFF;
  if (WithIana) {
    R.Data = { OEM_MANUFACTURER_ID_BYTE0, OEM_MANUFACTURER_ID_BYTE1, OEM_MANUFACTURER_ID_BYTE2 };
  }

  R.Data.insert (R.Data.end (), Msg->data, Msg->data + Msg->len);
  return R;
}

void
HandleOem (lmc_data_t *, msg_t *Msg, unsigned char *Data, unsigned int *Length, void *)
{
  Answer (Model ().Handle (ToRequest (Msg, false)), 0, 0, Data, Length);
}

void
HandleGroup (lmc_data_t *, msg_t *Msg, unsigned char *Data, unsigned int *Length, void *)
{
  if (Msg->cmd == mHistoryCmd) {
    const std::vector<uint8_t>  &Stages = Model ().BootStages;
    OskelSim::Reply             History;
    History.Data.push_back (static_cast<uint8_t>(Stages.size () > 0xFF ? 0xFF : Stages.size ()));
    History.Data.insert (History.Data.end (), Stages.begin (), Stages.end ());
    Answer (History, 0, mIanaBytes, Data, Length);
    return;
  }

  Answer (Model ().Handle (ToRequest (Msg, true)), mIanaBytes, mIanaBytes, Data, Length);
}

}  // namespace

extern "C" int
ipmi_sim_module_print_version (sys_data_t *, char *)
{
  std::printf ("OskelCommands OEM plug-in 1.0\n");
  return 0;
}

// Options: "bmc=N" makes the model BMC N of the board (its identity and
// its file handles follow the index); anything else is refused.
extern "C" int
ipmi_sim_module_init (sys_data_t *, const char *Options)
{
  unsigned  Index = 0;
  if ((Options != nullptr) && (Options[0] != '\0') && (std::sscanf (Options, "bmc=%u", &Index) != 1)) {
    std::fprintf (stderr, "OskelCommands OEM plug-in: bad options \"%s\"\n", Options);
    return EINVAL;
  }

  Model () = OskelSim::BmcModel (static_cast<uint8_t>(Index));
  for (unsigned Command = 0; Command < 0x100; Command++) {
    const int  Error = ipmi_emu_register_cmd_handler (mNetFnOem, static_cast<unsigned char>(Command), HandleOem, nullptr);
    if (Error != 0) {
      std::fprintf (stderr, "OskelCommands OEM plug-in: NetFn 3Ah command %02Xh: error %d\n", Command, Error);
      return Error;
    }
  }

  return ipmi_emu_register_iana_handler (mOemIana, HandleGroup, nullptr);
}
