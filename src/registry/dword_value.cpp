// The one way Marovendel reads a number value, on either backend.
#include "registry/registry.h"

namespace registry {

Status ReadDword(const Key& key, const wchar_t* name, std::uint32_t& number) {
    ValueData data;
    // Anything longer than a DWORD is no DWORD: kMoreData says so.
    const Status status = QueryValue(key, name, 4, data);
    if (status == kMoreData) {
        return kUnsupportedType;
    }
    if (status != kSuccess) {
        return status;
    }
    if (data.type != kRegDword || data.bytes.size() != 4) {
        return kUnsupportedType;
    }
    number = static_cast<std::uint32_t>(data.bytes[0]) | (static_cast<std::uint32_t>(data.bytes[1]) << 8) |
             (static_cast<std::uint32_t>(data.bytes[2]) << 16) |
             (static_cast<std::uint32_t>(data.bytes[3]) << 24);
    return kSuccess;
}

}  // namespace registry
