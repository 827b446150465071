#include "ChunkSummary.h"

#include "AtomicFile.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <charconv>
#include <string_view>

namespace vorpalix::host {

namespace {

constexpr std::array<std::string_view, kInstrumentCount> kCodes{"BD", "SD", "LT", "MT", "HT", "RS",
                                                                "HC", "CH", "OH", "CR", "RD"};

bool named(const xmlNode* node, std::string_view name) {
    return node != nullptr && node->type == XML_ELEMENT_NODE &&
           name == reinterpret_cast<const char*>(node->name);
}

const xmlNode* child(const xmlNode* parent, std::string_view name) {
    for (const xmlNode* node = parent->children; node != nullptr; node = node->next)
        if (named(node, name))
            return node;
    return nullptr;
}

// The attribute's text, or an empty view when absent. Valid while the document lives.
std::string_view attribute(const xmlNode* node, const char* name) {
    for (const xmlAttr* a = node->properties; a != nullptr; a = a->next) {
        if (name == std::string_view(reinterpret_cast<const char*>(a->name)) && a->children &&
            a->children->content)
            return reinterpret_cast<const char*>(a->children->content);
    }
    return {};
}

} // namespace

std::optional<ChunkSummary> readChunkSummary(std::span<const std::uint8_t> chunk) {
    if (chunk.empty() || chunk.size() > static_cast<std::size_t>(INT32_MAX))
        return std::nullopt;
    xmlDoc* document = xmlReadMemory(reinterpret_cast<const char*>(chunk.data()),
                                     static_cast<int>(chunk.size()), "state.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (document == nullptr)
        return std::nullopt;
    const xmlNode* root = xmlDocGetRootElement(document);
    if (!named(root, "VorpalixBank")) {
        xmlFreeDoc(document);
        return std::nullopt;
    }
    ChunkSummary summary;
    if (const xmlNode* state = child(root, "PluginState")) {
        if (const xmlNode* sequencer = child(state, "InternalSequencer"))
            summary.externalSync = attribute(sequencer, "sync") != "internal";
        if (const xmlNode* outputs = child(state, "Outputs")) {
            for (int i = 0; i < kInstrumentCount; ++i) {
                const xmlNode* out = child(outputs, kCodes[static_cast<std::size_t>(i)]);
                if (out == nullptr)
                    continue;
                const std::string_view text = attribute(out, "out");
                long long number = 0;
                const auto [end, ec] =
                    std::from_chars(text.data(), text.data() + text.size(), number);
                if (ec == std::errc() && end == text.data() + text.size() && !text.empty())
                    summary.outputSlots[static_cast<std::size_t>(i)] =
                        static_cast<int>(std::clamp<long long>(number, 1, 11) - 1);
            }
        }
    }
    xmlFreeDoc(document);
    return summary;
}

bool looksLikeState(std::span<const std::uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.find("<VorpalixBank") != std::string_view::npos;
}

bool readStateFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    if (!readWholeFile(path, bytes)) {
        error = "cannot read the state file " + path;
        return false;
    }
    if (!looksLikeState(bytes)) {
        error = path + " is not a Vorpalix state (no VorpalixBank element)";
        return false;
    }
    return true;
}

} // namespace vorpalix::host
