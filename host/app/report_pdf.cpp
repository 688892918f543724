#include "report_pdf.h"

#include <dlfcn.h>

#include "durable_files.h"
#include "hostapp/host_app.h"
#include "hostapp/pdf_writer.h"
#include "platform/code_page.h"

namespace hostapp {

bool write_report_pdf(const std::vector<ReportPage>& pages, const std::string& out, int* pdf_pages,
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
    if (write == nullptr) {
        *error = library + " has no devgroup_write_pdf";
        return false;
    }
    // The writer takes UTF-8; report lines hold the code page.
    std::vector<std::string> texts;
    std::vector<int> page_lengths;
    for (const ReportPage& page : pages) {
        for (const std::string& line : page) {
            texts.push_back(code_page::to_utf8(line));
        }
        page_lengths.push_back(static_cast<int>(page.size()));
    }
    std::vector<const char*> lines;
    lines.reserve(texts.size());
    for (const std::string& text : texts) {
        lines.push_back(text.c_str());
    }
    FileReplacement document(out);
    std::string temporary;
    if (!document.create(&temporary, error)) {
        return false;
    }
    char reason[512] = {};
    if (write(lines.data(), page_lengths.data(), static_cast<int>(page_lengths.size()),
              temporary.c_str(), kMaxPdfPages, pdf_pages, reason, sizeof reason) == 0) {
        // The writer names the file it wrote; the reader knows it as `out`.
        std::string message = reason;
        if (message.compare(0, temporary.size(), temporary) == 0) {
            message = out + message.substr(temporary.size());
        }
        *error = message;
        return false;
    }
    return document.commit(error);
}

}  // namespace hostapp
