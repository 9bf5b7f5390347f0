// Runs a built program as a child process with an exact argument vector and
// captures what it writes. With Stdout::with_stderr both streams go to
// `out`, in the order they were written, as on a terminal.
#ifndef B64NUM_TESTS_CHILD_PROCESS_H
#define B64NUM_TESTS_CHILD_PROCESS_H

#include <string>
#include <vector>

enum class Stdout { captured, dev_full, closed, with_stderr };

struct Outcome {
    std::string out;
    std::string err;
    int status; // exit status, or -1 if the program did not exit normally
};

// `argv` is the whole argument vector, invocation name included, so that
// tests can pass odd names or none at all. `input` becomes standard input.
Outcome spawn(const char* program, const std::vector<std::string>& argv,
              const std::string& input = "", Stdout destination = Stdout::captured);

#endif
