// The Linux side of a program that runs under Wine, read from /proc through
// Wine's Z: drive: which Linux process carries it, how often its threads were
// switched and how much CPU they used, and what its anonymous memory (the
// figure Wine reports as PagefileUsage) is made of.  On Windows none of this
// exists and every function reports failure.
#ifndef MIRELLE_BENCH_LINUX_PROCESS_H
#define MIRELLE_BENCH_LINUX_PROCESS_H

#include <windows.h>

// The newest Linux process of this Wine prefix whose command line is
// `imagePath`, the program's Windows path (Wine shows it there); 0 when there
// is none.
int FindLinuxProcess(const char* imagePath);

// Summed over every thread of the process.
struct LinuxCounters {
    unsigned long long switches;  // voluntary and involuntary context switches
    unsigned long long cpuNanoseconds;  // time on a CPU, from the scheduler
    int threads;
};

bool ReadLinuxCounters(int pid, LinuxCounters* counters);

// Resident anonymous memory, in bytes, by where it lies in the Windows view
// of the process.
struct MemoryKinds {
    double programImage;  // written pages of the program's own image
    double dllImages;     // written pages of the DLLs' images
    double stacks;        // thread stacks
    double otherPrivate;  // heaps and other private allocations
    double linuxSide;     // outside every Windows allocation: Wine's own
                          // Linux-side memory (its malloc heap, its libraries)
    double total;         // RssAnon + VmSwap, Wine's PagefileUsage
};

// `process` is a handle with PROCESS_QUERY_INFORMATION | PROCESS_VM_READ
// access to the program whose Linux process is `pid`.
bool ReadMemoryKinds(HANDLE process, int pid, MemoryKinds* kinds);

#endif
