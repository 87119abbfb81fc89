#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

// HTTP header fields in the order they were added; names compare without regard to case.
class HttpHeaders {
public:
    HttpHeaders() = default;
    HttpHeaders(std::initializer_list<QPair<QByteArray, QByteArray>> fields);
    static HttpHeaders fromMap(const QMap<QString, QString>& map);

    // Replaces every field of that name (or adds one).
    void set(const QByteArray& name, const QByteArray& value);
    void add(const QByteArray& name, const QByteArray& value);
    void remove(const QByteArray& name);
    bool contains(const QByteArray& name) const;
    // The first value of that name; empty when absent.
    QByteArray value(const QByteArray& name) const;

    const QList<QPair<QByteArray, QByteArray>>& fields() const { return fields_; }
    bool isEmpty() const { return fields_.isEmpty(); }
    bool operator==(const HttpHeaders&) const = default;

private:
    QList<QPair<QByteArray, QByteArray>> fields_;
};
