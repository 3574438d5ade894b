#pragma once

#include <windows.h>

// Fills the dialog's drop-down lists from the initial data stored with its
// template. Missing or damaged data adds nothing.
void ApplyDialogInitData(HWND dialog, HINSTANCE instance, int templateId);
