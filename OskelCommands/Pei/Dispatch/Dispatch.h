/** @file
  BMC dispatch and the command guard.

  Every slot of the service hands Dispatch where its arguments lie,
  together with a constant OperationSpec: how the operation is spread over
  BMCs, how many arguments it has and which of them must not be NULL, the
  checks that run before the transport is consulted, and the exchange that
  runs under the guard. Nothing else in the module selects a BMC or talks
  to TrackBmcStatus.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>
#include <Ppi/BmcCommands.h>

#include <IndustryStandard/IpmiNumbers.h>
#include <OskelCompiler.h>
#include "SlotList.h"
#include "WireFormat.h"

//
// Negative compilation cases, beside the rule each one breaks:
//
//   #if OSKEL_NC_TEST (Name)
//   OSKEL_NC_EXPECT ("what the compiler must say");
//   ...the mistake...
//   #endif
//
// Tests/Tools/negative-compilation.py finds every case in the sources it is
// given, compiles the file once per case with OSKEL_NC_TEST_Name defined to
// 1, and requires the compile to fail with a message that matches the
// expected one (a regular expression); the file without any case must
// compile. In every other build the cases are preprocessed away.
//
#define OSKEL_NC_TEST(Name)  OSKEL_NC_TEST_##Name
#define OSKEL_NC_EXPECT(Message)  static_assert (true, Message)

namespace Oskel {

enum class DispatchKind : UINT8 {
  SingleBmc,    // one BMC; ALL_BMCS is refused
  Broadcast,    // one BMC, or every BMC in turn for ALL_BMCS
  BmcZeroOnly,  // BMC 0 alone; any other index is refused
  EveryBmc      // every BMC in turn, whichever valid index the caller names;
                // the row's Check runs once before the first BMC instead of
                // on each, and anything but EFI_SUCCESS from it leaves BMC 0
                // alone (an operation that concerns BMC 0 alone for some
                // arguments: its subsystem decides which)
};

struct Operation;

typedef EFI_STATUS (OSKEL_INTERNAL *OPERATION_STEP)(Operation &Op);

//
// What a slot's type in the record says of its parameters: the count and
// the type of each argument between This and BmcInstance. Every argument
// a worker reads is named once, as ArgumentOf<the slot's type, its
// position>, and read with Op.Get (Name): the type it reads is the one the
// public header declares, so an argument read as another type does not
// build.
//
template <typename T>
inline constexpr BOOLEAN  IsPointer = FALSE;

template <typename T>
inline constexpr BOOLEAN  IsPointer<T *> = TRUE;

template <UINTN Index, typename First, typename... Rest>
struct NthType {
  typedef typename NthType<Index - 1, Rest...>::Type  Type;
};

template <typename First, typename... Rest>
struct NthType<0, First, Rest...> {
  typedef First  Type;
};

template <typename Function>
struct SlotParameters;

template <typename... Parameters>
struct SlotParameters<EFI_STATUS (EFIAPI *)(Parameters...)> {
  //
  // PeiServices and This before the arguments, BmcInstance and Force after.
  //
  static constexpr UINT8  Count = sizeof...(Parameters) - 4;  // NOLINT(bugprone-dynamic-static-initializers): a constant expression

  template <UINT8 Index>
  struct Checked {
    static_assert (Index < Count, "an argument past the last one the slot declares between This and BmcInstance");
    typedef typename NthType<Index + 2, Parameters...>::Type  Type;
  };

  template <UINT8 Index>
  using Type = typename Checked<Index>::Type;
};

//
// Argument Position of a slot, of the type its declaration gives it.
//
template <typename T, UINT8 Position>
struct Argument {
  typedef T  Type;
  static constexpr UINT8  Index = Position;  // NOLINT(bugprone-dynamic-static-initializers): a constant expression
};

template <typename Function, UINT8 Position>
constexpr Argument<typename SlotParameters<Function>::template Type<Position>, Position>  ArgumentOf{};

//
// Bit N of OperationSpec.Required: argument N of the operation (counted
// from the first one after This) is a pointer that must not be NULL.
//
constexpr UINT8
ArgumentBit (
  IN UINT8  Index
  )
{
  return static_cast<UINT8>(1u << Index);
}

template <typename T, UINT8 Position>
constexpr UINT8
ArgumentBit (
  IN Argument<T, Position>
  )
{
  static_assert (IsPointer<T>, "a Required argument must be a pointer: the slot's declaration says otherwise");
  return ArgumentBit (Position);
}

//
// What a slot does, as constant data: written with designated initialisers
// in the order of the fields, e.g. { .Kind = DispatchKind::SingleBmc,
// .NetFn = IPMI_NETFN_APP, .Command = IPMI_CMD_GET_DEVICE_ID, .Required =
// ..., .Exchange = ... }, so operations of the same shape share one
// Exchange. The argument count is the slot's, filled in from its type.
// The small fields share four bytes, so a descriptor is those bytes and its
// two steps.
//
struct OperationSpec {
  //
  // Arguments of the slot between This and BmcInstance.
  //
  UINT8             Arguments : 4 = 0;
  DispatchKind      Kind      : 3 = DispatchKind::SingleBmc;
  //
  // FALSE for an operation made of steps that keep their own guards (each
  // step then judges the BMC's health afresh).
  //
  BOOLEAN           Guarded   : 1 = TRUE;
  UINT8             NetFn         = 0;
  UINT8             Command       = 0;
  //
  // Tells apart operations that share one Exchange: a file sub-command, an
  // upload operation code, a transfer direction, a request length.
  //
  UINT8             Variant   : 3 = 0;
  //
  // ArgumentBit of every pointer among the first five arguments that is
  // refused when NULL, before Check.
  //
  UINT8             Required  : 5 = 0;
  //
  // Argument checks and outputs that are set before the guard, beyond the
  // Required pointers; NULL when there are none.
  //
  OPERATION_STEP    Check    = nullptr;
  OPERATION_STEP    Exchange = nullptr;
};

static_assert (sizeof (OperationSpec) == 3 * sizeof (OPERATION_STEP), "the small fields share one word");

//
// A slot's arguments after This, one UINTN each.
//
struct ArgumentWords {
  CONST UINTN    *Words;

  //
  // The word of argument Index as the caller passed it, for code that
  // hands words on unread (a composite's steps) or tests them for NULL.
  //
  [[nodiscard]] UINTN
  Word (
    IN UINT8  Index
    ) const
  {
    return Words[Index];
  }

  //
  // A named argument, of the type the slot declares: a caller widens a
  // narrow argument to a whole word, and only its low bytes are defined.
  //
  template <typename T, UINT8 Position>
  [[nodiscard]] T
  Get (
    IN Argument<T, Position>
    ) const
  {
    if constexpr (IsPointer<T>) {
      return reinterpret_cast<T>(Words[Position]);  // NOLINT(performance-no-int-to-ptr): a slot's arguments arrive as words
    } else {
      return static_cast<T>(Words[Position]);
    }
  }
};

//
// The call in progress, as a worker sees it.
//
struct Operation {
  CONST EFI_PEI_SERVICES    **PeiServices;  // never NULL: the record's own when the caller gave none
  BMC_COMMANDS_PPI          *This;
  UINT8                     *BmcInstance;   // the caller's byte, or the broadcast loop's index
  UINT8                     Force;
  BOOLEAN                   Refused;        // refused after phase 0: phase 1 is not called
  CONST VOID                *Args;          // a slot's: its arguments after This, one UINTN each
  CONST OperationSpec       *Spec;          // the operation's own OperationSpec: NetFn, Command
  UINT8                     Received = 0;   // bytes of the last answer in ScratchBuffer, at most its capacity
  UINT8                     State    = 0;   // the state byte of TrackBmcStatus for the guard in progress

  template <typename T>
  [[nodiscard]] CONST T &
  ArgsAs () const
  {
    return *static_cast<CONST T *>(Args);
  }

  //
  // The arguments as one value. A worker that writes a request byte by
  // byte takes this once and reads its arguments from it: for all the
  // compiler knows a byte store may alias the Operation, so the accessors
  // below would fetch Args again after every store.
  //
  [[nodiscard]] ArgumentWords
  Arguments () const
  {
    return { static_cast<CONST UINTN *>(Args) };
  }

  [[nodiscard]] UINTN
  Word (
    IN UINT8  Index
    ) const
  {
    return Arguments ().Word (Index);
  }

  template <typename T, UINT8 Position>
  [[nodiscard]] T
  Get (
    IN Argument<T, Position>  Name
    ) const
  {
    return Arguments ().Get (Name);
  }

  [[nodiscard]] UINT8 *
  Scratch () const
  {
    return This->ScratchBuffer;
  }
};

//
// Where a slot's arguments lie, PeiServices first, one UINTN each. On IA32
// the caller of an EFIAPI (cdecl) function has pushed every argument as one
// 32-bit word, last first, so they already lie in memory in declaration
// order, just above the return address into the caller. Elsewhere the first
// arguments come in registers and the slot stores them all in a block of
// its own, which lives until the dispatch returns. No argument of a slot is
// wider than UINTN.
//
template <UINTN Count>
struct SlotArgumentBlock {
  UINTN  Words[Count];
};

template <typename T>
[[nodiscard]] inline UINTN
SlotWord (
  IN T  *Value
  )
{
  return reinterpret_cast<UINTN>(Value);
}

[[nodiscard]] inline UINTN
SlotWord (
  IN UINTN  Value
  )
{
  return Value;
}

template <typename... T>
[[nodiscard]] inline SlotArgumentBlock<sizeof...(T)>
SlotArguments (
  IN T...  Values
  )
{
  return { { SlotWord (Values)... } };
}

//
// The slot numbers, Slot::OemC1Query onwards, and their count: a slot's
// place among the slots of the record, and its row in mOperations.
//
namespace Slot {

#define OSKEL_SLOT_NUMBER(Name)  Name,

enum Number : UINT8 {
  BMC_COMMANDS_SLOT_LIST (OSKEL_SLOT_NUMBER, OSKEL_SLOT_NUMBER)
  Count
};

#undef OSKEL_SLOT_NUMBER

}  // namespace Slot

constexpr UINTN  BMC_COMMANDS_SLOTS = Slot::Count;

//
// What every slot does, in slot order.
//
extern CONST OperationSpec  mOperations[BMC_COMMANDS_SLOTS];  // NOLINT(bugprone-dynamic-static-initializers): defined constexpr

#define OPERATION(Name)  (Oskel::mOperations[Oskel::Slot::Name])

//
// A dispatched slot's row as mOperations holds it: the row as written, with
// the number of arguments its slot's type declares.
//
template <typename Function>
constexpr OperationSpec
WithArguments (
  IN OperationSpec  Row
  )
{
  Row.Arguments = SlotParameters<Function>::Count;
  return Row;
}

#if defined (OSKEL_ARCH_IA32)
/**
  The dispatch of every IA32 slot. A slot (Ia32/SlotEntry.nasm) is two
  instructions and no frame: its row number into AL and a jump to the
  common slot entry there, which passes that number and the address of the
  slot's arguments, as the EFIAPI (cdecl) caller pushed them, to this
  function with the plain C convention every IA32 compiler shares, and
  returns its status to the slot's caller.

  @param[in] Slot       The slot's row in mOperations, below Slot::Count.
  @param[in] Arguments  The caller's words: PeiServices, This, the
                        operation's arguments, BmcInstance, Force.

  @return What Dispatch returns for the slot's row.
**/
extern "C" EFI_STATUS EFIAPI
DispatchSlotEntry (
  IN UINTN        Slot,
  IN CONST UINTN  *Arguments
  );

#else
/**
  The dispatch of every slot outside IA32.

  @param[in] Spec       The slot's row.
  @param[in] Arguments  PeiServices, This, Spec.Arguments words,
                        BmcInstance, Force, stored by the slot in a block
                        of its own that lives until this returns.

  @return What Dispatch returns for Spec.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
DispatchSlot (
  IN CONST OperationSpec  &Spec,
  IN CONST UINTN          *Arguments
  );

//
// The slot of row Row outside IA32, for a slot declared as Function: an
// EFIAPI function with the slot's own parameters that stores them, one
// word each, and hands them to DispatchSlot with its row.
//
template <UINTN Row, typename Function>
struct SlotFunction;

template <UINTN Row, typename... Parameters>
struct SlotFunction<Row, EFI_STATUS (EFIAPI *)(Parameters...)> {
  static EFI_STATUS EFIAPI
  Entry (
    Parameters...  Values
    )
  {
    return DispatchSlot (mOperations[Row], SlotArguments (Values...).Words);
  }
};

#endif

/**
  Runs one operation: replaces a NULL PeiServices by the record's, checks
  the BMC index, picks the BMC or BMCs by Spec.Kind and runs the worker on
  each: the Force check, the Required pointers, the operation's Check, then
  its Exchange under the guard (or alone for an operation that is not
  guarded). A broadcast stops at the first BMC that fails.

  @param[in] Spec         The operation's row.
  @param[in] PeiServices  The caller's, or NULL for the record's.
  @param[in] This         The record; NULL is refused.
  @param[in] BmcInstance  The caller's BMC index, or ALL_BMCS.
  @param[in] Force        1 sends even to a BMC the transport marks unusable.
  @param[in] Args         The operation's arguments, one UINTN each.

  @retval EFI_SUCCESS            Every addressed BMC succeeded.
  @retval EFI_INVALID_PARAMETER  This, BmcInstance, Force or a Required
                                 pointer is refused, or Check refused.
  @retval EFI_UNSUPPORTED        ALL_BMCS for a single-BMC operation, or an
                                 index other than 0 for a BMC 0 operation.
  @return The first failure of SelectBmc, the guard or the Exchange.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
Dispatch (
  IN CONST OperationSpec       &Spec,
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN BMC_COMMANDS_PPI          *This,
  IN UINT8                     *BmcInstance,
  IN UINT8                     Force,
  IN CONST VOID                *Args
  );

/**
  A step of a composite operation, dispatched afresh with the PeiServices,
  This, BmcInstance and Force of the operation in progress, so that it
  keeps a guard of its own.

  @param[in] Op    The operation in progress.
  @param[in] Spec  The step's row.
  @param[in] Args  The step's arguments, one UINTN each.

  @return What Dispatch returns for the step.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
DispatchStep (
  IN CONST Operation        &Op,
  IN CONST OperationSpec    &Spec,
  IN CONST VOID             *Args
  );

/**
  The guard around one exchange: phase 0 of TrackBmcStatus; when the BMC
  may be used, or Force is 1, the exchange and then phase 1, flagged when
  the exchange ended in EFI_DEVICE_ERROR. An exchange that refused its
  arguments after phase 0 (Refuse) makes no phase-1 call.

  @param[in, out] Op        The operation; Op.State holds the state byte.
  @param[in]      Exchange  The exchange to run.

  @retval EFI_DEVICE_ERROR       The transport reports the BMC unusable
                                 (Force 0); nothing was sent.
  @retval EFI_INVALID_PARAMETER  Phase 0 refused (Force 0); nothing was sent.
  @return What the exchange returned.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
RunGuarded (
  IN OUT Operation     &Op,
  IN OPERATION_STEP    Exchange
  );

//
// Ends an exchange with Status after phase 0 without sending anything; the
// guard then makes no phase-1 call.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
Refuse (
  IN OUT Operation  &Op,
  IN EFI_STATUS     Status
  );

//
// One SendCommand on LUN 0; Function is NetFnCommand of the request.
// ResponseLength is in: capacity, out: received.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
Send (
  IN Operation      &Op,
  IN UINT16         Function,
  IN CONST UINT8    *Request,
  IN UINT8          RequestLength,
  OUT UINT8         *Response,
  IN OUT UINT8      *ResponseLength
  );

//
// A network function and command as one value for ScratchExchange, the
// network function in the low byte.
//
[[nodiscard]] constexpr UINT16
NetFnCommand (
  IN UINT8  NetFn,
  IN UINT8  Command
  )
{
  return static_cast<UINT16>(NetFn | (Command << 8));
}

//
// The lengths of one exchange over ScratchBuffer, written with designated
// initialisers at the call site; a field left out is 0.
//
struct ExchangeShape {
  UINT8    RequestLength = 0;  // request bytes at the start of ScratchBuffer
  UINT8    Capacity      = 0;  // response bytes ScratchBuffer may receive; 0: the completion code alone
  UINT8    Minimum       = 0;  // response bytes a successful answer must carry
};

/**
  One SendCommand on LUN 0 whose request is the first RequestLength bytes
  of ScratchBuffer and whose response lands there too, Capacity bytes at
  most. Call sites name the lengths through ScratchExchange; the lengths
  travel as plain bytes, which the internal calling convention carries in
  registers and pushes without building a record.

  Op.Received is the count the transport reported, clamped to Capacity, so
  a reader built on it never looks past what this exchange may have
  written.

  @param[in, out] Op             The operation in progress; Op.Received is set.
  @param[in]      Function       NetFnCommand of the request.
  @param[in]      RequestLength  Request bytes at the start of ScratchBuffer.
  @param[in]      Capacity       Response bytes ScratchBuffer may receive.
  @param[in]      Minimum        Shortest successful answer.

  @retval EFI_SUCCESS         The BMC answered with success and at least
                              Minimum bytes.
  @retval EFI_PROTOCOL_ERROR  A successful answer shorter than Minimum: the
                              fields the caller reads next were not sent.
  @retval Other               The transport's status or the completion
                              code, unchanged.
**/
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
ScratchExchangeLengths (
  IN OUT Operation  &Op,
  IN UINT16         Function,
  IN UINT8          RequestLength,
  IN UINT8          Capacity,
  IN UINT8          Minimum
  );

//
// ScratchExchangeLengths with the operation's own NetFn and Command.
//
[[nodiscard]] EFI_STATUS OSKEL_INTERNAL
SpecExchangeLengths (
  IN OUT Operation  &Op,
  IN UINT8          RequestLength,
  IN UINT8          Capacity,
  IN UINT8          Minimum
  );

//
// One exchange over ScratchBuffer with its lengths named, e.g.
// ScratchExchange (Op, Function, { .RequestLength = 2, .Capacity = 1,
// .Minimum = 1 }).
//
[[nodiscard]] OSKEL_ALWAYS_INLINE EFI_STATUS
ScratchExchange (
  IN OUT Operation    &Op,
  IN UINT16           Function,
  IN ExchangeShape    Shape
  )
{
  return ScratchExchangeLengths (Op, Function, Shape.RequestLength, Shape.Capacity, Shape.Minimum);
}

//
// The same with the operation's own NetFn and Command.
//
[[nodiscard]] OSKEL_ALWAYS_INLINE EFI_STATUS
SpecExchange (
  IN OUT Operation    &Op,
  IN ExchangeShape    Shape
  )
{
  return SpecExchangeLengths (Op, Shape.RequestLength, Shape.Capacity, Shape.Minimum);
}

//
// An EFI status in one byte, for constant tables: 0 stands for EFI_SUCCESS,
// any other value for the error of that code.
//
[[nodiscard]] constexpr UINT8
StatusCode (
  IN EFI_STATUS  Status
  )
{
  return static_cast<UINT8>(Status);
}

[[nodiscard]] constexpr EFI_STATUS
StatusFromCode (
  IN UINT8  Code
  )
{
  return (Code == 0) ? EFI_SUCCESS : ENCODE_ERROR (Code);
}

template <typename... Pointers>
[[nodiscard]] constexpr BOOLEAN
AnyNull (
  Pointers... Values
  )
{
  return ((Values == nullptr) || ...);
}

#if OSKEL_NC_TEST (ArgumentReadAsAnotherType)
OSKEL_NC_EXPECT ("cannot convert|cannot initialize");
//
// SetSerialMux's status is a byte: read as a UINT32 it does not build.
//
inline UINT32 *
NcMuxStatusAsWord (
  IN CONST Operation  &Op
  )
{
  return Op.Get (ArgumentOf<BMC_COMMANDS_SET_SERIAL_MUX, 2>);
}

#endif

#if OSKEL_NC_TEST (ArgumentPastTheSlot)
OSKEL_NC_EXPECT ("an argument past the last one the slot declares");
//
// SetSerialMux declares three arguments; a fourth would be BmcInstance.
//
constexpr auto  NcPastTheLast = ArgumentOf<BMC_COMMANDS_SET_SERIAL_MUX, 3>;
#endif

#if OSKEL_NC_TEST (RequiredArgumentNotAPointer)
OSKEL_NC_EXPECT ("a Required argument must be a pointer");
//
// SetSerialMux's channel is a byte, which no NULL check can refuse.
//
constexpr UINT8  NcRequired = ArgumentBit (ArgumentOf<BMC_COMMANDS_SET_SERIAL_MUX, 0>);
#endif

}  // namespace Oskel
