// Writes a shell link (.lnk) through the shell's own link object, as
// Explorer does for a desktop shortcut:
//   make_shortcut <lnk path> <target> [arguments [start-in folder]]
// Exits 0 when the link was saved, 1 with a line on standard error otherwise.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdio>

namespace {

// Releases the COM object it holds.
template <typename Interface>
struct Held {
    Interface* object = nullptr;
    ~Held() {
        if (object != nullptr) {
            object->Release();
        }
    }
    void** Out() { return reinterpret_cast<void**>(&object); }
};

int Fail(const char* what, HRESULT result) {
    std::fprintf(stderr, "make_shortcut: %s failed (0x%08lX)\n", what,
                 static_cast<unsigned long>(result));
    return 1;
}

int Save(const wchar_t* lnk, const wchar_t* target, const wchar_t* arguments,
         const wchar_t* folder) {
    Held<IShellLinkW> link;
    Held<IPersistFile> file;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, link.Out());
    if (FAILED(result)) {
        return Fail("CoCreateInstance(CLSID_ShellLink)", result);
    }
    if (FAILED(result = link.object->SetPath(target))) {
        return Fail("IShellLinkW::SetPath", result);
    }
    if (FAILED(result = link.object->SetArguments(arguments))) {
        return Fail("IShellLinkW::SetArguments", result);
    }
    if (*folder != L'\0' && FAILED(result = link.object->SetWorkingDirectory(folder))) {
        return Fail("IShellLinkW::SetWorkingDirectory", result);
    }
    if (FAILED(result = link.object->QueryInterface(IID_IPersistFile, file.Out()))) {
        return Fail("QueryInterface(IPersistFile)", result);
    }
    if (FAILED(result = file.object->Save(lnk, TRUE))) {
        return Fail("IPersistFile::Save", result);
    }
    return 0;
}

}  // namespace

extern "C" int wmain(int argc, wchar_t** argv) {
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: make_shortcut <lnk path> <target> [arguments [start-in folder]]\n");
        return 2;
    }
    const HRESULT apartment = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(apartment)) {
        return Fail("CoInitializeEx", apartment);
    }
    const int status = Save(argv[1], argv[2], argc >= 4 ? argv[3] : L"", argc == 5 ? argv[4] : L"");
    CoUninitialize();
    return status;
}
