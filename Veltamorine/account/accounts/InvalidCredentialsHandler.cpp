#include "InvalidCredentialsHandler.h"

InvalidCredentialsHandler::InvalidCredentialsHandler(int failureCount, int maxFailureCount)
    : failureCount(failureCount)
    , maxFailureCount(maxFailureCount)
{
}

void InvalidCredentialsHandler::recordFailure()
{
    if (failureCount < maxFailureCount)
        ++failureCount;
}

bool InvalidCredentialsHandler::limitReached() const
{
    return failureCount >= maxFailureCount;
}
