#include "tests/support/cli_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CliRun runProgram(const std::string& program, const Args& arguments) {
    // Unnamed files rather than pipes: nothing has to drain them while the program runs.
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileno(out), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fileno(err), STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> pointers = {const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    pointers.push_back(nullptr);

    CliRun run;
    pid_t pid = -1;
    int status = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, pointers.data(), environ) == 0 &&
        waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        run.exitStatus = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = readWholeFile("/proc/self/fd/" + std::to_string(fileno(out)));
    run.err = readWholeFile("/proc/self/fd/" + std::to_string(fileno(err)));
    std::fclose(out);
    std::fclose(err);
    return run;
}

CliRun cli(Args arguments, const std::string& port) {
    if (!port.empty()) {
        arguments.insert(arguments.begin(), {"--port", port});
    }
    return runProgram(TARNWICK_CLI, arguments);
}

CliRun shell(const std::string& script) {
    return runProgram("/bin/sh", {"-c", script});
}

Args words(const std::string& line) {
    Args words;
    std::istringstream stream(line);
    for (std::string word; std::getline(stream, word, ' ');) {
        words.push_back(word);
    }
    return words;
}

std::string edited(std::string text,
                   const std::vector<std::pair<std::string, std::string>>& edits) {
    for (const auto& [from, to] : edits) {
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        text = at == std::string::npos ? text : text.replace(at, from.size(), to);
    }
    return text;
}
