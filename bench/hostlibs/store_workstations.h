// Eight workstations (processes) saving 100 rows each at once on the shared
// store, round after round, and a check afterwards that no change was lost.
#pragma once

#include <string>
#include <vector>

struct WorkstationsResult {
    int rounds = 0;
    std::vector<double> save_ms;  // one per workstation and round
    int failed_saves = 0;         // a row's get-equal or update not RS_OK
    int rows_lost = 0;            // a row not holding its last saved group
    int journal_lost = 0;         // a saved change without its journal row
    int journal_extra = 0;        // a journal row of no saved change
};

// Runs in child processes; the caller must have no host open (a child's
// open_host would close the caller's connection). `base` is a folder for the
// workstations' own roots.
WorkstationsResult run_workstations(const std::string& conninfo, const std::string& base,
                                    int rounds);
