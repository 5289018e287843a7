// The poller's reading of the usage endpoint's answer: its body into buckets, its date-times into
// instants. Kept apart from the polling, which is all about time and the network.
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <array>

#include "base/StrictJson.h"
#include "quota/QuotaPoller.h"
#include "quota/Rfc3339.h"

namespace brimlet {
namespace {

const QString sessionLabel = QStringLiteral("세션 (5시간)");
const QString weeklyLabel = QStringLiteral("주간 전체");

enum Slot { session, weekly, scoped, slotCount };

// One element that is not an object discards the whole array.
[[nodiscard]] QJsonArray limitEntries(const QJsonObject& root) {
    const QJsonArray limits = root.value(QLatin1String("limits")).toArray();
    const bool allObjects = std::all_of(limits.begin(), limits.end(),
                                        [](const QJsonValue& entry) { return entry.isObject(); });
    return allObjects ? limits : QJsonArray();
}

[[nodiscard]] QString scopedLabel(const QJsonObject& entry) {
    const QJsonValue name = entry.value(QLatin1String("scope"))
                                .toObject()
                                .value(QLatin1String("model"))
                                .toObject()
                                .value(QLatin1String("display_name"));
    return (name.isString() ? name.toString() : QStringLiteral("모델")) + QStringLiteral(" 주간");
}

struct Placement {
    Slot slot;
    QString label;
};

[[nodiscard]] std::optional<Placement> placementOf(const QJsonObject& entry) {
    // Compared exactly; a kind that is missing or not a string reads as "" and matches nothing.
    const QString kind = entry.value(QLatin1String("kind")).toString();
    if (kind == QLatin1String("session")) {
        return Placement{session, sessionLabel};
    }
    if (kind == QLatin1String("weekly_all")) {
        return Placement{weekly, weeklyLabel};
    }
    if (kind == QLatin1String("weekly_scoped")) {
        return Placement{scoped, scopedLabel(entry)};
    }
    return std::nullopt;
}

}  // namespace

QList<Bucket> QuotaPoller::parse(const QByteArray& body) {
    // Only a body that passes the strict grammar is read at all.
    const std::optional<QJsonObject> document = json::strictObject(body);
    if (!document) {
        return {};
    }
    const QJsonObject& root = *document;
    std::array<std::optional<Bucket>, slotCount> slots;

    // A later entry of a kind replaces an earlier one.
    const QJsonArray entries = limitEntries(root);
    for (const QJsonValue& value : entries) {
        const QJsonObject entry = value.toObject();
        if (const auto placement = placementOf(entry)) {
            // Only a JSON number is a percentage; "12" as a string counts as 0.
            const QJsonValue percent = entry.value(QLatin1String("percent"));
            slots[placement->slot] =
                Bucket(placement->label, percent.isDouble() ? percent.toDouble() : 0,
                       date(entry.value(QLatin1String("resets_at"))));
        }
    }

    // The older top-level objects stand in for slots that "limits" left empty.
    const auto top = [&root](const QString& key, const QString& label) -> std::optional<Bucket> {
        const QJsonValue member = root.value(key);
        const QJsonValue utilization = member.toObject().value(QLatin1String("utilization"));
        if (!member.isObject() || !utilization.isDouble()) {
            return std::nullopt;
        }
        return Bucket(label, utilization.toDouble(),
                      date(member.toObject().value(QLatin1String("resets_at"))));
    };
    if (!slots[session]) {
        slots[session] = top(QStringLiteral("five_hour"), sessionLabel);
    }
    if (!slots[weekly]) {
        slots[weekly] = top(QStringLiteral("seven_day"), weeklyLabel);
    }

    QList<Bucket> buckets;
    for (const auto& slot : slots) {
        if (slot) {
            buckets.append(*slot);
        }
    }
    return buckets;
}

std::optional<QDateTime> QuotaPoller::date(const QJsonValue& value) {
    if (!value.isString()) {
        return std::nullopt;
    }
    const QString text = value.toString();
    if (const auto instant = isoFractional(text)) {
        return instant;
    }
    return iso(text);
}

}  // namespace brimlet
