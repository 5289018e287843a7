#pragma once

#include <QColor>
#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QRectF>
#include <memory>

namespace brimlet::test {

// One filled shape as it reached the paint engine.
struct RecordedFill {
    QRectF bounds;  // in the device's coordinates (top-left origin)
    QColor colour;
    QPainter::CompositionMode mode;
    bool antialiased;
};

// A paint target that draws nothing and records every filled path, in order, so tests can check
// shapes, colours and their order exactly.
class RecordingPaintDevice : public QPaintDevice {
  public:
    RecordingPaintDevice(int width, int height);
    ~RecordingPaintDevice() override;

    [[nodiscard]] QPaintEngine* paintEngine() const override;
    [[nodiscard]] const QList<RecordedFill>& fills() const;

  protected:
    [[nodiscard]] int metric(PaintDeviceMetric metric) const override;

  private:
    int width_;
    int height_;
    std::unique_ptr<QPaintEngine> engine_;
};

}  // namespace brimlet::test
