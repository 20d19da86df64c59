// Whether users other than administrators could replace a program that a
// registration for every user starts: each user who opens a link would then
// run that code with their own rights, an administrator's included.
#pragma once

#include <string>

// Whether a program found on a fixed drive, or a folder on its way, is owned
// by someone other than the user running Marovendel and the administrators:
// another account of the PC put it there (any user may add folders to C:\),
// so it must not become this user's browser. A removable drive is its
// user's own stick.
bool OwnedByAnotherUser(const std::wstring& program);

// A line on standard error when the program executablePath starts lies where
// standard users, or any one principal other than an administrator, could
// change it: on a removable or network drive, or under an owner or a
// permission that folder_access.h counts.
void WarnIfStandardUsersCouldChange(const std::wstring& executablePath);
