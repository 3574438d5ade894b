#pragma once

#include <windows.h>

// Fills the dialog's lists from the initial data stored with its template:
// each string entry is added as its control's own "add string" message.
// Missing or damaged data adds nothing.
void ApplyDialogInitData(HWND dialog, HINSTANCE instance, int templateId);
