;------------------------------------------------------------------------------
; @file
;   The slots of the service record on IA32, and their common entry.
;
;   A slot is two instructions and no frame: its row of mOperations into AL
;   and a jump to SlotEntry. The EFIAPI (cdecl) caller has pushed the slot's
;   arguments, one 32-bit word each and PeiServices lowest, just above its
;   return address; SlotEntry hands the row and the address of those words
;   to DispatchSlotEntry with the plain C convention, which every IA32
;   compiler shares under one undecorated name, and returns its status
;   straight to the slot's caller. The code refers to nothing but
;   DispatchSlotEntry, by a relative call, so it links unchanged into
;   position-dependent and position-independent images.
;
;   The slots follow the order of the record, which is the order of
;   mOperations: SLOT gives each the next row. The last slot,
;   ReportBootStageSecondary, is an ordinary function of BootStage.cpp.
;
;   Copyright (c) 2026, Oskel firmware team. All rights reserved.
;   SPDX-License-Identifier: BSD-2-Clause-Patent
;------------------------------------------------------------------------------

;
; In ELF, no executable stack is asked for.
;
%ifidn __OUTPUT_FORMAT__, elf32
    SECTION .note.GNU-stack noalloc noexec nowrite progbits
%endif

    SECTION .text

extern ASM_PFX(DispatchSlotEntry)

%assign SlotRow 0

%macro SLOT 0
    mov     al, SlotRow
    jmp     SlotEntry
%assign SlotRow SlotRow + 1
%endmacro

;
; AL: the slot's row. [esp]: the return address into the slot's caller,
; the slot's arguments above it.
;
SlotEntry:
    movzx   eax, al
    lea     ecx, [esp + 4]
    push    ecx
    push    eax
    call    ASM_PFX(DispatchSlotEntry)
    add     esp, 8
    ret

global ASM_PFX(OemC1Query)
ASM_PFX(OemC1Query):
    SLOT

global ASM_PFX(OemC2Exchange)
ASM_PFX(OemC2Exchange):
    SLOT

global ASM_PFX(Oem20Exchange)
ASM_PFX(Oem20Exchange):
    SLOT

global ASM_PFX(RegionRead)
ASM_PFX(RegionRead):
    SLOT

global ASM_PFX(RegionWrite)
ASM_PFX(RegionWrite):
    SLOT

global ASM_PFX(SendRawCommand)
ASM_PFX(SendRawCommand):
    SLOT

global ASM_PFX(GetDeviceId)
ASM_PFX(GetDeviceId):
    SLOT

global ASM_PFX(GetSelfTestResults)
ASM_PFX(GetSelfTestResults):
    SLOT

global ASM_PFX(ReportBootStage)
ASM_PFX(ReportBootStage):
    SLOT

global ASM_PFX(GetOem10Value)
ASM_PFX(GetOem10Value):
    SLOT

global ASM_PFX(SetOem10Value)
ASM_PFX(SetOem10Value):
    SLOT

global ASM_PFX(SetOem62Flag)
ASM_PFX(SetOem62Flag):
    SLOT

global ASM_PFX(FileOpen)
ASM_PFX(FileOpen):
    SLOT

global ASM_PFX(FileRead)
ASM_PFX(FileRead):
    SLOT

global ASM_PFX(FileWrite)
ASM_PFX(FileWrite):
    SLOT

global ASM_PFX(FileClose)
ASM_PFX(FileClose):
    SLOT

global ASM_PFX(ReadKnownFile)
ASM_PFX(ReadKnownFile):
    SLOT

global ASM_PFX(WriteKnownFile)
ASM_PFX(WriteKnownFile):
    SLOT

global ASM_PFX(FileDelete)
ASM_PFX(FileDelete):
    SLOT

global ASM_PFX(GetFileSize)
ASM_PFX(GetFileSize):
    SLOT

global ASM_PFX(UploadBlocks)
ASM_PFX(UploadBlocks):
    SLOT

global ASM_PFX(UploadBlocksOp1)
ASM_PFX(UploadBlocksOp1):
    SLOT

global ASM_PFX(StartPostWatchdog)
ASM_PFX(StartPostWatchdog):
    SLOT

global ASM_PFX(Oem1CSetWord)
ASM_PFX(Oem1CSetWord):
    SLOT

global ASM_PFX(Oem1CClear)
ASM_PFX(Oem1CClear):
    SLOT

global ASM_PFX(ConfigureSerialConsole)
ASM_PFX(ConfigureSerialConsole):
    SLOT

global ASM_PFX(SetSerialMux)
ASM_PFX(SetSerialMux):
    SLOT

global ASM_PFX(SetOem1CState)
ASM_PFX(SetOem1CState):
    SLOT

global ASM_PFX(GetOem1CState)
ASM_PFX(GetOem1CState):
    SLOT

global ASM_PFX(ReadBmcSetting)
ASM_PFX(ReadBmcSetting):
    SLOT

global ASM_PFX(WriteBmcSetting)
ASM_PFX(WriteBmcSetting):
    SLOT

global ASM_PFX(Oem1CSetWordEx)
ASM_PFX(Oem1CSetWordEx):
    SLOT
