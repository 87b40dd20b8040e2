#pragma once
// The sheet and its nine pages, built from one table so that the page order, on which the
// page jumps depend, lives in one place.
#include "wizard_frame.h"

// Wizard97 look with a header bitmap and a watermark. The Wizard97 flag has its older
// value 0x2000 here, the one the first common controls with Wizard97 sheets defined.
const DWORD WIZARD_SHEET_FLAGS = 0x0008A000;
const int WIZARD_START_PAGE = PAGE_HOST_JOIN;

// Creates the nine page descriptions in sheet order; each carries shared as its parameter.
// False if any could not be created (the ones that were are destroyed again).
bool CreateWizardPages(HINSTANCE instance, WizardSharedData* shared, HPROPSHEETPAGE pages[WIZARD_PAGE_COUNT]);

// The sheet header around those pages, ready for PropertySheetA.
PROPSHEETHEADERA WizardSheetHeader(HINSTANCE instance, HPROPSHEETPAGE pages[WIZARD_PAGE_COUNT]);
