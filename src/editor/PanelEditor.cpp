#include "editor/PanelEditor.h"

#include <algorithm>
#include <utility>

#include "state/ControllerMap.h"
#include "state/ParameterTable.h"

namespace vorpalix {

PanelEditor::PanelEditor(PanelController& controller)
    : controller_(controller), editing_(controller) {}

PanelEditor::~PanelEditor() = default;

std::unique_ptr<PluginEditor> createPanelEditor(PanelController& controller) {
    return std::make_unique<PanelEditor>(controller);
}

EditorFactory panelEditorFactory() {
    return &createPanelEditor;
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

void PanelEditor::notify(const Notification& notification) {
    switch (notification.type) {
    case NotificationType::ControllerLearnt:
        learnt_ = notification.b;
        learnChanged_ = true;
        break;
    case NotificationType::PlayingPatternChanged:
    case NotificationType::RangeChanged:
        patternChanged_ = true;
        break;
    case NotificationType::TransportStopped:
        transportStopped_ = true;
        break;
    }
}

std::array<std::uint64_t, 2> PanelEditor::takeChangedParameters() {
    return controller_.takeChangedParameters();
}

int PanelEditor::takeLearnDisplayChange() {
    const int parameter = learnChanged_ ? learnt_ : -1;
    learnChanged_ = false;
    return parameter;
}

std::string PanelEditor::learnDisplayText(int parameter) const {
    if (parameter < 0 || parameter >= kNumHostParameters) {
        return {};
    }
    const std::string name = controller_.parameters().info(parameter).shortName;
    const int controller = controller_.controllerMap().controllerOf(parameter);
    if (controller < 0) {
        return name + " - ...";
    }
    std::string digits = formatInt(controller);
    digits.insert(0, 3 - std::min<std::size_t>(3, digits.size()), '0');
    return name + " - " + digits;
}

bool PanelEditor::takePatternChange() {
    return std::exchange(patternChanged_, false);
}

bool PanelEditor::takeTransportStop() {
    return std::exchange(transportStopped_, false);
}

bool PanelEditor::takeRefreshAll() {
    return std::exchange(refreshAll_, false);
}

} // namespace vorpalix
