#pragma once

#include "VPNAccount.h"

// The answer of the account-selection sheet: the login screen and the main window's content
// controller adopt it and continue the sign-in with the chosen account.
class AccountSelectionDelegate {
public:
    virtual ~AccountSelectionDelegate() = default;
    virtual void accountSelected(const VPNAccount& account) = 0;
    virtual void accountSelectionCancelled() = 0;
};
