#include "QuorConfiguration.h"

bool QuorConfiguration::hasValidSecretKey() const
{
    if (secretKey_.size() != 40)
        return false;
    for (const QChar c : secretKey_) {
        const bool digit = c >= u'0' && c <= u'9';
        const bool hexLetter = c >= u'a' && c <= u'f';
        if (!digit && !hexLetter)
            return false;
    }
    return true;
}
