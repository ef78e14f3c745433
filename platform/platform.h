/*
 * The whole surface through which Lensfolio reaches its platform: the HotSync
 * desktop libraries, the conduit interface the HotSync Manager calls, and the
 * handful of Windows calls the conduit and the setup programs make.
 *
 * Declarations only. The build links either the real libraries (Windows,
 * bound by ordinal through the .def files beside this header) or our own
 * stand-in (hotsync/). Every call is synchronous and returns a status where
 * the library has one: 0 for success.
 *
 * See NOTES.md for what these declarations assume about the real libraries.
 */
#ifndef LENSFOLIO_PLATFORM_H
#define LENSFOLIO_PLATFORM_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && defined(__i386__)
#define HS_CALL __cdecl
#define WIN_CALL __stdcall
#else
#define HS_CALL
#define WIN_CALL
#endif

#if defined(_WIN32)
#define HS_EXPORT __declspec(dllexport)
#else
#define HS_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Records exchanged with the HotSync Manager and the sync manager.
 * ---------------------------------------------------------------------- */

enum {
    kSyncTypeHandheldToDesktop = 2,
    kSyncTypeDesktopToHandheld = 3,
    kSyncTypeDoNothing = 6
};

enum { kSyncPathCapacity = 1024 };

/* Filled by the host for OpenConduit. The conduit reads only the sync type and
 * the desktop directory; the rest is the host's. */
typedef struct SyncProperties {
    int32_t syncType;                  /* offset 0 */
    char pathName[kSyncPathCapacity];  /* offset 4: desktop directory, ends in the separator */
    char localName[256];
    char userName[256];
    char remoteName[32];
    uint32_t creator;
    int32_t cardNo;
} SyncProperties;

/* Handed to ConfigureConduit. The conduit touches only the two fields at 516
 * and 520; the host keeps its own data in front of them. */
typedef struct SyncPreference {
    uint32_t version;
    uint32_t size;
    uint32_t creator;
    uint32_t userId;
    char userName[500];
    int32_t preferenceKind; /* offset 516: 0 not set, 1 permanent, 2 this HotSync only */
    int32_t syncType;       /* offset 520 */
} SyncPreference;

enum {
    kPreferenceNotSet = 0,
    kPreferencePermanent = 1,
    kPreferenceThisSyncOnly = 2
};

/* Request record of GetConduitInfo's name query: version must be 1, size 80. */
typedef struct ConduitRequestInfo {
    uint32_t version;
    uint32_t size;
    uint32_t creator;
    uint32_t userId;
    char userName[64];
} ConduitRequestInfo;

enum {
    kConduitInfoName = 0,
    kConduitInfoMfcVersion = 1,
    kConduitInfoDefaultAction = 2
};

#pragma pack(push, 1)
/* 28 bytes where pointers are 32-bit. On a 64-bit build the buffer address is
 * pointer wide, which moves the reserved field to 28 and the size to 32. */
typedef struct SyncRecordRequest {
    uint8_t dbHandle;       /* 0 */
    uint32_t recordId;      /* 1 */
    uint16_t recordIndex;   /* 5 */
    uint8_t attributes;     /* 7 */
    int16_t category;       /* 8 */
    uint32_t connection;    /* 10: not used by the conduit */
    uint32_t recordSize;    /* 14 */
    uint16_t bufferSize;    /* 18 */
    char *buffer;           /* 20 */
    uint32_t reserved;      /* 24, or 28 on a 64-bit build */
} SyncRecordRequest;

typedef struct SyncCreateRequest {
    uint8_t dbHandle;       /* 0: filled by SyncCreateDB */
    uint32_t creator;       /* 1 */
    uint32_t dbFlags;       /* 5 */
    uint8_t cardNo;         /* 9 */
    char name[32];          /* 10 */
    uint32_t dbType;        /* 42 */
    uint8_t unused[6];      /* 46 */
} SyncCreateRequest;
#pragma pack(pop)

/* Record attribute bits as the sync manager reports them. */
enum {
    kRecAttrDeleted = 0x80,
    kRecAttrDirty = 0x40,
    kRecAttrBusy = 0x20,
    kRecAttrSecret = 0x10,
    kRecAttrArchived = 0x08
};

enum {
    kOpenRead = 0x80,
    kOpenWrite = 0x40,
    kOpenShowSecret = 0x10
};

/* The one status the conduit tells apart from plain failure. */
enum { kSyncErrDatabaseMissing = 16387 /* 0x4003 */ };

typedef uint32_t ConduitHandle;

/* ------------------------------------------------------------------------
 * Sync manager, SYNC20.dll
 * ---------------------------------------------------------------------- */
int32_t HS_CALL SyncRegisterConduit(ConduitHandle *handle);                 /* @22 */
int32_t HS_CALL SyncUnRegisterConduit(ConduitHandle handle);                /* @23 */
int32_t HS_CALL SyncOpenDB(const char *name, int32_t cardNo, uint8_t *dbHandle,
                           uint8_t openMode);                               /* @26 */
int32_t HS_CALL SyncCreateDB(SyncCreateRequest *request);                   /* @27 */
int32_t HS_CALL SyncCloseDB(uint8_t dbHandle);                              /* @28 */
int32_t HS_CALL SyncResetSyncFlags(uint8_t dbHandle);                       /* @31 */
int32_t HS_CALL SyncWriteRec(SyncRecordRequest *request);                   /* @32 */
int32_t HS_CALL SyncReadRecordByIndex(SyncRecordRequest *request);          /* @36 */
int32_t HS_CALL SyncPurgeDeletedRecs(uint8_t dbHandle);                     /* @40 */
int32_t HS_CALL SyncPurgeAllRecs(uint8_t dbHandle);                         /* @41 */
int32_t HS_CALL SyncGetDBRecordCount(uint8_t dbHandle, uint16_t *count);    /* by name */

/* ------------------------------------------------------------------------
 * HotSync log, HSLOG20.dll. No result is used.
 * ---------------------------------------------------------------------- */
enum {
    kLogActivityDoNothing = -1,
    kLogActivityStart = 19,
    kLogActivityEndSuccess = 20,
    kLogActivityEndFailure = 21,
    kLogActivityError = 22
};

int32_t HS_CALL LogAddEntry(const char *text, int32_t activity, int32_t flag); /* @52 */
int32_t HS_CALL LogAddFormattedEntry(int32_t activity, int32_t flag,
                                     const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ; /* by name */

/* ------------------------------------------------------------------------
 * Conduit dialog library, PDCMN21.dll: the host's sync-action dialog.
 * ---------------------------------------------------------------------- */
typedef struct HotSyncActionDlg {
    void *parent;
    const char *conduitName;
    int32_t actionIndex;   /* 1 desktop overwrites handheld, 2 handheld overwrites desktop, 3 do nothing */
    int32_t makeDefault;   /* non-zero: ticked */
    void *impl;            /* the library's own */
} HotSyncActionDlg;

enum { kDialogOk = 1, kDialogCancel = 2 };

int32_t HS_CALL InitPdcmn5DLL(void);
/* 0 when the dialog could be made; the dialog then must be destroyed. */
int32_t HS_CALL ConstructHotSyncActionDlg(HotSyncActionDlg *dlg, void *parent);
/* Modal run: 1 for OK. */
int32_t HS_CALL RunHotSyncActionDlg(HotSyncActionDlg *dlg);
void HS_CALL DestroyHotSyncActionDlg(HotSyncActionDlg *dlg);

/* ------------------------------------------------------------------------
 * User data, UserData.dll
 * ---------------------------------------------------------------------- */
int32_t HS_CALL GetHotSyncUserCount(void);                                  /* @101 */
int32_t HS_CALL GetHotSyncUserId(int32_t index, uint32_t *userId);          /* @102 */
int32_t HS_CALL GetHotSyncUserName(uint32_t userId, char *name, uint32_t *size); /* @103 */
int32_t HS_CALL GetHotSyncUserDirectory(uint32_t userId, char *directory,
                                        uint32_t *size);                    /* @104 */

/* ------------------------------------------------------------------------
 * Conduit manager, CONDMGR.dll. 0 for success, except RemoveConduit.
 * ---------------------------------------------------------------------- */
enum { kCondMgrAlreadyInstalled = -1005 };

int32_t HS_CALL GetHotSyncDirectory(char *directory, uint32_t *size);       /* @88 */
int32_t HS_CALL InstallConduit(const char *creator, int32_t conduitType);   /* @67 */
int32_t HS_CALL SetConduitCreatorName(const char *creator, const char *path); /* @46 */
int32_t HS_CALL SetConduitDirectory(const char *creator, const char *dir);  /* @48 */
int32_t HS_CALL SetConduitFileName(const char *creator, const char *file);  /* @63 */
int32_t HS_CALL SetConduitTitle(const char *creator, const char *title);    /* @54 */
int32_t HS_CALL SetConduitRemoteFile(const char *creator, const char *db);  /* @50 */
/* Non-zero when a registration was removed, 0 on failure. */
int32_t HS_CALL RemoveConduit(const char *creator);                         /* @65 */

/* ------------------------------------------------------------------------
 * HotSync API, HSAPI.dll
 * ---------------------------------------------------------------------- */
int32_t HS_CALL NotifyHotSyncManager(int32_t request, int32_t argument);    /* @109 */

/* ------------------------------------------------------------------------
 * Install aide, INSTAIDE.dll
 * ---------------------------------------------------------------------- */
int32_t HS_CALL QueueHandheldInstall(const char *userName, const char *path); /* @103 */

/* ------------------------------------------------------------------------
 * Windows, KERNEL32 and USER32
 * ---------------------------------------------------------------------- */
enum {
    kMbOk = 0x00,
    kMbYesNoCancel = 0x03,
    kMbIconStop = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconInformation = 0x40,
    kMbDefButton2 = 0x100
};

enum { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

enum { kMoveFileReplaceExisting = 0x1 };

uint32_t WIN_CALL GetCurrentDirectoryA(uint32_t length, char *buffer);
int32_t WIN_CALL CreateDirectoryA(const char *path, void *security);
int32_t WIN_CALL CopyFileA(const char *source, const char *target, int32_t failIfExists);
int32_t WIN_CALL DeleteFileA(const char *path);
int32_t WIN_CALL RemoveDirectoryA(const char *path);
/* Non-zero on success. With kMoveFileReplaceExisting the target is replaced
 * in one step: a reader sees the old file or the new one, never neither. */
int32_t WIN_CALL MoveFileExA(const char *existing, const char *target, uint32_t flags);
void WIN_CALL Sleep(uint32_t milliseconds);
void *WIN_CALL GetFocus(void);
int32_t WIN_CALL MessageBoxA(void *owner, const char *text, const char *caption, uint32_t style);

/* ------------------------------------------------------------------------
 * The conduit interface: what a conduit exports and the HotSync Manager calls.
 * ---------------------------------------------------------------------- */
typedef void(HS_CALL *ProgressFn)(const char *text);

typedef int32_t(HS_CALL *OpenConduitFn)(ProgressFn progress, SyncProperties *properties);
typedef int32_t(HS_CALL *ConfigureConduitFn)(SyncPreference *preference);
typedef int32_t(HS_CALL *GetConduitInfoFn)(int32_t infoType, void *request, void *out,
                                           uint32_t *outSize);
typedef int32_t(HS_CALL *GetConduitNameFn)(char *name, uint16_t length);
typedef uint32_t(HS_CALL *GetConduitVersionFn)(void);

#ifdef __cplusplus
} /* extern "C" */

static_assert(offsetof(SyncProperties, syncType) == 0, "sync type at 0");
static_assert(offsetof(SyncProperties, pathName) == 4, "path at 4");
static_assert(offsetof(SyncPreference, preferenceKind) == 516, "preference kind at 516");
static_assert(offsetof(SyncPreference, syncType) == 520, "sync type at 520");
static_assert(sizeof(ConduitRequestInfo) == 80, "name query record is 80 bytes");

static_assert(offsetof(SyncRecordRequest, recordId) == 1, "");
static_assert(offsetof(SyncRecordRequest, recordIndex) == 5, "");
static_assert(offsetof(SyncRecordRequest, attributes) == 7, "");
static_assert(offsetof(SyncRecordRequest, category) == 8, "");
static_assert(offsetof(SyncRecordRequest, connection) == 10, "");
static_assert(offsetof(SyncRecordRequest, recordSize) == 14, "");
static_assert(offsetof(SyncRecordRequest, bufferSize) == 18, "");
static_assert(offsetof(SyncRecordRequest, buffer) == 20, "");
static_assert(offsetof(SyncRecordRequest, reserved) == 20 + sizeof(char *), "");
static_assert(sizeof(SyncRecordRequest) == (sizeof(char *) == 4 ? 28 : 32),
              "record request is 28 packed bytes with 32-bit pointers");

static_assert(offsetof(SyncCreateRequest, creator) == 1, "");
static_assert(offsetof(SyncCreateRequest, dbFlags) == 5, "");
static_assert(offsetof(SyncCreateRequest, cardNo) == 9, "");
static_assert(offsetof(SyncCreateRequest, name) == 10, "");
static_assert(offsetof(SyncCreateRequest, dbType) == 42, "");
static_assert(sizeof(SyncCreateRequest) == 52, "create request is 52 packed bytes");
#endif

#endif /* LENSFOLIO_PLATFORM_H */
