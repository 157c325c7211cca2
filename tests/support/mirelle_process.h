// Driving the real mirelle.exe from a test program: starting it with a show
// command, finding its windows, reading its controls and message boxes, and
// seeding its settings in the registry it reads.
#ifndef MIRELLE_TESTS_MIRELLE_PROCESS_H
#define MIRELLE_TESTS_MIRELLE_PROCESS_H

#include <windows.h>

#include <string>

// The settings key of the program, under HKEY_CURRENT_USER.
extern const char TestSettingsKey[];

// Where the program under test lives: set from the command line with
// --mirelle=<path> (a Unix path is turned into Wine's Z: form).
void SetMirellePath(const char* path);
const char* MirellePath();

// Picks the --mirelle= argument out of argv (call before InitGoogleTest).
void TakeMirellePathArgument(int argc, char** argv);

// Finds "<name>=<path>" in argv and stores the path in Windows form.
bool TakePathArgument(int argc, char** argv, const char* name, char* out, int capacity);

// A Unix path becomes Wine's Z: form; a Windows path is copied as it is.
void WindowsPathOf(const char* path, char* out, int capacity);

struct MirelleProcess {
    PROCESS_INFORMATION info;
    HWND mainWindow;
};

// Starts the program with the given show command (STARTF_USESHOWWINDOW), or
// the system's default when showCommand is negative; waits until it is idle
// and finds its main window (which may be hidden).  The path defaults to
// MirellePath().
bool StartMirelle(MirelleProcess* process, int showCommand = -1, const char* path = NULL);

// Creates the program's process as StartMirelle does, but suspended: the
// test releases it (ResumeThread on info.hThread) when it wants it to run.
bool CreateMirelleSuspended(MirelleProcess* process, int showCommand = -1, const char* path = NULL);

// StartMirelle with the display at `dpi` dots per inch for the program:
// LogPixels under HKCU\Control Panel\Desktop is set for as long as the
// program takes to read it (its start-up, until its main window exists) and
// then put back as it was, so programs started later see the usual scale.
// Wine then scales the program as a system-aware Windows does.
bool StartMirelleAtDpi(MirelleProcess* process, int dpi, int showCommand = -1);

// Waits for the process to end; returns its exit code, or STILL_ACTIVE when
// it did not end in time.
DWORD WaitForExit(MirelleProcess* process, DWORD milliseconds);

// Starts the program once more, as a user would while it runs, and waits up
// to `milliseconds` for that start to end; returns its exit code.
DWORD RunSecondStart(int showCommand, DWORD milliseconds);

// Ends the program the way the user would (Exit) if it still runs, then
// kills it if that did not work; closes the handles.
void StopMirelle(MirelleProcess* process);

// The top-level "#32770" window titled `title` (any title when null) that
// belongs to the process, or null; polled for up to `milliseconds`.  A dialog exists before its
// WM_INITDIALOG has run and is shown only afterwards, so by default only a
// visible one counts.
HWND FindProcessDialog(DWORD processId, const char* title, DWORD milliseconds, bool mustBeVisible = true);

// The text of a window or of a dialog's control (cross-process WM_GETTEXT).
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);

// The text of a message box (its static with id 0xFFFF).
std::string MessageBoxText(HWND box);

// Presses a button of another process's dialog (BM_CLICK, as a mouse click).
void ClickButton(HWND dialog, int id);

// Registry: remove the whole settings key (and its vendor parent when empty),
// write values, read them back.
void RemoveSettingsKey();
bool WriteSettingsValue(const char* name, DWORD type, const void* data, DWORD size);

// Makes every save of the program fail, the way a registry that refuses the
// key would: the vendor key is made volatile, and a volatile key cannot hold
// the program's key, so creating it fails with 1021
// (ERROR_CHILD_MUST_BE_VOLATILE).  RemoveSettingsKey undoes it.
bool MakeSettingsUnsavable();

// The system's text for an error code, as the error box shows it.
std::string SystemText(DWORD code);
bool ReadSettingsValue(const char* name, DWORD* type, BYTE* data, DWORD* size);

// The stored VK value as decimal bytes ("170,0,171,0,172,0"), prefixed with
// "binary:" or "other:" when the type is asked for; "(none)" when absent.
std::string StoredKeysText(bool withType = false);

#endif
