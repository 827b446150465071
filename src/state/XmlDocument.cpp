#include "state/XmlDocument.h"

#include "resources/EmbeddedResources.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vorpalix {

namespace {

constexpr const char* kBaseName = "abcdefg";

const xmlChar* xmlText(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

// Parse errors are expected (user files, host chunks) and are never reported: while a document
// is parsed, the library's error output on this thread goes nowhere.
void silentGenericError(void*, const char*, ...) {}
void silentStructuredError(void*, xmlErrorPtr) {}

class SilentXmlErrors {
public:
    SilentXmlErrors()
        : generic_(xmlGenericError), genericContext_(xmlGenericErrorContext),
          structured_(xmlStructuredError), structuredContext_(xmlStructuredErrorContext) {
        xmlSetGenericErrorFunc(nullptr, silentGenericError);
        xmlSetStructuredErrorFunc(nullptr, silentStructuredError);
    }
    ~SilentXmlErrors() {
        xmlSetGenericErrorFunc(genericContext_, generic_);
        xmlSetStructuredErrorFunc(structuredContext_, structured_);
    }
    SilentXmlErrors(const SilentXmlErrors&) = delete;
    SilentXmlErrors& operator=(const SilentXmlErrors&) = delete;

private:
    xmlGenericErrorFunc generic_;
    void* genericContext_;
    xmlStructuredErrorFunc structured_;
    void* structuredContext_;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Reads an exponent ("-12", "+3", "400") saturating at a bound far beyond any float's range.
long long readExponent(const char* p, const char* end) {
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    long long value = 0;
    for (; p < end && isDigit(*p); ++p) {
        if (value < 1000000000LL) {
            value = value * 10 + (*p - '0');
        }
    }
    return negative ? -value : value;
}

// For a number the float range cannot hold: true when it is too large (overflow), false when it
// is too small (underflow). Works out the power of the leading significant digit.
bool magnitudeAboveOne(const char* first, const char* last, bool hex) {
    const int bitsPerDigit = hex ? 4 : 1;
    const char exponentMark = hex ? 'p' : 'e';
    long long leadingPower = 0; // power (in digits) of the first significant digit
    bool seenPoint = false;
    bool seenSignificant = false;
    long long integerDigits = 0;
    long long leadingZerosAfterPoint = 0;
    const char* p = first;
    for (; p < last; ++p) {
        const char c = *p;
        if (c == '.') {
            seenPoint = true;
            continue;
        }
        if ((c | 0x20) == exponentMark) {
            break;
        }
        if (!(hex ? isHexDigit(c) : isDigit(c))) {
            break;
        }
        if (!seenPoint) {
            if (seenSignificant || c != '0') {
                seenSignificant = true;
                ++integerDigits;
            }
        } else if (!seenSignificant) {
            if (c == '0') {
                ++leadingZerosAfterPoint;
            } else {
                seenSignificant = true;
            }
        }
    }
    leadingPower = integerDigits > 0 ? integerDigits - 1 : -(leadingZerosAfterPoint + 1);
    long long exponent = 0;
    if (p < last && (*p | 0x20) == exponentMark) {
        exponent = readExponent(p + 1, last);
    }
    return leadingPower * bitsPerDigit + exponent > 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------

bool xmlLibraryUsable() {
    static const bool usable = [] {
        xmlInitParser();
        const std::optional<int> version =
            xmlParserVersion != nullptr ? parseIntText(xmlParserVersion) : std::nullopt;
        return version.has_value() && *version >= kMinimumXmlLibraryVersion;
    }();
    return usable;
}

XmlDocument::~XmlDocument() {
    if (doc_ != nullptr) {
        xmlFreeDoc(doc_);
    }
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept {
    if (this != &other) {
        if (doc_ != nullptr) {
            xmlFreeDoc(doc_);
        }
        doc_ = other.release();
    }
    return *this;
}

xmlDoc* XmlDocument::release() noexcept {
    xmlDoc* doc = doc_;
    doc_ = nullptr;
    return doc;
}

xmlNode* XmlDocument::root() const {
    return doc_ != nullptr ? xmlDocGetRootElement(doc_) : nullptr;
}

XmlDocument XmlDocument::parseMemory(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX) || !xmlLibraryUsable()) {
        return {};
    }
    SilentXmlErrors silence;
    xmlDoc* doc = xmlReadMemory(reinterpret_cast<const char*>(bytes.data()),
                                static_cast<int>(bytes.size()), kBaseName, nullptr, 0);
    return XmlDocument(doc);
}

XmlDocument XmlDocument::parseMemory(std::string_view text) {
    return parseMemory(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

XmlDocument XmlDocument::parseFile(const std::string& fileName) {
    if (fileName.empty()) {
        return {};
    }
    // Only regular files of a sensible size are read: a FIFO would block the caller (at worst
    // the host, while it creates the plug-in) and a device such as /dev/zero never ends.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        info.st_size > kMaxDocumentFileSize) {
        ::close(fd);
        return {};
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[65536];
    bool ok = true;
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        if (bytes.size() + static_cast<std::size_t>(got) >
            static_cast<std::size_t>(kMaxDocumentFileSize)) {
            ok = false; // the file grew while it was read
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (!ok) {
        return {};
    }
    return parseMemory(std::string_view(bytes));
}

XmlDocument XmlDocument::parseResource(std::string_view resourceName) {
    return parseMemory(findResource(resourceName));
}

XmlDocument XmlDocument::create(std::string_view rootName) {
    if (!xmlLibraryUsable() || rootName.empty()) {
        return {};
    }
    XmlDocument document(xmlNewDoc(xmlText("1.0")));
    if (!document) {
        return {};
    }
    const std::string name(rootName);
    xmlNode* root = xmlNewDocNode(document.doc_, nullptr, xmlText(name.c_str()), nullptr);
    if (root == nullptr) {
        return {};
    }
    xmlDocSetRootElement(document.doc_, root);
    return document;
}

std::string XmlDocument::dump() const {
    if (doc_ == nullptr) {
        return {};
    }
    xmlChar* memory = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc_, &memory, &size, "UTF-8", 1);
    std::string text;
    if (memory != nullptr) {
        if (size > 0) {
            text.assign(reinterpret_cast<const char*>(memory), static_cast<std::size_t>(size));
        }
        xmlFree(memory);
    }
    return text;
}

bool XmlDocument::saveFile(const std::string& fileName) const {
    if (doc_ == nullptr || fileName.empty()) {
        return false;
    }
    const std::string text = dump();
    if (text.empty()) {
        return false;
    }
    return writeFileSafely(fileName, text);
}

bool writeFileSafely(const std::string& fileName, std::string_view bytes) {
    if (fileName.empty()) {
        return false;
    }
    // Writing through a symbolic link keeps the link and replaces the file it points to.
    std::string target = fileName;
    struct stat linkInfo {};
    if (::lstat(fileName.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        if (char* resolved = ::realpath(fileName.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }

    mode_t mode = 0644;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
            return false; // a device, pipe or socket is never replaced
        }
        // A folder is left to the rename below, which refuses to replace it.
        mode = info.st_mode & 07777;
    }

    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : target.substr(0, slash);
    std::string temporary = folder + "/.vorpalix-save-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return false;
    }

    bool ok = ::fchmod(fd, mode) == 0;
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (ok && left > 0) {
        const ssize_t written = ::write(fd, p, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
        } else {
            p += written;
            left -= static_cast<std::size_t>(written);
        }
    }
    if (ok) {
        ok = ::fsync(fd) == 0;
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    if (ok) {
        ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here does not undo the completed save.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

bool isElement(const xmlNode* node, std::string_view name) {
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->name != nullptr &&
           name == reinterpret_cast<const char*>(node->name);
}

std::string_view elementName(const xmlNode* node) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE || node->name == nullptr) {
        return {};
    }
    return reinterpret_cast<const char*>(node->name);
}

namespace {
xmlNode* nextElement(xmlNode* node) {
    while (node != nullptr && node->type != XML_ELEMENT_NODE) {
        node = node->next;
    }
    return node;
}
} // namespace

ElementChildren::ElementChildren(const xmlNode* parent) {
    if (parent != nullptr &&
        (parent->type == XML_ELEMENT_NODE || parent->type == XML_DOCUMENT_NODE)) {
        first_ = nextElement(parent->children);
    }
}

ElementChildren::Iterator& ElementChildren::Iterator::operator++() {
    node_ = node_ != nullptr ? nextElement(node_->next) : nullptr;
    return *this;
}

std::optional<std::string> attribute(const xmlNode* node, const char* name) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE || name == nullptr) {
        return std::nullopt;
    }
    xmlChar* value = xmlGetProp(node, xmlText(name));
    if (value == nullptr) {
        return std::nullopt;
    }
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::optional<int> readIntAttribute(const xmlNode* node, const char* name) {
    const std::optional<std::string> text = attribute(node, name);
    return text ? parseIntText(*text) : std::nullopt;
}

std::optional<float> readFloatAttribute(const xmlNode* node, const char* name) {
    const std::optional<std::string> text = attribute(node, name);
    return text ? parseFloatText(*text) : std::nullopt;
}

std::optional<int> parseIntText(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && isBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end || !isDigit(*p)) {
        return std::nullopt;
    }
    unsigned long long magnitude = 0;
    const auto result = std::from_chars(p, end, magnitude);
    const bool tooLarge = result.ec == std::errc::result_out_of_range;
    if (negative) {
        const unsigned long long limit = static_cast<unsigned long long>(INT_MAX) + 1;
        if (tooLarge || magnitude >= limit) {
            return INT_MIN;
        }
        return -static_cast<int>(magnitude);
    }
    if (tooLarge || magnitude > static_cast<unsigned long long>(INT_MAX)) {
        return INT_MAX;
    }
    return static_cast<int>(magnitude);
}

std::optional<float> parseFloatText(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && isBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    if (p == end) {
        return std::nullopt;
    }
    float value = 0.0f;
    const bool hexPrefix = end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (hexPrefix) {
        const char* digits = p + 2;
        const auto result = std::from_chars(digits, end, value, std::chars_format::hex);
        if (result.ec == std::errc::invalid_argument) {
            value = 0.0f; // "0x" without hexadecimal digits reads as the leading zero
        } else if (result.ec == std::errc::result_out_of_range) {
            value = magnitudeAboveOne(digits, result.ptr, true) ? HUGE_VALF : 0.0f;
        }
    } else {
        const auto result = std::from_chars(p, end, value, std::chars_format::general);
        if (result.ec == std::errc::invalid_argument) {
            return std::nullopt;
        }
        if (result.ec == std::errc::result_out_of_range) {
            value = magnitudeAboveOne(p, result.ptr, false) ? HUGE_VALF : 0.0f;
        }
    }
    return negative ? -value : value;
}

std::string formatInt(int value) {
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatFloat(double value) {
    char buffer[512]; // the longest double in fixed notation with six decimals fits
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) {
        return "0.000000";
    }
    return std::string(buffer, result.ptr);
}

// ---------------------------------------------------------------------------------------------

xmlNode* appendElement(xmlNode* parent, const char* name) {
    if (parent == nullptr || name == nullptr) {
        return nullptr;
    }
    return xmlNewChild(parent, nullptr, xmlText(name), nullptr);
}

xmlNode* newElement(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    return xmlNewNode(nullptr, xmlText(name));
}

void setAttribute(xmlNode* node, const char* name, std::string_view value) {
    if (node == nullptr || node->type != XML_ELEMENT_NODE || name == nullptr) {
        return;
    }
    const std::string text(value);
    xmlSetProp(node, xmlText(name), xmlText(text.c_str()));
}

void setIntAttribute(xmlNode* node, const char* name, int value) {
    setAttribute(node, name, formatInt(value));
}

void setFloatAttribute(xmlNode* node, const char* name, double value) {
    setAttribute(node, name, formatFloat(value));
}

} // namespace vorpalix
