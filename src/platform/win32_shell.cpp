// The platform seam's calls into the shell on Windows. shell32 and ole32 are
// loaded when one of these first runs, never at start-up: most commands need
// neither.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>

#include "platform/platform.h"
#include "platform/system_library.h"

namespace platform {

namespace {

constexpr const wchar_t* kShell32 = L"shell32.dll";
constexpr const wchar_t* kOle32 = L"ole32.dll";

using CoInitializeExFunction = HRESULT(WINAPI*)(LPVOID, DWORD);
using CoUninitializeFunction = void(WINAPI*)();
using ShellExecuteExWFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
using SHChangeNotifyFunction = void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID);

// ShellExecuteExW may hand a URI to a COM handler, which wants the thread in
// a single-threaded apartment for the length of the call.
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

}  // namespace

void NotifyAssociationsChanged() {
    const auto notify = SystemFunction<SHChangeNotifyFunction>(kShell32, "SHChangeNotify");
    if (notify != nullptr) {
        notify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    }
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

}  // namespace platform
