#include "support/memory_registry.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>

namespace registry {

namespace {

wchar_t FoldAscii(wchar_t ch) {
    return (ch >= L'a' && ch <= L'z') ? static_cast<wchar_t>(ch - L'a' + L'A') : ch;
}

std::wstring Fold(const std::wstring& text) {
    std::wstring out(text);
    for (wchar_t& ch : out) {
        ch = FoldAscii(ch);
    }
    return out;
}

struct Value {
    std::wstring name;
    ValueData data;
};

struct Node {
    std::wstring name;      // as first created
    std::wstring fullPath;  // "HKEY_...\a\b", for fault matching
    std::vector<Value> values;  // in the order they were first set
    std::map<std::wstring, std::shared_ptr<Node>> children;  // by folded name
    bool deleted = false;
};

struct OpenHandle {
    std::shared_ptr<Node> node;
    Access access;
};

struct FaultRule {
    memory::Op op;
    std::wstring pathPart;  // folded
    Status status;
    unsigned occurrence;
    unsigned seen = 0;
};

struct Store {
    std::shared_ptr<Node> currentUser;
    std::shared_ptr<Node> localMachine;
    std::map<std::uintptr_t, OpenHandle> handles;
    std::uintptr_t nextHandle = 0x1000;
    std::vector<FaultRule> rules;
    std::uint64_t operations = 0;
    std::uint64_t failAtOperation = 0;
    Status failAtStatus = kAccessDenied;
    std::vector<memory::OperationRecord> log;
    bool administrator = true;
};

std::shared_ptr<Node> NewRoot(const wchar_t* name) {
    auto node = std::make_shared<Node>();
    node->fullPath = name;
    return node;
}

Store& TheStore() {
    static Store store = [] {
        Store s;
        s.currentUser = NewRoot(L"HKEY_CURRENT_USER");
        s.localMachine = NewRoot(L"HKEY_LOCAL_MACHINE");
        return s;
    }();
    return store;
}

std::shared_ptr<Node> RootNode(RootKey root) {
    Store& store = TheStore();
    return root == RootKey::CurrentUser ? store.currentUser : store.localMachine;
}

// Splits a path at backslashes; empty elements (a leading, doubled or
// trailing backslash) are skipped, as the registry does for a trailing one.
std::vector<std::wstring> SplitPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (wchar_t ch : path) {
        if (ch == L'\\') {
            if (!part.empty()) {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part.push_back(ch);
        }
    }
    if (!part.empty()) {
        parts.push_back(part);
    }
    return parts;
}

std::wstring JoinPath(const std::shared_ptr<Node>& base, const std::wstring& path) {
    return path.empty() ? base->fullPath : base->fullPath + L"\\" + path;
}

// Counts the operation and answers whether a fault rule makes it fail.
Status Intercept(memory::Op op, const std::wstring& fullPath) {
    Store& store = TheStore();
    ++store.operations;
    if (store.failAtOperation != 0 && store.operations == store.failAtOperation) {
        return store.failAtStatus;
    }
    if (store.rules.empty()) {
        return kSuccess;
    }
    const std::wstring folded = Fold(fullPath);
    for (FaultRule& rule : store.rules) {
        if (rule.op != op || folded.find(rule.pathPart) == std::wstring::npos) {
            continue;
        }
        ++rule.seen;
        if (rule.occurrence == 0 || rule.occurrence == rule.seen) {
            return rule.status;
        }
    }
    return kSuccess;
}

// Runs one operation: counts it, applies any fault, and logs its outcome.
template <typename Body>
Status Run(memory::Op op, const std::wstring& fullPath, Body body) {
    Status status = Intercept(op, fullPath);
    if (status == kSuccess) {
        status = body();
    }
    TheStore().log.push_back(memory::OperationRecord{op, fullPath, status});
    return status;
}

std::shared_ptr<Node> Walk(std::shared_ptr<Node> node, const std::wstring& path, bool create) {
    for (const std::wstring& part : SplitPath(path)) {
        if (part.size() > kMaxKeyNameChars) {
            return nullptr;
        }
        const std::wstring folded = Fold(part);
        auto found = node->children.find(folded);
        if (found == node->children.end()) {
            if (!create) {
                return nullptr;
            }
            auto child = std::make_shared<Node>();
            child->name = part;
            child->fullPath = node->fullPath + L"\\" + part;
            found = node->children.emplace(folded, child).first;
        }
        node = found->second;
    }
    return node;
}

OpenHandle* Lookup(const Key& key) {
    Store& store = TheStore();
    auto found = store.handles.find(key.Native());
    return found == store.handles.end() ? nullptr : &found->second;
}

Key NewHandle(std::shared_ptr<Node> node, Access access) {
    Store& store = TheStore();
    const std::uintptr_t handle = store.nextHandle;
    store.nextHandle += 4;
    store.handles[handle] = OpenHandle{std::move(node), access};
    return Key(handle);
}

// The node behind an open key, checked for access; status says why not.
std::shared_ptr<Node> Usable(const Key& key, Access needed, Status& status) {
    OpenHandle* handle = Lookup(key);
    if (handle == nullptr) {
        status = 6;  // ERROR_INVALID_HANDLE
        return nullptr;
    }
    if (handle->node->deleted) {
        status = kKeyDeleted;
        return nullptr;
    }
    if (handle->access != needed) {
        status = kAccessDenied;
        return nullptr;
    }
    status = kSuccess;
    return handle->node;
}

std::wstring HandlePath(const Key& key) {
    OpenHandle* handle = Lookup(key);
    return handle == nullptr ? std::wstring() : handle->node->fullPath;
}

std::wstring NameOrDefault(const wchar_t* name) {
    return name == nullptr ? std::wstring() : std::wstring(name);
}

Value* FindValue(Node& node, const std::wstring& name) {
    const std::wstring folded = Fold(name);
    for (Value& value : node.values) {
        if (Fold(value.name) == folded) {
            return &value;
        }
    }
    return nullptr;
}

void StoreValue(Node& node, const std::wstring& name, ValueData data) {
    if (Value* existing = FindValue(node, name)) {
        existing->data = std::move(data);
    } else {
        node.values.push_back(Value{name, std::move(data)});
    }
}

void MarkDeleted(Node& node) {
    node.deleted = true;
    for (auto& child : node.children) {
        MarkDeleted(*child.second);
    }
}

// A standard user may read HKLM but not write to it.
bool WriteRefused(const std::shared_ptr<Node>& base) {
    return !TheStore().administrator && base->fullPath.rfind(L"HKEY_LOCAL_MACHINE", 0) == 0;
}

Status OpenAt(std::shared_ptr<Node> base, const std::wstring& path, Access access, Key& out) {
    return Run(memory::Op::Open, JoinPath(base, path), [&]() -> Status {
        if (access == Access::Write && WriteRefused(base)) {
            return kAccessDenied;
        }
        std::shared_ptr<Node> node = Walk(base, path, false);
        if (node == nullptr) {
            return kFileNotFound;
        }
        out = NewHandle(node, access);
        return kSuccess;
    });
}

Status CreateAt(std::shared_ptr<Node> base, const std::wstring& path, Key& out) {
    return Run(memory::Op::Create, JoinPath(base, path), [&]() -> Status {
        if (WriteRefused(base)) {
            return kAccessDenied;
        }
        std::shared_ptr<Node> node = Walk(base, path, true);
        if (node == nullptr) {
            return kInvalidParameter;
        }
        out = NewHandle(node, Access::Write);
        return kSuccess;
    });
}

std::shared_ptr<Node> ParentNode(const Key& parent, Status& status) {
    OpenHandle* handle = Lookup(parent);
    if (handle == nullptr) {
        status = 6;
        return nullptr;
    }
    if (handle->node->deleted) {
        status = kKeyDeleted;
        return nullptr;
    }
    status = kSuccess;
    return handle->node;
}

}  // namespace

void Key::Close() {
    if (native_ != 0) {
        TheStore().handles.erase(native_);
        native_ = 0;
    }
}

Status OpenKey(RootKey root, const std::wstring& path, Access access, Key& out) {
    return OpenAt(RootNode(root), path, access, out);
}

Status OpenKey(const Key& parent, const std::wstring& path, Access access, Key& out) {
    Status status = kSuccess;
    std::shared_ptr<Node> base = ParentNode(parent, status);
    return base == nullptr ? status : OpenAt(base, path, access, out);
}

Status CreateKey(RootKey root, const std::wstring& path, Key& out) {
    if (path.empty()) {
        return kInvalidParameter;
    }
    return CreateAt(RootNode(root), path, out);
}

Status CreateKey(const Key& parent, const std::wstring& path, Key& out) {
    if (path.empty()) {
        return kInvalidParameter;
    }
    Status status = kSuccess;
    std::shared_ptr<Node> base = ParentNode(parent, status);
    return base == nullptr ? status : CreateAt(base, path, out);
}

Status SetString(const Key& key, const wchar_t* name, const std::wstring& data) {
    return Run(memory::Op::SetValue, HandlePath(key), [&]() -> Status {
        Status status = kSuccess;
        std::shared_ptr<Node> node = Usable(key, Access::Write, status);
        if (node == nullptr) {
            return status;
        }
        ValueData value{kRegSz, ToUtf16Bytes(data)};
        value.bytes.push_back(0);
        value.bytes.push_back(0);
        StoreValue(*node, NameOrDefault(name), std::move(value));
        return kSuccess;
    });
}

Status SetValue(const Key& key, const wchar_t* name, std::uint32_t type,
                const std::vector<std::uint8_t>& bytes) {
    return Run(memory::Op::SetValue, HandlePath(key), [&]() -> Status {
        Status status = kSuccess;
        std::shared_ptr<Node> node = Usable(key, Access::Write, status);
        if (node == nullptr) {
            return status;
        }
        StoreValue(*node, NameOrDefault(name), ValueData{type, bytes});
        return kSuccess;
    });
}

Status QueryValue(const Key& key, const wchar_t* name, std::size_t maxBytes, ValueData& out) {
    return Run(memory::Op::QueryValue, HandlePath(key), [&]() -> Status {
        Status status = kSuccess;
        std::shared_ptr<Node> node = Usable(key, Access::Read, status);
        if (node == nullptr) {
            return status;
        }
        const Value* value = FindValue(*node, NameOrDefault(name));
        if (value == nullptr) {
            return kFileNotFound;
        }
        if (value->data.bytes.size() > maxBytes) {
            return kMoreData;
        }
        out = value->data;
        return kSuccess;
    });
}

Status EnumKey(const Key& key, std::uint32_t index, std::size_t maxNameChars, std::wstring& name) {
    return Run(memory::Op::EnumKey, HandlePath(key), [&]() -> Status {
        Status status = kSuccess;
        std::shared_ptr<Node> node = Usable(key, Access::Read, status);
        if (node == nullptr) {
            return status;
        }
        if (index >= node->children.size()) {
            return kNoMoreItems;
        }
        auto it = node->children.begin();
        std::advance(it, index);
        const std::wstring& childName = it->second->name;
        if (Utf16Length(childName) > maxNameChars) {
            return kMoreData;
        }
        name = childName;
        return kSuccess;
    });
}

Status EnumValue(const Key& key, std::uint32_t index, std::size_t maxNameChars,
                 std::size_t maxDataBytes, std::wstring& name, ValueData& data) {
    return Run(memory::Op::EnumValue, HandlePath(key), [&]() -> Status {
        Status status = kSuccess;
        std::shared_ptr<Node> node = Usable(key, Access::Read, status);
        if (node == nullptr) {
            return status;
        }
        if (index >= node->values.size()) {
            return kNoMoreItems;
        }
        const Value& value = node->values[index];
        if (Utf16Length(value.name) > maxNameChars || value.data.bytes.size() > maxDataBytes) {
            return kMoreData;
        }
        name = value.name;
        data = value.data;
        return kSuccess;
    });
}

Status QueryInfo(const Key& key, KeyInfo& info) {
    return Run(memory::Op::QueryInfo, HandlePath(key), [&]() -> Status {
        Status status = kSuccess;
        std::shared_ptr<Node> node = Usable(key, Access::Read, status);
        if (node == nullptr) {
            return status;
        }
        info = KeyInfo{};
        info.subkeyCount = static_cast<std::uint32_t>(node->children.size());
        for (const auto& child : node->children) {
            info.maxSubkeyNameChars = std::max<std::uint32_t>(
                info.maxSubkeyNameChars, static_cast<std::uint32_t>(Utf16Length(child.second->name)));
        }
        info.valueCount = static_cast<std::uint32_t>(node->values.size());
        for (const Value& value : node->values) {
            info.maxValueNameChars = std::max<std::uint32_t>(
                info.maxValueNameChars, static_cast<std::uint32_t>(Utf16Length(value.name)));
            info.maxValueDataBytes = std::max<std::uint32_t>(
                info.maxValueDataBytes, static_cast<std::uint32_t>(value.data.bytes.size()));
        }
        return kSuccess;
    });
}

Status DeleteTree(RootKey root, const std::wstring& path) {
    if (path.empty()) {
        return kInvalidParameter;
    }
    std::shared_ptr<Node> base = RootNode(root);
    return Run(memory::Op::DeleteTree, JoinPath(base, path), [&]() -> Status {
        if (WriteRefused(base)) {
            return kAccessDenied;
        }
        std::vector<std::wstring> parts = SplitPath(path);
        if (parts.empty()) {
            return kAccessDenied;  // a predefined root cannot be deleted
        }
        const std::wstring last = Fold(parts.back());
        parts.pop_back();
        std::shared_ptr<Node> parent = base;
        for (const std::wstring& part : parts) {
            auto found = parent->children.find(Fold(part));
            if (found == parent->children.end()) {
                return kFileNotFound;
            }
            parent = found->second;
        }
        auto found = parent->children.find(last);
        if (found == parent->children.end()) {
            return kFileNotFound;
        }
        MarkDeleted(*found->second);
        parent->children.erase(found);
        return kSuccess;
    });
}

Status DeleteValue(const Key& key, const wchar_t* name) {
    return Run(memory::Op::DeleteValue, HandlePath(key), [&]() -> Status {
        Status status = kSuccess;
        std::shared_ptr<Node> node = Usable(key, Access::Write, status);
        if (node == nullptr) {
            return status;
        }
        const std::wstring folded = Fold(NameOrDefault(name));
        for (auto it = node->values.begin(); it != node->values.end(); ++it) {
            if (Fold(it->name) == folded) {
                node->values.erase(it);
                return kSuccess;
            }
        }
        return kFileNotFound;
    });
}

namespace memory {

void Reset() {
    Store& store = TheStore();
    store.currentUser = NewRoot(L"HKEY_CURRENT_USER");
    store.localMachine = NewRoot(L"HKEY_LOCAL_MACHINE");
    store.handles.clear();
    store.administrator = true;
    ClearFaultsAndCounters();
}

void ClearFaultsAndCounters() {
    Store& store = TheStore();
    store.rules.clear();
    store.operations = 0;
    store.failAtOperation = 0;
    store.log.clear();
}

const std::vector<OperationRecord>& OperationLog() {
    return TheStore().log;
}

void PutKey(RootKey root, const std::wstring& path) {
    Walk(RootNode(root), path, true);
}

void PutValue(RootKey root, const std::wstring& path, const wchar_t* name, std::uint32_t type,
              const std::vector<std::uint8_t>& bytes) {
    std::shared_ptr<Node> node = Walk(RootNode(root), path, true);
    if (node != nullptr) {
        StoreValue(*node, NameOrDefault(name), ValueData{type, bytes});
    }
}

void PutString(RootKey root, const std::wstring& path, const wchar_t* name,
               const std::wstring& text, std::uint32_t type) {
    std::vector<std::uint8_t> bytes = ToUtf16Bytes(text);
    bytes.push_back(0);
    bytes.push_back(0);
    PutValue(root, path, name, type, bytes);
}

void PutDword(RootKey root, const std::wstring& path, const wchar_t* name, std::uint32_t number) {
    std::vector<std::uint8_t> bytes;
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>((number >> shift) & 0xFFu));
    }
    PutValue(root, path, name, kRegDword, bytes);
}

bool HasKey(RootKey root, const std::wstring& path) {
    return Walk(RootNode(root), path, false) != nullptr;
}

std::optional<ValueData> StoredValue(RootKey root, const std::wstring& path,
                                     const wchar_t* name) {
    std::shared_ptr<Node> node = Walk(RootNode(root), path, false);
    const Value* value = node == nullptr ? nullptr : FindValue(*node, NameOrDefault(name));
    if (value == nullptr) {
        return std::nullopt;
    }
    return value->data;
}

std::optional<std::wstring> StoredString(RootKey root, const std::wstring& path,
                                         const wchar_t* name) {
    std::optional<ValueData> value = StoredValue(root, path, name);
    if (!value) {
        return std::nullopt;
    }
    return StringFromBytes(value->bytes);
}

namespace {

// Names with control characters shown as <XX>, so the dump stays one line
// per key or value.
std::wstring Shown(const std::wstring& name) {
    std::wstring out;
    for (wchar_t ch : name) {
        if (static_cast<std::uint32_t>(ch) < 0x20) {
            const wchar_t* digits = L"0123456789ABCDEF";
            out += L'<';
            out += digits[(ch >> 4) & 0xF];
            out += digits[ch & 0xF];
            out += L'>';
        } else {
            out += ch;
        }
    }
    return out;
}

void DumpNode(const Node& node, const std::wstring& shownPath, std::wostringstream& out) {
    out << L"[" << Shown(shownPath) << L"]\n";
    for (const Value& value : node.values) {
        out << L"  \"" << Shown(value.name) << L"\" type " << value.data.type << L" bytes";
        for (std::uint8_t byte : value.data.bytes) {
            out << L' ' << static_cast<unsigned>(byte);
        }
        out << L"\n";
    }
    for (const auto& child : node.children) {
        DumpNode(*child.second, shownPath + L"\\" + child.second->name, out);
    }
}

}  // namespace

std::wstring Dump() {
    std::wostringstream out;
    DumpNode(*TheStore().localMachine, TheStore().localMachine->fullPath, out);
    DumpNode(*TheStore().currentUser, TheStore().currentUser->fullPath, out);
    return out.str();
}

std::wstring DumpTree(RootKey root, const std::wstring& path) {
    std::shared_ptr<Node> node = Walk(RootNode(root), path, false);
    if (node == nullptr) {
        return std::wstring();
    }
    std::wostringstream out;
    DumpNode(*node, L".", out);
    return out.str();
}

void SetAdministrator(bool isAdmin) {
    TheStore().administrator = isAdmin;
}

std::size_t OpenKeyCount() {
    return TheStore().handles.size();
}

std::uint64_t OperationCount() {
    return TheStore().operations;
}

void FailOperation(Op op, const std::wstring& pathPart, Status status, unsigned occurrence) {
    TheStore().rules.push_back(FaultRule{op, Fold(pathPart), status, occurrence});
}

void FailOperationNumber(std::uint64_t n, Status status) {
    TheStore().failAtOperation = n;
    TheStore().failAtStatus = status;
}

}  // namespace memory

}  // namespace registry
