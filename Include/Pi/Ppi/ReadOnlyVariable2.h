/** @file
  Standalone definition of the PI read-only variable PPI, standing in for
  MdePkg's Ppi/ReadOnlyVariable2.h under the same include name.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#include <PiPei.h>

#ifdef __cplusplus
extern "C" {
#endif

#define EFI_PEI_READ_ONLY_VARIABLE2_PPI_GUID \
  { 0x2ab86ef5, 0xecb5, 0x4134, { 0xb5, 0x56, 0x38, 0x54, 0xca, 0x1f, 0xe1, 0xb4 } }

typedef struct _EFI_PEI_READ_ONLY_VARIABLE2_PPI EFI_PEI_READ_ONLY_VARIABLE2_PPI;

/**
  Reads a variable by name and vendor GUID.

  @param[in]      This          The PPI instance.
  @param[in]      VariableName  NUL-terminated UTF-16 name.
  @param[in]      VariableGuid  Vendor GUID.
  @param[out]     Attributes    Attributes of the variable; may be NULL.
  @param[in, out] DataSize      In: size of Data. Out: size of the variable.
  @param[out]     Data          Receives the variable's contents.

  @retval EFI_SUCCESS           The variable was read.
  @retval EFI_NOT_FOUND         No such variable.
  @retval EFI_BUFFER_TOO_SMALL  DataSize is too small; it now holds the size.
**/
typedef EFI_STATUS (EFIAPI *EFI_PEI_GET_VARIABLE2)(
  IN CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI  *This,
  IN CONST CHAR16                           *VariableName,
  IN CONST EFI_GUID                         *VariableGuid,
  OUT UINT32                                *Attributes OPTIONAL,
  IN OUT UINTN                              *DataSize,
  OUT VOID                                  *Data OPTIONAL
  );

/**
  Enumerates variable names.

  @param[in]      This              The PPI instance.
  @param[in, out] VariableNameSize  Size of the VariableName buffer.
  @param[in, out] VariableName      In: previous name. Out: next name.
  @param[in, out] VariableGuid      In: previous GUID. Out: next GUID.

  @retval EFI_SUCCESS    The next name was returned.
  @retval EFI_NOT_FOUND  The end of the list was reached.
**/
typedef EFI_STATUS (EFIAPI *EFI_PEI_GET_NEXT_VARIABLE_NAME2)(
  IN CONST EFI_PEI_READ_ONLY_VARIABLE2_PPI  *This,
  IN OUT UINTN                              *VariableNameSize,
  IN OUT CHAR16                             *VariableName,
  IN OUT EFI_GUID                           *VariableGuid
  );

struct _EFI_PEI_READ_ONLY_VARIABLE2_PPI {
  EFI_PEI_GET_VARIABLE2              GetVariable;
  EFI_PEI_GET_NEXT_VARIABLE_NAME2    NextVariableName;
};

#ifdef __cplusplus
}
#endif
