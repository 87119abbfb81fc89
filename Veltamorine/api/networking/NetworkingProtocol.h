#pragma once

#include "ApiResponse.h"
#include "DownloadResponse.h"
#include "Endpoint.h"
#include "Error.h"
#include "HttpMethod.h"

#include <QMap>
#include <QString>
#include <QVariantMap>
#include <any>
#include <expected>
#include <functional>
#include <optional>

// How models hold the backend client. getRequest/postRequest name the reply model they expect;
// the completion receives that model or an error of the "VeltamorineError" vocabulary, once, on
// the main thread.
class NetworkingProtocol {
public:
    using HeaderDictionary = QMap<QString, QString>;
    template <typename T>
    using Completion = std::function<void(std::expected<T, Error>)>;

    // The type-erased form every request travels in: how to decode the reply, and where the
    // decoded value goes.
    using AnyDecoder = std::function<DecodeResult<std::any>(const QByteArray& body, Host host)>;
    using AnyCompletion = std::function<void(std::expected<std::any, Error>)>;

    // Progress of a download with the estimated seconds still to go (none while nothing has
    // arrived yet).
    using DownloadProgressHandler = std::function<void(const DownloadProgress&, std::optional<double> remainingSeconds)>;
    // The path of the stored file, or why the download failed.
    using DownloadCompletion = std::function<void(std::expected<QString, Error>)>;

    virtual ~NetworkingProtocol();

    template <ResponseModel T>
    void getRequest(Endpoint endpoint, const std::optional<QVariantMap>& parameters,
                    const std::optional<HeaderDictionary>& headers, Completion<T> completion)
    {
        send(HttpMethod::Get, endpoint, parameters, headers, decoder<T>(), eraseCompletion<T>(std::move(completion)));
    }

    template <ResponseModel T>
    void postRequest(Endpoint endpoint, const std::optional<QVariantMap>& parameters,
                     const std::optional<HeaderDictionary>& headers, Completion<T> completion)
    {
        send(HttpMethod::Post, endpoint, parameters, headers, decoder<T>(), eraseCompletion<T>(std::move(completion)));
    }

    // Sends one request of `method` (GET or POST) for `endpoint`.
    virtual void send(HttpMethod method, Endpoint endpoint, const std::optional<QVariantMap>& parameters,
                      const std::optional<HeaderDictionary>& headers, AnyDecoder decoder, AnyCompletion completion) = 0;

    // Downloads the file of `endpoint`; returns the download's identifier.
    virtual QString download(Endpoint endpoint, DownloadProgressHandler progress, DownloadCompletion completion) = 0;

    template <ResponseModel T>
    static AnyDecoder decoder()
    {
        return [](const QByteArray& body, Host host) -> DecodeResult<std::any> {
            DecodeResult<T> decoded = ReplyDecoding::decodeByHost<T>(body, host);
            if (!decoded)
                return std::unexpected(decoded.error());
            if (!*decoded)
                return std::expected<std::any, Error>(std::unexpected(decoded->error()));
            return std::expected<std::any, Error>(std::any(std::move(**decoded)));
        };
    }

private:
    template <typename T>
    static AnyCompletion eraseCompletion(Completion<T> completion)
    {
        return [completion = std::move(completion)](std::expected<std::any, Error> result) {
            if (!completion)
                return;
            if (!result) {
                completion(std::unexpected(result.error()));
                return;
            }
            completion(std::any_cast<T>(std::move(*result)));
        };
    }
};
