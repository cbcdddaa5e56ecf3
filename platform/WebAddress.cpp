#include "WebAddress.h"

namespace WebAddress {

bool IsWebAddress(QStringView text)
{
    for (QStringView scheme : {u"http://", u"https://", u"ftp://"}) {
        if (text.size() > scheme.size() && text.startsWith(scheme, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace WebAddress
