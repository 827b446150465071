#pragma once

// The XML document helper every reader and writer of the instrument uses: parsing from memory or
// from a file, creating documents, saving them safely, and the locale-independent number format
// ("%d" and "%f" with six decimals and a dot) of every attribute.

#include <libxml/tree.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vorpalix {

// The largest document file that is read (64 MiB; a full pattern or preset bank is far smaller).
constexpr long long kMaxDocumentFileSize = 64LL * 1024 * 1024;

// The oldest XML library version the documents are known to work with.
constexpr int kMinimumXmlLibraryVersion = 20626;

// Compares the XML library's version with kMinimumXmlLibraryVersion and initialises the library
// once. Every parse and create operation returns an empty document when this is false.
// Any thread.
bool xmlLibraryUsable();

// An owned XML document; frees the document when it goes out of scope. Empty after a failed
// parse. Move-only.
class XmlDocument {
public:
    XmlDocument() = default;
    explicit XmlDocument(xmlDoc* doc) : doc_(doc) {}
    ~XmlDocument();
    XmlDocument(XmlDocument&& other) noexcept : doc_(other.release()) {}
    XmlDocument& operator=(XmlDocument&& other) noexcept;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // Parses a document from memory (base name "abcdefg", no encoding override, no options).
    // Returns an empty document when the bytes are not well-formed XML or too large.
    static XmlDocument parseMemory(std::span<const std::uint8_t> bytes);
    static XmlDocument parseMemory(std::string_view text);
    // Reads the whole file in binary mode and parses it as above. Empty when the file cannot
    // be read or does not parse.
    static XmlDocument parseFile(const std::string& fileName);
    // Parses the resource of this name compiled into the plug-in (see findResource).
    static XmlDocument parseResource(std::string_view resourceName);
    // A new document of version "1.0" whose root is an empty element with this name.
    static XmlDocument create(std::string_view rootName);

    explicit operator bool() const { return doc_ != nullptr; }
    xmlDoc* get() const { return doc_; }
    xmlDoc* release() noexcept;
    // The root element, or nullptr.
    xmlNode* root() const;

    // Writes the document indented with encoding "UTF-8": first into a temporary file in the
    // target's folder, then renamed over the target. On any failure the target is left exactly
    // as it was, no temporary file remains, and the result is false. An empty file name writes
    // nothing and returns false.
    bool saveFile(const std::string& fileName) const;
    // The document as indented UTF-8 text; empty for an empty document.
    std::string dump() const;

private:
    xmlDoc* doc_ = nullptr;
};

// Writes bytes to fileName through a temporary file in the same folder and a rename, so that
// the target holds either its old content or all of the new one. False on any failure; an empty
// file name writes nothing.
bool writeFileSafely(const std::string& fileName, std::string_view bytes);

// ---------------------------------------------------------------------------------------------
// Walking a tree.

// True when node is an element with this name.
bool isElement(const xmlNode* node, std::string_view name);
// The element's name, or an empty view for nullptr.
std::string_view elementName(const xmlNode* node);

// Iterates over the element children of a node in document order, skipping text, comments and
// every other node type: for (xmlNode* child : elementChildren(parent)) ...
class ElementChildren {
public:
    class Iterator {
    public:
        explicit Iterator(xmlNode* node) : node_(node) {}
        xmlNode* operator*() const { return node_; }
        Iterator& operator++();
        bool operator==(const Iterator& other) const { return node_ == other.node_; }
        bool operator!=(const Iterator& other) const { return node_ != other.node_; }

    private:
        xmlNode* node_;
    };

    explicit ElementChildren(const xmlNode* parent);
    Iterator begin() const { return Iterator(first_); }
    Iterator end() const { return Iterator(nullptr); }

private:
    xmlNode* first_ = nullptr;
};

inline ElementChildren elementChildren(const xmlNode* parent) {
    return ElementChildren(parent);
}

// The value of an attribute of an element, or nullopt when the node is not an element or has no
// such attribute.
std::optional<std::string> attribute(const xmlNode* node, const char* name);

// An attribute read the way "%d" reads it: leading blanks, an optional sign, then digits up to
// the first character that is not one. Values beyond the int range saturate. nullopt when the
// attribute is absent or holds no number.
std::optional<int> readIntAttribute(const xmlNode* node, const char* name);
// An attribute read the way "%f" reads it into a float: leading blanks, an optional sign, then
// a decimal or hexadecimal number with optional exponent, "inf", "infinity" or "nan", up to the
// first character that does not belong to it. Overflow gives an infinity, underflow zero.
// nullopt when the attribute is absent or holds no number. The result may be NaN or infinite:
// callers clamp.
std::optional<float> readFloatAttribute(const xmlNode* node, const char* name);

// The same rules on plain text.
std::optional<int> parseIntText(std::string_view text);
std::optional<float> parseFloatText(std::string_view text);

// "%d" and "%f" (six decimals, always a dot) formatting, independent of the C locale.
std::string formatInt(int value);
std::string formatFloat(double value);

// ---------------------------------------------------------------------------------------------
// Building a tree.

// A new element with this name appended to parent; nullptr when parent is nullptr or memory
// runs out.
xmlNode* appendElement(xmlNode* parent, const char* name);
// A new element not yet attached to any document or parent; the caller links it into a tree or
// frees it with xmlFreeNode.
xmlNode* newElement(const char* name);
// Sets (or replaces) an attribute of an element.
void setAttribute(xmlNode* node, const char* name, std::string_view value);
void setIntAttribute(xmlNode* node, const char* name, int value);
void setFloatAttribute(xmlNode* node, const char* name, double value);

} // namespace vorpalix
