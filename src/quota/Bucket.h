#pragma once

#include <QDateTime>
#include <QString>
#include <optional>
#include <utility>

namespace brimlet {

// One quota limit as the usage service reported it. An immutable value.
class Bucket {
  public:
    Bucket(QString label, double usedPercent, std::optional<QDateTime> resetsAt)
        : label_(std::move(label)), usedPercent_(usedPercent), resetsAt_(std::move(resetsAt)) {}

    [[nodiscard]] const QString& label() const { return label_; }
    // As reported: neither scaled nor clamped.
    [[nodiscard]] double usedPercent() const { return usedPercent_; }
    [[nodiscard]] const std::optional<QDateTime>& resetsAt() const { return resetsAt_; }
    // The share left, 0…100.
    [[nodiscard]] double remaining() const;

  private:
    QString label_;
    double usedPercent_;
    std::optional<QDateTime> resetsAt_;
};

}  // namespace brimlet
