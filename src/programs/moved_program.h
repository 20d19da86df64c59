// Programs gone from the drive their paths name, looked for at the same paths
// on the other drives: where a browser on a USB stick is after Windows gave
// the stick another letter.
#pragma once

#include <string>
#include <vector>

#include "programs/drive_rewrite.h"

// Where the programs of some commands are now.
struct DriveSearch {
    enum class Found { Nowhere, OnOne, OnSeveral };
    Found found = Found::Nowhere;
    // OnOne: that drive's letter; OnSeveral: the letter of every drive that
    // holds them all ("FG").
    std::wstring drives;
    // OnOne: each command's program, in the order of the commands.
    std::vector<MovedProgram> moved;
    // The drive Marovendel runs from, when it may hold programs; else 0.
    wchar_t own = L'\0';
};

// Looks for the program of each command (expanded, its program gone) at the
// same path on other drives: the drive Marovendel runs from, then, unless
// ownDriveOnly, every other fixed or removable drive. On a fixed drive, a
// program that another user owns, or one in a folder another user owns, is
// not taken. A:, B:, network and
// CD/DVD drives are never asked, nor is any program whose path starts with
// no drive letter or names a network drive. One drive must hold them all:
// Marovendel's own when it does, else the only other one that does. No drive
// whose medium is out raises a dialog.
DriveSearch FindMovedPrograms(const std::vector<std::wstring>& commands, bool ownDriveOnly);
