#pragma once

#include <QLoggingCategory>
#include <QString>
#include <functional>

Q_DECLARE_LOGGING_CATEGORY(lcHelper)

// The daemon's trace lines. They go to standard output (the journal under systemd); "@Helper "
// lines also go to the daemon's logging category. Tests replace the output to read it.
class HelperLog {
public:
    using Sink = std::function<void(const QString& line)>;

    static void helper(const QString& text);    // "@Helper " + text, also to the category
    static void codesign(const QString& text);  // "@CODESIGN " + text
    static void out(const QString& text);       // the text as it is
    static void err(const QString& text);       // standard error (console log)

    // Replaces standard output (nullptr restores it). Thread-safe.
    static void setSink(Sink sink);
};
