// Plays the user of a modal dialog that runs on the test's own thread: a
// worker thread waits for the dialog, acts on it the way the user would
// (messages, answers to message boxes), and makes sure the dialog ends even
// when an expectation fails half-way.
#ifndef MIRELLE_TESTS_MODAL_USER_H
#define MIRELLE_TESTS_MODAL_USER_H

#include <windows.h>

#include <functional>
#include <string>

struct ModalRun {
    INT_PTR result;
    DWORD dialogThread;
};

// Runs DialogBoxParamA(module, templateId, owner, proc) on this thread while
// `user` runs on a worker with the dialog's handle.  Afterwards any message
// box left open is dismissed and `closeId` is posted until the dialog is gone.
ModalRun RunModalWithUser(WORD templateId, DLGPROC proc, HWND owner, const char* title, int closeId,
                          const std::function<void(HWND dialog, DWORD dialogThread)>& user);

// A top-level "#32770" window of the given thread titled `title`, other than
// `except`; polled for up to `milliseconds`.
HWND WaitForThreadDialog(DWORD threadId, const char* title, DWORD milliseconds, HWND except = NULL);

// Whether the thread shows a window titled `title` within `milliseconds`.
bool ThreadShowsDialog(DWORD threadId, const char* title, DWORD milliseconds, HWND except = NULL);

// The window with the keyboard focus on the given thread.
HWND FocusOf(DWORD threadId);

// Answers a message box by pressing one of its buttons (IDYES, IDNO, IDOK).
void AnswerBox(HWND box, int buttonId);

std::string TextOf(HWND window);

#endif
