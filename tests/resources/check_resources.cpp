// Reads the resources of a built Marovendel.exe through the same Windows
// calls that Explorer and the Properties dialog use, and checks the version
// record, the application icon and the application manifest, which it
// prints as read back.
//
// Usage: check_resources <path to Marovendel.exe>
// Prints one line per check, then "N passed, M failed"; exits 1 on any
// failure.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
    }
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    return out;
}

uint16_t ReadLe16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t ReadBe32(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// ---------------------------------------------------------------------------
// Version record
// ---------------------------------------------------------------------------

// A string of the U.S. English / code page 1252 table, or nullptr.
const wchar_t* VersionString(std::vector<unsigned char>& block, const wchar_t* name) {
    std::wstring path = L"\\StringFileInfo\\040904E4\\";
    path += name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr) {
        return nullptr;
    }
    return static_cast<const wchar_t*>(value);
}

void CheckVersionRecord(const wchar_t* exe) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(exe, &ignored);
    Check(size != 0, "the exe has a version record (GetFileVersionInfoSizeW)");
    if (size == 0) {
        return;
    }
    std::vector<unsigned char> block(size);
    bool read = GetFileVersionInfoW(exe, 0, size, block.data()) != FALSE;
    Check(read, "GetFileVersionInfoW reads the version record");
    if (!read) {
        return;
    }

    void* value = nullptr;
    UINT length = 0;
    bool haveFixed = VerQueryValueW(block.data(), L"\\", &value, &length) && value != nullptr &&
                     length >= sizeof(VS_FIXEDFILEINFO);
    Check(haveFixed, "VS_FIXEDFILEINFO is present");
    if (haveFixed) {
        VS_FIXEDFILEINFO fixed;
        std::memcpy(&fixed, value, sizeof fixed);
        Check(fixed.dwSignature == 0xFEEF04BDu, "VS_FIXEDFILEINFO signature is 0xFEEF04BD");
        char text[128];
        std::snprintf(text, sizeof text, "file version is 1.0.0.0 (found %lu.%lu.%lu.%lu)",
                      static_cast<unsigned long>(HIWORD(fixed.dwFileVersionMS)),
                      static_cast<unsigned long>(LOWORD(fixed.dwFileVersionMS)),
                      static_cast<unsigned long>(HIWORD(fixed.dwFileVersionLS)),
                      static_cast<unsigned long>(LOWORD(fixed.dwFileVersionLS)));
        Check(fixed.dwFileVersionMS == 0x00010000u && fixed.dwFileVersionLS == 0, text);
        std::snprintf(text, sizeof text, "product version is 1.0.0.0 (found %lu.%lu.%lu.%lu)",
                      static_cast<unsigned long>(HIWORD(fixed.dwProductVersionMS)),
                      static_cast<unsigned long>(LOWORD(fixed.dwProductVersionMS)),
                      static_cast<unsigned long>(HIWORD(fixed.dwProductVersionLS)),
                      static_cast<unsigned long>(LOWORD(fixed.dwProductVersionLS)));
        Check(fixed.dwProductVersionMS == 0x00010000u && fixed.dwProductVersionLS == 0, text);
        Check(fixed.dwFileType == VFT_APP, "file type is VFT_APP");
    }

    value = nullptr;
    length = 0;
    bool haveTranslation = VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value,
                                          &length) &&
                           value != nullptr && length >= 4;
    Check(haveTranslation, "\\VarFileInfo\\Translation is present");
    if (haveTranslation) {
        const unsigned char* pair = static_cast<const unsigned char*>(value);
        uint16_t language = ReadLe16(pair);
        uint16_t codePage = ReadLe16(pair + 2);
        char text[128];
        std::snprintf(text, sizeof text,
                      "translation is 0x0409, 1252 (found 0x%04X, %u)", language, codePage);
        Check(language == 0x0409 && codePage == 1252, text);
    }

    struct Expected {
        const wchar_t* name;
        const wchar_t* value;  // nullptr: any non-empty text
    };
    const Expected strings[] = {
        {L"FileVersion", L"1.0"},
        {L"ProductVersion", L"1.0"},
        {L"InternalName", L"Marovendel"},
        {L"ProductName", L"Marovendel"},
        {L"OriginalFilename", L"Marovendel.exe"},
        {L"CompanyName", nullptr},
        {L"FileDescription", nullptr},
        {L"LegalCopyright", nullptr},
    };
    for (const Expected& expected : strings) {
        const wchar_t* found = VersionString(block, expected.name);
        std::string what = "StringFileInfo\\040904E4\\" + Narrow(expected.name);
        if (expected.value != nullptr) {
            what += " is \"" + Narrow(expected.value) + "\"";
        } else {
            what += " is not empty";
        }
        what += found != nullptr ? " (found \"" + Narrow(found) + "\")" : " (missing)";
        bool ok = found != nullptr && (expected.value != nullptr
                                           ? std::wcscmp(found, expected.value) == 0
                                           : found[0] != L'\0');
        Check(ok, what);
    }
}

// ---------------------------------------------------------------------------
// Icon
// ---------------------------------------------------------------------------

// The bytes of a resource, empty when it is not there.
std::vector<unsigned char> ResourceBytes(HMODULE module, LPCWSTR name, LPCWSTR type) {
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr) {
        return {};
    }
    DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0) {
        return {};
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

void CheckPngImage(const std::vector<unsigned char>& image, const std::string& label) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bool signature = image.size() >= 8 && std::memcmp(image.data(), kSignature, 8) == 0;
    Check(signature, label + " starts with the PNG signature");
    // The first chunk: length 13, "IHDR", width, height, depth, colour type.
    bool header = image.size() >= 8 + 8 + 13 && ReadBe32(&image[8]) == 13 &&
                  std::memcmp(&image[12], "IHDR", 4) == 0;
    Check(header, label + " has an IHDR chunk first");
    if (!header) {
        return;
    }
    uint32_t width = ReadBe32(&image[16]);
    uint32_t height = ReadBe32(&image[20]);
    unsigned depth = image[24];
    unsigned colourType = image[25];
    char text[160];
    std::snprintf(text, sizeof text,
                  " IHDR is 256x256, 8-bit, colour type 6 (found %lux%lu, %u-bit, type %u)",
                  static_cast<unsigned long>(width), static_cast<unsigned long>(height), depth,
                  colourType);
    Check(width == 256 && height == 256 && depth == 8 && colourType == 6, label + text);
}

void CheckDibImage(const std::vector<unsigned char>& image, unsigned size,
                   const std::string& label) {
    bool header = image.size() >= 40 && ReadLe32(&image[0]) == 40;
    Check(header, label + " starts with a BITMAPINFOHEADER");
    if (!header) {
        return;
    }
    int32_t width = static_cast<int32_t>(ReadLe32(&image[4]));
    int32_t height = static_cast<int32_t>(ReadLe32(&image[8]));
    unsigned planes = ReadLe16(&image[12]);
    unsigned bits = ReadLe16(&image[14]);
    uint32_t compression = ReadLe32(&image[16]);
    char text[200];
    std::snprintf(text, sizeof text,
                  " is %ux%u (height doubled), 1 plane, 32 bpp, BI_RGB "
                  "(found %ldx%ld, %u plane(s), %u bpp, compression %lu)",
                  size, size * 2, static_cast<long>(width), static_cast<long>(height), planes,
                  bits, static_cast<unsigned long>(compression));
    Check(width == static_cast<int32_t>(size) && height == static_cast<int32_t>(size * 2) &&
              planes == 1 && bits == 32 && compression == BI_RGB,
          label + text);

    size_t colourBytes = size_t{size} * size * 4;
    size_t maskBytes = size_t{(size + 31) / 32 * 4} * size;
    bool complete = image.size() >= 40 + colourBytes + maskBytes;
    Check(complete, label + " holds the BGRA pixels and the AND mask");
    if (!complete || bits != 32) {
        return;
    }
    // A real icon on a transparent background: some pixels clear, some solid,
    // and the AND mask marks the clear ones.
    size_t clear = 0;
    size_t solid = 0;
    size_t maskDisagrees = 0;
    const unsigned char* pixels = &image[40];
    const unsigned char* mask = pixels + colourBytes;
    unsigned maskStride = (size + 31) / 32 * 4;
    for (unsigned y = 0; y < size; ++y) {
        for (unsigned x = 0; x < size; ++x) {
            unsigned alpha = pixels[(size_t{y} * size + x) * 4 + 3];
            bool maskBit = (mask[size_t{y} * maskStride + x / 8] & (0x80 >> (x % 8))) != 0;
            if (alpha == 0) {
                ++clear;
            } else if (alpha == 255) {
                ++solid;
            }
            if (maskBit != (alpha == 0)) {
                ++maskDisagrees;
            }
        }
    }
    size_t total = size_t{size} * size;
    Check(clear >= total / 20 && solid >= total / 4,
          label + " has a transparent background and an opaque motif");
    Check(maskDisagrees == 0, label + " AND mask matches the transparent pixels");
}

void CheckIcon(HMODULE module) {
    std::vector<unsigned char> group =
        ResourceBytes(module, MAKEINTRESOURCEW(5000), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    Check(!group.empty(), "icon group 5000 (RT_GROUP_ICON) is present");
    if (group.size() < 6) {
        return;
    }
    unsigned type = ReadLe16(&group[2]);
    unsigned count = ReadLe16(&group[4]);
    Check(ReadLe16(&group[0]) == 0 && type == 1, "GRPICONDIR is an icon directory");
    char text[160];
    std::snprintf(text, sizeof text, "icon group has 6 images (found %u)", count);
    Check(count == 6, text);
    if (group.size() < 6 + size_t{count} * 14) {
        Check(false, "icon group holds all its entries");
        return;
    }

    // Largest first, as the icon file lists them; 256 is recorded as 0.
    const unsigned kSizes[6] = {256, 128, 64, 48, 32, 16};
    std::vector<unsigned> ids;
    for (unsigned i = 0; i < count && i < 6; ++i) {
        const unsigned char* entry = &group[6 + i * 14];
        unsigned width = entry[0] == 0 ? 256 : entry[0];
        unsigned height = entry[1] == 0 ? 256 : entry[1];
        unsigned bits = ReadLe16(entry + 6);
        uint32_t bytesInRes = ReadLe32(entry + 8);
        unsigned id = ReadLe16(entry + 12);
        unsigned want = kSizes[i];
        std::snprintf(text, sizeof text,
                      "icon entry %u is %ux%u at 32 bpp (found %ux%u at %u bpp, id %u)", i,
                      want, want, width, height, bits, id);
        Check(width == want && height == want && bits == 32 &&
                  entry[0] == (want == 256 ? 0 : want),
              text);

        bool repeated = false;
        for (unsigned seen : ids) {
            repeated = repeated || seen == id;
        }
        ids.push_back(id);
        std::snprintf(text, sizeof text, "icon entry %u has its own image id", i);
        Check(!repeated, text);

        std::vector<unsigned char> image =
            ResourceBytes(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3) /* RT_ICON */);
        std::string label = "icon " + std::to_string(want) + " px";
        std::snprintf(text, sizeof text, " (RT_ICON %u) is present, %lu bytes as recorded", id,
                      static_cast<unsigned long>(bytesInRes));
        Check(!image.empty() && image.size() == bytesInRes, label + text);
        if (image.empty()) {
            continue;
        }
        if (want == 256) {
            CheckPngImage(image, label);
        } else {
            CheckDibImage(image, want, label);
        }
    }
}

// ---------------------------------------------------------------------------
// Manifest
// ---------------------------------------------------------------------------

BOOL CALLBACK CountManifest(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR ids) {
    reinterpret_cast<std::vector<ULONG_PTR>*>(ids)->push_back(
        IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
    return TRUE;
}

// The element that starts with open ("<supportedOS") at or after from, up to
// its closing '>', or empty; from moves past it.
std::string NextElement(const std::string& text, const std::string& open, size_t& from) {
    const size_t start = text.find(open, from);
    const size_t end = start == std::string::npos ? start : text.find('>', start);
    if (end == std::string::npos) {
        from = std::string::npos;
        return std::string();
    }
    from = end + 1;
    return text.substr(start, end + 1 - start);
}

// The value of attribute name="..." in element, or empty.
std::string Attribute(const std::string& element, const std::string& name) {
    const std::string open = " " + name + "=\"";
    const size_t start = element.find(open);
    const size_t end = start == std::string::npos ? start : element.find('"', start + open.size());
    return end == std::string::npos ? std::string()
                                    : element.substr(start + open.size(), end - start - open.size());
}

void CheckManifest(HMODULE module) {
    std::vector<ULONG_PTR> ids;
    EnumResourceNamesW(module, MAKEINTRESOURCEW(24) /* RT_MANIFEST */, CountManifest,
                       reinterpret_cast<LONG_PTR>(&ids));
    char text[128];
    std::snprintf(text, sizeof text, "one RT_MANIFEST resource (found %u)",
                  static_cast<unsigned>(ids.size()));
    Check(ids.size() == 1, text);

    // CREATEPROCESS_MANIFEST_RESOURCE_ID: the one Windows reads for an exe.
    const std::vector<unsigned char> bytes =
        ResourceBytes(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    Check(!bytes.empty(), "RT_MANIFEST 1 is present (FindResourceW, LoadResource, SizeofResource)");
    if (bytes.empty()) {
        return;
    }
    const std::string manifest(bytes.begin(), bytes.end());
    std::printf("--- manifest as read back, %u bytes\n%s%s---\n",
                static_cast<unsigned>(bytes.size()), manifest.c_str(),
                manifest.back() == '\n' ? "" : "\n");

    size_t from = 0;
    const std::string level = NextElement(manifest, "<requestedExecutionLevel", from);
    Check(manifest.find("<trustInfo") != std::string::npos && manifest.find("<trustInfo") <
              manifest.find("<requestedExecutionLevel"),
          "requestedExecutionLevel is inside trustInfo");
    Check(Attribute(level, "level") == "asInvoker" && Attribute(level, "uiAccess") == "false",
          "requestedExecutionLevel is level=\"asInvoker\" uiAccess=\"false\" (found " + level +
              ")");

    std::vector<std::string> found;
    from = 0;
    for (;;) {
        std::string id = Attribute(NextElement(manifest, "<supportedOS", from), "Id");
        if (from == std::string::npos) {
            break;
        }
        std::transform(id.begin(), id.end(), id.begin(),
                       [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        found.push_back(id);
    }
    std::vector<std::string> expected = {
        "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // Windows 7
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // Windows 8
        "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // Windows 8.1
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // Windows 10 and 11
    };
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    std::string list;
    for (const std::string& id : found) {
        list += (list.empty() ? "" : " ") + id;
    }
    Check(found == expected,
          "supportedOS names Windows 7, 8, 8.1 and 10/11, nothing else (found " + list + ")");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::printf("usage: check_resources <path to Marovendel.exe>\n");
        return 2;
    }
    const wchar_t* exe = argv[1];
    std::printf("checking %s\n", Narrow(exe).c_str());

    CheckVersionRecord(exe);

    HMODULE module = LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    Check(module != nullptr, "LoadLibraryExW loads the exe as a data file");
    if (module != nullptr) {
        CheckIcon(module);
        CheckManifest(module);
        FreeLibrary(module);
    }

    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
