#pragma once
// Resource and control ids of Kestrune. The game's tools and stored layouts know these
// numbers, so they never change.

// Resources
#define IDI_CLASS_ICON          101   // asked for by the window class; not in the resources
#define IDR_ACCELERATORS        103
#define IDD_OPTIONS             106
#define IDB_TITLE_PICTURE       108
#define IDI_KESTRUNE            109

// Commands of the accelerator table
#define IDM_CLOSE_LAUNCHER      1002  // Esc, Alt+X
#define IDM_NEW_OPTIONS_DIALOG  40001 // F1

// Controls of the options dialog
#define IDC_START               1     // the dialog's default button (IDOK)
#define IDC_QUIT                2     // the dialog's cancel button (IDCANCEL)
#define IDC_WEBSITE             3
#define IDC_TAB                 1001
#define IDC_GAME_MODE_GROUP     1003
#define IDC_SINGLE_PLAYER       1004
#define IDC_MULTI_PLAYER        1005
#define IDC_SOUND_ON            1006
#define IDC_SOUND_OFF           1007
#define IDC_FULL_SCREEN         1008
#define IDC_WINDOW              1009
#define IDC_DETAIL_SPEED        1010
#define IDC_DETAIL_QUALITY      1011
#define IDC_SCREEN_GROUP        1012
#define IDC_RESOLUTION_GROUP    1013
#define IDC_SOUND_SLIDER        1014
#define IDC_MUSIC_SLIDER        1015
#define IDC_SOUND_TEST          1016
#define IDC_MUSIC_TEST          1017
#define IDC_SOUND_LABEL         1018
#define IDC_MUSIC_LABEL         1019
#define IDC_SOUND_GROUP         1020
#define IDC_DETAIL_GROUP        1021
#define IDC_RES_32BIT           1022
#define IDC_RES_16BIT           1023
#define IDC_MIPMAP_GROUP        1024
#define IDC_MIPMAP_ON           1025
#define IDC_MIPMAP_OFF          1026
#define IDC_PARTICLES_GROUP     1027
#define IDC_PARTICLES_LOW       1028
#define IDC_PARTICLES_MEDIUM    1029
#define IDC_TITLE_PICTURE       1030
#define IDC_PARTICLES_HIGH      1033
