#include "FetchRequest.h"

#include <QRegularExpression>

namespace {

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

QRegularExpression likeExpression(const QString& pattern)
{
    QString rx;
    for (const QChar c : pattern) {
        if (c == QLatin1Char('*'))
            rx += QStringLiteral(".*");
        else if (c == QLatin1Char('?'))
            rx += QLatin1Char('.');
        else
            rx += QRegularExpression::escape(QString(c));
    }
    return QRegularExpression(QRegularExpression::anchoredPattern(rx), QRegularExpression::DotMatchesEverythingOption);
}

}

Predicate Predicate::like(const QString& key, const QString& pattern)
{
    Predicate p;
    p.kind_ = Kind::Like;
    p.key_ = key;
    p.value_ = pattern;
    return p;
}

Predicate Predicate::equals(const QString& key, const QVariant& value)
{
    Predicate p;
    p.kind_ = Kind::Equals;
    p.key_ = key;
    p.value_ = value;
    return p;
}

Predicate Predicate::all(QList<Predicate> predicates)
{
    Predicate p;
    p.kind_ = Kind::All;
    p.children_ = std::move(predicates);
    return p;
}

Predicate Predicate::any(QList<Predicate> predicates)
{
    Predicate p;
    p.kind_ = Kind::Any;
    p.children_ = std::move(predicates);
    return p;
}

bool Predicate::evaluate(const ManagedObject& object) const
{
    switch (kind_) {
    case Kind::Like:
        return likeExpression(value_.toString()).match(object.value(key_).toString()).hasMatch();
    case Kind::Equals: {
        const QVariant actual = object.value(key_);
        if (isNumber(actual) && isNumber(value_))
            return actual.toDouble() == value_.toDouble();
        return actual == value_;
    }
    case Kind::All:
        for (const Predicate& child : children_)
            if (!child.evaluate(object))
                return false;
        return true;
    case Kind::Any:
        for (const Predicate& child : children_)
            if (child.evaluate(object))
                return true;
        return false;
    }
    return false;
}
