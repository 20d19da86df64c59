// The files made from a browser's name beside Marovendel.exe: its backups
// <stem>.reg, <stem> (2).reg and so on, and its default-associations file
// <stem>.defaults.xml.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// name made safe as the start of a file name in any Windows folder: the
// characters < > : " / \ | ? * and control characters become _, a device
// name (CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9, and COM and LPT with
// a superscript 1, 2 or 3, in any case) before
// the first dot, spaces after it aside, gets a _ after it, and trailing dots
// and spaces become _.
std::wstring BackupFileStem(const std::wstring& name);

// directory\stem.reg for number 1, directory\stem (number).reg after it.
std::wstring NumberedBackupPath(const std::wstring& directory, const std::wstring& stem,
                                int number);

// The file a backup of bytes belongs in: the first of the stem's numbered
// names that no file has, or that holds the same bytes already. It is the
// name WriteBackupFile writes, and what a prompt names before a removal.
std::wstring BackupFilePath(const std::wstring& directory, const std::wstring& stem,
                            const std::vector<std::uint8_t>& bytes);

// Writes a backup's bytes under the name BackupFilePath gives, and returns
// where it is. An earlier backup is never replaced: it may be the only copy
// of another registration. Nothing, with its line printed, when no backup
// could be written.
std::optional<std::wstring> WriteBackupFile(const std::wstring& directory,
                                            const std::wstring& stem,
                                            const std::vector<std::uint8_t>& bytes);
