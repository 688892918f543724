// The host's message catalogues: <root>/MESSAGES.Lnn, one per language,
// "N text" a line, texts of at most 40 characters.
#pragma once

#include <map>
#include <string>

#include "platform/message_numbers.h"

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

}  // namespace hostapp
