#include "StackMeter.h"

#include <ucontext.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#if !defined (__i386__)
#error "the stack meter follows the IA32 calling convention"
#endif

namespace {

constexpr size_t  mPlatformThunkCount = 64;
constexpr size_t  mOuterThunkCount    = 40;
constexpr size_t  mModuleStackSize    = 64 * 1024;
constexpr size_t  mPlatformStackSize  = 512 * 1024;

alignas (16) uint8_t  mModuleStack[mModuleStackSize];
alignas (16) uint8_t  mPlatformStack[mPlatformStackSize];

}  // namespace

//
// Shared with the thunks below. cdecl passes every argument on the stack and
// lets a callee clobber EAX, ECX and EDX, so the thunks work in those three
// registers and never push onto the module's stack.
//
extern "C" {
void       *OskelMeterPlatformTargets[mPlatformThunkCount];
void       *OskelMeterOuterTargets[mOuterThunkCount];
void       *OskelMeterSplitTarget;
uintptr_t  OskelMeterPlatformTop = reinterpret_cast<uintptr_t>(mPlatformStack) + mPlatformStackSize;
uint32_t   OskelMeterPlatformNesting;
uintptr_t  OskelMeterLowestPlatformCall;
uintptr_t  OskelMeterOuterEntry;
uintptr_t  OskelMeterOuterReturn;
uintptr_t  OskelMeterSplitReturn;
extern uint8_t  OskelMeterPlatformThunks[];
extern uint8_t  OskelMeterOuterThunks[];
extern uint8_t  OskelMeterSplitThunk[];
void OskelMeterOuterReturned (void);
void OskelMeterSplitReturned (void);
}

//
// Each thunk is 16 bytes: its index in EAX, then the shared body.
//
// Platform body: pop the return address, note the stack pointer at the call,
// paint the return address's word again, switch to the platform stack with a
// copy of 16 argument words (more than any platform function takes; the
// extra words are the caller's frame, only read), call, switch back.
//
// Outer body: the outermost pass notes the entry stack pointer and calls the
// slot so that its return comes back here; the depths are read on the
// platform stack before returning to the caller.
//
asm (R"(
  .text
  .set OSKEL_PAINT, 0xA5A5A5A5

  .balign 16
  .globl OskelMeterPlatformThunks
OskelMeterPlatformThunks:
  .set Index, 0
  .rept 64
  .balign 16
  movl $Index, %eax
  jmp OskelMeterPlatformBody
  .set Index, Index + 1
  .endr

OskelMeterPlatformBody:
  popl %ecx
  movl OskelMeterPlatformTargets(,%eax,4), %eax
  cmpl $0, OskelMeterPlatformNesting
  jne 2f
  leal -4(%esp), %edx
  cmpl OskelMeterLowestPlatformCall, %edx
  jae 1f
  movl %edx, OskelMeterLowestPlatformCall
1:
  xorl $OSKEL_PAINT, %edx
  movl %edx, -4(%esp)
2:
  incl OskelMeterPlatformNesting
  movl %esp, %edx
  movl OskelMeterPlatformTop, %esp
  pushl %edx
  pushl %ecx
  subl $8, %esp
  .set Word, 15
  .rept 16
  pushl 4*Word(%edx)
  .set Word, Word - 1
  .endr
  movl %esp, OskelMeterPlatformTop
  call *%eax
  leal 80(%esp), %ecx
  movl %ecx, OskelMeterPlatformTop
  decl OskelMeterPlatformNesting
  movl 72(%esp), %ecx
  movl 76(%esp), %esp
  jmp *%ecx

  .macro OSKEL_AFTER_RETURN Hook, Saved
  movl %esp, %ecx
  movl OskelMeterPlatformTop, %esp
  pushl %ecx
  pushl %eax
  pushl %edx
  subl $4, %esp
  call \Hook
  addl $4, %esp
  popl %edx
  popl %eax
  popl %esp
  jmp *\Saved
  .endm

  .balign 16
  .globl OskelMeterOuterThunks
OskelMeterOuterThunks:
  .set Index, 0
  .rept 40
  .balign 16
  movl $Index, %eax
  jmp OskelMeterOuterBody
  .set Index, Index + 1
  .endr

OskelMeterOuterBody:
  movl OskelMeterOuterTargets(,%eax,4), %eax
  cmpl $0, OskelMeterOuterEntry
  je 1f
  jmp *%eax
1:
  movl %esp, OskelMeterOuterEntry
  popl %ecx
  movl %ecx, OskelMeterOuterReturn
  call *%eax
  OSKEL_AFTER_RETURN OskelMeterOuterReturned, OskelMeterOuterReturn

  .balign 16
  .globl OskelMeterSplitThunk
OskelMeterSplitThunk:
  popl %ecx
  movl %ecx, OskelMeterSplitReturn
  call *OskelMeterSplitTarget
  OSKEL_AFTER_RETURN OskelMeterSplitReturned, OskelMeterSplitReturn
)");

namespace OskelBudget {

namespace {

constexpr uint32_t  mPaint = 0xA5A5A5A5;

size_t               mPlatformThunksUsed;
size_t               mOuterThunksUsed;
Measurement          mResult;
const std::function<void ()>  *mCall;
ucontext_t           mCaller;
ucontext_t           mInner;

[[noreturn]] void
Fail (const char *What)
{
  std::fprintf (stderr, "stack meter: %s\n", What);
  std::abort ();
}

void
Paint (uint8_t *Base, size_t Size)
{
  for (size_t Offset = 0; Offset < Size; Offset += 4) {
    uint32_t  Word = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Base + Offset)) ^ mPaint;
    std::memcpy (Base + Offset, &Word, 4);
  }
}

// Address of the lowest word of the region that no longer holds its paint.
uintptr_t
LowestOverwritten (const uint8_t *Base, size_t Size)
{
  for (size_t Offset = 0; Offset < Size; Offset += 4) {
    uint32_t  Word;
    std::memcpy (&Word, Base + Offset, 4);
    if (Word != (static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Base + Offset)) ^ mPaint)) {
      return reinterpret_cast<uintptr_t>(Base + Offset);
    }
  }

  return reinterpret_cast<uintptr_t>(Base + Size);
}

// The module's depths so far; runs on the platform stack.
StackDepths
ModuleDepths ()
{
  StackDepths  Depths;
  uintptr_t    Entry = OskelMeterOuterEntry;

  if (OskelMeterLowestPlatformCall < Entry) {
    Depths.AtPlatformCalls = static_cast<uint32_t>(Entry - OskelMeterLowestPlatformCall);
  }

  // The entry stack pointer holds the caller's return address: the module's
  // first word.
  Depths.Painted = static_cast<uint32_t>(Entry + 4 - LowestOverwritten (mModuleStack, mModuleStackSize));
  return Depths;
}

uint32_t
PlatformDepth ()
{
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(mPlatformStack) + mPlatformStackSize - LowestOverwritten (mPlatformStack, mPlatformStackSize));
}

void
RunCall ()
{
  (*mCall) ();
}

void *
ThunkAt (uint8_t *Base, size_t Index)
{
  return Base + 16 * Index;
}

// Routes the non-NULL function pointers in [First, End) of a table.
void
RouteTable (void *Table, size_t First, size_t End, size_t SkipA = SIZE_MAX, size_t SkipB = SIZE_MAX)
{
  auto  *Bytes = static_cast<uint8_t *>(Table);

  for (size_t Offset = First; Offset < End; Offset += sizeof (void *)) {
    if ((Offset == SkipA) || (Offset == SkipB)) {
      continue;
    }

    void  *Function;
    std::memcpy (&Function, Bytes + Offset, sizeof (Function));
    if (Function != nullptr) {
      Function = RoutePlatform (Function);
      std::memcpy (Bytes + Offset, &Function, sizeof (Function));
    }
  }
}

}  // namespace

}  // namespace OskelBudget

extern "C" void
OskelMeterOuterReturned (void)
{
  OskelBudget::mResult.Whole = OskelBudget::ModuleDepths ();
}

extern "C" void
OskelMeterSplitReturned (void)
{
  if (!OskelBudget::mResult.Split) {
    OskelBudget::mResult.FirstPhase          = OskelBudget::ModuleDepths ();
    OskelBudget::mResult.FirstPhase.Platform = OskelBudget::PlatformDepth ();
    OskelBudget::mResult.Split               = true;
  }
}

namespace OskelBudget {

void *
RoutePlatform (void *Function)
{
  if (mPlatformThunksUsed == mPlatformThunkCount) {
    Fail ("out of platform thunks");
  }

  OskelMeterPlatformTargets[mPlatformThunksUsed] = Function;
  return ThunkAt (OskelMeterPlatformThunks, mPlatformThunksUsed++);
}

void
RouteBoard (OskelSim::SimulatedBoard &Board)
{
  static const EFI_GUID  VariableGuid  = EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID;
  static const EFI_GUID  TransportGuid = IPMI_TRANSPORT_PPI_GUID;
  auto                   *Table        = const_cast<EFI_PEI_SERVICES *>(*Board.Services ());

  RouteTable (Table, offsetof (EFI_PEI_SERVICES, InstallPpi), sizeof (*Table),
              offsetof (EFI_PEI_SERVICES, CpuIo), offsetof (EFI_PEI_SERVICES, PciCfg));
  RouteTable (Table->CpuIo, 0, sizeof (EFI_PEI_CPU_IO_PPI));
  if (void *Variables = Board.Pei.Locate (VariableGuid)) {
    RouteTable (Variables, 0, sizeof (EFI_PEI_READ_ONLY_VARIABLE2_PPI));
  }

  RouteTable (Board.Pei.Locate (TransportGuid), offsetof (IPMI_TRANSPORT_PPI, SendCommand), sizeof (IPMI_TRANSPORT_PPI));
}

void *
RouteOuter (void *Function)
{
  if (mOuterThunksUsed == mOuterThunkCount) {
    Fail ("out of outer thunks");
  }

  OskelMeterOuterTargets[mOuterThunksUsed] = Function;
  return ThunkAt (OskelMeterOuterThunks, mOuterThunksUsed++);
}

void
RouteSlots (BMC_COMMANDS_PPI *Service)
{
  auto  *Bytes = reinterpret_cast<uint8_t *>(Service);

  for (size_t Offset = offsetof (BMC_COMMANDS_PPI, OemC1Query); Offset < sizeof (*Service); Offset += sizeof (void *)) {
    void  *Function;
    std::memcpy (&Function, Bytes + Offset, sizeof (Function));
    Function = RouteOuter (Function);
    std::memcpy (Bytes + Offset, &Function, sizeof (Function));
  }
}

void
SplitAtReturn (void **Field)
{
  OskelMeterSplitTarget = *Field;
  *Field                = OskelMeterSplitThunk;
}

Measurement
Measure (const std::function<void ()> &Call)
{
  uintptr_t  PlatformTop = reinterpret_cast<uintptr_t>(mPlatformStack) + mPlatformStackSize;

  if ((OskelMeterPlatformNesting != 0) || (OskelMeterPlatformTop != PlatformTop)) {
    Fail ("platform stack in use");
  }

  Paint (mModuleStack, mModuleStackSize);
  Paint (mPlatformStack, mPlatformStackSize);
  mResult                      = {};
  OskelMeterOuterEntry         = 0;
  OskelMeterLowestPlatformCall = std::numeric_limits<uintptr_t>::max ();
  mCall                        = &Call;

  if (getcontext (&mInner) != 0) {
    Fail ("getcontext");
  }

  mInner.uc_stack.ss_sp   = mModuleStack;
  mInner.uc_stack.ss_size = mModuleStackSize;
  mInner.uc_link          = &mCaller;
  makecontext (&mInner, RunCall, 0);
  if (swapcontext (&mCaller, &mInner) != 0) {
    Fail ("swapcontext");
  }

  mResult.Entered        = (OskelMeterOuterEntry != 0);
  mResult.Whole.Platform = PlatformDepth ();

  OskelMeterOuterEntry = 0;
  return mResult;
}

}  // namespace OskelBudget
