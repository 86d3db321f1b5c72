#include "widgets/results_book.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <new>
#include <optional>
#include <string_view>
#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "platform/debug.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "widgets/workbook_text.h"

// Contents:
// [SECTION] The XML library: one Initialize/Terminate pair per book, text conversions
// [SECTION] Reading: the template, the safe parser
// [SECTION] Writing
// [SECTION] The worksheet and its rows
// [SECTION] ResultsBook

using xercesc::DOMDocument;
using xercesc::DOMElement;
using xercesc::DOMNode;

namespace {

// Xerces says "out of memory" with a class of its own that has no common base with the
// others; every public entry point catches these.
#define CATCH_XML_ERRORS(what)                                                     \
    catch (const xercesc::OutOfMemoryException&) {                                 \
        platform::Debug::Print(std::string(what) + ": out of memory");             \
    }                                                                              \
    catch (const std::bad_alloc&) {                                                \
        platform::Debug::Print(std::string(what) + ": out of memory");             \
    }                                                                              \
    catch (const xercesc::XMLException& e) {                                       \
        platform::Debug::Print(std::string(what) + ": " + Narrow(e.getMessage())); \
    }                                                                              \
    catch (const xercesc::DOMException& e) {                                       \
        platform::Debug::Print(std::string(what) + ": " + Narrow(e.getMessage())); \
    }                                                                              \
    catch (const xercesc::SAXException& e) {                                       \
        platform::Debug::Print(std::string(what) + ": " + Narrow(e.getMessage())); \
    }

// ============================================================================================
// [SECTION] The XML library: one Initialize/Terminate pair per book, text conversions
// ============================================================================================

// Xerces counts its Initialize and Terminate calls, so each book holds one pair of its own and
// the library stays up while any book lives.
class XercesSession {
   public:
    XercesSession() {
        try {
            xercesc::XMLPlatformUtils::Initialize();
            started_ = true;
        } catch (const xercesc::XMLException&) {
        } catch (const xercesc::OutOfMemoryException&) {
        }
    }
    ~XercesSession() {
        if (started_) xercesc::XMLPlatformUtils::Terminate();
    }
    XercesSession(const XercesSession&) = delete;
    XercesSession& operator=(const XercesSession&) = delete;
    bool Started() const { return started_; }

   private:
    bool started_ = false;
};

std::u16string Xml(std::wstring_view text) { return platform::text::ToUtf16(text); }
std::wstring Wide(const XMLCh* text) { return text ? platform::text::FromUtf16(text) : std::wstring(); }
std::string Narrow(const XMLCh* text) { return platform::text::ToUtf8(Wide(text)); }

struct Releaser {
    template <typename T>
    void operator()(T* object) const {
        object->release();
    }
};
using DocumentPtr = std::unique_ptr<DOMDocument, Releaser>;

// ============================================================================================
// [SECTION] Reading: the template, the safe parser
// ============================================================================================

// A new workbook: the document properties, the window and the styles a spreadsheet program
// expects, no worksheet yet. The pieces are joined by the same eight characters, which stay in
// the document as whitespace between its elements.
std::string TemplateText() {
    static constexpr const char* kPieces[] = {
        R"(<?xml version="1.0"?>)",
        R"(<?mso-application progid="Excel.Sheet"?>)",
        R"(<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet")",
        R"(xmlns:o="urn:schemas-microsoft-com:office:office")",
        R"(xmlns:x="urn:schemas-microsoft-com:office:excel")",
        R"(xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet")",
        R"(xmlns:html="http://www.w3.org/TR/REC-html40">)",
        R"(<DocumentProperties xmlns="urn:schemas-microsoft-com:office:office">)",
        R"(<Version>11.6360</Version>)",
        R"(</DocumentProperties>)",
        R"(<ExcelWorkbook xmlns="urn:schemas-microsoft-com:office:excel">)",
        R"(<WindowHeight>10005</WindowHeight>)",
        R"(<WindowWidth>10005</WindowWidth>)",
        R"(<WindowTopX>120</WindowTopX>)",
        R"(<WindowTopY>135</WindowTopY>)",
        R"(<ProtectStructure>False</ProtectStructure>)",
        R"(<ProtectWindows>False</ProtectWindows>)",
        R"(</ExcelWorkbook>)",
        R"(<Styles>)",
        R"(<Style ss:ID="Default" ss:Name="Normal">)",
        R"(<Alignment ss:Vertical="Bottom"/>)",
        R"(<Borders/>)",
        R"(<Font ss:FontName="Arial Cyr" x:CharSet="204"/>)",
        R"(<Interior/>)",
        R"(<NumberFormat/>)",
        R"(<Protection/>)",
        R"(</Style>)",
        R"(<Style ss:ID="s21">)",
        R"(<NumberFormat ss:Format="Short Date"/>)",
        R"(</Style>)",
        R"(<Style ss:ID="s22">)",
        R"(<NumberFormat ss:Format="Short Time"/>)",
        R"(</Style>)",
        R"(</Styles>)",
        R"(</Workbook>)",
    };
    std::string text;
    for (const char* piece : kPieces) {
        if (!text.empty()) text += "\t\t\t\t\t\t\t ";
        text += piece;
    }
    return text;
}

// A workbook declares no entities at all, so a few expansions are plenty; the limit bounds
// what a crafted file can grow to (each expansion at most the file's own size).
constexpr XMLSize_t kEntityExpansionLimit = 100;

// External entities and external DTD subsets read as nothing.
class NothingOutside : public xercesc::EntityResolver {
   public:
    xercesc::InputSource* resolveEntity(const XMLCh* const, const XMLCh* const) override {
        static const XMLByte kNothing[1] = {0};
        return new xercesc::MemBufInputSource(kNothing, 0, u"external entity", false);
    }
};

// Keeps the first fatal error and stops there. Validity errors (an undeclared entity when the
// DTD was not read) leave a well-formed document, which is all a workbook needs.
class FirstFatalError : public xercesc::HandlerBase {
   public:
    void fatalError(const xercesc::SAXParseException& e) override {
        if (message.empty())
            message = "line " + std::to_string(e.getLineNumber()) + ", column " + std::to_string(e.getColumnNumber()) +
                      ": " + Narrow(e.getMessage());
        throw e;
    }
    void error(const xercesc::SAXParseException&) override {}
    void warning(const xercesc::SAXParseException&) override {}
    std::string message;
};

enum class ParseStatus { Ok, NotAWorkbook, OutOfMemory };
struct Parsed {
    ParseStatus status = ParseStatus::NotAWorkbook;
    DocumentPtr document;
    std::string why;
};

Parsed Parse(const std::string& bytes) {
    Parsed result;
    try {
        NothingOutside resolver;
        FirstFatalError errors;
        xercesc::SecurityManager limits;
        limits.setEntityExpansionLimit(kEntityExpansionLimit);
        xercesc::XercesDOMParser parser;
        parser.setValidationScheme(xercesc::XercesDOMParser::Val_Never);
        parser.setDoNamespaces(false);  // prefixed names such as ss:Name stay literal
        parser.setDoSchema(false);
        parser.setLoadExternalDTD(false);
        parser.setLoadSchema(false);
        parser.setDisableDefaultEntityResolution(true);
        parser.setEntityResolver(&resolver);
        parser.setSecurityManager(&limits);
        parser.setCreateEntityReferenceNodes(false);
        parser.setErrorHandler(&errors);
        xercesc::MemBufInputSource source(reinterpret_cast<const XMLByte*>(bytes.data()), bytes.size(),
                                          u"results workbook", false);
        try {
            parser.parse(source);
        } catch (const xercesc::SAXParseException&) {
        } catch (const xercesc::XMLException& e) {
            if (errors.message.empty()) errors.message = Narrow(e.getMessage());
        } catch (const xercesc::DOMException& e) {
            // The parser builds the document as it reads, and the document refuses some of what
            // a damaged file declares (a version such as "1.0>"): that file is no workbook either.
            if (errors.message.empty()) errors.message = Narrow(e.getMessage());
        }
        if (!errors.message.empty()) {
            result.why = errors.message;
            return result;
        }
        result.document.reset(parser.adoptDocument());
        DOMElement* root = result.document ? result.document->getDocumentElement() : nullptr;
        if (!root) {
            result.why = "it holds no XML element";
            result.document.reset();
            return result;
        }
        if (std::u16string_view(root->getTagName()) != u"Workbook") {
            result.why = "its root element is <" + Narrow(root->getTagName()) + ">, not <Workbook>";
            result.document.reset();
            return result;
        }
        // Spreadsheet workbooks are XML 1.0. An XML 1.1 document may hold control characters
        // (as references) that the XML library then refuses to write back: continuing it would
        // make every later save fail, so it is set aside like any other document.
        const XMLCh* version = result.document->getXmlVersion();
        if (version && std::u16string_view(version) != u"1.0") {
            result.why = "it is XML " + Narrow(version) + ", not the XML 1.0 of a workbook";
            result.document.reset();
            return result;
        }
        // A workbook needs no DOCTYPE; dropping it keeps entity declarations out of what we write.
        if (DOMNode* doctype = result.document->getDoctype()) result.document->removeChild(doctype)->release();
        result.status = ParseStatus::Ok;
    } catch (const xercesc::OutOfMemoryException&) {
        result = Parsed{ParseStatus::OutOfMemory, nullptr, "out of memory"};
    } catch (const std::bad_alloc&) {
        result = Parsed{ParseStatus::OutOfMemory, nullptr, "out of memory"};
    }
    return result;
}

std::string TimeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// ============================================================================================
// [SECTION] Writing
// ============================================================================================

class SerializerErrors : public xercesc::DOMErrorHandler {
   public:
    bool handleError(const xercesc::DOMError& error) override {
        if (error.getSeverity() == xercesc::DOMError::DOM_SEVERITY_WARNING) return true;
        if (message.empty()) message = Narrow(error.getMessage());
        return false;
    }
    std::string message;
};

// The document as UTF-8 with its XML declaration, exactly as it is in memory (no indentation
// added). Nothing with `why` when the library refuses.
std::optional<std::string> Serialize(const DOMDocument& document, std::string* why) {
    auto* implementation =
        static_cast<xercesc::DOMImplementationLS*>(xercesc::DOMImplementationRegistry::getDOMImplementation(u"LS"));
    std::unique_ptr<xercesc::DOMLSSerializer, Releaser> serializer(implementation->createLSSerializer());
    SerializerErrors errors;
    xercesc::DOMConfiguration* config = serializer->getDomConfig();
    config->setParameter(xercesc::XMLUni::fgDOMErrorHandler, &errors);
    config->setParameter(xercesc::XMLUni::fgDOMWRTFormatPrettyPrint, false);
    config->setParameter(xercesc::XMLUni::fgDOMXMLDeclaration, true);
    std::unique_ptr<xercesc::DOMLSOutput, Releaser> output(implementation->createLSOutput());
    xercesc::MemBufFormatTarget target(1 << 16);
    output->setByteStream(&target);
    output->setEncoding(u"UTF-8");
    if (!serializer->write(&document, output.get())) {
        *why = errors.message.empty() ? "the XML library could not write it" : errors.message;
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
}

// ============================================================================================
// [SECTION] The worksheet and its rows
// ============================================================================================

constexpr const char16_t* kSheetNameAttribute = u"ss:Name";

bool IsElement(const DOMNode* node, std::u16string_view name) {
    return node && node->getNodeType() == DOMNode::ELEMENT_NODE &&
           std::u16string_view(static_cast<const DOMElement*>(node)->getTagName()) == name;
}

DOMElement* FirstChildElement(const DOMNode* parent, std::u16string_view name) {
    for (DOMNode* child = parent->getFirstChild(); child; child = child->getNextSibling())
        if (IsElement(child, name)) return static_cast<DOMElement*>(child);
    return nullptr;
}

DOMElement* AddElement(DOMDocument& document, DOMNode& parent, const char16_t* name) {
    DOMElement* element = document.createElement(name);
    parent.appendChild(element);
    return element;
}

// A new table holds the two columns' widths: captions wide, values narrow.
DOMElement* NewTable(DOMDocument& document) {
    DOMElement* table = document.createElement(u"Table");
    DOMElement* captions = AddElement(document, *table, u"Column");
    captions->setAttribute(u"ss:AutoFitWidth", u"0");
    captions->setAttribute(u"ss:Width", u"240");
    DOMElement* values = AddElement(document, *table, u"Column");
    values->setAttribute(u"ss:AutoFitWidth", u"0");
    values->setAttribute(u"ss:Width", u"96");
    return table;
}

// The worksheet's first Table, made when there is none. It goes after any Names element and
// before the worksheet options, where spreadsheet programs look for it.
DOMElement* TableOf(DOMDocument& document, DOMElement& sheet) {
    xercesc::DOMNodeList* tables = sheet.getElementsByTagName(u"Table");
    if (tables->getLength() > 0) return static_cast<DOMElement*>(tables->item(0));
    DOMNode* before = sheet.getFirstChild();
    while (before && (before->getNodeType() != DOMNode::ELEMENT_NODE || IsElement(before, u"Names")))
        before = before->getNextSibling();
    return static_cast<DOMElement*>(sheet.insertBefore(NewTable(document), before));
}

// The text of a cell's Data element (rich text inside it included).
std::wstring CellText(const DOMElement* cell) {
    const DOMElement* data = cell ? FirstChildElement(cell, u"Data") : nullptr;
    return data ? Wide(data->getTextContent()) : std::wstring();
}

}  // namespace

// ============================================================================================
// [SECTION] ResultsBook
// ============================================================================================

// The pupil's worksheet in `document`: the first whose cleaned name matches the cleaned pupil
// name with letter case ignored; null when there is none.
static DOMElement* FindSheet(DOMDocument& document, const std::wstring& pupilName) {
    const std::wstring wanted = workbook::FoldCase(CleanSheetName(pupilName));
    DOMElement* root = document.getDocumentElement();
    for (DOMNode* child = root->getFirstChild(); child; child = child->getNextSibling()) {
        if (!IsElement(child, u"Worksheet")) continue;
        auto* candidate = static_cast<DOMElement*>(child);
        if (workbook::FoldCase(CleanSheetName(Wide(candidate->getAttribute(kSheetNameAttribute)))) == wanted)
            return candidate;
    }
    return nullptr;
}

// A new worksheet named `name`, after the others, with its table.
static DOMElement* AddSheet(DOMDocument& document, const std::wstring& name) {
    DOMElement* sheet = AddElement(document, *document.getDocumentElement(), u"Worksheet");
    sheet->setAttribute(kSheetNameAttribute, Xml(name).c_str());
    sheet->appendChild(NewTable(document));
    return sheet;
}

// How long a save waits for another program's save to end: a merge into a large classroom
// file takes about a second.
static constexpr int kLockWaitMs = 4000;

// ".<name>.lock" beside the file: hidden, so that a teacher looking into the folder sees the
// workbook alone.
static std::string LockFileOf(const std::string& file) {
    const auto slash = file.rfind('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return file.substr(0, name) + "." + file.substr(name) + ".lock";
}

struct ResultsBook::State {
    XercesSession xerces;  // first, so that it ends after everything below is released
    DocumentPtr document;
    DOMElement* table = nullptr;
    // The rows appended since the book was opened or last saved to its own file: what a save
    // adds to the file as it is then.
    std::vector<DOMElement*> unsaved;
    // The file as this book last read or wrote it: while it is still there, nobody else has
    // saved since, and this book's document is the file's with this book's rows added.
    std::optional<platform::files::FileVersion> written;
    std::wstring path;
    std::wstring sheetName;
    // Set when the file at `path` could not be read or moved aside: it may hold other pupils'
    // results that this book has never seen, so Save does not write over it.
    bool keepOwnFile = false;
    std::optional<platform::files::FileId> keptFile;

    void Open(const std::wstring& pupilName);
    bool MergeIntoFile();
    void Keep(const std::string& file) {
        keepOwnFile = true;
        keptFile = platform::files::IdOf(file);
    }
    bool WouldOverwriteKeptFile(const std::wstring& target) const {
        if (!keepOwnFile) return false;
        return target == path || (keptFile && platform::files::IdOf(platform::text::ToUtf8(target)) == keptFile);
    }
};

void ResultsBook::State::Open(const std::wstring& pupilName) {
    const std::string file = platform::text::ToUtf8(path);
    const std::optional<platform::files::FileVersion> version = platform::files::VersionOf(file);
    platform::files::ReadResult read = platform::files::ReadAll(file);
    if (read.status == platform::files::ReadStatus::Unreadable) {
        platform::Debug::Print("cannot read the results workbook (" + read.why +
                               "); a new one starts, and it will not be saved over that file");
        Keep(file);
    } else if (read.status == platform::files::ReadStatus::Ok) {
        Parsed parsed = Parse(read.bytes);
        read.bytes = std::string();
        if (parsed.status == ParseStatus::Ok) {
            document = std::move(parsed.document);
            // The same file before and after reading it: the pass's save need not read it
            // again unless another program saves into it meanwhile.
            if (version && platform::files::VersionOf(file) == version) written = version;
        } else if (parsed.status == ParseStatus::OutOfMemory) {
            platform::Debug::Print("cannot read the results workbook " + file +
                                   ": out of memory; a new one starts, and it will not be saved over that file");
            Keep(file);
        } else {
            std::string why;
            if (auto aside = platform::files::MoveAside(file, ".damaged-" + TimeStamp(), &why)) {
                platform::Debug::Print(file + " is not a results workbook (" + parsed.why + "); it is kept as " +
                                       *aside + " and a new workbook starts");
            } else {
                platform::Debug::Print(file + " is not a results workbook (" + parsed.why + ") and " + why +
                                       "; a new workbook starts, and it will not be saved over that file");
                Keep(file);
            }
        }
    }
    if (!document) {
        Parsed parsed = Parse(TemplateText());
        if (parsed.status == ParseStatus::OutOfMemory) {
            platform::Debug::Print("cannot start a results workbook: out of memory");
            return;
        }
        VORLEN_VERIFY(parsed.status == ParseStatus::Ok, "the workbook template must parse");
        document = std::move(parsed.document);
    }

    if (DOMElement* sheet = FindSheet(*document, pupilName)) {
        sheetName = Wide(sheet->getAttribute(kSheetNameAttribute));
        table = TableOf(*document, *sheet);
    } else {
        sheetName = CleanSheetName(pupilName);
        table = TableOf(*document, *AddSheet(*document, sheetName));
    }
}

// Writes `document` to `file`, making its folder when it went missing (or was typed into the
// save-as box), as a file manager would for a new document.
static bool WriteDocument(const DOMDocument& document, const std::string& file) {
    std::string why;
    std::optional<std::string> bytes = Serialize(document, &why);
    if (!bytes) {
        platform::Debug::Print("results not saved to " + file + ": " + why);
        return false;
    }
    const auto slash = file.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const std::string folder = file.substr(0, slash);
        struct stat info {};
        if (stat(folder.c_str(), &info) != 0 && errno == ENOENT &&
            !platform::Folders::Create(platform::text::FromUtf8(folder), 0777)) {
            platform::Debug::Print("results not saved to " + file + ": its folder cannot be created");
            return false;
        }
    }
    platform::files::Outcome written = platform::files::Replace(file, *bytes);
    if (!written.ok) {
        platform::Debug::Print("results not saved to " + file + ": " + written.why);
        return false;
    }
    return true;
}

ResultsBook::ResultsBook(const std::wstring& path, const std::wstring& pupilName) : state_(std::make_unique<State>()) {
    state_->path = path;
    state_->sheetName = CleanSheetName(pupilName);
    if (!state_->xerces.Started()) {
        platform::Debug::Print("cannot start the XML library; results will not be kept");
        return;
    }
    try {
        state_->Open(pupilName);
    }
    CATCH_XML_ERRORS("cannot open the results workbook " + platform::text::ToUtf8(path))
    if (!state_->table) state_->document.reset();
}

ResultsBook::~ResultsBook() = default;

void ResultsBook::AddRow(const std::wstring& caption, const std::wstring& value, const std::wstring& type) {
    if (!state_->table) return;
    std::wstring text = workbook::CleanText(value);
    std::wstring cellType = type;
    if (type == L"Number") {
        std::wstring_view number = workbook::TrimSpaces(text);
        if (workbook::IsNumber(number)) {
            text = std::wstring(number);
        } else {
            platform::Debug::Print(L"results row \"" + caption + L"\": \"" + value +
                                   L"\" is not a number; kept as text");
            cellType = L"String";
        }
    } else if (type != L"String") {
        platform::Debug::Print(L"results row \"" + caption + L"\": unknown cell type \"" + type + L"\"; kept as text");
        cellType = L"String";
    }
    try {
        DOMDocument& document = *state_->document;
        DOMElement* row = document.createElement(u"Row");
        auto addCell = [&](const std::wstring& cellText, const std::wstring& dataType) {
            DOMElement* data = AddElement(document, *AddElement(document, *row, u"Cell"), u"Data");
            data->setAttribute(u"ss:Type", Xml(dataType).c_str());
            data->appendChild(document.createTextNode(Xml(cellText).c_str()));
        };
        addCell(workbook::CleanText(caption), L"String");
        addCell(text, cellType);
        state_->table->appendChild(row);
        state_->unsaved.push_back(row);
    }
    CATCH_XML_ERRORS("cannot add a results row")
}

void ResultsBook::Finish() {
    if (!state_->table) return;
    try {
        state_->unsaved.push_back(AddElement(*state_->document, *state_->table, u"Row"));
    }
    CATCH_XML_ERRORS("cannot add a results row")
}

bool ResultsBook::Save(const std::wstring& path) {
    const std::wstring& target = path.empty() ? state_->path : path;
    const std::string file = platform::text::ToUtf8(target);
    if (!state_->document) {
        platform::Debug::Print("results not saved to " + file + ": the workbook could not be opened");
        return false;
    }
    try {
        if (target == state_->path) return state_->MergeIntoFile();
        if (state_->WouldOverwriteKeptFile(target)) {
            platform::Debug::Print(
                "results not saved to " + file +
                ": the file there could not be read when the workbook was opened, so it is left as it is");
            return false;
        }
        return WriteDocument(*state_->document, file);
    }
    CATCH_XML_ERRORS("results not saved to " + file)
    return false;
}

// Other programs may have saved into the file since this book read it (a classroom's results
// gather in one file on a shared folder). Under the lock beside the file, the file is read as
// it is now, this book's unsaved rows are appended to the pupil's sheet there, and that
// document is written back and becomes this book's. Rows already in the file are never moved
// or rewritten. Without the lock the rows stay unsaved for the next save.
bool ResultsBook::State::MergeIntoFile() {
    const std::string file = platform::text::ToUtf8(path);
    std::string why;
    std::optional<platform::files::FileLock> lock =
        platform::files::FileLock::Acquire(LockFileOf(file), kLockWaitMs, &why);
    if (!lock) {
        platform::Debug::Print("results not saved to " + file + " yet (" + why + "); they are kept for the next save");
        return false;
    }
    if (written && platform::files::VersionOf(file) == written) {
        if (!WriteDocument(*document, file)) return false;
        written = platform::files::VersionOf(file);
        unsaved.clear();
        return true;
    }
    platform::files::ReadResult read = platform::files::ReadAll(file);
    DocumentPtr current;
    if (read.status == platform::files::ReadStatus::Unreadable) {
        platform::Debug::Print("results not saved to " + file + ": it cannot be read (" + read.why +
                               "), so it is left as it is");
        return false;
    }
    if (read.status == platform::files::ReadStatus::Ok) {
        Parsed parsed = Parse(read.bytes);
        read.bytes = std::string();
        if (parsed.status == ParseStatus::OutOfMemory) {
            platform::Debug::Print("results not saved to " + file + ": out of memory reading it");
            return false;
        }
        if (parsed.status == ParseStatus::Ok) {
            current = std::move(parsed.document);
        } else {
            // Damaged since it was read: it goes aside and this book's whole document, which
            // holds everything it read then, takes its place.
            auto aside = platform::files::MoveAside(file, ".damaged-" + TimeStamp(), &why);
            if (!aside) {
                platform::Debug::Print("results not saved to " + file + ": it is not a results workbook (" +
                                       parsed.why + ") and " + why);
                return false;
            }
            platform::Debug::Print(file + " is not a results workbook (" + parsed.why + "); it is kept as " + *aside);
        }
    } else if (keepOwnFile) {
        // The file that could not be read at the start has gone: nothing of it can be lost.
        keepOwnFile = false;
    }
    if (!current) {
        if (!WriteDocument(*document, file)) return false;
        written = platform::files::VersionOf(file);
        unsaved.clear();
        keepOwnFile = false;
        return true;
    }

    DOMElement* sheet = FindSheet(*current, sheetName);
    if (!sheet) sheet = AddSheet(*current, sheetName);
    DOMElement* currentTable = TableOf(*current, *sheet);
    for (DOMElement* row : unsaved) currentTable->appendChild(current->importNode(row, true));
    if (!WriteDocument(*current, file)) return false;  // this book stays as it was
    written = platform::files::VersionOf(file);
    document = std::move(current);
    table = currentTable;
    sheetName = Wide(sheet->getAttribute(kSheetNameAttribute));
    unsaved.clear();
    keepOwnFile = false;
    return true;
}

std::wstring ResultsBook::GetFileName() const { return state_->path; }

const std::wstring& ResultsBook::SheetName() const { return state_->sheetName; }

std::vector<std::pair<std::wstring, std::wstring>> ResultsBook::Rows() const {
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    if (!state_->table) return rows;
    try {
        for (DOMNode* node = state_->table->getFirstChild(); node; node = node->getNextSibling()) {
            if (!IsElement(node, u"Row")) continue;
            const DOMElement* first = FirstChildElement(node, u"Cell");
            const DOMElement* second = nullptr;
            for (DOMNode* next = first ? first->getNextSibling() : nullptr; next && !second;
                 next = next->getNextSibling())
                if (IsElement(next, u"Cell")) second = static_cast<const DOMElement*>(next);
            rows.emplace_back(CellText(first), CellText(second));
        }
    }
    CATCH_XML_ERRORS("cannot read the results rows")
    return rows;
}

std::optional<std::vector<std::vector<std::wstring>>> ResultsBook::CellTexts() const {
    if (!state_->table) return std::nullopt;
    std::vector<std::vector<std::wstring>> lines;
    try {
        for (DOMNode* node = state_->table->getFirstChild(); node; node = node->getNextSibling()) {
            if (!IsElement(node, u"Row")) continue;
            std::vector<std::wstring>& line = lines.emplace_back();
            xercesc::DOMNodeList* data = static_cast<DOMElement*>(node)->getElementsByTagName(u"Data");
            for (XMLSize_t i = 0; i < data->getLength(); ++i) line.push_back(Wide(data->item(i)->getTextContent()));
        }
    }
    CATCH_XML_ERRORS("cannot read the results rows")
    return lines;
}

bool MayWriteWorkbookAt(const std::wstring& path) {
    const platform::files::ReadResult read = platform::files::ReadAll(platform::text::ToUtf8(path));
    if (read.status == platform::files::ReadStatus::Missing) return true;
    if (read.status != platform::files::ReadStatus::Ok) {
        // Nothing there either (a file stands where a folder of the path should be): the save
        // itself fails and says why.
        std::error_code error;
        return !std::filesystem::exists(platform::text::ToUtf8(path), error) && !error;
    }
    XercesSession xerces;
    return Parse(read.bytes).status == ParseStatus::Ok;
}

std::wstring CleanSheetName(const std::wstring& typed) { return workbook::SheetName(typed); }

std::wstring ResultsFolder() {
    // An administrator's choice comes first: an absolute path, made when missing.
    const char* chosen = std::getenv("VORLEN_RESULTS_FOLDER");
    if (chosen && *chosen) {
        if (chosen[0] != '/') {
            platform::Debug::Print(std::string("VORLEN_RESULTS_FOLDER is not an absolute path, ignored: ") + chosen);
        } else {
            std::wstring folder = platform::text::FromUtf8(chosen);
            while (folder.size() > 1 && folder.back() == L'/') folder.pop_back();
            return platform::Folders::Create(folder) ? folder + L"/" : std::wstring();
        }
    }
    std::wstring shared = platform::Folders::SharedData();
    if (shared.empty()) {
        platform::Debug::Print("no folder for results: neither HOME nor XDG_DATA_HOME is set");
        return {};
    }
    std::wstring folder = shared + L"/ZEDK";
    return platform::Folders::Create(folder) ? folder + L"/" : std::wstring();
}
