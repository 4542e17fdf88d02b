// SPDX-License-Identifier: GPL-3.0-or-later
// Program end through the program's thread manager: a child whose worker thread
// still runs when main returns ends at once with exit code 0 and loses no
// buffered output; a child that never used the manager keeps its own status.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

extern char** environ;

namespace {

struct Ended {
    bool exited = false;
    int status = -1;
    std::string out;
    double seconds = 0;
};

Ended runHelper(const char* mode)
{
    Ended result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        ADD_FAILURE() << "pipe";
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    const std::string path = std::string(KORVANA_RUNTIME_DIR) + "/lpg_exit_helper";
    char* args[] = { const_cast<char*>(path.c_str()), const_cast<char*>(mode), nullptr };
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        ADD_FAILURE() << "cannot start " << path;
        return result;
    }

    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid, &status, WNOHANG)) == 0) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(10)) {
            ADD_FAILURE() << "the child did not end within 10 s";
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            close(pipeFds[0]);
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : -1;
    char buffer[256];
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        result.out.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    return result;
}

TEST(CLPGThreadManager, ProgramEndsAtOnceWithCodeZeroWhileAWorkerRuns)
{
    const Ended ended = runHelper("worker");
    EXPECT_TRUE(ended.exited);
    EXPECT_EQ(ended.status, 0);
    EXPECT_EQ(ended.out, "worker running");
}

TEST(CLPGThreadManager, StatusHandedToTheManagerSurvivesTheQuickEnd)
{
    // A failing test or CLI command must not turn into success at exit.
    const Ended ended = runHelper("failing");
    EXPECT_TRUE(ended.exited);
    EXPECT_EQ(ended.status, 5);
    EXPECT_EQ(ended.out, "worker running");
}

TEST(CLPGThreadManager, ProgramThatNeverUsedTheManagerKeepsItsStatus)
{
    const Ended ended = runHelper("idle");
    EXPECT_TRUE(ended.exited);
    EXPECT_EQ(ended.status, 3);
    EXPECT_EQ(ended.out, "worker running");
}

} // namespace
