// The in-memory registry: the same layer as registry.h, over a store held in
// the process, for tests. It keeps the registry's rules that the commands rely
// on (names compare ignoring case, creates make missing parents, a query of
// data larger than the buffer fails, enumeration ends with 259, keys opened
// for writing cannot be read and the other way round) and adds what only a
// test needs: seeding, inspection, fault injection and a count of open keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "registry/registry.h"

namespace registry::memory {

enum class Op {
    Open,
    Create,
    SetValue,
    QueryValue,
    EnumKey,
    EnumValue,
    QueryInfo,
    DeleteTree,
    DeleteValue,
};

struct OperationRecord {
    Op op;
    std::wstring path;  // as fault rules match it
    Status status;      // what the operation returned
};

// Empties the store (both roots exist, holding nothing), closes nothing,
// forgets every fault, zeroes the counters and makes the process an
// administrator again.
void Reset();

// Keeps the data; forgets faults, counters and the log.
void ClearFaultsAndCounters();

// Every operation since the counters were last cleared, in order.
const std::vector<OperationRecord>& OperationLog();

// Seeding and inspection, bypassing faults and counters. Paths are relative
// to the root; a null name is the default value.
void PutKey(RootKey root, const std::wstring& path);
void PutValue(RootKey root, const std::wstring& path, const wchar_t* name, std::uint32_t type,
              const std::vector<std::uint8_t>& bytes);
// A string value with its terminator, as the registry editor writes it.
void PutString(RootKey root, const std::wstring& path, const wchar_t* name,
               const std::wstring& text, std::uint32_t type = kRegSz);
void PutDword(RootKey root, const std::wstring& path, const wchar_t* name, std::uint32_t number);
bool HasKey(RootKey root, const std::wstring& path);
std::optional<ValueData> StoredValue(RootKey root, const std::wstring& path, const wchar_t* name);
// The stored string up to its first NUL, or nothing when the value is missing.
std::optional<std::wstring> StoredString(RootKey root, const std::wstring& path,
                                         const wchar_t* name);
// Every key and value of the store in a canonical text form: two stores hold
// the same data exactly when their dumps are equal.
std::wstring Dump();
// The same for one root's subtree at path ("" for the whole root), with key
// paths relative to it ("." is the key itself), or "" when it is missing.
std::wstring DumpTree(RootKey root, const std::wstring& path);

// Whether the process runs as an administrator (the default). When it does
// not, as for a standard user on Windows, opening or creating an HKLM key for
// writing and deleting under HKLM fail with kAccessDenied; reading still works.
void SetAdministrator(bool isAdmin);

// Keys opened or created and not yet closed.
std::size_t OpenKeyCount();

// Operations the layer has been asked to do since Reset, faults included.
std::uint64_t OperationCount();

// Makes operations fail with status. A rule matches an operation of kind op
// whose key path (the root's full name, a backslash and the path, as in
// "HKEY_CURRENT_USER\Software\Clients") contains pathPart, ignoring case; an
// empty pathPart matches every path. occurrence 0 fails every match,
// occurrence n only the n-th.
void FailOperation(Op op, const std::wstring& pathPart, Status status = kAccessDenied,
                   unsigned occurrence = 0);
// Makes the n-th operation of any kind (counted from 1 since Reset) fail.
void FailOperationNumber(std::uint64_t n, Status status = kAccessDenied);

}  // namespace registry::memory
