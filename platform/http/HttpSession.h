#pragma once

#include "DataResponse.h"
#include "DownloadResponse.h"
#include "HttpRequest.h"
#include "HttpSessionConfiguration.h"
#include "RequestInterceptor.h"

#include <QString>
#include <functional>
#include <memory>

// Sends HTTP(S) requests and downloads files. Requests may be started and cancelled from any
// thread; the transfer runs on the main thread's event loop, and every completion and progress
// report runs on the main thread. Each request's completion runs exactly once, also when it
// is cancelled or the session goes away first.
//
// A data request fails when the transfer fails, when validation is on and the status is
// outside 200-299, or when a reply that should carry data has none (status 204 and 205 and
// HEAD requests may be empty). After every failure except an explicit cancel, the request's
// interceptor is asked whether to send it again.
class HttpSession {
public:
    using DataCompletion = std::function<void(const DataResponse&)>;
    using DownloadCompletion = std::function<void(const DownloadResponse&)>;
    using ProgressHandler = std::function<void(const DownloadProgress&)>;

    struct DataOptions {
        std::shared_ptr<RequestInterceptor> interceptor;
        bool validate = true;  // refuse statuses outside 200-299
    };

    struct DownloadOptions {
        QString directory;                  // created when missing
        QString fallbackFileName;           // when the server suggests no safe name
        ProgressHandler progress;
        std::shared_ptr<RequestInterceptor> interceptor;
        bool validate = true;               // a refused status stores no file
    };

    explicit HttpSession(HttpSessionConfiguration configuration = {});
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    // The process-wide session, configured from the main bundle on first use, unless one was
    // installed with setShared.
    static HttpSession& shared();
    // Installs `session` as the shared one (nullptr restores the default). Not owned.
    static void setShared(HttpSession* session);

    // Starts a request; returns its identifier (an upper-case UUID).
    QString request(HttpRequest request, DataOptions options, DataCompletion completion);
    // Starts a download into options.directory; the stored file replaces an older one of the
    // same name only once the download has succeeded.
    QString download(HttpRequest request, DownloadOptions options, DownloadCompletion completion);
    // Ends a request early; its completion gets an "explicitly cancelled" error (-999 at the root).
    // Unknown or finished identifiers are ignored.
    void cancel(const QString& id);

    const HttpSessionConfiguration& configuration() const;

private:
    struct Task;
    struct Private;
    std::shared_ptr<Private> d;
};
