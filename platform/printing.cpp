#include "platform/printing.h"

#include <cairo-pdf.h>
#include <cairo-ps.h>
#include <cairo.h>
#include <cups/cups.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string_view>

#include "platform/debug.h"
#include "platform/text.h"

namespace platform {

// [SECTION] Printers

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kMmPerInch = 25.4;

double MmToPoints(double mm) { return mm / kMmPerInch * kPointsPerInch; }

}  // namespace

Printers::List Printers::Get() {
    List list;
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < count; ++i) {
        std::wstring name = text::FromUtf8(dests[i].name);
        // An instance is the same queue with other options: the list shows the queue once, and a
        // default instance makes its queue the default.
        if (dests[i].is_default) list.defaultName = name;
        if (!dests[i].instance) list.names.push_back(std::move(name));
    }
    cupsFreeDests(count, dests);
    // The printer dialog then shows an empty list; the teacher's administrator learns why here.
    if (list.names.empty()) {
        if (cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE)
            Debug::Print(std::string("printers: CUPS cannot be reached: ") + cupsLastErrorString());
        else
            Debug::Print("printers: CUPS knows no printer");
    }
    return list;
}

// [SECTION] The surface

struct PrintSurface::State {
    std::string printer;      // the CUPS queue; empty for a file surface
    std::string pdfPath;      // the output: a PDF file, or a printer's PostScript spool file
    bool removeFile = false;  // the printer surface's spool file is ours
    double widthPoints = 0;
    double heightPoints = 0;
    std::string title;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    // A tiny surface of its own for measuring, so that metrics are there before StartDoc.
    cairo_surface_t* measureSurface = nullptr;
    cairo_t* measure = nullptr;
    bool inPage = false;
    int pages = 0;
    int jobId = 0;

    ~State() {
        Close();
        if (measure) cairo_destroy(measure);
        if (measureSurface) cairo_surface_destroy(measureSurface);
        if (removeFile && !pdfPath.empty()) std::remove(pdfPath.c_str());
    }
    void Close() {
        if (cr) cairo_destroy(cr);
        if (surface) cairo_surface_destroy(surface);
        cr = nullptr;
        surface = nullptr;
    }
};

namespace {

constexpr double kScale = kPointsPerInch / PrintSurface::kDotsPerInch;  // points per device pixel

void UseFont(cairo_t* cr) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, PrintSurface::kFontPoints * PrintSurface::kDotsPerInch / kPointsPerInch);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
}

// TMPDIR, or /tmp when TMPDIR names no folder (a teacher's broken setting must not stop the
// printout).
std::filesystem::path SpoolFolder() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (!error) return folder;
    Debug::Print("printing: no temporary folder (" + error.message() + "), spooling in /tmp");
    return "/tmp";
}

// cairo names every font subset of its PostScript after the face alone ("/FontName /DejaVuSans
// def" for the Latin subset and again for the Cyrillic one). Ghostscript, which turns the job
// into PDF for a PDF printer, takes fonts of one name for one font: the glyphs that disagree
// become a bitmap font without letters, and the PDF's text no longer reads back. Each subset
// after the first of a name gets a name of its own.
bool NameFontSubsetsApart(const std::string& path) {
    std::string document;
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        document.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    static constexpr std::string_view kKey = "/FontName /";
    std::map<std::string, int> seen;
    bool renamed = false;
    for (std::size_t at = document.find(kKey); at != std::string::npos; at = document.find(kKey, at + 1)) {
        if (at > 0 && document[at - 1] != '\n') continue;
        const std::size_t start = at + kKey.size();
        const std::size_t end = document.find_first_of(" \t\r\n", start);
        if (end == std::string::npos) break;
        const std::string name = document.substr(start, end - start);
        const int count = seen[name]++;
        if (count == 0) continue;
        document.insert(end, "-" + std::to_string(count));
        renamed = true;
    }
    if (!renamed) return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << document;
    return static_cast<bool>(out.flush());
}

// A call out of order: said, and otherwise ignored.
void Refused(const char* what) { Debug::Print(std::string("printing: ") + what); }

}  // namespace

PrintSurface::PrintSurface(std::unique_ptr<State> state) : state_(std::move(state)) {
    state_->measureSurface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    state_->measure = cairo_create(state_->measureSurface);
    UseFont(state_->measure);
}

PrintSurface::~PrintSurface() = default;

std::unique_ptr<PrintSurface> PrintSurface::ToFile(const std::string& pdfPath, double widthMm, double heightMm) {
    auto state = std::make_unique<State>();
    state->pdfPath = pdfPath;
    state->widthPoints = MmToPoints(widthMm);
    state->heightPoints = MmToPoints(heightMm);
    return std::unique_ptr<PrintSurface>(new PrintSurface(std::move(state)));
}

Result<std::unique_ptr<PrintSurface>> PrintSurface::ForPrinter(const std::wstring& printer) {
    const std::string name = text::ToUtf8(printer);
    cups_dest_t* dest = name.empty() ? nullptr : cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(), nullptr);
    if (!dest)
        return Error::Of(ErrorKind::Missing,
                         "CUPS does not find the printer \"" + name + "\": " + cupsLastErrorString());
    // The printer's default paper, A4 when it does not say.
    double widthMm = 210.0;
    double heightMm = 297.0;
    if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        cups_size_t size{};
        if (cupsGetDestMediaDefault(CUPS_HTTP_DEFAULT, dest, info, 0, &size) && size.width > 0 && size.length > 0) {
            widthMm = size.width / 100.0;
            heightMm = size.length / 100.0;
        }
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, dest);
    auto surface = ToFile(std::string(), widthMm, heightMm);
    surface->state_->printer = name;
    return surface;
}

int PrintSurface::PageWidth() const { return static_cast<int>(std::lround(state_->widthPoints / kScale)); }

int PrintSurface::PageHeight() const { return static_cast<int>(std::lround(state_->heightPoints / kScale)); }

PrintTextMetrics PrintSurface::TextMetrics() const {
    cairo_font_extents_t font{};
    cairo_font_extents(state_->measure, &font);
    PrintTextMetrics m;
    m.ascent = static_cast<int>(std::ceil(font.ascent));
    m.height = m.ascent + static_cast<int>(std::ceil(font.descent));
    m.externalLeading = std::max(0, static_cast<int>(std::lround(font.height)) - m.height);
    cairo_text_extents_t x{};
    cairo_text_extents(state_->measure, "x", &x);
    m.aveCharWidth = static_cast<int>(std::lround(x.x_advance));
    return m;
}

Result<void> PrintSurface::StartDoc(const std::wstring& title) {
    State& s = *state_;
    if (s.surface) return Error::Failed("a document is already open");
    if (!s.printer.empty()) {
        std::string pattern = (SpoolFolder() / "vorlen-print-XXXXXX.ps").string();
        const int fd = mkstemps(pattern.data(), 3);
        if (fd < 0) return Error::Failed("cannot make a spool file " + pattern + ": " + std::strerror(errno));
        close(fd);
        s.pdfPath = pattern;
        s.removeFile = true;
    }
    // A printer gets PostScript: CUPS's own PDF-to-PostScript step loses which glyph is which
    // letter, so a PDF printer's output would no longer read as text; PostScript with the
    // fonts embedded goes through as it is.
    s.surface = s.printer.empty() ? cairo_pdf_surface_create(s.pdfPath.c_str(), s.widthPoints, s.heightPoints)
                                  : cairo_ps_surface_create(s.pdfPath.c_str(), s.widthPoints, s.heightPoints);
    if (cairo_surface_status(s.surface) != CAIRO_STATUS_SUCCESS) {
        Error error =
            Error::Failed("cannot write " + s.pdfPath + ": " + cairo_status_to_string(cairo_surface_status(s.surface)));
        s.Close();
        return error;
    }
    s.title = text::ToUtf8(title);
    if (s.printer.empty()) cairo_pdf_surface_set_metadata(s.surface, CAIRO_PDF_METADATA_TITLE, s.title.c_str());
    s.cr = cairo_create(s.surface);
    cairo_scale(s.cr, kScale, kScale);
    UseFont(s.cr);
    cairo_set_source_rgb(s.cr, 0, 0, 0);
    s.pages = 0;
    s.jobId = 0;
    return {};
}

void PrintSurface::StartPage() {
    if (!state_->cr) return Refused("a page outside a document");
    if (state_->inPage) return Refused("a page inside a page");
    state_->inPage = true;
}

void PrintSurface::EndPage() {
    if (!state_->inPage) return Refused("end of a page that was not started");
    cairo_show_page(state_->cr);
    state_->inPage = false;
    ++state_->pages;
}

Result<void> PrintSurface::EndDoc() {
    State& s = *state_;
    if (!s.surface) return Error::Failed("end of a document that was not started");
    if (s.inPage) EndPage();
    cairo_surface_finish(s.surface);
    const bool written = cairo_surface_status(s.surface) == CAIRO_STATUS_SUCCESS;
    s.Close();
    if (!written) return Error::Failed("the document could not be written");
    if (s.printer.empty()) return {};
    if (s.pages == 0) return Error::Failed("an empty document is not sent");
    if (!NameFontSubsetsApart(s.pdfPath)) return Error::Failed("the spool file could not be rewritten");
    cups_option_t* options = nullptr;
    int count = cupsAddOption("document-format", "application/postscript", 0, &options);
    s.jobId = cupsPrintFile2(CUPS_HTTP_DEFAULT, s.printer.c_str(), s.pdfPath.c_str(), s.title.c_str(), count, options);
    cupsFreeOptions(count, options);
    std::remove(s.pdfPath.c_str());
    s.pdfPath.clear();
    if (s.jobId <= 0) {
        s.jobId = 0;
        return Error::Failed("the printer \"" + s.printer + "\" did not take the job: " + cupsLastErrorString());
    }
    return {};
}

int PrintSurface::JobId() const { return state_->jobId; }

void PrintSurface::TextOut(int x, int y, const std::string& utf8) {
    if (!state_->inPage) return Refused("text outside a page");
    cairo_font_extents_t font{};
    cairo_font_extents(state_->cr, &font);
    cairo_move_to(state_->cr, x, y + font.ascent);
    cairo_show_text(state_->cr, utf8.c_str());
}

std::pair<int, int> PrintSurface::TextExtent(const std::string& utf8) const {
    cairo_text_extents_t e{};
    cairo_text_extents(state_->measure, utf8.c_str(), &e);
    return {static_cast<int>(std::lround(e.x_advance)), TextMetrics().height};
}

}  // namespace platform
