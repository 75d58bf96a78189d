/*
  A consumer written in C11 and linked with gcc alone: it brings up a
  minimal PEI foundation and a one-BMC transport in C, runs the module's
  entry, finds the service by GUID and calls slots through the record.
  Exit status 0 means every check held.
*/
#include <PiPei.h>
#include <Ppi/BmcCommands.h>
#include <Ppi/IpmiTransport.h>

#include <stdio.h>
#include <string.h>

EFI_STATUS EFIAPI OskelCommandsPeiEntryPoint (EFI_PEI_FILE_HANDLE FileHandle, CONST EFI_PEI_SERVICES **PeiServices);

static int                           mFailures;
static const EFI_PEI_PPI_DESCRIPTOR  *mPpis[8];
static unsigned                      mPpiCount;
static UINT64                        mPool[256];
static UINTN                         mPoolUsed;
static UINT64                        mHobList[1] = { 0x0000000000080FFFFull };  /* end of list, 8 bytes */
static unsigned                      mPortWrites;
static unsigned                      mSends;

//
// The fake BMC refuses this App command with "invalid command", and the
// transport gives up on Get Self Test Results.
//
#define REFUSED_COMMAND     0x7F
#define CC_INVALID_COMMAND  0xC1
#define CMD_SELF_TEST       0x04

static const UINT8  mDeviceId[15] = { 0x20, 0x81, 0x03, 0x02, 0x02, 0xBF, 0x4D, 0x4F, 0x00, 0x34, 0x12, 0, 0, 0, 0 };

#define CHECK(Condition) \
  do { if (!(Condition)) { printf ("FAIL %s:%d %s\n", __FILE__, __LINE__, #Condition); mFailures++; } } while (0)

static int
SameGuid (CONST EFI_GUID *A, CONST EFI_GUID *B)
{
  return memcmp (A, B, sizeof (EFI_GUID)) == 0;
}

static EFI_STATUS EFIAPI
InstallPpi (CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_PEI_PPI_DESCRIPTOR *PpiList)
{
  (void)PeiServices;
  mPpis[mPpiCount++] = PpiList;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI
ReInstallPpi (CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_PEI_PPI_DESCRIPTOR *OldPpi, CONST EFI_PEI_PPI_DESCRIPTOR *NewPpi)
{
  unsigned  Index;

  (void)PeiServices;
  for (Index = 0; Index < mPpiCount; Index++) {
    if (mPpis[Index] == OldPpi) {
      mPpis[Index] = NewPpi;
      return EFI_SUCCESS;
    }
  }

  return EFI_NOT_FOUND;
}

static EFI_STATUS EFIAPI
LocatePpi (CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_GUID *Guid, UINTN Instance, EFI_PEI_PPI_DESCRIPTOR **Descriptor, VOID **Ppi)
{
  unsigned  Index;

  (void)PeiServices;
  for (Index = 0; Index < mPpiCount; Index++) {
    if (SameGuid (mPpis[Index]->Guid, Guid) && (Instance-- == 0)) {
      if (Descriptor != NULL) {
        *Descriptor = (EFI_PEI_PPI_DESCRIPTOR *)mPpis[Index];
      }

      *Ppi = mPpis[Index]->Ppi;
      return EFI_SUCCESS;
    }
  }

  return EFI_NOT_FOUND;
}

static EFI_STATUS EFIAPI
AllocatePool (CONST EFI_PEI_SERVICES **PeiServices, UINTN Size, VOID **Buffer)
{
  UINTN  Words = (Size + 7) / 8;

  (void)PeiServices;
  if (mPoolUsed + Words > sizeof (mPool) / sizeof (mPool[0])) {
    return EFI_OUT_OF_RESOURCES;
  }

  *Buffer    = &mPool[mPoolUsed];
  mPoolUsed += Words;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI
GetHobList (CONST EFI_PEI_SERVICES **PeiServices, VOID **HobList)
{
  (void)PeiServices;
  *HobList = mHobList;
  return EFI_SUCCESS;
}

static EFI_STATUS mShadowAnswer = EFI_SUCCESS;

static EFI_STATUS EFIAPI
RegisterForShadow (EFI_PEI_FILE_HANDLE FileHandle)
{
  (void)FileHandle;
  return mShadowAnswer;
}

static EFI_STATUS EFIAPI
IoWrite (CONST EFI_PEI_SERVICES **PeiServices, CONST EFI_PEI_CPU_IO_PPI *This, EFI_PEI_CPU_IO_PPI_WIDTH Width, UINT64 Address, UINTN Count, VOID *Buffer)
{
  (void)PeiServices; (void)This; (void)Address; (void)Buffer;
  CHECK (Width == EfiPeiCpuIoWidthUint8 && Count == 1);
  mPortWrites++;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI
SendCommand (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 NetFn, UINT8 Lun, UINT8 Command,
             CONST UINT8 *Request, UINT8 RequestSize, UINT8 *Response, UINT8 *ResponseSize)
{
  UINT8  Count;

  (void)PeiServices; (void)This; (void)Lun; (void)Request; (void)RequestSize;
  mSends++;
  if ((NetFn == 0x06) && (Command == 0x01)) {
    Count = *ResponseSize < sizeof (mDeviceId) ? *ResponseSize : (UINT8)sizeof (mDeviceId);
    memcpy (Response, mDeviceId, Count);
    *ResponseSize = Count;
    return EFI_SUCCESS;
  }

  if ((NetFn == 0x06) && (Command == REFUSED_COMMAND)) {
    *ResponseSize = 0;
    return CC_INVALID_COMMAND;
  }

  if ((NetFn == 0x06) && (Command == CMD_SELF_TEST)) {
    *ResponseSize = 0;
    return EFI_DEVICE_ERROR;
  }

  *ResponseSize = 0;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI
TrackBmcStatus (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *State, UINT8 Phase, BOOLEAN DeviceError)
{
  (void)PeiServices; (void)This; (void)DeviceError;
  if (Phase == 0) {
    *State = 0;
  }

  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI
SelectBmc (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 Index)
{
  (void)PeiServices; (void)This;
  return Index == 0 ? EFI_SUCCESS : EFI_INVALID_PARAMETER;
}

static EFI_STATUS EFIAPI
GetBmcCount (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This, UINT8 *Count)
{
  (void)PeiServices; (void)This;
  *Count = 1;
  return EFI_SUCCESS;
}

static EFI_STATUS EFIAPI
PrepareSecondaryBmc (CONST EFI_PEI_SERVICES **PeiServices, IPMI_TRANSPORT_PPI *This)
{
  (void)PeiServices; (void)This;
  return EFI_NOT_FOUND;
}

int
main (void)
{
  static EFI_PEI_CPU_IO_PPI      CpuIo;
  static EFI_PEI_SERVICES        Table;
  static IPMI_TRANSPORT_PPI      Transport;
  static EFI_GUID                TransportGuid = IPMI_TRANSPORT_PPI_GUID;
  static EFI_GUID                ServiceGuid   = BMC_COMMANDS_PPI_GUID;
  static EFI_PEI_PPI_DESCRIPTOR  TransportDescriptor;
  CONST EFI_PEI_SERVICES         *TablePointer = &Table;
  CONST EFI_PEI_SERVICES         **PeiServices = &TablePointer;
  BMC_COMMANDS_PPI               *Service = NULL;
  BMC_COMMANDS_PPI               *FirstService;
  UINT8                          Response[32];
  UINT8                          Length = sizeof (Response);
  UINT8                          Bmc = 0;
  UINT8                          AllBmcs = ALL_BMCS;
  UINT8                          Raw[243];
  UINT8                          RawLength;
  EFI_STATUS                     Status;

  CpuIo.Io.Write          = IoWrite;
  Table.InstallPpi        = InstallPpi;
  Table.ReInstallPpi      = ReInstallPpi;
  Table.LocatePpi         = LocatePpi;
  Table.AllocatePool      = AllocatePool;
  Table.GetHobList        = GetHobList;
  Table.RegisterForShadow = RegisterForShadow;
  Table.CpuIo             = &CpuIo;

  Transport.SendCommand         = SendCommand;
  Transport.TrackBmcStatus      = TrackBmcStatus;
  Transport.SelectBmc           = SelectBmc;
  Transport.GetBmcCount         = GetBmcCount;
  Transport.PrepareSecondaryBmc = PrepareSecondaryBmc;
  TransportDescriptor.Flags     = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
  TransportDescriptor.Guid      = &TransportGuid;
  TransportDescriptor.Ppi       = &Transport;
  mPpis[mPpiCount++]            = &TransportDescriptor;

  CHECK (OskelCommandsPeiEntryPoint (NULL, PeiServices) == EFI_SUCCESS);
  CHECK (LocatePpi (PeiServices, &ServiceGuid, 0, NULL, (VOID **)&Service) == EFI_SUCCESS);
  if (Service == NULL) {
    return 1;
  }

  CHECK (Service->Signature == BMC_COMMANDS_PPI_SIGNATURE);
  CHECK (Service->Self->Signature == BMC_COMMANDS_PRIVATE_SIGNATURE);
  CHECK (mPortWrites >= 1);

  mSends = 0;
  CHECK (Service->GetDeviceId (NULL, Service, Response, &Length, &Bmc, FALSE) == EFI_SUCCESS);
  CHECK (Length == sizeof (mDeviceId));
  CHECK (memcmp (Response, mDeviceId, sizeof (mDeviceId)) == 0);
  CHECK (mSends == 1);
  CHECK (Service->GetDeviceId (NULL, Service, Response, &Length, &AllBmcs, FALSE) == EFI_UNSUPPORTED);
  CHECK (Service->GetDeviceId (NULL, Service, Response, &Length, &Bmc, 2) == EFI_INVALID_PARAMETER);

  //
  // The three kinds of outcome, as a C caller tells them apart: done, the
  // BMC's refusal (which EFI_ERROR () alone would take for success), and
  // a command that did not get through.
  //
  Length = sizeof (Response);
  Status = Service->GetDeviceId (NULL, Service, Response, &Length, &Bmc, FALSE);
  CHECK (BMC_STATUS_DONE (Status) && !BMC_STATUS_IS_COMPLETION_CODE (Status) && !BMC_STATUS_NOT_THROUGH (Status));

  RawLength = 0;
  Status    = Service->SendRawCommand (NULL, Service, 0x06, REFUSED_COMMAND, Raw, &RawLength, &Bmc, FALSE);
  CHECK (!EFI_ERROR (Status));
  CHECK (!BMC_STATUS_DONE (Status) && BMC_STATUS_IS_COMPLETION_CODE (Status) && !BMC_STATUS_NOT_THROUGH (Status));
  CHECK (BMC_STATUS_COMPLETION_CODE (Status) == CC_INVALID_COMMAND);

  Length = sizeof (Response);
  Status = Service->GetSelfTestResults (NULL, Service, Response, &Length, &Bmc, FALSE);
  CHECK (!BMC_STATUS_DONE (Status) && !BMC_STATUS_IS_COMPLETION_CODE (Status) && BMC_STATUS_NOT_THROUGH (Status));
  CHECK (BMC_STATUS_COMPLETION_CODE (Status) == 0);

  FirstService  = Service;
  mShadowAnswer = EFI_ALREADY_STARTED;
  CHECK (OskelCommandsPeiEntryPoint (NULL, PeiServices) == EFI_SUCCESS);
  CHECK (LocatePpi (PeiServices, &ServiceGuid, 0, NULL, (VOID **)&Service) == EFI_SUCCESS);
  CHECK (Service != FirstService);

  if (mFailures == 0) {
    printf ("PASS C consumer\n");
  }

  return mFailures == 0 ? 0 : 1;
}
