;------------------------------------------------------------------------------
; @file
;   The slots of the service record on IA32, and their common entry.
;
;   A slot is two instructions and no frame: its row of mOperations into AL
;   and a jump to SlotEntry. The EFIAPI (cdecl) caller has pushed the slot
;   arguments, one 32-bit word each and PeiServices lowest, just above its
;   return address; SlotEntry hands the row and the address of those words
;   to DispatchSlotEntry with the plain C convention, which every IA32
;   compiler shares under one undecorated name, and returns its status
;   straight to the caller of the slot. The code refers to nothing but
;   DispatchSlotEntry, by a relative call, so it links unchanged into
;   position-dependent and position-independent images.
;
;   The slots are those of SlotList.h, in its order, which is the order of
;   the record and of mOperations: SLOTS gives each the next row. A slot of
;   its own (ReportBootStageSecondary) is an ordinary function elsewhere and
;   only takes its row number here. This file goes through the C
;   preprocessor before NASM, as the EDK II build rule for NASM sources
;   does, for SlotList.h and ASM_PFX; no comment here may hold a C quote
;   character.
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

#include "../SlotList.h"

extern ASM_PFX(DispatchSlotEntry)

;
; AL: the slot row. [esp]: the return address into the caller of the slot,
; the arguments of the slot above it.
;
%macro SLOT_ENTRY 0
SlotEntry:
    movzx   eax, al
    lea     ecx, [esp + 4]
    push    ecx
    push    eax
    call    ASM_PFX(DispatchSlotEntry)
    add     esp, 8
    ret
%endmacro

;
; SLOTS Name, ...: one slot per name, rows from 0 in the order given; 0 in
; place of a name takes a row and makes no slot. SlotEntry sits in the
; middle of the slots, so that every slot reaches it with a two-byte short
; jump (within 127 bytes either way): a slot is four bytes, for some sixty
; slots.
;
%macro SLOTS 1-*
%assign SlotRow 0
%rep %0
%if SlotRow == %0 / 2
    SLOT_ENTRY
%endif
%ifnidn %1, 0
global %1
%1:
    mov     al, SlotRow
    jmp     short SlotEntry
%endif
%assign SlotRow SlotRow + 1
%rotate 1
%endrep
%endmacro

#define NASM_SLOT(Name)  ASM_PFX(Name),
#define NASM_NO_SLOT(Name)  0,

    SLOTS BMC_COMMANDS_SLOT_LIST (NASM_SLOT, NASM_NO_SLOT) 0
