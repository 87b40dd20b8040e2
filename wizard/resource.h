#pragma once
// Resource and control ids of Hollagrin. Several ids repeat from page to page: each page is
// a dialog of its own, and the game's tools know these numbers, so they never change.

// Dialogs: the pages of the wizard
#define IDD_WELCOME             107
#define IDD_HOST_JOIN           108
#define IDD_CONNECT_METHOD      109
#define IDD_DIRECT_CONNECT      111
#define IDD_LAN_LIST            112
#define IDD_INTERNET_LIST       113
#define IDD_CLIENT_LOBBY        114
#define IDD_SERVER_SETUP        115
#define IDD_SERVER_LOBBY        116

// Bitmaps
#define IDB_HEADER              102   // 49 x 49, the interior pages' header
#define IDB_WATERMARK           103   // 164 x 314, the exterior page's watermark

// Strings: header title and subtitle of each interior page
#define IDS_HOST_JOIN_TITLE          1
#define IDS_HOST_JOIN_SUBTITLE       2
#define IDS_CONNECT_METHOD_TITLE     3
#define IDS_CONNECT_METHOD_SUBTITLE  4
#define IDS_DIRECT_CONNECT_TITLE     5
#define IDS_DIRECT_CONNECT_SUBTITLE  6
#define IDS_LAN_LIST_TITLE           7
#define IDS_LAN_LIST_SUBTITLE        8
#define IDS_INTERNET_LIST_TITLE      9
#define IDS_INTERNET_LIST_SUBTITLE   10
#define IDS_CLIENT_LOBBY_TITLE       11
#define IDS_CLIENT_LOBBY_SUBTITLE    12
#define IDS_SERVER_SETUP_TITLE       13
#define IDS_SERVER_SETUP_SUBTITLE    14
#define IDS_SERVER_LOBBY_TITLE       15
#define IDS_SERVER_LOBBY_SUBTITLE    16

// Welcome page
#define IDC_WELCOME_TITLE       1000
#define IDC_WELCOME_NAME        1001

// Host/join page
#define IDC_NETWORK_GROUP       1011
#define IDC_HOST_GAME           1002
#define IDC_JOIN_GAME           1003
#define IDC_PLAYER_NAME         1012

// Connection-method page
#define IDC_METHOD_DIRECT       1002
#define IDC_METHOD_LAN          1003
#define IDC_METHOD_INTERNET     1013

// Direct-connection and server set-up pages
#define IDC_ADDRESS             1017
#define IDC_SERVER_NAME         1017
#define IDC_PORT                1006
#define IDC_PUBLISH_SERVER      1010

// LAN and Internet list pages
#define IDC_SERVER_LIST         1014
#define IDC_LAN_CONNECT         1015
#define IDC_LAN_REFRESH         1016
#define IDC_LAN_STATUS          1024
#define IDC_INTERNET_REFRESH    1022
#define IDC_INTERNET_CONNECT    1023
#define IDC_INTERNET_STATUS     1024

// Lobby pages
#define IDC_TRANSCRIPT          1017
#define IDC_CHAT_INPUT          1006
#define IDC_SEND_MESSAGE        1015
#define IDC_PLAYER_COUNT        1021
