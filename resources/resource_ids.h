// Ids of the editor's own resources (resources/korrin.rc) that the code
// loads. Plain macros: the resource compiler reads them too.
#pragma once

// Icons of the frame and of the diagram windows.
#define IDI_FRAME 100
#define IDI_DIAGRAM 200

// The language of the texts (RCDATA: 44 English, 49 German).
#define IDR_LANGUAGE 1000

// The About dialog (numbered as its command) and its two texts.
#define IDD_ABOUT CMD_HELP_ABOUT
#define IDC_ABOUT_TITLE 101
#define IDC_ABOUT_VERSION 102

// The popup help table (RCDATA) and the ids the popups of the main menu
// carry; the help table lists a text for each popup, in the order of
// these ids.
#define IDR_POPUP_HELP 10050
#define IDM_POPUP_FILE 10051
#define IDM_POPUP_EXECUTE 10052
#define IDM_POPUP_PROPERTIES 10053
#define IDM_POPUP_EDIT 10054
#define IDM_POPUP_ENCLOSE 10055
#define IDM_POPUP_ENCLOSE_IF 10056
#define IDM_POPUP_ENCLOSE_SWITCH 10057
#define IDM_POPUP_ENCLOSE_CASE 10058
#define IDM_POPUP_CLIPBOARD 10059
#define IDM_POPUP_INSERT 10060
#define IDM_POPUP_VIEW 10061
#define IDM_POPUP_ADDIN 10062
#define IDM_POPUP_OPTIONS 10063
#define IDM_POPUP_WINDOW 10064
#define IDM_POPUP_HELP 10065

// The bar tables (RCDATA) and their images (BITMAP). The context-menu
// tables (RCDATA) carry the numbers of their commands, CMD_CONTEXT_*.
#define IDR_TOOLBAR 27000
#define IDR_TOOLBOX 27001
#define IDB_TOOLBAR 27010
#define IDB_TOOLBOX 27011
