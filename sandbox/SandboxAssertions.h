#pragma once

// Test-only helpers over SandboxServer; include from test programs (they link GoogleTest).

#include "SandboxServer.h"

#include <gtest/gtest.h>

// Fails the current test for every violation the stand-in collected (unexpected path, missing
// required header, malformed body).
inline void expectNoSandboxViolations(const SandboxServer& server)
{
    for (const QString& violation : server.violations())
        ADD_FAILURE() << "stand-in service: " << violation.toStdString();
}

// A stand-in that starts at construction and, when the test ends, fails it on any violation.
class ScopedSandbox : public SandboxServer {
public:
    ScopedSandbox()
    {
        EXPECT_TRUE(start()) << "the stand-in service could not start";
    }
    ~ScopedSandbox()
    {
        expectNoSandboxViolations(*this);
    }
};
