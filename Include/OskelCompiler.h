/** @file
  Every construct of the PEIMs that differs between compilers, in one
  place: the architecture, the calling convention of the PEIMs' own
  functions, inlining control and member offsets. One branch for Visual
  Studio and every compiler in its mode (clang-cl, which also defines
  __clang__, so _MSC_VER is tested first, as EDK II's own headers do), one
  for GCC and Clang in GNU mode (whatever their target, CLANGPDB's COFF
  included); the sources outside this header use the macros alone. Valid C
  as well as C++.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#if defined (_MSC_VER)

#if defined (_M_IX86)
#define OSKEL_ARCH_IA32  1
#elif defined (_M_X64)
#define OSKEL_ARCH_X64  1
#endif

//
// __fastcall passes the first two arguments in ECX and EDX; its names are
// decorated (@Name@Bytes), so it stays on functions that only C++ calls.
//
#if defined (OSKEL_ARCH_IA32)
#define OSKEL_INTERNAL  __fastcall
#else
#define OSKEL_INTERNAL
#endif

#define OSKEL_NOINLINE       __declspec (noinline)
#define OSKEL_ALWAYS_INLINE  __forceinline

//
// A constant expression in C and C++ alike, as MSVC's own offsetof is when
// _CRT_USE_BUILTIN_OFFSETOF is set.
//
#define OSKEL_OFFSET_OF(Type, Field)  __builtin_offsetof (Type, Field)

#elif defined (__GNUC__) || defined (__clang__)

#if defined (__i386__)
#define OSKEL_ARCH_IA32  1
#elif defined (__x86_64__)
#define OSKEL_ARCH_X64  1
#endif

//
// Register arguments between a PEIM's own functions on IA32, so nested
// operations fit their stack; never on EFIAPI or PI interfaces, nor on a
// function that assembly code calls.
//
#if defined (OSKEL_ARCH_IA32)
#define OSKEL_INTERNAL  __attribute__ ((regparm (3)))
#else
#define OSKEL_INTERNAL
#endif

#define OSKEL_NOINLINE       __attribute__ ((noinline))
#define OSKEL_ALWAYS_INLINE  inline __attribute__ ((always_inline))

#define OSKEL_OFFSET_OF(Type, Field)  __builtin_offsetof (Type, Field)

#else
#error "OskelCompiler.h: GCC, Clang or Visual Studio expected"
#endif

#if !defined (OSKEL_ARCH_IA32) && !defined (OSKEL_ARCH_X64)
#error "OskelCompiler.h: IA32 or X64 expected"
#endif
