// Ids of the dialogs in hyperlink_test.rc, shared by the script and the test.
#ifndef MIRELLE_TESTS_HYPERLINK_TEST_IDS_H
#define MIRELLE_TESTS_HYPERLINK_TEST_IDS_H

// Laid out like the About box, with the dialog's own font.
#define IDD_TEST_LINKS          200
// The same without a font: every control draws in the system font.
#define IDD_TEST_LINKS_NO_FONT  201

// A static made for a link, with SS_NOTIFY in its template.
#define IDC_TEST_LINK           300
// A second link whose template lacks SS_NOTIFY.
#define IDC_TEST_SECOND_LINK    301
// An ordinary static that stays one.
#define IDC_TEST_PLAIN          302
// An id no control has.
#define IDC_TEST_MISSING        399

#endif
