// The PDF writer, a library of its own: cairo and the dozens of libraries
// beneath it are loaded only by the one command that writes a PDF, not by
// every start of the host. Its C entry takes the report's pages as lines.
#include "hostapp/pdf_writer.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using ReportPage = std::vector<std::string>;

// A4 in points, with a margin of half an inch.
constexpr double kPageWidth = 595.0;
constexpr double kPageHeight = 842.0;
constexpr double kMargin = 36.0;
constexpr double kFontSize = 9.0;
constexpr double kLineSpacing = 1.2;
// Room for the usual report line (the header template is 80 characters wide).
constexpr size_t kMinColumns = 80;
constexpr size_t kMinLines = 60;
constexpr const char* kFixedWidthFont = "monospace";

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* context) const { cairo_destroy(context); }
};

// One font size for the whole document, so every page reads alike: the
// usual size unless the longest line or the longest page would not fit.
double font_size(const std::vector<ReportPage>& pages, double advance_per_point) {
    size_t columns = kMinColumns;
    size_t lines = kMinLines;
    for (const ReportPage& page : pages) {
        lines = std::max(lines, page.size());
        for (const std::string& line : page)
            columns = std::max(columns, line.size());
    }
    const double width = kPageWidth - 2 * kMargin;
    const double height = kPageHeight - 2 * kMargin;
    return std::min({kFontSize, width / (static_cast<double>(columns) * advance_per_point),
                     height / (static_cast<double>(lines) * kLineSpacing)});
}

bool write_pdf(const std::vector<ReportPage>& pages, const std::string& out, std::string* error) {
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_pdf_surface_create(out.c_str(), kPageWidth, kPageHeight));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        *error = out + ": " + cairo_status_to_string(cairo_surface_status(surface.get()));
        return false;
    }
    std::unique_ptr<cairo_t, ContextDeleter> context(cairo_create(surface.get()));
    cairo_t* cr = context.get();
    cairo_select_font_face(cr, kFixedWidthFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 1.0);
    cairo_text_extents_t one_column{};
    cairo_text_extents(cr, "M", &one_column);
    const double size = font_size(pages, std::max(one_column.x_advance, 0.1));
    cairo_set_font_size(cr, size);
    cairo_font_extents_t font{};
    cairo_font_extents(cr, &font);
    // An empty report still makes a document of one blank page.
    const std::vector<ReportPage> blank_page(1);
    for (const ReportPage& page : pages.empty() ? blank_page : pages) {
        double baseline = kMargin + font.ascent;
        for (const std::string& line : page) {
            // Blanks are drawn as written, so columns stay where the report put them.
            cairo_move_to(cr, kMargin, baseline);
            cairo_show_text(cr, line.c_str());
            baseline += size * kLineSpacing;
        }
        cairo_show_page(cr);
    }
    context.reset();
    cairo_surface_finish(surface.get());
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        *error = out + ": " + cairo_status_to_string(cairo_surface_status(surface.get()));
        return false;
    }
    return true;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int devgroup_write_pdf(
    const char* const* lines, const int* page_lengths, int page_count, const char* out, char* error,
    size_t error_size) {
    std::vector<ReportPage> pages;
    for (int p = 0; p < page_count; ++p) {
        pages.emplace_back(lines, lines + page_lengths[p]);
        lines += page_lengths[p];
    }
    std::string message;
    if (write_pdf(pages, out, &message))
        return 1;
    if (error != nullptr && error_size > 0)
        std::snprintf(error, error_size, "%s", message.c_str());
    return 0;
}
