// A headless run prints the screen on which its key script ran out: a
// module the editor queued above itself, or the editor when the script goes
// on after that module has closed. Nothing runs after the script's end.
#include "hostlibs/shell.h"
#include "scenario_support.h"

namespace {

class EndScreen : public EditorScenario {
  protected:
    // Runs the host as the program does; gives the modules run, by name.
    std::vector<std::string> run_host(const std::string& keys) {
        put_numbered(30);
        open(keys);
        EXPECT_EQ(session_.run(), 0);
        std::vector<std::string> names;
        for (const RunListEntry& entry : session_.modules_run())
            names.push_back(entry.module_name);
        return names;
    }
    std::string first_line() const {
        const std::string& screen = session_.final_screen();
        return screen.substr(0, screen.find('\n'));
    }
};

TEST_F(EndScreen, ScriptEndingInAHotKeysModulePrintsThatModule) {
    EXPECT_EQ(run_host("<C-e>"), (std::vector<std::string>{"TOOLBANK", "ERRORLOG"}));
    EXPECT_EQ(first_line(), "Error log") << session_.final_screen();
}

TEST_F(EndScreen, ScriptEndingInTheShellMenuPrintsTheShellMenu) {
    EXPECT_EQ(run_host("<A-f>m"), (std::vector<std::string>{"TOOLBANK", "SHELL"}));
    EXPECT_NE(session_.final_screen().find("| Quit"), std::string::npos) << session_.final_screen();
    EXPECT_EQ(session_.final_screen().find("Instrument 0"), std::string::npos);
}

TEST_F(EndScreen, ScriptEndingInTheEditorAfterTheModuleClosedPrintsTheEditor) {
    EXPECT_EQ(run_host("<C-e><Esc>"),
              (std::vector<std::string>{"TOOLBANK", "ERRORLOG", "TOOLBANK"}));
    EXPECT_NE(session_.final_screen().find("Instrument 0"), std::string::npos)
        << session_.final_screen();
    EXPECT_EQ(session_.final_screen().find("Error log"), std::string::npos);
}

}  // namespace
