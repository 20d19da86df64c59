// The one way Marovendel reads a string value, on either backend.
#include <algorithm>

#include "registry/registry.h"

namespace registry {

namespace {

// Most values fit in the first read; a larger one is read again with room
// for it, up to the caller's limit.
constexpr std::size_t kFirstReadBytes = 2048;

bool IsAccepted(std::uint32_t type, std::uint32_t accepted) {
    return (type == kRegSz && (accepted & kAcceptSz) != 0) ||
           (type == kRegExpandSz && (accepted & kAcceptExpandSz) != 0);
}

}  // namespace

Status ReadString(const Key& key, const wchar_t* name, std::uint32_t accepted,
                  std::size_t maxBytes, std::wstring& text) {
    std::size_t bufferBytes = std::min(maxBytes, kFirstReadBytes);
    ValueData data;
    Status status = QueryValue(key, name, bufferBytes, data);
    while (status == kMoreData && bufferBytes < maxBytes) {
        bufferBytes = std::min(maxBytes, bufferBytes * 4);
        status = QueryValue(key, name, bufferBytes, data);
    }
    if (status != kSuccess) {
        return status;
    }
    if (!IsAccepted(data.type, accepted)) {
        return kUnsupportedType;
    }
    text = StringFromBytes(data.bytes);
    return kSuccess;
}

}  // namespace registry
