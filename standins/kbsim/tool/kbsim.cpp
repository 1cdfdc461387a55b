// kbsim: manages the keyboard filter stand-in in the current Wine prefix (or Windows machine)
// and drives its test device. See standins/kbsim/README.md for the commands.
#include <windows.h>
#include <winsvc.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "handles.h"
#include "kbsim_protocol.h"
#include "table_decoder.h"

namespace {

constexpr wchar_t kServiceName[] = L"mvkbfltr";
constexpr wchar_t kDriverFile[] = L"mvkbfltr.sys";
constexpr DWORD kServiceWaitMs = 10000;

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { CloseServiceHandle(h); }
};
using UniqueService = qelt::UniqueResource<ServiceHandleTraits>;

int Fail(const char* what, DWORD error)
{
    std::fprintf(stderr, "kbsim: %s failed, error %lu\n", what, error);
    return 1;
}

std::wstring ModuleFolder()
{
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

std::wstring InstalledDriverPath()
{
    wchar_t system[MAX_PATH];
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system, n) + L"\\drivers\\" + kDriverFile;
}

UniqueService OpenManager()
{
    return UniqueService(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

DWORD ServiceState(SC_HANDLE service)
{
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service, &status)) return 0;
    return status.dwCurrentState;
}

bool WaitForState(SC_HANDLE service, DWORD wanted)
{
    const ULONGLONG deadline = GetTickCount64() + kServiceWaitMs;
    while (ServiceState(service) != wanted) {
        if (GetTickCount64() > deadline) return false;
        Sleep(10);
    }
    return true;
}

qelt::UniqueHandle OpenDevice(const wchar_t* path)
{
    return qelt::UniqueHandle(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
}

// ---- service management ----------------------------------------------------------------------

int Install()
{
    const std::wstring source = ModuleFolder() + kDriverFile;
    const std::wstring target = InstalledDriverPath();
    UniqueService manager = OpenManager();
    if (!manager) return Fail("OpenSCManager", GetLastError());
    UniqueService service(OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    const bool running = service && ServiceState(service.Get()) != SERVICE_STOPPED;
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        const DWORD error = GetLastError();
        if (!running) return Fail("copying the driver to the drivers folder", error);
        std::fprintf(stderr, "kbsim: driver is running; its file was not replaced (error %lu)\n", error);
    }
    if (service) {
        if (!ChangeServiceConfigW(service.Get(), SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                  SERVICE_ERROR_NORMAL, target.c_str(), nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr))
            return Fail("ChangeServiceConfig", GetLastError());
    } else {
        service.Reset(CreateServiceW(manager.Get(), kServiceName, L"Keyboard filter stand-in", SERVICE_ALL_ACCESS,
                                     SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                                     target.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
        if (!service) return Fail("CreateService", GetLastError());
    }
    std::printf("installed\n");
    return 0;
}

int Start()
{
    UniqueService manager = OpenManager();
    if (!manager) return Fail("OpenSCManager", GetLastError());
    UniqueService service(OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    if (!service) return Fail("OpenService (run kbsim install first)", GetLastError());
    if (!StartServiceW(service.Get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return Fail("StartService", GetLastError());
    if (!WaitForState(service.Get(), SERVICE_RUNNING)) return Fail("waiting for the driver to run", WAIT_TIMEOUT);
    // The devices exist once DriverEntry has returned; wait for them rather than for a fixed time.
    const ULONGLONG deadline = GetTickCount64() + kServiceWaitMs;
    while (!OpenDevice(KBSIM_USER_PATH)) {
        if (GetTickCount64() > deadline) return Fail("opening \\\\.\\MVKBSIM after start", GetLastError());
        Sleep(10);
    }
    std::printf("started\n");
    return 0;
}

int Stop()
{
    UniqueService manager = OpenManager();
    if (!manager) return Fail("OpenSCManager", GetLastError());
    UniqueService service(OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    if (!service) {
        std::printf("not installed\n");
        return 0;
    }
    SERVICE_STATUS status{};
    if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status) &&
        GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
        return Fail("ControlService(stop)", GetLastError());
    if (!WaitForState(service.Get(), SERVICE_STOPPED)) return Fail("waiting for the driver to stop", WAIT_TIMEOUT);
    std::printf("stopped\n");
    return 0;
}

int Uninstall()
{
    if (Stop() != 0) return 1;
    UniqueService manager = OpenManager();
    if (!manager) return Fail("OpenSCManager", GetLastError());
    UniqueService service(OpenServiceW(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    if (service && !DeleteService(service.Get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        return Fail("DeleteService", GetLastError());
    if (!DeleteFileW(InstalledDriverPath().c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return Fail("deleting the driver file", GetLastError());
    std::printf("uninstalled\n");
    return 0;
}

int Usage();

// ---- test device ------------------------------------------------------------------------------

bool Control(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned)
{
    DWORD dummy = 0;
    return DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, returned ? returned : &dummy,
                           nullptr) != FALSE;
}

qelt::UniqueHandle OpenSimDevice()
{
    qelt::UniqueHandle device = OpenDevice(KBSIM_USER_PATH);
    if (!device)
        std::fprintf(stderr, "kbsim: cannot open \\\\.\\MVKBSIM (driver not started?), error %lu\n", GetLastError());
    return device;
}

bool ParseHex(const wchar_t* text, unsigned long maxValue, unsigned long* value)
{
    if (text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) text += 2;
    if (!*text) return false;
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long v = std::wcstoul(text, &end, 16);
    if (*end || errno || v > maxValue) return false;
    *value = v;
    return true;
}

bool ParseDecimal(const wchar_t* text, unsigned long* value)
{
    if (!*text) return false;
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long v = std::wcstoul(text, &end, 10);
    if (*end || errno) return false;
    *value = v;
    return true;
}

int Inject(int argc, wchar_t** argv)
{
    std::vector<DWORD> words;
    for (int i = 2; i < argc; ++i) {
        unsigned long word = 0;
        if (!ParseHex(argv[i], 0xFFFFFFFFul, &word)) {
            std::fprintf(stderr, "kbsim: not a hexadecimal event word: %ls\n", argv[i]);
            return Usage();
        }
        words.push_back(word);
    }
    if (words.empty() || words.size() > KBF_EVENT_QUEUE_MAX) {
        std::fprintf(stderr, "kbsim: inject takes 1 to %d event words\n", KBF_EVENT_QUEUE_MAX);
        return Usage();
    }
    qelt::UniqueHandle device = OpenSimDevice();
    if (!device) return 1;
    if (!Control(device.Get(), KBSIM_IOCTL_INJECT, words.data(), DWORD(words.size() * 4), nullptr, 0, nullptr)) {
        const DWORD error = GetLastError();
        if (error == ERROR_NOT_READY) std::fprintf(stderr, "kbsim: no client has hooked the device\n");
        else if (error == ERROR_NO_SYSTEM_RESOURCES)
            std::fprintf(stderr, "kbsim: the event queue or the client's semaphore is full\n");
        return Fail("inject", error);
    }
    return 0;
}

int Journal()
{
    qelt::UniqueHandle device = OpenSimDevice();
    if (!device) return 1;
    std::vector<unsigned char> buffer(KBSIM_JOURNAL_OUT_SIZE);
    DWORD next = 0;
    bool reportedDrop = false;
    for (;;) {
        DWORD returned = 0;
        std::memcpy(buffer.data(), &next, 4);
        if (!Control(device.Get(), KBSIM_IOCTL_JOURNAL, buffer.data(), 4, buffer.data(), DWORD(buffer.size()),
                     &returned) ||
            returned < sizeof(KBSIM_JOURNAL_HEADER))
            return Fail("reading the journal", GetLastError());
        KBSIM_JOURNAL_HEADER header;
        std::memcpy(&header, buffer.data(), sizeof header);
        if (header.first > next && !reportedDrop) {
            std::fprintf(stderr, "kbsim: %u oldest entries were dropped\n", unsigned(header.first - next));
            reportedDrop = true;
        }
        if (next < header.first) next = header.first;
        size_t at = sizeof header;
        for (unsigned i = 0; i < header.returned; ++i) {
            KBSIM_JOURNAL_RECORD record;
            std::memcpy(&record, buffer.data() + at, sizeof record);
            at += sizeof record;
            std::printf("%08X", record.code);
            for (unsigned b = 0; b < record.stored; ++b) std::printf(" %02X", buffer[at + b]);
            if (record.stored < record.length) std::printf(" ...(%u bytes)", record.length);
            std::printf("\n");
            at += (record.stored + 3) & ~3u;
            ++next;
        }
        if (header.returned == 0 || next >= header.total) break;
    }
    return 0;
}

int Reset()
{
    qelt::UniqueHandle device = OpenSimDevice();
    if (!device) return 1;
    if (!Control(device.Get(), KBSIM_IOCTL_RESET, nullptr, 0, nullptr, 0, nullptr)) return Fail("reset", GetLastError());
    return 0;
}

// Win32 errors a forced failure can produce, with the status that Windows and Wine turn into them.
struct ErrorMapping {
    unsigned long error;
    unsigned long status;
};
constexpr ErrorMapping kErrorMappings[] = {
    {1, 0xC0000010},    // STATUS_INVALID_DEVICE_REQUEST -> ERROR_INVALID_FUNCTION
    {5, 0xC0000022},    // STATUS_ACCESS_DENIED -> ERROR_ACCESS_DENIED
    {6, 0xC0000008},    // STATUS_INVALID_HANDLE -> ERROR_INVALID_HANDLE
    {8, 0xC0000017},    // STATUS_NO_MEMORY -> ERROR_NOT_ENOUGH_MEMORY
    {21, 0xC00000A3},   // STATUS_DEVICE_NOT_READY -> ERROR_NOT_READY
    {22, 0xC0000184},   // STATUS_INVALID_DEVICE_STATE -> ERROR_BAD_COMMAND
    {31, 0xC0000001},   // STATUS_UNSUCCESSFUL -> ERROR_GEN_FAILURE
    {50, 0xC00000BB},   // STATUS_NOT_SUPPORTED -> ERROR_NOT_SUPPORTED
    {87, 0xC000000D},   // STATUS_INVALID_PARAMETER -> ERROR_INVALID_PARAMETER
    {121, 0xC00000B5},  // STATUS_IO_TIMEOUT -> ERROR_SEM_TIMEOUT
    {122, 0xC0000023},  // STATUS_BUFFER_TOO_SMALL -> ERROR_INSUFFICIENT_BUFFER
    {170, 0x80000011},  // STATUS_DEVICE_BUSY -> ERROR_BUSY
    {995, 0xC0000120},  // STATUS_CANCELLED -> ERROR_OPERATION_ABORTED
    {1117, 0xC0000185}, // STATUS_IO_DEVICE_ERROR -> ERROR_IO_DEVICE
    {1167, 0xC000009D}, // STATUS_DEVICE_NOT_CONNECTED -> ERROR_DEVICE_NOT_CONNECTED
    {1450, 0xC000009A}, // STATUS_INSUFFICIENT_RESOURCES -> ERROR_NO_SYSTEM_RESOURCES
};

int FailCommand(int argc, wchar_t** argv)
{
    unsigned long code = 0, error = 0, count = 1;
    if (argc < 4 || argc > 5 || !ParseHex(argv[2], 0xFFFFFFFFul, &code) || !ParseDecimal(argv[3], &error) ||
        (argc == 5 && !ParseDecimal(argv[4], &count))) {
        std::fprintf(stderr, "kbsim: usage: kbsim fail CODE(hex) ERROR(decimal) [COUNT]\n");
        return 2;
    }
    KBSIM_FAIL_RULE rule{code, 0, unsigned(count)};
    if (error != 0) {
        for (const auto& m : kErrorMappings)
            if (m.error == error) rule.status = unsigned(m.status);
        if (rule.status == 0) {
            std::fprintf(stderr, "kbsim: error %lu cannot be produced; choose one of:", error);
            for (const auto& m : kErrorMappings) std::fprintf(stderr, " %lu", m.error);
            std::fprintf(stderr, " (0 clears the rule)\n");
            return 2;
        }
    }
    qelt::UniqueHandle device = OpenSimDevice();
    if (!device) return 1;
    if (!Control(device.Get(), KBSIM_IOCTL_FAIL, &rule, sizeof rule, nullptr, 0, nullptr))
        return Fail("fail", GetLastError());
    return 0;
}

const char* const kCodeNames[KBSIM_COUNTED_CODES] = {
    "HOOK", "UNHOOK", "READ_EVENT", "SET_DRIVER_PROFILEID", "SEND_INDEXTABLE", "SEND_DATA", "SEND_KEYMAPTABLE",
    "SET_PROFILEID"};

void PrintProfile(const char* label, unsigned value)
{
    if (value == 0xFFFFFFFFu) std::printf("%s none\n", label);
    else std::printf("%s %u\n", label, value);
}

bool ReadState(HANDLE device, KBSIM_STATE* s)
{
    DWORD returned = 0;
    return Control(device, KBSIM_IOCTL_STATE, nullptr, 0, s, sizeof *s, &returned) && returned == sizeof *s;
}

int State()
{
    qelt::UniqueHandle device = OpenSimDevice();
    if (!device) return 1;
    KBSIM_STATE s{};
    if (!ReadState(device.Get(), &s)) return Fail("state", GetLastError());
    std::printf("hooked %s\n", s.hooked ? "yes" : "no");
    std::printf("hook_process %u\n", s.hookProcessId);
    std::printf("signalling %s\n", s.underWine ? "wine" : "windows");
    std::printf("open_handles %u\n", s.openHandles);
    PrintProfile("driver_profile", s.driverProfile);
    PrintProfile("current_profile", s.currentProfile);
    std::printf("pending_events %u\n", s.pendingEvents);
    std::printf("events_injected %u\n", s.eventsInjected);
    std::printf("events_read %u\n", s.eventsRead);
    std::printf("signals_released %u\n", s.signalsReleased);
    std::printf("injects_refused %u\n", s.injectsRefused);
    std::printf("journal_entries %u\n", s.journalEntries);
    std::printf("journal_dropped %u\n", s.journalDropped);
    std::printf("requests_failed %u\n", s.requestsFailed);
    for (unsigned i = 0; i < KBSIM_COUNTED_CODES; ++i) std::printf("requests %s %u\n", kCodeNames[i], s.requests[i]);
    std::printf("requests unknown %u\n", s.unknownRequests);
    return 0;
}

// kbsim wait hooked|unhooked|drained [TIMEOUT_MS] and kbsim wait journal N [TIMEOUT_MS]: polls the
// driver until the condition holds, so scenarios never sleep for a fixed time.
int Wait(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    const std::wstring what = argv[2];
    unsigned long count = 0, timeout = 10000;
    int next = 3;
    if (what == L"journal") {
        if (argc < 4 || !ParseDecimal(argv[3], &count)) return 2;
        next = 4;
    } else if (what != L"hooked" && what != L"unhooked" && what != L"drained") {
        return 2;
    }
    if (argc > next + 1 || (argc == next + 1 && !ParseDecimal(argv[next], &timeout))) return 2;
    qelt::UniqueHandle device = OpenSimDevice();
    if (!device) return 1;
    const ULONGLONG deadline = GetTickCount64() + timeout;
    for (;;) {
        KBSIM_STATE s{};
        if (!ReadState(device.Get(), &s)) return Fail("state", GetLastError());
        const bool reached = what == L"hooked"     ? s.hooked != 0
                             : what == L"unhooked" ? s.hooked == 0
                             : what == L"drained"  ? s.pendingEvents == 0
                                                   : s.journalEntries + s.journalDropped >= count;
        if (reached) return 0;
        if (GetTickCount64() > deadline) {
            std::fprintf(stderr, "kbsim: timed out after %lu ms waiting for %ls\n", timeout, what.c_str());
            return 1;
        }
        Sleep(10);
    }
}

int Tables(int argc, wchar_t** argv)
{
    unsigned long only = 0xFFFFFFFFul;
    if (argc > 3 || (argc == 3 && (!ParseDecimal(argv[2], &only) || only >= KBF_PROFILE_NUMBERS))) {
        std::fprintf(stderr, "kbsim: usage: kbsim tables [PROFILE_NUMBER 0-%d]\n", KBF_PROFILE_NUMBERS - 1);
        return 2;
    }
    qelt::UniqueHandle device = OpenSimDevice();
    if (!device) return 1;
    std::vector<unsigned char> buffer(sizeof(KBSIM_TABLES));
    for (DWORD p = 0; p < KBF_PROFILE_NUMBERS; ++p) {
        if (only != 0xFFFFFFFFul && p != only) continue;
        DWORD returned = 0;
        std::memcpy(buffer.data(), &p, 4);
        if (!Control(device.Get(), KBSIM_IOCTL_TABLES, buffer.data(), 4, buffer.data(), DWORD(buffer.size()),
                     &returned) ||
            returned != sizeof(KBSIM_TABLES))
            return Fail("reading the tables", GetLastError());
        const auto* t = reinterpret_cast<const KBSIM_TABLES*>(buffer.data());
        if (!t->present && only == 0xFFFFFFFFul) continue;
        kbsim::ProfileTables tables;
        tables.hasIndex = t->present & KBSIM_HAS_INDEX;
        tables.hasData = t->present & KBSIM_HAS_DATA;
        tables.hasKeymap = t->present & KBSIM_HAS_KEYMAP;
        if (tables.hasIndex) tables.indexTable.assign(t->indexTable, t->indexTable + KBF_INDEX_TABLE_SIZE);
        if (tables.hasData) tables.dataBlock.assign(t->data, t->data + t->dataLength);
        if (tables.hasKeymap) tables.keymapTable.assign(t->keymapTable, t->keymapTable + KBF_KEYMAP_TABLE_SIZE);
        std::fputs(kbsim::DecodeProfile(p, tables).c_str(), stdout);
    }
    return 0;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: kbsim install | start | stop | uninstall\n"
                 "       kbsim inject WORD...          (hex event words, e.g. 01F3 E900 0000)\n"
                 "       kbsim journal | reset | state\n"
                 "       kbsim fail CODE ERROR [COUNT] (hex control code, decimal Win32 error, ERROR 0 clears)\n"
                 "       kbsim tables [PROFILE_NUMBER]\n"
                 "       kbsim wait hooked|unhooked|drained [TIMEOUT_MS]\n"
                 "       kbsim wait journal N [TIMEOUT_MS]  (default timeout 10000 ms)\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    // Plain "\n" line ends, so shell scripts under Wine compare lines without a trailing "\r".
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    const bool noArguments = argc == 2;
    if (command == L"install" && noArguments) return Install();
    if (command == L"start" && noArguments) return Start();
    if (command == L"stop" && noArguments) return Stop();
    if (command == L"uninstall" && noArguments) return Uninstall();
    if (command == L"inject") return Inject(argc, argv);
    if (command == L"journal" && noArguments) return Journal();
    if (command == L"reset" && noArguments) return Reset();
    if (command == L"fail") return FailCommand(argc, argv);
    if (command == L"state" && noArguments) return State();
    if (command == L"tables") return Tables(argc, argv);
    if (command == L"wait") {
        const int result = Wait(argc, argv);
        return result == 2 ? Usage() : result;
    }
    return Usage();
}
