#include "HelperFrame.h"

#include <QJsonDocument>
#include <QJsonParseError>

QByteArray HelperFrame::encode(const QByteArray& payload)
{
    const auto size = static_cast<std::uint32_t>(payload.size());
    QByteArray frame;
    frame.reserve(payload.size() + 4);
    frame.append(char((size >> 24) & 0xff));
    frame.append(char((size >> 16) & 0xff));
    frame.append(char((size >> 8) & 0xff));
    frame.append(char(size & 0xff));
    frame.append(payload);
    return frame;
}

QByteArray HelperFrame::encode(const QJsonObject& message)
{
    return encode(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

HelperFrame::Reader::Status HelperFrame::Reader::next(QByteArray& payload)
{
    if (broken_)
        return Status::TooLarge;
    if (buffer_.size() < 4)
        return Status::NeedMore;
    const auto* b = reinterpret_cast<const unsigned char*>(buffer_.constData());
    const std::uint32_t size = (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16)
        | (std::uint32_t(b[2]) << 8) | std::uint32_t(b[3]);
    if (size > maxPayload_) {
        broken_ = true;
        buffer_.clear();
        return Status::TooLarge;
    }
    if (std::uint64_t(buffer_.size()) < 4 + std::uint64_t(size))
        return Status::NeedMore;
    payload = buffer_.mid(4, size);
    buffer_.remove(0, 4 + size);
    return Status::Frame;
}

std::optional<QJsonObject> HelperFrame::decodeObject(const QByteArray& payload)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}
