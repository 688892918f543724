// The host's message catalogues: <root>/MESSAGES.Lnn, one per language,
// "N text" a line, texts of at most 40 characters.
#pragma once

#include <map>
#include <string>

namespace hostapp {

class MessageCatalogue {
  public:
    // Loads the language's catalogue and the fallback language's, which
    // answers numbers the first lacks. Missing files leave them empty.
    void load(const std::string& root, int language, int fallback_language);
    int language() const { return language_; }
    // The text of message n (from 1); empty when neither catalogue has it.
    std::string text(int number) const;
    // The text, or `otherwise` when the catalogue has none.
    std::string text_or(int number, const std::string& otherwise) const;

    static std::map<int, std::string> parse(const std::string& text);

  private:
    int language_ = 0;
    std::map<int, std::string> messages_;
    std::map<int, std::string> fallback_;
};

// Host texts of the program's own modules (numbers of the catalogue).
enum HostText : int {
    TEXT_SHELL_MENU = 100,
    TEXT_EDITOR = 101,
    TEXT_ERROR_LOG = 102,
    TEXT_SIGN_ON = 103,
    TEXT_QUIT = 104,
    TEXT_UNKNOWN_MODULE = 106,
    TEXT_REPORT = 107,
    TEXT_PAGER_KEYS = 108,
    TEXT_NAME = 109,
    TEXT_PASSWORD = 110,
    TEXT_SIGN_ON_KEYS = 111,
    TEXT_SIGNED_ON = 112,
    TEXT_LOG_EMPTY = 113,
    TEXT_NO_USER = 10,
};

}  // namespace hostapp
