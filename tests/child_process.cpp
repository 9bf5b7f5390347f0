#include "child_process.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

std::string read_all(int fd)
{
    std::string text;
    char buffer[4096];
    off_t offset = 0;
    for (ssize_t got; (got = pread(fd, buffer, sizeof buffer, offset)) > 0; offset += got) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return text;
}

int file_holding(const std::string& text)
{
    const int fd = memfd_create("stdin", MFD_CLOEXEC);
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    lseek(fd, 0, SEEK_SET);
    return fd;
}

} // namespace

Outcome spawn(const char* program, const std::vector<std::string>& argv, const std::string& input,
              Stdout destination)
{
    const int in = file_holding(input);
    const int out = memfd_create("stdout", MFD_CLOEXEC);
    const int err = memfd_create("stderr", MFD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    switch (destination) {
    case Stdout::captured:
    case Stdout::with_stderr:
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        break;
    case Stdout::dev_full:
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/full", O_WRONLY, 0);
        break;
    case Stdout::closed:
        posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
        break;
    }
    posix_spawn_file_actions_adddup2(&actions, destination == Stdout::with_stderr ? out : err,
                                     STDERR_FILENO);

    // posix_spawn takes char* for historical reasons; it does not write.
    std::vector<char*> args(argv.size() + 1, nullptr);
    std::transform(argv.begin(), argv.end(), args.begin(),
                   [](const std::string& arg) { return const_cast<char*>(arg.c_str()); });

    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in);
    EXPECT_EQ(spawned, 0) << program << ": " << std::strerror(spawned);
    int wait_status = 0;
    EXPECT_EQ(waitpid(pid, &wait_status, 0), pid);
    const int status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    return {read_all(out), read_all(err), status};
}
