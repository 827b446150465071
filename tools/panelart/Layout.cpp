#include "Layout.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <charconv>
#include <memory>

namespace panelart {

namespace {

std::string attributeText(const xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) {
        return {};
    }
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

int attributeInt(const xmlNode* node, const char* name) {
    const std::string text = attributeText(node, name);
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

bool named(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           xmlStrcmp(node->name, reinterpret_cast<const xmlChar*>(name)) == 0;
}

} // namespace

const Control* Layout::find(const std::string& name) const {
    for (const Control& c : controls) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

std::optional<Layout> readLayout(const std::string& path, std::string& error) {
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlReadFile(path.c_str(), nullptr,
                    XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        &xmlFreeDoc);
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr) {
        error = "cannot read the settings document " + path;
        return std::nullopt;
    }
    Layout layout;
    bool haveGui = false;
    for (const xmlNode* part = root->children; part != nullptr; part = part->next) {
        if (named(part, "GUI")) {
            haveGui = true;
            const int offsetX = attributeInt(part, "offsetX");
            const int offsetY = attributeInt(part, "offsetY");
            for (const xmlNode* n = part->children; n != nullptr; n = n->next) {
                if (!named(n, "control")) {
                    continue;
                }
                Control c;
                c.name = attributeText(n, "name");
                c.className = attributeText(n, "class");
                c.x = attributeInt(n, "posX") + offsetX + attributeInt(n, "ofsX");
                c.y = attributeInt(n, "posY") + offsetY + attributeInt(n, "ofsY");
                c.width = attributeInt(n, "width");
                c.height = attributeInt(n, "height");
                c.frames = attributeInt(n, "frames");
                c.resId = attributeInt(n, "resID");
                c.chars = attributeInt(n, "chars");
                c.fonts = attributeInt(n, "fonts");
                c.realButton = attributeText(n, "realButton") != "false";
                layout.controls.push_back(std::move(c));
            }
        } else if (named(part, "InstrumentPresetBank")) {
            for (const xmlNode* n = part->children; n != nullptr; n = n->next) {
                if (named(n, "BDPreset")) {
                    layout.bassDrumPresets.push_back(attributeText(n, "name"));
                }
            }
        } else if (named(part, "VSTParameters")) {
            for (const xmlNode* n = part->children; n != nullptr; n = n->next) {
                if (!named(n, "param")) {
                    continue;
                }
                const std::string value = attributeText(n, "value");
                double v = 0.0;
                std::from_chars(value.data(), value.data() + value.size(), v);
                layout.defaults.emplace(attributeText(n, "name"), v);
            }
        }
    }
    if (!haveGui) {
        error = "the settings document " + path + " has no GUI element";
        return std::nullopt;
    }
    return layout;
}

} // namespace panelart
