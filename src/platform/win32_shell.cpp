// The platform seam's calls into the shell, COM and version records on
// Windows. shell32, ole32 and version.dll are loaded when one of these first
// runs, never at start-up: most commands need none of them.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <winver.h>

#include <cwchar>
#include <string>
#include <vector>

#include "platform/native_view.h"
#include "platform/platform.h"
#include "platform/system_library.h"

namespace platform {

namespace {

constexpr const wchar_t* kShell32 = L"shell32.dll";
constexpr const wchar_t* kOle32 = L"ole32.dll";
constexpr const wchar_t* kVersion = L"version.dll";

using CoInitializeExFunction = HRESULT(WINAPI*)(LPVOID, DWORD);
using CoUninitializeFunction = void(WINAPI*)();
using CoCreateInstanceFunction = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
using CoTaskMemFreeFunction = void(WINAPI*)(LPVOID);
using ShellExecuteExWFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
using SHChangeNotifyFunction = void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID);
using GetFileVersionInfoSizeWFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using GetFileVersionInfoWFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VerQueryValueWFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

// A single-threaded apartment for the length of a call: the shell's objects
// and ShellExecuteExW's COM handlers want one.
class ComApartment {
public:
    ComApartment() {
        const auto initialize = SystemFunction<CoInitializeExFunction>(kOle32, "CoInitializeEx");
        uninitialize_ = SystemFunction<CoUninitializeFunction>(kOle32, "CoUninitialize");
        // S_FALSE (already initialized here) must be balanced too;
        // RPC_E_CHANGED_MODE (another kind of apartment) must not.
        if (initialize == nullptr || uninitialize_ == nullptr ||
            FAILED(initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {
            uninitialize_ = nullptr;
        }
    }
    ~ComApartment() {
        if (uninitialize_ != nullptr) {
            uninitialize_();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    CoUninitializeFunction uninitialize_ = nullptr;
};

// Holds one reference to a COM object and releases it.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() {
        if (object_ != nullptr) {
            object_->Release();
        }
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* operator->() const { return object_; }
    Interface& operator*() const { return *object_; }
    // Where a call that hands out a new reference puts it.
    void** Out() { return reinterpret_cast<void**>(&object_); }

private:
    Interface* object_ = nullptr;
};

// A new in-process object of class clsid, as interface iid.
HRESULT CreateInstance(REFCLSID clsid, REFIID iid, void** out) {
    const auto create = SystemFunction<CoCreateInstanceFunction>(kOle32, "CoCreateInstance");
    if (create == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    return create(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out);
}

// A string the shell allocated, freed with CoTaskMemFree.
class TaskString {
public:
    TaskString() = default;
    ~TaskString() {
        const auto free = SystemFunction<CoTaskMemFreeFunction>(kOle32, "CoTaskMemFree");
        if (text_ != nullptr && free != nullptr) {
            free(text_);
        }
    }
    TaskString(const TaskString&) = delete;
    TaskString& operator=(const TaskString&) = delete;

    LPWSTR* Out() { return &text_; }
    std::wstring Text() const { return text_ == nullptr ? std::wstring() : std::wstring(text_); }

private:
    LPWSTR text_ = nullptr;
};

std::wstring Hex(unsigned long value, int digits) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text(static_cast<std::size_t>(digits), L'0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    }
    return text;
}

std::wstring Because(const wchar_t* what, HRESULT result) {
    return std::wstring(what) + L" (0x" + Hex(static_cast<unsigned long>(result), 8) + L")";
}

// "Becoming the Default Browser": SHCNE_ASSOCCHANGED with SHCNF_FLUSH, which
// delivers the notice before SHChangeNotify returns.
constexpr UINT kAssociationsChangedFlags = SHCNF_IDLIST | SHCNF_FLUSH;

// Longest text read from a shell link's path.
constexpr int kMaxLinkText = 32768;

bool IsBlank(const std::wstring& text) {
    for (wchar_t ch : text) {
        if (ch > L' ') {
            return false;
        }
    }
    return true;
}

}  // namespace

void NotifyAssociationsChanged() {
    const auto notify = SystemFunction<SHChangeNotifyFunction>(kShell32, "SHChangeNotify");
    if (notify != nullptr) {
        notify(SHCNE_ASSOCCHANGED, kAssociationsChangedFlags, nullptr, nullptr);
    }
}

bool OpenDefaultPrograms(const std::wstring& applicationName) {
    ComApartment apartment;
    ComPointer<IApplicationAssociationRegistrationUI> ui;
    return SUCCEEDED(CreateInstance(CLSID_ApplicationAssociationRegistrationUI,
                                    IID_IApplicationAssociationRegistrationUI, ui.Out())) &&
           SUCCEEDED(ui->LaunchAdvancedAssociationUI(applicationName.c_str()));
}

bool OpenWithShell(const std::wstring& uri) {
    const auto execute = SystemFunction<ShellExecuteExWFunction>(kShell32, "ShellExecuteExW");
    if (execute == nullptr) {
        return false;
    }
    ComApartment apartment;
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    // NOASYNC: the process may exit as soon as this returns.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = uri.c_str();
    info.nShow = SW_SHOWNORMAL;
    return execute(&info) != FALSE;
}

std::wstring ProgramDisplayName(const std::wstring& path) {
    const auto sizeOf =
        SystemFunction<GetFileVersionInfoSizeWFunction>(kVersion, "GetFileVersionInfoSizeW");
    const auto read = SystemFunction<GetFileVersionInfoWFunction>(kVersion, "GetFileVersionInfoW");
    const auto query = SystemFunction<VerQueryValueWFunction>(kVersion, "VerQueryValueW");
    if (sizeOf == nullptr || read == nullptr || query == nullptr) {
        return std::wstring();
    }
    DWORD ignored = 0;
    const DWORD size = sizeOf(path.c_str(), &ignored);
    if (size == 0) {
        return std::wstring();
    }
    std::vector<unsigned char> record(size);
    if (!read(path.c_str(), 0, size, record.data())) {
        return std::wstring();
    }

    // String tables are named by language and code page in hexadecimal.
    std::vector<std::wstring> tables;
    void* value = nullptr;
    UINT length = 0;
    if (query(record.data(), L"\\VarFileInfo\\Translation", &value, &length) && value != nullptr &&
        length >= 2 * sizeof(WORD)) {
        const WORD* first = static_cast<const WORD*>(value);
        tables.push_back(Hex(first[0], 4) + Hex(first[1], 4));
    }
    tables.push_back(L"040904B0");  // U.S. English, UTF-16
    tables.push_back(L"040904E4");  // U.S. English, Windows Latin-1

    for (const wchar_t* name : {L"FileDescription", L"ProductName"}) {
        for (const std::wstring& table : tables) {
            const std::wstring key = L"\\StringFileInfo\\" + table + L"\\" + name;
            value = nullptr;
            length = 0;
            if (!query(record.data(), key.c_str(), &value, &length) || value == nullptr) {
                continue;
            }
            // length counts the terminator, when the record has one.
            const wchar_t* text = static_cast<const wchar_t*>(value);
            const std::wstring found(text, wcsnlen(text, length));
            if (!IsBlank(found)) {
                return found;
            }
        }
    }
    return std::wstring();
}

namespace {

// Longest shell link file read; the sizes [MS-SHLLINK] allows keep real ones
// far below it.
constexpr std::size_t kMaxLinkBytes = 1 << 20;

// text in the system's ANSI code page, as the link's 8-bit strings are.
std::wstring FromAnsiCodePage(const std::string& text) {
    const int size = static_cast<int>(text.size());
    const int wide = text.empty() ? 0 : MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    if (wide <= 0) {
        return std::wstring();
    }
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, &out[0], wide);
    return out;
}

// The link's target as the shell gives it (GetPath, variables expanded in
// this process's view); empty when it names none.
std::wstring ShellTarget(const std::wstring& path) {
    ComApartment apartment;
    ComPointer<IShellLinkW> link;
    ComPointer<IPersistFile> file;
    if (FAILED(CreateInstance(CLSID_ShellLink, IID_IShellLinkW, link.Out())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.Out())) ||
        FAILED(file->Load(path.c_str(), STGM_READ))) {
        return std::wstring();
    }
    std::vector<wchar_t> target(kMaxLinkText, L'\0');
    // S_FALSE: the link names no file.
    if (link->GetPath(target.data(), kMaxLinkText, nullptr, 0) != S_OK) {
        return std::wstring();
    }
    target.back() = L'\0';
    return target.data();
}

}  // namespace

bool ReadShortcut(const std::wstring& path, Shortcut& out) {
    // The file is read as 64-bit Explorer reads it (native_view.h), not
    // through IShellLink: under WOW64 that gives a 32-bit process the
    // target with %ProgramFiles% read as Program Files (x86), and it never
    // tells the relative path. The shell is asked only for a target the
    // file holds in no other form, an ID list or a network share.
    shell_link::Link link;
    if (!shell_link::Parse(ReadFileStart(path, kMaxLinkBytes), FromAnsiCodePage, link)) {
        return false;
    }
    static constexpr ShortcutLookups kLookups = {IsExistingFile, ExpandEnvironment, FullPath};
    std::wstring target = NativeShortcutTarget(link, path, kLookups);
    if (target.empty() && link.hasIdList) {
        target = ShellTarget(path);
    }
    if (target.empty()) {
        return false;
    }
    out.target = target;
    out.arguments = link.arguments;
    out.workingDirectory = link.workingDirectory;
    return true;
}

CurrentDefault QueryCurrentDefault(const std::wstring& association) {
    CurrentDefault answer;
    ComApartment apartment;
    ComPointer<IApplicationAssociationRegistration> registration;
    HRESULT result = CreateInstance(CLSID_ApplicationAssociationRegistration,
                                    IID_IApplicationAssociationRegistration, registration.Out());
    if (FAILED(result)) {
        answer.reason = Because(L"the shell could not be asked", result);
        return answer;
    }
    const ASSOCIATIONTYPE type =
        !association.empty() && association[0] == L'.' ? AT_FILEEXTENSION : AT_URLPROTOCOL;
    TaskString progId;
    result = registration->QueryCurrentDefault(association.c_str(), type, AL_EFFECTIVE, progId.Out());
    if (result == HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION) ||
        result == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
        answer.reason = Because(L"no default is set", result);
    } else if (FAILED(result)) {
        answer.reason = Because(L"the shell could not tell", result);
    } else if (progId.Text().empty()) {
        answer.reason = L"the shell named no program";
    } else {
        answer.known = true;
        answer.progId = progId.Text();
    }
    return answer;
}

}  // namespace platform
