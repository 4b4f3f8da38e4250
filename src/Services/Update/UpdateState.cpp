#include "Services/Update/UpdateState.h"

#include <QMetaEnum>

QString UpdateState::description() const {
    const QString name =
        QString::fromLatin1(QMetaEnum::fromType<Kind>().valueToKey(static_cast<int>(m_kind)));
    switch (m_kind) {
    case Kind::downloading:
        return name + u'(' + QString::number(m_progress) + u')';
    case Kind::updateAvailable:
    case Kind::error:
    case Kind::failedAfterRetry:
        return name + u'(' + m_text + u')';
    default:
        return name;
    }
}
