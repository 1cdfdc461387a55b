/* The keyboard stand-in: control codes of its two devices and the records they exchange.
 * Shared by the kernel driver (C) and the user-mode tools (C++). */
#ifndef KBSIM_PROTOCOL_H
#define KBSIM_PROTOCOL_H

/* Device type 0x22, buffered, any access: CTL_CODE(0x22, function, 0, 0). */
#define KBSIM_CODE(function) ((0x22u << 16) | ((unsigned)(function) << 2))

/* The keyboard filter's control device, as the agent sees it. */
#define KBF_DEVICE_NAME L"\\Device\\MVKBFLTR"
#define KBF_LINK_NAME L"\\DosDevices\\MVKBFLTR"
#define KBF_USER_PATH L"\\\\.\\MVKBFLTR"

#define KBF_IOCTL_HOOK                  0x222400u /* in 4: semaphore handle value */
#define KBF_IOCTL_UNHOOK                0x222404u /* no buffers */
#define KBF_IOCTL_READ_EVENT            0x222408u /* in 4, out 4: the event word */
#define KBF_IOCTL_SET_DRIVER_PROFILEID  0x222480u /* in 1, out 1: profile number for the tables */
#define KBF_IOCTL_SEND_INDEXTABLE       0x222494u /* in 55, out 55 */
#define KBF_IOCTL_SEND_DATA             0x22249Cu /* in T (0..8192), out T */
#define KBF_IOCTL_SEND_KEYMAPTABLE      0x2224A4u /* in 21, out 21 */
#define KBF_IOCTL_SET_PROFILEID         0x222544u /* in 1: profile number made current */

#define KBF_INDEX_TABLE_SIZE   55
#define KBF_KEYMAP_TABLE_SIZE  21
#define KBF_DATA_CAPACITY      8192
#define KBF_PROFILE_NUMBERS    7   /* profile numbers on the wire: 0 (PC mode) to 6 */
#define KBF_EVENT_QUEUE_MAX    100 /* never more pending signals than the agent's semaphore holds */

/* The test-only control device. */
#define KBSIM_DEVICE_NAME L"\\Device\\MVKBSIM"
#define KBSIM_LINK_NAME L"\\DosDevices\\MVKBSIM"
#define KBSIM_USER_PATH L"\\\\.\\MVKBSIM"

#define KBSIM_IOCTL_INJECT   KBSIM_CODE(0xA00) /* in: n x uint32 event words (1..100) */
#define KBSIM_IOCTL_JOURNAL  KBSIM_CODE(0xA01) /* in: uint32 first entry; out: KBSIM_JOURNAL_HEADER + records */
#define KBSIM_IOCTL_RESET    KBSIM_CODE(0xA02) /* clears the journal and every failure rule */
#define KBSIM_IOCTL_FAIL     KBSIM_CODE(0xA03) /* in: KBSIM_FAIL_RULE */
#define KBSIM_IOCTL_STATE    KBSIM_CODE(0xA04) /* out: KBSIM_STATE */
#define KBSIM_IOCTL_TABLES   KBSIM_CODE(0xA05) /* in: uint32 profile number; out: KBSIM_TABLES */

#define KBSIM_JOURNAL_MAX_ENTRIES  4096
#define KBSIM_JOURNAL_MAX_BYTES    (4u * 1024u * 1024u)
#define KBSIM_JOURNAL_MAX_INPUT    16384 /* bytes kept of one request's input */
#define KBSIM_JOURNAL_OUT_SIZE     65536 /* output buffer the tool offers per journal read */
#define KBSIM_FAIL_RULES           16

#pragma pack(push, 4)
typedef struct KBSIM_FAIL_RULE {
    unsigned int code;     /* control code of the keyboard filter device */
    unsigned int status;   /* NTSTATUS to complete with; 0 removes the rule */
    unsigned int count;    /* number of requests to fail */
} KBSIM_FAIL_RULE;

typedef struct KBSIM_JOURNAL_HEADER {
    unsigned int total;    /* entries recorded since the last reset, dropped ones included */
    unsigned int first;    /* index of the oldest entry still kept */
    unsigned int returned; /* records following this header */
} KBSIM_JOURNAL_HEADER;

/* Each record: this header, then `stored` input bytes, padded to a multiple of 4. */
typedef struct KBSIM_JOURNAL_RECORD {
    unsigned int code;
    unsigned int length;   /* input length of the request */
    unsigned int stored;   /* bytes kept (at most KBSIM_JOURNAL_MAX_INPUT) */
} KBSIM_JOURNAL_RECORD;

#define KBSIM_COUNTED_CODES 8
typedef struct KBSIM_STATE {
    unsigned int hooked;          /* 1 while a client's semaphore is hooked */
    unsigned int hookProcessId;   /* process that hooked */
    unsigned int underWine;       /* 1 when the Wine signalling path is in use */
    unsigned int openHandles;     /* handles open on the keyboard filter device */
    unsigned int driverProfile;   /* last number of SET_DRIVER_PROFILEID, 0xFFFFFFFF if none */
    unsigned int currentProfile;  /* last number of SET_PROFILEID, 0xFFFFFFFF if none */
    unsigned int pendingEvents;   /* words queued and signalled, not read yet */
    unsigned int eventsInjected;
    unsigned int eventsRead;
    unsigned int signalsReleased;
    unsigned int injectsRefused;  /* injections refused: no hook, or queue/semaphore full */
    unsigned int journalEntries;  /* kept */
    unsigned int journalDropped;  /* oldest entries dropped to bound memory */
    unsigned int requestsFailed;  /* completed with an error, forced or not */
    unsigned int requests[KBSIM_COUNTED_CODES]; /* per control code, in the order of the table above */
    unsigned int unknownRequests;
} KBSIM_STATE;

typedef struct KBSIM_TABLES {
    unsigned int present;         /* bit 0 index table, bit 1 data block, bit 2 key-mapping table */
    unsigned int dataLength;
    unsigned char indexTable[KBF_INDEX_TABLE_SIZE];
    unsigned char keymapTable[KBF_KEYMAP_TABLE_SIZE];
    unsigned char data[KBF_DATA_CAPACITY];
} KBSIM_TABLES;
#pragma pack(pop)

#define KBSIM_HAS_INDEX  1u
#define KBSIM_HAS_DATA   2u
#define KBSIM_HAS_KEYMAP 4u

#endif
