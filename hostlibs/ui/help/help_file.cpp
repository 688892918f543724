// Parsing help files: topics with the context numbers that show them
// (docs/help-files.md).
#include <charconv>
#include <set>

#include "help/text_file.h"
#include "hostlibs/help.h"

namespace hostlibs {
namespace {

constexpr int kMaxContext = 0xFFFF;
constexpr size_t kMaxTitle = 60;

// "[1101, 1102] Title"
bool parse_heading(std::string_view line, HelpTopic* topic, std::set<int>* seen,
                   std::string* error) {
    const size_t close = line.find(']');
    if (close == std::string_view::npos) {
        *error = "a topic heading needs its closing ']'";
        return false;
    }
    std::string_view numbers = line.substr(1, close - 1);
    while (!trim(numbers).empty()) {
        numbers = trim(numbers);
        const size_t comma = numbers.find(',');
        std::string_view number = trim(numbers.substr(0, comma));
        int context = -1;
        auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), context);
        if (ec != std::errc() || ptr != number.data() + number.size() || context < 0 ||
            context > kMaxContext) {
            error->assign(1, '\'').append(number).append("' is not a context number (0 to 65535)");
            return false;
        }
        if (!seen->insert(context).second) {
            *error = "context " + std::to_string(context) + " given twice";
            return false;
        }
        topic->contexts.push_back(context);
        numbers = comma == std::string_view::npos ? "" : numbers.substr(comma + 1);
    }
    if (topic->contexts.empty()) {
        *error = "a topic needs at least one context number";
        return false;
    }
    topic->title = std::string(trim(line.substr(close + 1)));
    if (topic->title.size() > kMaxTitle) {
        *error = "title longer than " + std::to_string(kMaxTitle) + " characters";
        return false;
    }
    return true;
}

void drop_blank_ends(std::vector<std::string>* lines) {
    while (!lines->empty() && trim(lines->back()).empty()) {
        lines->pop_back();
    }
    while (!lines->empty() && trim(lines->front()).empty()) {
        lines->erase(lines->begin());
    }
}

}  // namespace

const HelpTopic* HelpFile::find(int context) const {
    for (const HelpTopic& topic : topics) {
        for (int c : topic.contexts) {
            if (c == context) {
                return &topic;
            }
        }
    }
    return nullptr;
}

bool parse_help(const std::string& text, HelpFile* help, std::string* error) {
    HelpFile parsed;
    std::set<int> seen;
    int number = 0;
    for (const std::string& raw : split_lines(text)) {
        ++number;
        std::string line = raw;
        line.erase(line.find_last_not_of(" \t") + 1);
        if (!line.empty() && line.front() == '#') {
            continue;
        }
        if (!line.empty() && line.front() == '[') {
            HelpTopic topic;
            std::string reason;
            if (!parse_heading(line, &topic, &seen, &reason)) {
                *error = "line " + std::to_string(number) + ": " + reason;
                return false;
            }
            parsed.topics.push_back(std::move(topic));
            continue;
        }
        if (parsed.topics.empty()) {
            if (!line.empty()) {
                *error = "line " + std::to_string(number) + ": text before the first topic";
                return false;
            }
            continue;
        }
        parsed.topics.back().lines.push_back(line);
    }
    for (HelpTopic& topic : parsed.topics) {
        drop_blank_ends(&topic.lines);
    }
    *help = std::move(parsed);
    return true;
}

}  // namespace hostlibs
