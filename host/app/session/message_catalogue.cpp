#include "session/message_catalogue.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace hostapp {
namespace {

constexpr size_t kMaxMessage = 40;

std::map<int, std::string> load_file(const std::string& root, int language) {
    char extension[16];
    std::snprintf(extension, sizeof extension, ".L%02d", language);
    std::ifstream in(root + "/MESSAGES" + extension, std::ios::binary);
    if (!in) {
        return {};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return MessageCatalogue::parse(text.str());
}

}  // namespace

std::map<int, std::string> MessageCatalogue::parse(const std::string& text) {
    std::map<int, std::string> messages;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        size_t used = 0;
        int number = 0;
        try {
            number = std::stoi(line, &used);
        } catch (...) {
            continue;
        }
        if (number < 1 || used >= line.size() || line[used] != ' ') {
            continue;
        }
        messages[number] = line.substr(used + 1, kMaxMessage);
    }
    return messages;
}

void MessageCatalogue::load(const std::string& root, int language, int fallback_language) {
    language_ = language;
    messages_ = load_file(root, language);
    fallback_ = language == fallback_language ? std::map<int, std::string>{}
                                              : load_file(root, fallback_language);
}

std::string MessageCatalogue::text(int number) const {
    return text_or(number, "");
}

std::string MessageCatalogue::text_or(int number, const std::string& otherwise) const {
    if (auto found = messages_.find(number); found != messages_.end()) {
        return found->second;
    }
    if (auto found = fallback_.find(number); found != fallback_.end()) {
        return found->second;
    }
    return otherwise;
}

}  // namespace hostapp
