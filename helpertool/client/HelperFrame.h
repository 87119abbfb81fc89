#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <cstdint>
#include <optional>

// Length-prefixed frames of the helper protocol: a 4-byte big-endian length, then the payload.
class HelperFrame {
public:
    static QByteArray encode(const QByteArray& payload);
    static QByteArray encode(const QJsonObject& message);

    // Collects bytes from a stream and cuts them into payloads, refusing a length above the cap
    // before any of that payload is buffered.
    class Reader {
    public:
        enum class Status { Frame, NeedMore, TooLarge };

        explicit Reader(std::uint32_t maxPayload) : maxPayload_(maxPayload) {}
        void append(const QByteArray& bytes) { buffer_.append(bytes); }
        // Frame: `payload` holds the next payload. TooLarge stays so: the stream is unusable.
        Status next(QByteArray& payload);
        qsizetype buffered() const { return buffer_.size(); }

    private:
        std::uint32_t maxPayload_;
        QByteArray buffer_;
        bool broken_ = false;
    };

    // A payload as a JSON object; nullopt when it is not one.
    static std::optional<QJsonObject> decodeObject(const QByteArray& payload);
};
