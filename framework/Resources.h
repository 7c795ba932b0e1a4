#pragma once
// Named byte blobs built into the executable (form descriptions, images, cursors).
// cmake/Resources.cmake turns every file of a folder into a generated function
// `RegisterEmbeddedResources_<target>()` that registers the file's bytes under its base
// name in upper case without extension: resources/forms/MainForm.qfm becomes "MAINFORM".
// Form descriptions use the extension ".qfm".
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TResourceData {
    std::string Name;
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    std::string_view Text() const { return {reinterpret_cast<const char*>(Data), Size}; }
};

// The bytes are not copied: they must stay valid for the rest of the run (static arrays).
// Names ignore ASCII case; a second registration of a name replaces the first.
void RegisterResource(const std::string& name, const void* data, size_t size);
void UnregisterResource(const std::string& name);
std::optional<TResourceData> FindResource(const std::string& name);
