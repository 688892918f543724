// The real devgroup program run as a child process, its output in a file.
// DEVGROUP_CRASH_PROGRAM may name another build of it (a faster one for the
// large crash runs).
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace hosttest {

inline std::string devgroup_program() {
    const char* named = std::getenv("DEVGROUP_CRASH_PROGRAM");
    return named != nullptr && *named != '\0' ? named : DEVGROUP_EXE;
}

// Starts devgroup with its output (stdout and stderr) in a file; with a file
// size limit, writes past it fail (EFBIG) instead of killing the process.
inline pid_t start_devgroup(const std::vector<std::string>& arguments, const std::string& output,
                            rlim_t file_limit = RLIM_INFINITY) {
    std::vector<std::string> words = {devgroup_program()};
    words.insert(words.end(), arguments.begin(), arguments.end());
    const pid_t pid = fork();
    if (pid == 0) {
        if (file_limit != RLIM_INFINITY) {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{file_limit, file_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        FILE* out = std::freopen(output.c_str(), "w", stdout);
        if (out == nullptr || dup2(fileno(stdout), STDERR_FILENO) < 0) {
            _exit(126);
        }
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Its exit code, or minus the signal that ended it.
inline int finish_devgroup(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

inline int run_devgroup(const std::vector<std::string>& arguments, const std::string& output) {
    return finish_devgroup(start_devgroup(arguments, output));
}

}  // namespace hosttest
