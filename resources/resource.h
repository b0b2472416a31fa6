// Identifiers of the dialog templates and their controls.
#ifndef DORNAVEL_RESOURCE_H
#define DORNAVEL_RESOURCE_H

// The program's icon: the first icon of the file, which Explorer shows.
#define IDI_DORNAVEL 1

// Dialog templates.
#define IDD_MAIN 101
#define IDD_ABOUT 102

// Controls of the main window.
#define IDC_LOAD 1000
#define IDC_CLOSE 1001
#define IDC_EXIT 1002
#define IDC_INFO_GROUP 1003
#define IDC_ORDER_TEXT 1004
#define IDC_PROGRESS 1005
#define IDC_SWAP 1006
#define IDC_TO_LITTLE 1007
#define IDC_TO_V64 1008
#define IDC_TO_BIG 1009
#define IDC_ABOUT 1010

// Link buttons of the about box; they share numbers with two radio buttons of the main
// window, which is harmless since the two dialogs have procedures of their own.
#define IDC_LINK1 1008
#define IDC_LINK2 1009

// Controls the program never addresses.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
