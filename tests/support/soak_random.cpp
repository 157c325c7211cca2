#include "tests/support/soak_random.h"

#include <cstdlib>

unsigned ChooseSeed()
{
    const char* text = std::getenv("MIRELLE_SOAK_SEED");
    if (text != NULL && text[0] != '\0') {
        return static_cast<unsigned>(std::strtoul(text, NULL, 0));
    }
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<unsigned>(counter.QuadPart ^ (counter.QuadPart >> 32)) ^ GetTickCount()
        ^ (GetCurrentProcessId() << 16);
}
