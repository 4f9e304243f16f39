// Byte builders and catalogue constructors shared by the package tests.
#include "package_test_util.h"
#include <cstring>

namespace pkgtest {

Bytes Chunk(const char* id, const Bytes& data) {
    Image image;
    image.Id(id).U32(static_cast<uint32_t>(data.size())).Raw(data);
    if (data.size() & 1) image.Zeros(1);
    return image.b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes List(const char* type, std::initializer_list<Bytes> children) {
    Bytes body = Concat(children);
    Image image;
    image.Id("LIST").U32(static_cast<uint32_t>(4 + body.size())).Id(type).Raw(body);
    return image.b;
}

Bytes Riff(const char* form, std::initializer_list<Bytes> children) {
    Bytes body = Concat(children);
    Image image;
    image.Id("RIFF").U32(static_cast<uint32_t>(4 + body.size())).Id(form).Raw(body);
    return image.b;
}

Bytes FormatRecord(uint32_t version, uint32_t plugIns, uint32_t chains) {
    return Image().U32(version).U32(plugIns).U32(chains).U32(0).b;
}

Bytes PlugInHeader11(uint32_t flags, uint32_t major, uint32_t minor, const std::wstring& classId,
                     const std::wstring& name, uint32_t presetCount) {
    return Image().U32(presetCount).U32(flags).U32(major).U32(minor).Text(classId, 40).Text(name, 260).b;
}

Bytes PlugInHeader10(uint32_t flags, const std::wstring& classId, const std::wstring& name, uint32_t presetCount) {
    return Image().U32(presetCount).U32(flags).Text(classId, 40).Text(name, 260).b;
}

Bytes PresetRecord(const std::wstring& name, const Bytes& data) {
    return Image().Text(name, 260).U32(static_cast<uint32_t>(data.size())).Raw(data).b;
}

Bytes ChainRecord(uint32_t flags, uint32_t type, const std::wstring& name, const std::wstring& id, const Bytes& data) {
    return Image().U32(0).U32(flags).U32(type).Text(name, 260).Text(id, 40).U32(static_cast<uint32_t>(data.size()))
        .Raw(data).b;
}

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes data(size);
    uint32_t x = 0x9E3779B9u * (seed + 1u);
    for (size_t i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        data[i] = static_cast<uint8_t>(x >> 24);
    }
    return data;
}

PresetEntry* MakePreset(const std::wstring& name, const Bytes& data) {
    auto* preset = new PresetEntry(name.c_str());
    if (!data.empty()) {
        uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(data.size()));
        memcpy(blob, data.data(), data.size());
        preset->AdoptData(blob, static_cast<uint32_t>(data.size()));
    }
    return preset;
}

PlugInEntry* MakePlugIn(const std::wstring& name, const std::wstring& classId,
                        std::initializer_list<PresetEntry*> presets, uint32_t flags, uint32_t major, uint32_t minor) {
    auto* plugIn = new PlugInEntry(name.c_str(), classId.c_str());
    plugIn->flags = flags;
    plugIn->majorVersion = major;
    plugIn->minorVersion = minor;
    for (PresetEntry* preset : presets) plugIn->AppendPreset(preset);
    return plugIn;
}

ChainEntry* MakeChain(const std::wstring& name, const std::wstring& id, uint32_t flags, uint32_t type,
                      const Bytes& stream) {
    auto* chain = new ChainEntry();
    CatalogueCopyText(chain->name, CATALOGUE_NAME_CHARS, name.c_str());
    CatalogueCopyText(chain->identifier, CATALOGUE_ID_CHARS, id.c_str());
    chain->flags = flags;
    chain->type = type;
    if (!stream.empty()) {
        uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(stream.size()));
        memcpy(blob, stream.data(), stream.size());
        chain->AdoptStream(blob, static_cast<uint32_t>(stream.size()));
    }
    return chain;
}

Bytes DataOf(const PresetEntry& preset) {
    return preset.data ? Bytes(preset.data, preset.data + preset.dataSize) : Bytes();
}

Bytes StreamOf(const ChainEntry& chain) {
    return chain.stream ? Bytes(chain.stream, chain.stream + chain.streamSize) : Bytes();
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return names;
}

std::vector<std::wstring> TempFilesIn(const std::wstring& folder) {
    std::vector<std::wstring> temps;
    for (const std::wstring& name : FilesIn(folder))
        if (name.size() >= 4 && name.compare(name.size() - 4, 4, L".tmp") == 0) temps.push_back(name);
    return temps;
}

} // namespace pkgtest
