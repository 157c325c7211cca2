// The process-wide key bindings.  Written only by LoadSettings at start-up and
// by the Set Keys dialog on OK (always all six bytes at once); read by the
// volume hook, the status line and the Set Keys dialog.
#ifndef MIRELLE_KEY_BINDING_SET_H
#define MIRELLE_KEY_BINDING_SET_H

#include "key_bindings.h"

extern KeyBindingSet KeyBindings;

#endif
