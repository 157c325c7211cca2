// Keys from the X server, as a physical keyboard delivers them: xdotool
// (XTEST) run from the test program.  Unlike SendInput, such keys also reach
// raw input.  They reach Wine only while one of its windows has the X input
// focus, so tests using this run on Xvfb with a window of theirs in front.
#ifndef MIRELLE_TESTS_X_INPUT_H
#define MIRELLE_TESTS_X_INPUT_H

#include <windows.h>

// Runs `xdotool <arguments>` (for example "key --delay 0 r") and pumps this
// thread's messages until it has ended, so that hooks and raw input of this
// thread see the keys.  False when xdotool could not be run or failed.
bool RunXdotool(const char* arguments);

// The same in two steps, for a caller that pumps its own way meanwhile.
struct XdotoolRun {
    char doneFile[160];  // where the shell leaves xdotool's exit status
};
bool StartXdotool(const char* arguments, XdotoolRun* run);
// Whether xdotool has ended; when it has, *succeeded says how.
bool XdotoolEnded(XdotoolRun* run, bool* succeeded);

#endif
