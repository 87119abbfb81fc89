#pragma once

// What the login model asks of its screen: the busy state of the sign-in area and the
// account-selection sheet.
class LoginModelDelegate {
public:
    virtual ~LoginModelDelegate() = default;
    virtual void setRequestInProcess(bool inProcess) = 0;
    virtual void setEnableAuthentication(bool enabled) = 0;
    virtual void refreshLoadingIndicator() = 0;
    virtual void showAccountSelection() = 0;
};
