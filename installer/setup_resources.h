// Ids of the setup wizard's dialog resources and of their controls. Shared
// by the resource script and the page procedures; the Next, Back and Browse
// buttons carry different ids on different pages.
#pragma once

#define IDD_SETUP_WELCOME 107
#define IDD_SETUP_GROUPS 108
#define IDD_SETUP_FOLDER 109
#define IDD_SETUP_READY 110

// Page 1 (welcome).
#define IDC_WELCOME_NEXT 1001

// Page 2 (data groups).
#define IDC_GROUPS_NEXT 1001
#define IDC_GROUPS_CLEAR_ALL 1004
#define IDC_GROUPS_SELECT_ALL 1005
#define IDC_GROUPS_FIRST_BOX 1006
#define IDC_GROUPS_LAST_BOX 1014
#define IDC_GROUPS_BACK 1017

// Page 3 (target folder).
#define IDC_FOLDER_BROWSE 1001
#define IDC_FOLDER_BACK 1005
#define IDC_FOLDER_EDIT 1015
#define IDC_FOLDER_NEXT 1016

// Page 4 (ready).
#define IDC_READY_INSTALL 1001
#define IDC_READY_BACK 1004
