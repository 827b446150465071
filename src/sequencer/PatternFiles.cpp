#include "sequencer/PatternFiles.h"

#include <memory>

#include "sequencer/PatternBank.h"
#include "state/XmlDocument.h"

namespace vorpalix {

namespace {

// A document of version "1.0" with element as its root, or an empty document (element freed)
// when either is missing.
XmlDocument documentWithRoot(xmlNode* element) {
    if (element == nullptr || !xmlLibraryUsable()) {
        xmlFreeNode(element);
        return {};
    }
    XmlDocument document(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
    if (!document) {
        xmlFreeNode(element);
        return {};
    }
    xmlDocSetRootElement(document.get(), element);
    return document;
}

} // namespace

bool savePatternFile(const PatternBank& bank, int index, const std::string& fileName) {
    if (!isValidPattern(index) || fileName.empty()) {
        return false;
    }
    const XmlDocument document = documentWithRoot(writePatternElement(bank[index], true));
    return document && document.saveFile(fileName);
}

bool saveBankFile(const PatternBank& bank, const std::string& fileName) {
    if (fileName.empty()) {
        return false;
    }
    const XmlDocument document = documentWithRoot(writePatternBank(bank, true));
    return document && document.saveFile(fileName);
}

bool loadPatternFile(PatternBank& bank, int index, const std::string& fileName) {
    if (!isValidPattern(index)) {
        return false;
    }
    const XmlDocument document = XmlDocument::parseFile(fileName);
    // Read into a scratch pattern first: playback never sees a half-read pattern, and a root of
    // another kind leaves the slot alone.
    Pattern loaded;
    if (!document || !readPatternElement(loaded, document.root())) {
        return false;
    }
    bank[index] = loaded;
    return true;
}

int loadBankFile(PatternBank& bank, const std::string& fileName) {
    const XmlDocument document = XmlDocument::parseFile(fileName);
    if (!document || !isElement(document.root(), "PatternBank")) {
        return 0;
    }
    auto loaded = std::make_unique<PatternBank>();
    const int count = readPatternBank(*loaded, document.root());
    for (int slot = 0; slot < count; ++slot) {
        bank[slot] = (*loaded)[slot];
    }
    return count;
}

} // namespace vorpalix
