#pragma once

// Counts failed sign-ins up to a limit. The login model keeps one; nothing acts on the count
// yet.
class InvalidCredentialsHandlerProtcol {
public:
    virtual ~InvalidCredentialsHandlerProtcol() = default;
    // Counts one more failed sign-in (never beyond the limit).
    virtual void recordFailure() = 0;
    // Whether the limit is reached.
    virtual bool limitReached() const = 0;
};

class InvalidCredentialsHandler final : public InvalidCredentialsHandlerProtcol {
public:
    InvalidCredentialsHandler(int failureCount = 0, int maxFailureCount = 3);

    int failureCount;
    const int maxFailureCount;

    void recordFailure() override;
    bool limitReached() const override;
};
