#include "editor/PanelEditor.h"

#include <algorithm>

#include "plugin/DrumPlugin.h"
#include "sequencer/PatternEditing.h"

namespace vorpalix {

PanelEditor::PanelEditor(DrumPlugin& plugin)
    : plugin_(plugin), editing_(std::make_unique<PatternEditing>(plugin)) {
    plugin_.attachPatternEditing(editing_.get());
}

PanelEditor::~PanelEditor() {
    plugin_.attachPatternEditing(nullptr);
}

void PanelEditor::setPanelDescription(const xmlNode* gui) {
    if (!isElement(gui, "GUI")) {
        return;
    }
    XmlDocument copy = XmlDocument::create("GUI");
    xmlNode* root = copy.root();
    if (root == nullptr) {
        return;
    }
    for (const xmlNode* child = gui->children; child != nullptr; child = child->next) {
        xmlNode* node = xmlDocCopyNode(const_cast<xmlNode*>(child), copy.get(), 1);
        if (node != nullptr && xmlAddChild(root, node) == nullptr) {
            xmlFreeNode(node);
        }
    }
    for (const xmlAttr* a = gui->properties; a != nullptr; a = a->next) {
        const auto value = attribute(gui, reinterpret_cast<const char*>(a->name));
        if (value) {
            setAttribute(root, reinterpret_cast<const char*>(a->name), *value);
        }
    }
    description_ = std::move(copy);
    refreshDisplays();
}

int PanelEditor::controlCount() const {
    int count = 0;
    for (const xmlNode* child : elementChildren(description_.root())) {
        count += isElement(child, "control") ? 1 : 0;
    }
    return count;
}

void PanelEditor::parameterChanged(int index) {
    if (index < 0 || index >= 128) {
        return;
    }
    changed_[index / 64].fetch_or(std::uint64_t{1} << (index % 64), std::memory_order_relaxed);
}

std::string PanelEditor::learnDisplayText(int parameter) const {
    if (parameter < 0 || parameter >= kNumHostParameters) {
        return {};
    }
    const std::string name = plugin_.parameters().info(parameter).shortName;
    const int controller = plugin_.controllerMap().controllerOf(parameter);
    if (controller < 0) {
        return name + " - ...";
    }
    std::string digits = formatInt(controller);
    digits.insert(0, 3 - std::min<std::size_t>(3, digits.size()), '0');
    return name + " - " + digits;
}

std::array<std::uint64_t, 2> PanelEditor::takeChangedParameters() {
    return {changed_[0].exchange(0, std::memory_order_relaxed),
            changed_[1].exchange(0, std::memory_order_relaxed)};
}

} // namespace vorpalix
