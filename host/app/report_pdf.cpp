#include "report_pdf.h"

#include <dlfcn.h>

#include "hostapp/host_app.h"
#include "hostapp/pdf_writer.h"

namespace hostapp {

bool write_report_pdf(const std::vector<ReportPage>& pages, const std::string& out,
                      std::string* error) {
    const std::string library = program_library(kPdfWriterLibrary);
    // Never closed: cairo and fontconfig keep caches for the life of the
    // process, and the command ends soon after.
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        const char* reason = dlerror();
        *error = "cannot load the PDF writer " + library + ": " + (reason ? reason : "not found");
        return false;
    }
    auto write = reinterpret_cast<WritePdfFunction>(dlsym(handle, "devgroup_write_pdf"));
    bool written = false;
    if (write == nullptr) {
        *error = library + " has no devgroup_write_pdf";
    } else {
        std::vector<const char*> lines;
        std::vector<int> page_lengths;
        for (const ReportPage& page : pages) {
            for (const std::string& line : page)
                lines.push_back(line.c_str());
            page_lengths.push_back(static_cast<int>(page.size()));
        }
        char reason[512] = {};
        written = write(lines.data(), page_lengths.data(), static_cast<int>(page_lengths.size()),
                        out.c_str(), reason, sizeof reason) != 0;
        if (!written)
            *error = reason;
    }
    return written;
}

}  // namespace hostapp
