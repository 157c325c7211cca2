// Resource ids of Mirelle.  The numbers are fixed: stored settings, tests and
// the templates in mirelle.rc all rely on them.
#ifndef MIRELLE_RESOURCE_H
#define MIRELLE_RESOURCE_H

// Dialogs
#define IDD_MAIN                101
#define IDD_SET_KEYS            102
#define IDD_ABOUT               105

// Icons and bitmaps
#define IDI_MIRELLE             107
#define IDB_EMBLEM              139

// Controls of the main window (IDD_MAIN); IDOK is its Exit button.
#define IDC_MAIN_SET_KEYS       1004
#define IDC_MAIN_STATUS         1005
#define IDC_MAIN_ABOUT          1006
#define IDC_MAIN_TRAY_MINIMIZE  1007

// Controls of the Set Keys dialog (IDD_SET_KEYS); one capture field per action.
#define IDC_SETKEYS_MUTE        1001
#define IDC_SETKEYS_LOWER       1002
#define IDC_SETKEYS_RAISE       1003

// Controls of the About dialog (IDD_ABOUT)
#define IDC_ABOUT_CONTACT       1007
#define IDC_ABOUT_VERSION       1008
#define IDC_ABOUT_COPYRIGHT     1009
#define IDC_ABOUT_AUTHOR        1010
#define IDC_ABOUT_EMBLEM        1011

// The usual id of statics that nobody addresses
#define IDC_STATIC_TEXT         (-1)

// Strings
#define IDS_PLAYER_CLASS        1     // the player's main window class
#define IDS_KEY_NAME_FIRST      2     // name of virtual-key code vk is IDS_KEY_NAME_FIRST + vk
#define IDS_SHIFT_PREFIX        18    // the name of VK_SHIFT, reused as the Shift+ prefix
#define IDS_CONTROL_PREFIX      19    // the name of VK_CONTROL, reused as the Control+ prefix
#define IDS_KEY_NAME_LAST       257
#define IDS_CONFIRM_KEY         258
#define IDS_SET_KEYS_CAPTION    259
#define IDS_KIND_NAME_FIRST     260   // name of KeyKind k is IDS_KIND_NAME_FIRST + k
#define IDS_KIND_NAME_LAST      268
#define IDS_SAVE_KEYS_ERROR     269
#define IDS_STATUS_FORMAT       270
#define IDS_HOOK_ERROR          271
#define IDS_ERROR_CAPTION       272
#define IDS_CONTACT_URL         273
#define IDS_CONTACT_ADDRESS     274
#define IDS_SAVE_TRAY_ERROR     275
#define IDS_SET_KEYS_PROMPT     276   // an armed capture field's text until a key is pressed

#endif
