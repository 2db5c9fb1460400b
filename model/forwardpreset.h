#pragma once

#include "model.h"

#include <QByteArray>

namespace ForwardPresetKeys {
inline const QString id = QStringLiteral("id");
inline const QString name = QStringLiteral("name");
inline const QString configs = QStringLiteral("configs");
}

//! A call-forwarding preset the user can make active; its id is what the commands carry.
class ForwardPreset final : public Model<ForwardPreset>
{
    Q_OBJECT

public:
    ForwardPreset();

    QString presetName();
    //! The forwarding configuration exactly as delivered, not decoded; the client does not read it.
    QByteArray getForwardJSONBase64();
};
