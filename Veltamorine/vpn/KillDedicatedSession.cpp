#include "KillDedicatedSession.h"

#include "Localizer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextStream>
#include <QVBoxLayout>

KillDedicatedSession::KillDedicatedSession(QWidget* mainWindow, KillDedicatedSessionModel model)
    : QDialog(mainWindow)
    , model(std::move(model))
{
    setWindowModality(Qt::WindowModal);
    setWindowTitle(Localizer::localized(QStringLiteral("killDedicatedSession.title")));

    auto* title = new QLabel(Localizer::localized(QStringLiteral("killDedicatedSession.title")), this);
    QFont font = title->font();
    font.setBold(true);
    title->setFont(font);
    auto* message = new QLabel(Localizer::localized(QStringLiteral("killDedicatedSession.message")), this);
    message->setWordWrap(true);
    killButton_ = new QPushButton(Localizer::localized(QStringLiteral("killDedicatedSession.kill")), this);
    dismissButton_ = new QPushButton(Localizer::localized(QStringLiteral("killDedicatedSession.dismiss")), this);
    killButton_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(dismissButton_);
    buttons->addWidget(killButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(message);
    layout->addLayout(buttons);

    connect(killButton_, &QPushButton::clicked, this, &KillDedicatedSession::killSession);
    connect(dismissButton_, &QPushButton::clicked, this, &KillDedicatedSession::dismiss);
}

void KillDedicatedSession::killSession()
{
    model.killSession([](std::expected<bool, Error> result) {
        QTextStream out(stdout);
        if (result)
            out << "Success" << Qt::endl;
        else
            out << "Error: " << result.error().message << Qt::endl;
    });
}

void KillDedicatedSession::dismiss()
{
    // Reject's Escape and the close box end the sheet too; this is the sheet's own close action.
    if (!parentWidget() || !isVisible())
        return;
    done(QDialog::Accepted);
}
