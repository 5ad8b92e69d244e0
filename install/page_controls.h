// The wizard page: dialog template IDD_SETUP_PAGE of resources/setup.rc and the ids of its
// controls, which the page, the install run (through RunView, install/setup_state.h) and the
// end-to-end tests (tests/e2e/controls.py) name. The resource compiler and those tests read this
// file too, so it holds nothing but comments and lines "#define NAME number".
#pragma once

#define IDD_SETUP_PAGE 101

// The choosing page.
#define IDC_DESTINATION 1000
#define IDC_BROWSE 1001
#define IDC_PLACE_ICONS 1002
#define IDC_RUN_AFTER_INSTALL 1003
#define IDC_FREE_FIGURE 1004
#define IDC_NEED_FIGURE 1005
#define IDC_NEXT 1006
#define IDC_CANCEL 1007
#define IDC_NO_SPACE_WARNING 1011
#define IDC_LANGUAGE_LIST 1015
#define IDC_FREE_LABEL 1020
#define IDC_NEED_LABEL 1021
#define IDC_SPACE_FRAME 1022
#define IDC_DESTINATION_FRAME 1023
#define IDC_LANGUAGE_LABEL 1024

// The pictures: the title (then the stage bitmaps "pic1" and "pic2"), "pic" and "zorv".
#define IDC_PICTURE_TITLE 1008
#define IDC_PICTURE_PIC 1009
#define IDC_PICTURE_ZORV 1010

// The run: the progress bar, the status line and the file-name line.
#define IDC_PROGRESS 1012
#define IDC_STATUS_LINE 1013
#define IDC_FILE_NAME_LINE 1014
