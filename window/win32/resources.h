// The identifiers of the Win32 window's resources: its icons and the pictures of the two file
// buttons (snipforge.rc).
#pragma once

#define kProgramIcon 1
#define kOpenIcon 2
#define kSaveIcon 3
