#pragma once

#include <QDateTime>
#include <QImage>
#include <QList>

#include "activity/Signal.h"
#include "base/Clock.h"
#include "quota/Bucket.h"
#include "ui/GaugeFace.h"
#include "ui/PulseCadence.h"

class QPainter;

namespace brimlet {

// Draws the 41 x 22 point gauge: three quota bars (used share in orange over a green track) and
// two activity dots, Opus above Fable, that pulse while output tokens flow. Main thread only.
class GaugeRenderer {
  public:
    explicit GaugeRenderer(Clock clock = systemNow, PulseCadence cadence = PulseCadence::smooth());

    // Inputs, copied in by the owner; setting them draws nothing.
    QList<Bucket> buckets;  // the first three are drawn, top to bottom
    bool stale = false;     // quota data is old: bar fills fade
    Signal activity;

    static constexpr double gaugeW = 28;
    static constexpr double barH = 4;
    static constexpr double barGap = 2;
    static constexpr double dotD = 5;
    static constexpr double dotGap = 3;
    static constexpr double groupGap = 4;
    static constexpr double padding = 2;
    static constexpr double height = 22;
    static constexpr int rows = 3;
    static constexpr double width = 2 * padding + gaugeW + groupGap + dotD;  // 41
    // Images are rendered this much denser than points, sharp on high-density screens.
    static constexpr qreal imageScale = 2;

    // Steps the pulse by the time since the previous call; true when the picture changed.
    [[nodiscard]] bool advance();

    // A fresh width x height point image (82 x 44 pixels), transparent where nothing is drawn.
    [[nodiscard]] QImage image() const;
    // The same image of any face.
    [[nodiscard]] static QImage imageOf(const GaugeFace& face);

    // Paints the gauge in the painter's current coordinates, taken as points with the gauge's
    // top-left corner at the origin. Paints no background.
    void draw(QPainter& painter) const;

    [[nodiscard]] double phase() const { return phase_; }
    [[nodiscard]] const PulseCadence& cadence() const { return cadence_; }

    // What the picture shows now; equal faces draw equal pictures.
    [[nodiscard]] GaugeFace face() const;
    // Where this 41 x 22 point presentation puts its shapes.
    [[nodiscard]] static GaugeShapes shapes();

    // Width of row i's fill for a used percentage; 0 means no fill.
    [[nodiscard]] static double fillWidth(double usedPercent);

  private:
    Clock clock_;
    PulseCadence cadence_;
    double phase_ = 0;  // in [0, 2] while active, 0 while idle
    QDateTime lastTick_;
};

}  // namespace brimlet
