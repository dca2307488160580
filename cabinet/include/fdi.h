/* The file decompression interface of the cabinet engine: create a context with memory and file
 * callbacks, test a file for a cabinet header, copy files out with notifications, destroy it.
 *
 * On Windows the types keep the published shapes exactly (32-bit long, __cdecl callbacks), so
 * callbacks written for that interface plug in unchanged. Elsewhere the same shapes are spelt with
 * fixed-width integers, so the layouts do not depend on the platform's long. */
#ifndef RAVEL_CABINET_FDI_H
#define RAVEL_CABINET_FDI_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define DIAMONDAPI __cdecl
typedef long FDI_LONG; /* 32 bits on Windows */
typedef unsigned long FDI_ULONG;
#else
#define DIAMONDAPI
typedef int32_t FDI_LONG;
typedef uint32_t FDI_ULONG;
#endif
typedef int FDI_BOOL;
typedef unsigned int FDI_UINT;
typedef unsigned short FDI_USHORT;
typedef intptr_t FDI_INT_PTR;

#ifdef __cplusplus
extern "C" {
#endif

/* Error record filled by the engine: the error code, a secondary value, and the error flag. */
typedef struct
{
    int erfOper;
    int erfType;
    FDI_BOOL fError;
} ERF, *PERF;

typedef enum {
    FDIERROR_NONE = 0,
    FDIERROR_CABINET_NOT_FOUND = 1,
    FDIERROR_NOT_A_CABINET = 2,
    FDIERROR_UNKNOWN_CABINET_VERSION = 3,
    FDIERROR_CORRUPT_CABINET = 4,
    FDIERROR_ALLOC_FAIL = 5,
    FDIERROR_BAD_COMPR_TYPE = 6,
    FDIERROR_MDI_FAIL = 7,
    FDIERROR_TARGET_FILE = 8,
    FDIERROR_RESERVE_MISMATCH = 9,
    FDIERROR_WRONG_CABINET = 10,
    FDIERROR_USER_ABORT = 11
} FDIERROR;

/* Processor types for FDICreate (stored; the engine does not depend on them). */
#define cpuUNKNOWN (-1)
#define cpu80286 0
#define cpu80386 1

/* Attribute bits with a meaning for the engine beyond the file system's. */
#define _A_EXEC 0x40
#define _A_NAME_IS_UTF 0x80

/* Folder compression types: low four bits the method, bits 8-12 the window. */
#define tcompMASK_TYPE 0x000F
#define tcompTYPE_NONE 0x0000
#define tcompTYPE_MSZIP 0x0001
#define tcompTYPE_QUANTUM 0x0002
#define tcompTYPE_LZX 0x0003
#define tcompBAD 0x000F

typedef void* HFDI;

typedef struct
{
    FDI_LONG cbCabinet;
    FDI_USHORT cFolders;
    FDI_USHORT cFiles;
    FDI_USHORT setID;
    FDI_USHORT iCabinet;
    FDI_BOOL fReserve;
    FDI_BOOL hasprev;
    FDI_BOOL hasnext;
} FDICABINETINFO, *PFDICABINETINFO;

typedef enum { fdidtNEW_CABINET = 0, fdidtNEW_FOLDER = 1, fdidtDECRYPT = 2 } FDIDECRYPTTYPE;

typedef struct
{
    FDIDECRYPTTYPE fdidt;
    void* pvUser;
    union
    {
        struct
        {
            void* pHeaderReserve;
            FDI_USHORT cbHeaderReserve;
            FDI_USHORT setID;
            int iCabinet;
        } cabinet;
        struct
        {
            void* pFolderReserve;
            FDI_USHORT cbFolderReserve;
            FDI_USHORT iFolder;
        } folder;
        struct
        {
            void* pDataReserve;
            FDI_USHORT cbDataReserve;
            void* pbData;
            FDI_USHORT cbData;
            FDI_BOOL fSplit;
            FDI_USHORT cbPartial;
        } decrypt;
    };
} FDIDECRYPT, *PFDIDECRYPT;

// Beyond the published fields, this engine also fills fdintPARTIAL_FILE's size, date, time,
// attributes and folder index as fdintCOPY_FILE does, and fdintENUMERATE's psz1 and psz2 with the
// previous cabinet's and disk's names (empty without them), so a listing needs nothing else.
typedef enum {
    fdintCABINET_INFO = 0,
    fdintPARTIAL_FILE = 1,
    fdintCOPY_FILE = 2,
    fdintCLOSE_FILE_INFO = 3,
    fdintNEXT_CABINET = 4,
    fdintENUMERATE = 5
} FDINOTIFICATIONTYPE;

typedef struct
{
    FDI_LONG cb;
    char* psz1;
    char* psz2;
    char* psz3;
    void* pv;
    FDI_INT_PTR hf;
    FDI_USHORT date;
    FDI_USHORT time;
    FDI_USHORT attribs;
    FDI_USHORT setID;
    FDI_USHORT iCabinet;
    FDI_USHORT iFolder;
    FDIERROR fdie;
} FDINOTIFICATION, *PFDINOTIFICATION;

typedef void*(DIAMONDAPI* PFNALLOC)(FDI_ULONG cb);
typedef void(DIAMONDAPI* PFNFREE)(void* pv);
typedef FDI_INT_PTR(DIAMONDAPI* PFNOPEN)(char* pszFile, int oflag, int pmode);
typedef FDI_UINT(DIAMONDAPI* PFNREAD)(FDI_INT_PTR hf, void* pv, FDI_UINT cb);
typedef FDI_UINT(DIAMONDAPI* PFNWRITE)(FDI_INT_PTR hf, void* pv, FDI_UINT cb);
typedef int(DIAMONDAPI* PFNCLOSE)(FDI_INT_PTR hf);
typedef FDI_LONG(DIAMONDAPI* PFNSEEK)(FDI_INT_PTR hf, FDI_LONG dist, int seektype);
typedef FDI_INT_PTR(DIAMONDAPI* PFNFDINOTIFY)(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin);
typedef int(DIAMONDAPI* PFNFDIDECRYPT)(PFDIDECRYPT pfdid);

#define FNALLOC(fn) void* DIAMONDAPI fn(FDI_ULONG cb)
#define FNFREE(fn) void DIAMONDAPI fn(void* pv)
#define FNOPEN(fn) FDI_INT_PTR DIAMONDAPI fn(char* pszFile, int oflag, int pmode)
#define FNREAD(fn) FDI_UINT DIAMONDAPI fn(FDI_INT_PTR hf, void* pv, FDI_UINT cb)
#define FNWRITE(fn) FDI_UINT DIAMONDAPI fn(FDI_INT_PTR hf, void* pv, FDI_UINT cb)
#define FNCLOSE(fn) int DIAMONDAPI fn(FDI_INT_PTR hf)
#define FNSEEK(fn) FDI_LONG DIAMONDAPI fn(FDI_INT_PTR hf, FDI_LONG dist, int seektype)
#define FNFDINOTIFY(fn) FDI_INT_PTR DIAMONDAPI fn(FDINOTIFICATIONTYPE fdint, PFDINOTIFICATION pfdin)
#define FNFDIDECRYPT(fn) int DIAMONDAPI fn(PFDIDECRYPT pfdid)

/* What the engine passes to the open callback: the C runtime's binary read-only flags and
 * read/write permission (the values of the Windows runtime, whatever the platform). */
#define FDI_OPEN_READ_BINARY 0x8000
#define FDI_OPEN_PERMISSION 0x0180

HFDI DIAMONDAPI FDICreate(PFNALLOC pfnalloc, PFNFREE pfnfree, PFNOPEN pfnopen, PFNREAD pfnread, PFNWRITE pfnwrite,
                          PFNCLOSE pfnclose, PFNSEEK pfnseek, int cpuType, PERF perf);
FDI_BOOL DIAMONDAPI FDIIsCabinet(HFDI hfdi, FDI_INT_PTR hf, PFDICABINETINFO pfdici);
FDI_BOOL DIAMONDAPI FDICopy(HFDI hfdi, char* pszCabinet, char* pszCabPath, int flags, PFNFDINOTIFY pfnfdin,
                            PFNFDIDECRYPT pfnfdid, void* pvUser);
FDI_BOOL DIAMONDAPI FDIDestroy(HFDI hfdi);

#ifdef __cplusplus
}
#endif

#endif
