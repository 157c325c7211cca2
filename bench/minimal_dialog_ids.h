// Resource ids and the window title of the minimal dialog program, which the
// start-up benchmark times next to Mirelle.
#ifndef MIRELLE_BENCH_MINIMAL_DIALOG_IDS_H
#define MIRELLE_BENCH_MINIMAL_DIALOG_IDS_H

#define IDD_MINIMAL 101

#ifndef RC_INVOKED
const char MinimalDialogTitle[] = "Minimal Dialog";
#endif

#endif
