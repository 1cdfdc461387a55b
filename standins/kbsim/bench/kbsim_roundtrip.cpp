// Prints how long the stand-in takes for the paths the agent depends on: one event word from
// injection through the semaphore to READ_EVENT, and one plain control request. Needs the driver
// started (bench/run.sh does that).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "handles.h"
#include "kbsim_protocol.h"

namespace {

double Micros(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return double(to.QuadPart - from.QuadPart) * 1e6 / double(frequency.QuadPart);
}

void Print(const char* what, std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    double sum = 0;
    for (double s : samples) sum += s;
    std::printf("%-28s n=%zu mean=%.1f us median=%.1f us p99=%.1f us max=%.1f us\n", what, samples.size(),
                sum / samples.size(), samples[samples.size() / 2], samples[samples.size() * 99 / 100],
                samples.back());
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    qelt::UniqueHandle filter(CreateFileW(KBF_USER_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    qelt::UniqueHandle sim(CreateFileW(KBSIM_USER_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                       nullptr));
    if (!filter || !sim) {
        std::fprintf(stderr, "kbsim_roundtrip: the driver is not started (error %lu)\n", GetLastError());
        return 1;
    }
    qelt::UniqueKernelObject semaphore(CreateSemaphoreW(nullptr, 0, 100, nullptr));
    DWORD handleValue = DWORD(reinterpret_cast<ULONG_PTR>(semaphore.Get())), n = 0;
    if (!DeviceIoControl(filter.Get(), KBF_IOCTL_HOOK, &handleValue, 4, nullptr, 0, &n, nullptr)) {
        std::fprintf(stderr, "kbsim_roundtrip: hook failed, error %lu\n", GetLastError());
        return 1;
    }
    LARGE_INTEGER frequency, t0, t1, t2;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> roundTrips, requests;
    for (int i = 0; i < rounds; ++i) {
        DWORD word = 0xE900, read = 0;
        QueryPerformanceCounter(&t0);
        if (!DeviceIoControl(sim.Get(), KBSIM_IOCTL_INJECT, &word, 4, nullptr, 0, &n, nullptr) ||
            WaitForSingleObject(semaphore.Get(), 5000) != WAIT_OBJECT_0 ||
            !DeviceIoControl(filter.Get(), KBF_IOCTL_READ_EVENT, &read, 4, &read, 4, &n, nullptr) || read != word) {
            std::fprintf(stderr, "kbsim_roundtrip: round %d failed, error %lu\n", i, GetLastError());
            return 1;
        }
        QueryPerformanceCounter(&t1);
        unsigned char profile = 1;
        DeviceIoControl(filter.Get(), KBF_IOCTL_SET_PROFILEID, &profile, 1, nullptr, 0, &n, nullptr);
        QueryPerformanceCounter(&t2);
        roundTrips.push_back(Micros(t0, t1, frequency));
        requests.push_back(Micros(t1, t2, frequency));
    }
    DeviceIoControl(filter.Get(), KBF_IOCTL_UNHOOK, nullptr, 0, nullptr, 0, &n, nullptr);
    Print("inject->signal->read", roundTrips);
    Print("SET_PROFILEID request", requests);
    return 0;
}
