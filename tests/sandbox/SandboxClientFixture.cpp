#include "SandboxClientFixture.h"

#include "SandboxServer.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QNetworkAccessManager>
#include <QSslCertificate>
#include <QSslConfiguration>

SandboxClientReply sendToSandbox(const QByteArray& method, const QUrl& url, const QByteArray& body,
    const QList<QPair<QByteArray, QByteArray>>& headers, int timeoutMs)
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.setCaCertificates(QSslCertificate::fromPath(SandboxServer::testCaPath()));
    request.setSslConfiguration(ssl);
    request.setTransferTimeout(timeoutMs);
    for (const auto& [name, value] : headers)
        request.setRawHeader(name, value);
    auto* buffer = new QBuffer(&manager);
    buffer->setData(body);
    QNetworkReply* reply = manager.sendCustomRequest(request, method, buffer);
    TestSupport::waitUntil([reply] { return reply->isFinished(); }, timeoutMs + 2000);
    SandboxClientReply result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.error = reply->error();
    result.body = reply->readAll();
    for (const auto& [name, value] : reply->rawHeaderPairs())
        result.headers.insert(name.toLower(), value);
    delete reply;
    return result;
}
