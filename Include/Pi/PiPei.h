/** @file
  Standalone PEI environment: the subset of the UEFI PI base types, PEI
  services table, PPI descriptor, HOB headers and CPU I/O PPI that the
  module uses, laid out exactly as PI defines them.

  This header stands in for EDK II's MdePkg PiPei.h under the same include
  name, so sources that include <PiPei.h> build unchanged inside an EDK II
  tree, where MdePkg's own header is found instead.

  Copyright (c) 2026, Oskel firmware team. All rights reserved.
  SPDX-License-Identifier: BSD-2-Clause-Patent
**/

#pragma once

#ifdef __cplusplus
extern "C" {
#endif

//
// Calling convention of every PI interface: cdecl on IA32, the Microsoft
// x64 convention on X64. A compiler in Microsoft mode (Visual Studio,
// clang-cl) has the latter as its own, and __cdecl is named so that /Gz or
// /Gr cannot change it; GCC and Clang in GNU mode are told, as EDK II's
// GCC tool chains do.
//
#if defined (_MSC_VER)
#if defined (_M_IX86)
#define EFIAPI  __cdecl
#else
#define EFIAPI
#endif
#elif defined (__x86_64__)
#define EFIAPI  __attribute__ ((ms_abi))
#elif defined (__i386__)
#define EFIAPI  __attribute__ ((cdecl))
#else
#define EFIAPI
#endif

#define IN
#define OUT
#define OPTIONAL
#define CONST  const
#define VOID   void

typedef unsigned char       UINT8;
typedef signed char         INT8;
typedef unsigned short      UINT16;
typedef short               INT16;
typedef unsigned int        UINT32;
typedef int                 INT32;
typedef unsigned long long  UINT64;
typedef long long           INT64;
typedef char                CHAR8;
typedef unsigned short      CHAR16;
typedef UINT8               BOOLEAN;

#if defined (_M_X64) || defined (__x86_64__)
typedef UINT64  UINTN;
typedef INT64   INTN;
#else
typedef UINT32  UINTN;
typedef INT32   INTN;
#endif

#define TRUE   ((BOOLEAN)(1==1))
#define FALSE  ((BOOLEAN)(0==1))
#ifndef NULL
#define NULL  ((VOID *) 0)
#endif

typedef UINTN   RETURN_STATUS;
typedef UINTN   EFI_STATUS;
typedef UINT64  EFI_PHYSICAL_ADDRESS;
typedef UINT32  EFI_BOOT_MODE;
typedef VOID    *EFI_PEI_FILE_HANDLE;
typedef VOID    *EFI_PEI_FV_HANDLE;
typedef UINT8   EFI_FV_FILETYPE;
typedef UINT8   EFI_SECTION_TYPE;
typedef UINT32  EFI_STATUS_CODE_TYPE;
typedef UINT32  EFI_STATUS_CODE_VALUE;

typedef struct {
  UINT32    Data1;
  UINT16    Data2;
  UINT16    Data3;
  UINT8     Data4[8];
} EFI_GUID;

//
// Status values. The error bit is the top bit of UINTN, so error codes are
// composed with ENCODE_ERROR rather than written as 32-bit literals.
//
#define MAX_BIT                  ((UINTN) 1 << (sizeof (UINTN) * 8 - 1))
#define ENCODE_ERROR(StatusCode) ((RETURN_STATUS)(MAX_BIT | (StatusCode)))
#define RETURN_ERROR(StatusCode) (((INTN)(RETURN_STATUS)(StatusCode)) < 0)
#define EFI_ERROR(A)             RETURN_ERROR (A)

#define EFI_SUCCESS               ((EFI_STATUS) 0)
#define EFI_LOAD_ERROR            ENCODE_ERROR (1)
#define EFI_INVALID_PARAMETER     ENCODE_ERROR (2)
#define EFI_UNSUPPORTED           ENCODE_ERROR (3)
#define EFI_BAD_BUFFER_SIZE       ENCODE_ERROR (4)
#define EFI_BUFFER_TOO_SMALL      ENCODE_ERROR (5)
#define EFI_NOT_READY             ENCODE_ERROR (6)
#define EFI_DEVICE_ERROR          ENCODE_ERROR (7)
#define EFI_WRITE_PROTECTED       ENCODE_ERROR (8)
#define EFI_OUT_OF_RESOURCES      ENCODE_ERROR (9)
#define EFI_VOLUME_CORRUPTED      ENCODE_ERROR (10)
#define EFI_VOLUME_FULL           ENCODE_ERROR (11)
#define EFI_NO_MEDIA              ENCODE_ERROR (12)
#define EFI_MEDIA_CHANGED         ENCODE_ERROR (13)
#define EFI_NOT_FOUND             ENCODE_ERROR (14)
#define EFI_ACCESS_DENIED         ENCODE_ERROR (15)
#define EFI_NO_RESPONSE           ENCODE_ERROR (16)
#define EFI_NO_MAPPING            ENCODE_ERROR (17)
#define EFI_TIMEOUT               ENCODE_ERROR (18)
#define EFI_NOT_STARTED           ENCODE_ERROR (19)
#define EFI_ALREADY_STARTED       ENCODE_ERROR (20)
#define EFI_ABORTED               ENCODE_ERROR (21)
#define EFI_PROTOCOL_ERROR        ENCODE_ERROR (24)
#define EFI_CRC_ERROR             ENCODE_ERROR (27)

typedef struct {
  UINT64    Signature;
  UINT32    Revision;
  UINT32    HeaderSize;
  UINT32    CRC32;
  UINT32    Reserved;
} EFI_TABLE_HEADER;

typedef struct _EFI_PEI_SERVICES      EFI_PEI_SERVICES;
typedef struct _EFI_PEI_CPU_IO_PPI    EFI_PEI_CPU_IO_PPI;
typedef struct _EFI_PEI_PCI_CFG2_PPI  EFI_PEI_PCI_CFG2_PPI;
typedef struct _EFI_PEI_NOTIFY_DESCRIPTOR EFI_PEI_NOTIFY_DESCRIPTOR;
typedef struct _EFI_FV_FILE_INFO      EFI_FV_FILE_INFO;
typedef struct _EFI_FV_FILE_INFO2     EFI_FV_FILE_INFO2;
typedef struct _EFI_FV_INFO           EFI_FV_INFO;
typedef struct _EFI_STATUS_CODE_DATA  EFI_STATUS_CODE_DATA;
typedef UINT32                        EFI_MEMORY_TYPE;
typedef UINT32                        EFI_RESET_TYPE;

//
// PPI descriptor.
//
#define EFI_PEI_PPI_DESCRIPTOR_PPI                0x00000010
#define EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST     0x80000000

typedef struct {
  UINTN       Flags;
  EFI_GUID    *Guid;
  VOID        *Ppi;
} EFI_PEI_PPI_DESCRIPTOR;

//
// PEI services.
//
typedef EFI_STATUS (EFIAPI *EFI_PEI_INSTALL_PPI)(
  IN CONST EFI_PEI_SERVICES        **PeiServices,
  IN CONST EFI_PEI_PPI_DESCRIPTOR  *PpiList
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_REINSTALL_PPI)(
  IN CONST EFI_PEI_SERVICES        **PeiServices,
  IN CONST EFI_PEI_PPI_DESCRIPTOR  *OldPpi,
  IN CONST EFI_PEI_PPI_DESCRIPTOR  *NewPpi
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_LOCATE_PPI)(
  IN CONST EFI_PEI_SERVICES     **PeiServices,
  IN CONST EFI_GUID             *Guid,
  IN UINTN                      Instance,
  IN OUT EFI_PEI_PPI_DESCRIPTOR **PpiDescriptor OPTIONAL,
  IN OUT VOID                   **Ppi
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_NOTIFY_PPI)(
  IN CONST EFI_PEI_SERVICES           **PeiServices,
  IN CONST EFI_PEI_NOTIFY_DESCRIPTOR  *NotifyList
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_GET_BOOT_MODE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  OUT EFI_BOOT_MODE          *BootMode
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_SET_BOOT_MODE)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_BOOT_MODE           BootMode
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_GET_HOB_LIST)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  OUT VOID                   **HobList
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_CREATE_HOB)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINT16                  Type,
  IN UINT16                  Length,
  IN OUT VOID                **Hob
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_FFS_FIND_NEXT_VOLUME2)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINTN                   Instance,
  OUT EFI_PEI_FV_HANDLE      *VolumeHandle
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_FFS_FIND_NEXT_FILE2)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_FV_FILETYPE         SearchType,
  IN CONST EFI_PEI_FV_HANDLE FvHandle,
  IN OUT EFI_PEI_FILE_HANDLE *FileHandle
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_FFS_FIND_SECTION_DATA2)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_SECTION_TYPE        SectionType,
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  OUT VOID                   **SectionData
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_INSTALL_PEI_MEMORY)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_PHYSICAL_ADDRESS    MemoryBegin,
  IN UINT64                  MemoryLength
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_ALLOCATE_PAGES)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_MEMORY_TYPE         MemoryType,
  IN UINTN                   Pages,
  OUT EFI_PHYSICAL_ADDRESS   *Memory
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_ALLOCATE_POOL)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN UINTN                   Size,
  OUT VOID                   **Buffer
  );
typedef VOID (EFIAPI *EFI_PEI_COPY_MEM)(
  IN VOID   *Destination,
  IN VOID   *Source,
  IN UINTN  Length
  );
typedef VOID (EFIAPI *EFI_PEI_SET_MEM)(
  IN VOID   *Buffer,
  IN UINTN  Size,
  IN UINT8  Value
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_REPORT_STATUS_CODE)(
  IN CONST EFI_PEI_SERVICES      **PeiServices,
  IN EFI_STATUS_CODE_TYPE        Type,
  IN EFI_STATUS_CODE_VALUE       Value,
  IN UINT32                      Instance,
  IN CONST EFI_GUID              *CallerId OPTIONAL,
  IN CONST EFI_STATUS_CODE_DATA  *Data OPTIONAL
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_RESET_SYSTEM)(
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_FFS_FIND_BY_NAME)(
  IN CONST EFI_GUID          *FileName,
  IN EFI_PEI_FV_HANDLE       VolumeHandle,
  OUT EFI_PEI_FILE_HANDLE    *FileHandle
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_FFS_GET_FILE_INFO)(
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  OUT EFI_FV_FILE_INFO       *FileInfo
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_FFS_GET_VOLUME_INFO)(
  IN EFI_PEI_FV_HANDLE       VolumeHandle,
  OUT EFI_FV_INFO            *VolumeInfo
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_REGISTER_FOR_SHADOW)(
  IN EFI_PEI_FILE_HANDLE     FileHandle
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_FFS_FIND_SECTION_DATA3)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_SECTION_TYPE        SectionType,
  IN UINTN                   SectionInstance,
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  OUT VOID                   **SectionData,
  OUT UINT32                 *AuthenticationStatus
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_FFS_GET_FILE_INFO2)(
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  OUT EFI_FV_FILE_INFO2      *FileInfo
  );
typedef VOID (EFIAPI *EFI_PEI_RESET2_SYSTEM)(
  IN EFI_RESET_TYPE          ResetType,
  IN EFI_STATUS              ResetStatus,
  IN UINTN                   DataSize,
  IN VOID                    *ResetData OPTIONAL
  );
typedef EFI_STATUS (EFIAPI *EFI_PEI_FREE_PAGES)(
  IN CONST EFI_PEI_SERVICES  **PeiServices,
  IN EFI_PHYSICAL_ADDRESS    Memory,
  IN UINTN                   Pages
  );

struct _EFI_PEI_SERVICES {
  EFI_TABLE_HEADER                  Hdr;
  EFI_PEI_INSTALL_PPI               InstallPpi;
  EFI_PEI_REINSTALL_PPI             ReInstallPpi;
  EFI_PEI_LOCATE_PPI                LocatePpi;
  EFI_PEI_NOTIFY_PPI                NotifyPpi;
  EFI_PEI_GET_BOOT_MODE             GetBootMode;
  EFI_PEI_SET_BOOT_MODE             SetBootMode;
  EFI_PEI_GET_HOB_LIST              GetHobList;
  EFI_PEI_CREATE_HOB                CreateHob;
  EFI_PEI_FFS_FIND_NEXT_VOLUME2     FfsFindNextVolume;
  EFI_PEI_FFS_FIND_NEXT_FILE2       FfsFindNextFile;
  EFI_PEI_FFS_FIND_SECTION_DATA2    FfsFindSectionData;
  EFI_PEI_INSTALL_PEI_MEMORY        InstallPeiMemory;
  EFI_PEI_ALLOCATE_PAGES            AllocatePages;
  EFI_PEI_ALLOCATE_POOL             AllocatePool;
  EFI_PEI_COPY_MEM                  CopyMem;
  EFI_PEI_SET_MEM                   SetMem;
  EFI_PEI_REPORT_STATUS_CODE        ReportStatusCode;
  EFI_PEI_RESET_SYSTEM              ResetSystem;
  EFI_PEI_CPU_IO_PPI                *CpuIo;
  EFI_PEI_PCI_CFG2_PPI              *PciCfg;
  EFI_PEI_FFS_FIND_BY_NAME          FfsFindFileByName;
  EFI_PEI_FFS_GET_FILE_INFO         FfsGetFileInfo;
  EFI_PEI_FFS_GET_VOLUME_INFO       FfsGetVolumeInfo;
  EFI_PEI_REGISTER_FOR_SHADOW       RegisterForShadow;
  EFI_PEI_FFS_FIND_SECTION_DATA3    FindSectionData3;
  EFI_PEI_FFS_GET_FILE_INFO2        FfsGetFileInfo2;
  EFI_PEI_RESET2_SYSTEM             ResetSystem2;
  EFI_PEI_FREE_PAGES                FreePages;
};

typedef EFI_STATUS (EFIAPI *EFI_PEIM_ENTRY_POINT2)(
  IN EFI_PEI_FILE_HANDLE     FileHandle,
  IN CONST EFI_PEI_SERVICES  **PeiServices
  );

//
// CPU I/O PPI, reached through the CpuIo member of the services table.
//
typedef enum {
  EfiPeiCpuIoWidthUint8,
  EfiPeiCpuIoWidthUint16,
  EfiPeiCpuIoWidthUint32,
  EfiPeiCpuIoWidthUint64,
  EfiPeiCpuIoWidthFifoUint8,
  EfiPeiCpuIoWidthFifoUint16,
  EfiPeiCpuIoWidthFifoUint32,
  EfiPeiCpuIoWidthFifoUint64,
  EfiPeiCpuIoWidthFillUint8,
  EfiPeiCpuIoWidthFillUint16,
  EfiPeiCpuIoWidthFillUint32,
  EfiPeiCpuIoWidthFillUint64,
  EfiPeiCpuIoWidthMaximum
} EFI_PEI_CPU_IO_PPI_WIDTH;

typedef EFI_STATUS (EFIAPI *EFI_PEI_CPU_IO_PPI_IO_MEM)(
  IN CONST EFI_PEI_SERVICES    **PeiServices,
  IN CONST EFI_PEI_CPU_IO_PPI  *This,
  IN EFI_PEI_CPU_IO_PPI_WIDTH  Width,
  IN UINT64                    Address,
  IN UINTN                     Count,
  IN OUT VOID                  *Buffer
  );

typedef struct {
  EFI_PEI_CPU_IO_PPI_IO_MEM    Read;
  EFI_PEI_CPU_IO_PPI_IO_MEM    Write;
} EFI_PEI_CPU_IO_PPI_ACCESS;

typedef UINT8 (EFIAPI *EFI_PEI_CPU_IO_PPI_IO_READ8)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address);
typedef UINT16 (EFIAPI *EFI_PEI_CPU_IO_PPI_IO_READ16)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address);
typedef UINT32 (EFIAPI *EFI_PEI_CPU_IO_PPI_IO_READ32)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address);
typedef UINT64 (EFIAPI *EFI_PEI_CPU_IO_PPI_IO_READ64)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address);
typedef VOID (EFIAPI *EFI_PEI_CPU_IO_PPI_IO_WRITE8)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address, IN UINT8 Data);
typedef VOID (EFIAPI *EFI_PEI_CPU_IO_PPI_IO_WRITE16)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address, IN UINT16 Data);
typedef VOID (EFIAPI *EFI_PEI_CPU_IO_PPI_IO_WRITE32)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address, IN UINT32 Data);
typedef VOID (EFIAPI *EFI_PEI_CPU_IO_PPI_IO_WRITE64)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address, IN UINT64 Data);
typedef UINT8 (EFIAPI *EFI_PEI_CPU_IO_PPI_MEM_READ8)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address);
typedef UINT16 (EFIAPI *EFI_PEI_CPU_IO_PPI_MEM_READ16)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address);
typedef UINT32 (EFIAPI *EFI_PEI_CPU_IO_PPI_MEM_READ32)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address);
typedef UINT64 (EFIAPI *EFI_PEI_CPU_IO_PPI_MEM_READ64)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address);
typedef VOID (EFIAPI *EFI_PEI_CPU_IO_PPI_MEM_WRITE8)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address, IN UINT8 Data);
typedef VOID (EFIAPI *EFI_PEI_CPU_IO_PPI_MEM_WRITE16)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address, IN UINT16 Data);
typedef VOID (EFIAPI *EFI_PEI_CPU_IO_PPI_MEM_WRITE32)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address, IN UINT32 Data);
typedef VOID (EFIAPI *EFI_PEI_CPU_IO_PPI_MEM_WRITE64)(
  IN CONST EFI_PEI_SERVICES **PeiServices, IN CONST EFI_PEI_CPU_IO_PPI *This, IN UINT64 Address, IN UINT64 Data);

struct _EFI_PEI_CPU_IO_PPI {
  EFI_PEI_CPU_IO_PPI_ACCESS         Mem;
  EFI_PEI_CPU_IO_PPI_ACCESS         Io;
  EFI_PEI_CPU_IO_PPI_IO_READ8       IoRead8;
  EFI_PEI_CPU_IO_PPI_IO_READ16      IoRead16;
  EFI_PEI_CPU_IO_PPI_IO_READ32      IoRead32;
  EFI_PEI_CPU_IO_PPI_IO_READ64      IoRead64;
  EFI_PEI_CPU_IO_PPI_IO_WRITE8      IoWrite8;
  EFI_PEI_CPU_IO_PPI_IO_WRITE16     IoWrite16;
  EFI_PEI_CPU_IO_PPI_IO_WRITE32     IoWrite32;
  EFI_PEI_CPU_IO_PPI_IO_WRITE64     IoWrite64;
  EFI_PEI_CPU_IO_PPI_MEM_READ8      MemRead8;
  EFI_PEI_CPU_IO_PPI_MEM_READ16     MemRead16;
  EFI_PEI_CPU_IO_PPI_MEM_READ32     MemRead32;
  EFI_PEI_CPU_IO_PPI_MEM_READ64     MemRead64;
  EFI_PEI_CPU_IO_PPI_MEM_WRITE8     MemWrite8;
  EFI_PEI_CPU_IO_PPI_MEM_WRITE16    MemWrite16;
  EFI_PEI_CPU_IO_PPI_MEM_WRITE32    MemWrite32;
  EFI_PEI_CPU_IO_PPI_MEM_WRITE64    MemWrite64;
};

//
// Hand-off blocks.
//
#define EFI_HOB_TYPE_GUID_EXTENSION    0x0004
#define EFI_HOB_TYPE_UNUSED            0xFFFE
#define EFI_HOB_TYPE_END_OF_HOB_LIST   0xFFFF

typedef struct {
  UINT16    HobType;
  UINT16    HobLength;
  UINT32    Reserved;
} EFI_HOB_GENERIC_HEADER;

typedef struct {
  EFI_HOB_GENERIC_HEADER    Header;
  EFI_GUID                  Name;
} EFI_HOB_GUID_TYPE;

#ifdef __cplusplus
}
#endif
