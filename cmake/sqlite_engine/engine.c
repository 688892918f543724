/* The engine library's code is the distribution's static archive of SQLite,
   linked whole (see CMakeLists.txt); this file only gives the target a source. */
