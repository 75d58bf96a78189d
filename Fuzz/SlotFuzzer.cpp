// libFuzzer harness: one slot per input, with fuzzed arguments, on a board
// whose transport answers every call from the input (status, completion
// code, data, reported count, health). It stops on any sanitizer report and
// on any of these:
//  - a byte written outside a caller buffer (guard bytes, poisoned for ASan)
//    or outside the part of it the operation may write, or to a buffer the
//    operation only reads;
//  - a record field other than ScratchBuffer changed;
//  - a POISON byte (a response byte the transport did not report) in an
//    output;
//  - a guard protocol fault (GuardMonitor.h);
//  - more SendCommand calls than the operation can make with its arguments;
//  - an output changed on a result that leaves it as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "GuardMonitor.h"
#include "SimulatedBoard.h"
#include "SlotContract.h"
#include "OskelCommands/Pei/Dispatch/Dispatch.h"

#if defined (__has_feature)
  #if __has_feature (address_sanitizer)
    #include <sanitizer/asan_interface.h>
    #define FENCE_POISON(Address, Size)    ASAN_POISON_MEMORY_REGION (Address, Size)
    #define FENCE_UNPOISON(Address, Size)  ASAN_UNPOISON_MEMORY_REGION (Address, Size)
  #endif
#endif
// Built with OSKEL_FUZZ_FRESH_BOARD=1, every input gets a board of its own
// (slower; the reference the reused board is measured against).
#ifndef OSKEL_FUZZ_FRESH_BOARD
  #define OSKEL_FUZZ_FRESH_BOARD  0
#endif

#ifndef FENCE_POISON
  #define FENCE_POISON(Address, Size)    ((void)(Address), (void)(Size))
  #define FENCE_UNPOISON(Address, Size)  ((void)(Address), (void)(Size))
#endif

namespace {

using OskelCheck::POISON;
using OskelSim::Reply;
using OskelSim::Request;

constexpr size_t   GUARD_SIZE = 16;
constexpr uint8_t  GUARD_BYTE = 0xEE;
constexpr size_t   MAX_TRANSFER = 2048;

// The slots, by name, from the module's own slot list.
#define SLOT_NAME(Name)  #Name,
constexpr const char  *mSlotNames[] = { BMC_COMMANDS_SLOT_LIST (SLOT_NAME, SLOT_NAME) };
#undef SLOT_NAME
static_assert (std::size (mSlotNames) == BMC_OPERATION_COUNT, "the slot list and BMC_OPERATION_COUNT differ");

uint8_t  mCurrentSlot;

[[noreturn]] void
Finding (const std::string &What)
{
  std::fprintf (stderr, "FINDING: slot %u %s: %s\n", mCurrentSlot, mSlotNames[mCurrentSlot], What.c_str ());
  std::abort ();
}

uint8_t
NotPoison (uint8_t Byte)
{
  return (Byte == POISON) ? static_cast<uint8_t>(POISON - 1) : Byte;
}

// A caller buffer between two guards. Only [WriteFrom, WriteTo) may change;
// DataOut buffers must not hold POISON afterwards.
class Fenced {
public:
  Fenced (const char *Name, size_t Size, FuzzedDataProvider &Input) : mName (Name), mSize (Size), mStorage (new uint8_t[GUARD_SIZE * 2 + Size])
  {
    std::memset (mStorage.get (), GUARD_BYTE, GUARD_SIZE * 2 + Size);
    for (size_t Index = 0; Index < Size; Index++) {
      Data ()[Index] = NotPoison (Input.ConsumeIntegral<uint8_t>());
    }

    mBefore.assign (Data (), Data () + Size);
    FENCE_POISON (mStorage.get (), GUARD_SIZE);
    FENCE_POISON (Data () + Size, GUARD_SIZE);
  }

  ~Fenced ()
  {
    FENCE_UNPOISON (mStorage.get (), GUARD_SIZE * 2 + mSize);
  }

  uint8_t *Data () { return mStorage.get () + GUARD_SIZE; }
  // Takes the content the operation starts from, once the harness has set it.
  void Arm () { mBefore.assign (Data (), Data () + mSize); }
  template <typename T> T *As () { return reinterpret_cast<T *>(Data ()); }
  template <typename T> T Initial () const { T Value; std::memcpy (&Value, mBefore.data (), sizeof (T)); return Value; }
  size_t Size () const { return mSize; }
  bool Changed () { return std::memcmp (mBefore.data (), Data (), mSize) != 0; }

  void MayWrite (size_t From, size_t To) { mWriteFrom = From; mWriteTo = std::min (To, mSize); }
  void MayWriteAll () { MayWrite (0, mSize); }
  void Copied () { mCopied = true; }

  void Check ()
  {
    FENCE_UNPOISON (mStorage.get (), GUARD_SIZE * 2 + mSize);
    for (size_t Index = 0; Index < GUARD_SIZE; Index++) {
      if ((mStorage[Index] != GUARD_BYTE) || (Data ()[mSize + Index] != GUARD_BYTE)) {
        Finding (mName + ": guard byte overwritten");
      }
    }

    for (size_t Index = 0; Index < mSize; Index++) {
      bool  Writable = (Index >= mWriteFrom) && (Index < mWriteTo);
      if (!Writable && (Data ()[Index] != mBefore[Index])) {
        Finding (mName + ": byte " + std::to_string (Index) + " written, outside what the operation may write");
      }

      if (Writable && mCopied && (Data ()[Index] == POISON)) {
        Finding (mName + ": byte " + std::to_string (Index) + " copied from beyond the received response");
      }
    }
  }

private:
  std::string                 mName;
  size_t                      mSize;
  std::unique_ptr<uint8_t[]>  mStorage;
  std::vector<uint8_t>        mBefore;
  size_t                      mWriteFrom = 0;
  size_t                      mWriteTo   = 0;
  bool                        mCopied    = false;
};

EFI_STATUS
FuzzedStatus (FuzzedDataProvider &Input)
{
  static constexpr EFI_STATUS  mErrors[] = {
    EFI_DEVICE_ERROR, EFI_NOT_READY, EFI_UNSUPPORTED, EFI_INVALID_PARAMETER, EFI_TIMEOUT, EFI_BMC_RETRY, EFI_NOT_FOUND
  };
  uint8_t  Kind = Input.ConsumeIntegral<uint8_t>();

  if (Kind < 160) {
    return EFI_SUCCESS;
  }

  if (Kind < 208) {
    return mErrors[Kind % (sizeof (mErrors) / sizeof (mErrors[0]))];
  }

  return Input.ConsumeIntegralInRange<EFI_STATUS>(1, 0xFF);
}

struct Call {
  FuzzedDataProvider          &Input;
  OskelSim::SimulatedBoard    &Board;
  BMC_COMMANDS_PPI            *Service;
  CONST EFI_PEI_SERVICES      **PeiServices;
  BMC_COMMANDS_PPI            *This;
  UINT8                       *BmcInstance;
  BOOLEAN                     Force;
  uint32_t                    NullMask;
  std::vector<std::unique_ptr<Fenced>> Buffers;

  // The caller's pointer for argument Nth: the buffer, or NULL when the
  // input says so.
  template <typename T>
  T *Pointer (unsigned Nth, Fenced &Buffer)
  {
    Buffer.Arm ();
    return ((NullMask >> Nth) & 1) ? nullptr : Buffer.As<T>();
  }

  Fenced &Buffer (const char *Name, size_t Size)
  {
    Buffers.push_back (std::make_unique<Fenced>(Name, Size, Input));
    return *Buffers.back ();
  }

  size_t Chunks (size_t Bytes) const { return (Bytes + BMC_CHUNK_SIZE - 1) / BMC_CHUNK_SIZE; }
};

// What a driver returns: the status, and the most SendCommand calls the
// slot may make on one BMC. How many BMCs a call reaches follows from the
// slot's row (its dispatch kind).
struct SlotOutcome {
  EFI_STATUS  Status;
  size_t      SendsPerBmc;
  bool        Broadcast;  // unused: the row's kind decides
};

using SlotDriver = std::function<SlotOutcome (Call &)>;

size_t
TransferLength (Call &C)
{
  return C.Input.ConsumeIntegralInRange<size_t>(0, MAX_TRANSFER);
}

// Every slot is driven from its wire contract (GenericDriver below): the
// arguments of the slot's type, fuzzed, with the contract's value now and
// then; each pointer a buffer of the size the contract gives it (a fixed
// size, or the value of the argument that sizes it), read-only for an in
// argument, writable for out and inout, and an out buffer checked for bytes
// copied from beyond the answer. The refinements below replace the generic
// driver of a slot with one that knows more of it (value ranges, the exact
// number of sends, outputs that must not change on a failure); a slot
// without one needs nothing here. Each names its slot; the harness refuses
// to start on a name the slot list lacks.
struct NamedDriver {
  const char  *Slot;
  SlotDriver  Drive;
};

const NamedDriver  mRefinements[] = {
  { "Oem20Exchange", [] (Call &C) {
    uint8_t  Wanted = C.Input.ConsumeBool () ? 2 : C.Input.ConsumeIntegral<uint8_t>();
    Fenced   &Buffer = C.Buffer ("Buffer", std::max<size_t>(Wanted, 2));
    Fenced   &Length = C.Buffer ("Length", 1);
    *Length.Data () = Wanted;
    Buffer.MayWrite (0, Wanted);
    Length.MayWriteAll ();
    return SlotOutcome{ C.Service->Oem20Exchange (C.PeiServices, C.This, C.Pointer<UINT8>(0, Buffer), C.Pointer<UINT8>(1, Length), C.BmcInstance, C.Force), 1, false };
  } },
  { "RegionRead", [] (Call &C) {
    UINT16  Offset = C.Input.ConsumeIntegral<UINT16>();
    UINT8   Selector = C.Input.ConsumeIntegral<UINT8>();
    size_t  Wanted = TransferLength (C);
    Fenced  &Buffer = C.Buffer ("Buffer", Wanted);
    Fenced  &Length = C.Buffer ("Length", 2);
    *Length.As<UINT16>() = static_cast<UINT16>(Wanted);
    Buffer.MayWriteAll ();
    Buffer.Copied ();
    Length.MayWriteAll ();
    EFI_STATUS  Status = C.Service->RegionRead (C.PeiServices, C.This, Offset, Selector, C.Pointer<UINT16>(0, Length), C.Pointer<UINT8>(1, Buffer), C.BmcInstance, C.Force);
    if ((Status != EFI_SUCCESS) && Length.Changed ()) {
      Finding ("RegionRead changed *Length on a failure");
    }

    if ((Status == EFI_SUCCESS) && (*Length.As<UINT16>() > Wanted)) {
      Finding ("RegionRead reported more bytes than asked for");
    }

    return SlotOutcome{ Status, C.Chunks (Wanted), false };
  } },
  { "RegionWrite", [] (Call &C) {
    UINT16  Offset = C.Input.ConsumeIntegral<UINT16>();
    UINT8   Selector = C.Input.ConsumeIntegral<UINT8>();
    size_t  Wanted = TransferLength (C);
    Fenced  &Data = C.Buffer ("Data", Wanted);
    Fenced  &Length = C.Buffer ("Length", 2);
    *Length.As<UINT16>() = static_cast<UINT16>(Wanted);
    Length.MayWriteAll ();
    EFI_STATUS  Status = C.Service->RegionWrite (C.PeiServices, C.This, Offset, Selector, C.Pointer<UINT16>(0, Length), C.Pointer<UINT8>(1, Data), C.BmcInstance, C.Force);
    if ((Status == EFI_SUCCESS) ? (*Length.As<UINT16>() != Wanted) : Length.Changed ()) {
      Finding ("RegionWrite: *Length must change only on success, to the length written");
    }

    return SlotOutcome{ Status, C.Chunks (Wanted), false };
  } },
  { "SendRawCommand", [] (Call &C) {
    UINT8   NetFn = C.Input.ConsumeIntegral<UINT8>();
    UINT8   Command = C.Input.ConsumeIntegral<UINT8>();
    Fenced  &Data = C.Buffer ("Data", 243);
    Fenced  &Length = C.Buffer ("DataLength", 1);
    *Length.Data () = C.Input.ConsumeBool () ? C.Input.ConsumeIntegralInRange<uint8_t>(0, 243) : C.Input.ConsumeIntegral<uint8_t>();
    Data.MayWriteAll ();
    Data.Copied ();
    Length.MayWriteAll ();
    EFI_STATUS  Status = C.Service->SendRawCommand (C.PeiServices, C.This, NetFn, Command, C.Pointer<UINT8>(0, Data), C.Pointer<UINT8>(1, Length), C.BmcInstance, C.Force);
    if ((Status != EFI_SUCCESS) && (Data.Changed () || Length.Changed ())) {
      Finding ("SendRawCommand changed Data or *DataLength on a failure");
    }

    return SlotOutcome{ Status, 1, false };
  } },
  { "GetOem10Value", [] (Call &C) {
    Fenced  &Value = C.Buffer ("Value", 1);
    Value.MayWriteAll ();
    Value.Copied ();
    EFI_STATUS  Status = C.Service->GetOem10Value (C.PeiServices, C.This, C.Pointer<UINT8>(0, Value), C.BmcInstance, C.Force);
    if ((Status != EFI_SUCCESS) && Value.Changed ()) {
      Finding ("GetOem10Value wrote *Value on a failure");
    }

    return SlotOutcome{ Status, 1, false };
  } },
  { "SetOem10Value", [] (Call &C) {
    Fenced  &Value = C.Buffer ("Value", 1);
    if (C.Input.ConsumeBool ()) {
      *Value.Data () &= 3;
    }

    return SlotOutcome{ C.Service->SetOem10Value (C.PeiServices, C.This, C.Pointer<UINT8>(0, Value), C.BmcInstance, C.Force), 1, true };
  } },
  { "FileOpen", [] (Call &C) {
    uint8_t  NameLength = C.Input.ConsumeBool () ? C.Input.ConsumeIntegralInRange<uint8_t>(0, MAX_FILE_NAME_LENGTH) : C.Input.ConsumeIntegral<uint8_t>();
    Fenced   &Name = C.Buffer ("Name", NameLength);
    Fenced   &Handle = C.Buffer ("Handle", 4);
    UINT8    OpenFlag = C.Input.ConsumeIntegral<UINT8>();
    UINT8    OpenMode = C.Input.ConsumeIntegral<UINT8>();
    UINT32   FileSize = C.Input.ConsumeIntegral<UINT32>();
    UINT8    AccessMode = C.Input.ConsumeIntegral<UINT8>();
    UINT8    FileClass = C.Input.ConsumeIntegral<UINT8>();
    Handle.MayWriteAll ();
    Handle.Copied ();
    return SlotOutcome{ C.Service->FileOpen (C.PeiServices, C.This, C.Pointer<CHAR8>(0, Name), NameLength, OpenFlag, OpenMode, FileSize, AccessMode, FileClass, C.Pointer<UINT32>(1, Handle), C.BmcInstance, C.Force), 1, false };
  } },
  { "FileRead", [] (Call &C) {
    UINT32  Handle = C.Input.ConsumeIntegral<UINT32>();
    UINT32  Offset = C.Input.ConsumeIntegral<UINT32>();
    size_t  Count = TransferLength (C);
    Fenced  &Buffer = C.Buffer ("Buffer", Count);
    Fenced  &BytesRead = C.Buffer ("BytesRead", 4);
    Buffer.MayWriteAll ();
    Buffer.Copied ();
    BytesRead.MayWriteAll ();
    EFI_STATUS  Status = C.Service->FileRead (C.PeiServices, C.This, Handle, Offset, static_cast<UINT32>(Count), C.Pointer<VOID>(0, Buffer), C.Pointer<UINT32>(1, BytesRead), C.BmcInstance, C.Force);
    if (BytesRead.Changed () && (*BytesRead.As<UINT32>() > Count)) {
      Finding ("FileRead reported more bytes than asked for");
    }

    return SlotOutcome{ Status, C.Chunks (Count), false };
  } },
  { "FileWrite", [] (Call &C) {
    UINT32  Handle = C.Input.ConsumeIntegral<UINT32>();
    UINT32  Offset = C.Input.ConsumeIntegral<UINT32>();
    size_t  Count = TransferLength (C);
    Fenced  &Buffer = C.Buffer ("Buffer", Count);
    Fenced  &CountOut = C.Buffer ("Count", 4);
    *CountOut.As<UINT32>() = static_cast<UINT32>(Count);
    CountOut.MayWriteAll ();
    EFI_STATUS  Status = C.Service->FileWrite (C.PeiServices, C.This, Handle, Offset, C.Pointer<VOID>(0, Buffer), C.Pointer<UINT32>(1, CountOut), C.BmcInstance, C.Force);
    if ((Status != EFI_SUCCESS) && CountOut.Changed ()) {
      Finding ("FileWrite changed *Count on a failure");
    }

    return SlotOutcome{ Status, C.Chunks (Count), false };
  } },
  { "FileClose", [] (Call &C) {
    UINT32  Handle = C.Input.ConsumeBool () ? 0 : C.Input.ConsumeIntegral<UINT32>();
    return SlotOutcome{ C.Service->FileClose (C.PeiServices, C.This, Handle, C.BmcInstance, C.Force), 1, false };
  } },
  { "ReadKnownFile", [] (Call &C) {
    UINT8   Id = C.Input.ConsumeIntegral<UINT8>();
    UINT32  Offset = C.Input.ConsumeIntegral<UINT32>();
    size_t  Count = TransferLength (C);
    Fenced  &Buffer = C.Buffer ("Buffer", Count);
    Fenced  &BytesRead = C.Buffer ("BytesRead", 4);
    Fenced  &Size = C.Buffer ("Size", 4);
    Buffer.MayWriteAll ();
    Buffer.Copied ();
    BytesRead.MayWriteAll ();
    EFI_STATUS  Status = C.Service->ReadKnownFile (C.PeiServices, C.This, Id, Offset, static_cast<UINT32>(Count), C.Pointer<VOID>(0, Buffer), C.Pointer<UINT32>(1, BytesRead), C.Pointer<UINT32>(2, Size), C.BmcInstance, C.Force);
    if (BytesRead.Changed () && (*BytesRead.As<UINT32>() > Count)) {
      Finding ("ReadKnownFile reported more bytes than asked for");
    }

    return SlotOutcome{ Status, C.Chunks (Count) + 2, false };
  } },
  { "WriteKnownFile", [] (Call &C) {
    UINT8   Id = C.Input.ConsumeIntegral<UINT8>();
    UINT32  Offset = C.Input.ConsumeIntegral<UINT32>();
    size_t  Count = TransferLength (C);
    Fenced  &Buffer = C.Buffer ("Buffer", Count);
    Fenced  &CountOut = C.Buffer ("Count", 4);
    Fenced  &Size = C.Buffer ("Size", 4);
    *CountOut.As<UINT32>() = static_cast<UINT32>(Count);
    CountOut.MayWriteAll ();
    EFI_STATUS  Status = C.Service->WriteKnownFile (C.PeiServices, C.This, Id, Offset, C.Pointer<VOID>(0, Buffer), C.Pointer<UINT32>(1, CountOut), C.Pointer<UINT32>(2, Size), C.BmcInstance, C.Force);
    if ((Status != EFI_SUCCESS) && CountOut.Changed ()) {
      Finding ("WriteKnownFile changed *Count on a failure");
    }

    return SlotOutcome{ Status, C.Chunks (Count) + 2, false };
  } },
  { "FileDelete", [] (Call &C) {
    UINT8   Id = C.Input.ConsumeIntegral<UINT8>();
    Fenced  &NameLength = C.Buffer ("NameLength", 1);
    Fenced  &Name = C.Buffer ("Name", *NameLength.Data ());
    return SlotOutcome{ C.Service->FileDelete (C.PeiServices, C.This, Id, C.Pointer<CHAR8>(0, Name), C.Pointer<UINT8>(1, NameLength), C.BmcInstance, C.Force), 1, false };
  } },
  { "GetFileSize", [] (Call &C) {
    UINT8   Id = C.Input.ConsumeIntegral<UINT8>();
    Fenced  &NameLength = C.Buffer ("NameLength", 1);
    Fenced  &Name = C.Buffer ("Name", *NameLength.Data ());
    Fenced  &Size = C.Buffer ("Size", 4);
    Size.MayWriteAll ();
    Size.Copied ();
    return SlotOutcome{ C.Service->GetFileSize (C.PeiServices, C.This, Id, C.Pointer<CHAR8>(0, Name), C.Pointer<UINT8>(1, NameLength), C.Pointer<UINT32>(2, Size), C.BmcInstance, C.Force), 1, false };
  } },
  { "UploadBlocks", [] (Call &C) {
    UINT32   Tag = C.Input.ConsumeIntegral<UINT32>();
    UINT8    Value = C.Input.ConsumeIntegral<UINT8>();
    BOOLEAN  UseOp80 = C.Input.ConsumeIntegral<UINT8>();
    size_t   Length = TransferLength (C);
    Fenced   &Data = C.Buffer ("Data", Length);
    Fenced   &LengthIn = C.Buffer ("Length", 4);
    *LengthIn.As<UINT32>() = static_cast<UINT32>(Length);
    size_t   Pieces = (Length <= 32) ? 1 : 1 + (Length - 32 + BMC_CHUNK_SIZE - 1) / BMC_CHUNK_SIZE;
    return SlotOutcome{ C.Service->UploadBlocks (C.PeiServices, C.This, Tag, Value, C.Pointer<UINT8>(0, Data), C.Pointer<UINT32>(1, LengthIn), UseOp80, C.BmcInstance, C.Force), Pieces, true };
  } },
  { "UploadBlocksOp1", [] (Call &C) {
    UINT32  Tag = C.Input.ConsumeIntegral<UINT32>();
    UINT8   Value = C.Input.ConsumeIntegral<UINT8>();
    size_t  Length = TransferLength (C);
    Fenced  &Data = C.Buffer ("Data", Length);
    Fenced  &LengthIn = C.Buffer ("Length", 4);
    *LengthIn.As<UINT32>() = static_cast<UINT32>(Length);
    size_t  Pieces = (Length <= 32) ? 1 : 1 + (Length - 32 + BMC_CHUNK_SIZE - 1) / BMC_CHUNK_SIZE;
    return SlotOutcome{ C.Service->UploadBlocksOp1 (C.PeiServices, C.This, Tag, Value, C.Pointer<UINT8>(0, Data), C.Pointer<UINT32>(1, LengthIn), C.BmcInstance, C.Force), Pieces, true };
  } },
  // Channel scan 3 x 7, mux read 3, mux write 3, two channel access
  // writes 3 x 2 each, mux hand-over 5, comm settings 3.
  { "ConfigureSerialConsole", [] (Call &C) {
    Fenced  &Config = C.Buffer ("Config", sizeof (SERIAL_CONSOLE_CONFIG));
    return SlotOutcome{ C.Service->ConfigureSerialConsole (C.PeiServices, C.This, C.Pointer<SERIAL_CONSOLE_CONFIG>(0, Config), C.BmcInstance, C.Force), 21 + 3 + 3 + 12 + 5 + 3, true };
  } },
  // The read through GetOem1CState, then the retried set.
  { "SetOem1CState", [] (Call &C) {
    UINT32  State = C.Input.ConsumeBool () ? C.Input.ConsumeIntegralInRange<UINT32>(0, 1) : C.Input.ConsumeIntegral<UINT32>();
    return SlotOutcome{ C.Service->SetOem1CState (C.PeiServices, C.This, State, C.BmcInstance, C.Force), 16, false };
  } },
  { "GetOem1CState", [] (Call &C) {
    Fenced  &State = C.Buffer ("State", 4);
    State.MayWriteAll ();
    EFI_STATUS  Status = C.Service->GetOem1CState (C.PeiServices, C.This, C.Pointer<UINT32>(0, State), C.BmcInstance, C.Force);
    if ((Status != EFI_SUCCESS) && State.Changed ()) {
      Finding ("GetOem1CState wrote *State on a failure");
    }

    if (State.Changed () && (State.Data ()[0] == POISON)) {
      Finding ("GetOem1CState took the state byte from beyond the received response");
    }

    return SlotOutcome{ Status, 1, false };
  } },
  { "ReadBmcSetting", [] (Call &C) {
    UINT8   Selector = C.Input.ConsumeBool () ? (C.Input.ConsumeBool () ? BMC_SETTING_SMBIOS_CRC : BMC_SETTING_DESCRIBED) : C.Input.ConsumeIntegral<UINT8>();
    Fenced  &Descriptor = C.Buffer ("Descriptor", sizeof (BMC_SETTING_DESCRIPTOR));
    BMC_SETTING_DESCRIPTOR  *D = Descriptor.As<BMC_SETTING_DESCRIPTOR>();
    if (C.Input.ConsumeBool ()) {
      D->NameLength %= BMC_SETTING_MAX_NAME_LENGTH + 1;
      D->ValueLength %= BMC_SETTING_MAX_VALUE_LENGTH + 1;
      D->Type %= 4;
    }

    size_t  Room = (Selector == BMC_SETTING_SMBIOS_CRC) ? 4 : (Selector == BMC_SETTING_DESCRIBED) ? std::min<size_t>(D->ValueLength, BMC_SETTING_MAX_VALUE_LENGTH) : 0;
    Fenced  &Value = C.Buffer ("Value", std::max<size_t>(Room, 1));
    Value.MayWrite (0, Room);
    Value.Copied ();
    EFI_STATUS  Status = C.Service->ReadBmcSetting (C.PeiServices, C.This, Selector, C.Pointer<VOID>(0, Value), C.Pointer<BMC_SETTING_DESCRIPTOR>(1, Descriptor), C.BmcInstance, C.Force);
    if ((Status != EFI_SUCCESS) && Value.Changed ()) {
      Finding ("ReadBmcSetting wrote Value on a failure");
    }

    return SlotOutcome{ Status, 1, false };
  } },
  { "WriteBmcSetting", [] (Call &C) {
    UINT8    Selector = C.Input.ConsumeBool () ? C.Input.PickValueInArray<UINT8>({ BMC_SETTING_SMBIOS_CRC, BMC_SETTING_1BOOT, BMC_SETTING_DESCRIBED }) : C.Input.ConsumeIntegral<UINT8>();
    BOOLEAN  WriteFlag = C.Input.ConsumeIntegral<UINT8>();
    Fenced   &Descriptor = C.Buffer ("Descriptor", sizeof (BMC_SETTING_DESCRIPTOR));
    BMC_SETTING_DESCRIPTOR  *D = Descriptor.As<BMC_SETTING_DESCRIPTOR>();
    if (C.Input.ConsumeBool ()) {
      D->NameLength %= BMC_SETTING_MAX_NAME_LENGTH + 1;
      D->ValueLength %= BMC_SETTING_MAX_VALUE_LENGTH + 1;
      D->Type %= 4;
    }

    size_t  Size = (Selector == BMC_SETTING_SMBIOS_CRC) ? 4 : (Selector == BMC_SETTING_1BOOT) ? 1 : (Selector == BMC_SETTING_DESCRIBED) ? std::min<size_t>(D->ValueLength, BMC_SETTING_MAX_VALUE_LENGTH) : 0;
    Fenced  &Value = C.Buffer ("Value", std::max<size_t>(Size, 1));
    return SlotOutcome{ C.Service->WriteBmcSetting (C.PeiServices, C.This, Selector, WriteFlag, C.Pointer<VOID>(0, Value), C.Pointer<BMC_SETTING_DESCRIPTOR>(1, Descriptor), C.BmcInstance, C.Force), 1, true };
  } },
};

// The generic driver of Slot, from its contract.
SlotOutcome
GenericDriver (Call &C, const OskelContract::Slot &Slot, const OskelContract::Contract &K)
{
  using OskelContract::Role;
  const size_t           Count = Slot.Types.size ();
  std::vector<UINTN>     Words (Count, 0);
  std::vector<uint64_t>  Values (Count, 0);
  std::vector<bool>      Sizes (Count, false);
  size_t                 Largest = 0;
  unsigned               Pointers = 0;

  for (size_t Index = 0; Index < Count; Index++) {
    const OskelContract::Parameter  &P = K.Parameters[Index];
    if (!P.SizeFrom.empty ()) {
      for (size_t By = 0; By < Count; By++) {
        Sizes[By] = Sizes[By] || (K.Parameters[By].Name == P.SizeFrom);
      }
    }
  }

  // Values first, and the one-value pointees: an argument that sizes a
  // buffer stays within MAX_TRANSFER.
  for (size_t Index = 0; Index < Count; Index++) {
    const OskelContract::Parameter      &P    = K.Parameters[Index];
    const OskelContract::ParameterType  &Type = Slot.Types[Index];
    size_t                              Width = Type.Pointer ? Type.Pointee : Type.Width;
    uint64_t                            Max   = (Width >= 8) ? UINT64_MAX : (uint64_t (1) << (8 * Width)) - 1;
    if ((P.Kind != Role::Value) && !P.IsScalar) {
      continue;
    }

    if (Sizes[Index]) {
      Values[Index] = C.Input.ConsumeIntegralInRange<uint64_t>(0, std::min<uint64_t>(Max, MAX_TRANSFER));
      Largest       = std::max<size_t>(Largest, Values[Index]);
    } else {
      Values[Index] = C.Input.ConsumeBool () ? P.Scalar : (C.Input.ConsumeIntegral<uint64_t>() & Max);
    }

    if (P.Kind == Role::Value) {
      Words[Index] = static_cast<UINTN>(Values[Index]);
    }
  }

  for (size_t Index = 0; Index < Count; Index++) {
    const OskelContract::Parameter      &P    = K.Parameters[Index];
    const OskelContract::ParameterType  &Type = Slot.Types[Index];
    if (!Type.Pointer) {
      continue;
    }

    size_t  Size = std::max<size_t>(Type.Pointee, 1);
    if (!P.SizeFrom.empty ()) {
      for (size_t By = 0; By < Count; By++) {
        Size = (K.Parameters[By].Name == P.SizeFrom) ? static_cast<size_t>(Values[By]) : Size;
      }
    } else if (P.Size != 0) {
      Size = P.Size;
    } else if (!P.Content.empty ()) {
      Size = P.Content.size ();
    }

    Fenced  &Buffer = C.Buffer (P.Name.c_str (), Size);
    if (P.IsScalar) {
      for (size_t Byte = 0; (Byte < Type.Pointee) && (Byte < Size); Byte++) {
        Buffer.Data ()[Byte] = static_cast<uint8_t>(Values[Index] >> (8 * Byte));
      }
    }

    if ((P.Kind == Role::Out) || (P.Kind == Role::InOut)) {
      Buffer.MayWriteAll ();
      if ((P.Kind == Role::Out) || ((Type.Pointee <= 1) && !P.IsScalar)) {
        Buffer.Copied ();
      }
    }

    Words[Index] = reinterpret_cast<UINTN>(C.Pointer<uint8_t>(Pointers++, Buffer));
  }

  size_t  Sends = 0;
  for (const OskelContract::Send &S : K.Sends) {
    Sends += (S.Bmc == 0) ? 1 : 0;
  }

  EFI_STATUS  Status = Slot.Call (C.Service, C.PeiServices, C.This, Words, C.BmcInstance, C.Force);
  return SlotOutcome{ Status, std::max<size_t>(Sends, 1) * 16 * std::max<size_t>(C.Chunks (Largest), 1), false };
}

// The driver of every slot, in slot order: its refinement, or the generic
// driver over its contract. A contract that does not read is a finding of
// its own at start.
std::vector<SlotDriver>
Drivers ()
{
  std::vector<SlotDriver>  Out;

  for (const OskelContract::Slot &Slot : OskelContract::Slots ()) {
    const NamedDriver  *Refined = nullptr;
    for (const NamedDriver &Each : mRefinements) {
      Refined = (std::strcmp (Each.Slot, Slot.Name) == 0) ? &Each : Refined;
    }

    if (Refined != nullptr) {
      Out.push_back (Refined->Drive);
      continue;
    }

    auto  Contract = std::make_shared<OskelContract::Contract>(OskelContract::Parse (Slot.Contract));
    Out.push_back ([&Slot, Contract] (Call &C) { return GenericDriver (C, Slot, *Contract); });
  }

  return Out;
}

std::vector<SlotDriver>  mSlots;

// A board with the service installed, as the entry leaves it. The entry's
// own paths are not what this harness explores, so a board may serve input
// after input: Reset puts back everything an operation or the harness can
// change (the record, ScratchBuffer included, and every transport setting),
// and the PEI foundation, which slots only read, is checked untouched after
// each input.
struct InstalledBoard {
  explicit InstalledBoard (size_t BmcCount) : Board (BmcCount)
  {
    Board.Pei.Hobs.AddPlatformBmcInfo ({ 0x0A00, 0x0B00, 0x0C00 });
    Service = Board.InstallService ();
    if (Service == nullptr) {
      Finding ("the entry did not install the service");
    }

    std::memcpy (&Record, Service->Self, sizeof (Record));
    Selected    = Board.Transport.Selected;
    Installs    = Board.Pei.InstallCount + Board.Pei.ReinstallCount;
    Allocations = Board.Pei.AllocationCount;
  }

  void Reset ()
  {
    OskelSim::SimulatedTransport  &Transport = Board.Transport;

    std::memcpy (Service->Self, &Record, sizeof (Record));
    // Field by field: a fresh ScriptedBmc would cost its deque's
    // allocations on every input.
    static_assert (sizeof (OskelSim::SimulatedTransport::Bmc) == ((sizeof (void *) == 8) ? 192 : 96), "a new BMC field must be reset here");
    for (size_t Index = 0; Index < Transport.Size (); Index++) {
      OskelSim::SimulatedTransport::Bmc  &Bmc = Transport.At (Index);
      Bmc.Scripted.Queue.clear ();
      Bmc.Scripted.Handler = nullptr;
      Bmc.Scripted.Default = OskelSim::Ok ();
      Bmc.Endpoint         = nullptr;
      Bmc.HealthStatus     = EFI_SUCCESS;
      Bmc.HealthState      = uint8_t (0);
      Bmc.SelectStatus     = EFI_SUCCESS;
    }

    Transport.SendHook               = nullptr;
    Transport.HealthHook             = nullptr;
    Transport.SendCount              = 0;
    Transport.ReportedCount          = std::nullopt;
    Transport.PrepareSecondaryStatus = EFI_SUCCESS;
    Transport.Selected               = Selected;
    Board.Log.Clear ();
  }

  // Slots locate PPIs and read HOBs; one that installed a PPI or took pool
  // would leave state behind that Reset cannot undo.
  void CheckFoundationUntouched ()
  {
    if ((Board.Pei.InstallCount + Board.Pei.ReinstallCount != Installs) || (Board.Pei.AllocationCount != Allocations)) {
      Finding ("an operation installed a PPI or allocated pool");
    }
  }

  OskelSim::SimulatedBoard  Board;
  BMC_COMMANDS_PPI          *Service = nullptr;
  BMC_COMMANDS_PRIVATE      Record;
  uint8_t                   Selected    = 0;
  size_t                    Installs    = 0;
  size_t                    Allocations = 0;
};

#if !OSKEL_FUZZ_FRESH_BOARD
// One board per BMC count, built on first use, reset before every input.
InstalledBoard &
Reused (size_t BmcCount)
{
  static std::unique_ptr<InstalledBoard>  mBoards[3];
  std::unique_ptr<InstalledBoard>         &Slot = mBoards[BmcCount - 1];

  if (!Slot) {
    Slot = std::make_unique<InstalledBoard>(BmcCount);
  }

  Slot->Reset ();
  return *Slot;
}
#endif

}  // namespace

// Every refinement names a slot of the list; every slot has its driver.
extern "C" int
LLVMFuzzerInitialize (int *, char ***)
{
  for (const NamedDriver &Each : mRefinements) {
    if (std::find_if (std::begin (mSlotNames), std::end (mSlotNames), [&] (const char *Name) { return std::strcmp (Name, Each.Slot) == 0; }) == std::end (mSlotNames)) {
      std::fprintf (stderr, "the refinement for %s names no slot of the slot list\n", Each.Slot);
      std::abort ();
    }
  }

  mSlots = Drivers ();
  return 0;
}

extern "C" int
LLVMFuzzerTestOneInput (const uint8_t *Data, size_t Size)
{
  FuzzedDataProvider  Input (Data, Size);
  uint8_t             Slot     = Input.ConsumeIntegralInRange<uint8_t>(0, BMC_OPERATION_COUNT - 1);
  size_t              BmcCount = Input.ConsumeIntegralInRange<size_t>(1, 3);

  mCurrentSlot = Slot;

#if OSKEL_FUZZ_FRESH_BOARD
  InstalledBoard  Fresh (BmcCount);
  InstalledBoard  &Prepared = Fresh;
#else
  InstalledBoard  &Prepared = Reused (BmcCount);
#endif
  OskelSim::SimulatedBoard  &Board   = Prepared.Board;
  BMC_COMMANDS_PPI          *Service = Prepared.Service;

  if (Input.ConsumeIntegralInRange<uint8_t>(0, 15) == 0) {
    Board.Transport.ReportedCount = Input.ConsumeIntegralInRange<uint8_t>(0, 4);
  }

  for (size_t Index = 0; Index < BmcCount; Index++) {
    if (Input.ConsumeIntegralInRange<uint8_t>(0, 31) == 0) {
      Board.Transport.At (Index).SelectStatus = EFI_DEVICE_ERROR;
    }
  }

  Board.Transport.HealthHook = [&Input] (uint8_t, EFI_STATUS &Status, std::optional<uint8_t> &State) {
    uint8_t  Kind = Input.ConsumeIntegral<uint8_t>();
    if (Kind >= 200) {
      Status = (Kind & 1) ? EFI_INVALID_PARAMETER : EFI_NOT_READY;
    }

    if ((Kind % 7) == 1) {
      State = IPMI_BMC_STATE_UNUSABLE;
    } else if ((Kind % 7) == 2) {
      State = std::nullopt;
    }
  };

  Board.Transport.SendHook = [&Input] (const Request &R, Reply) {
    Reply  Answer;
    Answer.Status = FuzzedStatus (Input);
    if (Answer.Status == EFI_SUCCESS) {
      size_t  Length = Input.ConsumeIntegralInRange<size_t>(0, R.Capacity);
      Answer.Data.reserve (Length);
      for (size_t Index = 0; Index < Length; Index++) {
        Answer.Data.push_back (NotPoison (Input.ConsumeIntegral<uint8_t>()));
      }

      if (Input.ConsumeIntegralInRange<uint8_t>(0, 7) == 0) {
        Answer.ReportedCount = Input.ConsumeIntegralInRange<uint8_t>(0, R.Capacity);
      }
    }

    return Answer;
  };

  OskelCheck::GuardMonitor  Monitor (Board.Transport, Service);
  BMC_COMMANDS_PRIVATE      RecordBefore;
  std::memcpy (&RecordBefore, Service->Self, sizeof (RecordBefore));
  UINT8                     Instance = Input.PickValueInArray<UINT8>({ 0, 0, 1, 2, 3, ALL_BMCS, ALL_BMCS, 0x7F });
  Call                      C{ Input, Board, Service, Board.Services (), Service, &Instance, 0, 0, {} };
  C.Buffers.reserve (4);
  uint8_t                   Flags = Input.ConsumeIntegral<uint8_t>();

  C.Force       = (Flags & 0x30) == 0x30 ? static_cast<BOOLEAN>(2 + (Flags & 0x0F)) : static_cast<BOOLEAN>((Flags >> 4) & 1);
  C.PeiServices = (Flags & 0x40) ? nullptr : Board.Services ();
  C.This        = ((Flags & 0x8F) == 0x8F) ? nullptr : Service;
  C.NullMask    = (Input.ConsumeIntegralInRange<uint8_t>(0, 7) == 0) ? Input.ConsumeIntegral<uint8_t>() : 0;
  bool  InstanceNull = Input.ConsumeIntegralInRange<uint8_t>(0, 31) == 0;
  if (InstanceNull) {
    C.BmcInstance = nullptr;
  }

  UINT8          InstanceBefore = Instance;
  SlotOutcome    Outcome        = mSlots.at (Slot) (C);

  for (auto &Buffer : C.Buffers) {
    Buffer->Check ();
  }

  if (Instance != InstanceBefore) {
    Finding ("the caller's BmcInstance byte was written");
  }

  BMC_COMMANDS_PRIVATE  RecordAfter;
  std::memcpy (&RecordAfter, Service->Self, sizeof (RecordAfter));
  std::memcpy (RecordAfter.Interface.ScratchBuffer, RecordBefore.Interface.ScratchBuffer, BMC_SCRATCH_BUFFER_SIZE);
  if (std::memcmp (&RecordBefore, &RecordAfter, sizeof (RecordBefore)) != 0) {
    Finding ("a record field other than ScratchBuffer changed");
  }

  const Oskel::DispatchKind  Kind      = Oskel::mOperations[Slot].Kind;
  size_t                    Addressed = 1;
  if (((Kind == Oskel::DispatchKind::Broadcast) && (Instance == ALL_BMCS)) || (Kind == Oskel::DispatchKind::EveryBmc)) {
    Addressed = std::max<size_t>(Board.Transport.ReportedCount.value_or (static_cast<uint8_t>(BmcCount)), 1);
  }

  if (Monitor.Sends > Outcome.SendsPerBmc * Addressed) {
    Finding (std::to_string (Monitor.Sends) + " SendCommand calls, bound " +
             std::to_string (Outcome.SendsPerBmc * Addressed));
  }

  for (const std::string &Fault : Monitor.Finish ()) {
    Finding (Fault);
  }

  Prepared.CheckFoundationUntouched ();

  (void)Outcome.Status;
  return 0;
}
