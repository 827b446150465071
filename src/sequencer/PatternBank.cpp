#include "sequencer/PatternBank.h"

#include "state/XmlDocument.h"

namespace vorpalix {

void PatternBank::resetAll() {
    for (Pattern& p : patterns_) {
        p.resetPattern();
    }
}

int readPatternBank(PatternBank& bank, const xmlNode* element) {
    if (!isElement(element, "PatternBank")) {
        return 0;
    }
    int slot = 0;
    for (const xmlNode* child : elementChildren(element)) {
        if (slot >= kPatternCount) {
            break;
        }
        if (readPatternElement(bank[slot], child)) {
            ++slot;
        }
    }
    return slot;
}

xmlNode* writePatternBank(const PatternBank& bank, bool toLength) {
    xmlNode* element = newElement("PatternBank");
    if (element == nullptr) {
        return nullptr;
    }
    for (int slot = 0; slot < kPatternCount; ++slot) {
        xmlNode* pattern = writePatternElement(bank[slot], toLength);
        if (pattern == nullptr || xmlAddChild(element, pattern) == nullptr) {
            xmlFreeNode(pattern);
            xmlFreeNode(element);
            return nullptr;
        }
    }
    return element;
}

} // namespace vorpalix
