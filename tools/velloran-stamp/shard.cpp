// SPDX-License-Identifier: MIT
#include "shard.h"

#include "command_line.h"

#include <QStringList>

Shard ParseShard(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('/'));
    bool indexOk = false;
    bool countOk = false;
    Shard shard;
    if (parts.size() == 2) {
        shard.index = parts.at(0).trimmed().toInt(&indexOk);
        shard.count = parts.at(1).trimmed().toInt(&countOk);
    }
    if (!indexOk || !countOk || shard.count < 1 || shard.index < 1 || shard.index > shard.count) {
        throw UsageError(
            QStringLiteral("--shard \"%1\": K/N with 1 <= K <= N, such as 2/8").arg(text));
    }
    return shard;
}
