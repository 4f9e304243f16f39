// Feeds ReadPackageFile deterministic mutations of a varied corpus of valid packages, all in one process, and checks
// every read: it ends in success or a package failure code, in bounded time, without touching the caller's lists
// on failure; whatever reads is written again and must read back the same. Crashes, slow reads and broken checks
// are saved as reproducer files. Not a test: tools/fuzz.sh builds and runs it.
// Usage: package_fuzz run <work folder> <findings folder> <count> <seed>
//        package_fuzz replay <file>...
//        package_fuzz make <work folder> <seed> <index> <file>   (one mutation of a run, to look at or replay)
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "catalogue.h"
#include "fuzz_random.h"
#include "kvresult.h"
#include "package_builders.h"
#include "package_format.h"
#include "package_layout.h"
#include "../measure.h"

using namespace measure;
using namespace pkgtest;

namespace {

constexpr double kSlowRead = 1.0;       // seconds: a read this slow is saved
constexpr double kHungRead = 60.0;      // seconds: a read this slow ends the run
constexpr size_t kLargestMutant = 8u << 20; // mutations stop growing a mutant beyond this
constexpr int kMaxWalkDepth = 24;       // the structure guide looks no deeper; the reader must cope with any depth
constexpr size_t kMaxNodes = 20000;

// ---- Files

bool WriteWhole(const std::wstring& path, const Bytes& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) && done == bytes.size();
    CloseHandle(file);
    return ok;
}

bool ReadWhole(const std::wstring& path, Bytes* bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) != 0;
    bytes->resize(static_cast<size_t>(size.QuadPart));
    DWORD done = 0;
    ok = ok && (bytes->empty() || (ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &done, nullptr) &&
                                   done == bytes->size()));
    CloseHandle(file);
    return ok;
}

uint32_t LoadU32(const Bytes& b, size_t at) { return at + 4 <= b.size() ? PkgLoadU32(b.data() + at) : 0; }
void StoreU32(Bytes& b, size_t at, uint32_t value) {
    if (at + 4 <= b.size()) PkgStoreU32(b.data() + at, value);
}

// Each mutation has a generator of its own, made from the seed and its index.
using Random = FuzzRandom;

// ---- The corpus: valid packages with every feature of the format

struct Seed {
    const char* name;
    Bytes bytes;
    unsigned weight; // how often it is chosen, relative to the others
};

PlugInEntry* PlugInOf(const std::wstring& name, const std::wstring& classId, uint32_t flags, uint32_t major,
                      uint32_t minor, const std::vector<std::pair<std::wstring, Bytes>>& presets) {
    PlugInEntry* plugIn = MakePlugIn(name, classId, {}, flags, major, minor);
    for (const auto& [presetName, data] : presets) plugIn->AppendPreset(MakePreset(presetName, data));
    return plugIn;
}

Bytes Written(const std::wstring& path, const PlugInList* plugIns, const ChainList* chains) {
    Bytes bytes;
    if (WritePackageFile(path.c_str(), plugIns, chains) < 0 || !ReadWhole(path, &bytes)) bytes.clear();
    return bytes;
}

std::vector<Seed> MakeCorpus(const std::wstring& work) {
    const std::wstring path = work + L"\\seed.kvpreset";
    const std::wstring longName(259, L'n'), longId(39, L'k');
    std::vector<Seed> corpus;

    { // Written by the program: plug-ins, both kinds of tools, odd and even sizes around the data files' 256 bytes.
        PlugInList plugIns;
        ChainList chains;
        std::vector<std::pair<std::wstring, Bytes>> sized;
        for (size_t size : {1, 2, 3, 255, 256, 257, 4095, 4096})
            sized.push_back({L"Size " + std::to_wstring(size), Pattern(size, static_cast<uint8_t>(size))});
        plugIns.Append(PlugInOf(L"Echo", L"{7A3C0D11-5B2E-4F70-9C31-2D6E8B10A4F1}", 0, 0, 0, sized));
        plugIns.Append(PlugInOf(L"Reverb", L"", PLUGIN_LATHMERE_TOOL, 6, 0,
                                {{L"Gr\u00fcn \u263A", Pattern(9, 1)}, {longName, Pattern(300, 2)}}));
        plugIns.Append(PlugInOf(L"Limiter", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 7, 1,
                                {{L"Soft", Pattern(12, 3)}, {L"Hard", Pattern(13, 4)}}));
        plugIns.Append(PlugInOf(L"Empty", L"{E0000000-0000-4000-8000-00000000000E}", 0, 0, 0, {}));
        plugIns.Append(PlugInOf(longName, longId, 0, 0, 0, {{L"x", Pattern(2, 5)}}));
        chains.Append(MakeChain(L"Vocal", L"c1", 1, 2, Pattern(1, 6)));
        chains.Append(MakeChain(L"Drums", L"c2", 3, 4, Pattern(255, 7)));
        chains.Append(MakeChain(L"Bus", L"c3", 0, 0, Pattern(4096, 8)));
        chains.Append(MakeChain(longName, longId, 0xFFFFFFFFu, 9, Pattern(3, 9)));
        corpus.push_back({"program", Written(path, &plugIns, &chains), 10});
    }
    { // Chains only, odd and even.
        ChainList chains;
        for (size_t size : {1, 2, 7, 8, 513}) chains.Append(MakeChain(L"Chain", L"id", 0, 0, Pattern(size, 10)));
        corpus.push_back({"chains", Written(path, nullptr, &chains), 5});
    }
    { // Many small presets in one plug-in.
        PlugInList plugIns;
        std::vector<std::pair<std::wstring, Bytes>> presets;
        for (size_t size = 1; size <= 60; ++size)
            presets.push_back({L"P" + std::to_wstring(size), Pattern(size, static_cast<uint8_t>(size))});
        plugIns.Append(PlugInOf(L"Many", L"{B0000000-0000-4000-8000-00000000000B}", 0, 0, 0, presets));
        corpus.push_back({"many presets", Written(path, &plugIns, nullptr), 5});
    }
    // Version 1.0, laid out by hand: a chunk before the format, the format after the list.
    corpus.push_back({"version 1.0",
        Riff({Chunk("junk", Pattern(3, 1)),
              List("plgs", {List("plug", {Chunk("plgh", PlugInHeader(2, 0, L"{id}", L"Old", true)),
                                          List("plst", {List("pset", {Chunk("psth", PresetRecord(L"p", Pattern(5, 7)))}),
                                                        List("pset", {Chunk("psth", PresetRecord(L"q", Pattern(2, 8)))})})}),
                            List("plug", {Chunk("plgh", PlugInHeader(1, 1, L"", L"Old tool", true)),
                                          List("plst", {List("pset", {Chunk("psth", PresetRecord(L"r", Pattern(1, 9)))})})})}),
              Chunk("fmt ", FormatRecord(PACKAGE_VERSION_1_0, 2, 0))}),
        6});
    // Unknown chunks at every level, several lists of each kind, a short header, texts without terminators.
    corpus.push_back({"unusual layout",
        Riff({Chunk("junk", Pattern(3, 9)),
              List("plgs", {List("misc", {Chunk("abcd", Pattern(3, 0))}),
                            List("plug", {Chunk("note", Pattern(5, 5)), Chunk("plgh", PlugInHeader(2, 1, L"", L"Tool", false, 7, 1)),
                                          List("xtra", {}),
                                          List("plst", {List("junk", {}), List("pset", {Chunk("psth", PresetRecord(L"A", Pattern(9, 2)))}),
                                                        List("pset", {Chunk("meta", Pattern(1, 6)), Chunk("psth", PresetRecord(L"B", Pattern(6, 3)))})}),
                                          Chunk("tail", Pattern(2, 7))}),
                            List("plug", {Chunk("plgh", PlugInHeader(1, 0, std::wstring(40, L'k'), std::wstring(260, L'x'))),
                                          List("plst", {List("pset", {Chunk("psth", PresetRecord(std::wstring(260, L'x'), Pattern(1, 5)))})})}),
                            List("plug", {Chunk("plgh", Image().U32(1).U32(1).b),
                                          List("plst", {List("pset", {Chunk("psth", PresetRecord(L"s", Pattern(1, 5)))})})})}),
              List("INFO", {Chunk("ISFT", Pattern(4, 1))}), Chunk("fmt ", FormatRecord(PACKAGE_VERSION_1_1, 4, 2)),
              List("clst", {Chunk("odd!", Pattern(1, 8)), List("chn ", {Chunk("chnh", ChainRecord(1, 2, L"c1", L"id", Pattern(11, 4)))})}),
              List("plgs", {List("plug", {Chunk("plgh", PlugInHeader(1, 0, L"{id}", L"Second")),
                                          List("plst", {List("pset", {Chunk("psth", PresetRecord(L"p", Pattern(1, 5)))})})})}),
              List("clst", {List("chn ", {Chunk("chnh", ChainRecord(1, 2, L"c2", L"id", Pattern(9, 2)))})})}),
        8});
    { // Nothing at all.
        PlugInList plugIns;
        ChainList chains;
        corpus.push_back({"empty", Written(path, &plugIns, &chains), 2});
    }
    // A plug-in list with nothing after its type, and one chain.
    corpus.push_back({"hollow",
        Riff({Chunk("fmt ", FormatRecord(PACKAGE_VERSION_1_1, 1, 1)), List("plgs", {}),
              List("clst", {List("chn ", {Chunk("chnh", ChainRecord(0, 0, L"c", L"id", Pattern(4, 1)))})})}),
        3});
    { // Data larger than the reader's 1 MB window, as data files may hold.
        PlugInList plugIns;
        ChainList chains;
        plugIns.Append(PlugInOf(L"Large", L"{C0000000-0000-4000-8000-00000000000C}", 0, 0, 0,
                                {{L"Big", Pattern((1u << 20) + 101, 1)}, {L"Medium", Pattern(70001, 2)}}));
        chains.Append(MakeChain(L"Long", L"id", 0, 0, Pattern(65537, 3)));
        corpus.push_back({"large data", Written(path, &plugIns, &chains), 1});
    }
    DeleteFileW(path.c_str());
    return corpus;
}

// ---- A structure guide: where the chunks of a (possibly damaged) image are, so mutations can aim at them

struct Node {
    size_t at = 0;     // offset of the identifier
    uint32_t id = 0;
    uint32_t size = 0;
    uint32_t type = 0; // list or form type; 0 for other chunks
    int parent = -1;   // the enclosing list, -1 at the top
    size_t end = 0;    // where the next chunk starts
};

bool IsGroup(uint32_t id) { return id == RIFF_ID_LIST || id == RIFF_ID_RIFF; }

// Walks chunks from at within declared bytes, as the reader would. Returns the declared bytes that the file does not
// hold: chains of odd length count a pad byte that is not there, and so do their enclosing lists.
size_t Walk(const Bytes& b, size_t at, int64_t declared, int parent, int depth, std::vector<Node>* nodes) {
    size_t missing = 0;
    while (declared >= 8 && at + 8 <= b.size() && nodes->size() < kMaxNodes) {
        Node node;
        node.at = at;
        node.id = LoadU32(b, at);
        node.size = LoadU32(b, at + 4);
        node.parent = parent;
        declared -= 8 + PkgRounded(node.size);
        const size_t declaredEnd = at + 8 + static_cast<size_t>(PkgRounded(node.size));
        const int index = static_cast<int>(nodes->size());
        nodes->push_back(node);
        size_t lost = 0;
        if (IsGroup(node.id) && node.size >= 4 && at + 12 <= b.size()) {
            (*nodes)[index].type = LoadU32(b, at + 8);
            if (depth < kMaxWalkDepth) lost = Walk(b, at + 12, static_cast<int64_t>(node.size) - 4, index, depth + 1, nodes);
        } else if (node.id == PKG_CHUNK_CHAIN && node.size >= PKG_CHAIN_HEADER_SIZE) {
            uint32_t n = LoadU32(b, at + 8 + PKG_CHAIN_LENGTH);
            if (PkgRounded(static_cast<uint32_t>(PKG_CHAIN_HEADER_SIZE) + n) == node.size) lost = n & 1;
        }
        missing += lost;
        (*nodes)[index].end = declaredEnd - lost;
        if (declaredEnd - lost <= at) break;
        at = declaredEnd - lost;
    }
    return missing;
}

std::vector<Node> Structure(const Bytes& b) {
    std::vector<Node> nodes;
    Walk(b, 0, static_cast<int64_t>(b.size()), -1, 0, &nodes);
    return nodes;
}

// Adds delta to the size field of parent and of every list around it, as the writer would have.
void AdjustSizes(Bytes& b, const std::vector<Node>& nodes, int parent, int64_t delta) {
    for (int i = parent; i >= 0; i = nodes[i].parent)
        StoreU32(b, nodes[i].at + 4, static_cast<uint32_t>(LoadU32(b, nodes[i].at + 4) + delta));
}

// ---- Mutations

enum MutationKind {
    MUT_BIT_FLIPS, MUT_BYTE_SETS, MUT_TRUNCATION, MUT_SIZE_FIELD, MUT_SPLICE, MUT_DUPLICATION, MUT_REMOVAL,
    MUT_NESTING, MUT_HUGE_LENGTH, MUT_HUGE_COUNT, MUT_SWAP, MUT_IDENTIFIER, MUT_VERSION, MUT_KINDS
};
const char* const kMutationNames[MUT_KINDS] = {
    "bit flips", "byte sets", "truncations", "size and length fields", "chunk splices", "chunk duplications",
    "chunk removals", "list nesting", "huge data lengths", "huge counts", "chunk swaps", "identifiers",
    "format versions"};

const uint32_t kKnownIds[] = {RIFF_ID_RIFF, RIFF_ID_LIST, PKG_FORM_KVPD, PKG_CHUNK_FMT, PKG_LIST_PLUGINS,
                              PKG_LIST_PLUGIN, PKG_CHUNK_PLUGIN_HEADER, PKG_LIST_PRESETS, PKG_LIST_PRESET,
                              PKG_CHUNK_PRESET, PKG_LIST_CHAINS, PKG_LIST_CHAIN, PKG_CHUNK_CHAIN, RIFF_ID('j', 'u', 'n', 'k')};

// A byte offset, half the time inside the first 16 bytes of some chunk, where the headers and records are.
size_t PickOffset(const Bytes& b, const std::vector<Node>& nodes, Random& random) {
    if (!nodes.empty() && random.OneIn(2)) return std::min(b.size() - 1, nodes[random.Below(nodes.size())].at + random.Below(16));
    return random.Below(b.size());
}

// The offset of a size, length or count field, and the value it holds.
size_t PickField(const std::vector<Node>& nodes, Random& random) {
    const Node& node = nodes[random.Below(nodes.size())];
    const size_t data = node.at + 8;
    switch (node.id) {
    case PKG_CHUNK_PRESET: return random.OneIn(2) ? data + PKG_PRESET_LENGTH : node.at + 4;
    case PKG_CHUNK_CHAIN: return random.OneIn(2) ? data + PKG_CHAIN_LENGTH : node.at + 4;
    default: return node.at + 4;
    }
}

uint32_t InterestingValue(uint32_t old, const Bytes& b, Random& random) {
    const uint32_t fixed[] = {0, 1, 3, 4, 7, 8, 11, 12, 16, 523, 524, 525, 607, 608, 615, 616, 617, 0x7FFFFFFF,
                              0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u, 0xFFFFFFFCu, 0x10000, 0x100000};
    const uint32_t nearby[] = {old + 1, old - 1, old + 2, old - 2, old + 4, old - 4, old + 8, old - 8, old - 12,
                             old * 2, old / 2, old + 0x10000, static_cast<uint32_t>(b.size()),
                             static_cast<uint32_t>(b.size()) - old};
    switch (random.Below(3)) {
    case 0: return random.Pick(fixed);
    case 1: return random.Pick(nearby);
    default: return static_cast<uint32_t>(random.Next());
    }
}

// A piece of some chunk, from this image or another seed.
Bytes PickPiece(const Bytes& b, const std::vector<Node>& nodes, const std::vector<Seed>& corpus, Random& random) {
    const Bytes& donor = random.OneIn(2) ? b : corpus[random.Below(corpus.size())].bytes;
    std::vector<Node> donorNodes = &donor == &b ? nodes : Structure(donor);
    if (donorNodes.empty()) return {};
    const Node& node = donorNodes[random.Below(donorNodes.size())];
    size_t end = std::min(node.end, donor.size());
    if (random.OneIn(4)) end = std::min(end, node.at + 1 + random.Below(700)); // a part of it only
    return end > node.at ? Bytes(donor.begin() + node.at, donor.begin() + end) : Bytes();
}

void Insert(Bytes& b, size_t at, const Bytes& piece) { b.insert(b.begin() + std::min(at, b.size()), piece.begin(), piece.end()); }

// Applies one mutation of the given kind; the structure guide is taken afresh each time.
void Mutate(Bytes& b, MutationKind kind, const std::vector<Seed>& corpus, Random& random) {
    if (b.empty()) return;
    const std::vector<Node> nodes = Structure(b);
    const bool fix = !random.OneIn(4); // keep the enclosing sizes consistent, so the damage reaches deeper
    auto anyNode = [&]() -> const Node* { return nodes.empty() ? nullptr : &nodes[random.Below(nodes.size())]; };
    switch (kind) {
    case MUT_BIT_FLIPS:
        for (size_t n = 1 + random.Below(8); n > 0; --n) b[PickOffset(b, nodes, random)] ^= static_cast<uint8_t>(1u << random.Below(8));
        break;
    case MUT_BYTE_SETS: {
        const uint8_t values[] = {0, 1, 0x7F, 0x80, 0xFF, 0xFE, 'L', 'I', 'S', 'T'};
        for (size_t n = 1 + random.Below(4); n > 0; --n)
            b[PickOffset(b, nodes, random)] = random.OneIn(3) ? static_cast<uint8_t>(random.Next()) : random.Pick(values);
        break;
    }
    case MUT_TRUNCATION: {
        const Node* node = anyNode();
        size_t cut = node && random.OneIn(2) ? (random.OneIn(2) ? node->at + random.Below(16) : node->end - random.Below(3))
                                             : random.Below(b.size());
        b.resize(std::min(cut, b.size()));
        break;
    }
    case MUT_SIZE_FIELD: {
        if (nodes.empty()) break;
        size_t at = PickField(nodes, random);
        StoreU32(b, at, InterestingValue(LoadU32(b, at), b, random));
        break;
    }
    case MUT_SPLICE: {
        const Node* node = anyNode();
        Bytes piece = PickPiece(b, nodes, corpus, random);
        if (!node || piece.empty()) break;
        // Before a chunk, after it, or as the first chunk of a list; or anywhere at all.
        int parent = node->parent;
        size_t at = node->at;
        switch (random.Below(4)) {
        case 0: break;
        case 1: at = node->end; break;
        case 2:
            if (IsGroup(node->id)) {
                at = node->at + 12;
                parent = static_cast<int>(node - nodes.data());
            }
            break;
        default:
            at = random.Below(b.size() + 1);
            parent = -1;
        }
        if (random.OneIn(3) && at < b.size()) { // over the bytes there rather than between them
            std::copy(piece.begin(), piece.begin() + std::min(piece.size(), b.size() - at), b.begin() + at);
            break;
        }
        Insert(b, at, piece);
        if (fix) AdjustSizes(b, nodes, parent, static_cast<int64_t>(piece.size()));
        break;
    }
    case MUT_DUPLICATION: {
        const Node* node = anyNode();
        if (!node || node->end > b.size() || node->end <= node->at) break;
        Bytes piece(b.begin() + node->at, b.begin() + node->end);
        for (size_t copies = random.OneIn(8) ? 2 + random.Below(30) : 1; copies > 0; --copies) {
            Insert(b, node->end, piece);
            if (fix) AdjustSizes(b, nodes, node->parent, static_cast<int64_t>(piece.size()));
            if (b.size() > kLargestMutant) break;
        }
        break;
    }
    case MUT_REMOVAL: {
        const Node* node = anyNode();
        if (!node || node->parent < 0) break;
        size_t end = std::min(node->end, b.size());
        b.erase(b.begin() + node->at, b.begin() + end);
        if (fix) AdjustSizes(b, nodes, node->parent, -static_cast<int64_t>(end - node->at));
        break;
    }
    case MUT_NESTING: {
        const Node* node = anyNode();
        if (!node || node->parent < 0) break;
        // A chunk wrapped in one list, or in thousands, each of a known type or of none.
        size_t levels = random.OneIn(8) ? 1 + random.Below(3000) : 1;
        uint32_t type = random.OneIn(4) ? static_cast<uint32_t>(random.Next()) : random.Pick(kKnownIds);
        size_t inner = std::min(node->end, b.size()) - node->at;
        Bytes prefix(12 * levels);
        for (size_t level = 0; level < levels; ++level) { // outermost first
            size_t at = 12 * level;
            StoreU32(prefix, at, RIFF_ID_LIST);
            StoreU32(prefix, at + 4, static_cast<uint32_t>(4 + 12 * (levels - level - 1) + inner));
            StoreU32(prefix, at + 8, type);
        }
        Insert(b, node->at, prefix);
        if (fix) AdjustSizes(b, nodes, node->parent, static_cast<int64_t>(prefix.size()));
        break;
    }
    case MUT_HUGE_LENGTH: {
        // A data length the file cannot hold, with every size around it saying it does: only the file's end stops it.
        std::vector<const Node*> records;
        for (const Node& node : nodes)
            if (node.id == PKG_CHUNK_PRESET || node.id == PKG_CHUNK_CHAIN) records.push_back(&node);
        if (records.empty()) break;
        const Node& node = *records[random.Below(records.size())];
        const bool preset = node.id == PKG_CHUNK_PRESET;
        const uint32_t header = preset ? PKG_PRESET_HEADER_SIZE : PKG_CHAIN_HEADER_SIZE;
        const uint32_t lengths[] = {0x7FFFFFF0u, 0xFFFFFFFFu - header, 0x10000000u, 0x00FFFFFFu,
                                    static_cast<uint32_t>(2 * b.size()), static_cast<uint32_t>(b.size() - node.at)};
        uint32_t n = random.Pick(lengths);
        uint32_t newSize = header + n + ((header + n) & 1);
        int64_t delta = static_cast<int64_t>(newSize) - node.size;
        StoreU32(b, node.at + 8 + (preset ? PKG_PRESET_LENGTH : PKG_CHAIN_LENGTH), n);
        StoreU32(b, node.at + 4, newSize);
        if (fix) AdjustSizes(b, nodes, node.parent, delta);
        break;
    }
    case MUT_HUGE_COUNT: {
        // The counts the reader ignores: the format record's, the plug-in header's and the chain record's.
        std::vector<size_t> counts;
        for (const Node& node : nodes) {
            if (node.id == PKG_CHUNK_FMT) counts.insert(counts.end(), {node.at + 12, node.at + 16});
            if (node.id == PKG_CHUNK_PLUGIN_HEADER || node.id == PKG_CHUNK_CHAIN) counts.push_back(node.at + 8);
        }
        if (counts.empty()) break;
        const uint32_t values[] = {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 1000000, 0};
        StoreU32(b, counts[random.Below(counts.size())], random.Pick(values));
        break;
    }
    case MUT_SWAP: {
        const Node* first = anyNode();
        if (!first) break;
        std::vector<const Node*> siblings;
        for (const Node& node : nodes)
            if (node.parent == first->parent && node.at > first->at && node.at >= first->end) siblings.push_back(&node);
        if (siblings.empty()) break;
        const Node* second = siblings[random.Below(siblings.size())];
        size_t secondEnd = std::min(second->end, b.size());
        if (secondEnd <= second->at) break;
        Bytes a(b.begin() + first->at, b.begin() + first->end), c(b.begin() + second->at, b.begin() + secondEnd),
            between(b.begin() + first->end, b.begin() + second->at);
        Bytes swapped;
        swapped.reserve(a.size() + c.size() + between.size());
        swapped.insert(swapped.end(), c.begin(), c.end());
        swapped.insert(swapped.end(), between.begin(), between.end());
        swapped.insert(swapped.end(), a.begin(), a.end());
        std::copy(swapped.begin(), swapped.end(), b.begin() + first->at);
        break;
    }
    case MUT_IDENTIFIER: {
        const Node* node = anyNode();
        if (!node) break;
        size_t at = IsGroup(node->id) && random.OneIn(2) ? node->at + 8 : node->at;
        StoreU32(b, at, random.Pick(kKnownIds));
        break;
    }
    case MUT_VERSION: {
        for (const Node& node : nodes) {
            if (node.id != PKG_CHUNK_FMT) continue;
            const uint32_t versions[] = {PACKAGE_VERSION_1_0, PACKAGE_VERSION_1_1, 0x00010002, 0, 0xFFFFFFFFu};
            StoreU32(b, node.at + 8, random.Pick(versions));
            break;
        }
        break;
    }
    default: break;
    }
}

// Mutation index of the run from seed: a seed package chosen by weight, then one to four mutations.
Bytes MakeMutant(const std::vector<Seed>& corpus, uint64_t seed, uint64_t index, unsigned* kindsUsed) {
    Random random(seed, index);
    unsigned totalWeight = 0;
    for (const Seed& candidate : corpus) totalWeight += candidate.weight;
    size_t pick = random.Below(totalWeight);
    const Seed* source = &corpus[0];
    for (const Seed& candidate : corpus) {
        if (pick < candidate.weight) {
            source = &candidate;
            break;
        }
        pick -= candidate.weight;
    }
    Bytes mutant = source->bytes;
    for (size_t n = random.OneIn(3) ? 2 + random.Below(3) : 1; n > 0 && mutant.size() <= kLargestMutant; --n) {
        auto kind = static_cast<MutationKind>(random.Below(MUT_KINDS));
        Mutate(mutant, kind, corpus, random);
        *kindsUsed |= 1u << kind;
    }
    return mutant;
}

// ---- One check: read, classify, write back, read back

struct Check {
    HRESULT code = S_OK;
    double seconds = 0;  // the slower of the read and the read back
    std::string finding; // what broke, empty when nothing did
};

// When the read now running began (0 while none runs): the watchdog thread reads it.
std::atomic<double> g_readStart{0};

HRESULT TimedRead(const std::wstring& path, PlugInList* plugIns, ChainList* chains, double* seconds) {
    double start = Now();
    g_readStart = start;
    HRESULT hr = ReadPackageFile(path.c_str(), plugIns, chains);
    g_readStart = 0;
    *seconds = std::max(*seconds, Now() - start);
    return hr;
}

bool IsPackageFailure(HRESULT hr) {
    return hr == KV_E_READ || hr == KV_E_NOT_FOUND || hr == KV_E_UNSUPPORTED || hr == KV_E_OUTOFMEMORY;
}

// Reads path into lists that already hold an entry each, as the caller's would. On success the result is written
// again beside it and read back, and must equal the first read.
Check CheckOne(const std::wstring& path, const std::wstring& rewritten) {
    Check check;
    PlugInList plugIns;
    ChainList chains;
    plugIns.Append(MakePlugIn(L"Mine", L"{mine}", {MakePreset(L"kept", Pattern(2, 2))}));
    chains.Append(MakeChain(L"mine", L"id", 0, 0, Pattern(2, 3)));
    check.code = TimedRead(path, &plugIns, &chains, &check.seconds);
    if (check.code < 0) {
        if (!IsPackageFailure(check.code)) check.finding = "unexpected failure code";
        else if (plugIns.Count() != 1 || chains.Count() != 1) check.finding = "a failed read changed the caller's lists";
        return check;
    }
    if (check.code != S_OK) {
        check.finding = "a result other than success or failure";
        return check;
    }
    if (std::wstring(plugIns.At(0)->name) != L"Mine" || std::wstring(chains.At(0)->name) != L"mine") {
        check.finding = "a read replaced the caller's entries";
        return check;
    }
    HRESULT hr = WritePackageFile(rewritten.c_str(), &plugIns, &chains);
    if (hr < 0) {
        check.finding = "what was read could not be written: " + std::to_string(hr);
        return check;
    }
    PlugInList again;
    ChainList againChains;
    hr = TimedRead(rewritten, &again, &againChains, &check.seconds);
    if (hr != S_OK) {
        check.finding = "what was read and written again did not read: " + std::to_string(hr);
        return check;
    }
    std::string difference = CatalogueDifference(plugIns, chains, again, againChains);
    if (!difference.empty()) check.finding = "read back differently: " + difference;
    return check;
}

const char* CodeName(HRESULT hr) {
    switch (hr) {
    case KV_E_READ: return "read failed or short";
    case KV_E_NOT_FOUND: return "chunk or list not found";
    case KV_E_UNSUPPORTED: return "unsupported format";
    case KV_E_OUTOFMEMORY: return "out of memory";
    default: return "other";
    }
}

// ---- Crash and hang capture: the mutant being read is always on disk; these copy it to the findings folder.

struct Run {
    std::wstring work, findings, mutantPath, rewrittenPath;
    uint64_t seed = 0;
    std::atomic<uint64_t> index{0};
    std::atomic<uint64_t> slowSaved{~0ull};
    std::atomic<int> findingCount{0};
};

Run* g_run = nullptr; // for the exception filter and the signal handler, which take no context

std::wstring SaveFinding(Run& run, const char* kind, uint64_t index) {
    wchar_t name[128];
    swprintf(name, 128, L"\\%hs-%llu-%llu.kvpreset", kind, static_cast<unsigned long long>(run.seed),
             static_cast<unsigned long long>(index));
    std::wstring target = run.findings + name;
    CopyFileW(run.mutantPath.c_str(), target.c_str(), FALSE);
    ++run.findingCount;
    return target;
}

void ReportFinding(Run& run, const char* kind, uint64_t index, const std::string& detail) {
    std::wstring file = SaveFinding(run, kind, index);
    printf("FINDING %s at mutation %llu: %s\n  reproducer: %ls\n", kind, static_cast<unsigned long long>(index),
           detail.c_str(), file.c_str());
    fflush(stdout);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    if (g_run) {
        char detail[96];
        snprintf(detail, sizeof detail, "exception 0x%08lX at %p", info->ExceptionRecord->ExceptionCode,
                 info->ExceptionRecord->ExceptionAddress);
        ReportFinding(*g_run, "crash", g_run->index.load(), detail);
    }
    return EXCEPTION_EXECUTE_HANDLER;
}

void OnAbort(int) {
    if (g_run) ReportFinding(*g_run, "crash", g_run->index.load(), "abort");
    _exit(3);
}

DWORD WINAPI Watchdog(void* parameter) {
    Run& run = *static_cast<Run*>(parameter);
    for (;;) {
        Sleep(100);
        double start = g_readStart.load();
        if (start == 0) continue;
        double elapsed = Now() - start;
        uint64_t index = run.index.load();
        char detail[64];
        snprintf(detail, sizeof detail, "a read still running after %.0f s", elapsed);
        if (elapsed > kSlowRead && run.slowSaved.load() != index) {
            run.slowSaved = index;
            ReportFinding(run, "slow", index, detail);
        }
        if (elapsed > kHungRead) {
            ReportFinding(run, "hang", index, detail);
            TerminateProcess(GetCurrentProcess(), 4);
        }
    }
}

// ---- The run

int RunFuzz(const std::wstring& work, const std::wstring& findings, uint64_t count, uint64_t seed) {
    Run run;
    run.work = work;
    run.findings = findings;
    run.seed = seed;
    run.mutantPath = work + L"\\mutant.kvpreset";
    run.rewrittenPath = work + L"\\rewritten.kvpreset";
    CreateDirectoryW(findings.c_str(), nullptr);
    g_run = &run;
    SetUnhandledExceptionFilter(OnCrash);
    signal(SIGABRT, OnAbort);

    std::vector<Seed> corpus = MakeCorpus(work);
    for (const Seed& seedPackage : corpus) {
        // Every seed must itself read and write back, or the mutations start from the wrong place.
        if (seedPackage.bytes.empty() || !WriteWhole(run.mutantPath, seedPackage.bytes)) {
            fprintf(stderr, "package fuzz: the seed \"%s\" could not be made\n", seedPackage.name);
            return 2;
        }
        Check check = CheckOne(run.mutantPath, run.rewrittenPath);
        if (check.code != S_OK || !check.finding.empty()) {
            fprintf(stderr, "package fuzz: the seed \"%s\" does not read back: 0x%08lX %s\n", seedPackage.name,
                    static_cast<unsigned long>(check.code), check.finding.c_str());
            return 2;
        }
    }
    printf("package fuzz: %llu mutations from seed %llu, corpus of %zu packages:", static_cast<unsigned long long>(count),
           static_cast<unsigned long long>(seed), corpus.size());
    for (const Seed& seedPackage : corpus) printf(" %s (%zu bytes)", seedPackage.name, seedPackage.bytes.size());
    printf("\n");
    fflush(stdout);

    HANDLE watchdog = CreateThread(nullptr, 0, Watchdog, &run, 0, nullptr);
    if (!watchdog) {
        fprintf(stderr, "package fuzz: no watchdog thread\n");
        return 2;
    }
    CloseHandle(watchdog); // it ends with the process

    const SIZE_T privateAtStart = Memory().PagefileUsage;
    std::map<HRESULT, uint64_t> failures;
    uint64_t reads = 0, rewrites = 0, byKind[MUT_KINDS] = {}, readByKind[MUT_KINDS] = {};
    double slowest = 0, started = Now(), lastReport = started;
    uint64_t slowestIndex = 0;
    size_t largest = 0;
    for (uint64_t i = 0; i < count; ++i) {
        unsigned kindsUsed = 0;
        Bytes mutant = MakeMutant(corpus, seed, i, &kindsUsed);
        largest = std::max(largest, mutant.size());
        if (!WriteWhole(run.mutantPath, mutant)) {
            fprintf(stderr, "package fuzz: cannot write %ls\n", run.mutantPath.c_str());
            return 2;
        }
        run.index = i;
        Check check = CheckOne(run.mutantPath, run.rewrittenPath);
        if (check.seconds > slowest) slowest = check.seconds, slowestIndex = i;
        if (!check.finding.empty()) ReportFinding(run, "check", i, check.finding);
        if (check.code == S_OK) {
            ++reads;
            if (check.finding.empty()) ++rewrites;
        } else {
            ++failures[check.code];
        }
        for (int kind = 0; kind < MUT_KINDS; ++kind) {
            if (!(kindsUsed & (1u << kind))) continue;
            ++byKind[kind];
            if (check.code == S_OK) ++readByKind[kind];
        }
        double now = Now();
        if (now - lastReport >= 15 || i + 1 == count) {
            lastReport = now;
            printf("  %9llu / %llu   %7.0f mutations/s   read %llu   failed %llu   findings %d   working set %.1f MB\n",
                   static_cast<unsigned long long>(i + 1), static_cast<unsigned long long>(count),
                   (i + 1) / (now - started), static_cast<unsigned long long>(reads),
                   static_cast<unsigned long long>(i + 1 - reads), run.findingCount.load(),
                   Megabytes(Memory().WorkingSetSize));
            fflush(stdout);
        }
    }
    double seconds = Now() - started;
    PROCESS_MEMORY_COUNTERS memory = Memory();
    printf("done: %llu mutations in %.1f s, %.0f mutations/s\n", static_cast<unsigned long long>(count), seconds,
           count / seconds);
    printf("  read: %llu, of which written again and read back equal: %llu\n", static_cast<unsigned long long>(reads),
           static_cast<unsigned long long>(rewrites));
    printf("  failed: %llu\n", static_cast<unsigned long long>(count - reads));
    for (const auto& [code, n] : failures)
        printf("    0x%08lX %-26s %llu\n", static_cast<unsigned long>(code), CodeName(code),
               static_cast<unsigned long long>(n));
    printf("  mutations applied (a mutant may have several), and how many of those mutants read:\n");
    for (int kind = 0; kind < MUT_KINDS; ++kind)
        printf("    %-24s %9llu   read %llu\n", kMutationNames[kind], static_cast<unsigned long long>(byKind[kind]),
               static_cast<unsigned long long>(readByKind[kind]));
    printf("  slowest read: %.1f ms, mutation %llu\n",
           slowest * 1000, static_cast<unsigned long long>(slowestIndex));
    printf("  largest mutant: %.2f MB\n", Megabytes(largest));
    printf("  peak working set %.1f MB, peak private bytes %.1f MB; private bytes after the corpus %.1f MB, at the "
           "end %.1f MB\n",
           Megabytes(memory.PeakWorkingSetSize), Megabytes(memory.PeakPagefileUsage), Megabytes(privateAtStart),
           Megabytes(memory.PagefileUsage));
    printf("  findings: %d\n", run.findingCount.load());
    DeleteFileW(run.mutantPath.c_str());
    DeleteFileW(run.rewrittenPath.c_str());
    g_run = nullptr;
    return run.findingCount.load() == 0 ? 0 : 1;
}

// Writes mutation index of the run from seed to file, to look at or replay alone.
int MakeOne(const std::wstring& work, uint64_t seed, uint64_t index, const std::wstring& file) {
    unsigned kindsUsed = 0;
    Bytes mutant = MakeMutant(MakeCorpus(work), seed, index, &kindsUsed);
    if (!WriteWhole(file, mutant)) return 2;
    printf("mutation %llu of seed %llu: %zu bytes, by", static_cast<unsigned long long>(index),
           static_cast<unsigned long long>(seed), mutant.size());
    for (int kind = 0; kind < MUT_KINDS; ++kind)
        if (kindsUsed & (1u << kind)) printf(" %s", kMutationNames[kind]);
    printf("\n");
    return 0;
}

// Checks files again, one by one: a reproducer before and after its fix.
int Replay(int count, wchar_t** files) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring rewritten = std::wstring(temp) + L"package-fuzz-replay.kvpreset";
    int broken = 0;
    for (int i = 0; i < count; ++i) {
        Check check = CheckOne(files[i], rewritten);
        printf("%ls: 0x%08lX (%s) in %.1f ms%s%s\n", files[i], static_cast<unsigned long>(check.code),
               check.code == S_OK ? "read" : CodeName(check.code), check.seconds * 1000,
               check.finding.empty() ? "" : "; ", check.finding.c_str());
        if (!check.finding.empty() || check.seconds > kSlowRead) ++broken;
    }
    DeleteFileW(rewritten.c_str());
    return broken == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"run" && argc == 6)
        return RunFuzz(argv[2], argv[3], wcstoull(argv[4], nullptr, 10), wcstoull(argv[5], nullptr, 10));
    if (mode == L"replay" && argc > 2) return Replay(argc - 2, argv + 2);
    if (mode == L"make" && argc == 6)
        return MakeOne(argv[2], wcstoull(argv[3], nullptr, 10), wcstoull(argv[4], nullptr, 10), argv[5]);
    fprintf(stderr, "usage: package_fuzz run <work folder> <findings folder> <count> <seed>\n"
                    "       package_fuzz replay <file>...\n"
                    "       package_fuzz make <work folder> <seed> <index> <file>\n");
    return 1;
}
