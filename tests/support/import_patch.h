// Redirects one of this program's own imports to another function, at run
// time, by rewriting the program's import address table.  Code linked
// statically into the program calls through that table, so a test can watch
// or steer what the code hands to a system function without the code
// knowing: the product build stays exactly as it is.
#ifndef MIRELLE_TESTS_IMPORT_PATCH_H
#define MIRELLE_TESTS_IMPORT_PATCH_H

// Points the entry for dll!function (names compared without case for the
// DLL) at replacement.  Returns what the entry held before, normally the real
// function, or nullptr when the program does not import that function.
void* PatchImport(const char* dll, const char* function, void* replacement);

#endif
