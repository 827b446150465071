#include "state/ControllerMap.h"

#include "state/ParameterTable.h"
#include "state/XmlDocument.h"

#include <optional>
#include <string>

namespace vorpalix {

ControllerMap::ControllerMap() {
    clear();
}

int ControllerMap::parameterOf(int controller) const {
    if (controller < 0 || controller >= kNumControllers) {
        return -1;
    }
    return entries_[controller];
}

void ControllerMap::assignController(int controller, int parameter) {
    if (controller < 0 || controller >= kNumControllers) {
        return;
    }
    if (parameter < 0) {
        entries_[controller] = -1;
        return;
    }
    const int previous = controllerOf(parameter);
    if (previous >= 0) {
        entries_[previous] = -1;
    }
    entries_[controller] = parameter;
}

int ControllerMap::controllerOf(int parameter) const {
    if (parameter < 0) {
        return -1;
    }
    for (int controller = 0; controller < kNumControllers; ++controller) {
        if (entries_[controller] == parameter) {
            return controller;
        }
    }
    return -1;
}

void ControllerMap::clear() {
    entries_.fill(-1);
}

void ControllerMap::readMidiCCMap(const xmlNode* element, const ParameterTable& table) {
    if (!isElement(element, "MidiCCMap")) {
        return;
    }
    for (const xmlNode* assign : elementChildren(element)) {
        if (!isElement(assign, "assign")) {
            continue;
        }
        const int controller = readIntAttribute(assign, "CC").value_or(-1);
        if (controller < 0 || controller >= kNumControllers) {
            continue;
        }
        const std::optional<std::string> name = attribute(assign, "param");
        const int parameter = name ? table.indexOfName(*name) : -1;
        if (parameter != -1) {
            assignController(controller, parameter);
        }
    }
}

xmlNode* ControllerMap::writeMidiCCMap(const ParameterTable& table) const {
    xmlNode* element = newElement("MidiCCMap");
    if (element == nullptr) {
        return nullptr;
    }
    for (int index = 0; index < kNumHostParameters; ++index) {
        const std::string name = table.nameOfIndex(index);
        if (name.empty()) {
            continue;
        }
        xmlNode* assign = appendElement(element, "assign");
        if (assign == nullptr) {
            xmlFreeNode(element);
            return nullptr;
        }
        setAttribute(assign, "param", name);
        setIntAttribute(assign, "CC", controllerOf(index));
    }
    return element;
}

} // namespace vorpalix
