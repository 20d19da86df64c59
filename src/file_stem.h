// The stem a file made from a browser's name gets, such as its backup
// <stem>.reg or its default-associations file <stem>.defaults.xml.
#pragma once

#include <string>

// name made safe as the start of a file name in any Windows folder: the
// characters < > : " / \ | ? * and control characters become _, a device
// name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, in any case) before
// the first dot, spaces after it aside, gets a _ after it, and trailing dots
// and spaces become _.
std::wstring BackupFileStem(const std::wstring& name);
