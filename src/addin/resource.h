// Names and identifiers of the library's resources (shared by the resource script and code).
#pragma once

#define kTitleDialogName "QUARROW"
#define kTitleIconName "QUARROW"

#define IDC_TITLE_ICON 100
#define IDC_TITLE_NAME 101
#define IDC_TITLE_LIBRARY 102
#define IDC_TITLE_LINE1 103
#define IDC_TITLE_LINE2 104
#define IDC_TITLE_LINE3 105
#define IDC_TITLE_LINE4 106
