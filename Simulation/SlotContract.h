// Every slot's wire contract (NameContract, beside its row in the module's
// subsystem headers), read and run on the simulated board: the host tests
// check every byte of it, the budget probe measures its call and the slot
// fuzzer derives its arguments from it. Host only.
//
// A contract is lines of text, every number hexadecimal:
//
//   Name  <argument>        one line per argument between This and
//                           BmcInstance, in the slot's order and under the
//                           public header's names
//   to <bmc>                the sends below go to that BMC (0 at first)
//   send NF/CM [request] cap NN -> [answer]   or   -> cc NN
//   port PPPP VV            a byte the slot writes to an I/O port
//   then Name <expected>    what an output holds after the call
//   status EFI_NAME         the call's result, when not EFI_SUCCESS
//
// An argument is a value (12), null, or a pointer: in, out or inout, with
// a size in brackets (a number, or the name of the argument that gives
// it) when the pointee's own size is not the buffer's, and the content:
// one value of the pointee's width, or bytes. Bytes are [..] lists of
// bytes, runs (AA*10: 10h bytes AAh), counts (00+E0: E0h bytes 00h, 01h,
// ...) and 'text'. An out buffer starts filled with EEh; every byte of an
// output that no then line names must still hold what it held before.
#pragma once

#include <Ppi/BmcCommands.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "SimulatedBoard.h"

namespace OskelContract {

using OskelSim::Bytes;

constexpr uint8_t  OUT_FILL = 0xEE;
// Bytes after every buffer the call gets, holding GUARD_FILL: a slot that
// writes past the size it was given changes one, and the check names it.
constexpr size_t   GUARD_BYTES = 8;
constexpr uint8_t  GUARD_FILL  = 0xA5;

enum class Role { Value, Null, In, Out, InOut };

struct Parameter {
  std::string    Name;
  Role           Kind = Role::Value;
  uint64_t       Scalar = 0;       // a value, or an in/inout pointee given as one value
  bool           IsScalar = false;
  Bytes          Content;          // an in/inout buffer given as bytes
  std::string    SizeFrom;         // [Name]: the argument whose value is the buffer's size
  size_t         Size = 0;         // [NN]: the buffer's size; 0 when not given
};

struct Send {
  uint8_t    Bmc = 0;
  uint8_t    NetFn = 0;
  uint8_t    Command = 0;
  Bytes      Request;
  uint8_t    Capacity = 0;
  bool       IsCode = false;       // answered with a completion code
  uint8_t    Code = 0;
  Bytes      Answer;
};

struct PortWrite {
  uint16_t    Port;
  uint8_t     Value;
};

struct Output {
  std::string    Name;
  bool           IsScalar = false;
  uint64_t       Scalar = 0;
  Bytes          Content;
};

struct Contract {
  std::vector<Parameter>    Parameters;
  std::vector<Send>         Sends;
  std::vector<PortWrite>    Ports;
  std::vector<Output>       Outputs;
  EFI_STATUS                Status = EFI_SUCCESS;

  const Parameter *Find (const std::string &Name) const;
};

struct ContractError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The contract of Text; a line it cannot read is a ContractError that
// names the line.
Contract Parse (const std::string &Text);

// One argument of a slot's type: its width, and for a pointer the width
// of what it points to (0 for VOID).
struct ParameterType {
  bool      Pointer = false;
  size_t    Width = 0;
  size_t    Pointee = 0;
};

// A slot of the record: its name, its contract and a call through the
// record with the arguments as words.
struct Slot {
  const char                   *Name;
  const char                   *Contract;
  bool                         Own;      // written as a function of its own: PeiServices and This alone
  std::vector<ParameterType>   Types;    // between This and BmcInstance
  // Through Service's slot, with PeiServices and This as given.
  EFI_STATUS (*Call)(BMC_COMMANDS_PPI *Service, CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This,
                     const std::vector<UINTN> &Words, UINT8 *BmcInstance, BOOLEAN Force);

  EFI_STATUS
  Through (BMC_COMMANDS_PPI *Service, const std::vector<UINTN> &Words, UINT8 *BmcInstance, BOOLEAN Force) const
  {
    return Call (Service, nullptr, Service, Words, BmcInstance, Force);
  }
};

// Every slot of the module's slot list, in its order.
const std::vector<Slot> &Slots ();

// The arguments of one call, laid out from a contract and the slot's
// types: a buffer for every pointer, and the words the slot is called
// with. A contract that does not fit the slot's types is a ContractError.
class Arguments {
public:
  Arguments (const Slot &S, const Contract &C);

  std::vector<UINTN>   Words;

  // Outputs against the contract's then lines, inputs against what they
  // held: one message per difference.
  std::vector<std::string> Check (const Contract &C) const;

  uint8_t *Buffer (size_t Index) { return mBuffers.at (Index).data (); }
  size_t BufferSize (size_t Index) const { return mSizes.at (Index); }

private:
  std::vector<Bytes>   mBuffers;   // one per argument, its guard bytes after it; empty for a value or null
  std::vector<Bytes>   mBefore;
  std::vector<size_t>  mSizes;     // the size each buffer is given as, without its guard
  std::vector<size_t>  mPointee;
};

// The contract's answers, queued on the BMCs it sends to.
void Script (OskelSim::SimulatedBoard &Board, const Contract &C);

// The sends and port writes of Log against the contract's.
std::vector<std::string> CheckWire (const Contract &C, const OskelSim::Trace &Log);

// The parameter names of a slot between This and BmcInstance, as the
// public header declares them (HeaderText: the header's text).
std::vector<std::string> HeaderParameterNames (const std::string &HeaderText, const std::string &SlotName, bool Own);

// The contract's argument names against the header's, and its values
// against one another: a swap between two arguments that hold the same
// value would go unseen.
std::vector<std::string> CheckNames (const Contract &C, const std::vector<std::string> &HeaderNames);
std::vector<std::string> CheckDistinct (const Contract &C);

// The size of a sized buffer argument, from the value it names.
size_t SizeOf (const Contract &C, const Parameter &P, const ParameterType &Type);

std::string Hex (const Bytes &Data);

}  // namespace OskelContract
