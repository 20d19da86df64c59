// What every command prints through, and the text helpers they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "registry/registry.h"

// Printf-style output to standard output; %ls for wide strings.
void Print(const wchar_t* format, ...);
// The title line and its rule, with an empty line before them.
void PrintBanner();
// Equality that folds only the ASCII letters A to Z.
bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b);
// The command-line word for root: HKCU or HKLM.
const wchar_t* RootWord(registry::RootKey root);
// The line of settings, check and defaults for a name that root does not
// know.
void PrintNotRegistered(registry::RootKey root, const std::wstring& clientName);
// What check and repair advise for a browser whose program has gone and
// that no drive holds: a drop for HKCU, which a drop registers, else a new
// registration.
const wchar_t* MovedBrowserAdvice(registry::RootKey root);
// "a", "a and b", "a, b and c".
std::wstring ListOf(const std::vector<std::wstring>& items);
// The code point at text[i], moving i past it; U+FFFD for a lone surrogate.
std::uint32_t NextCodePoint(const std::wstring& text, std::size_t& i);
// Appends code's UTF-8 bytes to out.
void AppendUtf8(std::string& out, std::uint32_t code);
// name as one word of a command line: quoted when it holds a blank or a
// character the console treats specially, with its own quotes escaped.
std::wstring CommandLineWord(const std::wstring& name);
