// Runs a command and prints its wall time in seconds and its peak resident
// memory in MB, for the benchmark script: measure [-o FILE] CMD ARGS...
// (with -o the command's standard output goes to FILE, /dev/null by default).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

int main(int argc, char** argv)
{
    int first = 1;
    const char* out = "/dev/null";
    if (argc > 2 && std::strcmp(argv[1], "-o") == 0) {
        out = argv[2];
        first = 3;
    }
    if (first >= argc)
        return 2;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, argv[first], &actions, nullptr, argv + first, environ) != 0)
        return 127;
    int status = 0;
    struct rusage usage;
    wait4(pid, &status, 0, &usage);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f %.1f\n", secs, usage.ru_maxrss / 1024.0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
