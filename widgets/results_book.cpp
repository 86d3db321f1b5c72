#include "widgets/results_book.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
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
#include "widgets/results_forwarder.h"
#include "widgets/workbook_text.h"

// Contents:
// [SECTION] The XML library: one Initialize/Terminate pair per book, text conversions
// [SECTION] Reading: the template, the safe parser
// [SECTION] Writing
// [SECTION] Merging into a file
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

// Xerces counts its Initialize and Terminate calls, so each use holds one pair of its own and
// the library stays up while any use lives. The calls themselves are not safe beside each
// other: the results thread and the GUI thread take turns.
std::mutex& XercesStartMutex() {
    static std::mutex mutex;
    return mutex;
}

class XercesSession {
   public:
    XercesSession() {
        std::lock_guard<std::mutex> lock(XercesStartMutex());
        try {
            xercesc::XMLPlatformUtils::Initialize();
            started_ = true;
        } catch (const xercesc::XMLException&) {
        } catch (const xercesc::OutOfMemoryException&) {
        }
    }
    ~XercesSession() {
        std::lock_guard<std::mutex> lock(XercesStartMutex());
        if (started_) xercesc::XMLPlatformUtils::Terminate();
    }
    XercesSession(const XercesSession&) = delete;
    XercesSession& operator=(const XercesSession&) = delete;
    bool Started() const { return started_; }

   private:
    bool started_ = false;
};

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
        throw e;  // the parser stops only when its handler throws; Parse catches it at once
    }
    void error(const xercesc::SAXParseException&) override {}
    void warning(const xercesc::SAXParseException&) override {}
    std::string message;
};

platform::Error NotAWorkbook(std::string why) {
    return platform::Error::Of(platform::ErrorKind::Damaged, std::move(why));
}

// The workbook's document; ErrorKind::Damaged when the bytes are no workbook, Failed when the
// library ran out of memory reading them.
platform::Result<DocumentPtr> Parse(const std::string& bytes) {
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
        if (!errors.message.empty()) return NotAWorkbook(errors.message);
        DocumentPtr document(parser.adoptDocument());
        DOMElement* root = document ? document->getDocumentElement() : nullptr;
        if (!root) return NotAWorkbook("it holds no XML element");
        if (std::u16string_view(root->getTagName()) != u"Workbook")
            return NotAWorkbook("its root element is <" + Narrow(root->getTagName()) + ">, not <Workbook>");
        // Spreadsheet workbooks are XML 1.0. An XML 1.1 document may hold control characters
        // (as references) that the XML library then refuses to write back: continuing it would
        // make every later save fail, so it is set aside like any other document.
        const XMLCh* version = document->getXmlVersion();
        if (version && std::u16string_view(version) != u"1.0")
            return NotAWorkbook("it is XML " + Narrow(version) + ", not the XML 1.0 of a workbook");
        // A workbook needs no DOCTYPE; dropping it keeps entity declarations out of what we write.
        if (DOMNode* doctype = document->getDoctype()) document->removeChild(doctype)->release();
        return document;
    } catch (const xercesc::OutOfMemoryException&) {
    } catch (const std::bad_alloc&) {
    }
    return platform::Error::Failed("out of memory");
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
// added), or what the library said when it refuses.
platform::Result<std::string> Serialize(const DOMDocument& document) {
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
    if (!serializer->write(&document, output.get()))
        return platform::Error::Failed(errors.message.empty() ? "the XML library could not write it" : errors.message);
    return std::string(reinterpret_cast<const char*>(target.getRawBuffer()), target.getLen());
}

// ============================================================================================
// [SECTION] Merging into a file
// ============================================================================================

// The template as the XML library writes it: what a new workbook's file starts as.
const std::string& NewWorkbookBytes() {
    static const std::string bytes = [] {
        XercesSession xerces;
        platform::Result<DocumentPtr> parsed = Parse(TemplateText());
        VORLEN_VERIFY(parsed.ok(), "the workbook template must parse");
        platform::Result<std::string> written = Serialize(**parsed);
        VORLEN_VERIFY(written.ok(), "the workbook template must write");
        return std::move(written).value();
    }();
    return bytes;
}

// A workbook the scanner does not follow (a DOCTYPE, another encoding) as the XML library reads
// and writes it again: a form the scanner follows. ErrorKind::Damaged when the file is no
// workbook (a reason to set it aside); any other kind is the library failing (a reason to leave
// it alone).
platform::Result<std::string> Rewritten(const std::string& bytes) {
    XercesSession xerces;
    if (!xerces.Started()) return platform::Error::Failed("the XML library cannot start");
    try {
        VORLEN_TRY_ASSIGN(document, Parse(bytes));
        return Serialize(*document);
    }
    CATCH_XML_ERRORS("cannot read the results workbook")
    return platform::Error::Failed("the XML library failed");
}

// `passes` appended to the workbook in `bytes`, which the result's pieces point into; a workbook
// the scanner does not follow is written again by the XML library first (into `bytes`). The
// error as Rewritten gives it when that cannot be done.
platform::Result<workbook::Appended> AppendToWorkbook(std::string& bytes, const std::vector<workbook::Pass>& passes) {
    platform::Result<workbook::Appended> appended = workbook::AppendPasses(bytes, passes);
    if (appended) return appended;
    VORLEN_TRY_ASSIGN(rewritten, Rewritten(bytes));
    bytes = std::move(rewritten);
    appended = workbook::AppendPasses(bytes, passes);
    // The library wrote it, so it is a workbook: the scanner's refusal is no reason to set it aside.
    if (!appended) return platform::Error::Failed("its contents cannot be followed: " + appended.why());
    return appended;
}

// "<folder>/.<name>.lock": hidden, so that a teacher looking into the folder sees the workbook
// alone.
std::string LockFileOf(const std::string& file) {
    const auto slash = file.rfind('/');
    const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
    return file.substr(0, name) + "." + file.substr(name) + ".lock";
}

std::string FolderOf(const std::string& file) {
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

platform::Result<void> MergePassesInto(const std::string& file, const std::vector<workbook::Pass>& passes,
                                       int lockWaitMs) {
    // A network folder that is not mounted leaves its empty mount point, or nothing: writing
    // there would hide the pupil's rows under the share once it is back.
    const std::string folder = FolderOf(file);
    if (!IsFolder(folder)) return platform::Error::Failed("its folder " + folder + " is not there");
    VORLEN_TRY_ASSIGN(lock, platform::files::FileLock::Acquire(LockFileOf(file), lockWaitMs));
    platform::Result<std::string> read = platform::files::ReadAll(file);
    if (!read && !read.Is(platform::ErrorKind::Missing))
        return platform::Error::Failed("it cannot be read (" + read.why() + "), so it is left as it is");
    const bool existed = read.ok();
    std::string bytes = existed ? std::move(read).value() : NewWorkbookBytes();
    platform::Result<workbook::Appended> appended = AppendToWorkbook(bytes, passes);
    const bool setAside = appended.Is(platform::ErrorKind::Damaged);
    if (setAside) {
        // Not a workbook: it goes aside whole, and a new workbook takes its place.
        const std::string why = appended.why();
        platform::Result<std::string> aside = platform::files::MoveAside(file, ".damaged-" + TimeStamp());
        if (!aside) return platform::Error::Failed("it is not a results workbook (" + why + ") and " + aside.why());
        platform::Debug::Print(file + " is not a results workbook (" + why + "); it is kept as " + *aside +
                               " and a new workbook starts");
        bytes = NewWorkbookBytes();
        appended = AppendToWorkbook(bytes, passes);
    }
    if (!appended) return std::move(appended).error();
    if (existed && !setAside && appended->added.empty()) return {};  // every pass is there already
    return platform::files::Replace(file, appended->pieces);
}

// ============================================================================================
// [SECTION] ResultsBook
// ============================================================================================

// How long a save in the call waits for another program's save to end.
static constexpr int kLockWaitMs = 4000;

struct ResultsBook::State {
    std::wstring path;
    std::string file;  // the path in the file system's encoding
    std::wstring pupil;
    ResultsForwarder* forwarder = nullptr;
    // The rows appended since the last save to the own file, and the passes saved before.
    workbook::Pass current;
    std::vector<workbook::Pass> saved;

    void NextPass() {
        if (!current.rows.empty()) saved.push_back(current);
        current.id = workbook::NewPassId();
        current.rows.clear();
    }

    // What the file holds for the pupil, and this computer's passes not yet in it: the data of
    // Rows, CellTexts, the printout and SheetName.
    struct View {
        std::optional<workbook::Sheet> sheet;
        std::vector<workbook::Pass> pending;
    };
    View Read() const;
    // The whole workbook with this computer's passes not yet in it, for a copy.
    std::optional<std::string> Copy() const;
    std::vector<workbook::Pass> Pending() const {
        std::vector<workbook::Pass> passes;
        if (forwarder) passes = forwarder->PendingFor(path);
        if (!current.rows.empty()) passes.push_back(current);
        return passes;
    }
};

ResultsBook::State::View ResultsBook::State::Read() const {
    View view;
    // The pending passes first: one merged meanwhile is then in the file, and seen once.
    const std::wstring key = workbook::SheetKey(pupil);
    for (workbook::Pass& pass : Pending())
        if (workbook::SheetKey(pass.pupil) == key) view.pending.push_back(std::move(pass));
    if (platform::Result<std::string> read = platform::files::ReadAll(file)) {
        platform::Result<std::optional<workbook::Sheet>> found = workbook::ReadSheet(*read, pupil);
        if (!found) {
            if (platform::Result<std::string> rewritten = Rewritten(*read))
                found = workbook::ReadSheet(*rewritten, pupil);
            else
                platform::Debug::Print("the rows of " + file + " cannot be read: " + rewritten.why());
        }
        if (found) view.sheet = std::move(found).value();
    }
    if (view.sheet) {
        const std::set<std::string>& merged = view.sheet->passIds;
        view.pending.erase(std::remove_if(view.pending.begin(), view.pending.end(),
                                          [&](const workbook::Pass& pass) { return merged.count(pass.id) != 0; }),
                           view.pending.end());
    }
    return view;
}

std::optional<std::string> ResultsBook::State::Copy() const {
    const std::vector<workbook::Pass> pending = Pending();
    platform::Result<std::string> read = platform::files::ReadAll(file);
    if (!read && !read.Is(platform::ErrorKind::Missing))
        platform::Debug::Print(read.why() + "; the copy holds only this computer's rows not yet in it");
    std::string bytes = read ? std::move(read).value() : NewWorkbookBytes();
    platform::Result<workbook::Appended> appended = AppendToWorkbook(bytes, pending);
    if (!appended) {
        platform::Debug::Print(file + " cannot be read (" + appended.why() +
                               "); the copy holds only this computer's rows not yet in it");
        bytes = NewWorkbookBytes();
        appended = AppendToWorkbook(bytes, pending);
    }
    if (!appended) {
        platform::Debug::Print("results not copied: " + appended.why());
        return std::nullopt;
    }
    return appended->Bytes();
}

// Writes a copy to `file`, making its folder when it went missing (or was typed into the
// save-as box), as a file manager would for a new document.
static bool WriteCopy(const std::string& bytes, const std::string& file) {
    const std::string folder = FolderOf(file);
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 && errno == ENOENT) {
        if (platform::Result<void> made = platform::Folders::Create(platform::text::FromUtf8(folder), 0777); !made) {
            platform::Debug::Print(made.why());
            platform::Debug::Print("results not saved to " + file + ": its folder cannot be created");
            return false;
        }
    }
    platform::Result<void> written = platform::files::Replace(file, bytes);
    if (!written) {
        platform::Debug::Print("results not saved to " + file + ": " + written.why());
        return false;
    }
    return true;
}

ResultsBook::ResultsBook(const std::wstring& path, const std::wstring& pupilName, ResultsForwarder* forwarder)
    : state_(std::make_unique<State>()) {
    state_->path = path;
    state_->file = platform::text::ToUtf8(path);
    state_->pupil = pupilName;
    state_->forwarder = forwarder;
    state_->current.pupil = pupilName;
    state_->NextPass();
}

ResultsBook::~ResultsBook() = default;

void ResultsBook::AddRow(const std::wstring& caption, const std::wstring& value, const std::wstring& type) {
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
    state_->current.rows.push_back({workbook::CleanText(caption), text, cellType});
}

void ResultsBook::Finish() { state_->current.rows.emplace_back(); }

bool ResultsBook::Save(const std::wstring& path) {
    if (!IsOwnFile(path)) {
        const std::string file = platform::text::ToUtf8(path);
        std::optional<std::string> bytes = state_->Copy();
        return bytes && WriteCopy(*bytes, file);
    }
    // Named on purpose, the own file gets every pass of this book again: one that went missing
    // with a file someone deleted or replaced comes back, and the others are recognised.
    std::vector<workbook::Pass> passes;
    if (!path.empty()) passes = state_->saved;
    if (!state_->current.rows.empty()) passes.push_back(state_->current);
    if (passes.empty()) return true;
    if (state_->forwarder) {
        for (workbook::Pass& pass : passes) state_->forwarder->Hand(state_->path, std::move(pass));
        state_->NextPass();
        return true;
    }
    const platform::Result<void> merged = MergePassesInto(state_->file, passes, kLockWaitMs);
    if (!merged) {
        platform::Debug::Print("results not saved to " + state_->file + ": " + merged.why() +
                               (merged.Is(platform::ErrorKind::Busy) ? "; they are kept for the next save" : ""));
        return false;
    }
    state_->NextPass();
    return true;
}

bool ResultsBook::IsOwnFile(const std::wstring& path) const {
    if (path.empty() || path == state_->path) return true;
    const std::string other = platform::text::ToUtf8(path);
    const std::optional<platform::files::FileId> mine = platform::files::IdOf(state_->file);
    const std::optional<platform::files::FileId> theirs = platform::files::IdOf(other);
    if (mine || theirs) return mine == theirs;
    // Neither is there yet: the same place once "." and "..", links of the folders and the
    // current folder are taken into account.
    std::error_code error;
    const std::filesystem::path a = std::filesystem::weakly_canonical(std::filesystem::absolute(state_->file), error);
    if (error) return false;
    const std::filesystem::path b = std::filesystem::weakly_canonical(std::filesystem::absolute(other), error);
    return !error && a == b;
}

std::wstring ResultsBook::GetFileName() const { return state_->path; }

std::wstring ResultsBook::SheetName() const {
    State::View view = state_->Read();
    return view.sheet ? view.sheet->name : CleanSheetName(state_->pupil);
}

std::vector<std::pair<std::wstring, std::wstring>> ResultsBook::Rows() const {
    State::View view = state_->Read();
    std::vector<std::pair<std::wstring, std::wstring>> rows;
    if (view.sheet) rows = std::move(view.sheet->pairs);
    for (const workbook::Pass& pass : view.pending)
        for (const workbook::Row& row : pass.rows) rows.emplace_back(row.caption, row.value);
    return rows;
}

std::optional<std::vector<std::vector<std::wstring>>> ResultsBook::CellTexts() const {
    State::View view = state_->Read();
    if (!view.sheet && view.pending.empty()) return std::nullopt;
    std::vector<std::vector<std::wstring>> lines;
    if (view.sheet) lines = std::move(view.sheet->cells);
    for (const workbook::Pass& pass : view.pending) {
        for (const workbook::Row& row : pass.rows) {
            if (row.type.empty())
                lines.emplace_back();
            else
                lines.push_back({row.caption, row.value});
        }
    }
    return lines;
}

bool MayWriteWorkbookAt(const std::wstring& path) {
    // A workbook shows itself in its first bytes: the prolog and the root's start tag.
    constexpr std::size_t kHead = 64 * 1024;
    const platform::Result<std::string> read = platform::files::ReadAll(platform::text::ToUtf8(path), kHead);
    if (read.Is(platform::ErrorKind::Missing)) return true;
    if (!read) {
        // Nothing there either (a file stands where a folder of the path should be): the save
        // itself fails and says why.
        std::error_code error;
        return !std::filesystem::exists(platform::text::ToUtf8(path), error) && !error;
    }
    return workbook::OpensAWorkbook(*read);
}

std::wstring CleanSheetName(const std::wstring& typed) { return workbook::SheetName(typed); }

std::wstring ResultsFolder(const std::wstring& chosen) {
    // A choice on the command line, then an administrator's: an absolute path, made when
    // missing. Its name is kept even when it cannot be made: writing the pupil's rows anywhere
    // else would hide them from whoever looks there.
    std::wstring folder = chosen;
    const char* variable = std::getenv("VORLEN_RESULTS_FOLDER");
    if (folder.empty() && variable && *variable) {
        if (variable[0] != '/')
            platform::Debug::Print(std::string("VORLEN_RESULTS_FOLDER is not an absolute path, ignored: ") + variable);
        else
            folder = platform::text::FromUtf8(variable);
    }
    if (!folder.empty()) {
        while (folder.size() > 1 && folder.back() == L'/') folder.pop_back();
        if (platform::Result<void> made = platform::Folders::Create(folder); !made) platform::Debug::Print(made.why());
        return folder == L"/" ? folder : folder + L"/";
    }
    std::wstring shared = platform::Folders::SharedData();
    if (shared.empty()) {
        platform::Debug::Print("no folder for results: neither HOME nor XDG_DATA_HOME is set");
        return {};
    }
    folder = shared + L"/ZEDK";
    platform::Result<void> made = platform::Folders::Create(folder);
    if (!made) {
        platform::Debug::Print(made.why());
        return {};
    }
    return folder + L"/";
}
