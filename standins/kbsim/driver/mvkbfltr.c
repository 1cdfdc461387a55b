/* Stand-in for the keyboard's filter driver.
 *
 * Two control devices:
 *   \Device\MVKBFLTR  what the agent opens: the eight control codes of the keyboard filter,
 *                     answered with the buffers the keyboard's driver uses.
 *   \Device\MVKBSIM   test-only: inject event words, read the journal of every request the
 *                     filter device received, force failures, read state and stored tables.
 *
 * Signalling the hooked client's semaphore: on Windows a buffered request is dispatched in the
 * caller's context, so the handle value is referenced there. Wine dispatches inside its driver
 * host process, where that value means nothing; there the handle is duplicated out of the
 * client's process and released through a local KSEMAPHORE that carries the duplicate (the
 * only release Wine's kernel emulation forwards to a user-mode semaphore). */
#include <ntifs.h>
#include "../kbsim_protocol.h"

#define KBSIM_POOL_TAG 0x6D53624B /* 'KbSm' */

/* The WDK declares the exported object type as a pointer to the import slot; mingw-w64 declares
 * it dllimport, so the variable already reads the object type itself. */
#if defined(__MINGW32__)
#define SEMAPHORE_OBJECT_TYPE ((POBJECT_TYPE)ExSemaphoreObjectType)
#else
#define SEMAPHORE_OBJECT_TYPE (*ExSemaphoreObjectType)
#endif
#define NO_PROFILE 0xFFFFFFFFu

typedef struct JOURNAL_ENTRY {
    struct JOURNAL_ENTRY* next;
    ULONG code;
    ULONG length;
    ULONG stored;
    UCHAR bytes[1];
} JOURNAL_ENTRY;

typedef struct HOOK {
    PFILE_OBJECT owner;        /* handle that hooked; NULL when unhooked */
    ULONG processId;
    PKSEMAPHORE userSemaphore; /* Windows: referenced user semaphore */
    HANDLE duplicate;          /* Wine: duplicate of the client's handle in this process */
    KSEMAPHORE wineShim;       /* Wine: carries `duplicate` */
} HOOK;

typedef struct SIM_STATE {
    PDEVICE_OBJECT filterDevice;
    PDEVICE_OBJECT simDevice;
    FAST_MUTEX lock;
    BOOLEAN underWine;
    HOOK hook;
    ULONG queue[KBF_EVENT_QUEUE_MAX];
    ULONG queueHead;
    ULONG queueCount;
    JOURNAL_ENTRY* journalFirst;
    JOURNAL_ENTRY* journalLast;
    ULONG journalEntries;
    ULONG journalBytes;
    ULONG journalTotal;
    KBSIM_FAIL_RULE rules[KBSIM_FAIL_RULES];
    KBSIM_TABLES* tables[KBF_PROFILE_NUMBERS];
    KBSIM_STATE counters; /* the counting fields; the rest is filled on request */
} SIM_STATE;

static SIM_STATE g_sim;

static const ULONG kFilterCodes[KBSIM_COUNTED_CODES] = {
    KBF_IOCTL_HOOK, KBF_IOCTL_UNHOOK, KBF_IOCTL_READ_EVENT, KBF_IOCTL_SET_DRIVER_PROFILEID,
    KBF_IOCTL_SEND_INDEXTABLE, KBF_IOCTL_SEND_DATA, KBF_IOCTL_SEND_KEYMAPTABLE,
    KBF_IOCTL_SET_PROFILEID};

static void LockState(void) { ExAcquireFastMutex(&g_sim.lock); }
static void UnlockState(void) { ExReleaseFastMutex(&g_sim.lock); }

static void* Allocate(SIZE_T size)
{
    void* p = ExAllocatePoolWithTag(NonPagedPool, size, KBSIM_POOL_TAG);
    if (p) RtlZeroMemory(p, size);
    return p;
}

static void Free(void* p)
{
    if (p) ExFreePoolWithTag(p, KBSIM_POOL_TAG);
}

/* ---- hook ---------------------------------------------------------------------------------- */

/* Detaches the hook under the lock; the caller releases the returned references unlocked. */
static HOOK DetachHookLocked(void)
{
    HOOK old = g_sim.hook;
    RtlZeroMemory(&g_sim.hook, sizeof(g_sim.hook));
    g_sim.queueHead = 0;
    g_sim.queueCount = 0;
    return old;
}

static void ReleaseHookReferences(HOOK* old)
{
    if (old->userSemaphore) ObDereferenceObject(old->userSemaphore);
    if (old->duplicate) ZwClose(old->duplicate);
}

static void UnhookIfOwner(PFILE_OBJECT file)
{
    HOOK old;
    RtlZeroMemory(&old, sizeof(old));
    LockState();
    if (g_sim.hook.owner && g_sim.hook.owner == file) old = DetachHookLocked();
    UnlockState();
    ReleaseHookReferences(&old);
}

/* Wine: duplicate the client's handle into this process. */
static NTSTATUS DuplicateClientHandle(ULONG processId, HANDLE clientHandle, HANDLE* duplicate)
{
    OBJECT_ATTRIBUTES attributes;
    CLIENT_ID client;
    HANDLE process = NULL;
    NTSTATUS status;
    PVOID object = NULL;

    InitializeObjectAttributes(&attributes, NULL, OBJ_KERNEL_HANDLE, NULL, NULL);
    client.UniqueProcess = (HANDLE)(ULONG_PTR)processId;
    client.UniqueThread = NULL;
    status = ZwOpenProcess(&process, PROCESS_DUP_HANDLE, &attributes, &client);
    if (!NT_SUCCESS(status)) return status;
    status = ZwDuplicateObject(process, clientHandle, NtCurrentProcess(), duplicate, 0, 0,
                               DUPLICATE_SAME_ACCESS);
    ZwClose(process);
    if (!NT_SUCCESS(status)) return status;
    /* Only a semaphore will do: anything else would silently never be signalled. */
    status = ObReferenceObjectByHandle(*duplicate, SEMAPHORE_MODIFY_STATE,
                                       SEMAPHORE_OBJECT_TYPE, KernelMode, &object,
                                       NULL);
    if (NT_SUCCESS(status)) {
        ObDereferenceObject(object);
    } else {
        ZwClose(*duplicate);
        *duplicate = NULL;
        status = STATUS_INVALID_HANDLE;
    }
    return status;
}

static NTSTATUS Hook(PIRP irp, PFILE_OBJECT file, ULONG handleValue)
{
    HOOK fresh;
    HOOK old;
    NTSTATUS status;
    HANDLE clientHandle = (HANDLE)(LONG_PTR)(LONG)handleValue;

    RtlZeroMemory(&fresh, sizeof(fresh));
    RtlZeroMemory(&old, sizeof(old));
    fresh.owner = file;
    fresh.processId = (ULONG)(ULONG_PTR)PsGetProcessId(IoGetRequestorProcess(irp));
    if (g_sim.underWine) {
        status = DuplicateClientHandle(fresh.processId, clientHandle, &fresh.duplicate);
        if (!NT_SUCCESS(status)) return status;
    } else {
        PVOID object = NULL;
        status = ObReferenceObjectByHandle(clientHandle, SEMAPHORE_MODIFY_STATE,
                                           SEMAPHORE_OBJECT_TYPE, irp->RequestorMode,
                                           &object, NULL);
        if (!NT_SUCCESS(status)) return status;
        fresh.userSemaphore = (PKSEMAPHORE)object;
    }

    /* The last hook wins; a new hook starts with an empty queue. */
    LockState();
    old = DetachHookLocked();
    g_sim.hook = fresh;
    if (g_sim.underWine) {
        KeInitializeSemaphore(&g_sim.hook.wineShim, 0, KBF_EVENT_QUEUE_MAX);
        g_sim.hook.wineShim.Header.WaitListHead.Blink = (PLIST_ENTRY)g_sim.hook.duplicate;
    }
    UnlockState();
    ReleaseHookReferences(&old);
    return STATUS_SUCCESS;
}

/* Counts the client's semaphore can still take. */
static ULONG SemaphoreRoomLocked(void)
{
    if (g_sim.hook.userSemaphore) {
        LONG count = KeReadStateSemaphore(g_sim.hook.userSemaphore);
        LONG limit = g_sim.hook.userSemaphore->Limit;
        return count < limit ? (ULONG)(limit - count) : 0;
    }
    /* Wine: the signal state cannot be read; every signal we gave is still pending at most. */
    return KBF_EVENT_QUEUE_MAX - g_sim.queueCount;
}

static void SignalClientLocked(void)
{
    if (g_sim.hook.userSemaphore) {
        KeReleaseSemaphore(g_sim.hook.userSemaphore, IO_NO_INCREMENT, 1, FALSE);
    } else if (g_sim.hook.duplicate) {
        KeReleaseSemaphore(&g_sim.hook.wineShim, IO_NO_INCREMENT, 1, FALSE);
        g_sim.hook.wineShim.Header.SignalState = 0; /* the real count lives in the client's semaphore */
    }
    g_sim.counters.signalsReleased++;
}

static NTSTATUS Inject(const ULONG* words, ULONG count)
{
    ULONG i;
    NTSTATUS status = STATUS_SUCCESS;
    LockState();
    if (!g_sim.hook.owner) {
        status = STATUS_DEVICE_NOT_READY;
    } else if (count > KBF_EVENT_QUEUE_MAX - g_sim.queueCount || count > SemaphoreRoomLocked()) {
        status = STATUS_INSUFFICIENT_RESOURCES;
    } else {
        for (i = 0; i < count; ++i) {
            g_sim.queue[(g_sim.queueHead + g_sim.queueCount) % KBF_EVENT_QUEUE_MAX] = words[i];
            g_sim.queueCount++;
            g_sim.counters.eventsInjected++;
            SignalClientLocked();
        }
    }
    if (!NT_SUCCESS(status)) g_sim.counters.injectsRefused++;
    UnlockState();
    return status;
}

/* ---- journal and failure rules --------------------------------------------------------------- */

static void DropOldestLocked(void)
{
    JOURNAL_ENTRY* e = g_sim.journalFirst;
    if (!e) return;
    g_sim.journalFirst = e->next;
    if (!g_sim.journalFirst) g_sim.journalLast = NULL;
    g_sim.journalEntries--;
    g_sim.journalBytes -= e->stored;
    g_sim.counters.journalDropped++;
    Free(e);
}

static void JournalLocked(ULONG code, const UCHAR* input, ULONG length)
{
    ULONG stored = length < KBSIM_JOURNAL_MAX_INPUT ? length : KBSIM_JOURNAL_MAX_INPUT;
    JOURNAL_ENTRY* e;
    if (!input) stored = 0;
    g_sim.journalTotal++;
    while (g_sim.journalFirst && (g_sim.journalEntries >= KBSIM_JOURNAL_MAX_ENTRIES ||
                                  g_sim.journalBytes + stored > KBSIM_JOURNAL_MAX_BYTES))
        DropOldestLocked();
    e = (JOURNAL_ENTRY*)Allocate(sizeof(JOURNAL_ENTRY) + stored);
    if (!e) {
        g_sim.counters.journalDropped++;
        return;
    }
    e->code = code;
    e->length = length;
    e->stored = stored;
    if (stored) RtlCopyMemory(e->bytes, input, stored);
    if (g_sim.journalLast) g_sim.journalLast->next = e;
    else g_sim.journalFirst = e;
    g_sim.journalLast = e;
    g_sim.journalEntries++;
    g_sim.journalBytes += stored;
}

static void ClearJournalLocked(void)
{
    while (g_sim.journalFirst) DropOldestLocked();
    g_sim.journalTotal = 0;
    g_sim.counters.journalDropped = 0;
}

/* Counters start again; the hook, the queue, the tables and the profile numbers stay. */
static void ResetCountersLocked(void)
{
    KBSIM_STATE* c = &g_sim.counters;
    RtlZeroMemory(c->requests, sizeof(c->requests));
    c->unknownRequests = 0;
    c->eventsInjected = 0;
    c->eventsRead = 0;
    c->signalsReleased = 0;
    c->injectsRefused = 0;
    c->requestsFailed = 0;
}

/* Status forced by a failure rule for this code, or STATUS_SUCCESS. */
static NTSTATUS ForcedFailureLocked(ULONG code)
{
    ULONG i;
    for (i = 0; i < KBSIM_FAIL_RULES; ++i) {
        KBSIM_FAIL_RULE* rule = &g_sim.rules[i];
        if (rule->count && rule->code == code) {
            rule->count--;
            return (NTSTATUS)rule->status;
        }
    }
    return STATUS_SUCCESS;
}

static NTSTATUS AddFailRuleLocked(const KBSIM_FAIL_RULE* rule)
{
    ULONG i;
    KBSIM_FAIL_RULE* free = NULL;
    if (rule->status != 0 && NT_SUCCESS((NTSTATUS)rule->status)) return STATUS_INVALID_PARAMETER;
    for (i = 0; i < KBSIM_FAIL_RULES; ++i) {
        KBSIM_FAIL_RULE* r = &g_sim.rules[i];
        if (r->count && r->code == rule->code) {
            free = r;
            break;
        }
        if (!r->count && !free) free = r;
    }
    if (rule->status == 0 || rule->count == 0) {
        if (free && free->code == rule->code) RtlZeroMemory(free, sizeof(*free));
        return STATUS_SUCCESS;
    }
    if (!free) return STATUS_INSUFFICIENT_RESOURCES;
    *free = *rule;
    return STATUS_SUCCESS;
}

/* ---- the keyboard filter's requests ------------------------------------------------------------ */

static KBSIM_TABLES* TablesOfDriverProfileLocked(void)
{
    ULONG p = g_sim.counters.driverProfile;
    if (p >= KBF_PROFILE_NUMBERS) return NULL;
    if (!g_sim.tables[p]) g_sim.tables[p] = (KBSIM_TABLES*)Allocate(sizeof(KBSIM_TABLES));
    return g_sim.tables[p];
}

/* Stores one table for the profile chosen by the last SET_DRIVER_PROFILEID. */
static NTSTATUS StoreTable(ULONG which, const UCHAR* bytes, ULONG length)
{
    KBSIM_TABLES* t;
    NTSTATUS status = STATUS_SUCCESS;
    LockState();
    if (g_sim.counters.driverProfile == NO_PROFILE) {
        status = STATUS_INVALID_DEVICE_STATE;
    } else if (!(t = TablesOfDriverProfileLocked())) {
        status = STATUS_INSUFFICIENT_RESOURCES;
    } else if (which == KBSIM_HAS_INDEX) {
        RtlCopyMemory(t->indexTable, bytes, KBF_INDEX_TABLE_SIZE);
        t->present |= KBSIM_HAS_INDEX;
    } else if (which == KBSIM_HAS_KEYMAP) {
        RtlCopyMemory(t->keymapTable, bytes, KBF_KEYMAP_TABLE_SIZE);
        t->present |= KBSIM_HAS_KEYMAP;
    } else {
        if (length) RtlCopyMemory(t->data, bytes, length);
        t->dataLength = length;
        t->present |= KBSIM_HAS_DATA;
    }
    UnlockState();
    return status;
}

static NTSTATUS FilterRequest(PIRP irp, PFILE_OBJECT file, ULONG code, UCHAR* buffer, ULONG in,
                              ULONG out, ULONG_PTR* information)
{
    NTSTATUS status;
    switch (code) {
    case KBF_IOCTL_HOOK:
        if (in != 4 || out != 0) return STATUS_INVALID_PARAMETER;
        return Hook(irp, file, *(ULONG*)buffer);

    case KBF_IOCTL_UNHOOK:
        if (in != 0 || out != 0) return STATUS_INVALID_PARAMETER;
        UnhookIfOwner(file);
        return STATUS_SUCCESS;

    case KBF_IOCTL_READ_EVENT:
        if (in != 4 || out != 4) return STATUS_INVALID_PARAMETER;
        LockState();
        if (g_sim.queueCount == 0) {
            status = STATUS_NO_MORE_ENTRIES;
        } else {
            *(ULONG*)buffer = g_sim.queue[g_sim.queueHead];
            g_sim.queueHead = (g_sim.queueHead + 1) % KBF_EVENT_QUEUE_MAX;
            g_sim.queueCount--;
            g_sim.counters.eventsRead++;
            *information = 4;
            status = STATUS_SUCCESS;
        }
        UnlockState();
        return status;

    case KBF_IOCTL_SET_DRIVER_PROFILEID:
        if (in != 1 || out != 1 || buffer[0] >= KBF_PROFILE_NUMBERS) return STATUS_INVALID_PARAMETER;
        LockState();
        g_sim.counters.driverProfile = buffer[0];
        UnlockState();
        *information = 1;
        return STATUS_SUCCESS;

    case KBF_IOCTL_SEND_INDEXTABLE:
        if (in != KBF_INDEX_TABLE_SIZE || out != KBF_INDEX_TABLE_SIZE) return STATUS_INVALID_PARAMETER;
        if (buffer[0] != 0x0A || buffer[1] != 0x00 || buffer[2] != KBF_INDEX_TABLE_SIZE)
            return STATUS_INVALID_PARAMETER;
        status = StoreTable(KBSIM_HAS_INDEX, buffer, in);
        if (NT_SUCCESS(status)) *information = in;
        return status;

    case KBF_IOCTL_SEND_DATA:
        if (in != out || in > KBF_DATA_CAPACITY) return STATUS_INVALID_PARAMETER;
        status = StoreTable(KBSIM_HAS_DATA, buffer, in);
        if (NT_SUCCESS(status)) *information = in;
        return status;

    case KBF_IOCTL_SEND_KEYMAPTABLE:
        if (in != KBF_KEYMAP_TABLE_SIZE || out != KBF_KEYMAP_TABLE_SIZE || buffer[0] != 0x0A)
            return STATUS_INVALID_PARAMETER;
        status = StoreTable(KBSIM_HAS_KEYMAP, buffer, in);
        if (NT_SUCCESS(status)) *information = in;
        return status;

    case KBF_IOCTL_SET_PROFILEID:
        if (in != 1 || out != 0 || buffer[0] >= KBF_PROFILE_NUMBERS) return STATUS_INVALID_PARAMETER;
        LockState();
        g_sim.counters.currentProfile = buffer[0];
        UnlockState();
        return STATUS_SUCCESS;

    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

static NTSTATUS FilterControl(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    UCHAR* buffer = (UCHAR*)irp->AssociatedIrp.SystemBuffer;
    NTSTATUS status;
    ULONG i;
    BOOLEAN counted = FALSE;

    LockState();
    /* A METHOD_NEITHER code (only ever unknown here) has no system buffer to record. */
    JournalLocked(code, (code & 3) == METHOD_NEITHER ? NULL : buffer, in);
    for (i = 0; i < KBSIM_COUNTED_CODES; ++i) {
        if (kFilterCodes[i] == code) {
            g_sim.counters.requests[i]++;
            counted = TRUE;
        }
    }
    if (!counted) g_sim.counters.unknownRequests++;
    status = ForcedFailureLocked(code);
    UnlockState();

    if (NT_SUCCESS(status)) {
        if ((in || out) && !buffer) status = STATUS_INVALID_PARAMETER;
        else status = FilterRequest(irp, stack->FileObject, code, buffer, in, out,
                                    &irp->IoStatus.Information);
    }
    if (!NT_SUCCESS(status)) {
        irp->IoStatus.Information = 0;
        LockState();
        g_sim.counters.requestsFailed++;
        UnlockState();
    }
    return status;
}

/* ---- the test device's requests ---------------------------------------------------------------- */

static NTSTATUS ReadJournal(UCHAR* buffer, ULONG in, ULONG out, ULONG_PTR* information)
{
    KBSIM_JOURNAL_HEADER* header = (KBSIM_JOURNAL_HEADER*)buffer;
    JOURNAL_ENTRY* e;
    ULONG index, start, used = sizeof(KBSIM_JOURNAL_HEADER);
    if (in != 4 || out < sizeof(KBSIM_JOURNAL_HEADER)) return STATUS_INVALID_PARAMETER;
    start = *(ULONG*)buffer;
    LockState();
    header->total = g_sim.journalTotal;
    header->first = g_sim.journalTotal - g_sim.journalEntries;
    header->returned = 0;
    index = header->first;
    for (e = g_sim.journalFirst; e; e = e->next, ++index) {
        ULONG size = sizeof(KBSIM_JOURNAL_RECORD) + ((e->stored + 3) & ~3u);
        KBSIM_JOURNAL_RECORD* record;
        if (index < start) continue;
        if (size > out - used) break;
        record = (KBSIM_JOURNAL_RECORD*)(buffer + used);
        record->code = e->code;
        record->length = e->length;
        record->stored = e->stored;
        RtlZeroMemory(record + 1, size - sizeof(*record));
        if (e->stored) RtlCopyMemory(record + 1, e->bytes, e->stored);
        used += size;
        header->returned++;
    }
    UnlockState();
    *information = used;
    return STATUS_SUCCESS;
}

static NTSTATUS SimControl(PIRP irp, PIO_STACK_LOCATION stack)
{
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG in = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG out = stack->Parameters.DeviceIoControl.OutputBufferLength;
    UCHAR* buffer = (UCHAR*)irp->AssociatedIrp.SystemBuffer;
    ULONG_PTR* information = &irp->IoStatus.Information;
    NTSTATUS status;

    if ((in || out) && !buffer) return STATUS_INVALID_PARAMETER;
    switch (code) {
    case KBSIM_IOCTL_INJECT:
        if (in == 0 || in % 4 || in / 4 > KBF_EVENT_QUEUE_MAX || out != 0)
            return STATUS_INVALID_PARAMETER;
        return Inject((const ULONG*)buffer, in / 4);

    case KBSIM_IOCTL_JOURNAL:
        return ReadJournal(buffer, in, out, information);

    case KBSIM_IOCTL_RESET:
        if (in != 0 || out != 0) return STATUS_INVALID_PARAMETER;
        LockState();
        ClearJournalLocked();
        RtlZeroMemory(g_sim.rules, sizeof(g_sim.rules));
        ResetCountersLocked();
        UnlockState();
        return STATUS_SUCCESS;

    case KBSIM_IOCTL_FAIL:
        if (in != sizeof(KBSIM_FAIL_RULE)) return STATUS_INVALID_PARAMETER;
        LockState();
        status = AddFailRuleLocked((const KBSIM_FAIL_RULE*)buffer);
        UnlockState();
        return status;

    case KBSIM_IOCTL_STATE: {
        KBSIM_STATE* state = (KBSIM_STATE*)buffer;
        if (out < sizeof(KBSIM_STATE)) return STATUS_BUFFER_TOO_SMALL;
        LockState();
        *state = g_sim.counters;
        state->hooked = g_sim.hook.owner != NULL;
        state->hookProcessId = g_sim.hook.processId;
        state->underWine = g_sim.underWine;
        state->pendingEvents = g_sim.queueCount;
        state->journalEntries = g_sim.journalEntries;
        UnlockState();
        *information = sizeof(KBSIM_STATE);
        return STATUS_SUCCESS;
    }

    case KBSIM_IOCTL_TABLES: {
        ULONG profile;
        if (in != 4 || out < sizeof(KBSIM_TABLES)) return STATUS_INVALID_PARAMETER;
        profile = *(ULONG*)buffer;
        if (profile >= KBF_PROFILE_NUMBERS) return STATUS_INVALID_PARAMETER;
        LockState();
        if (g_sim.tables[profile]) RtlCopyMemory(buffer, g_sim.tables[profile], sizeof(KBSIM_TABLES));
        else RtlZeroMemory(buffer, sizeof(KBSIM_TABLES));
        UnlockState();
        *information = sizeof(KBSIM_TABLES);
        return STATUS_SUCCESS;
    }

    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

/* ---- dispatch ---------------------------------------------------------------------------------- */

static NTSTATUS Complete(PIRP irp, NTSTATUS status)
{
    irp->IoStatus.Status = status;
    if (!NT_SUCCESS(status)) irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI DispatchCreateClose(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    irp->IoStatus.Information = 0;
    if (device == g_sim.filterDevice) {
        switch (stack->MajorFunction) {
        case IRP_MJ_CREATE:
            LockState();
            g_sim.counters.openHandles++;
            UnlockState();
            break;
        case IRP_MJ_CLEANUP:
            UnhookIfOwner(stack->FileObject);
            break;
        case IRP_MJ_CLOSE:
            /* Wine sends no IRP_MJ_CLEANUP: the hook of a closed handle ends here too. */
            UnhookIfOwner(stack->FileObject);
            LockState();
            if (g_sim.counters.openHandles) g_sim.counters.openHandles--;
            UnlockState();
            break;
        default:
            break;
        }
    }
    return Complete(irp, STATUS_SUCCESS);
}

static NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    irp->IoStatus.Information = 0;
    if (device == g_sim.filterDevice) return Complete(irp, FilterControl(irp, stack));
    return Complete(irp, SimControl(irp, stack));
}

/* ---- load and unload --------------------------------------------------------------------------- */

static NTSTATUS CreateControlDevice(PDRIVER_OBJECT driver, PCWSTR deviceName, PCWSTR linkName,
                                    PDEVICE_OBJECT* device)
{
    UNICODE_STRING name;
    UNICODE_STRING link;
    NTSTATUS status;
    RtlInitUnicodeString(&name, deviceName);
    RtlInitUnicodeString(&link, linkName);
    status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, device);
    if (!NT_SUCCESS(status)) return status;
    (*device)->Flags |= DO_BUFFERED_IO;
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        /* A link left behind by a crashed host points nowhere: replace it once. */
        IoDeleteSymbolicLink(&link);
        status = IoCreateSymbolicLink(&link, &name);
    }
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(*device);
        *device = NULL;
        return status;
    }
    (*device)->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

static void DeleteControlDevice(PDEVICE_OBJECT* device, PCWSTR linkName)
{
    UNICODE_STRING link;
    if (!*device) return;
    RtlInitUnicodeString(&link, linkName);
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(*device);
    *device = NULL;
}

static void NTAPI DriverUnload(PDRIVER_OBJECT driver)
{
    HOOK old;
    ULONG i;
    (void)driver;
    DeleteControlDevice(&g_sim.simDevice, KBSIM_LINK_NAME);
    DeleteControlDevice(&g_sim.filterDevice, KBF_LINK_NAME);
    LockState();
    old = DetachHookLocked();
    ClearJournalLocked();
    for (i = 0; i < KBF_PROFILE_NUMBERS; ++i) {
        Free(g_sim.tables[i]);
        g_sim.tables[i] = NULL;
    }
    UnlockState();
    ReleaseHookReferences(&old);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    UNICODE_STRING wineMarker;
    NTSTATUS status;
    (void)registryPath;

    RtlZeroMemory(&g_sim, sizeof(g_sim));
    ExInitializeFastMutex(&g_sim.lock);
    g_sim.counters.driverProfile = NO_PROFILE;
    g_sim.counters.currentProfile = NO_PROFILE;
    RtlInitUnicodeString(&wineMarker, L"wine_ntoskrnl_main_loop");
    g_sim.underWine = MmGetSystemRoutineAddress(&wineMarker) != NULL;

    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchCreateClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = DriverUnload;

    status = CreateControlDevice(driver, KBF_DEVICE_NAME, KBF_LINK_NAME, &g_sim.filterDevice);
    if (!NT_SUCCESS(status)) return status;
    status = CreateControlDevice(driver, KBSIM_DEVICE_NAME, KBSIM_LINK_NAME, &g_sim.simDevice);
    if (!NT_SUCCESS(status)) {
        DeleteControlDevice(&g_sim.filterDevice, KBF_LINK_NAME);
        return status;
    }
    return STATUS_SUCCESS;
}
