// Resource identifiers of the program and of its runtime library; one range and prefix per kind.
#pragma once

// Manifest.
#define IDR_MANIFEST                    1

// Icons (107) and bitmaps (131-139): pane images and toolbar at 16 pixels, then at 20, 24 and 32 pixels.
#define IDI_TARROW                      107
#define IDB_PANE_IMAGES                 131
#define IDB_TOOLBAR                     132
#define IDB_ABOUT                       133
#define IDB_PANE_IMAGES_20              134
#define IDB_PANE_IMAGES_24              135
#define IDB_PANE_IMAGES_32              136
#define IDB_TOOLBAR_20                  137
#define IDB_TOOLBAR_24                  138
#define IDB_TOOLBAR_32                  139

// Menus and accelerators (109-110); the main menu and its accelerator table share a number.
#define IDR_MAIN_MENU                   109
#define IDR_MAIN_ACCELERATORS           109
#define IDR_DESTINATION_MENU            110

// Dialogs (200-299) and their controls (1000-1999).
#define IDD_ABOUT                       200
#define IDC_ABOUT_BITMAP                1000
#define IDC_ABOUT_TITLE                 1001
#define IDC_ABOUT_VERSION               1002

// Commands of menus, toolbar and accelerators (32771-32814, 33100-33103).
#define ID_HELP_ABOUT                   32771
#define ID_FILE_EXIT                    32772
#define ID_EDIT_REFRESH                 32774
#define ID_EDIT_DELETE                  32775
#define ID_FILE_OPEN                    32778
#define ID_FILE_NEW                     32779
#define ID_FILE_SAVE                    32780
#define ID_FILE_SAVE_AS                 32781
#define ID_EDIT_COPY_TO_FILE            32782
#define ID_EDIT_COPY_TO_SYSTEM          32783
#define ID_EDIT_UNDO                    32784
#define ID_EDIT_REDO                    32785
#define ID_FILE_RECENT_FIRST            32790 // recent-files entries 32790 + index
#define ID_FILE_RECENT_LAST             32799
#define ID_EDIT_SELECT_ALL              32801
#define ID_NEXT_PANE                    32802
#define ID_PREVIOUS_PANE                32803
#define ID_EDIT_RENAME                  32804
#define ID_DESTINATION_BUTTON           32805
#define ID_DESTINATION_FIRST            32806 // destination entries 32806 + position
#define ID_DESTINATION_LAST             32814
#define ID_HELP_CONTENTS                33100
#define ID_HELP_WHATS_THIS              33101
#define ID_HELP_HOME_PAGE               33103

// Program strings: names, captions and messages of panes, dialogs and renaming (3027-3042).
#define IDS_CHAIN                       3027
#define IDS_PACKAGE_FILTER              3028
#define IDS_CAPTION_PACKAGE             3029
#define IDS_CAPTION_SYSTEM              3030
#define IDS_NAME_TOO_LONG               3032
#define IDS_NAME_TOO_LONG_CAPTION       3033
#define IDS_NAME_CONFLICT               3034
#define IDS_NAME_CONFLICT_CAPTION       3035
#define IDS_UNTITLED                    3036
#define IDS_OPEN_DIALOG_TITLE           3037
#define IDS_SAVE_DIALOG_TITLE           3038
#define IDS_ABOUT_CAPTION               3039
#define IDS_ABOUT_VERSION               3040
#define IDS_FOLDER_PLUGINS              3041
#define IDS_FOLDER_CHAINS               3042

// Program strings: the command-line tool's usage, usage errors and messages (3100-3116).
#define IDS_CLI_USAGE                   3100
#define IDS_CLI_UNKNOWN_COMMAND         3101
#define IDS_CLI_WRONG_ARGUMENTS         3102
#define IDS_CLI_UNKNOWN_OPTION          3103
#define IDS_CLI_OPTION_NEEDS_VALUE      3104
#define IDS_CLI_OPTION_TAKES_NO_VALUE   3105
#define IDS_CLI_OPTIONS_CONFLICT        3106
#define IDS_CLI_OPTION_REPEATED         3107
#define IDS_CLI_DESTINATION_FORMAT      3108
#define IDS_CLI_UNKNOWN_DESTINATION     3109
#define IDS_CLI_NO_SUCH_PLUGIN          3110
#define IDS_CLI_NO_SUCH_CHAIN           3111
#define IDS_CLI_IMPORT_CONFLICTS        3112
#define IDS_CLI_USAGE_EXPORT            3113 // the usage text goes on in these, each under the string cache's limit
#define IDS_CLI_USAGE_IMPORT            3114
#define IDS_CLI_USAGE_DIFF              3115
#define IDS_CLI_USAGE_END               3116

// Program strings: the Help menu's failure messages and the home page's address (3200-3202, 3209).
#define IDS_HELP_GUIDE_FAILED           3200
#define IDS_HELP_HOME_PAGE_FAILED       3201
#define IDS_HELP_GUIDE_NOT_SHOWN        3209
#define IDS_HELP_HOME_PAGE_ADDRESS      3202

// Program strings: toolbar tooltips (32900-32908, and 33021 for the destination button).
#define IDS_TIP_NEW                     32900
#define IDS_TIP_OPEN                    32901
#define IDS_TIP_SAVE                    32902
#define IDS_TIP_UNDO                    32903
#define IDS_TIP_REDO                    32904
#define IDS_TIP_COPY_TO_FILE            32905
#define IDS_TIP_COPY_TO_SYSTEM          32906
#define IDS_TIP_DELETE                  32907
#define IDS_TIP_WHATS_THIS              32908

// Program strings: menu texts, document and editing messages, Lathmere names, edit failures (33005-33036).
#define IDS_CANT_UNDO                   33005
#define IDS_CANT_REDO                   33006
#define IDS_UNDO                        33007
#define IDS_REDO                        33008
#define IDS_UNDO_SHORTCUT               33009
#define IDS_REDO_SHORTCUT               33010
#define IDS_SAVE_AS_READ_ONLY           33012
#define IDS_SAVE_FAILED                 33013
#define IDS_SAVE_CHANGES_QUESTION       33014
#define IDS_OPEN_FILE_MISSING           33015
#define IDS_OPEN_BAD_FORMAT             33016
#define IDS_EDIT_LABEL_COPY             33017
#define IDS_EDIT_LABEL_DELETE           33018
#define IDS_OVERWRITE_ON_SYSTEM         33019
#define IDS_OVERWRITE_IN_PACKAGE        33020
#define IDS_TIP_DESTINATION             33021
#define IDS_DESTINATION_NONE            33022
#define IDS_LATHMERE_UNVERSIONED_TOOL   33023
#define IDS_LATHMERE_VERSIONED_TOOL     33024
#define IDS_LATHMERE_VERSION            33025
#define IDS_LATHMERE_TOOL_FIRST         33026 // display names of the six Lathmere tools, 33026 + row
#define IDS_LATHMERE_TOOL_GRAPHIC_EQ    33026
#define IDS_LATHMERE_TOOL_CHORUS        33027
#define IDS_LATHMERE_TOOL_TIME_STRETCH  33028
#define IDS_LATHMERE_TOOL_NOISE_GATE    33029
#define IDS_LATHMERE_TOOL_PITCH_SHIFT   33030
#define IDS_LATHMERE_TOOL_SPECTRAL_REPAIR 33031
#define IDS_LATHMERE_TOOL_LAST          33031
#define IDS_INCOMPATIBLE_UNVERSIONED    33032
#define IDS_INCOMPATIBLE_VERSIONED      33033
#define IDS_EDIT_STORE_FAILED           33034 // a copy, delete, undo or redo the store refused
#define IDS_RENAME_STORE_FAILED         33035 // a rename the store refused
#define IDS_EDIT_LEFT_ALONE             33036 // undo or redo found items changed since and left them alone

// Library strings begin here (47999 up).
#define IDS_KV_FIRST                    47999

// Library strings: result-code messages, each starting with two line breaks (48000-48702).
#define IDS_KV_ERR_UNKNOWN              48000
#define IDS_KV_ERR_INVALID_ARGUMENT     48002
#define IDS_KV_ERR_OUT_OF_MEMORY        48005
#define IDS_KV_ERR_CANCELLED            48016
#define IDS_KV_ERR_FILE_CREATE          48017
#define IDS_KV_ERR_FILE_EXISTS          48018
#define IDS_KV_ERR_FILE_OPEN            48019
#define IDS_KV_ERR_WRITE                48022
#define IDS_KV_ERR_READ                 48023
#define IDS_KV_ERR_UNSUPPORTED          48025
#define IDS_KV_ERR_RIFF_NOT_RIFF        48043
#define IDS_KV_ERR_RIFF_NOT_LIST        48044
#define IDS_KV_ERR_RIFF_ZERO_LENGTH     48045
#define IDS_KV_ERR_NEWER_VERSION        48046
#define IDS_KV_ERR_NOT_FOUND            48074
#define IDS_KV_ERR_LAST                 48702

// Library strings: contexts naming the failed operation, 48160 + context number (48160-48212).
#define IDS_KV_CTX_FIRST                48160
#define IDS_KV_CTX_GENERAL              48160
#define IDS_KV_CTX_STARTUP              48189
#define IDS_KV_CTX_LAST                 48212

// Library strings: message-dialog buttons, check box and details toggle (48383-48395).
#define IDS_KV_BUTTON_OK                48383
#define IDS_KV_BUTTON_CANCEL            48384
#define IDS_KV_BUTTON_ABORT             48385
#define IDS_KV_BUTTON_RETRY             48386
#define IDS_KV_BUTTON_IGNORE            48387
#define IDS_KV_BUTTON_YES               48388
#define IDS_KV_BUTTON_NO                48389
#define IDS_KV_BUTTON_YES_TO_ALL        48390
#define IDS_KV_BUTTON_NO_TO_ALL         48391
#define IDS_KV_BUTTON_DELETE            48392
#define IDS_KV_DETAILS_SHOW             48393
#define IDS_KV_DONT_SHOW_AGAIN          48394
#define IDS_KV_DETAILS_HIDE             48395

// Library strings: error-report pieces (48401-48403, 48600-48601).
#define IDS_KV_MESSAGE_MISSING          48401
#define IDS_KV_WARNING_PREFIX           48402
#define IDS_KV_MESSAGE_SYSTEM           48403
#define IDS_KV_DETAILS_START            48600
#define IDS_KV_DETAILS_END              48601

// Library strings: messages for the registry's and the file system's own statuses (48003-48012).
#define IDS_KV_ERR_ACCESS_DENIED        48003
#define IDS_KV_ERR_BUFFER_TOO_SMALL     48006
#define IDS_KV_ERR_INVALID_DATA         48007
#define IDS_KV_ERR_KEY_DELETED          48008
#define IDS_KV_ERR_REGISTRY             48009
#define IDS_KV_ERR_IN_USE               48010
#define IDS_KV_ERR_WINDOW_CREATE        48011
#define IDS_KV_ERR_NO_ASSOCIATION       48012
