#pragma once

#include <QByteArray>
#include <QStringList>
#include <functional>

// Runs a tool as a child process without a shell: the program and its arguments go to execve
// as a list, the environment is a fixed minimal one, standard input is fed from memory while
// standard output is read, so neither side waits on a full pipe. Standard error is inherited.
class ToolRunner {
public:
    struct Result {
        int status = 0;     // exit status; 128 + signal when killed; 127 when it could not run
        QByteArray output;  // everything the tool wrote to standard output
    };
    using OutputHandler = std::function<void(const QByteArray& chunk)>;

    // Tools that run longer than `timeoutSeconds` are killed.
    explicit ToolRunner(int timeoutSeconds = 60) : timeoutSeconds_(timeoutSeconds) {}

    // Blocks until the tool has ended and its output is read. `command` is the program followed
    // by its arguments. `onOutput` sees each chunk as it arrives.
    Result run(const QStringList& command, const QByteArray& input = {}, const OutputHandler& onOutput = {}) const;

private:
    int timeoutSeconds_;
};
