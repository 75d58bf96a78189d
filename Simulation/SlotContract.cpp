// Reading and running the slots' wire contracts (SlotContract.h).
#include "SlotContract.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <regex>
#include <sstream>
#include <tuple>
#include <type_traits>
#include <utility>

#include "OskelCommands/Pei/FileService/FileService.h"
#include "OskelCommands/Pei/Ipmi/IpmiCommands.h"
#include "OskelCommands/Pei/Oem/OemCommands.h"

namespace OskelContract {

namespace {

[[noreturn]] void
Fail (size_t Line, const std::string &Text, const std::string &Why)
{
  throw ContractError ("line " + std::to_string (Line) + " \"" + Text + "\": " + Why);
}

uint64_t
Number (const std::string &Token, size_t Line, const std::string &Text)
{
  if (Token.empty () || (Token.find_first_not_of ("0123456789ABCDEFabcdef") != std::string::npos) || (Token.size () > 16)) {
    Fail (Line, Text, "\"" + Token + "\" is not a hexadecimal number");
  }

  return std::stoull (Token, nullptr, 16);
}

// "[..]" at Text[At], At just past the bracket on return.
Bytes
ByteList (const std::string &Text, size_t &At, size_t Line)
{
  Bytes  Out;
  size_t End = Text.find (']', At);

  if ((At >= Text.size ()) || (Text[At] != '[') || (End == std::string::npos)) {
    Fail (Line, Text, "a byte list [..] was expected");
  }

  std::string  Inside = Text.substr (At + 1, End - At - 1);
  At = End + 1;
  for (size_t Pos = 0; Pos < Inside.size (); ) {
    if (Inside[Pos] == ' ') {
      Pos++;
      continue;
    }

    if (Inside[Pos] == '\'') {
      size_t  Close = Inside.find ('\'', Pos + 1);
      if (Close == std::string::npos) {
        Fail (Line, Text, "text without its closing quote");
      }

      Out.insert (Out.end (), Inside.begin () + Pos + 1, Inside.begin () + Close);
      Pos = Close + 1;
      continue;
    }

    size_t       Next  = Inside.find (' ', Pos);
    std::string  Token = Inside.substr (Pos, (Next == std::string::npos) ? std::string::npos : Next - Pos);
    Pos = (Next == std::string::npos) ? Inside.size () : Next;
    size_t  Run   = Token.find ('*');
    size_t  Count = Token.find ('+');
    if (Run != std::string::npos) {
      uint64_t  Byte = Number (Token.substr (0, Run), Line, Text);
      Out.insert (Out.end (), Number (Token.substr (Run + 1), Line, Text), static_cast<uint8_t>(Byte));
    } else if (Count != std::string::npos) {
      uint64_t  First = Number (Token.substr (0, Count), Line, Text);
      uint64_t  Many  = Number (Token.substr (Count + 1), Line, Text);
      for (uint64_t Index = 0; Index < Many; Index++) {
        Out.push_back (static_cast<uint8_t>(First + Index));
      }
    } else {
      uint64_t  Byte = Number (Token, Line, Text);
      if (Byte > 0xFF) {
        Fail (Line, Text, "\"" + Token + "\" is not a byte");
      }

      Out.push_back (static_cast<uint8_t>(Byte));
    }
  }

  return Out;
}

std::vector<std::string>
Words (const std::string &Text)
{
  std::istringstream        In (Text);
  std::vector<std::string>  Out;
  std::string               Word;

  while (In >> Word) {
    Out.push_back (Word);
  }

  return Out;
}

const std::map<std::string, EFI_STATUS>  mStatusNames = {
  { "EFI_SUCCESS", EFI_SUCCESS }, { "EFI_INVALID_PARAMETER", EFI_INVALID_PARAMETER }, { "EFI_UNSUPPORTED", EFI_UNSUPPORTED },
  { "EFI_DEVICE_ERROR", EFI_DEVICE_ERROR }, { "EFI_NOT_FOUND", EFI_NOT_FOUND }, { "EFI_PROTOCOL_ERROR", EFI_PROTOCOL_ERROR },
  { "EFI_BAD_BUFFER_SIZE", EFI_BAD_BUFFER_SIZE }, { "EFI_NOT_READY", EFI_NOT_READY }, { "EFI_TIMEOUT", EFI_TIMEOUT },
};

uint64_t
ReadLe (const uint8_t *At, size_t Width)
{
  uint64_t  Value = 0;

  for (size_t Index = 0; Index < Width; Index++) {
    Value |= static_cast<uint64_t>(At[Index]) << (8 * Index);
  }

  return Value;
}

void
WriteLe (uint8_t *At, size_t Width, uint64_t Value)
{
  for (size_t Index = 0; Index < Width; Index++) {
    At[Index] = static_cast<uint8_t>(Value >> (8 * Index));
  }
}

bool
Fits (uint64_t Value, size_t Width)
{
  return (Width >= 8) || (Value < (uint64_t (1) << (8 * Width)));
}

std::string
HexValue (uint64_t Value)
{
  char  Text[24];

  std::snprintf (Text, sizeof (Text), "%02llX", static_cast<unsigned long long>(Value));
  return Text;
}

// The slots' types and calls, from the record's declarations.
template <typename T>
ParameterType
TypeOf ()
{
  ParameterType  Type;

  Type.Width   = sizeof (T);
  Type.Pointer = std::is_pointer_v<T>;
  if constexpr (std::is_pointer_v<T>) {
    using Pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
    if constexpr (!std::is_void_v<Pointee>) {
      Type.Pointee = sizeof (Pointee);
    }
  }

  return Type;
}

template <typename T>
T
FromWord (UINTN Word)
{
  if constexpr (std::is_pointer_v<T>) {
    return reinterpret_cast<T>(Word);
  } else {
    return static_cast<T>(Word);
  }
}

template <typename Function>
struct Signature;

template <typename... P>
struct Signature<EFI_STATUS (EFIAPI *)(P...)> {
  using Tuple = std::tuple<P...>;
  static constexpr size_t  Count = sizeof...(P);

  template <size_t... I>
  static std::vector<ParameterType>
  Types (std::index_sequence<I...>)
  {
    return { TypeOf<std::tuple_element_t<I + 2, Tuple>>()... };
  }

  template <size_t... I>
  static EFI_STATUS
  Call (EFI_STATUS (EFIAPI *Slot)(P...), CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, const std::vector<UINTN> &Words, UINT8 *Bmc, BOOLEAN Force, std::index_sequence<I...>)
  {
    if constexpr (sizeof...(P) == 2) {
      return Slot (PeiServices, This);
    } else {
      return Slot (PeiServices, This, FromWord<std::tuple_element_t<I + 2, Tuple>>(Words.at (I))..., Bmc, Force);
    }
  }
};

template <typename Function, Function BMC_COMMANDS_PPI::*Member>
EFI_STATUS
CallSlot (BMC_COMMANDS_PPI *Service, CONST EFI_PEI_SERVICES **PeiServices, BMC_COMMANDS_PPI *This, const std::vector<UINTN> &Words, UINT8 *Bmc, BOOLEAN Force)
{
  using S = Signature<Function>;
  constexpr size_t  Arguments = (S::Count > 4) ? S::Count - 4 : 0;

  return S::Call (Service->*Member, PeiServices, This, Words, Bmc, Force, std::make_index_sequence<Arguments>{});
}

template <typename Function, Function BMC_COMMANDS_PPI::*Member>
Slot
MakeSlot (const char *Name, const char *Text, bool Own)
{
  using S = Signature<Function>;
  constexpr size_t  Arguments = (S::Count > 4) ? S::Count - 4 : 0;

  return Slot{ Name, Text, Own, S::Types (std::make_index_sequence<Arguments>{}), &CallSlot<Function, Member> };
}

}  // namespace

const Parameter *
Contract::Find (const std::string &Name) const
{
  for (const Parameter &P : Parameters) {
    if (P.Name == Name) {
      return &P;
    }
  }

  return nullptr;
}

Contract
Parse (const std::string &Text)
{
  Contract            C;
  std::istringstream  In (Text);
  std::string         Line;
  size_t              Number_ = 0;
  uint8_t             Bmc = 0;

  while (std::getline (In, Line)) {
    Number_++;
    std::vector<std::string>  W = Words (Line);
    if (W.empty ()) {
      continue;
    }

    if (W[0] == "to") {
      if (W.size () != 2) {
        Fail (Number_, Line, "to takes one BMC index");
      }

      Bmc = static_cast<uint8_t>(Number (W[1], Number_, Line));
    } else if (W[0] == "send") {
      Send    S;
      size_t  Slash = (W.size () > 1) ? W[1].find ('/') : std::string::npos;
      if (Slash == std::string::npos) {
        Fail (Number_, Line, "send NF/CM [request] cap NN -> [answer] was expected");
      }

      S.Bmc     = Bmc;
      S.NetFn   = static_cast<uint8_t>(Number (W[1].substr (0, Slash), Number_, Line));
      S.Command = static_cast<uint8_t>(Number (W[1].substr (Slash + 1), Number_, Line));
      size_t  At = Line.find ('[');
      S.Request = ByteList (Line, At, Number_);
      std::vector<std::string>  Rest = Words (Line.substr (At));
      if ((Rest.size () < 4) || (Rest[0] != "cap") || (Rest[2] != "->")) {
        Fail (Number_, Line, "cap NN -> [answer] or -> cc NN must follow the request");
      }

      S.Capacity = static_cast<uint8_t>(Number (Rest[1], Number_, Line));
      if (Rest[3] == "cc") {
        if (Rest.size () != 5) {
          Fail (Number_, Line, "cc takes one completion code");
        }

        S.IsCode = true;
        S.Code   = static_cast<uint8_t>(Number (Rest[4], Number_, Line));
      } else {
        size_t  Answer = Line.find ('[', Line.find ("->"));
        S.Answer = ByteList (Line, Answer, Number_);
      }

      C.Sends.push_back (S);
    } else if (W[0] == "port") {
      if (W.size () != 3) {
        Fail (Number_, Line, "port PPPP VV was expected");
      }

      C.Ports.push_back ({ static_cast<uint16_t>(Number (W[1], Number_, Line)), static_cast<uint8_t>(Number (W[2], Number_, Line)) });
    } else if (W[0] == "then") {
      Output  O;
      if (W.size () < 3) {
        Fail (Number_, Line, "then Name <expected> was expected");
      }

      O.Name = W[1];
      if (W[2][0] == '[') {
        size_t  At = Line.find ('[');
        O.Content = ByteList (Line, At, Number_);
      } else {
        O.IsScalar = true;
        O.Scalar   = Number (W[2], Number_, Line);
      }

      C.Outputs.push_back (O);
    } else if (W[0] == "status") {
      auto  Found = mStatusNames.find ((W.size () == 2) ? W[1] : "");
      if (Found == mStatusNames.end ()) {
        Fail (Number_, Line, "status takes an EFI status name");
      }

      C.Status = Found->second;
    } else {
      Parameter    P;
      std::string  Kind = (W.size () > 1) ? W[1] : "";
      P.Name = W[0];
      if (W.size () < 2) {
        Fail (Number_, Line, "the argument " + P.Name + " has no value");
      }

      size_t  Bracket = Kind.find ('[');
      if (Bracket != std::string::npos) {
        std::string  Size = Kind.substr (Bracket + 1, Kind.size () - Bracket - 2);
        if (Kind.back () != ']') {
          Fail (Number_, Line, "a size is written [NN] or [Name] right after in, out or inout");
        }

        if (!Size.empty () && std::isupper (static_cast<unsigned char>(Size[0])) && (Size.find_first_not_of ("0123456789ABCDEF") != std::string::npos)) {
          P.SizeFrom = Size;
        } else {
          P.Size = Number (Size, Number_, Line);
        }

        Kind = Kind.substr (0, Bracket);
      }

      if (Kind == "null") {
        P.Kind = Role::Null;
      } else if ((Kind == "in") || (Kind == "out") || (Kind == "inout")) {
        P.Kind = (Kind == "in") ? Role::In : (Kind == "out") ? Role::Out : Role::InOut;
        if (P.Kind != Role::Out) {
          if (W.size () < 3) {
            Fail (Number_, Line, P.Name + ": " + Kind + " takes a value or bytes");
          }

          size_t  Start = Line.find (W[2], Line.find (W[1]) + W[1].size ());
          if ((W[2][0] == '[') || (W[2][0] == '\'')) {
            std::string  List = (W[2][0] == '\'') ? "[" + Line.substr (Start) + "]" : Line.substr (Start);
            size_t       At   = 0;
            P.Content = ByteList (List, At, Number_);
          } else {
            P.IsScalar = true;
            P.Scalar   = Number (W[2], Number_, Line);
          }
        } else if (W.size () > 2) {
          Fail (Number_, Line, P.Name + ": out takes no value; then lines say what it holds after the call");
        }
      } else {
        if (W.size () != 2) {
          Fail (Number_, Line, "an argument is a value, null, or in, out or inout");
        }

        P.Scalar = Number (Kind, Number_, Line);
      }

      C.Parameters.push_back (P);
    }
  }

  return C;
}

size_t
SizeOf (const Contract &C, const Parameter &P, const ParameterType &Type)
{
  if (!P.SizeFrom.empty ()) {
    const Parameter  *By = C.Find (P.SizeFrom);
    if ((By == nullptr) || !((By->Kind == Role::Value) || By->IsScalar)) {
      throw ContractError (P.Name + ": its size comes from " + P.SizeFrom + ", which is no value of the contract");
    }

    return static_cast<size_t>(By->Scalar);
  }

  if (P.Size != 0) {
    return P.Size;
  }

  if (!P.Content.empty ()) {
    return P.Content.size ();
  }

  if (Type.Pointee == 0) {
    throw ContractError (P.Name + ": it points to VOID; give the buffer's size, " + P.Name + " out[NN]");
  }

  return Type.Pointee;
}

Arguments::Arguments (const Slot &S, const Contract &C)
{
  if (C.Parameters.size () != S.Types.size ()) {
    throw ContractError ("the contract gives " + std::to_string (C.Parameters.size ()) + " arguments, the slot declares " +
                         std::to_string (S.Types.size ()) + " between This and BmcInstance");
  }

  for (size_t Index = 0; Index < S.Types.size (); Index++) {
    const Parameter      &P    = C.Parameters[Index];
    const ParameterType  &Type = S.Types[Index];
    Bytes                Buffer;

    if ((P.Kind == Role::Value) == Type.Pointer) {
      throw ContractError (P.Name + ": the slot declares " + (Type.Pointer ? "a pointer; write in, out, inout or null" : "a value; write it as a number"));
    }

    if (P.Kind == Role::Value) {
      if (!Fits (P.Scalar, Type.Width)) {
        throw ContractError (P.Name + ": " + HexValue (P.Scalar) + " does not fit its " + std::to_string (Type.Width) + " bytes");
      }

      Words.push_back (static_cast<UINTN>(P.Scalar));
    } else if (P.Kind == Role::Null) {
      Words.push_back (0);
    } else {
      size_t  Size = SizeOf (C, P, Type);
      Words.push_back (0);  // the buffer's address, once every buffer is in place
      Buffer.assign (Size, OUT_FILL);
      if (P.IsScalar) {
        if ((Type.Pointee == 0) || (Size != Type.Pointee) || !Fits (P.Scalar, Type.Pointee)) {
          throw ContractError (P.Name + ": " + HexValue (P.Scalar) + " is not one value of what it points to");
        }

        WriteLe (Buffer.data (), Size, P.Scalar);
      } else if (P.Content.size () > Size) {
        throw ContractError (P.Name + ": " + std::to_string (P.Content.size ()) + " bytes given for a buffer of " + std::to_string (Size));
      } else {
        std::copy (P.Content.begin (), P.Content.end (), Buffer.begin ());
      }

      if ((P.Kind != Role::Out) && (Type.Pointee > 1) && !P.IsScalar && ((Size % Type.Pointee) != 0)) {
        throw ContractError (P.Name + ": its bytes are not a whole number of what it points to");
      }
    }

    mSizes.push_back (Buffer.size ());
    if (!Buffer.empty ()) {
      Buffer.insert (Buffer.end (), GUARD_BYTES, GUARD_FILL);
    }

    mBuffers.push_back (Buffer);
    mPointee.push_back (Type.Pointee);
  }

  for (size_t Index = 0; Index < mBuffers.size (); Index++) {
    if (!mBuffers[Index].empty ()) {
      Words.at (Index) = reinterpret_cast<UINTN>(mBuffers[Index].data ());
    }
  }

  mBefore = mBuffers;
}

std::vector<std::string>
Arguments::Check (const Contract &C) const
{
  std::vector<std::string>  Out;

  for (const Output &O : C.Outputs) {
    const Parameter  *P = C.Find (O.Name);
    if ((P == nullptr) || ((P->Kind != Role::Out) && (P->Kind != Role::InOut))) {
      Out.push_back ("then " + O.Name + ": no out or inout argument of that name");
    }
  }

  for (size_t Index = 0; Index < C.Parameters.size (); Index++) {
    const Parameter  &P      = C.Parameters[Index];
    const Bytes      &Now    = mBuffers[Index];
    const Bytes      &Before = mBefore[Index];
    const Output     *O      = nullptr;

    for (const Output &Each : C.Outputs) {
      O = (Each.Name == P.Name) ? &Each : O;
    }

    const size_t     Size    = mSizes[Index];

    if (Now.empty ()) {
      continue;
    }

    for (size_t Byte = Size; Byte < Now.size (); Byte++) {
      if (Now[Byte] != GUARD_FILL) {
        Out.push_back (P.Name + " byte " + std::to_string (Byte) + " was written, past the end of its " + std::to_string (Size) + " bytes");
      }
    }

    if ((O != nullptr) && O->IsScalar) {
      size_t  Width = mPointee[Index];
      if ((Width == 0) || (Width > Size)) {
        Out.push_back (P.Name + ": then gives one value, but it points to " + std::to_string (Size) + " bytes; give them as [..]");
        continue;
      }

      uint64_t  Held = ReadLe (Now.data (), Width);
      if (Held != O->Scalar) {
        Out.push_back (P.Name + " holds " + HexValue (Held) + " after the call, the contract says " + HexValue (O->Scalar));
      }

      for (size_t Byte = Width; Byte < Size; Byte++) {
        if (Now[Byte] != Before[Byte]) {
          Out.push_back (P.Name + " byte " + std::to_string (Byte) + " was written past the value");
        }
      }

      continue;
    }

    for (size_t Byte = 0; Byte < Size; Byte++) {
      bool     Named    = (O != nullptr) && (Byte < O->Content.size ());
      uint8_t  Expected = Named ? O->Content[Byte] : Before[Byte];
      if (Now[Byte] != Expected) {
        Out.push_back (
          P.Name + " byte " + std::to_string (Byte) + " is " + HexValue (Now[Byte]) + " after the call, " +
          (Named ? "the contract says " + HexValue (Expected) : "it held " + HexValue (Expected) + " and the contract names no new value for it")
          );
        if (Out.size () > 8) {
          return Out;
        }
      }
    }
  }

  return Out;
}

void
Script (OskelSim::SimulatedBoard &Board, const Contract &C)
{
  for (const Send &S : C.Sends) {
    Board.Transport.Script (S.Bmc).Then (S.IsCode ? OskelSim::Fail (S.Code) : OskelSim::Ok (S.Answer));
  }
}

std::string
Hex (const Bytes &Data)
{
  std::string  Out = "[";

  for (size_t Index = 0; Index < Data.size (); Index++) {
    Out += ((Index == 0) ? "" : " ") + HexValue (Data[Index]);
  }

  return Out + "]";
}

namespace {

std::string
Describe (uint8_t Bmc, uint8_t NetFn, uint8_t Command, const Bytes &Request, uint8_t Capacity)
{
  return HexValue (NetFn) + "/" + HexValue (Command) + " " + Hex (Request) + " cap " + HexValue (Capacity) + " to BMC " + std::to_string (Bmc);
}

}  // namespace

std::vector<std::string>
CheckWire (const Contract &C, const OskelSim::Trace &Log)
{
  std::vector<std::string>  Out;
  std::vector<OskelSim::Event>  Sent  = Log.Sends ();
  std::vector<OskelSim::Event>  Ports = Log.PortWrites ();

  for (size_t Index = 0; Index < std::max (Sent.size (), C.Sends.size ()); Index++) {
    std::string  Made = (Index < Sent.size ()) ? Describe (Sent[Index].Bmc, Sent[Index].NetFn, Sent[Index].Command, Sent[Index].Request, Sent[Index].Capacity) : "nothing";
    std::string  Said = (Index < C.Sends.size ()) ? Describe (C.Sends[Index].Bmc, C.Sends[Index].NetFn, C.Sends[Index].Command, C.Sends[Index].Request, C.Sends[Index].Capacity) : "nothing";
    if (Made != Said) {
      Out.push_back ("send " + std::to_string (Index + 1) + ": the slot sent " + Made + ", the contract says " + Said);
    }
  }

  for (size_t Index = 0; Index < std::max (Ports.size (), C.Ports.size ()); Index++) {
    std::string  Made = (Index < Ports.size ()) ? HexValue (Ports[Index].Port) + " " + HexValue (Ports[Index].Value) : "nothing";
    std::string  Said = (Index < C.Ports.size ()) ? HexValue (C.Ports[Index].Port) + " " + HexValue (C.Ports[Index].Value) : "nothing";
    if (Made != Said) {
      Out.push_back ("port write " + std::to_string (Index + 1) + ": the slot wrote " + Made + ", the contract says " + Said);
    }
  }

  return Out;
}

std::vector<std::string>
HeaderParameterNames (const std::string &HeaderText, const std::string &SlotName, bool Own)
{
  std::smatch  Match;
  std::regex   Member ("\\n\\s*(\\w+)\\s+" + SlotName + "\\s*;");
  std::string  Type;

  if (!std::regex_search (HeaderText, Match, Member)) {
    throw ContractError ("BMC_COMMANDS_PPI has no member " + SlotName);
  }

  Type = Match[1];
  for (int Alias = 0; Alias < 4; Alias++) {
    std::regex  Same ("typedef\\s+(\\w+)\\s+" + Type + "\\s*;");
    if (!std::regex_search (HeaderText, Match, Same)) {
      break;
    }

    Type = Match[1];
  }

  std::regex  Function ("typedef\\s+EFI_STATUS\\s*\\(\\s*EFIAPI\\s*\\*\\s*" + Type + "\\s*\\)\\s*\\(([^;]*)\\)\\s*;");
  if (!std::regex_search (HeaderText, Match, Function)) {
    throw ContractError ("no function type " + Type + " for " + SlotName);
  }

  std::vector<std::string>  Names;
  std::string               List = Match[1];
  std::stringstream         Parameters (List);
  std::string               One;
  while (std::getline (Parameters, One, ',')) {
    std::vector<std::string>  W = Words (std::regex_replace (One, std::regex ("[*()]"), " "));
    while (!W.empty () && ((W.back () == "OPTIONAL") || (W.back () == "VOID"))) {
      W.pop_back ();
    }

    if (!W.empty ()) {
      Names.push_back (W.back ());
    }
  }

  if (Names.size () < (Own ? 2u : 4u)) {
    throw ContractError (Type + " declares fewer parameters than PeiServices, This, BmcInstance and Force");
  }

  return std::vector<std::string>(Names.begin () + 2, Names.end () - (Own ? 0 : 2));
}

std::vector<std::string>
CheckNames (const Contract &C, const std::vector<std::string> &HeaderNames)
{
  std::vector<std::string>  Out;

  for (size_t Index = 0; Index < std::max (HeaderNames.size (), C.Parameters.size ()); Index++) {
    std::string  Header = (Index < HeaderNames.size ()) ? HeaderNames[Index] : "nothing";
    std::string  Said   = (Index < C.Parameters.size ()) ? C.Parameters[Index].Name : "nothing";
    if (Header != Said) {
      Out.push_back ("argument " + std::to_string (Index) + " is " + Header + " in Include/Ppi/BmcCommands.h and " + Said +
                     " in the contract: write the contract's arguments in the order and under the names of the slot's declaration");
    }
  }

  return Out;
}

std::vector<std::string>
CheckDistinct (const Contract &C)
{
  std::vector<std::string>  Out;

  for (size_t First = 0; First < C.Parameters.size (); First++) {
    for (size_t Second = First + 1; Second < C.Parameters.size (); Second++) {
      const Parameter  &A = C.Parameters[First];
      const Parameter  &B = C.Parameters[Second];
      bool             AValue = (A.Kind == Role::Value) || A.IsScalar;
      bool             BValue = (B.Kind == Role::Value) || B.IsScalar;
      if (AValue && BValue && (A.Scalar == B.Scalar)) {
        Out.push_back (A.Name + " and " + B.Name + " both hold " + HexValue (A.Scalar) +
                       ": give every argument a value of its own, so that a swap of the two shows on the wire");
      }
    }
  }

  return Out;
}

const std::vector<Slot> &
Slots ()
{
#define CONTRACT_SLOT(Name)  MakeSlot<decltype (BMC_COMMANDS_PPI::Name), &BMC_COMMANDS_PPI::Name>(#Name, Oskel::Name##Contract, false),
#define CONTRACT_OWN_SLOT(Name)  MakeSlot<decltype (BMC_COMMANDS_PPI::Name), &BMC_COMMANDS_PPI::Name>(#Name, Oskel::Name##Contract, true),
  static const std::vector<Slot>  mSlots = { BMC_COMMANDS_SLOT_LIST (CONTRACT_SLOT, CONTRACT_OWN_SLOT) };
#undef CONTRACT_SLOT
#undef CONTRACT_OWN_SLOT

  return mSlots;
}

}  // namespace OskelContract
