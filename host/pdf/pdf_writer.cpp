// The PDF writer, a library of its own: cairo and the dozens of libraries
// beneath it are loaded only by the one command that writes a PDF, not by
// every start of the host. Its C entry takes the report's pages as lines.
#include "hostapp/pdf_writer.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A4 in points, with a margin of half an inch.
constexpr double kPageWidth = 595.0;
constexpr double kPageHeight = 842.0;
constexpr double kMargin = 36.0;
// One size for every page and line, so the document always reads alike.
constexpr double kFontSize = 9.0;
constexpr double kLineSpacing = 1.2;
constexpr const char* kFixedWidthFont = "monospace";
// Drawn in the left margin before each piece of a line wrapped at the page's edge.
constexpr const char* kContinuationMark = "\u21aa";

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* context) const { cairo_destroy(context); }
};

struct Report {
    const char* const* lines;
    const int* page_lengths;
    int page_count;
};

// How many characters a row holds and how many rows a PDF page holds.
struct Grid {
    size_t columns;
    int rows;
};

// One row as drawn: the piece of a report line and whether it continues the line above.
using RowVisitor = std::function<bool(std::string_view piece, bool continued, int row)>;

// The bytes of the first `columns` characters of UTF-8 text: a line wraps
// between characters, never inside one.
size_t prefix_bytes(std::string_view text, size_t columns) {
    size_t at = 0;
    for (size_t count = 0; at < text.size() && count < columns; ++count) {
        do {
            ++at;
        } while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80);
    }
    return at;
}

// Lays the report out on PDF pages: a line wider than a row wraps onto the
// next rows, a report page taller than a PDF page continues on the next one,
// and every report page starts a PDF page. Calls `row` for each row and
// `page_end` after each PDF page; stops when either returns false. An empty
// report is one blank page.
bool lay_out(const Report& report, const Grid& grid, const RowVisitor& row,
             const std::function<bool()>& page_end) {
    const char* const* line = report.lines;
    for (int page = 0; page < std::max(report.page_count, 1); ++page) {
        const int length = page < report.page_count ? report.page_lengths[page] : 0;
        int used = 0;
        for (int i = 0; i < length; ++i, ++line) {
            const std::string_view text(*line);
            size_t at = 0;
            do {
                if (used == grid.rows) {
                    if (!page_end()) {
                        return false;
                    }
                    used = 0;
                }
                const size_t piece = prefix_bytes(text.substr(at), grid.columns);
                if (!row(text.substr(at, piece), at > 0, used++)) {
                    return false;
                }
                at += piece;
            } while (at < text.size());
        }
        if (!page_end()) {
            return false;
        }
    }
    return true;
}

std::string cairo_failure(const std::string& out, cairo_status_t status) {
    return out + ": " + cairo_status_to_string(status);
}

bool write_pdf(const Report& report, const std::string& out, int max_pages, int* pages_written,
               std::string* error) {
    // The font is measured on a surface that writes nothing, so a refused
    // report leaves no file behind.
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_pdf_surface_create_for_stream(nullptr, nullptr, kPageWidth, kPageHeight));
    std::unique_ptr<cairo_t, ContextDeleter> context(cairo_create(surface.get()));
    cairo_t* cr = context.get();
    cairo_select_font_face(cr, kFixedWidthFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kFontSize);
    cairo_text_extents_t one_column{};
    cairo_text_extents(cr, "M", &one_column);
    cairo_font_extents_t font{};
    cairo_font_extents(cr, &font);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS || one_column.x_advance <= 0) {
        *error = "the font " + std::string(kFixedWidthFont) +
                 " cannot be used: " + cairo_status_to_string(cairo_status(cr));
        return false;
    }
    const double row_height = kFontSize * kLineSpacing;
    const Grid grid{
        static_cast<size_t>(std::floor((kPageWidth - 2 * kMargin) / one_column.x_advance)),
        static_cast<int>(std::floor((kPageHeight - 2 * kMargin) / row_height))};

    int pages = 0;
    const auto count = [&] { return ++pages <= max_pages; };
    if (!lay_out(
            report, grid, [](std::string_view, bool, int) { return true; }, count)) {
        *error = "the report needs more than " + std::to_string(max_pages) +
                 " PDF pages; nothing was written";
        return false;
    }

    context.reset();
    surface.reset(cairo_pdf_surface_create(out.c_str(), kPageWidth, kPageHeight));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        *error = cairo_failure(out, cairo_surface_status(surface.get()));
        return false;
    }
    context.reset(cairo_create(surface.get()));
    cr = context.get();
    cairo_select_font_face(cr, kFixedWidthFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kFontSize);
    std::string piece;
    const auto draw = [&](std::string_view text, bool continued, int row) {
        const double baseline = kMargin + font.ascent + row * row_height;
        if (continued) {
            cairo_move_to(cr, kMargin / 2, baseline);
            cairo_show_text(cr, kContinuationMark);
        }
        // Blanks are drawn as written, so columns stay where the report put them.
        piece.assign(text);
        cairo_move_to(cr, kMargin, baseline);
        cairo_show_text(cr, piece.c_str());
        return cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    };
    *pages_written = 0;
    const auto next_page = [&] {
        cairo_show_page(cr);
        ++*pages_written;
        return cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    };
    // A context in error draws nothing more: its failure is the document's.
    if (!lay_out(report, grid, draw, next_page)) {
        *error = cairo_failure(out, cairo_status(cr));
        return false;
    }
    context.reset();
    cairo_surface_finish(surface.get());
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        *error = cairo_failure(out, cairo_surface_status(surface.get()));
        return false;
    }
    return true;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int devgroup_write_pdf(
    const char* const* lines, const int* page_lengths, int page_count, const char* out,
    int max_pages, int* pages_written, char* error, size_t error_size) {
    std::string message;
    int written = 0;
    try {
        if (write_pdf(Report{lines, page_lengths, page_count}, out, max_pages, &written,
                      &message)) {
            if (pages_written != nullptr) {
                *pages_written = written;
            }
            return 1;
        }
    } catch (const std::exception& failure) {
        message = out + std::string(": ") + failure.what();
    }
    if (error != nullptr && error_size > 0) {
        std::snprintf(error, error_size, "%s", message.c_str());
    }
    return 0;
}
