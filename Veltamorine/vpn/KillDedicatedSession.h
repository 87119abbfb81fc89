#pragma once

#include "KillDedicatedSessionModel.h"

#include <QDialog>

class QPushButton;

// The sheet that offers to end the dedicated IP's session on another device. It is window-modal
// over the main window and opened with open(). Its result is only logged: the screens that
// offer the same choice decide what the user sees.
class KillDedicatedSession : public QDialog {
    Q_OBJECT

public:
    explicit KillDedicatedSession(QWidget* mainWindow = nullptr, KillDedicatedSessionModel model = KillDedicatedSessionModel());

    KillDedicatedSessionModel model;

    QPushButton* killButton() const { return killButton_; }
    QPushButton* dismissButton() const { return dismissButton_; }

public slots:
    // Sends the session-kill request; the sheet stays open whatever the outcome, which goes to
    // the standard output ("Success", or "Error: " and the error's text).
    void killSession();
    // Closes the sheet with result 1 when it is open over its main window; otherwise nothing.
    void dismiss();

private:
    QPushButton* killButton_ = nullptr;
    QPushButton* dismissButton_ = nullptr;
};
