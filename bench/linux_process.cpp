#include "bench/linux_process.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const size_t PageSize = 4096;

// A /proc file read whole (they report no size, so it is read to the end);
// the text is cut at the capacity.
bool ReadProcFile(const char* path, std::vector<char>* text, size_t capacity = 65536)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    text->assign(capacity + 1, '\0');
    DWORD total = 0, got = 0;
    while (total < capacity && ReadFile(file, text->data() + total, static_cast<DWORD>(capacity - total), &got, NULL)
           && got > 0) {
        total += got;
    }
    CloseHandle(file);
    text->resize(total);
    text->push_back('\0');
    return total > 0;
}

// The number after "<name>:" in a status file; 0 when absent.
unsigned long long StatusValue(const std::vector<char>& status, const char* name)
{
    const char* line = std::strstr(status.data(), name);
    return line != NULL ? std::strtoull(line + std::strlen(name) + 1, NULL, 10) : 0;
}

// Field `number` (counted from 1, as in proc(5)) of a stat file.  The second
// field, the command name, may hold blanks and parentheses: fields after it
// are counted from its closing parenthesis.
unsigned long long StatField(const std::vector<char>& stat, int number)
{
    const char* field = std::strrchr(stat.data(), ')');
    if (field == NULL || number < 3) {
        return 0;
    }
    for (int i = 3; i <= number; ++i) {
        field = std::strchr(field, ' ');
        if (field == NULL) {
            return 0;
        }
        ++field;
    }
    return std::strtoull(field, NULL, 10);
}

bool HasEnvironmentEntry(const std::vector<char>& environment, const char* entry)
{
    for (size_t i = 0; i + 1 < environment.size(); i += std::strlen(environment.data() + i) + 1) {
        if (std::strcmp(environment.data() + i, entry) == 0) {
            return true;
        }
    }
    return false;
}

// Wine pads the command line it shows with blanks.
bool CommandLineIs(std::vector<char> commandLine, const char* imagePath)
{
    size_t length = std::strlen(commandLine.data());
    while (length > 0 && commandLine[length - 1] == ' ') {
        commandLine[--length] = '\0';
    }
    return lstrcmpiA(commandLine.data(), imagePath) == 0;
}

// Anonymous resident (or swapped) pages among those from `address` on, from
// the process's page map: bit 63 present, bit 62 swapped, bit 61 a page of a
// file or of shared memory.
size_t AnonymousPages(HANDLE pagemap, ULONG_PTR address, size_t pages)
{
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(address / PageSize * 8);
    if (!SetFilePointerEx(pagemap, offset, NULL, FILE_BEGIN)) {
        return 0;
    }
    const unsigned long long present = 1ULL << 63, swapped = 1ULL << 62, filePage = 1ULL << 61;
    static unsigned long long entries[4096];
    size_t anonymous = 0;
    while (pages > 0) {
        size_t batch = pages < 4096 ? pages : 4096;
        DWORD got = 0;
        if (!ReadFile(pagemap, entries, static_cast<DWORD>(batch * 8), &got, NULL) || got != batch * 8) {
            break;
        }
        for (size_t i = 0; i < batch; ++i) {
            if ((entries[i] & swapped) != 0 || ((entries[i] & present) != 0 && (entries[i] & filePage) == 0)) {
                ++anonymous;
            }
        }
        pages -= batch;
    }
    return anonymous;
}

} // namespace

int FindLinuxProcess(const char* imagePath)
{
    char prefix[MAX_PATH + 16] = "WINEPREFIX=";
    DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix + 11, MAX_PATH);
    bool checkPrefix = length > 0 && length < MAX_PATH;

    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return 0;
    }
    int newest = 0;
    unsigned long long newestStart = 0;
    std::vector<char> text;
    do {
        int pid = std::atoi(entry.cFileName);
        char path[64];
        std::snprintf(path, sizeof path, "Z:\\proc\\%d\\cmdline", pid);
        if (pid <= 0 || !ReadProcFile(path, &text) || !CommandLineIs(text, imagePath)) {
            continue;
        }
        std::snprintf(path, sizeof path, "Z:\\proc\\%d\\environ", pid);
        if (checkPrefix && (!ReadProcFile(path, &text, 1 << 20) || !HasEnvironmentEntry(text, prefix))) {
            continue;
        }
        std::snprintf(path, sizeof path, "Z:\\proc\\%d\\stat", pid);
        unsigned long long start = ReadProcFile(path, &text) ? StatField(text, 22) : 0;
        if (newest == 0 || start > newestStart) {
            newest = pid;
            newestStart = start;
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return newest;
}

bool ReadLinuxCounters(int pid, LinuxCounters* counters)
{
    std::memset(counters, 0, sizeof *counters);
    std::vector<char> text;
    char path[96];
    std::snprintf(path, sizeof path, "Z:\\proc\\%d\\task\\*", pid);
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA(path, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        int tid = std::atoi(entry.cFileName);
        std::snprintf(path, sizeof path, "Z:\\proc\\%d\\task\\%d\\status", pid, tid);
        if (tid > 0 && ReadProcFile(path, &text)) {
            counters->switches += StatusValue(text, "voluntary_ctxt_switches")
                                + StatusValue(text, "nonvoluntary_ctxt_switches");
            counters->threads++;
        }
        std::snprintf(path, sizeof path, "Z:\\proc\\%d\\task\\%d\\schedstat", pid, tid);
        if (tid > 0 && ReadProcFile(path, &text)) {
            counters->cpuNanoseconds += std::strtoull(text.data(), NULL, 10);
        }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return counters->threads > 0;
}

bool ReadMemoryKinds(HANDLE process, int pid, MemoryKinds* kinds)
{
    std::memset(kinds, 0, sizeof *kinds);
    std::vector<char> status;
    char path[64];
    std::snprintf(path, sizeof path, "Z:\\proc\\%d\\status", pid);
    if (!ReadProcFile(path, &status)) {
        return false;
    }
    kinds->total = static_cast<double>(StatusValue(status, "RssAnon") + StatusValue(status, "VmSwap")) * 1024.0;

    HMODULE program = NULL;
    DWORD needed = 0;
    if (!EnumProcessModules(process, &program, sizeof program, &needed)) {
        return false;
    }
    std::snprintf(path, sizeof path, "Z:\\proc\\%d\\pagemap", pid);
    HANDLE pagemap = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (pagemap == INVALID_HANDLE_VALUE) {
        return false;
    }

    // Every committed region; a stack is the allocation that holds a guard
    // page.
    std::vector<MEMORY_BASIC_INFORMATION> regions;
    std::vector<void*> stacks;
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    ULONG_PTR address = reinterpret_cast<ULONG_PTR>(system.lpMinimumApplicationAddress);
    ULONG_PTR end = reinterpret_cast<ULONG_PTR>(system.lpMaximumApplicationAddress);
    MEMORY_BASIC_INFORMATION region;
    while (address < end && VirtualQueryEx(process, reinterpret_cast<void*>(address), &region, sizeof region) != 0) {
        if (region.State == MEM_COMMIT) {
            regions.push_back(region);
            if ((region.Protect & PAGE_GUARD) != 0) {
                stacks.push_back(region.AllocationBase);
            }
        }
        ULONG_PTR next = reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize;
        if (next <= address) {
            break;
        }
        address = next;
    }

    double windowsSide = 0;
    for (const MEMORY_BASIC_INFORMATION& committed : regions) {
        double bytes = static_cast<double>(AnonymousPages(pagemap, reinterpret_cast<ULONG_PTR>(committed.BaseAddress),
                                                          committed.RegionSize / PageSize) * PageSize);
        windowsSide += bytes;
        if (committed.Type == MEM_IMAGE) {
            (committed.AllocationBase == program ? kinds->programImage : kinds->dllImages) += bytes;
        } else if (std::find(stacks.begin(), stacks.end(), committed.AllocationBase) != stacks.end()) {
            kinds->stacks += bytes;
        } else {
            kinds->otherPrivate += bytes;
        }
    }
    CloseHandle(pagemap);
    kinds->linuxSide = kinds->total - windowsSide;
    return true;
}
