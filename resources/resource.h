// Resource ids shared by ostrel.rc and the dialog code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_OSTREL_DIALOG 102
#define IDR_MAINFRAME 128

// The system-menu command that opens the About box; system commands keep
// their low four bits for the system's own use.
#define IDM_ABOUTBOX 0x0010

#define IDC_WRITE_EEPROM 1000
#define IDC_SAVE_TO_FILE 1002
#define IDC_PROGRESS 1003
#define IDC_STATUS 1004
#define IDC_EEPROM_LIST 1005
#define IDC_SIZE_256 1006
#define IDC_SIZE_512 1007
#define IDC_SIZE_TYPED 1008
#define IDC_TYPED_SIZE 1009
#define IDC_OVERRIDE_PCI 1010
#define IDC_VERIFY 1011

// Initial data of a dialog's controls (the dialog editor's format): entries
// of control id, message, data length and data, ended by a zero id.
#define RT_DLGINIT_ID 240
// The message code of an entry that adds a string to a list (the 16-bit
// CB_ADDSTRING value the format keeps).
#define DLGINIT_ADDSTRING 0x0403
